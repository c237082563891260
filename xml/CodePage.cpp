#include "xml/CodePage.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <memory>

#include "tables/Error.h"

namespace quarlex {

namespace {

// The UTF-8 form of one byte of the code page, packed into one word: up to
// three bytes in memory order and their count in the top byte. Decoding then
// copies one word per byte and steps by the count.
using DecodeTable = std::array<std::uint32_t, 256>;

std::uint32_t pack(const unsigned char* utf8, unsigned length) {
    unsigned char word[4] = {0, 0, 0, 0};
    std::memcpy(word, utf8, length);
    std::uint32_t bytes;
    std::memcpy(&bytes, word, 4);
    // The count goes where the fourth byte would be stored.
    unsigned char probe[4] = {0, 0, 0, 1};
    std::uint32_t top;
    std::memcpy(&top, probe, 4);
    return bytes | (top * length);
}

std::uint32_t packCodePoint(unsigned codePoint) {
    unsigned char b[3];
    if (codePoint < 0x80) {
        b[0] = (unsigned char)codePoint;
        return pack(b, 1);
    }
    b[0] = (unsigned char)(0xC0 | (codePoint >> 6));
    b[1] = (unsigned char)(0x80 | (codePoint & 0x3F));
    return pack(b, 2); // every byte value is below U+0800
}

unsigned countOf(std::uint32_t packed) {
    unsigned char word[4];
    std::memcpy(word, &packed, 4);
    return word[3];
}

// iconv stays the source of truth for the code page, but is asked once per
// byte value: calling it on every file's bytes would cost more than parsing.
DecodeTable buildTable(const char* codePage) {
    iconv_t cd = iconv_open("UTF-8", codePage);
    if (cd == iconv_t(-1))
        throw Error(std::string("The code page conversion ") + codePage +
                    " is not available: " + std::strerror(errno));
    DecodeTable table;
    for (unsigned b = 0; b < 256; ++b) {
        char in[1] = {char(b)};
        char out[8] = {};
        char* inPtr = in;
        char* outPtr = out;
        size_t inLeft = 1;
        size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr); // reset the shift state
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        size_t produced = sizeof out - outLeft;
        if (rc == size_t(-1) || inLeft != 0 || produced == 0 || produced > 3) {
            // A byte the code page leaves undefined (0x98) is the control
            // character of the same number, as on the original platform.
            table[b] = packCodePoint(b);
        } else {
            table[b] = pack(reinterpret_cast<const unsigned char*>(out), unsigned(produced));
        }
    }
    iconv_close(cd);
    return table;
}

const DecodeTable& decodeTable() {
    static const DecodeTable table = buildTable("CP1251");
    return table;
}

const DecodeTable& cp866Table() {
    static const DecodeTable table = buildTable("CP866");
    return table;
}

// Decodes into `dst`, which has room for three bytes per byte and one more
// (each step stores a whole word); returns the end of the text.
char* decodeInto(const DecodeTable& table, std::string_view bytes, char* dst) {
    for (char ch : bytes) {
        std::uint32_t packed = table[(unsigned char)ch];
        std::memcpy(dst, &packed, 4);
        dst += countOf(packed);
    }
    return dst;
}

void decodeWith(const DecodeTable& table, std::string_view bytes, ByteBuffer& out) {
    // Room for the worst case, never cleared: only the pages the text
    // reaches are touched.
    out.resize(0);
    out.reserve(bytes.size() * 3 + 1);
    char* end = decodeInto(table, bytes, out.data());
    out.resize(size_t(end - out.data()));
}

std::string decodeWith(const DecodeTable& table, std::string_view bytes) {
    ByteBuffer buffer;
    decodeWith(table, bytes, buffer);
    return std::string(buffer.data(), buffer.size());
}

// The code point of a packed UTF-8 form.
unsigned codePointOf(std::uint32_t packed) {
    unsigned char b[4];
    std::memcpy(b, &packed, 4);
    switch (b[3]) {
    case 1:
        return b[0];
    case 2:
        return (b[0] & 0x1Fu) << 6 | (b[1] & 0x3Fu);
    default:
        return (b[0] & 0x0Fu) << 12 | (b[1] & 0x3Fu) << 6 | (b[2] & 0x3Fu);
    }
}

// Code point (below U+10000) to the byte of code page 866; -1 where it has none.
using EncodeTable = std::array<std::int16_t, 0x10000>;

std::unique_ptr<EncodeTable> buildEncodeTable() {
    auto table = std::make_unique<EncodeTable>();
    table->fill(-1);
    const DecodeTable& decode = cp866Table();
    for (unsigned b = 0; b < 256; ++b) {
        std::int16_t& slot = (*table)[codePointOf(decode[b])];
        if (slot < 0)
            slot = static_cast<std::int16_t>(b);
    }
    return table;
}

const EncodeTable& cp866EncodeTable() {
    static const std::unique_ptr<EncodeTable> table = buildEncodeTable();
    return *table;
}

// The next code point of UTF-8 text at `i`, stepping past it; -1 for a
// malformed sequence (one byte is stepped over).
long nextCodePoint(std::string_view s, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(s[i++]);
    if (lead < 0x80)
        return lead;
    int extra = lead >= 0xF0 && lead < 0xF5   ? 3
                : lead >= 0xE0                ? 2
                : lead >= 0xC2 && lead < 0xE0 ? 1
                                              : -1;
    if (lead >= 0xF5 || extra < 0)
        return -1;
    unsigned long cp = lead & (0x3Fu >> extra);
    const std::size_t start = i;
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            i = start;
            return -1;
        }
        cp = cp << 6 | (static_cast<unsigned char>(s[i++]) & 0x3Fu);
    }
    static constexpr unsigned long kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || (cp >= 0xD800 && cp < 0xE000) || cp > 0x10FFFF)
        return -1;
    return static_cast<long>(cp);
}

} // namespace

std::string decodeCp1251(std::string_view bytes) {
    return decodeWith(decodeTable(), bytes);
}

void decodeCp1251(std::string_view bytes, ByteBuffer& out) {
    decodeWith(decodeTable(), bytes, out);
}

std::string decodeCp866(std::string_view bytes) {
    return decodeWith(cp866Table(), bytes);
}

std::string encodeCp866(std::string_view utf8) {
    const EncodeTable& table = cp866EncodeTable();
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const long cp = nextCodePoint(utf8, i);
        const std::int16_t b = cp >= 0 && cp < 0x10000 ? table[static_cast<std::size_t>(cp)] : -1;
        out += b >= 0 ? static_cast<char>(b) : '?';
    }
    return out;
}

bool cp866Available() {
    iconv_t cd = iconv_open("UTF-8", "CP866");
    if (cd == iconv_t(-1))
        return false;
    iconv_close(cd);
    return true;
}

} // namespace quarlex

namespace quarlex {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `s`, 0 when it is
// not one.
size_t utf8SequenceLength(std::string_view s) {
    const auto b = [&](size_t i) { return (unsigned char)s[i]; };
    const unsigned char lead = b(0);
    size_t length = lead < 0x80         ? 1
                    : (lead >> 5) == 6  ? 2
                    : (lead >> 4) == 14 ? 3
                    : (lead >> 3) == 30 ? 4
                                        : 0;
    if (length == 0 || length > s.size() || (length == 2 && lead < 0xC2))
        return 0;
    for (size_t i = 1; i < length; ++i)
        if ((b(i) >> 6) != 2)
            return 0;
    if (length == 3) {
        const unsigned cp = ((lead & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6);
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
    }
    if (length == 4) {
        const unsigned cp = ((lead & 0x07u) << 18) | ((b(1) & 0x3Fu) << 12);
        if (cp < 0x10000 || cp > 0x10FFFF)
            return 0;
    }
    return length;
}

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (ok())
            iconv_close(m_cd);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool ok() const { return m_cd != iconv_t(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

} // namespace

std::string encodeCodePage(std::string_view utf8, unsigned codePage) {
    const std::string name = "CP" + std::to_string(codePage);
    IconvHandle cd(name.c_str(), "UTF-8");
    if (!cd.ok())
        throw Error("The code page " + std::to_string(codePage) + " is not available");
    std::string out;
    out.reserve(utf8.size());
    // One character at a time, so that a refused one costs only itself.
    while (!utf8.empty()) {
        const size_t length = utf8SequenceLength(utf8);
        if (length == 0) {
            out += '?';
            utf8.remove_prefix(1);
            continue;
        }
        // U+0098 is the byte 0x98 that Windows-1251 leaves undefined, as decoded.
        if (codePage == 1251 && utf8.substr(0, 2) == "\xC2\x98") {
            out += '\x98';
            utf8.remove_prefix(2);
            continue;
        }
        char in[4];
        std::memcpy(in, utf8.data(), length);
        char buffer[16];
        char* inPtr = in;
        char* outPtr = buffer;
        size_t inLeft = length;
        size_t outLeft = sizeof buffer;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        const size_t rc = iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc == size_t(-1) || inLeft != 0)
            out += '?';
        else
            out.append(buffer, sizeof buffer - outLeft);
        utf8.remove_prefix(length);
    }
    return out;
}

} // namespace quarlex
