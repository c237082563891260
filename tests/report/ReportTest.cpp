#include "report/Report.h"

#include <gtest/gtest.h>

#include "ReportFixture.h"
#include "tables/Error.h"

namespace quarlex::test {
namespace {

const char* const kA = "112-233-445 95";
const char* const kB = "123-456-789 64";

class ReportTest : public TablesFixture {
protected:
    std::vector<ResRow> report(bool perPeriod) {
        runReport(t, ReportOptions{perPeriod});
        EXPECT_TRUE(t.ResTable.Active());
        EXPECT_FALSE(t.TmpTable.Exists());
        EXPECT_FALSE(t.CatTable.Exists());
        return resRows();
    }
};

// A has 100.00 in 2010-4 and -30.00 in 2011-1; B starts in 2011-1, and B's
// row makes 2011-2 a period of the report.
TEST_F(ReportTest, CumulativeTotalsPerPeriodAndLatest) {
    addImp({kA, "Иванов", "Сергей", "Петрович", 2010, 4, "ОСН", "100.00", "10.00"});
    addImp({kA, "Иванов", "Сергей", "Петрович", 2011, 1, "ОСН", "-30.00", "0"});
    addImp({kB, "Петрова", "Анна", "Викторовна", 2011, 1, "ОСН", "5.00", "1.00"});
    addImp({kB, "Петрова", "Анна", "Викторовна", 2011, 2, "ОСН", "7.00", "-2.50"});

    const std::string ivanov = "Иванов Сергей Петрович";
    const std::string petrova = "Петрова Анна Викторовна";
    struct Case {
        bool perPeriod;
        std::vector<ResRow> expected;
    } cases[] = {
        {true,
         {{kA, ivanov, "ОСН", 2010, 4, "100.0000", "10.0000"},
          {kA, ivanov, "ОСН", 2011, 1, "70.0000", "10.0000"},
          {kA, ivanov, "ОСН", 2011, 2, "70.0000", "10.0000"},
          {kB, petrova, "ОСН", 2011, 1, "5.0000", "1.0000"},
          {kB, petrova, "ОСН", 2011, 2, "12.0000", "-1.5000"}}},
        {false,
         {{kA, ivanov, "ОСН", 2011, 2, "70.0000", "10.0000"},
          {kB, petrova, "ОСН", 2011, 2, "12.0000", "-1.5000"}}},
        // Again per period: a run over an open ResTable replaces its content.
        {true,
         {{kA, ivanov, "ОСН", 2010, 4, "100.0000", "10.0000"},
          {kA, ivanov, "ОСН", 2011, 1, "70.0000", "10.0000"},
          {kA, ivanov, "ОСН", 2011, 2, "70.0000", "10.0000"},
          {kB, petrova, "ОСН", 2011, 1, "5.0000", "1.0000"},
          {kB, petrova, "ОСН", 2011, 2, "12.0000", "-1.5000"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.perPeriod ? "per period" : "latest only");
        EXPECT_EQ(report(c.perPeriod), c.expected);
    }
}

// The latest period is taken over all categories; each category sums only
// its own rows.
TEST_F(ReportTest, CategoriesAreSeparateAndShareTheLatestPeriod) {
    addImp({kA, "Смирнов", "Алексей", "Николаевич", 2010, 4, "НР", "100.00", "0"});
    addImp({kA, "Смирнов", "Алексей", "Николаевич", 2010, 4, "ПНЭД", "40.00", "4.00"});
    addImp({kA, "Смирнов", "Алексей", "Николаевич", 2011, 2, "ПНЭД", "1.00", "0.10"});

    const std::string fio = "Смирнов Алексей Николаевич";
    EXPECT_EQ(report(false), (std::vector<ResRow>{
                                 {kA, fio, "НР", 2011, 2, "100.0000", "0.0000"},
                                 {kA, fio, "ПНЭД", 2011, 2, "41.0000", "4.1000"},
                             }));
    EXPECT_EQ(report(true), (std::vector<ResRow>{
                                {kA, fio, "НР", 2010, 4, "100.0000", "0.0000"},
                                {kA, fio, "НР", 2011, 2, "100.0000", "0.0000"},
                                {kA, fio, "ПНЭД", 2010, 4, "40.0000", "4.0000"},
                                {kA, fio, "ПНЭД", 2011, 2, "41.0000", "4.1000"},
                            }));
}

TEST_F(ReportTest, EmptyImpTableGivesEmptyOpenResTable) {
    EXPECT_TRUE(report(true).empty());
    EXPECT_TRUE(report(false).empty());
}

// Category texts with quotes, and one written to break out of the literal:
// each is matched exactly and sums only its own rows.
TEST_F(ReportTest, CategoryTextIsMatchedExactly) {
    const std::string injection = "\") OR 1=1 OR (\"\"=\"";
    addImp({kA, "Иванов", "Сергей", "Петрович", 2011, 1, "ОСН", "1.00", "0"});
    addImp({kA, "Иванов", "Сергей", "Петрович", 2011, 1, "Н\"Р", "20.00", "0"});
    addImp({kA, "Иванов", "Сергей", "Петрович", 2011, 1, "\"", "300.00", "0"});
    addImp({kA, "Иванов", "Сергей", "Петрович", 2011, 1, injection, "4000.00", "0"});

    const std::string fio = "Иванов Сергей Петрович";
    // ResTable.Cat keeps ten characters of the category.
    EXPECT_EQ(report(true), (std::vector<ResRow>{
                                {kA, fio, "\"", 2011, 1, "300.0000", "0.0000"},
                                {kA, fio, injection.substr(0, 10), 2011, 1, "4000.0000", "0.0000"},
                                {kA, fio, "Н\"Р", 2011, 1, "20.0000", "0.0000"},
                                {kA, fio, "ОСН", 2011, 1, "1.0000", "0.0000"},
                            }));
}

// A name spelt differently in different rows: one row per period with every
// row of the person summed, named after the latest row up to the period.
TEST_F(ReportTest, PersonWithChangedNameKeepsOneRowWithFullSum) {
    addImp({kA, "Петрова", "Анна", "Викторовна", 2010, 4, "ОСН", "100.00", "1.00"});
    addImp({kA, "Белова", "Анна", "Викторовна", 2011, 1, "ОСН", "50.00", "2.00"});
    addImp({kA, "Петрова", "Анна", "Викторовна", 2011, 2, "ОСН", "0", "0"});
    addImp({kA, "Белова", "Анна", "Викторовна", 2011, 3, "ОСН", "7.00", "0"});
    addImp({kB, "Соколов", "Дмитрий", "Андреевич", 2011, 4, "ОСН", "1.00", "0"});

    EXPECT_EQ(report(true),
              (std::vector<ResRow>{
                  {kA, "Петрова Анна Викторовна", "ОСН", 2010, 4, "100.0000", "1.0000"},
                  {kA, "Белова Анна Викторовна", "ОСН", 2011, 1, "150.0000", "3.0000"},
                  {kA, "Петрова Анна Викторовна", "ОСН", 2011, 2, "150.0000", "3.0000"},
                  {kA, "Белова Анна Викторовна", "ОСН", 2011, 3, "157.0000", "3.0000"},
                  {kA, "Белова Анна Викторовна", "ОСН", 2011, 4, "157.0000", "3.0000"},
                  {kB, "Соколов Дмитрий Андреевич", "ОСН", 2011, 4, "1.0000", "0.0000"},
              }));
}

// Errors that end the run name what the accountant must look at, and the
// run still removes its temporary tables. Two categories that agree in their
// first ten characters cannot be told apart in ResTable; debts whose sum
// leaves the range of money name the category and the period, not the
// statement.
TEST_F(ReportTest, ErrorsNameWhatAndRemoveTheTemporaryTables) {
    struct Case {
        std::vector<ImpRow> rows;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {{{kA, "Иванов", "Сергей", "Петрович", 2011, 1, "ДОЛГАЯКАТЕГ1", "1.00", "0"},
          {kA, "Иванов", "Сергей", "Петрович", 2011, 1, "ДОЛГАЯКАТЕГ2", "2.00", "0"}},
         {"ДОЛГАЯКАТЕГ1", "ДОЛГАЯКАТЕГ2"}},
        {{{kA, "Иванов", "Сергей", "Петрович", 2011, 1, "ОСН", "922337203685477", "0"},
          {kA, "Иванов", "Сергей", "Петрович", 2011, 2, "ОСН", "922337203685477", "0"}},
         {"Сумма долгов вне диапазона денег: категория \"ОСН\", период 2011-2"}},
    };
    for (const Case& c : cases) {
        resetTable(t.ImpTable);
        for (const ImpRow& r : c.rows)
            addImp(r);
        try {
            runReport(t, ReportOptions{true});
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            const std::string message = e.what();
            for (const std::string& part : c.parts)
                EXPECT_NE(message.find(part), std::string::npos) << message;
            EXPECT_EQ(message.find("SELECT"), std::string::npos) << message;
        }
        EXPECT_FALSE(t.TmpTable.Exists());
        EXPECT_FALSE(t.CatTable.Exists());
        EXPECT_FALSE(t.ResTable.Active());
    }
}

// A long category without a twin is no collision: it is reported under its
// first ten characters.
TEST_F(ReportTest, LongCategoryAloneIsCut) {
    addImp({kA, "Иванов", "Сергей", "Петрович", 2011, 1, "ДОЛГАЯКАТЕГ1", "1.00", "0"});
    EXPECT_EQ(report(true), (std::vector<ResRow>{{kA, "Иванов Сергей Петрович", "ДОЛГАЯКАТЕ", 2011,
                                                  1, "1.0000", "0.0000"}}));
}

TEST(IsOverpaidRow, EitherTotalBelowZero) {
    struct Case {
        const char* str;
        const char* nak;
        bool red;
    } cases[] = {
        {"0", "0", false},       {"0", "-0.01", true},   {"-0.01", "0", true},
        {"0.01", "0.01", false}, {"-0.0001", "5", true}, {"-1", "-1", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isOverpaidRow(money(c.str), money(c.nak)), c.red) << c.str << " " << c.nak;
}

} // namespace
} // namespace quarlex::test
