#include "import/XlsReader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "import/XlsSheetExtras.h"
#include "tables/Error.h"

namespace quarlex::test {
namespace {

Money money(const char* text) {
    return Money::parse(text).value();
}

TEST(XlsCellTest, NumberAsText) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {12345678.0, "12345678"},
        {1234.5599999999999, "1234.56"},
        {0.1, "0.1"},
        {-5, "-5"},
        {-0.0, "0"},
        {1e20, "100000000000000000000"},
        {0.00001, "0.00001"},
        {123456789012.0, "123456789012"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(xlsNumberText(c.value), c.text) << c.value;
}

TEST(XlsCellTest, NumberAsMoneyRoundsToFourDecimals) {
    struct Case {
        double value;
        const char* money;
    } cases[] = {
        {1234.5599999999999, "1234.56"},
        {0.1 + 0.2, "0.3"},
        {-1234.56, "-1234.56"},
        {2.00015, "2.0002"},
        {2.00005, "2"}, // a tie goes to the even neighbour
        {123456789.12345, "123456789.1234"},
        {900000000000000.0, "900000000000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(xlsNumberMoney(c.value), money(c.money)) << c.value;
    for (double bad :
         {1e20, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        EXPECT_THROW(xlsNumberMoney(bad), Error) << bad;
}

// The short cut for amounts near a whole count of ten-thousandths gives what
// rounding the shortest decimal form gives.
TEST(XlsCellTest, NumberAsMoneyAgreesWithTheShortestDecimalForm) {
    std::mt19937_64 rng(6);
    for (int i = 0; i < 200000; ++i) {
        int decimals = int(rng() % 7);
        double value = double(std::int64_t(rng() % 2000000000000ULL) - 1000000000000LL) /
                       std::pow(10.0, decimals) * (i % 3 == 0 ? 1e-3 : 1);
        char buf[64];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
        ASSERT_EQ(ec, std::errc());
        ASSERT_EQ(xlsNumberMoney(value), Money::parse(std::string_view(buf, end - buf)).value())
            << std::string_view(buf, end - buf);
    }
}

TEST(XlsCellTest, TextAsMoneyTakesPlainDecimalNumbersOnly) {
    struct Case {
        const char* text;
        const char* money; // nullptr: not a number
    } cases[] = {
        {"1500,50", "1500.5"},
        {" 300.4 ", "300.4"},
        {"-12", "-12"},
        {"+7", "7"},
        {"", "0"},
        {"  ", "0"},
        {",5", "0.5"},
        {"5,", "5"},
        {"1 000", nullptr},
        {"1e3", nullptr},
        {"12a", nullptr},
        {"1,2,3", nullptr},
        {"1.2,3", nullptr},
        {"+", nullptr},
        {",", nullptr},
        {"--1", nullptr},
        {"99999999999999999999", nullptr},
    };
    for (const Case& c : cases) {
        std::optional<Money> m = xlsTextMoney(c.text);
        if (c.money)
            EXPECT_EQ(m, money(c.money)) << c.text;
        else
            EXPECT_FALSE(m) << c.text;
    }
}

// ---- the workbook stream's records ------------------------------------------

std::string record(std::uint16_t id, const std::string& data) {
    std::string r;
    r += char(id & 0xFF);
    r += char(id >> 8);
    r += char(data.size() & 0xFF);
    r += char(data.size() >> 8);
    return r + data;
}
std::string le16(unsigned v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
std::string le32(unsigned v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}
std::string bof(unsigned kind) {
    return record(0x0809, le16(0x0600) + le16(kind) + std::string(12, '\0'));
}
std::string eof() {
    return record(0x000A, "");
}
std::string boundSheet(unsigned offset, const std::string& latinName) {
    return record(0x0085, le32(offset) + '\0' + '\0' + char(latinName.size()) + '\0' + latinName);
}
std::string formula(unsigned row, unsigned col, const std::string& result8) {
    return record(0x0006, le16(row) + le16(col) + le16(15) + result8 + le16(0) + le32(0) + le16(0));
}
std::string numberResult(double v) {
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &v, 8);
    return bytes;
}
std::string specialResult(unsigned kind, unsigned value) {
    return std::string{char(kind), 0, char(value), 0, 0, 0, char(0xFF), char(0xFF)};
}

// Globals listing one sheet named "S", then the sheet.
std::string stream(const std::string& sheetRecords) {
    std::string head = bof(0x0005);
    std::string entry = boundSheet(0, "S");
    std::size_t offset = head.size() + entry.size() + eof().size();
    return head + boundSheet(unsigned(offset), "S") + eof() + bof(0x0010) + sheetRecords + eof();
}

TEST(XlsSheetExtrasTest, ReadsCornerAndEveryKindOfStoredResult) {
    // A text result split over a CONTINUE record, compressed then UTF-16.
    std::string string = record(0x0207, le16(6) + '\0' + "Sum:");
    std::string more = record(0x003C, std::string(1, '\1') + "\x16\x04\x30\x04");
    std::string sheet = record(0x0200, le32(2) + le32(9) + le16(1) + le16(4) + le16(0)) +
                        formula(3, 1, numberResult(2.5)) + formula(3, 2, specialResult(0, 0)) +
                        string + more + formula(4, 1, specialResult(1, 1)) +
                        formula(4, 2, specialResult(2, 7)) + formula(4, 3, specialResult(3, 0)) +
                        formula(5, 1, specialResult(0, 0)); // its STRING is missing

    SheetExtras x = parseSheetExtras(stream(sheet), "S");

    EXPECT_EQ(x.firstRow, 2u);
    EXPECT_EQ(x.firstColumn, 1u);
    ASSERT_TRUE(x.formulaAt(3, 1));
    EXPECT_EQ(x.formulaAt(3, 1)->kind, FormulaResult::Number);
    EXPECT_EQ(x.formulaAt(3, 1)->number, 2.5);
    ASSERT_TRUE(x.formulaAt(3, 2));
    EXPECT_EQ(x.formulaAt(3, 2)->kind, FormulaResult::Text);
    EXPECT_EQ(x.formulaAt(3, 2)->text, "Sum:Жа");
    EXPECT_EQ(x.formulaAt(4, 1)->kind, FormulaResult::Boolean);
    EXPECT_EQ(x.formulaAt(4, 1)->number, 1);
    EXPECT_EQ(x.formulaAt(4, 2)->kind, FormulaResult::ErrorValue);
    EXPECT_EQ(x.formulaAt(4, 2)->text, "#DIV/0!");
    EXPECT_EQ(x.formulaAt(4, 3)->kind, FormulaResult::Empty);
    EXPECT_EQ(x.formulaAt(5, 1)->kind, FormulaResult::Unreadable);
    EXPECT_FALSE(x.formulaAt(0, 0));
}

TEST(XlsSheetExtrasTest, DamagedStreamsAreErrorsNotCrashes) {
    std::string good = stream(formula(0, 0, numberResult(1)));
    std::string encrypted = bof(0x0005) + record(0x002F, std::string(6, '\0')) + eof();
    std::string sheetElsewhere = bof(0x0005) + boundSheet(100000, "S") + eof();
    std::string textCutShort =
        stream(formula(0, 0, specialResult(0, 0)) + record(0x0207, le16(50) + '\0' + "abc"));
    for (const std::string& bad : {std::string(), std::string("\x09\x08\x10", 3), encrypted,
                                   sheetElsewhere, textCutShort, bof(0x0005)}) {
        EXPECT_THROW(parseSheetExtras(bad, "S"), Error);
    }
    // Every cut of a good stream is either read or refused.
    for (std::size_t n = 0; n < good.size(); ++n) {
        try {
            parseSheetExtras(std::string_view(good).substr(0, n), "S");
        } catch (const Error&) {
        }
    }
}

} // namespace
} // namespace quarlex::test
