#pragma once
// Writing a file whole: the bytes go to a temporary file in the same folder,
// which is then renamed over the name. A reader never sees half a file, and
// whatever stands at the name is replaced, never followed: a symbolic link
// is replaced itself (its target stays as it was), and so is a FIFO, never
// opened. A folder, a device or a socket at the name is an error naming it.
// Used for the HTML report and the saved synchronisation log.
#include <string>
#include <string_view>

namespace quarlex {

// Raises Error naming `path` when the file cannot be written; no temporary
// file is left behind then.
void writeFileAtomically(const std::string& path, std::string_view bytes);

} // namespace quarlex
