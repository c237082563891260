#include <gtest/gtest.h>

#include "tables/Error.h"
#include "tables/WorkingTables.h"

using namespace quarlex;

namespace {

class BatchMoveTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetTable(t.ImpTable);
        resetTable(t.ResTable);
    }

    void addImp(const std::string& snils, int year, int quarter, const std::string& category,
                const char* accrued) {
        Table& imp = t.ImpTable;
        imp.Insert();
        imp.setField("SNILS", snils);
        imp.setField("LName", "Петров");
        imp.setField("God", year);
        imp.setField("Kvartal", quarter);
        imp.setField("Period", year * 10 + quarter);
        imp.setField("Category", category);
        imp.setField("StrNach", *Money::parse(accrued));
        imp.Post();
    }

    std::vector<std::string> resRows() {
        std::vector<std::string> out;
        Table& res = t.ResTable;
        for (res.First(); !res.Eof(); res.Next())
            out.push_back(res.asString("SNILS") + "|" + res.asString("FIO") + "|" +
                          res.asString("Cat") + "|" + res.asString("God") + "|" +
                          res.asString("Period") + "|" + res.asString("StrItog") + "|" +
                          res.asString("NakItog"));
        return out;
    }

    WorkingTables t;
};

TEST_F(BatchMoveTest, AppendsByNameSkipsPresentKeysAndCutsText) {
    addImp("B", 2011, 1, "ОСН", "10.5");
    addImp("A", 2011, 2, "ОСН", "20");
    addImp("A", 2011, 1, "ОСН", "30");
    addImp("A", 2011, 1, "ВЫСОКОКВАЛИФИЦИРОВАННЫЙ", "40");
    // already in the report: this key is skipped and its row keeps its amount
    Table& res = t.ResTable;
    res.Insert();
    res.setField("SNILS", "A");
    res.setField("Cat", "ОСН");
    res.setField("God", 2011);
    res.setField("Period", 2);
    res.setField("StrItog", *Money::parse("-1"));
    res.Post();
    res.Close(); // the report run appends into a closed table

    t.RepQ.setSQL("SELECT SNILS, Category AS Cat, God, Kvartal AS Period, StrNach AS StrItog, "
                  "MName AS Unknown FROM ImpTable;");
    t.RepQ.ExecSQL();
    EXPECT_EQ(res.BatchMove(t.RepQ), 1);
    res.Open();
    // FIO and NakItog are not in the source: empty text and 0
    EXPECT_EQ(resRows(), (std::vector<std::string>{
                             "A||ВЫСОКОКВАЛ|2011|1|40.0000|0.0000",
                             "A||ОСН|2011|1|30.0000|0.0000",
                             "A||ОСН|2011|2|-1.0000|0.0000",
                             "B||ОСН|2011|1|10.5000|0.0000",
                         }));

    // a second move of the same result finds every key present
    EXPECT_EQ(res.BatchMove(t.RepQ), 4);
    EXPECT_EQ(res.RecordCount(), 4);
}

TEST_F(BatchMoveTest, ARowThatCannotBeStoredIsReportedNotDropped) {
    addImp("A", 2011, 1, "ОСН", "1");
    addImp("B", 2011, 1, "ОСН", "1");
    t.RepQ.setSQL("SELECT SNILS, SNILS AS God FROM ImpTable;");
    t.RepQ.ExecSQL();
    try {
        t.ResTable.BatchMove(t.RepQ);
        FAIL() << "no error";
    } catch (const Error& e) {
        std::string m = e.what();
        EXPECT_NE(m.find("ResTable"), std::string::npos) << m;
        EXPECT_NE(m.find("'A' is not a valid integer value"), std::string::npos) << m;
        EXPECT_NE(m.find("row 1"), std::string::npos) << m;
    }
}

} // namespace
