#include "report/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tables/Error.h"

namespace quarlex {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& why) {
    throw Error("Не удалось записать файл \"" + path + "\": " + why);
}

[[noreturn]] void failErrno(const std::string& path, int err) {
    fail(path, std::strerror(err));
}

// The temporary file, removed unless it was renamed into place.
class TempFile {
public:
    TempFile(const std::string& path, mode_t mode) : m_path(tempPattern(path)) {
        m_fd = mkstemp(m_path.data());
        if (m_fd < 0)
            failErrno(path, errno);
        // mkstemp gives 0600; the file gets the mode a plain create would.
        if (fchmod(m_fd, mode) != 0) {
            const int err = errno;
            discard();
            failErrno(path, err);
        }
    }
    ~TempFile() { discard(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }

    // 0 or the errno of the failing close.
    int close() {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc == 0 ? 0 : errno;
    }
    void keep() { m_kept = true; }

private:
    static std::string tempPattern(const std::string& path) {
        const std::filesystem::path p(path);
        return (p.parent_path() / ("." + p.filename().string() + ".XXXXXX")).string();
    }
    void discard() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (!m_kept)
            ::unlink(m_path.c_str());
        m_kept = true;
    }

    std::string m_path;
    int m_fd = -1;
    bool m_kept = false;
};

// The mode of the file being replaced, else what a new file gets.
mode_t modeFor(const struct stat* existing) {
    if (existing && S_ISREG(existing->st_mode))
        return existing->st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void writeAll(int fd, std::string_view bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failErrno(path, n < 0 ? errno : EIO);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

void writeFileAtomically(const std::string& path, std::string_view bytes) {
    struct stat st {};
    const bool exists = ::lstat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        fail(path, "на этом месте папка");
    // A link or a FIFO planted at the name is replaced by the rename, never
    // opened; a device or a socket is not ours to replace.
    if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode) && !S_ISFIFO(st.st_mode))
        fail(path, "на этом месте не обычный файл");

    TempFile temp(path, modeFor(exists ? &st : nullptr));
    writeAll(temp.fd(), bytes, path);
    if (::fsync(temp.fd()) != 0)
        failErrno(path, errno);
    if (const int err = temp.close(); err != 0)
        failErrno(path, err);
    if (::rename(temp.path().c_str(), path.c_str()) != 0)
        failErrno(path, errno);
    temp.keep();
}

} // namespace quarlex
