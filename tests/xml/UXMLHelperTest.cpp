#include "xml/UXMLHelper.h"

#include <gtest/gtest.h>

#include "tables/Error.h"

using quarlex::Error;
using quarlex::TXMLParser;

namespace {

std::string errorOf(std::string_view text, int id = 0) {
    try {
        TXMLParser parser(text, false, id);
    } catch (const Error& e) {
        return e.what();
    }
    return "<no error>";
}

const std::string kParsePrefix = "Error while parsing XML document:\r\n\r\n";
const std::string kHeaderPrefix = kParsePrefix + "XML document header checking failed : ";

} // namespace

TEST(TXMLParserTest, DocumentWideValue) {
    struct Case {
        const char* name;
        const char* xml;
        const char* tag;
        const char* expected;
    };
    const Case cases[] = {
        {"first element empty is not the default", "<r><a/><a>x</a></r>", "a", ""},
        {"absent yields the default", "<r><b>x</b></r>", "a", "DEF"},
        {"first in document order, nested before later sibling",
         "<r><s><a>inner</a></s><a>outer</a></r>", "a", "inner"},
        {"all text beneath, cdata included, joined in order",
         "<r><a>one<b>two</b><![CDATA[<three>]]></a></r>", "a", "onetwo<three>"},
        {"entities decoded", "<r><a>&lt;&amp;&#1071;</a></r>", "a", "<&Я"},
        {"path names the parent", "<r><Other><ID>1</ID></Other><Header><ID>2</ID></Header></r>",
         "Header/ID", "2"},
        {"path whose parent does not match", "<r><Other><ID>1</ID></Other></r>", "Header/ID",
         "DEF"},
        {"names are case-sensitive", "<r><A>x</A></r>", "a", "DEF"},
        {"Cyrillic names and text stay as handed over, whatever the declaration says",
         "<?xml version=\"1.0\" encoding=\"windows-1251\"?><r><Имя>ИВАН</Имя></r>", "Имя", "ИВАН"},
        {"the root element itself can be found", "<a>root</a>", "a", "root"},
    };
    for (const Case& c : cases) {
        TXMLParser parser(c.xml, false, 0);
        EXPECT_EQ(parser.GetValueByName(c.tag, "DEF"), c.expected) << c.name;
    }
}

TEST(TXMLParserTest, MarkupIncludesTheElementsOwnTags) {
    TXMLParser parser("<r><a k=\"v\">x<b>y</b></a><c/></r>", false, 0);
    EXPECT_EQ(parser.GetXMLByName("a"), "<a k=\"v\">x<b>y</b></a>");
    EXPECT_EQ(parser.GetXMLByName("missing"), "");
    ASSERT_EQ(parser.InitSubset("r"), 1);
    EXPECT_EQ(parser.GetSubsetValueXML("b"), "<b>y</b>");
    EXPECT_EQ(parser.GetSubsetValueInnerXML("b"), "<b>y</b>");
    EXPECT_EQ(parser.GetSubsetValueXML("missing"), "");
    EXPECT_EQ(parser.GetSubsetXML(), "<r><a k=\"v\">x<b>y</b></a><c/></r>");
}

TEST(TXMLParserTest, SubsetWalksRecordsAndLooksOnlyBeneathTheCurrentOne) {
    const char* xml = "<doc>"
                      "<rec><n>1</n><w><v>first</v></w><v>direct</v></rec>"
                      "<group><rec><n>2</n></rec></group>"
                      "<rec><n>3</n><v>third</v></rec>"
                      "</doc>";
    TXMLParser parser(xml, false, 0);
    ASSERT_EQ(parser.InitSubset("rec"), 3);
    EXPECT_EQ(parser.GetSubsetValue("n"), "1") << "InitSubset makes entry 0 current";
    const char* expectedV[] = {"first", "", "third"};
    for (int i = 0; i < 3; ++i) {
        parser.SubsetSetItem(i);
        EXPECT_EQ(parser.GetSubsetValue("n"), std::to_string(i + 1));
        EXPECT_EQ(parser.GetSubsetValue("v"), expectedV[i]) << "record " << i;
    }
    EXPECT_EQ(parser.GetSubsetValue("rec"), "") << "an element never lists itself";
}

TEST(TXMLParserTest, AbsentSubsetKeepsThePreviousItem) {
    TXMLParser parser("<d><rec><n>1</n></rec><rec><n>2</n></rec></d>", false, 0);
    ASSERT_EQ(parser.InitSubset("rec"), 2);
    parser.SubsetSetItem(1);
    EXPECT_EQ(parser.InitSubset("absent"), 0);
    EXPECT_EQ(parser.GetSubsetValue("n"), "2");
    EXPECT_THROW(parser.SubsetSetItem(0), Error) << "the held list is now empty";
}

TEST(TXMLParserTest, SubValueLooksBeneathTheFirstRootOnly) {
    const char* xml = "<d><rec>"
                      "<КорректируемыйОтчетныйПериод><Год>2010</Год><Квартал>4</Квартал>"
                      "</КорректируемыйОтчетныйПериод>"
                      "<ОтчетныйПериод><Год>2011</Год><Квартал>1</Квартал></ОтчетныйПериод>"
                      "<Сумма><Начислено>1.00</Начислено></Сумма>"
                      "<Сумма><Начислено>2.00</Начислено><Уплачено>3.00</Уплачено></Сумма>"
                      "<Вложенный><x><Год>1999</Год></x></Вложенный>"
                      "</rec></d>";
    TXMLParser parser(xml, false, 0);
    ASSERT_EQ(parser.InitSubset("rec"), 1);
    EXPECT_EQ(parser.GetSubsetSubValue("ОтчетныйПериод", "Год"), "2011");
    EXPECT_EQ(parser.GetSubsetSubValue("КорректируемыйОтчетныйПериод", "Год"), "2010");
    EXPECT_EQ(parser.GetSubsetValue("Год"), "2010") << "first in document order";
    EXPECT_EQ(parser.GetSubsetValue("ОтчетныйПериод/Год"), "2011");
    EXPECT_EQ(parser.GetSubsetSubValue("Сумма", "Начислено"), "1.00");
    EXPECT_EQ(parser.GetSubsetSubValue("Сумма", "Уплачено"), "") << "later roots are not looked at";
    EXPECT_EQ(parser.GetSubsetSubValue("Вложенный", "Год"), "1999") << "any depth beneath the root";
    EXPECT_EQ(parser.GetSubsetSubValue("Нет", "Год"), "");
}

// Pairs are read two by two under one root: each read answers for its own
// item and its own document, whatever was read before.
TEST(TXMLParserTest, SubValuesFollowTheItemAndTheDocument) {
    const char* first = "<d><rec><p><y>1</y><q>2</q></p></rec><rec><p><y>3</y></p></rec></d>";
    TXMLParser parser(first, false, 0);
    ASSERT_EQ(parser.InitSubset("rec"), 2);
    EXPECT_EQ(parser.GetSubsetSubValue("p", "y"), "1");
    EXPECT_EQ(parser.GetSubsetSubValue("p", "q"), "2");
    parser.SubsetSetItem(1);
    EXPECT_EQ(parser.GetSubsetSubValue("p", "y"), "3");
    EXPECT_EQ(parser.GetSubsetSubValue("p", "q"), "") << "not the other item's";
    parser.SubsetSetItem(0);
    EXPECT_EQ(parser.GetSubsetSubValue("p", "q"), "2");
    // The same shape again, other values: the new document's are read.
    parser.LoadXML("<d><rec><p><y>5</y><q>6</q></p></rec><rec><p><y>7</y></p></rec></d>");
    ASSERT_EQ(parser.InitSubset("rec"), 2);
    EXPECT_EQ(parser.GetSubsetSubValue("p", "y"), "5");
    EXPECT_EQ(parser.GetSubsetSubValue("p", "q"), "6");
    EXPECT_EQ(parser.GetSubsetSubValue("r", "q"), "");
}

TEST(TXMLParserTest, VeryLargeItemIsSearchedAllTheSame) {
    std::string xml = "<d><rec>";
    for (int i = 0; i < 70000; ++i)
        xml += "<x/>";
    xml += "<v>last</v><s><y/><v>sub</v></s></rec></d>";
    TXMLParser parser(xml, false, 0);
    ASSERT_EQ(parser.InitSubset("rec"), 1);
    EXPECT_EQ(parser.GetSubsetValue("v"), "last");
    EXPECT_EQ(parser.GetSubsetSubValue("s", "v"), "sub");
    EXPECT_EQ(parser.GetSubsetSubValue("s", "x"), "");
}

TEST(TXMLParserTest, SubsetMisuseRaisesAnError) {
    TXMLParser parser("<d><rec/></d>", false, 0);
    EXPECT_THROW(parser.GetSubsetValue("x"), Error) << "no item before InitSubset";
    EXPECT_THROW(parser.GetSubsetXML(), Error);
    ASSERT_EQ(parser.InitSubset("rec"), 1);
    EXPECT_THROW(parser.SubsetSetItem(1), Error);
    EXPECT_THROW(parser.SubsetSetItem(-1), Error);
    EXPECT_NO_THROW(parser.SubsetSetItem(0));
}

TEST(TXMLParserTest, LoadXmlReplacesTheDocumentAndKeepsTheItemUsable) {
    TXMLParser parser("<d><rec><n>old</n></rec></d>", false, 0);
    ASSERT_EQ(parser.InitSubset("rec"), 1);
    parser.LoadXML("<d><n>new</n></d>");
    EXPECT_EQ(parser.GetValueByName("n", ""), "new");
    EXPECT_EQ(parser.GetSubsetValue("n"), "old");
    EXPECT_THROW(parser.LoadXML("<d>"), Error);
    EXPECT_EQ(parser.GetValueByName("n", ""), "new") << "a failed load keeps the document";
}

TEST(TXMLParserTest, HeaderCheck) {
    struct Case {
        const char* xml;
        int id;
        std::string expectedError; // empty: constructed
    };
    const char* noHeader = "<d><rec/></d>";
    const Case cases[] = {
        {noHeader, 0, ""},
        {noHeader, 2200, ""},
        {"<d><Header><ID>2201</ID></Header></d>", 2201, ""},
        {"<d><Header><ID>2300</ID></Header></d>", 2201,
         kHeaderPrefix + "Unexpected ID 2300 instead of 2201 received"},
        {"<d><Header><ID>x1</ID></Header></d>", 2201, kHeaderPrefix + "Bad ID 'x1' value"},
        {"<d><Header><ID></ID></Header></d>", 2201, kHeaderPrefix + "Bad ID '' value"},
        {noHeader, 2201, kHeaderPrefix + "No expected ID 2201 found!"},
        {"<d><ID>2201</ID></d>", 2201, kHeaderPrefix + "No expected ID 2201 found!"},
    };
    for (const Case& c : cases) {
        std::string got = errorOf(c.xml, c.id);
        EXPECT_EQ(got, c.expectedError.empty() ? "<no error>" : c.expectedError)
            << c.xml << " id " << c.id;
    }
}

TEST(TXMLParserTest, MalformedTextNamesLineAndColumn) {
    struct Case {
        const char* xml;
        std::string reason;
    };
    const Case cases[] = {
        {"<a>\n  <b>\n</a>", "Start-end tags mismatch (line 3, column 3)"},
        // Columns count characters: the two Cyrillic letters are four bytes.
        {"<a>\n  <цц>x</b></a>", "Start-end tags mismatch (line 2, column 10)"},
        {"<a>\r\n<b>\r\n</a>", "Start-end tags mismatch (line 3, column 3)"},
        {"", "No document element found (line 1, column 1)"},
        {"<a/>\n<b/>",
         "Only one top level element is allowed in an XML document (line 2, column 1)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorOf(c.xml), kParsePrefix + c.reason) << c.xml;
}

// Records nested in one another: each record's values are its own, an absent
// name is found nowhere, and the whole read stays linear (this many levels
// took seconds when each lookup walked the record's subtree).
TEST(TXMLParserTest, DeeplyNestedRecordsReadTheirOwnValues) {
    const int depth = 20000;
    std::string xml = "<d>";
    for (int i = 0; i < depth; ++i)
        xml +=
            "<rec><n>" + std::to_string(i) + "</n><p><y>" + std::to_string(2000 + i) + "</y></p>";
    for (int i = 0; i < depth; ++i)
        xml += "</rec>";
    xml += "</d>";
    TXMLParser parser(xml, false, 0);
    ASSERT_EQ(parser.InitSubset("rec"), depth);
    for (int i = 0; i < depth; ++i) {
        parser.SubsetSetItem(i);
        ASSERT_EQ(parser.GetSubsetValue("n"), std::to_string(i));
        ASSERT_EQ(parser.GetSubsetSubValue("p", "y"), std::to_string(2000 + i));
        ASSERT_EQ(parser.GetSubsetValue("absent"), "");
        ASSERT_EQ(parser.GetSubsetSubValue("p", "n"), "") << "nothing named n beneath p";
    }
    for (int i = depth - 1; i >= 0; i -= 997) { // backwards and by leaps, too
        parser.SubsetSetItem(i);
        ASSERT_EQ(parser.GetSubsetValue("n"), std::to_string(i));
    }
    parser.SubsetSetItem(depth - 1);
    EXPECT_EQ(parser.GetSubsetXML(), "<rec><n>19999</n><p><y>21999</y></p></rec>");
}

// What a conforming parser refuses is refused, with the reason and the place.
TEST(TXMLParserTest, TextThatIsNotWellFormedIsRefused) {
    struct Case {
        std::string xml;
        std::string reason;
    };
    const Case cases[] = {
        // Characters.
        {std::string("<a>x\0y</a><!-- lost -->", 23),
         "NUL character in the document (line 1, column 5)"},
        {"<a>\x01</a>", "Character U+0001 is not allowed in an XML document (line 1, column 4)"},
        {"<a>\n\x1F</a>", "Character U+001F is not allowed in an XML document (line 2, column 1)"},
        {"<a>\xC0\x80</a>", "Invalid UTF-8 byte sequence (line 1, column 4)"},
        {"<a>\xED\xA0\x80</a>",
         "Character U+D800 is not allowed in an XML document (line 1, column 4)"},
        {"<a>\xEF\xBF\xBE</a>",
         "Character U+FFFE is not allowed in an XML document (line 1, column 4)"},
        {"<a>\xD0</a>", "Invalid UTF-8 byte sequence (line 1, column 4)"},
        // References.
        {"<a>&#xD800;</a>", "Character reference to U+D800, which is not allowed in an XML "
                            "document (line 1, column 4)"},
        {"<a>&#x110000;</a>", "Character reference to a code point beyond U+10FFFF, which is not "
                              "allowed in an XML document (line 1, column 4)"},
        {"<a>&#99999999999999999999999;</a>", "Character reference to a code point beyond "
                                              "U+10FFFF, which is not allowed in an XML document "
                                              "(line 1, column 4)"},
        {"<a>&#x1;</a>", "Character reference to U+0001, which is not allowed in an XML document "
                         "(line 1, column 4)"},
        {"<a>&#0;</a>", "Character reference to U+0000, which is not allowed in an XML document "
                        "(line 1, column 4)"},
        {"<a>&#xFFFF;</a>", "Character reference to U+FFFF, which is not allowed in an XML "
                            "document (line 1, column 4)"},
        {"<a>&#x;</a>", "Malformed character reference (line 1, column 4)"},
        {"<a>&#x41</a>", "Malformed character reference (line 1, column 4)"},
        {"<a>x&foo;y</a>", "Undefined entity reference '&foo;' (line 1, column 5)"},
        {"<a b=\"&nbsp;\"/>", "Undefined entity reference '&nbsp;' (line 1, column 7)"},
        {"<a>&amp</a>", "Entity reference '&amp' without ';' (line 1, column 4)"},
        {"<a>x & y</a>", "'&' must begin a reference; write '&amp;' for the character (line 1, "
                         "column 6)"},
        // Markup.
        {"<a x=\"1\" x=\"2\"/>", "Attribute 'x' given more than once (line 1, column 4)"},
        {"<a x=\"<\"/>", "'<' is not allowed in an attribute value (line 1, column 7)"},
        {"<a>]]></a>", "']]>' is not allowed in character data (line 1, column 4)"},
        {"<a><!-- x -- y --></a>", "'--' is not allowed inside a comment (line 1, column 11)"},
        {"<a/><!-- x --->", "'--' is not allowed inside a comment (line 1, column 12)"},
        {"<a>\xC3\x97</a><\xC3\x97/>",
         "Only one top level element is allowed in an XML document (line 1, column 9)"},
        {"<a\xC3\x97/>", "Expected white space before an attribute (line 1, column 3)"},
        {"<a/>junk", "Only comments and processing instructions may follow the root element (line "
                     "1, column 5)"},
        {"junk<a/>", "Only comments and processing instructions may precede the root element (line "
                     "1, column 1)"},
        {"<a/><![CDATA[y]]>", "Only comments and processing instructions may follow the root "
                              "element (line 1, column 5)"},
        {"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>",
         "Document type declarations are not allowed (line 1, column 1)"},
        {" <?xml version=\"1.0\"?><a/>",
         "The XML declaration is allowed only at the start of the document (line 1, column 2)"},
        {"<a><?xml version=\"1.0\"?></a>",
         "The XML declaration is allowed only at the start of the document (line 1, column 4)"},
        {"<?XML x?><a/>", "Malformed XML declaration (line 1, column 1)"},
        {"<?xml versio=\"1.0\"?><a/>",
         "Expected 'version' in the XML declaration (line 1, column 7)"},
        {"<?xml version=\"2.0\"?><a/>",
         "Invalid version in the XML declaration (line 1, column 16)"},
        {"<?xml version=\"1.0\" standalone=\"maybe\"?><a/>",
         "Invalid standalone value in the XML declaration (line 1, column 33)"},
        {"<?xml version=\"1.0\" encoding=\"1251\"?><a/>",
         "Invalid encoding name in the XML declaration (line 1, column 31)"},
        {"<a><b></b></a></c>", "Only comments and processing instructions may follow the root "
                               "element (line 1, column 15)"},
        {"<a><b>", "Start-end tags mismatch (line 1, column 7)"},
        {"<a></a!>", "Expected '>' at the end of an end tag (line 1, column 7)"},
        {"<ab></a>", "Start-end tags mismatch (line 1, column 7)"},
        {"<a><!-- open", "Unexpected end of the document (line 1, column 13)"},
        {"<a b='1", "Unexpected end of the document (line 1, column 8)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorOf(c.xml), kParsePrefix + c.reason) << c.xml;
}

TEST(TXMLParserTest, WellFormedMarkupOfEveryKindIsRead) {
    const std::string xml =
        "\xEF\xBB\xBF<?xml version='1.0' encoding=\"windows-1251\" standalone='yes' ?>\r\n"
        "<!-- before --><?pi data?>"
        "<Файл a='1' b=\"&lt;&gt;&amp;&apos;&quot;\">"
        "<ns:x>&#x41;&#66;&#x10FFFF;\xC2\x98</ns:x><y><![CDATA[<&]]]]></y></Файл >"
        "<!-- after --><?pi?> \n";
    TXMLParser parser(xml, false, 0);
    EXPECT_EQ(parser.GetValueByName("ns:x", ""), "AB\xF4\x8F\xBF\xBF\xC2\x98");
    EXPECT_EQ(parser.GetValueByName("y", ""), "<&]]");
    EXPECT_EQ(parser.GetXMLByName("y"), "<y><![CDATA[<&]]]]></y>");
    EXPECT_EQ(parser.GetValueByName("Файл", ""), "AB\xF4\x8F\xBF\xBF\xC2\x98<&]]");
}

// Text parsed where it lies, known to be valid UTF-8 (the code page's
// decoding): its characters are checked all the same, eight bytes at a time,
// so a fault sits at any offset within a word.
TEST(TXMLParserTest, TextInPlaceIsCheckedAndRead) {
    struct Case {
        std::string xml;
        std::string expected; // the error, or the text of <a>
    };
    const Case cases[] = {
        {"<a>\t\r\n x\xD0\xAF</a>", "\t\n x\xD0\xAF"},
        {std::string("<a>1234567\0</a>", 15), "NUL character in the document (line 1, column 11)"},
        {"<a>12345\x0B</a>",
         "Character U+000B is not allowed in an XML document (line 1, column 9)"},
        {"<a>1234\xEF\xBF\xBF</a>",
         "Character U+FFFF is not allowed in an XML document (line 1, column 8)"},
        {"<a>\xEF\xBF\xBE</a>",
         "Character U+FFFE is not allowed in an XML document (line 1, column 4)"},
        {"<a>\xEF\xBF\xBD</a>", "\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        std::string text = c.xml;
        try {
            TXMLParser parser(quarlex::XmlTextInPlace{text.data(), text.size(), true}, false, 0);
            EXPECT_EQ(parser.GetValueByName("a", "?"), c.expected);
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), kParsePrefix + c.expected);
        }
    }
}

// The checks look at blocks of bytes at once: a fault is found, and placed,
// wherever it falls in a block, whether the text is parsed in place (known
// valid UTF-8) or copied.
TEST(TXMLParserTest, FaultIsPlacedAtEveryOffsetWithinABlock) {
    struct Fault {
        std::string text;
        std::string reason;
    };
    const Fault faults[] = {
        {"\x01", "Character U+0001 is not allowed in an XML document"},
        {"\xEF\xBF\xBE", "Character U+FFFE is not allowed in an XML document"},
        {"]]>", "']]>' is not allowed in character data"},
        {"&x;", "Undefined entity reference '&x;'"},
        {"<b>", "Start-end tags mismatch"},
    };
    for (const Fault& f : faults)
        for (size_t before = 0; before < 40; ++before) {
            // Text, a tab and lone brackets before the fault.
            std::string lead;
            for (size_t k = 0; k < before; ++k)
                lead += k % 5 == 4 ? "\t" : k % 3 == 2 ? "]" : "x";
            std::string xml = "<a>" + lead + f.text + std::string(20, ' ') + "</a>";
            const size_t column = 4 + before + (f.text == "<b>" ? 25 : 0);
            const std::string expected =
                kParsePrefix + f.reason + " (line 1, column " + std::to_string(column) + ")";
            EXPECT_EQ(errorOf(xml), expected) << before;
            try {
                TXMLParser parser(quarlex::XmlTextInPlace{xml.data(), xml.size(), true}, false, 0);
                ADD_FAILURE() << "no error at " << before;
            } catch (const Error& e) {
                EXPECT_EQ(e.what(), expected) << before;
            }
        }
}
