#include "sync/DbfTable.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <csignal>
#include <ctime>
#include <sys/resource.h>

#include "DbfFixture.h"
#include "tables/Error.h"

namespace quarlex::test {
namespace {

namespace fs = std::filesystem;
using Access = DbfTable::Access;

DbfSpec peopleSpec() {
    DbfSpec layout;
    layout.fields = {
        {"ID", 'N', 3}, {"NAME", 'C', 12}, {"CODE", 'C', 6}, {"SUM", 'N', 10, 2}, {"NUM", 'N', 4}};
    layout.rows = {
        {{"1", "  Иванов", "  12", "1234.50", "7"}},
        {{"2", "", "", "", ""}},
        {{"3", "Петров", "A1", "-0.01", "2010"}},
    };
    return layout;
}

class DbfTableTest : public ::testing::Test {
protected:
    fs::path table() const { return dir.path() / "people.dbf"; }
    void write(const DbfSpec& layout) { writeDbf(table(), layout); }
    std::unique_ptr<DbfTable> open(Access access = Access::ReadWrite) {
        return std::make_unique<DbfTable>(table().string(), access, format);
    }
    static void go(DbfTable& t, int id) {
        ASSERT_TRUE(t.Locate("ID", {Value(std::int64_t(id))})) << "no record " << id;
    }

    ScratchDir dir;
    NumberFormat format;
};

std::string todayHeaderDate() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return std::string{char(t.tm_year), char(t.tm_mon + 1), char(t.tm_mday)};
}

TEST_F(DbfTableTest, ReadsTextWithLeadingBlanksAndNumbersOfAnyField) {
    write(peopleSpec());
    auto t = open(Access::ReadOnly);
    go(*t, 1);
    EXPECT_EQ(t->asString("NAME"), "  Иванов");
    EXPECT_EQ(t->asString("code"), "  12"); // field names in any letter case
    EXPECT_EQ(t->asMoney("Sum"), Money::fromUnits(12'345'000));
    EXPECT_EQ(t->asInteger("NUM"), 7);
    EXPECT_EQ(t->asString("SUM"), "1234.50");
    go(*t, 2);
    EXPECT_EQ(t->asString("NAME"), "");
    EXPECT_EQ(t->asMoney("SUM"), Money());
    EXPECT_EQ(t->asInteger("NUM"), 0);
    go(*t, 3);
    EXPECT_EQ(t->asMoney("SUM"), Money::fromUnits(-100));
    EXPECT_EQ(t->asInteger("NUM"), 2010);
    EXPECT_THROW(t->asString("NOSUCH"), Error);
}

TEST_F(DbfTableTest, NumbersReadWithTheSeparatorInForceOrAPoint) {
    struct Case {
        const char* stored;
        char separator;
        std::int64_t units;
    };
    const Case cases[] = {
        {"1234.50", '.', 12'345'000},
        {"1234.50", ',', 12'345'000},
        {"1234,50", ',', 12'345'000},
        {"1234,50", '.', 0},
        {"1234/50", '/', 12'345'000},
        {"12.3456", '.', 123'456},
        {"abc", '.', 0},
        {"", ',', 0},
        {"-7,5", ',', -75'000},
    };
    for (const Case& c : cases) {
        DbfSpec layout = peopleSpec();
        layout.rows = {{{"1", "", "", c.stored, ""}}};
        write(layout);
        format.decimalSeparator = c.separator;
        auto t = open(Access::ReadOnly);
        go(*t, 1);
        EXPECT_EQ(t->asMoney("SUM").units(), c.units) << c.stored << " with " << c.separator;
    }
}

TEST_F(DbfTableTest, CharacterFieldsAreCodePage866WhateverTheLanguageMark) {
    for (const int mark : {0x00, 0x65, 0xC9}) {
        DbfSpec layout = peopleSpec();
        layout.languageMark = static_cast<unsigned char>(mark);
        write(layout);
        {
            auto t = open();
            go(*t, 3);
            EXPECT_EQ(t->asString("NAME"), "Петров") << int(mark);
            t->Edit();
            t->setField("NAME", "Сидоров");
            t->Post();
            t->Close();
        }
        const std::string bytes = readBytes(table());
        EXPECT_EQ(static_cast<unsigned char>(bytes[29]), mark);
        EXPECT_EQ(bytes.substr(recordOffset(layout, 2) + 4, 12), toCp866("Сидоров") + "     ");
    }
}

TEST_F(DbfTableTest, WritesNumbersRightAlignedWithTheSeparatorAndTextCutToTheWidth) {
    struct Case {
        char separator;
        const char* field;
        Value value;
        std::string stored;
    };
    const Case cases[] = {
        {',', "SUM", Money::fromUnits(12'345'000), "   1234,50"},
        {'.', "SUM", Money::fromUnits(12'345'000), "   1234.50"},
        {'.', "SUM", Money::fromUnits(12'345), "      1.23"}, // 1.2345 rounded half away
        {'.', "SUM", Money::fromUnits(-5), "      0.00"},
        {'.', "NUM", std::int64_t(2010), "2010"},
        {'.', "NAME", std::string("Очень длинное имя"), toCp866("Очень длинн")},
        {'.', "CODE", std::string("€ x"), "? x   "},
        {'.', "CODE", std::string(""), "      "},
        {',', "SUM", std::string("12.5"), "     12,50"}, // text into a numeric field
    };
    for (const Case& c : cases) {
        const DbfSpec layout = peopleSpec();
        write(layout);
        format.decimalSeparator = c.separator;
        {
            auto t = open();
            go(*t, 2);
            t->Edit();
            std::visit(
                [&](const auto& v) {
                    if constexpr (!std::is_same_v<std::decay_t<decltype(v)>, std::monostate>)
                        t->setField(c.field, v);
                },
                c.value);
            t->Post();
        }
        const std::string bytes = readBytes(table());
        std::size_t at = recordOffset(layout, 1) + 1;
        for (const DbfField& f : layout.fields) {
            if (f.name == c.field)
                break;
            at += static_cast<std::size_t>(f.width);
        }
        EXPECT_EQ(bytes.substr(at, c.stored.size()), c.stored) << c.field << " " << c.separator;
    }
}

TEST_F(DbfTableTest, ANumberTooWideIsRefusedNamingTableFieldAndValue) {
    const DbfSpec layout = peopleSpec();
    write(layout);
    const std::string before = readBytes(table());
    {
        auto t = open();
        go(*t, 1);
        t->Edit();
        t->setField("NAME", "Другой");
        try {
            t->setField("SUM", Money::fromUnits(123'456'789'0000));
            FAIL() << "no error";
        } catch (const Error& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("123456789.00"), std::string::npos) << text;
            EXPECT_NE(text.find("SUM"), std::string::npos) << text;
            EXPECT_NE(text.find(table().string()), std::string::npos) << text;
        }
        EXPECT_THROW(t->setField("NUM", std::int64_t(12345)), Error);
        EXPECT_THROW(t->setField("ID", std::string("x")), Error);
        // The run ends on the error: the row is never posted.
    }
    EXPECT_EQ(readBytes(table()), before);
}

TEST_F(DbfTableTest, APostChangesTheRecordTheHeaderDateAndNothingElse) {
    const DbfSpec layout = peopleSpec();
    write(layout);
    const std::string before = readBytes(table());
    {
        auto t = open();
        go(*t, 2);
        t->Edit();
        t->setField("SUM", Money::fromUnits(10'000));
        t->Post();
    }
    const std::string after = readBytes(table());
    ASSERT_EQ(after.size(), before.size());
    std::string expected = before;
    expected.replace(1, 3, todayHeaderDate());
    const std::size_t sumAt = recordOffset(layout, 1) + 1 + 3 + 12 + 6;
    expected.replace(sumAt, 10, "      1.00");
    EXPECT_EQ(after, expected);
}

TEST_F(DbfTableTest, AnAppendCountsTheRecordAndEndsWithTheEndMark) {
    for (bool endMark : {true, false}) {
        DbfSpec layout = peopleSpec();
        layout.endMark = endMark;
        write(layout);
        const std::string before = readBytes(table());
        {
            auto t = open();
            t->Insert();
            t->setField("ID", 4);
            t->setField("NAME", "Новый");
            t->Post();
            EXPECT_EQ(t->RecordCount(), 4);
            EXPECT_TRUE(t->Locate("ID", {Value(std::int64_t(4))}));
            EXPECT_EQ(t->asString("NAME"), "Новый");
        }
        const std::string after = readBytes(table());
        DbfSpec grown = layout;
        grown.rows.push_back({{"4", "Новый"}});
        std::string expected = before.substr(0, recordOffset(layout, 3)) +
                               recordBytes(grown, grown.rows.back()) + "\x1A";
        expected.replace(1, 3, todayHeaderDate());
        expected[4] = 4;
        EXPECT_EQ(after, expected) << "end mark before: " << endMark;
        const auto read = readWithDbfread(table());
        if (read) {
            EXPECT_EQ(*read, "count=4 read=4\n"
                             "ID=1|NAME=  Иванов|CODE=  12|SUM=1234.50|NUM=7\n"
                             "ID=2|NAME=|CODE=|SUM=|NUM=\n"
                             "ID=3|NAME=Петров|CODE=A1|SUM=-0.01|NUM=2010\n"
                             "ID=4|NAME=Новый|CODE=|SUM=|NUM=\n");
        }
    }
}

TEST_F(DbfTableTest, OpeningAndClosingWithoutWritesChangesNoByte) {
    const DbfSpec layout = peopleSpec();
    write(layout);
    const std::string before = readBytes(table());
    for (Access access : {Access::ReadOnly, Access::ReadWrite}) {
        auto t = open(access);
        go(*t, 3);
        if (access == Access::ReadWrite) {
            t->Insert();
            t->setField("NAME", "x");
            t->Cancel(); // a row begun and not posted is dropped
            t->Edit();
            t->setField("NAME", "y");
        } // and so is one pending at close
        t->Close();
        EXPECT_EQ(readBytes(table()), before);
    }
}

TEST_F(DbfTableTest, AReadOnlyTableRefusesEveryChange) {
    write(peopleSpec());
    const std::string before = readBytes(table());
    auto t = open(Access::ReadOnly);
    go(*t, 1);
    EXPECT_THROW(t->Edit(), Error);
    EXPECT_THROW(t->Insert(), Error);
    EXPECT_THROW(t->setField("NAME", "x"), Error);
    t->Close();
    EXPECT_EQ(readBytes(table()), before);
}

TEST_F(DbfTableTest, LocateFindsTheFirstLiveRecordAndFollowsPosts) {
    DbfSpec layout;
    layout.fields = {{"Id", 'N', 3}, {"CODE", 'C', 6}, {"Period", 'N', 4, 2}, {"TAR", 'C', 6}};
    layout.rows = {
        {{"1", "10", "1.00", "ОСН"}, true}, // deleted: invisible
        {{"2", "10", "1.00", "ОСН"}},
        {{"3", "10", "1", "ОСН"}}, // the same key again: never found
        {{"4", " 10", "2.00", "ОСН"}},
        {{"5", "20", "", "НР"}},
    };
    write(layout);
    auto t = open();
    auto locate = [&](Value code, Value period, Value tar) -> int {
        if (!t->Locate("CODE;PERIOD;tar", {code, period, tar}))
            return 0;
        return static_cast<int>(t->asInteger("ID"));
    };
    using S = std::string;
    using N = std::int64_t;
    EXPECT_EQ(locate(S("10"), N(1), S("ОСН")), 2);
    EXPECT_EQ(locate(S("10"), Money::fromUnits(10'000), S("ОСН")), 2); // numbers by value
    EXPECT_EQ(locate(S("10"), S("1"), S("ОСН")), 2);
    EXPECT_EQ(locate(S(" 10"), N(2), S("ОСН")), 4); // leading blanks count
    EXPECT_EQ(locate(S("10"), N(2), S("ОСН")), 0);
    EXPECT_EQ(locate(S("10"), N(1), S("осн")), 0);  // case-sensitive
    EXPECT_EQ(locate(S("10"), N(1), S("ОСН ")), 0); // exact
    EXPECT_EQ(locate(S("20"), N(0), S("НР")), 5);   // blank reads as 0
    EXPECT_THROW(t->Locate("CODE;TAR", {Value(S("10"))}), Error);

    // An edit that moves record 2 to another key uncovers record 3.
    ASSERT_EQ(locate(S("10"), N(1), S("ОСН")), 2);
    t->Edit();
    t->setField("TAR", "НР");
    t->Post();
    EXPECT_EQ(locate(S("10"), N(1), S("ОСН")), 3);
    EXPECT_EQ(locate(S("10"), N(1), S("НР")), 2);
    t->Insert();
    t->setField("ID", 6);
    t->setField("CODE", "30");
    t->setField("PERIOD", 3);
    t->setField("TAR", "НР");
    t->Post();
    EXPECT_EQ(locate(S("30"), N(3), S("НР")), 6);
    EXPECT_EQ(locate(S("10"), N(1), S("НР")), 2);
}

TEST_F(DbfTableTest, AFileThatIsNoSoundTableIsRefusedNamingIt) {
    const DbfSpec layout = peopleSpec();
    std::string truncated = dbfBytes(layout);
    truncated.resize(recordOffset(layout, 2) + 5);
    std::string badLayout = dbfBytes(layout);
    badLayout[10] = 5; // a record of 5 bytes cannot hold the fields
    badLayout[11] = 0;
    const std::string cases[] = {truncated, badLayout, "just some text, no table", ""};
    for (const std::string& bytes : cases) {
        writeBytes(table(), bytes);
        try {
            open();
            ADD_FAILURE() << "opened " << bytes.size() << " bytes";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(table().string()), std::string::npos) << e.what();
        }
        EXPECT_EQ(readBytes(table()), bytes);
    }
    fs::remove(table());
    EXPECT_THROW(open(), Error);
    EXPECT_FALSE(fs::exists(table())); // never created
}

// A write that the system refuses half-way (here: the file size limit) takes
// the append back: the file is as it was after the last good post.
TEST_F(DbfTableTest, AnAppendThatFailsLeavesTheFileAsBefore) {
    const DbfSpec layout = peopleSpec();
    write(layout);
    {
        auto t = open();
        t->Insert();
        t->setField("ID", 4);
        t->Post();
    }
    const std::string before = readBytes(table());
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    {
        auto t = open();
        rlimit limited = saved;
        limited.rlim_cur = before.size() + static_cast<rlim_t>(recordLength(layout) / 2);
        setrlimit(RLIMIT_FSIZE, &limited);
        t->Insert();
        t->setField("ID", 5);
        t->setField("NAME", "Пятый");
        try {
            t->Post();
            ADD_FAILURE() << "the post succeeded";
        } catch (const Error& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("record 5"), std::string::npos) << text;
            EXPECT_NE(text.find(table().string()), std::string::npos) << text;
        }
        EXPECT_FALSE(t->Locate("ID", {Value(std::int64_t(5))}));
        t->Close();
        setrlimit(RLIMIT_FSIZE, &saved);
    }
    EXPECT_EQ(readBytes(table()), before);
    DBFHandle h = DBFOpen(table().c_str(), "rb");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DBFGetRecordCount(h), 4);
    DBFClose(h);
    if (const auto read = readWithDbfread(table())) {
        EXPECT_EQ(read->substr(0, read->find('\n')), "count=4 read=4");
    }
}

} // namespace
} // namespace quarlex::test
