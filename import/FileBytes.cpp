#include "import/FileBytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tables/Error.h"

namespace quarlex {

namespace {

// The callers name the file on a line of their own.
[[noreturn]] void refuseSize(std::uint64_t bytes) {
    throw Error("The file is " + std::to_string(bytes) +
                " bytes long; files over 256 MiB (268435456 bytes) are not read");
}

} // namespace

void readWholeFile(const std::string& path, ByteBuffer& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    // At the size the file reports; a file that grows meanwhile (or reports
    // no size) is read on in steps, up to the limit.
    struct stat st {};
    std::size_t want = 1 << 16;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        if (std::uint64_t(st.st_size) > kMaxInputFileBytes)
            refuseSize(std::uint64_t(st.st_size));
        want = std::size_t(st.st_size) + 1; // one more, to see the end in the same pass
    }
    bytes.resize(0);
    bytes.reserve(want);
    std::size_t have = 0;
    while (true) {
        if (have == bytes.capacity()) {
            if (have > kMaxInputFileBytes)
                refuseSize(have);
            bytes.resize(have);
            bytes.reserve(have * 2);
        }
        ssize_t got = ::read(fd, bytes.data() + have, bytes.capacity() - have);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Error("Cannot read file \"" + path + "\". " + std::strerror(errno));
        }
        if (got == 0)
            break;
        have += size_t(got);
    }
    if (have > kMaxInputFileBytes)
        refuseSize(have);
    bytes.resize(have);
}

std::string readWholeFile(const std::string& path) {
    ByteBuffer bytes;
    readWholeFile(path, bytes);
    return std::string(bytes.data(), bytes.size());
}

} // namespace quarlex
