#include "import/CorrectiveMerge.h"

#include <gtest/gtest.h>

#include "ImportTestSupport.h"

namespace quarlex::test {
namespace {

using CorrectiveMergeTest = ImportTest;

SzvRec correction(const char* year, const char* quarter, std::optional<std::string> corrYear,
                  std::optional<std::string> corrQuarter) {
    SzvRec r;
    r.kind = "КОРРЕКТИРУЮЩАЯ";
    r.year = year;
    r.quarter = quarter;
    r.corrYear = std::move(corrYear);
    r.corrQuarter = std::move(corrQuarter);
    return r;
}

TEST_F(CorrectiveMergeTest, CorrectionReplacesTheAmounts) {
    SzvRec initial; // accrued 1000, paid 800
    SzvRec fix = correction("2011", "2", "2011", "1");
    fix.strUpl = "1000.00";
    fix.nakNach = "350.00";
    fix.nakUpl = "100.00";
    write("a.xml", {initial, fix});

    ASSERT_EQ(runError(), "");

    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_EQ(tables.ImpTable.RecordCount(), 1);
    ASSERT_TRUE(findImp("012-345-678 05", 20111));
    Table& imp = tables.ImpTable;
    EXPECT_EQ(imp.asMoney("StrNach"), money("1000"));
    EXPECT_EQ(imp.asMoney("StrUpl"), money("1000")) << "replaced, not added";
    EXPECT_EQ(imp.asMoney("StrDolg"), money("0"));
    EXPECT_EQ(imp.asMoney("NakNach"), money("350"));
    EXPECT_EQ(imp.asMoney("NakUpl"), money("100"));
    EXPECT_EQ(imp.asMoney("NakDolg"), money("250"));
    EXPECT_EQ(imp.asInteger("God"), 2011);
    EXPECT_EQ(imp.asInteger("Kvartal"), 1);
    EXPECT_EQ(imp.asString("LName"), "ИВАНОВ");
}

TEST_F(CorrectiveMergeTest, CorrectionSubmittedLastWins) {
    SzvRec initial;
    initial.year = "2010";
    initial.quarter = "4";
    SzvRec withFirst = correction("2011", "1", "2010", "4");
    withFirst.strUpl = "900.00";
    SzvRec withSecond = correction("2011", "2", "2010", "4");
    withSecond.strUpl = "950.00";
    // The files are read in the opposite order: only the reporting period counts.
    write("a-2011-2.xml", {withSecond});
    write("b-2011-1.xml", {withFirst});
    write("c-2010-4.xml", {initial});

    ASSERT_EQ(runError(), "");

    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_TRUE(findImp("012-345-678 05", 20104));
    EXPECT_EQ(tables.ImpTable.asMoney("StrUpl"), money("950"));
    EXPECT_EQ(tables.ImpTable.asMoney("StrDolg"), money("50"));
    EXPECT_EQ(tables.CorrTable.RecordCount(), 2) << "the corrections are kept";
}

TEST_F(CorrectiveMergeTest, CorrectionWithoutInitialRowIsReported) {
    SzvRec initial;
    SzvRec elsewhere = correction("2011", "2", "2010", "3");
    SzvRec noPeriod = correction("2011", "2", std::nullopt, std::nullopt);
    noPeriod.snils = "111-111-111 11";
    write("a.xml", {initial, elsewhere, noPeriod});

    ASSERT_EQ(runError(), "");

    using Messages = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(prompts.messages,
              (Messages{
                  {"Внесение корректировок", "Не обнаружены ИСХОДНЫЕ сведения для\r\nСтр.Номер: "
                                             "012-345-678 05\r\nГод: 2010\r\nКвартал: "
                                             "3\r\nКатегория: ОСН"},
                  {"Внесение корректировок", "Не обнаружены ИСХОДНЫЕ сведения для\r\nСтр.Номер: "
                                             "111-111-111 11\r\nГод: 0\r\nКвартал: "
                                             "0\r\nКатегория: ОСН"},
              }));
    ASSERT_TRUE(findImp("012-345-678 05", 20111));
    EXPECT_EQ(tables.ImpTable.asMoney("StrUpl"), money("800")) << "unchanged";
}

TEST_F(CorrectiveMergeTest, CategoryMustMatchInCategoryMode) {
    options.categoryMode = true;
    SzvRec initial;
    initial.category = "НР";
    SzvRec fix = correction("2011", "2", "2011", "1");
    fix.category = "ЕНВД";
    fix.strUpl = "1000.00";
    write("a.xml", {initial, fix});

    ASSERT_EQ(runError(), "");

    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].second, "Не обнаружены ИСХОДНЫЕ сведения для\r\nСтр.Номер: "
                                          "012-345-678 05\r\nГод: 2011\r\nКвартал: "
                                          "1\r\nКатегория: ЕНВД");
    ASSERT_TRUE(findImp("012-345-678 05", 20111, "НР"));
    EXPECT_EQ(tables.ImpTable.asMoney("StrUpl"), money("800"));
}

TEST_F(CorrectiveMergeTest, EmptyCorrectionTableChangesNothing) {
    write("a.xml", {SzvRec()});
    ASSERT_EQ(runError(), "");
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_TRUE(findImp("012-345-678 05", 20111));
    EXPECT_EQ(tables.ImpTable.asMoney("StrUpl"), money("800"));
}

TEST_F(CorrectiveMergeTest, FolderRunLeavesTheReportClosedAndShowsCategoriesInCategoryMode) {
    write("a.xml", {SzvRec()});
    for (bool mode : {true, false}) {
        resetImportTables(tables);
        options.categoryMode = mode;
        ASSERT_EQ(runError(), "");
        EXPECT_FALSE(tables.ResTable.Active());
        EXPECT_TRUE(tables.ImpTable.Active());
        EXPECT_EQ(tables.ImpTable.isVisible("Category"), mode);
        EXPECT_EQ(tables.ResTable.isVisible("Cat"), mode);
    }
}

} // namespace
} // namespace quarlex::test
