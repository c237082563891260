#pragma once
// Paths below the accounting program's DATA folder. Its files come from a
// system that ignores letter case in file names, so every component of a
// relative path ("ZP/ZP_TAB/zp_tab03.dbf") is matched against the folder's
// entries without regard to letter case (ZP/zp_tab/ZP_TAB03.DBF is found).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarlex {

enum class EntryKind { Folder, File, Any };

// The full path of `relative` ('/'-separated) below `base`, or nothing when
// no entry of that kind stands there. An exact match wins; otherwise the
// first entry in byte order of the names that matches without regard to case.
std::optional<std::string> findPath(const std::string& base, std::string_view relative,
                                    EntryKind kind);

// Names of the index files that stand beside a table: its base name with the
// extension .mdx, .cdx, .ndx, .ntx or .idx, in any letter case; sorted.
std::vector<std::string> indexFilesBeside(const std::string& tablePath);

} // namespace quarlex
