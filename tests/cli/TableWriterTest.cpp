#include "cli/TableWriter.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tables/WorkingTables.h"

namespace quarlex::cli {
namespace {

Money money(const char* text) {
    return *Money::parse(text);
}

const std::vector<std::string> kResColumns = {"SNILS",  "FIO",     "Cat",    "God",
                                              "Period", "StrItog", "NakItog"};

TEST(Csv, FieldQuoting) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(csvField(c.text), c.expected) << c.text;
}

// A name with a comma and quotes stays one field; amounts are exact with four
// decimals and '.', whatever the locale.
TEST(Csv, ImpTableRows) {
    WorkingTables t;
    resetTable(t.ImpTable);
    Table& imp = t.ImpTable;
    imp.Insert();
    imp.setField("SNILS", "112-233-445 95");
    imp.setField("FName", "Jr, \"Junior\"");
    imp.setField("MName", "");
    imp.setField("LName", "Smith");
    imp.setField("God", 2011);
    imp.setField("Kvartal", 1);
    imp.setField("Period", 20111);
    imp.setField("Category", "Н\"Р");
    imp.setField("StrNach", money("100"));
    imp.setField("StrUpl", money("100.5"));
    imp.setField("StrDolg", money("-0.5"));
    imp.setField("NakNach", money("12.3456"));
    imp.setField("NakUpl", Money());
    imp.setField("NakDolg", money("12.3456"));
    imp.Post();

    std::ostringstream out;
    writeCsv(imp,
             {"SNILS", "FName", "MName", "LName", "God", "Kvartal", "Period", "Category", "StrNach",
              "StrUpl", "StrDolg", "NakNach", "NakUpl", "NakDolg"},
             out);
    EXPECT_EQ(out.str(), "SNILS,FName,MName,LName,God,Kvartal,Period,Category,StrNach,StrUpl,"
                         "StrDolg,NakNach,NakUpl,NakDolg\n"
                         "112-233-445 95,\"Jr, \"\"Junior\"\"\",,Smith,2011,1,20111,\"Н\"\"Р\","
                         "100.0000,100.5000,-0.5000,12.3456,0.0000,12.3456\n");
}

// Columns padded by characters, not bytes; numbers to the right; the
// category column left out without category mode; the locale's separator.
TEST(Aligned, ResTableAsTheGridShowsIt) {
    WorkingTables t;
    resetTable(t.ResTable);
    Table& res = t.ResTable;
    auto add = [&res](const char* snils, const char* fio, int god, int period, const char* str,
                      const char* nak) {
        res.Insert();
        res.setField("SNILS", snils);
        res.setField("FIO", fio);
        res.setField("Cat", "ОСН");
        res.setField("God", god);
        res.setField("Period", period);
        res.setField("StrItog", money(str));
        res.setField("NakItog", money(nak));
        res.Post();
    };
    add("112-233-445 95", "Иванов Сергей Петрович", 2011, 4, "-30.5", "0");
    add("1", "Li", 2010, 3, "1234.5", "0.005");

    std::ostringstream out;
    writeAligned(res, gridColumns(res, kResColumns, false), ',', out);
    const std::string sp2 = "  ";
    const std::string expected =
        "Стр.номер" + std::string(5, ' ') + sp2 + "ФИО" + std::string(19, ' ') + sp2 + " Год" +
        sp2 + "Период" + sp2 + "Стр.итог" + sp2 + "Нак.итог\n" + std::string(14, '-') + sp2 +
        std::string(22, '-') + sp2 + "----" + sp2 + "------" + sp2 + "--------" + sp2 +
        "--------\n" + "1" + std::string(13, ' ') + sp2 + "Li" + std::string(20, ' ') + sp2 +
        "2010" + sp2 + "     3" + sp2 + " 1234,50" + sp2 + "    0,01\n" + "112-233-445 95" + sp2 +
        "Иванов Сергей Петрович" + sp2 + "2011" + sp2 + "     4" + sp2 + "  -30,50" + sp2 +
        "    0,00\n";
    EXPECT_EQ(out.str(), expected);

    EXPECT_EQ(gridColumns(res, kResColumns, true), kResColumns);
}

TEST(Terminal, ControlCharactersShowAsHex) {
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"Иванов", "Иванов"},
        {"\x1b[31mred", "\\x1B[31mred"},
        {"tab\there", "tab\\x09here"},
        {"bell\a del\x7f", "bell\\x07 del\\x7F"},
        {"csi \xc2\x9b"
         "2J nbsp \xc2\xa0",
         "csi \\x9B"
         "2J nbsp \xc2\xa0"},  // C1 only
        {"\xc2\x98", "\\x98"}, // the byte 0x98 of Windows-1251
    };
    for (const Case& c : cases)
        EXPECT_EQ(visibleText(c.text), c.shown) << c.text;
}

// The aligned table and the message lines are for a terminal; CSV stays exact.
TEST(Terminal, TableShowsEscapesCsvKeepsThem) {
    WorkingTables t;
    resetTable(t.ResTable);
    Table& res = t.ResTable;
    res.Insert();
    res.setField("SNILS", "1");
    res.setField("FIO", "Li\x1b]0;pwned\a");
    res.Post();
    std::ostringstream aligned, csv;
    writeAligned(res, {"FIO"}, '.', aligned);
    writeCsv(res, {"FIO"}, csv);
    EXPECT_EQ(aligned.str(), "ФИО\n" + std::string(18, '-') + "\nLi\\x1B]0;pwned\\x07\n");
    EXPECT_EQ(csv.str(), "FIO\nLi\x1b]0;pwned\a\n");
}

} // namespace
} // namespace quarlex::cli
