#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>

#include "tables/Error.h"
#include "tests/xml/ExpectAssertion.h"
#include "xml/UXMLHelper.h"

using namespace quarlex;
using quarlex::testing::expectAssertion;

namespace {

const std::string kIPv6ExpectedTag = "{58C66B56-A2EE-4439-9894-C89C24BCE9F3}";

// A document with one record holding the element <v> with the text given, or
// no <v> at all; the subset over the records is open.
struct ValueDoc {
    TXMLParser parser;
    explicit ValueDoc(const std::optional<std::string>& text, const std::string& attrs = "")
        : parser(xmlFor(text, attrs), false, 0) {
        EXPECT_EQ(parser.InitSubset("rec"), 1);
    }
    static std::string xmlFor(const std::optional<std::string>& text, const std::string& attrs) {
        return "<r><rec>" + (text ? "<v" + attrs + ">" + *text + "</v>" : std::string()) +
               "</rec></r>";
    }
};

// The document-wide and the subset read of one case must agree.
template <class T, class Read, class SubsetRead>
void expectBoth(const std::optional<std::string>& text, Read read, SubsetRead subsetRead,
                T expected) {
    ValueDoc doc(text);
    const std::string name = text ? '"' + *text + '"' : std::string("missing");
    EXPECT_EQ(read(doc.parser), expected) << name;
    EXPECT_EQ(subsetRead(doc.parser), expected) << name << " (subset)";
}

const std::nullopt_t kMissing = std::nullopt;

// IPv6 text converts whether or not this machine has the protocol.
class IPv6Available {
public:
    IPv6Available() {
        IPPlatform platform = DefaultIPPlatform();
        platform.CreateIPv6Socket = [] { return true; };
        m_saved = SetIPPlatform(platform);
    }
    ~IPv6Available() { SetIPPlatform(m_saved); }
    IPv6Available(const IPv6Available&) = delete;
    IPv6Available& operator=(const IPv6Available&) = delete;

private:
    IPPlatform m_saved{};
};

} // namespace

TEST(TypedReadsTest, Integer) {
    constexpr int kDef = -99;
    struct Case {
        std::optional<std::string> text;
        int expected;
    };
    const Case cases[] = {
        {"12", 12},
        {" 12", 12},
        {"   -12", -12},
        {"+7", 7},
        {"0012", 12},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int>::min()},
        {"2147483648", kDef},
        {"-2147483649", kDef},
        {"$1F", 31},
        {"x1f", 31},
        {"X1F", 31},
        {"0x10", 16},
        {"0X10", 16},
        {" -$10", -16},
        {"$7FFFFFFF", 2147483647},
        {"-$80000000", std::numeric_limits<int>::min()},
        {"$80000000", kDef}, // hexadecimal gives a value, not a bit pattern
        {"12 ", kDef},
        {"\t12", kDef}, // only spaces lead
        {"- 1", kDef},
        {"--1", kDef},
        {"1.0", kDef},
        {"1e3", kDef},
        {"$", kDef},
        {"0x", kDef},
        {"$G", kDef},
        {"1x", kDef},
        {"\xEF\xBC\x91\xEF\xBC\x92", kDef}, // full-width digits
        {"", kDef},
        {kMissing, kDef},
    };
    for (const Case& c : cases)
        expectBoth(
            c.text, [&](const TXMLParser& p) { return p.GetValueAsInteger("v", kDef); },
            [&](const TXMLParser& p) { return p.GetSubsetValueAsInteger("v", kDef); }, c.expected);
}

TEST(TypedReadsTest, Int64) {
    constexpr std::int64_t kDef = -99;
    struct Case {
        std::optional<std::string> text;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"2147483648", 2147483648LL},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {"9223372036854775808", kDef},
        {"-9223372036854775809", kDef},
        {"$7FFFFFFFFFFFFFFF", std::numeric_limits<std::int64_t>::max()},
        {"$FFFFFFFFFFFFFFFF", kDef},
        {"99999999999999999999999", kDef},
        {" -0x10", -16},
        {"12a", kDef},
        {kMissing, kDef},
    };
    for (const Case& c : cases)
        expectBoth(
            c.text, [&](const TXMLParser& p) { return p.GetValueAsInt64("v", kDef); },
            [&](const TXMLParser& p) { return p.GetSubsetValueAsInt64("v", kDef); }, c.expected);
}

TEST(TypedReadsTest, CardinalIsTheLow32BitsOfTheInt64Reading) {
    constexpr std::uint32_t kDef = 4000000000u; // above the signed range: widened without sign
    struct Case {
        std::optional<std::string> text;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"-1", 4294967295u},
        {"4294967296", 0u},
        {"4294967295", 4294967295u},
        {"4294967297", 1u},
        {"-4294967297", 4294967295u},
        {"$1FFFFFFFF", 4294967295u},
        {"9223372036854775808", kDef},
        {"x", kDef},
        {"", kDef},
        {kMissing, kDef},
    };
    for (const Case& c : cases)
        expectBoth(
            c.text, [&](const TXMLParser& p) { return p.GetValueAsDWord("v", kDef); },
            [&](const TXMLParser& p) { return p.GetSubsetValueAsDword("v", kDef); }, c.expected);
}

TEST(TypedReadsTest, Boolean) {
    const NumberFormat dot{'.'};
    const NumberFormat comma{','};
    struct Case {
        std::optional<std::string> text;
        NumberFormat format;
        bool expected; // with the default false; true gives the same unless it is the default
        bool isDefault;
    };
    const Case cases[] = {
        {"TRUE", dot, true, false},   {"true", dot, true, false},
        {"fAlSe", dot, false, false}, {"0", dot, false, false},
        {"2", dot, true, false},      {"-0", dot, false, false},
        {"0.000", dot, false, false}, {"0.001", dot, true, false},
        {" 1.5 ", dot, true, false},  {".5", dot, true, false},
        {"0e10", dot, false, false},  {"1E-400", dot, true, false}, // not zero, however small
        {"0,5", comma, true, false},  {"0,0", comma, false, false},
        {"0,5", dot, false, true}, // the other separator: no number
        {"1.5", comma, false, true},  {"1.5.2", dot, false, true},
        {"1e", dot, false, true},     {".", dot, false, true},
        {"inf", dot, false, true},    {"yes", dot, false, true},
        {" true", dot, false, true},  {"truex", dot, false, true},
        {"", dot, false, true},       {kMissing, dot, false, true},
    };
    for (const Case& c : cases)
        for (const bool def : {false, true}) {
            const bool expected = c.isDefault ? def : c.expected;
            expectBoth(
                c.text,
                [&](const TXMLParser& p) { return p.GetValueAsBoolean("v", def, c.format); },
                [&](const TXMLParser& p) { return p.GetSubsetValueAsBoolean("v", def, c.format); },
                expected);
        }
}

TEST(TypedReadsTest, DateTime) {
    constexpr TDateTime kDef = -7.5;
    const double kDay = 86400.0;
    const TDateTime march15 = 40617 + (9 * 3600 + 30 * 60 + 5) / kDay;
    struct Case {
        std::optional<std::string> text;
        TDateTime expected;
    };
    const Case cases[] = {
        {"20110315093005", march15},
        {"20110315093005123", march15 + 0.123 / kDay},
        {"20110315093005abc", march15},
        {"20110315093005123456", march15 + 0.123 / kDay},
        {"20120229000000", 40968},
        {"18991230000000", 0},
        {"18991231120000", 1.5},
        {"18991229060000", -1.25}, // the day counts back, the hours forward
        {"00010101000000", -693593},
        {"99991231235959999", 2958465 + (86399.999 / kDay)},
        {"20110315", kDef},
        {"2011-03-15T09:30:05", kDef},
        {"20110229000000", kDef},
        {"20110431000000", kDef},
        {"20111315000000", kDef},
        {"20110300000000", kDef},
        {"00001231000000", kDef},
        {"20110315240000", kDef},
        {"20110315006000", kDef},
        {"20110315000060", kDef},
        {"2011031509300a", kDef},
        {"", kDef},
        {kMissing, kDef},
    };
    for (const Case& c : cases) {
        ValueDoc doc(c.text);
        const std::string name = c.text.value_or("missing");
        EXPECT_DOUBLE_EQ(doc.parser.GetValueAsDateTime("v", kDef), c.expected) << name;
        EXPECT_DOUBLE_EQ(doc.parser.GetSubsetValueAsDateTime("v", kDef), c.expected) << name;
        EXPECT_DOUBLE_EQ(XMLStrToDateTime(c.text.value_or(""), kDef), c.expected) << name;
    }
}

TEST(TypedReadsTest, CurrentItemAsInteger) {
    TXMLParser p("<r><n>42</n><n>4<b>2</b>1</n><n>x</n></r>", false, 0);
    ASSERT_EQ(p.InitSubset("n"), 3);
    EXPECT_EQ(p.GetCurrentNodeAsInteger(-1), 42);
    p.SubsetSetItem(1);
    EXPECT_EQ(p.GetCurrentNodeAsInteger(-1), 421) << "all text beneath the item";
    p.SubsetSetItem(2);
    EXPECT_EQ(p.GetCurrentNodeAsInteger(-1), -1);
}

TEST(TypedReadsTest, IPRead) {
    IPv6Available ipv6;
    TIPv6Addr v6Def;
    v6Def.SetPart(1, 0x12345678);
    struct Case {
        const char* name;
        std::optional<std::string> text;
        std::string attrs;
        bool isV4;
        std::uint32_t part4;   // IPv4 results
        std::uint8_t lastByte; // IPv6 results
        bool isDefault;
    };
    const Case cases[] = {
        {"missing element: 0.0.0.0 whatever the default", kMissing, "", true, 0, 0, false},
        {"IPv4 as its 32-bit value", "16777343", "", true, 16777343u, 0, false},
        {"low 32 bits of the number", "4294967297", "", true, 1u, 0, false},
        {"-1 is 255.255.255.255", "-1", "", true, 0xFFFFFFFFu, 0, false},
        {"dotted text without the marker is no number", "1.2.3.4", "", true, 0, 0, false},
        {"marker other than 1", "::1", " V6=\"0\"", true, 0, 0, false},
        {"marker with a blank", "::1", " V6=\" 1\"", true, 0, 0, false},
        {"marker on IPv6 text", "::1", " V6=\"1\"", false, 0, 1, false},
        {"IPv6 text that does not convert", "::g", " V6=\"1\"", false, 0, 0, true},
        {"empty IPv6 text", "", " V6=\"1\"", false, 0, 0, true},
    };
    for (const Case& c : cases) {
        ValueDoc doc(c.text, c.attrs);
        for (const TIPv6Addr& a :
             {doc.parser.GetValueAsIP("v", v6Def), doc.parser.GetSubsetValueAsIP("v", v6Def)}) {
            if (c.isDefault) {
                EXPECT_EQ(a, v6Def) << c.name;
                continue;
            }
            EXPECT_EQ(a.FIsV4, c.isV4) << c.name;
            if (c.isV4)
                EXPECT_EQ(a.GetPart(4), c.part4) << c.name;
            else
                EXPECT_EQ(a.Bytes()[15], c.lastByte) << c.name;
        }
    }
    ValueDoc missing(kMissing);
    EXPECT_EQ(missing.parser.GetValueAsIP("v"), EmptyIPv4Addr);
    EXPECT_EQ(missing.parser.GetSubsetValueAsIP("v"), EmptyIPv4Addr);
}

TEST(TypedReadsTest, IPv6MarkerWithAnIPv4ResultIsAnInternalError) {
    struct Case {
        const char* name;
        std::string text;
        bool withDefault; // an IPv6 default, else EmptyIPv4Addr
    };
    const Case cases[] = {
        {"dotted IPv4 text", "1.2.3.4", true},
        {"unconvertible text with the IPv4 default", "bad", false},
        {"missing text with the IPv4 default", "", false},
    };
    TIPv6Addr v6Def;
    v6Def.SetPart(1, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ValueDoc doc(c.text, " V6=\"1\"");
        expectAssertion(
            [&] {
                return c.withDefault ? doc.parser.GetValueAsIP("v", v6Def)
                                     : doc.parser.GetValueAsIP("v");
            },
            kIPv6ExpectedTag, "UXMLHelperTyped.cpp");
        expectAssertion(
            [&] {
                return c.withDefault ? doc.parser.GetSubsetValueAsIP("v", v6Def)
                                     : doc.parser.GetSubsetValueAsIP("v");
            },
            kIPv6ExpectedTag, "UXMLHelperTyped.cpp");
    }
}

TEST(AttributeReadsTest, DefaultOnlyWhenElementOrAttributeIsMissing) {
    TXMLParser p(
        "<r k=\"root\" e=\"\"><rec k=\"item\"><v k=\"first\" E=\"upper\"/><v k=\"second\"/>"
        "</rec><w k=\"doc\"/></r>",
        false, 0);
    ASSERT_EQ(p.InitSubset("rec"), 1);
    struct Case {
        const char* name;
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {"root attribute", p.GetAttributeByName("k", "D"), "root"},
        {"empty root attribute is not the default", p.GetAttributeByName("e", "D"), ""},
        {"absent root attribute", p.GetAttributeByName("x", "D"), "D"},
        {"names are case-sensitive", p.GetAttributeByName("K", "D"), "D"},
        {"first element in the document", p.GetValueAttributeByName("v", "k", "D"), "first"},
        {"element elsewhere in the document", p.GetValueAttributeByName("w", "k", "D"), "doc"},
        {"element without the attribute", p.GetValueAttributeByName("v", "e", "D"), "D"},
        {"no such element", p.GetValueAttributeByName("z", "k", "D"), "D"},
        {"path to the element", p.GetValueAttributeByName("r/w", "k", "D"), "doc"},
        {"current item", p.GetSubsetAttributeByName("k", "D"), "item"},
        {"current item without it", p.GetSubsetAttributeByName("E", "D"), "D"},
        {"first element beneath the item", p.GetSubsetValueAttributeByName("v", "E", "D"), "upper"},
        {"only beneath the item", p.GetSubsetValueAttributeByName("w", "k", "D"), "D"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(AttributeReadsTest, RootWithoutAttributes) {
    TXMLParser p("<r><v k=\"1\"/></r>", false, 0);
    EXPECT_EQ(p.GetAttributeByName("k", "D"), "D");
}

// Without a current item the subset lookups fail; which reads pass that on
// and which turn it into the default is part of their contract.
TEST(TypedReadsTest, NoCurrentItem) {
    TXMLParser p("<r><v a=\"1\">1</v></r>", false, 0);
    const NumberFormat dot;
    EXPECT_THROW(p.GetSubsetValueAsInteger("v", 5), Error);
    EXPECT_THROW(p.GetSubsetValueAsInt64("v", 5), Error);
    EXPECT_THROW(p.GetSubsetValueAsDword("v", 5), Error);
    EXPECT_THROW(p.GetSubsetValueAsDateTime("v", 5), Error);
    EXPECT_THROW(p.GetSubsetValueAsIP("v"), Error);
    EXPECT_THROW(p.GetCurrentNodeAsInteger(5), Error);
    EXPECT_THROW(p.GetSubsetValueAttributeByName("v", "a", "D"), Error);
    EXPECT_TRUE(p.GetSubsetValueAsBoolean("v", true, dot));
    EXPECT_FALSE(p.GetSubsetValueAsBoolean("v", false, dot));
    EXPECT_EQ(p.GetSubsetAttributeByName("a", "D"), "D");
    // The document-wide reads need no item.
    EXPECT_EQ(p.GetValueAsInteger("v", 5), 1);
    EXPECT_EQ(p.GetValueAttributeByName("v", "a", "D"), "1");
}
