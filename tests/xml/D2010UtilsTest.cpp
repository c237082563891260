#include "xml/D2010Utils.h"

#include <gtest/gtest.h>

#include "tables/Error.h"

using namespace quarlex;

TEST(D2010UtilsTest, NarrowsToTheCodePage) {
    struct Case {
        const char* name;
        std::string text;
        unsigned codePage;
        std::string narrow;
    };
    const Case cases[] = {
        {"ASCII unchanged", "1.2.3.4", 1251, "1.2.3.4"},
        {"Cyrillic in 1251", "Яя Ёё", 1251, "\xDF\xFF \xA8\xB8"},
        {"Cyrillic in 866", "Яя Ёё", 866, "\x9F\xEF \xF0\xF1"},
        {"0 is the ANSI code page", "Ж", 0, "\xC6"},
        {"U+0098 back to the byte 1251 leaves undefined", "\xC2\x98", 1251, "\x98"},
        {"a character the code page lacks",
         "a\xE2\x82\xAC"
         "b",
         866, "a?b"}, // euro sign
        {"no look-alike for a full-width digit", "\xEF\xBC\x91.2", 1251, "?.2"},
        {"bytes that are no UTF-8",
         "a\xFF\xC3"
         "b",
         1251,
         "a?"
         "?b"},
        {"a truncated sequence at the end", "ab\xD0", 1251, "ab?"},
        {"empty", "", 1251, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WideToCodePage(c.text, c.codePage), c.narrow) << c.name;
    EXPECT_EQ(WideToAnsi("Ж1"), "\xC6"
                                "1");
}

TEST(D2010UtilsTest, UnknownCodePageIsAnError) {
    try {
        WideToCodePage("x", 4242);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("4242"), std::string::npos) << e.what();
    }
}
