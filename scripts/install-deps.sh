#!/usr/bin/env bash
# Installs what Quarlex needs to build, run and test on Debian 12.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl1-mesa-dev qt6-translations-l10n
  libsqlite3-dev libpugixml-dev libpcre2-dev libshp-dev libfreexl-dev
  libgsf-1-dev python3-xlwt python3-dbfread
  libgtest-dev desktop-file-utils
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
