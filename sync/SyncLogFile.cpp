#include "sync/SyncLogFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tables/Error.h"

namespace quarlex {

namespace {

// The permissions a newly created file gets under the process's umask.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void saveSyncLog(const std::string& path, const std::vector<std::string>& lines) {
    auto fail = [&path](int err) {
        throw Error("Не удалось записать файл \"" + path + "\": " + std::strerror(err));
    };
    std::string content = "\xEF\xBB\xBF";
    for (const std::string& line : lines) {
        content += line;
        content += "\r\n";
    }
    // mkstemp creates a new file of its own (O_EXCL): nothing planted is followed.
    std::string temp = path + ".XXXXXX";
    errno = 0;
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        fail(errno);
    int err = 0;
    if (::fchmod(fd, newFileMode()) != 0 || !writeAll(fd, content) || ::fsync(fd) != 0)
        err = errno ? errno : EIO;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        fail(err);
    }
}

} // namespace quarlex
