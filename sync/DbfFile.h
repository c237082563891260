#pragma once
// The file underneath shapelib's DBF API. shapelib reaches its files through
// a table of hooks; ours open exactly the file the caller resolved (never a
// side file such as a ".cpg"), never create a file, refuse writes through a
// read-only handle, read ahead in blocks, write straight through to the
// system, and remember the first failure so that no error shapelib does not
// check gets lost.
#include <shapefil.h>

#include <cstdint>
#include <string>

namespace quarlex::dbf {

struct DbfFile {
    int fd = -1;
    bool writable = false;
    std::string path;
    std::uint64_t pos = 0;
    // The read-ahead block: [blockStart, blockStart + block.size()).
    std::uint64_t blockStart = 0;
    std::string block;
    // The first failure of a read, write or flush, with the system's reason.
    std::string failure;
    // The file header as last read or written (shapelib reads it back on every
    // header update), and where a lone end-of-file mark was last written.
    std::string header;
    std::uint64_t endMarkAt = 0;

    // Reads up to `size` bytes at `offset` through the block; the count read.
    std::size_t readAt(std::uint64_t offset, char* out, std::size_t size);
    // The same straight from the file, leaving the block as it is.
    std::size_t readUncached(std::uint64_t offset, char* out, std::size_t size);
    // Writes all of `size` bytes at `offset`; false (and `failure` set) when
    // the system refused part of them.
    bool writeAt(std::uint64_t offset, const char* data, std::size_t size);
    std::uint64_t size() const;
};

// The hooks to hand to DBFOpenLL. Opening goes to the file named by the
// innermost OpenRequest of this thread.
SAHooks hooks();

// Names the file the next DBFOpenLL on this thread opens, for the lifetime of
// the object; also collects the messages shapelib reports meanwhile.
class OpenRequest {
public:
    OpenRequest(std::string path, bool writable);
    ~OpenRequest();
    OpenRequest(const OpenRequest&) = delete;
    OpenRequest& operator=(const OpenRequest&) = delete;

    // The system's reason when opening failed, else what shapelib reported.
    std::string reason() const;

private:
    friend struct HookAccess;
    std::string m_path;
    bool m_writable;
    std::string m_openError;
    OpenRequest* m_outer;
};

// Messages shapelib reported on this thread since the last call; cleared.
std::string takeLibraryMessages();

inline DbfFile& fileOf(DBFHandle handle) {
    return *reinterpret_cast<DbfFile*>(handle->fp);
}

} // namespace quarlex::dbf
