#include "tables/WholeNumber.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

using quarlex::parseInt32;
using quarlex::parseWholeNumber;

TEST(WholeNumber, AcceptsAndRefuses) {
    struct Case {
        std::string text;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"2011", 2011},
        {" 7\r\n", 7},
        {"+4", 4},
        {"-12", -12},
        {"0012", 12},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {"9223372036854775808", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"+", std::nullopt},
        {"+-5", std::nullopt}, // one sign only
        {"--5", std::nullopt},
        {"12a", std::nullopt},
        {"1 2", std::nullopt},
        {"1.0", std::nullopt},
        {"$1F", std::nullopt},
        {"٣", std::nullopt}, // digits of other scripts are not decimal digits here
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseWholeNumber(c.text), c.expected) << "text: '" << c.text << "'";
}

TEST(WholeNumber, Int32Range) {
    EXPECT_EQ(parseInt32("2147483647"), 2147483647);
    EXPECT_EQ(parseInt32("-2147483648"), std::numeric_limits<int>::min());
    EXPECT_EQ(parseInt32("2147483648"), std::nullopt);
    EXPECT_EQ(parseInt32("-2147483649"), std::nullopt);
}
