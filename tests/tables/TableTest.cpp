#include <gtest/gtest.h>

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

class ImpTableTest : public ::testing::Test {
protected:
    void SetUp() override { resetTable(t.ImpTable); }

    void add(const std::string& snils, int period, const std::string& category,
             const char* accrued = "0") {
        Table& imp = t.ImpTable;
        imp.Insert();
        imp.setField("SNILS", snils);
        imp.setField("God", period / 10);
        imp.setField("Kvartal", period % 10);
        imp.setField("Period", period);
        imp.setField("Category", category);
        imp.setField("StrNach", *Money::parse(accrued));
        imp.Post();
    }

    // (SNILS, Period, Category) of every row, in cursor order.
    std::vector<std::string> walk() {
        std::vector<std::string> out;
        for (t.ImpTable.First(); !t.ImpTable.Eof(); t.ImpTable.Next())
            out.push_back(t.ImpTable.asString("SNILS") + "/" + t.ImpTable.asString("Period") + "/" +
                          t.ImpTable.asString("Category"));
        return out;
    }

    WorkingTables t;
};

TEST_F(ImpTableTest, DuplicateKeyIsRefusedAndLeavesTheTableAsItWas) {
    add("012-345-678 05", 20114, "ОСН", "100.00");
    add("012-345-678 05", 20114, "ХХХ"); // same person and period, other category
    add("012-345-678 05", 20114, "");    // the empty category is a value of its own
    add("012-345-678 05", 20111, "ОСН");
    ASSERT_EQ(t.ImpTable.RecordCount(), 4);

    Table& imp = t.ImpTable;
    imp.Insert();
    imp.setField("SNILS", "012-345-678 05");
    imp.setField("Period", 20114);
    imp.setField("Category", "ОСН");
    imp.setField("StrNach", *Money::parse("999"));
    std::string message = errorOf([&] { imp.Post(); });
    EXPECT_NE(message.find("ImpTable"), std::string::npos) << message;
    EXPECT_NE(message.find("012-345-678 05"), std::string::npos) << message;
    EXPECT_NE(message.find("20114"), std::string::npos) << message;
    EXPECT_EQ(imp.state(), Table::State::Insert);
    imp.Cancel();
    EXPECT_EQ(imp.state(), Table::State::Browse);

    EXPECT_EQ(imp.RecordCount(), 4);
    ASSERT_TRUE(imp.Locate("SNILS;Period;Category", {std::string("012-345-678 05"),
                                                     std::int64_t(20114), std::string("ОСН")}));
    EXPECT_EQ(imp.asMoney("StrNach"), *Money::parse("100.00")); // the first row stays
    // rows posted after the refusal are stored normally
    add("111-222-333 44", 20114, "ОСН");
    t.db.flush();
    EXPECT_EQ(imp.RecordCount(), 5);
}

TEST_F(ImpTableTest, CancelDiscardsInsertAndEdit) {
    add("012-345-678 05", 20114, "ОСН", "10");
    Table& imp = t.ImpTable;
    auto generation = imp.generation();
    imp.Insert();
    imp.setField("SNILS", "999-999-999 99");
    imp.Cancel();
    EXPECT_EQ(imp.RecordCount(), 1);
    EXPECT_EQ(imp.generation(), generation);

    imp.First();
    imp.Edit();
    imp.setField("StrNach", *Money::parse("55"));
    EXPECT_EQ(imp.asString("StrNach"), "55.0000"); // the buffer is what a read sees while editing
    imp.Cancel();
    EXPECT_EQ(imp.asString("StrNach"), "10.0000");
    imp.First();
    EXPECT_EQ(imp.asString("StrNach"), "10.0000");
}

TEST_F(ImpTableTest, EditPostsTheCurrentRowAndRefusesAKeyThatIsTaken) {
    add("A", 20111, "ОСН");
    add("B", 20111, "ОСН");
    Table& imp = t.ImpTable;
    ASSERT_TRUE(imp.Locate("SNILS", {std::string("B")}));
    imp.Edit();
    imp.setField("StrUpl", *Money::parse("12.5"));
    imp.Post();
    EXPECT_EQ(imp.asMoney("StrUpl").units(), 125000);
    EXPECT_EQ(imp.RecordCount(), 2);

    imp.Edit();
    imp.setField("SNILS", "A");
    EXPECT_NE(errorOf([&] { imp.Post(); }).find("Key violation"), std::string::npos);
    imp.Cancel();
    EXPECT_EQ(walk(), (std::vector<std::string>{"A/20111/ОСН", "B/20111/ОСН"}));

    // a key change moves the row to its new place in index order
    ASSERT_TRUE(imp.Locate("SNILS", {std::string("A")}));
    imp.Edit();
    imp.setField("SNILS", "C");
    imp.Post();
    EXPECT_EQ(imp.asString("SNILS"), "C");
    EXPECT_EQ(imp.RecNo(), 2);
    EXPECT_EQ(walk(), (std::vector<std::string>{"B/20111/ОСН", "C/20111/ОСН"}));
}

TEST_F(ImpTableTest, FieldAssignmentConvertsChecksRangesAndNamesTheField) {
    Table& imp = t.ImpTable;
    struct {
        const char* field;
        Value value;
        const char* error; // nullptr: accepted
    } cases[] = {
        {"God", std::int64_t(32767), nullptr},
        {"God", std::int64_t(-32768), nullptr},
        {"God", std::int64_t(70000),
         "ImpTable: 70000 is not a valid value for field 'God'. The allowed range is -32768 to "
         "32767"},
        {"Kvartal", std::int64_t(-32769),
         "ImpTable: -32769 is not a valid value for field 'Kvartal'. The allowed range is -32768 "
         "to 32767"},
        {"God", std::string(" 2011 "), nullptr},
        {"God", std::string("20x1"), "ImpTable: '20x1' is not a valid integer value"},
        {"God", std::string("99999"),
         "ImpTable: 99999 is not a valid value for field 'God'. The allowed range is -32768 to "
         "32767"},
        {"StrNach", std::string("12.5"), nullptr},
        {"StrNach", std::string("12,5"), "ImpTable: '12,5' is not a valid floating point value"},
        {"strnach", std::int64_t(3), nullptr}, // names in any letter case
        {"Nope", std::int64_t(1), "ImpTable: Field 'Nope' not found"},
    };
    for (const auto& c : cases) {
        imp.Insert();
        std::string got = errorOf([&] { imp.setFieldValue(c.field, c.value); });
        EXPECT_EQ(got, c.error ? c.error : "(no error)") << c.field << " " << valueToText(c.value);
        imp.Cancel();
    }

    imp.Insert();
    imp.setField("StrNach", "12.5");
    imp.setField("God", "2011");
    imp.setField("NakNach", std::int64_t(7));
    imp.Post();
    EXPECT_EQ(imp.asMoney("StrNach").units(), 125000);
    EXPECT_EQ(imp.asInteger("God"), 2011);
    EXPECT_EQ(imp.asString("NakNach"), "7.0000");
    // fields left unset are stored as empty text and 0
    EXPECT_EQ(imp.asString("LName"), "");
    EXPECT_EQ(imp.value("StrUpl"), Value(Money()));
    EXPECT_EQ(imp.value("Category"), Value(std::string()));
    EXPECT_EQ(errorOf([&] { imp.setField("God", 1); }),
              "ImpTable: Dataset not in edit or insert mode");
}

TEST_F(ImpTableTest, LongTextIsCutToTheWidthInCharacters) {
    Table& imp = t.ImpTable;
    imp.Insert();
    imp.setField("SNILS", "012-345-678 05 and more");
    imp.setField("Category", "ОСНОВНАЯ-КАТЕГОРИЯ-ДЛЯ-ВСЕХ"); // 27 letters of two bytes each
    imp.setField("LName", std::string(150, 'x'));
    imp.Post();
    EXPECT_EQ(imp.asString("SNILS"), "012-345-678 05 ");
    EXPECT_EQ(imp.asString("Category"), "ОСНОВНАЯ-КАТЕГОРИЯ-Д");
    EXPECT_EQ(imp.asString("LName"), std::string(100, 'x'));

    resetTable(t.ResTable);
    t.ResTable.Insert();
    t.ResTable.setField("Cat", "ВЫСОКОКВАЛИФИЦИРОВАННЫЙ");
    t.ResTable.setField("Period", std::int64_t(3000000000LL) / 1000);
    t.ResTable.Post();
    EXPECT_EQ(t.ResTable.asString("Cat"), "ВЫСОКОКВАЛ");
    EXPECT_EQ(t.ResTable.asInteger("Period"), 3000000);
    t.ResTable.Insert();
    EXPECT_NE(errorOf([&] {
                  t.ResTable.setField("Period", std::int64_t(3000000000LL));
              }).find("The allowed range is -2147483648 to 2147483647"),
              std::string::npos);
    t.ResTable.Cancel();
}

TEST_F(ImpTableTest, CursorWalksInIndexOrderAndStaysOnTheLastRowAtTheEnd) {
    Table& imp = t.ImpTable;
    imp.First();
    EXPECT_TRUE(imp.Eof());
    EXPECT_EQ(imp.RecNo(), 0);
    EXPECT_EQ(imp.asString("SNILS"), ""); // nothing to read on an empty table
    EXPECT_EQ(imp.asInteger("Period"), 0);

    add("B", 20111, "ОСН");
    add("A", 20112, "ОСН");
    add("A", 20104, "ОСН");
    add("A", 20112, "");
    EXPECT_EQ(walk(),
              (std::vector<std::string>{"A/20104/ОСН", "A/20112/", "A/20112/ОСН", "B/20111/ОСН"}));
    // walk() ended with Next past the last row: the last row stays readable
    EXPECT_TRUE(imp.Eof());
    EXPECT_EQ(imp.asString("SNILS"), "B");
    EXPECT_EQ(imp.RecNo(), 4);
    imp.Next();
    EXPECT_TRUE(imp.Eof());
    EXPECT_EQ(imp.asString("SNILS"), "B");

    imp.First();
    EXPECT_EQ(imp.RecNo(), 1);
    imp.Next();
    EXPECT_EQ(imp.RecNo(), 2);
    imp.setRecNo(3);
    EXPECT_FALSE(imp.Eof());
    EXPECT_EQ(imp.asString("Category"), "ОСН");
    EXPECT_EQ(imp.asInteger("Period"), 20112);
    imp.Next();
    EXPECT_EQ(imp.RecNo(), 4);
    EXPECT_EQ(imp.asString("SNILS"), "B");
    imp.Last();
    EXPECT_EQ(imp.RecNo(), 4);
    EXPECT_NE(errorOf([&] { imp.setRecNo(5); }).find("out of range"), std::string::npos);
    EXPECT_NE(errorOf([&] { imp.setRecNo(0); }).find("out of range"), std::string::npos);
    ASSERT_TRUE(imp.Locate("Period", {std::int64_t(20104)}));
    EXPECT_EQ(imp.RecNo(), 1);
    ASSERT_TRUE(imp.Locate("SNILS;Category", {std::string("A"), std::string("")}));
    EXPECT_EQ(imp.RecNo(), 2);
    imp.Next();
    EXPECT_EQ(imp.RecNo(), 3);
}

TEST_F(ImpTableTest, LocateMatchesWholeValuesExactlyAndKeepsTheCursorWhenNotFound) {
    add("012-345-678 05", 20114, "ОСН");
    add("012-345-678 06", 20111, "осн");
    add("012-345-678 07", 20111, "ОСН");
    Table& imp = t.ImpTable;
    imp.Edit();
    imp.setField("LName", "Иванов");
    imp.Post();

    struct {
        const char* fields;
        std::vector<Value> values;
        const char* found; // SNILS of the row found, nullptr when none
    } cases[] = {
        {"Category", {std::string("осн")}, "012-345-678 06"},
        {"Category", {std::string("Осн")}, nullptr},
        {"Category", {std::string("ОС")}, nullptr},
        {"SNILS", {std::string("012-345-678")}, nullptr},
        {"SNILS", {std::string("012-345-678 05 ")}, nullptr},
        {"Category;Period", {std::string("ОСН"), std::int64_t(20111)}, "012-345-678 07"},
        {"Category", {std::string("ОСН")}, "012-345-678 05"}, // the first in index order
        {"lname", {std::string("Иванов")}, "012-345-678 07"}, // a column outside the index
        {"lname", {std::string("иванов")}, nullptr},
    };
    for (const auto& c : cases) {
        imp.setRecNo(2);
        bool found = imp.Locate(c.fields, c.values);
        EXPECT_EQ(found, c.found != nullptr) << c.fields << " " << valueToText(c.values[0]);
        EXPECT_EQ(imp.asString("SNILS"), c.found ? c.found : "012-345-678 06")
            << c.fields << " " << valueToText(c.values[0]);
    }
    EXPECT_EQ(errorOf([&] {
                  imp.Locate("SNILS;Nope", {std::string("x"), std::int64_t(1)});
              }),
              "ImpTable: Field 'Nope' not found");
}

TEST(TableLifecycle, CreateEmptyDeleteAndReset) {
    WorkingTables t;
    Table& imp = t.ImpTable;
    EXPECT_FALSE(imp.Exists());
    EXPECT_NE(errorOf([&] { imp.Open(); }).find("does not exist"), std::string::npos);

    resetTable(imp); // first run: created and opened
    EXPECT_TRUE(imp.Active());
    ASSERT_NE(t.db.layout("IMPTABLE"), nullptr);
    EXPECT_EQ(t.db.layout("imptable")->fields.size(), imp.def().fields.size());
    imp.Insert();
    imp.setField("SNILS", "A");
    imp.Post();
    EXPECT_EQ(imp.RecordCount(), 1);

    resetTable(imp); // later runs: open, so closed, emptied, reopened
    EXPECT_TRUE(imp.Active());
    EXPECT_EQ(imp.RecordCount(), 0);
    EXPECT_TRUE(imp.Eof());

    imp.Insert();
    imp.setField("SNILS", "A");
    imp.Post();
    imp.CreateTable(); // replaces the table: empty and closed
    EXPECT_FALSE(imp.Active());
    EXPECT_EQ(errorOf([&] { imp.First(); }),
              "ImpTable: Cannot perform this operation on a closed dataset");
    EXPECT_EQ(errorOf([&] { imp.Insert(); }),
              "ImpTable: Cannot perform this operation on a closed dataset");
    EXPECT_EQ(imp.asString("SNILS"), ""); // reading a closed table gives nothing
    EXPECT_TRUE(imp.readRows(0, 10).empty());
    imp.Open();
    EXPECT_EQ(imp.RecordCount(), 0);

    imp.Insert();
    imp.setField("SNILS", "A");
    imp.Post();
    imp.Close();
    imp.EmptyTable();
    imp.Open();
    EXPECT_EQ(imp.RecordCount(), 0);

    imp.DeleteTable();
    EXPECT_FALSE(imp.Active());
    EXPECT_FALSE(imp.Exists());
    EXPECT_EQ(t.db.layout("ImpTable"), nullptr);
    imp.DeleteTable(); // deleting what is gone is harmless (cleanup after a failed run)
}

TEST(TableLifecycle, TableWithoutIndexKeepsStorageOrder) {
    WorkingTables t;
    Table& tmp = t.TmpTable;
    tmp.CreateTable();
    tmp.Open();
    for (int period : {20114, 20111, 20112, 20111}) {
        tmp.Insert();
        tmp.setField("Period", period);
        tmp.Post();
    }
    std::vector<std::int64_t> order;
    for (tmp.First(); !tmp.Eof(); tmp.Next())
        order.push_back(tmp.asInteger("Period"));
    EXPECT_EQ(order, (std::vector<std::int64_t>{20114, 20111, 20112, 20111}));
    tmp.setRecNo(3);
    EXPECT_EQ(tmp.asInteger("Period"), 20112);
    tmp.Edit();
    tmp.setField("God", 2011);
    tmp.Post();
    EXPECT_EQ(tmp.RecNo(), 3);
    EXPECT_EQ(tmp.readRows(2, 1), (std::vector<std::vector<Value>>{
                                      {std::int64_t(2011), std::int64_t(0), std::int64_t(20112)}}));
}

TEST_F(ImpTableTest, GridReadsDoNotMoveTheCursorAndSeeChangesMadeBySql) {
    for (const char* s : {"D", "B", "A", "C"})
        add(s, 20111, "ОСН");
    Table& imp = t.ImpTable;
    imp.setRecNo(2);
    auto rows = imp.readRows(1, 2);
    ASSERT_EQ(rows.size(), 2u);
    int snils = imp.fieldIndex("SNILS");
    EXPECT_EQ(rows[0][static_cast<std::size_t>(snils)], Value(std::string("B")));
    EXPECT_EQ(rows[1][static_cast<std::size_t>(snils)], Value(std::string("C")));
    EXPECT_EQ(imp.readRows(3, 10).size(), 1u);
    EXPECT_TRUE(imp.readRows(4, 1).empty());
    EXPECT_EQ(imp.RecNo(), 2);
    EXPECT_EQ(imp.asString("SNILS"), "B");

    // statements run on the connection behind the table's back
    t.db.exec("UPDATE \"ImpTable\" SET \"StrNach\" = 70000 WHERE \"SNILS\" = 'B'");
    t.db.exec("DELETE FROM \"ImpTable\" WHERE \"SNILS\" = 'A'");
    EXPECT_EQ(imp.asMoney("StrNach").units(), 70000);
    EXPECT_EQ(imp.RecordCount(), 3);
    EXPECT_EQ(imp.RecNo(), 1);
    auto g = imp.generation();
    t.db.exec("UPDATE \"ImpTable\" SET \"StrUpl\" = 1");
    EXPECT_NE(imp.generation(), g); // the grid must not keep showing the old amounts
}

TEST_F(ImpTableTest, GenerationAndVisibility) {
    Table& imp = t.ImpTable;
    EXPECT_FALSE(imp.isVisible("Period"));
    EXPECT_TRUE(imp.isVisible("Category"));
    auto g = imp.generation();
    imp.setVisible("category", false);
    EXPECT_FALSE(imp.isVisible("Category"));
    EXPECT_GT(imp.generation(), g);
    g = imp.generation();
    add("A", 20111, "ОСН");
    EXPECT_GT(imp.generation(), g);
    g = imp.generation();
    imp.Close();
    EXPECT_GT(imp.generation(), g);
    EXPECT_FALSE(imp.isVisible("Category")); // visibility survives closing
}

} // namespace

namespace {

TEST(WorkingTableLayouts, CorrTableKeyIncludesTheCorrectedPeriod) {
    WorkingTables t;
    resetTable(t.CorrTable);
    Table& corr = t.CorrTable;
    for (int corrected : {0, 20111, 20112}) {
        corr.Insert();
        corr.setField("SNILS", "012-345-678 05");
        corr.setField("Period", 20114);
        if (corrected)
            corr.setField("KPeriod", corrected);
        corr.setField("Category", "ОСН");
        corr.Post();
    }
    EXPECT_EQ(corr.RecordCount(), 3);
    corr.First();
    EXPECT_EQ(corr.value("KPeriod"), Value(std::int64_t(0))); // no corrected period: 0
    corr.Insert();
    corr.setField("SNILS", "012-345-678 05");
    corr.setField("Period", 20114);
    corr.setField("KPeriod", 20112);
    corr.setField("Category", "ОСН");
    EXPECT_THROW(corr.Post(), Error);
    corr.Cancel();

    EXPECT_EQ(t.ImpTable.def().indexName, "ByDatesIdx");
    EXPECT_EQ(t.ResTable.def().indexName, "ResTableByDate");
    EXPECT_EQ(t.ResTable.def().indexFields,
              (std::vector<std::string>{"SNILS", "Cat", "God", "Period"}));
    EXPECT_TRUE(t.TmpTable.def().indexFields.empty());
    EXPECT_TRUE(t.CatTable.def().indexFields.empty());
}

} // namespace

namespace {

// Deep jumps seek from remembered keys: the row reached must still be exactly
// the n-th, for a composite key and for storage order, and after rows change.
TEST(TableJumps, DeepRecNoAndGridReadsHitTheRightRow) {
    WorkingTables t;
    resetTable(t.ImpTable);
    resetTable(t.TmpTable);
    Table& imp = t.ImpTable;
    // 5600 rows; 7 periods a person put the seek points inside a person's rows
    const int persons = 800, periods = 7;
    for (int p = persons - 1; p >= 0; --p)
        for (int q = 0; q < periods; ++q) {
            imp.Insert();
            imp.setField("SNILS", "P" + std::to_string(10000 + p));
            imp.setField("Period", 20000 + q);
            imp.Post();
            t.TmpTable.Insert();
            t.TmpTable.setField("Period", p * periods + q);
            t.TmpTable.Post();
        }
    auto impRow = [&](int n) { // 1-based row n in index order
        int p = (n - 1) / periods, q = (n - 1) % periods;
        return "P" + std::to_string(10000 + p) + "/" + std::to_string(20000 + q);
    };
    const int total = persons * periods;
    for (int n : {1, 2048, 2049, 4096, 4097, 4100, total - 1, total}) {
        imp.setRecNo(n);
        EXPECT_EQ(imp.asString("SNILS") + "/" + imp.asString("Period"), impRow(n)) << n;
        EXPECT_EQ(imp.RecNo(), n);
        // TmpTable keeps storage order: persons were stored from the last one down
        t.TmpTable.setRecNo(n);
        int p = persons - 1 - (n - 1) / periods, q = (n - 1) % periods;
        EXPECT_EQ(t.TmpTable.asInteger("Period"), p * periods + q) << n;
    }
    auto rows = imp.readRows(4090, 10);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(std::get<std::string>(rows[9][0]), "P" + std::to_string(10000 + 4099 / periods));

    // a row stored at the front shifts every later row by one
    imp.Insert();
    imp.setField("SNILS", "A");
    imp.Post();
    imp.setRecNo(4097);
    EXPECT_EQ(imp.asString("SNILS") + "/" + imp.asString("Period"), impRow(4096));
    EXPECT_EQ(imp.readRows(total, 5).size(), 1u);
}

// Next serves rows read ahead in chunks: whatever changes the rows in between
// (through this table, another object over the same table, or SQL on the
// connection) must show on the following Next, and a jump must not be
// followed by the rows that came after the old position.
TEST(TableReadAhead, NextSeesChangesMadeMidWalkAndFollowsJumps) {
    WorkingTables t;
    resetTable(t.ImpTable);
    resetTable(t.TmpTable);
    Table& imp = t.ImpTable;
    const int rows = 700; // more than one chunk of the walk
    auto name = [](int i) {
        std::string n = std::to_string(i);
        return "P" + std::string(4 - n.size(), '0') + n;
    };
    for (int i = rows - 1; i >= 0; --i) {
        imp.Insert();
        imp.setField("SNILS", name(i));
        imp.setField("Period", 20111);
        imp.setField("StrNach", Money::fromUnits(i));
        imp.Post();
    }
    auto walkTo = [&](int n) { // 0-based row n, reached by Next from the first
        imp.First();
        for (int i = 0; i < n; ++i)
            imp.Next();
        ASSERT_EQ(imp.asString("SNILS"), name(n));
    };

    // a plain walk: every row once, in order, with its number; the last stays
    imp.First();
    for (int i = 0; i < rows; ++i) {
        ASSERT_FALSE(imp.Eof()) << i;
        ASSERT_EQ(imp.asString("SNILS"), name(i));
        ASSERT_EQ(imp.RecNo(), i + 1);
        imp.Next();
    }
    EXPECT_TRUE(imp.Eof());
    EXPECT_EQ(imp.asString("SNILS"), name(rows - 1));

    Table other(t.db, t.ImpTable.def()); // a second object over the same table
    other.Open();
    struct Case {
        const char* what;
        std::function<void()> change;
        std::string nextSnils;
        std::int64_t nextUnits;
    } cases[] = {
        {"SQL updates the next row",
         [&] { t.db.exec("UPDATE \"ImpTable\" SET \"StrNach\" = 5 WHERE \"SNILS\" = 'P0301'"); },
         "P0301", 5},
        {"SQL deletes the next row",
         [&] { t.db.exec("DELETE FROM \"ImpTable\" WHERE \"SNILS\" = 'P0301'"); }, "P0302", 302},
        {"another object inserts a row just ahead",
         [&] {
             other.Insert();
             other.setField("SNILS", "P0300a");
             other.Post();
         },
         "P0300a", 0},
        {"another object edits the next row",
         [&] {
             ASSERT_TRUE(other.Locate("SNILS", {std::string("P0300a")}));
             other.Edit();
             other.setField("StrNach", Money::fromUnits(7));
             other.Post();
         },
         "P0300a", 7},
        {"a write to another table",
         [&] {
             t.TmpTable.Insert();
             t.TmpTable.setField("Period", 1);
             t.TmpTable.Post();
         },
         "P0300a", 7},
    };
    // the cases build on one another: each looks at the row after P0300
    for (const Case& c : cases) {
        walkTo(300);
        c.change();
        imp.Next();
        EXPECT_EQ(imp.asString("SNILS"), c.nextSnils) << c.what;
        EXPECT_EQ(imp.asMoney("StrNach").units(), c.nextUnits) << c.what;
    }

    // Posting through the walking table itself moves the cursor to the new row
    walkTo(10);
    imp.Insert();
    imp.setField("SNILS", "P0500a");
    imp.Post();
    imp.Next();
    EXPECT_EQ(imp.asString("SNILS"), name(501));

    // jumps in the middle of a walk: Next goes on from where the cursor landed
    walkTo(20);
    ASSERT_TRUE(imp.Locate("SNILS", {std::string("P0600")}));
    imp.Next();
    EXPECT_EQ(imp.asString("SNILS"), "P0601");
    imp.setRecNo(5);
    imp.Next();
    EXPECT_EQ(imp.asString("SNILS"), name(5));
    EXPECT_EQ(imp.RecNo(), 6);

    // the walked rows emptied behind the cursor's back: the walk ends
    walkTo(30);
    other.Close();
    other.EmptyTable();
    imp.Next();
    EXPECT_TRUE(imp.Eof());
}

} // namespace
