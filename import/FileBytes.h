#pragma once
// Reading a whole input file into memory: the SZV-6 files and the
// reconciliation text file go through here. A real input file is a few
// megabytes; anything over 256 MiB is refused before it is read, as reading
// it whole would only exhaust the memory.
#include <cstdint>
#include <string>

#include "xml/ByteBuffer.h"

namespace quarlex {

inline constexpr std::uint64_t kMaxInputFileBytes = std::uint64_t(256) << 20;

// The file's bytes into `bytes` (reused between files). An unreadable or too
// large file raises Error naming it.
void readWholeFile(const std::string& path, ByteBuffer& bytes);

// The same into a new string.
std::string readWholeFile(const std::string& path);

} // namespace quarlex
