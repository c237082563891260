#pragma once
// The saved synchronisation log: UTF-8 with a byte order mark, every line
// ended by CR LF. Written whole: into a new file beside the name, then renamed
// over it, so that a reader never sees half a log and a link or FIFO planted
// at the name is replaced, never followed.
#include <string>
#include <vector>

namespace quarlex {

// Raises Error naming the file when it cannot be written; the name is then
// left as it was.
void saveSyncLog(const std::string& path, const std::vector<std::string>& lines);

} // namespace quarlex
