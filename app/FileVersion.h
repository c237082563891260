#pragma once
// The version text that the build writes into the program file: the contents
// of the ELF section ".qxversion".
#include <string>

namespace quarlex {

inline constexpr const char* kVersionSection = ".qxversion";

// The version text of the program file at `path` (up to its first NUL);
// empty for a file that cannot be read, is no 64-bit ELF file or has no such
// section. Never raises.
std::string ReadFileVersion(const std::string& path);

} // namespace quarlex
