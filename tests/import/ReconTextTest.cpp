// The reconciliation text file: the amount rule, the line splitting, the
// state table over whole files (with the blocks that lack a line), and the
// errors that end the import with the file and line named.
#include "import/ReconText.h"
#include "ImportTestSupport.h"
#include "import/FileBytes.h"

namespace quarlex::test {
namespace {

const std::string kSep(80, '-');

std::string person(const std::string& snils, const std::string& names) {
    return "Рег.№ 087-101-000001 СНИЛС: " + snils + " ФИО: " + names;
}

std::string lines(const std::vector<std::string>& ls, const char* end = "\r\n") {
    std::string out;
    for (const std::string& l : ls)
        out += l + end;
    return out;
}

// Rows as text, in the tables' order, so that a failure shows them all.
std::vector<std::string> impRows(Table& t) {
    std::vector<std::string> out;
    for (t.First(); !t.Eof(); t.Next())
        out.push_back(t.asString("SNILS") + "|" + t.asString("LName") + "|" + t.asString("FName") +
                      "|" + t.asString("MName") + "|" + t.asString("Period") + "|" +
                      t.asMoney("StrNach").toFixed(2) + "|" + t.asMoney("NakNach").toFixed(2) +
                      "|" + t.asMoney("StrUpl").toFixed(2) + "|" + t.asMoney("NakUpl").toFixed(2) +
                      "|" + t.asMoney("StrDolg").toFixed(2) + "|" +
                      t.asMoney("NakDolg").toFixed(2) + "|" + t.asString("Category"));
    return out;
}

std::vector<std::string> resRows(Table& t) {
    std::vector<std::string> out;
    for (t.First(); !t.Eof(); t.Next())
        out.push_back(t.asString("SNILS") + "|" + t.asString("FIO") + "|" + t.asString("God") +
                      "|" + t.asString("Period") + "|" + t.asMoney("StrItog").toFixed(2) + "|" +
                      t.asMoney("NakItog").toFixed(2));
    return out;
}

class ReconTextTest : public ImportTest {
protected:
    // Imports `bytes` as written; the error text, empty on success.
    std::string import(const std::string& bytes) {
        path = writeRaw("sverka.txt", bytes);
        format.decimalSeparator = '.';
        try {
            TReconEntry entry;
            importReconciliationText(tables, path, entry, format, prompts);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }
    std::string importText(const std::string& utf8) { return import(toCp1251(utf8)); }

    std::string path;
};

TEST(ReconAmount, ReadsCommaDecimalsAndRefusesEverythingElse) {
    struct Case {
        const char* text;
        std::optional<const char*> value;
    } cases[] = {
        {"1000,00", "1000.0000"}, {" \t 12,5 \x01", "12.5000"},
        {",", "0.0000"},          {"5,", "5.0000"},
        {",25", "0.2500"},        {"0,00006", "0.0001"},
        {"0012", "12.0000"},      {"1 000,00", std::nullopt},
        {"1,2,3", std::nullopt},  {"", std::nullopt},
        {"   ", std::nullopt},    {"-5,00", std::nullopt},
        {"+5", std::nullopt},     {"1e3", std::nullopt},
        {"1.50", std::nullopt},   {"99999999999999999999,0", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<Money> m = parseReconAmount(c.text);
        ASSERT_EQ(m.has_value(), c.value.has_value());
        if (m) {
            EXPECT_EQ(m->toFixed(4), *c.value);
        }
    }
}

TEST(ReconLines, SplitsAtEveryLineEndAndStopsAtNul) {
    std::vector<std::pair<std::string, int>> got;
    forEachLine(std::string_view("a\r\nb\rc\n\n  d  \r\n\0e\nf", 18),
                [&](std::string_view l, int n) { got.emplace_back(std::string(l), n); });
    const std::vector<std::pair<std::string, int>> want = {
        {"a", 1}, {"b", 2}, {"c", 3}, {"", 4}, {"  d  ", 5}};
    EXPECT_EQ(got, want);
}

TEST_F(ReconTextTest, FirstPeriodGivesTheResultRowItself) {
    ASSERT_EQ(importText(lines({"шапка", kSep, person("112-233-445 95", "Иванов Сергей Петрович"),
                                "2011 г. 1 кв. 1000,00; 0,00; 400,00; 0,00",
                                "Итого: 9999,00; 0,00; 0,00; 0,00", kSep})),
              "");
    EXPECT_EQ(impRows(tables.ImpTable),
              std::vector<std::string>{"112-233-445 95|Иванов|Сергей|Петрович|20111|1000.00|0.00|"
                                       "400.00|0.00|600.00|0.00|ОСН"});
    EXPECT_EQ(resRows(tables.ResTable),
              std::vector<std::string>{"112-233-445 95|Иванов Сергей Петрович|2011|1|600.00|0.00"});
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ReconTextTest, LaterPeriodsTakeTheirResultFromTheTotalLine) {
    ASSERT_EQ(importText(lines({kSep, person("112-233-445 95", "Иванов Сергей Петрович"),
                                "2010 г. 4 кв.  100,00;  50,00;  100,00;  50,00",
                                "Итого:  100,00;  50,00;  100,00;  50,00",
                                "2011 г. 1 кв.  100,00;  50,00;   30,00;  10,00",
                                "Итого:  200,00; 100,00;  130,00;  60,00", kSep})),
              "");
    EXPECT_EQ(
        resRows(tables.ResTable),
        (std::vector<std::string>{"112-233-445 95|Иванов Сергей Петрович|2010|4|0.00|0.00",
                                  "112-233-445 95|Иванов Сергей Петрович|2011|1|70.00|40.00"}));
    EXPECT_EQ(impRows(tables.ImpTable).size(), 2u);
}

// Files whose lines the state table skips, each with the ImpTable rows it
// must still give (SNILS|LName|FName|MName).
TEST_F(ReconTextTest, SkipsWhatTheStateDoesNotRecognise) {
    const std::string period = "2011 г. 1 кв. 10,00; 0,00; 0,00; 0,00";
    const std::string ivanov = person("112-233-445 95", "Иванов Сергей Петрович");
    const std::string ivanovRow = "112-233-445 95|Иванов|Сергей|Петрович";
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> rows;
    } cases[] = {
        {"empty file", "", {}},
        {"no separator", toCp1251(lines({ivanov, period})), {}},
        {"before the first separator", toCp1251(lines({ivanov, period, kSep})), {}},
        {"79 dashes", toCp1251(lines({std::string(79, '-'), ivanov, period})), {}},
        {"81 dashes", toCp1251(lines({std::string(81, '-'), ivanov, period})), {}},
        {"separator with a trailing blank", toCp1251(lines({kSep + " ", ivanov, period})), {}},
        {"two-word name: the block is skipped",
         toCp1251(lines({kSep, person("112-233-445 95", "Иванов Сергей"), period, kSep,
                         person("123-456-789 64", "Петрова Анна Викторовна"), period})),
         {"123-456-789 64|Петрова|Анна|Викторовна"}},
        {"more than three words",
         toCp1251(lines({kSep, person("112-233-445 95", "А Б В Г"), period})),
         {"112-233-445 95|А|Б|В"}},
        {"double blank gives an empty part",
         toCp1251(lines({kSep, person("112-233-445 95", "Иванов  Сергей Петрович"), period})),
         {"112-233-445 95|Иванов||Сергей"}},
        {"period after period is not taken",
         toCp1251(lines({kSep, ivanov, period, "2011 г. 2 кв. 10,00; 0,00; 0,00; 0,00",
                         "2011 г. 3 кв. 10,00; 0,00; 0,00; 0,00"})),
         {ivanovRow, ivanovRow}},
        {"minus or point in a first column fails the pattern",
         toCp1251(lines({kSep, ivanov, "2011 г. 1 кв. -10,00; 0,00; 0,00; 0,00",
                         "2011 г. 1 кв. 10.00; 0,00; 0,00; 0,00"})),
         {}},
        {"UTF-8 file matches nothing", lines({kSep, ivanov, period}), {}},
        {"LF and lone CR line ends",
         toCp1251(kSep + "\n" + ivanov + "\r" + period + "\n"),
         {ivanovRow}},
        {"NUL ends the text",
         toCp1251(kSep + "\r\n") + '\0' + toCp1251(ivanov + "\r\n" + period),
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetImportTables(tables);
        ASSERT_EQ(import(c.bytes), "");
        std::vector<std::string> got;
        for (const std::string& row : impRows(tables.ImpTable)) {
            std::size_t cut = 0;
            for (int bars = 0; bars < 4; ++bars)
                cut = row.find('|', cut) + 1;
            got.push_back(row.substr(0, cut - 1));
        }
        EXPECT_EQ(got, c.rows);
    }
}

// A block that lacks a line must not hand the next person's amounts to the
// previous person: a separator or person line starts the next block.
TEST_F(ReconTextTest, BlockWithoutALineDoesNotRecordUnderThePreviousPerson) {
    const std::string ivanov = person("112-233-445 95", "Иванов Сергей Петрович");
    const std::string petrova = person("123-456-789 64", "Петрова Анна Викторовна");
    const std::string q1 = "2011 г. 1 кв. 10,00; 0,00; 0,00; 0,00";
    const std::string q2 = "2011 г. 2 кв. 20,00; 0,00; 0,00; 0,00";
    const std::string petrovaQ3 = "2011 г. 3 кв. 77,00; 0,00; 0,00; 0,00";
    struct Case {
        const char* name;
        std::vector<std::string> lines;
    } cases[] = {
        {"no total after the last period", {kSep, ivanov, q1, q2, kSep, petrova, petrovaQ3}},
        {"no total and no separator", {kSep, ivanov, q1, q2, petrova, petrovaQ3}},
        {"no period at all", {kSep, ivanov, petrova, petrovaQ3}},
        {"no period, then a separator", {kSep, ivanov, kSep, petrova, petrovaQ3}},
    };
    const Value period3(std::int64_t(20113));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetImportTables(tables);
        ASSERT_EQ(importText(lines(c.lines)), "");
        EXPECT_TRUE(tables.ImpTable.Locate("SNILS;Period", {Value("123-456-789 64"), period3}));
        EXPECT_TRUE(tables.ResTable.Locate("SNILS;Period",
                                           {Value("123-456-789 64"), Value(std::int64_t(3))}));
        EXPECT_FALSE(tables.ImpTable.Locate("SNILS;Period", {Value("112-233-445 95"), period3}));
    }
}

TEST_F(ReconTextTest, DuplicatePeriodIsReportedTwiceAndTheImportGoesOn) {
    const std::string q1 = "2011 г. 1 кв. 10,00; 0,00; 0,00; 0,00";
    ASSERT_EQ(importText(lines(
                  {kSep, person("112-233-445 95", "Иванов Сергей Петрович"), q1,
                   "Итого: 10,00; 0,00; 0,00; 0,00", q1, "Итого: 20,00; 0,00; 0,00; 0,00",
                   "2011 г. 0 кв. 1,00; 0,00; 0,00; 0,00", "Итого: 21,00; 0,00; 0,00; 0,00"})),
              "");
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].first, "Ошибка в данных");
    EXPECT_EQ(prompts.messages[1].first, "Ошибка в итоговых данных");
    EXPECT_EQ(prompts.messages[0].second,
              "Стр.Номер: 112-233-445 95\r\nФамилия: Иванов\r\nИмя: Сергей\r\nОтчество: "
              "Петрович\r\nГод: 2011\r\nКвартал: 1\r\nКатегория: ОСН");
    // The quarter digit is taken as written, 0 included.
    EXPECT_TRUE(tables.ImpTable.Locate("Period", {Value(std::int64_t(20110))}));
    EXPECT_EQ(tables.ImpTable.RecordCount(), 2);
    EXPECT_EQ(tables.ResTable.RecordCount(), 2);
}

TEST_F(ReconTextTest, AmountThatIsNoNumberEndsTheImportNamingFileAndLine) {
    const std::string head = lines({kSep, person("112-233-445 95", "Иванов Сергей Петрович"),
                                    "2010 г. 4 кв. 1,00; 0,00; 0,00; 0,00"});
    struct Case {
        const char* line;
        const char* quoted;
    } cases[] = {
        {"2011 г. 1 кв. 1 000,00; 0,00; 0,00; 0,00", "1 000,00"},
        {"2011 г. 1 кв. 10,00;; 0,00; 0,00", ""},
        {"2011 г. 1 кв. 10,00; 0,00; 0,00; -5,00", ""},
        {"2011 г. 1 кв. 10,00; 0,00; 0,00; 1000.50", "1000.50"},
        {"Итого: 10,00; 0,00; 0,00;  7.25 руб.", "7.25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        resetImportTables(tables);
        std::string text = head;
        if (std::string(c.line).rfind("Итого", 0) == 0)
            text += "2011 г. 1 кв. 1,00; 0,00; 0,00; 0,00\r\n";
        text += std::string(c.line) + "\r\n2011 г. 2 кв. 1,00; 0,00; 0,00; 0,00\r\n";
        const int lineNo = std::string(c.line).rfind("Итого", 0) == 0 ? 5 : 4;
        const std::string error = importText(text);
        EXPECT_EQ(error, std::string("'") + c.quoted +
                             "' is not a valid floating point value\r\nФайл: " + path +
                             ", строка " + std::to_string(lineNo));
        // What came before stays, the separator in force is back.
        EXPECT_GE(tables.ImpTable.RecordCount(), 1);
        EXPECT_EQ(format.decimalSeparator, '.');
    }
}

TEST_F(ReconTextTest, UnreadableFileNamesItAndWritesNothing) {
    TReconEntry entry;
    const std::string missing = dir + "/нет.txt";
    try {
        importReconciliationText(tables, missing, entry, format, prompts);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Файл: " + missing), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("строка"), std::string::npos) << e.what();
    }
    EXPECT_EQ(tables.ImpTable.RecordCount(), 0);
}

TEST_F(ReconTextTest, SampleFileGivesTheReportOfTheSzvFolder) {
    ASSERT_EQ(import(readWholeFile(std::string(QUARLEX_SAMPLES) + "/recon/sverka.txt")), "");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(tables.ImpTable.RecordCount(), 32);
    EXPECT_EQ(tables.ResTable.RecordCount(), 32);
    Money str, nak;
    for (tables.ResTable.First(); !tables.ResTable.Eof(); tables.ResTable.Next())
        if (tables.ResTable.asInteger("God") == 2011 && tables.ResTable.asInteger("Period") == 4) {
            str += tables.ResTable.asMoney("StrItog");
            nak += tables.ResTable.asMoney("NakItog");
        }
    EXPECT_EQ(str, money("9400"));
    EXPECT_EQ(nak, money("3400"));
}

} // namespace
} // namespace quarlex::test
