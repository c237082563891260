// The statement objects running the dialect against real working tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tables/Error.h"
#include "tables/WorkingTables.h"

using namespace quarlex;

namespace {

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

std::string render(const Value& v) {
    return isNull(v) ? "NULL" : valueToText(v);
}

// Text constants of the dialect: a double quote inside is doubled.
std::string dialectText(const std::string& s) {
    std::string out = "\"";
    for (char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

struct Row {
    const char* snils;
    const char* lname;
    const char* fname;
    const char* mname;
    int period;
    const char* category;
    const char* strDolg;
    const char* nakDolg;
};

const char* const kOsn = "ОСН";
const char* const kQuote = "a\"b";
const char* const kCrafted = "x\") OR 1=1 --";

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override { resetTable(t.ImpTable); }

    void add(const Row& r) {
        Table& imp = t.ImpTable;
        imp.Insert();
        imp.setField("SNILS", r.snils);
        imp.setField("LName", r.lname);
        imp.setField("FName", r.fname);
        imp.setField("MName", r.mname);
        imp.setField("God", r.period / 10);
        imp.setField("Kvartal", r.period % 10);
        imp.setField("Period", r.period);
        imp.setField("Category", r.category);
        imp.setField("StrDolg", *Money::parse(r.strDolg));
        imp.setField("NakDolg", *Money::parse(r.nakDolg));
        imp.Post();
    }
    void add(std::initializer_list<Row> rows) {
        for (const Row& r : rows)
            add(r);
    }

    // Result rows of a SELECT without INTO, each as "v1|v2|...", sorted when asked.
    std::vector<std::string> select(const std::string& sql, bool sorted = false) {
        t.RepQ.setSQL(sql);
        t.RepQ.ExecSQL();
        std::vector<std::string> out;
        for (const auto& row : t.RepQ.rows()) {
            std::string line;
            for (std::size_t i = 0; i < row.size(); ++i)
                line += (i ? "|" : "") + render(row[i]);
            out.push_back(line);
        }
        if (sorted)
            std::sort(out.begin(), out.end());
        return out;
    }

    // Rows of an open table in its order, the named columns as "v1|v2|...".
    static std::vector<std::string> walk(Table& table, const std::vector<std::string>& fields) {
        std::vector<std::string> out;
        for (table.First(); !table.Eof(); table.Next()) {
            std::string line;
            for (std::size_t i = 0; i < fields.size(); ++i)
                line += (i ? "|" : "") + render(table.value(fields[i]));
            out.push_back(line);
        }
        return out;
    }

    WorkingTables t;
};

TEST_F(QueryTest, CategoriesStatementStoresEachCategoryOnce) {
    add({{"111-111-111 11", "A", "B", "C", 20111, kOsn, "1", "0"},
         {"111-111-111 11", "A", "B", "C", 20112, kOsn, "1", "0"},
         {"111-111-111 11", "A", "B", "C", 20112, kQuote, "1", "0"},
         {"222-222-222 22", "A", "B", "C", 20112, kCrafted, "1", "0"},
         {"222-222-222 22", "A", "B", "C", 20113, "", "1", "0"}});
    t.CatTable.setInMemory(true);
    t.CatTable.CreateTable();
    t.UpdQ.setSQL("SELECT distinct Category AS \"Cat\" INTO CatTable FROM ImpTable;");
    t.UpdQ.ExecSQL();
    t.CatTable.Open();
    auto cats = walk(t.CatTable, {"Cat"});
    std::sort(cats.begin(), cats.end());
    EXPECT_EQ(cats, (std::vector<std::string>{"", kQuote, kCrafted, kOsn}));
}

TEST_F(QueryTest, PeriodStatementsFillTmpTableInTheirOrder) {
    // Stored out of time order, two persons sharing periods.
    add({{"222-222-222 22", "A", "B", "C", 20112, kOsn, "1", "0"},
         {"111-111-111 11", "A", "B", "C", 20104, kOsn, "1", "0"},
         {"111-111-111 11", "A", "B", "C", 20112, kOsn, "1", "0"},
         {"111-111-111 11", "A", "B", "C", 20111, "ХХХ", "1", "0"},
         {"222-222-222 22", "A", "B", "C", 20104, kOsn, "1", "0"}});
    struct Case {
        const char* statement;
        std::vector<std::string> rows; // Period|God|Kvartal in TmpTable's storage order
    };
    const Case cases[] = {
        {"SELECT distinct Period, God, Kvartal INTO TmpTable FROM ImpTable ORDER BY Period asc;",
         {"20104|2010|4", "20111|2011|1", "20112|2011|2"}},
        {"select DISTINCT period, GOD, kvartal into tmptable from imptable where CATEGORY = "
         "\"ОСН\" order by PERIOD",
         {"20104|2010|4", "20112|2011|2"}},
        {"SELECT distinct Period, God, Kvartal INTO TmpTable FROM ImpTable WHERE "
         "Period=(SELECT distinct MAX(Period) from ImpTable);",
         {"20112|2011|2"}},
    };
    for (const Case& c : cases) {
        t.TmpTable.setInMemory(true);
        t.TmpTable.CreateTable();
        t.RepQ.setSQL(c.statement);
        t.RepQ.ExecSQL();
        t.TmpTable.Open();
        EXPECT_EQ(walk(t.TmpTable, {"Period", "God", "Kvartal"}), c.rows) << c.statement;
        t.TmpTable.DeleteTable();
    }
}

TEST_F(QueryTest, TotalsStatementSumsExactlyUpToThePeriod) {
    add({{"111-111-111 11", "Ivanov", "Ivan", "Ivanovich", 20104, kOsn, "100.00", "0.0001"},
         {"111-111-111 11", "Ivanov", "Ivan", "Ivanovich", 20111, kOsn, "-30.00", "0.0002"},
         {"111-111-111 11", "Ivanov", "Ivan", "Ivanovich", 20111, "ХХХ", "7.00", "7"},
         {"111-111-111 11", "Ivanov", "Ivan", "Ivanovich", 20121, kOsn, "500", "500"},
         // Beyond what a double holds to the ten-thousandth.
         {"222-222-222 22", "Petrova", "Anna", "Olegovna", 20114, kOsn, "123456789012.3456", "0"},
         {"222-222-222 22", "Petrova", "Anna", "Olegovna", 20113, kOsn, "0.0001", "-0.0001"}});
    t.RepQ.setSQL("SELECT SNILS, LName + \" \" +FName + \" \" + MNAME as FIO, 2011 AS \"God\",4 AS "
                  "\"Period\", \"ОСН\" AS Cat , SUM(StrDolg) AS \"StrItog\" , SUM(NakDolg) AS "
                  "\"NakItog\" FROM ImpTable WHERE ( (Category=\"ОСН\") AND (Period <= 20114) ) "
                  "GROUP BY SNILS,FName,MName,LName;");
    t.RepQ.ExecSQL();
    ASSERT_EQ(t.RepQ.rows().size(), 2u);
    EXPECT_EQ(t.RepQ.columns(), (std::vector<std::string>{"SNILS", "FIO", "God", "Period", "Cat",
                                                          "StrItog", "NakItog"}));

    // The rows land in ResTable as the report stores them.
    resetTable(t.ResTable);
    EXPECT_EQ(t.ResTable.BatchMove(t.RepQ), 0);
    EXPECT_EQ(walk(t.ResTable, {"SNILS", "FIO", "Cat", "God", "Period", "StrItog", "NakItog"}),
              (std::vector<std::string>{
                  "111-111-111 11|Ivanov Ivan Ivanovich|ОСН|2011|4|70.0000|0.0003",
                  "222-222-222 22|Petrova Anna Olegovna|ОСН|2011|4|123456789012.3457|-0.0001"}));
    const auto& first = t.RepQ.rows()[0];
    EXPECT_TRUE(std::holds_alternative<std::int64_t>(first[2]));
    EXPECT_TRUE(std::holds_alternative<Money>(first[5]));
}

TEST_F(QueryTest, ReportStatementMatchesQuotedCategoriesExactly) {
    // One person under three categories, the name spelt differently in the latest row.
    add({{"111-111-111 11", "Ivanov", "Ivan", "Ivanovich", 20111, kOsn, "1", "1"},
         {"111-111-111 11", "Ivanov", "Ivan", "Ivanovich", 20111, kQuote, "10", "2"},
         {"111-111-111 11", "Ivanoff", "Ivan", "Ivanovich", 20113, kQuote, "20", "2"},
         {"111-111-111 11", "Ivanov", "Ivan", "Ivanovich", 20112, kCrafted, "100", "3"},
         {"111-111-111 11", "Ivanov", "Ivan", "Ivanovich", 20121, kQuote, "1000", "0"}});
    struct Case {
        const char* category;
        std::string row;
    };
    const Case cases[] = {
        {kQuote, "111-111-111 11|Ivanoff Ivan Ivanovich|2011|4|a\"b|30.0000|4.0000|20113"},
        {kCrafted,
         "111-111-111 11|Ivanov Ivan Ivanovich|2011|4|x\") OR 1=1 --|100.0000|3.0000|20112"},
        {"x", ""},
    };
    for (const Case& c : cases) {
        const std::string cat = dialectText(c.category);
        const auto rows = select(
            "SELECT SNILS, LName + \" \" + FName + \" \" + MName AS FIO, 2011 AS \"God\", 4 AS "
            "\"Period\", " +
            cat +
            " AS Cat, SUM(StrDolg) AS \"StrItog\", SUM(NakDolg) AS \"NakItog\", MAX(Period) AS "
            "\"LastPeriod\" FROM ImpTable WHERE ((Category = " +
            cat + ") AND (Period <= 20114)) GROUP BY SNILS;");
        EXPECT_EQ(rows, c.row.empty() ? std::vector<std::string>{} : std::vector{c.row})
            << c.category;
    }
}

TEST_F(QueryTest, DialectConstructs) {
    add({{"111-111-111 11", "Ivanov", "Ivan", "", 20104, kOsn, "100.00", "-0.0001"},
         {"111-111-111 11", "Ivanov", "Ivan", "", 20111, kOsn, "-30.00", "0"},
         {"222-222-222 22", "Petrov", "Petr", "P", 20111, kOsn, "99.9999", "0"}});
    struct Case {
        const char* statement;
        std::vector<std::string> rows; // sorted
    };
    const Case cases[] = {
        // A double-quoted column name is a text, not the column.
        {"SELECT \"SNILS\" AS X FROM ImpTable WHERE Period = 20104", {"SNILS"}},
        {"select lname + \" \" + fname as fio from imptable where snils = \"111-111-111 11\" and "
         "PERIOD = 20104",
         {"Ivanov Ivan"}},
        // Amounts compare with amounts, in units of money.
        {"SELECT SNILS, StrDolg FROM ImpTable WHERE StrDolg <= NakDolg",
         {"111-111-111 11|-30.0000"}},
        {"SELECT SUM(StrDolg) AS S, MAX(Period) AS M FROM ImpTable WHERE Period <= 0",
         {"NULL|NULL"}},
        {"SELECT distinct SNILS FROM ImpTable WHERE Period <= (SELECT MAX(Period) FROM ImpTable "
         "WHERE Period <= 20104)",
         {"111-111-111 11"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(select(c.statement, true), c.rows) << c.statement;
}

TEST_F(QueryTest, IntoStoresRowsInTheTargetsRepresentation) {
    add({{"111-111-111 11", "Ivanov", "Ivan", "I", 20111, "КатегорияДлинная", "12.5", "0"}});
    resetTable(t.ResTable);
    t.RepQ.setSQL("SELECT SNILS, LName AS fio, Category AS Cat, God, Kvartal AS Period, StrDolg "
                  "AS StrItog, 5 AS NakItog INTO ResTable FROM ImpTable");
    t.RepQ.ExecSQL();
    // The category is cut to the column's ten characters, the whole 5 becomes an amount.
    EXPECT_EQ(walk(t.ResTable, {"SNILS", "FIO", "Cat", "God", "Period", "StrItog", "NakItog"}),
              (std::vector<std::string>{"111-111-111 11|Ivanov|КатегорияД|2011|1|12.5000|5.0000"}));

    // The rows are stored as a field assignment stores them: the 16-bit range holds.
    resetTable(t.TmpTable);
    t.RepQ.setSQL("SELECT 40000 AS God, Kvartal, Period INTO TmpTable FROM ImpTable");
    EXPECT_EQ(errorOf([&] { t.RepQ.ExecSQL(); }),
              "TmpTable: 40000 is not a valid value for field 'God'. The allowed range is -32768 "
              "to 32767 (result row 1)");
    EXPECT_EQ(t.TmpTable.RecordCount(), 0);
    // A target that does not exist is made from the result columns.
    t.RepQ.setSQL("SELECT SNILS, SUM(StrDolg) AS Total INTO Summary FROM ImpTable GROUP BY SNILS");
    t.RepQ.ExecSQL();
    ASSERT_NE(t.db.layout("summary"), nullptr);
    Table summary(t.db, *t.db.layout("Summary"));
    summary.Open();
    EXPECT_EQ(walk(summary, {"SNILS", "Total"}),
              (std::vector<std::string>{"111-111-111 11|12.5000"}));
}

TEST_F(QueryTest, FailuresNameTheStatementAndKeepEarlierRows) {
    // Each amount fits, their sum does not.
    add({{"111-111-111 11", "A", "B", "C", 20111, kOsn, "500000000000000", "0"},
         {"111-111-111 11", "A", "B", "C", 20112, kOsn, "500000000000000", "0"}});
    t.CatTable.setInMemory(true);
    t.CatTable.CreateTable();
    t.RepQ.setSQL("SELECT SNILS FROM ImpTable");
    t.RepQ.ExecSQL();
    ASSERT_EQ(t.RepQ.rows().size(), 2u);

    struct Case {
        const char* statement;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {"SELECT SUM(StrDolg) AS S FROM ImpTable",
         {"integer overflow", "SELECT SUM(StrDolg) AS S FROM ImpTable"}},
        {"SELECT SNILS AS Nope INTO CatTable FROM ImpTable", {"CatTable", "Nope"}},
        {"SELECT Period AS Cat, SUM(StrDolg) AS Cat INTO CatTable FROM ImpTable GROUP BY Period",
         {"result column Cat appears twice"}},
        {"SELECT Category AS Cat INTO CatTable FROM ImpTable WHERE MName = 1", {"compared"}},
        {"SELECT SNILS FROM ImpTable WHERE Dolg = 1", {"column Dolg", "table ImpTable"}},
        {"SELECT Cat FROM TmpTable", {"table TmpTable does not exist"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        // Written through the table, still in the open batch.
        const std::string category = "c" + std::to_string(++n);
        add({"000-000-000 00", "A", "B", "C", 20113, category.c_str(), "1", "0"});
        const int before = t.ImpTable.RecordCount();
        t.RepQ.setSQL(c.statement);
        const std::string message = errorOf([&] { t.RepQ.ExecSQL(); });
        for (const auto& part : c.parts)
            EXPECT_NE(message.find(part), std::string::npos) << part << " missing in: " << message;
        // No stale rows for a following BatchMove, nothing lost, nothing half-stored.
        EXPECT_TRUE(t.RepQ.rows().empty()) << c.statement;
        EXPECT_EQ(t.ImpTable.RecordCount(), before);
        t.CatTable.Open();
        EXPECT_EQ(t.CatTable.RecordCount(), 0);
        t.CatTable.Close();
    }

    // An INTO whose SELECT fails half-way (the first group fits) stores none of its rows.
    t.RepQ.setSQL("SELECT SNILS, SUM(StrDolg) AS Total INTO Sums FROM ImpTable GROUP BY SNILS");
    EXPECT_NE(errorOf([&] { t.RepQ.ExecSQL(); }).find("integer overflow"), std::string::npos);
    EXPECT_EQ(t.db.layout("Sums"), nullptr);
}

} // namespace
