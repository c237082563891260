#include "sync/DbfFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarlex::dbf {

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

thread_local OpenRequest* t_request = nullptr;
thread_local std::string t_messages;

DbfFile* asFile(SAFile file) {
    return reinterpret_cast<DbfFile*>(file);
}

void note(std::string& failure, const std::string& what) {
    if (failure.empty())
        failure = what;
}

bool isDbfName(const char* filename) {
    const char* dot = std::strrchr(filename, '.');
    const char* slash = std::strrchr(filename, '/');
    return dot && (!slash || dot > slash) && strcasecmp(dot, ".dbf") == 0;
}

} // namespace

struct HookAccess {
    static SAFile open(const char* filename, const char*) {
        OpenRequest* request = t_request;
        // shapelib also asks for a ".cpg" beside the table: we read no other file.
        if (!request || !isDbfName(filename))
            return nullptr;
        // Non-blocking only for the open itself: a FIFO planted at the name
        // must not hang the program.
        const int flags = (request->m_writable ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
        const int fd = ::open(request->m_path.c_str(), flags);
        if (fd < 0) {
            request->m_openError = std::strerror(errno);
            return nullptr;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            request->m_openError = "not a regular file";
            ::close(fd);
            return nullptr;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        auto* file = new DbfFile;
        file->fd = fd;
        file->writable = request->m_writable;
        file->path = request->m_path;
        return reinterpret_cast<SAFile>(file);
    }
};

std::size_t DbfFile::readUncached(std::uint64_t at, char* dst, std::size_t want) {
    std::size_t done = 0;
    while (done < want) {
        const ssize_t n = ::pread(fd, dst + done, want - done, static_cast<off_t>(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            note(failure, std::string("read failed: ") + std::strerror(errno));
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t DbfFile::readAt(std::uint64_t offset, char* out, std::size_t size) {
    if (offset >= blockStart && offset + size <= blockStart + block.size()) {
        std::memcpy(out, block.data() + (offset - blockStart), size);
        return size;
    }
    // The header is read back on every post: it is kept apart, so that the
    // records stay in the block.
    if (offset == 0 && size <= 32) {
        if (header.size() < 32) {
            header.assign(32, '\0');
            header.resize(readUncached(0, header.data(), 32));
        }
        const std::size_t n = std::min(size, header.size());
        std::memcpy(out, header.data(), n);
        return n;
    }
    if (size >= kBlockSize || offset == 0)
        return readUncached(offset, out, size);
    block.resize(kBlockSize);
    block.resize(readUncached(offset, block.data(), kBlockSize));
    blockStart = offset;
    const std::size_t n = std::min(size, block.size());
    std::memcpy(out, block.data(), n);
    return n;
}

bool DbfFile::writeAt(std::uint64_t offset, const char* data, std::size_t size) {
    if (!writable) {
        note(failure, "the table is open read-only");
        return false;
    }
    // The block keeps what the file now holds.
    if (offset < blockStart + block.size() && blockStart < offset + size) {
        const std::uint64_t from = std::max(offset, blockStart);
        const std::uint64_t to = std::min(offset + size, blockStart + block.size());
        std::memcpy(block.data() + (from - blockStart), data + (from - offset), to - from);
    }
    if (offset < header.size()) {
        const std::size_t to = std::min<std::uint64_t>(offset + size, header.size());
        // shapelib rewrites the header after every record; a rewrite that
        // changes nothing (same count, same day) need not reach the disk.
        if (offset + size <= header.size() && std::memcmp(header.data() + offset, data, size) == 0)
            return true;
        std::memcpy(header.data() + offset, data, to - offset);
    }
    if (size == 1 && data[0] == 0x1A)
        endMarkAt = offset;
    else if (endMarkAt >= offset && endMarkAt < offset + size)
        endMarkAt = 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            note(failure, std::string("write failed: ") +
                              (n < 0 ? std::strerror(errno) : "nothing written"));
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::uint64_t DbfFile::size() const {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

namespace {

SAOffset hookRead(void* p, SAOffset size, SAOffset count, SAFile handle) {
    DbfFile* file = asFile(handle);
    const std::size_t n = file->readAt(file->pos, static_cast<char*>(p), size * count);
    file->pos += n;
    return size ? n / size : 0;
}

SAOffset hookWrite(void* p, SAOffset size, SAOffset count, SAFile handle) {
    DbfFile* file = asFile(handle);
    if (!file->writeAt(file->pos, static_cast<const char*>(p), size * count))
        return 0;
    file->pos += size * count;
    return count;
}

SAOffset hookSeek(SAFile handle, SAOffset offset, int whence) {
    DbfFile* file = asFile(handle);
    switch (whence) {
    case SEEK_SET:
        file->pos = offset;
        return 0;
    case SEEK_CUR:
        file->pos += offset;
        return 0;
    case SEEK_END:
        file->pos = file->size() + offset;
        return 0;
    default:
        return SAOffset(-1);
    }
}

SAOffset hookTell(SAFile handle) {
    return asFile(handle)->pos;
}

int hookFlush(SAFile handle) {
    // Writes go straight to the system; a failure so far is the flush's failure.
    return asFile(handle)->failure.empty() ? 0 : -1;
}

int hookClose(SAFile handle) {
    DbfFile* file = asFile(handle);
    if (file->writable && ::fdatasync(file->fd) != 0)
        note(file->failure, std::string("flush to disk failed: ") + std::strerror(errno));
    if (::close(file->fd) != 0 && errno != EINTR)
        note(file->failure, std::string("close failed: ") + std::strerror(errno));
    const bool ok = file->failure.empty();
    if (!ok)
        t_messages += (t_messages.empty() ? "" : "; ") + file->failure;
    delete file;
    return ok ? 0 : -1;
}

int hookRemove(const char*) {
    return -1; // never removes a file of the accounting program
}

void hookError(const char* message) {
    t_messages += (t_messages.empty() ? "" : "; ") + std::string(message ? message : "");
}

double hookAtof(const char* text) {
    return std::strtod(text, nullptr);
}

} // namespace

SAHooks hooks() {
    SAHooks h{};
    h.FOpen = HookAccess::open;
    h.FRead = hookRead;
    h.FWrite = hookWrite;
    h.FSeek = hookSeek;
    h.FTell = hookTell;
    h.FFlush = hookFlush;
    h.FClose = hookClose;
    h.Remove = hookRemove;
    h.Error = hookError;
    h.Atof = hookAtof;
    return h;
}

OpenRequest::OpenRequest(std::string path, bool writable)
    : m_path(std::move(path)), m_writable(writable), m_outer(t_request) {
    t_request = this;
    t_messages.clear();
}

OpenRequest::~OpenRequest() {
    t_request = m_outer;
}

std::string OpenRequest::reason() const {
    if (!m_openError.empty())
        return m_openError;
    return t_messages;
}

std::string takeLibraryMessages() {
    std::string messages;
    messages.swap(t_messages);
    return messages;
}

} // namespace quarlex::dbf
