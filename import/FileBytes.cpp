#include "import/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tables/Error.h"

namespace quarlex {

std::string readWholeFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    // Read straight into the text at the size the file reports; a file that
    // grows meanwhile (or reports no size) is read on in steps.
    std::string bytes;
    struct stat st {};
    std::size_t want = 1 << 16;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        want = std::size_t(st.st_size) + 1; // one more, to see the end in the same pass
    std::size_t have = 0;
    while (true) {
        if (have == bytes.size())
            bytes.resize(std::max(want, bytes.size() * 2));
        ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Error("Cannot read file \"" + path + "\". " + std::strerror(errno));
        }
        if (got == 0)
            break;
        have += size_t(got);
    }
    bytes.resize(have);
    return bytes;
}

} // namespace quarlex
