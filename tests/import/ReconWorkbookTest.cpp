#include "import/ReconWorkbook.h"

#include <gtest/gtest.h>

#include "ImportTestSupport.h"
#include "tables/Error.h"

namespace quarlex::test {
namespace {

std::string workbook(const std::string& name) {
    return std::string(QUARLEX_WORKBOOKS) + "/" + name + ".xls";
}

class ReconWorkbookTest : public ImportTest {
protected:
    WorkbookImportResult import(const std::string& path) {
        return importReconciliationWorkbook(tables, path, entry, prompts);
    }
    // The error text of the import, empty when it succeeds.
    std::string importError(const std::string& path) {
        try {
            import(path);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    }
    bool findRes(const std::string& snils, int god, int period) {
        return tables.ResTable.Locate(
            "SNILS;Cat;God;Period",
            {Value(snils), Value("ОСН"), Value(std::int64_t(god)), Value(std::int64_t(period))});
    }

    TReconEntry entry;
};

TEST_F(ReconWorkbookTest, SumsSheetGivesImportAndResultRowsPerPeriodRow) {
    WorkbookImportResult r = import(workbook("sums"));

    EXPECT_TRUE(r.imported);
    EXPECT_FALSE(r.lastTicked);
    Table& imp = tables.ImpTable;
    Table& res = tables.ResTable;
    // Title, headings, the total row and the blank row hold no period.
    EXPECT_EQ(imp.RecordCount(), 3);
    EXPECT_EQ(res.RecordCount(), 3);

    // Number cells 12345678 and 5 padded to 012-345-678 05.
    ASSERT_TRUE(findImp("012-345-678 05", 20114));
    EXPECT_EQ(imp.asString("LName"), "Иванов");
    EXPECT_EQ(imp.asString("FName"), "Сергей");
    EXPECT_EQ(imp.asString("MName"), "Петрович");
    EXPECT_EQ(imp.asInteger("God"), 2011);
    EXPECT_EQ(imp.asInteger("Kvartal"), 4);
    EXPECT_EQ(imp.asMoney("StrNach"), money("1000"));
    EXPECT_EQ(imp.asMoney("StrUpl"), money("400"));
    EXPECT_EQ(imp.asMoney("StrDolg"), money("600"));
    EXPECT_EQ(imp.asMoney("NakDolg"), money("0"));
    ASSERT_TRUE(findRes("012-345-678 05", 2011, 4));
    EXPECT_EQ(res.asString("FIO"), "Иванов Сергей Петрович");
    EXPECT_EQ(res.asMoney("StrItog"), money("600")) << "the fund's sign is turned";
    EXPECT_EQ(res.asMoney("NakItog"), money("0"));

    // "за 2 полугодие 2010 г.": the half-year digit is the quarter.
    ASSERT_TRUE(findImp("112-233-445 95", 20102));
    EXPECT_EQ(imp.asString("LName"), "Петрова");
    EXPECT_EQ(imp.asMoney("StrNach"), money("1234.56")) << "the double 1234.5599999999999";
    EXPECT_EQ(imp.asMoney("StrUpl"), money("0")) << "an empty cell";
    EXPECT_EQ(imp.asMoney("NakNach"), money("300.5")) << "the text 300,50";
    EXPECT_EQ(imp.asMoney("NakUpl"), money("300.4"));
    EXPECT_EQ(imp.asMoney("StrDolg"), money("1234.56"));
    EXPECT_EQ(imp.asMoney("NakDolg"), money("0.1"));
    ASSERT_TRUE(findRes("112-233-445 95", 2010, 2));
    EXPECT_EQ(res.asMoney("StrItog"), money("1234.56"));
    EXPECT_EQ(res.asMoney("NakItog"), money("0.1"));

    EXPECT_TRUE(findImp("012-345-678 05", 20117)) << "the quarter digit is taken as it is";
    EXPECT_TRUE(findRes("012-345-678 05", 2011, 7));

    // The repeated person and period: both rows refused, the import goes on.
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].first, "Ошибка в данных");
    EXPECT_EQ(prompts.messages[1].first, "Ошибка в итоговых данных");
    EXPECT_NE(prompts.messages[0].second.find("Стр.Номер: 012-345-678 05"), std::string::npos);
    ASSERT_TRUE(findImp("012-345-678 05", 20114));
    EXPECT_EQ(imp.asMoney("StrNach"), money("1000")) << "the first row stays";
}

TEST_F(ReconWorkbookTest, StoredFormulaResultsAreRead) {
    std::string path = workbook("sums_formulas");
    std::string error = importError(path);

    // FreeXL reports formula cells as empty; the stored results count.
    ASSERT_TRUE(findImp("112-233-445 95", 20111));
    EXPECT_EQ(tables.ImpTable.asString("LName"), "Иванов");
    EXPECT_EQ(tables.ImpTable.asMoney("StrNach"), money("1500.25"));
    ASSERT_TRUE(findRes("112-233-445 95", 2011, 1));
    EXPECT_EQ(tables.ResTable.asMoney("StrItog"), money("1500.25"));
    // A formula whose result is a text that is no number stops the import at its cell.
    EXPECT_EQ(error, "'abc' is not a valid floating point value\r\nФайл: " + path +
                         ", лист Сверка, строка 4, столбец N");
    EXPECT_EQ(tables.ImpTable.RecordCount(), 1);
}

TEST_F(ReconWorkbookTest, UsedAreaAwayFromA1CountsFieldsFromItsCorner) {
    std::string path = workbook("sums_shifted");
    std::string error = importError(path);

    ASSERT_TRUE(findImp("123-456-789 64", 20111));
    EXPECT_EQ(tables.ImpTable.asMoney("StrNach"), money("10"));
    EXPECT_EQ(tables.ImpTable.asMoney("NakUpl"), money("5"));
    // The place as the spreadsheet shows it: F15 of the fourth record is Q6.
    EXPECT_EQ(error, "'12a' is not a valid floating point value\r\nФайл: " + path +
                         ", лист Сверка, строка 6, столбец Q");
    EXPECT_EQ(tables.ImpTable.RecordCount(), 1) << "rows stored before the error stay";
    EXPECT_EQ(tables.ResTable.RecordCount(), 1);
}

TEST_F(ReconWorkbookTest, InsurerSheetGivesImportRowsThenRunsTheReport) {
    WorkbookImportResult r = import(workbook("insurer"));

    EXPECT_TRUE(r.imported);
    EXPECT_TRUE(r.lastTicked);
    EXPECT_TRUE(prompts.messages.empty());
    Table& imp = tables.ImpTable;
    EXPECT_EQ(imp.RecordCount(), 4) << "2011-5 holds no period";
    ASSERT_TRUE(findImp("112-233-445 95", 20111));
    EXPECT_EQ(imp.asString("LName"), "");
    EXPECT_EQ(imp.asString("FName"), "");
    EXPECT_EQ(imp.asString("MName"), "");
    EXPECT_EQ(imp.asMoney("StrNach"), money("9000"));
    EXPECT_EQ(imp.asMoney("NakNach"), money("3000"));
    EXPECT_EQ(imp.asMoney("StrUpl"), money("6000"));
    EXPECT_EQ(imp.asMoney("NakUpl"), money("3000"));
    EXPECT_EQ(imp.asMoney("StrDolg"), money("3000"));
    // The number 1234567801 is the SNILS 01234567801 without its leading zero.
    EXPECT_TRUE(findImp("012-345-678 01", 20111));
    // "2011-12": not anchored, quarter 1.
    ASSERT_TRUE(findImp("134-578-901 85", 20111));
    EXPECT_EQ(imp.asMoney("StrDolg"), money("700")) << "empty paid cells are 0";

    // ResTable comes from the report run, per period.
    Table& res = tables.ResTable;
    EXPECT_TRUE(res.Active());
    ASSERT_TRUE(findRes("112-233-445 95", 2011, 2));
    EXPECT_EQ(res.asMoney("StrItog"), money("3000"));
    ASSERT_TRUE(findRes("134-578-901 85", 2011, 1));
    EXPECT_EQ(res.asMoney("StrItog"), money("700"));
    EXPECT_EQ(res.asMoney("NakItog"), money("100"));
}

TEST_F(ReconWorkbookTest, InsurerSheetWithoutPeriodsStillRunsTheReport) {
    WorkbookImportResult r = import(workbook("insurer_no_periods"));

    EXPECT_TRUE(r.imported);
    EXPECT_TRUE(r.lastTicked);
    EXPECT_EQ(tables.ImpTable.RecordCount(), 0);
    EXPECT_TRUE(tables.ResTable.Active());
    EXPECT_EQ(tables.ResTable.RecordCount(), 0);
}

// The sample workbooks show the fund's view of the SZV-6 samples: the totals
// of the latest quarter are those of the SZV-6 report.
TEST_F(ReconWorkbookTest, SampleWorkbooksGiveTheTotalsOfTheSzv6Samples) {
    for (const char* name : {"sverka_sums.xls", "sverka_insurer.xls"}) {
        SCOPED_TRACE(name);
        resetImportTables(tables);
        entry = TReconEntry();
        ASSERT_TRUE(import(std::string(QUARLEX_SAMPLES) + "/recon/" + name).imported);
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_EQ(tables.ImpTable.RecordCount(), 32);
        Money str, nak;
        Table& res = tables.ResTable;
        for (res.First(); !res.Eof(); res.Next()) {
            if (res.asInteger("God") == 2011 && res.asInteger("Period") == 4) {
                str += res.asMoney("StrItog");
                nak += res.asMoney("NakItog");
            }
        }
        EXPECT_EQ(str, money("9400"));
        EXPECT_EQ(nak, money("3400"));
    }
}

TEST_F(ReconWorkbookTest, UnsupportedLayoutsAreReportedAndWriteNothing) {
    for (const char* name :
         {"sums_17_columns", "sums_19_columns", "sums_other_title", "sums_upper_case_title",
          "insurer_with_sums_title", "sums_on_second_sheet", "empty_sheet"}) {
        SCOPED_TRACE(name);
        prompts.messages.clear();
        WorkbookImportResult r = import(workbook(name));
        EXPECT_FALSE(r.imported);
        EXPECT_FALSE(r.lastTicked);
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0].second, "Неподдерживаемый формат данных xls файла");
        EXPECT_EQ(tables.ImpTable.RecordCount(), 0);
        EXPECT_EQ(tables.ResTable.RecordCount(), 0);
    }
}

TEST_F(ReconWorkbookTest, FilesThatAreNoWorkbookStopWithAnErrorNamingThem) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* text;
    } cases[] = {
        {"text.xls", "Суммы ЗЛ нарастающим итогом по организации\r\n", "is not an Excel 97-2003"},
        {"empty.xls", "", "is not an Excel 97-2003"},
        // The compound file signature and nothing after it.
        {"cut.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), "is not an Excel 97-2003"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = writeRaw(c.name, c.bytes);
        std::string error = importError(path);
        EXPECT_NE(error.find(c.text), std::string::npos) << error;
        EXPECT_NE(error.find("\r\nФайл: " + path), std::string::npos) << error;
    }
    std::string missing = dir + "/missing.xls";
    EXPECT_EQ(importError(missing), "Cannot open file \"" + missing +
                                        "\". No such file or directory\r\nФайл: " + missing);
    EXPECT_NE(importError(dir).find("It is not a regular file"), std::string::npos);
    EXPECT_TRUE(prompts.messages.empty());
}

} // namespace
} // namespace quarlex::test
