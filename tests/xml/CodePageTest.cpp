#include "xml/CodePage.h"

#include <gtest/gtest.h>
#include <set>

#include "tests/support/Cp1251Encode.h"

using quarlex::decodeCp1251;

namespace {

// Number of code points in valid UTF-8, or -1 when it is not valid UTF-8.
int codePoints(const std::string& s) {
    int count = 0;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = (unsigned char)s[i];
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 0;
        if (len == 0 || i + len > s.size())
            return -1;
        for (size_t k = 1; k < len; ++k)
            if (((unsigned char)s[i + k] >> 6) != 2)
                return -1;
        i += len;
        ++count;
    }
    return count;
}

// Back to Windows-1251 with iconv, for the round trip.
std::string encodeCp1251(const std::string& utf8) {
    return quarlex::testing::encodeCp1251(utf8).value_or("<refused>");
}

} // namespace

TEST(CodePageTest, DecodesKnownCharacters) {
    struct Case {
        std::string bytes;
        std::string utf8;
    };
    const Case cases[] = {
        {"", ""},
        {"SNILS 012-345-678 05", "SNILS 012-345-678 05"},
        {"\xC8\xD1\xD5\xCE\xC4\xCD\xC0\xDF", "ИСХОДНАЯ"},
        {"\xEF\xF0\xE8\xE2\xE5\xF2 \xB8\xA8", "привет ёЁ"},
        {"\xB9\x88", "№€"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"\x98", "\xC2\x98"}, // undefined in the code page: U+0098
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeCp1251(c.bytes), c.utf8);
    // One buffer for all, as the folder import keeps it from file to file:
    // a shorter text after a longer one leaves nothing of the longer behind.
    quarlex::ByteBuffer reused;
    for (const Case& c : {cases[3], cases[1], cases[4], cases[0], cases[2]}) {
        decodeCp1251(c.bytes, reused);
        EXPECT_EQ(std::string(reused.data(), reused.size()), c.utf8);
    }
}

TEST(CodePageTest, EveryByteDecodesToOneDistinctCharacterThatRoundTrips) {
    std::string all;
    std::string joined;
    std::set<std::string> seen;
    for (int b = 0; b < 256; ++b) {
        std::string one(1, char(b));
        std::string decoded = decodeCp1251(one);
        EXPECT_EQ(codePoints(decoded), 1) << "byte " << b;
        EXPECT_TRUE(seen.insert(decoded).second) << "byte " << b << " decodes like another";
        if (b != 0x98) {
            EXPECT_EQ(encodeCp1251(decoded), one) << "byte " << b;
        }
        all += one;
        joined += decoded;
    }
    EXPECT_EQ(decodeCp1251(all), joined);
}
