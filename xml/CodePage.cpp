#include "xml/CodePage.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>

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
DecodeTable buildTable() {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == iconv_t(-1))
        throw Error(std::string("The code page conversion CP1251 is not available: ") +
                    std::strerror(errno));
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
    static const DecodeTable table = buildTable();
    return table;
}

} // namespace

namespace {

// Decodes into `dst`, which has room for three bytes per byte and one more
// (each step stores a whole word); returns the end of the text.
char* decodeInto(std::string_view bytes, char* dst) {
    const DecodeTable& table = decodeTable();
    for (char ch : bytes) {
        std::uint32_t packed = table[(unsigned char)ch];
        std::memcpy(dst, &packed, 4);
        dst += countOf(packed);
    }
    return dst;
}

} // namespace

std::string decodeCp1251(std::string_view bytes) {
    ByteBuffer buffer;
    decodeCp1251(bytes, buffer);
    return std::string(buffer.data(), buffer.size());
}

void decodeCp1251(std::string_view bytes, ByteBuffer& out) {
    // Room for the worst case, never cleared: only the pages the text
    // reaches are touched.
    out.resize(0);
    out.reserve(bytes.size() * 3 + 1);
    char* end = decodeInto(bytes, out.data());
    out.resize(size_t(end - out.data()));
}

} // namespace quarlex
