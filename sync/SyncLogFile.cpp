#include "sync/SyncLogFile.h"

#include "report/AtomicFile.h"

namespace quarlex {

void saveSyncLog(const std::string& path, const std::vector<std::string>& lines) {
    std::string content = "\xEF\xBB\xBF"; // UTF-8 with its byte order mark, CR LF
    for (const std::string& line : lines) {
        content += line;
        content += "\r\n";
    }
    writeFileAtomically(path, content);
}

} // namespace quarlex
