#pragma once
// Checks that a call fails with the internal-consistency error of one tag, and
// that the error points at the check in the source file named.
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "tables/Error.h"

namespace quarlex::testing {

// Line `line` (from 1) of the file, or "" when there is none.
inline std::string sourceLine(const std::string& file, int line) {
    std::ifstream in(file);
    std::string text;
    for (int i = 0; i < line && std::getline(in, text); ++i) {
    }
    return in ? text : std::string();
}

template <class Call>
void expectAssertion(Call call, const std::string& tag, const std::string& unitFile) {
    try {
        call();
        ADD_FAILURE() << "no assertion failure, expected " << tag;
    } catch (const AssertionFailure& e) {
        EXPECT_EQ(e.guid(), tag);
        EXPECT_STREQ(e.what(), tag.c_str());
        EXPECT_TRUE(e.file().ends_with("/" + unitFile)) << e.file();
        EXPECT_NE(sourceLine(e.file(), e.line()).find("QUARLEX_ASSERT"), std::string::npos)
            << e.file() << ":" << e.line() << " is not the check";
    }
}

} // namespace quarlex::testing
