#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "tables/Error.h"
#include "tables/Money.h"
#include "tables/Period.h"
#include "tables/Value.h"

using quarlex::Money;

namespace {

struct ParseCase {
    const char* text;
    char separator;
    std::optional<std::int64_t> units;
};

class MoneyParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(MoneyParse, GivesUnitsOrRejects) {
    const auto& c = GetParam();
    auto m = Money::parse(c.text, c.separator);
    if (!c.units) {
        EXPECT_FALSE(m.has_value()) << c.text << " -> " << m->units();
    } else {
        ASSERT_TRUE(m.has_value()) << c.text;
        EXPECT_EQ(m->units(), *c.units) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MoneyParse,
    ::testing::Values(ParseCase{"1234.56", '.', 12345600}, ParseCase{"12.34567", '.', 123457},
                      ParseCase{"-0.5", '.', -5000}, ParseCase{"+7", '.', 70000},
                      ParseCase{"  42.1 \t", '.', 421000}, ParseCase{"1234,56", ',', 12345600},
                      ParseCase{"1e3", '.', 10000000}, ParseCase{"1.5E-2", '.', 150},
                      ParseCase{"2.5e-4", '.', 2}, ParseCase{".5", '.', 5000},
                      ParseCase{"5.", '.', 50000}, ParseCase{"000012.3400000", '.', 123400},
                      // ties go to the even neighbour, exactly (no binary floating point)
                      ParseCase{"0.00005", '.', 0}, ParseCase{"0.00015", '.', 2},
                      ParseCase{"0.00025", '.', 2}, ParseCase{"-0.00015", '.', -2},
                      ParseCase{"0.000050000000000000001", '.', 1},
                      ParseCase{"1.00004999", '.', 10000}, ParseCase{"0.1", '.', 1000},
                      ParseCase{"1e-30", '.', 0}, ParseCase{"-0.00001", '.', 0},
                      // the extremes of the 64-bit count
                      ParseCase{"922337203685477.5807", '.', INT64_MAX},
                      ParseCase{"-922337203685477.5808", '.', INT64_MIN},
                      ParseCase{"922337203685477.5808", '.', std::nullopt},
                      ParseCase{"1e300", '.', std::nullopt}, ParseCase{"0e999999999999", '.', 0},
                      // not decimal numbers
                      ParseCase{"", '.', std::nullopt}, ParseCase{"   ", '.', std::nullopt},
                      ParseCase{"abc", '.', std::nullopt}, ParseCase{"1,5", '.', std::nullopt},
                      ParseCase{"1.5", ',', std::nullopt}, ParseCase{"1.2.3", '.', std::nullopt},
                      ParseCase{"1e", '.', std::nullopt}, ParseCase{"-", '.', std::nullopt},
                      ParseCase{".", '.', std::nullopt}, ParseCase{"12 3", '.', std::nullopt},
                      ParseCase{"0x10", '.', std::nullopt}, ParseCase{"1 000", '.', std::nullopt}));

TEST(Money, ToFixedRoundsHalfAwayFromZero) {
    struct {
        std::int64_t units;
        int decimals;
        char sep;
        const char* text;
    } cases[] = {
        {12345600, 2, '.', "1234.56"},
        {-500000, 2, '.', "-50.00"},
        {123457, 4, '.', "12.3457"},
        {123450, 2, ',', "12,35"},
        {-123450, 2, '.', "-12.35"},
        {123449, 2, '.', "12.34"},
        {5000, 0, '.', "1"},
        {-5000, 0, '.', "-1"},
        {-49, 2, '.', "0.00"},
        {0, 4, '.', "0.0000"},
        {INT64_MIN, 4, '.', "-922337203685477.5808"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Money::fromUnits(c.units).toFixed(c.decimals, c.sep), c.text) << c.units;
}

TEST(Money, RoundedCentsAndArithmetic) {
    EXPECT_EQ(Money::fromUnits(123450).roundedCents(), 1235);
    EXPECT_EQ(Money::fromUnits(-123450).roundedCents(), -1235);
    EXPECT_EQ(Money::fromUnits(123449).roundedCents(), 1234);
    // accrued 100.00, paid 150.00: the debt is -50.00, exactly
    Money debt = *Money::parse("100.00") - *Money::parse("150.00");
    EXPECT_EQ(debt.units(), -500000);
    EXPECT_TRUE(debt.isNegative());
    // sums of tenths stay exact where binary floating point would drift
    Money sum;
    for (int i = 0; i < 10; ++i)
        sum += *Money::parse("0.1");
    EXPECT_EQ(sum, *Money::parse("1"));
}

// A sum or difference beyond 64 bits is an error, never a wrapped amount.
TEST(Money, OverflowIsAnErrorNeverAWrappedAmount) {
    const Money max = Money::fromUnits(std::numeric_limits<std::int64_t>::max());
    const Money min = Money::fromUnits(std::numeric_limits<std::int64_t>::min());
    const Money unit = Money::fromUnits(1);
    struct Case {
        const char* name;
        std::function<Money()> op;
    };
    const Case cases[] = {
        {"max + unit", [&] { return max + unit; }},
        {"min - unit", [&] { return min - unit; }},
        {"unit - min", [&] { return unit - min; }},
        {"-min", [&] { return -min; }},
        {"max += max",
         [&] {
             Money m = max;
             return m += max;
         }},
        {"min -= unit",
         [&] {
             Money m = min;
             return m -= unit;
         }},
        {"whole 922337203685478", [] { return Money::fromWhole(922337203685478); }},
    };
    for (const Case& c : cases)
        EXPECT_THROW(c.op(), quarlex::MoneyOverflow) << c.name;
    try {
        (void)(min - unit);
    } catch (const quarlex::MoneyOverflow& e) {
        EXPECT_STREQ(e.what(), "The amount -922337203685477.5808 - 0.0001 is out of the range of "
                               "money");
    }
    // The edges themselves are amounts.
    EXPECT_EQ((max - max + min).units(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ((-(min + unit)).units(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Money::fromWhole(-922337203685477).toFixed(0), "-922337203685477");
}

TEST(Period, KeyOrdersByTime) {
    static_assert(quarlex::periodKey(2011, 4) == 20114);
    static_assert(quarlex::periodKey(2010, 4) < quarlex::periodKey(2011, 1));
    static_assert(quarlex::periodKey(2011, 1) < quarlex::periodKey(2011, 2));
    EXPECT_EQ(quarlex::periodYear(20114), 2011);
    EXPECT_EQ(quarlex::periodQuarter(20114), 4);
}

TEST(Value, Text) {
    using quarlex::Value;
    EXPECT_EQ(quarlex::valueToText(Value()), "");
    EXPECT_EQ(quarlex::valueToText(Value(std::int64_t(-12))), "-12");
    EXPECT_EQ(quarlex::valueToText(Value(Money::fromUnits(-5000))), "-0.5000");
    EXPECT_EQ(quarlex::valueToText(Value(std::string("ОСН"))), "ОСН");
}

} // namespace
