#include "app/FileVersion.h"

#include <cstdint>
#include <cstring>
#include <elf.h>
#include <fstream>
#include <optional>
#include <vector>

namespace quarlex {

namespace {

// The section's text is a short version string; anything larger is not ours.
constexpr std::uint64_t kMaxVersionSize = 4096;

class ElfFile {
public:
    explicit ElfFile(const std::string& path) : m_in(path, std::ios::binary) {
        if (m_in) {
            m_in.seekg(0, std::ios::end);
            const std::streamoff end = m_in.tellg();
            m_size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
        }
    }

    // Reads `size` bytes at `offset` when they lie wholly inside the file.
    bool read(std::uint64_t offset, void* out, std::uint64_t size) {
        if (!m_in || offset > m_size || size > m_size - offset)
            return false;
        m_in.seekg(static_cast<std::streamoff>(offset));
        m_in.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
        return static_cast<bool>(m_in);
    }

    std::optional<Elf64_Shdr> section(const Elf64_Ehdr& header, std::uint64_t index) {
        Elf64_Shdr shdr;
        if (!read(header.e_shoff + index * header.e_shentsize, &shdr, sizeof shdr))
            return std::nullopt;
        return shdr;
    }

private:
    std::ifstream m_in;
    std::uint64_t m_size = 0;
};

bool isOurKind(const Elf64_Ehdr& h) {
    return std::memcmp(h.e_ident, ELFMAG, SELFMAG) == 0 && h.e_ident[EI_CLASS] == ELFCLASS64 &&
           h.e_ident[EI_DATA] == ELFDATA2LSB && h.e_shentsize >= sizeof(Elf64_Shdr) &&
           h.e_shoff != 0;
}

} // namespace

std::string ReadFileVersion(const std::string& path) {
    try {
        ElfFile file(path);
        Elf64_Ehdr header;
        if (!file.read(0, &header, sizeof header) || !isOurKind(header))
            return {};

        // Many sections: the real count and string-table index sit in section 0.
        std::uint64_t count = header.e_shnum;
        std::uint64_t namesIndex = header.e_shstrndx;
        if (count == 0 || namesIndex == SHN_XINDEX) {
            const auto first = file.section(header, 0);
            if (!first)
                return {};
            if (count == 0)
                count = first->sh_size;
            if (namesIndex == SHN_XINDEX)
                namesIndex = first->sh_link;
        }
        if (namesIndex >= count)
            return {};
        const auto names = file.section(header, namesIndex);
        if (!names || names->sh_type != SHT_STRTAB)
            return {};

        const std::size_t wanted = std::strlen(kVersionSection) + 1;
        std::vector<char> name(wanted);
        for (std::uint64_t i = 1; i < count; ++i) {
            const auto s = file.section(header, i);
            if (!s)
                return {};
            if (s->sh_name >= names->sh_size || names->sh_size - s->sh_name < wanted ||
                !file.read(names->sh_offset + s->sh_name, name.data(), wanted) ||
                std::memcmp(name.data(), kVersionSection, wanted) != 0)
                continue;
            if (s->sh_type == SHT_NOBITS || s->sh_size == 0 || s->sh_size > kMaxVersionSize)
                return {};
            std::string text(s->sh_size, '\0');
            if (!file.read(s->sh_offset, text.data(), s->sh_size))
                return {};
            text.resize(std::strlen(text.c_str()));
            return text;
        }
        return {};
    } catch (...) {
        return {};
    }
}

} // namespace quarlex
