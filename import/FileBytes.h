#pragma once
// Reading a whole input file into memory: the SZV-6 files and the
// reconciliation text file go through here.
#include <string>

namespace quarlex {

// The file's bytes; an unreadable file raises Error naming it.
std::string readWholeFile(const std::string& path);

} // namespace quarlex
