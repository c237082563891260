#include "sync/GorvelSync.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <ctime>
#include <regex>

#include "GorvelFixture.h"
#include "tables/Error.h"

namespace quarlex::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const char* const kCheckHead = "1. Проверка наличия БД в папке:";
const char* const kTabFound = "  1.1 папка ZP_TAB: обнаружена";
const char* const kOperFound = "  1.2 папка ZP_OPER: обнаружена";
const char* const kStaffFound = "  1.3 таблица с данными ПФ(zp_tab03.dbf): обнаружена";
const char* const kSumsFound = "  1.4 таблица с суммами ПФ(zp_sumPF.dbf): обнаружена";
const char* const kSyncHead = "2. Синхронизация данных";
const char* const kCp = " cp installed";

const std::string kA = "111-111-111 11";
const std::string kB = "222-222-222 22";
const std::string kC = "333-333-333 33";
const std::string kD = "444-444-444 44";

std::vector<StaffRow> staffRows() {
    return {
        {"  7", "Смирнов", kC},       {"101", "Иванов", kA},
        {"999", "Иванов второй", kA}, // the same SNILS again: never used
        {"", "Без номера", kD},       {"555", "Уволен", kB, true},
    };
}

std::vector<SumsRow> sumsRows() {
    return {
        {"101", "2011", "1", "ОСН", "800.00", "1000.00", "200.00", "300.00", "первая"},
        {"101", "2011", "2", "ОСН", "500.00", "1400.00", "0.00", "450.00", "дубль 1"},
        {"101", "2011", "2", "ОСН", "500.00", "1400.00", "0.00", "450.00", "дубль 2"},
        {"101", "2011", "3", "ОСН", "1.00", "1.00", "1.00", "1.00", "удалена", true},
        {"  7", "2010", "4", "ОСН", "0.00", "100.00", "0.00", "0.00", "чужая"},
        {"102", "2011", "1", "ОСН", "1.00", "2.00", "3.00", "4.00", "другой"},
    };
}

std::vector<ReportRowSpec> reportRows() {
    return {
        {"", "ОСН", 2011, 1, "5", "0"}, // no SNILS, at the very start: skipped silently
        {kA, "ОСН", 2011, 1, "1000", "300"},
        {kA, "ОСН", 2011, 2, "1500", "450"},
        {kA, "ОСН", 2011, 3, "2000", "600"},
        {kA, "ОСН", 2011, 4, "100", "-100"}, // missing, sums to 0: nothing at all
        {kB, "ОСН", 2011, 1, "1", "1"},
        {kB, "ОСН", 2011, 2, "1", "1"},
        {kC, "ОСН", 2010, 1, "10", "5"},
        {kC, "ОСН", 2010, 2, "100.0001", "0"},
        {kD, "ОСН", 2011, 1, "1", "1"},
    };
}

std::vector<PaidSpec> paidRows() {
    return {
        {kA, "ОСН", 2011, 1, "800", "200"},
        {kA, "ОСН", 2011, 2, "500", "200"},
        {kA, "НР", 2011, 3, "77", "77"}, // another category: not this row's
    };
}

Lines expectedLog() {
    return {
        kCheckHead,
        kTabFound,
        kOperFound,
        kStaffFound,
        kSumsFound,
        kSyncHead,
        kCp,
        "  - определяем таб.номер для СНИЛС:111-111-111 11",
        "   - таб.номер найден: 101",
        "    Обрабатывается период:2011 год 1 квартал",
        "     запись обнаружена, проверка соответствия...",
        "      + данные идентичны.",
        "    Обрабатывается период:2011 год 2 квартал",
        "     запись обнаружена, проверка соответствия...",
        "     ! расхождение стр. часть задолженность: 1500.00 по отчету, 1400.00 по данным Gorvel",
        "     ! расхождение нак. часть оплата: 200.00 по отчету, 0.00 по данным Gorvel",
        "    Обрабатывается период:2011 год 3 квартал",
        "     ! запись не обнаружена, добавляем. Код:101 год:2011 квартал:3 "
        "страховая(уплачено:0.00 задолженность:2000.00) накопительная(уплачено:0.00 "
        "задолженность:600.00)",
        "    Обрабатывается период:2011 год 4 квартал",
        "  - определяем таб.номер для СНИЛС:222-222-222 22",
        "   ! таб.номер не найден",
        "  - определяем таб.номер для СНИЛС:333-333-333 33",
        "   - таб.номер найден:   7",
        "    Обрабатывается период:2010 год 1 квартал",
        "     ! запись не обнаружена, добавляем. Код:  7 год:2010 квартал:1 "
        "страховая(уплачено:0.00 задолженность:10.00) накопительная(уплачено:0.00 "
        "задолженность:5.00)",
        "    Обрабатывается период:2010 год 2 квартал",
        "     запись обнаружена, проверка соответствия...",
        "     ! расхождение стр. часть задолженность: 100.00 по отчету, 100.00 по данным Gorvel",
        "  - определяем таб.номер для СНИЛС:444-444-444 44",
        "   - таб.номер найден: ",
    };
}

// Amounts of the log with another separator.
Lines withSeparator(Lines lines, char separator) {
    const std::regex amount(R"((\d)\.(\d\d)\b)");
    for (std::string& line : lines)
        line = std::regex_replace(line, amount, std::string("$1") + separator + "$2");
    return lines;
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return std::string{char(t.tm_year), char(t.tm_mon + 1), char(t.tm_mday)};
}

class GorvelSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        data = makeDataFolder(dir.path() / "DATA", staffSpec(staffRows()), sumsSpec(sumsRows()));
        fillTables(tables, reportRows(), paidRows());
    }
    Lines run(bool overwrite, char separator = '.') {
        GorvelSyncOptions options;
        options.dataDir = data.root.string() + "/";
        options.overwrite = overwrite;
        options.separator = separator;
        runGorvelSync(tables, options, format, log);
        return log.lines;
    }

    ScratchDir dir;
    DataFolder data;
    WorkingTables tables;
    NumberFormat format{'.'};
    LinesLog log;
};

TEST_F(GorvelSyncTest, WithoutOverwriteTheRunLogsEveryDifferenceAndWritesNothing) {
    const std::string staffBefore = readBytes(data.staff());
    const std::string sumsBefore = readBytes(data.sums());
    EXPECT_EQ(run(false), expectedLog());
    EXPECT_EQ(readBytes(data.staff()), staffBefore);
    EXPECT_EQ(readBytes(data.sums()), sumsBefore);
    EXPECT_EQ(format.decimalSeparator, '.');
}

// The rewritten and appended records, and nothing else, differ from before.
TEST_F(GorvelSyncTest, OverwriteRewritesTheDifferingRowsAndAppendsTheMissingOnes) {
    bool dbfreadMissing = false;
    for (char separator : {'.', ','}) {
        SetUp();
        format.decimalSeparator = ';'; // whatever was in force comes back
        const std::string staffBefore = readBytes(data.staff());
        EXPECT_EQ(run(true, separator), withSeparator(expectedLog(), separator));
        EXPECT_EQ(format.decimalSeparator, ';');
        EXPECT_EQ(readBytes(data.staff()), staffBefore);

        auto n = [separator](std::string text) {
            std::replace(text.begin(), text.end(), '.', separator);
            return text;
        };
        std::vector<SumsRow> rows = sumsRows();
        rows[1] = {"101",        "2011",      "2",         "ОСН",    n("500.00"),
                   n("1500.00"), n("200.00"), n("450.00"), "дубль 1"};
        if (separator != '.') // all eight fields are written, the equal ones too
            rows[4] = {"  7", "2010", "4", "ОСН", "0,00", "100,00", "0,00", "0,00", "чужая"};
        rows.push_back(
            {"101", "2011", "3", "ОСН", n("0.00"), n("2000.00"), n("0.00"), n("600.00"), ""});
        rows.push_back(
            {"  7", "2010", "2", "ОСН", n("0.00"), n("10.00"), n("0.00"), n("5.00"), ""});
        std::string expected = dbfBytes(sumsSpec(rows));
        expected.replace(1, 3, today());
        EXPECT_EQ(readBytes(data.sums()), expected) << "separator " << separator;

        DBFHandle h = DBFOpen(data.sums().c_str(), "rb");
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(DBFGetRecordCount(h), 8);
        EXPECT_STREQ(DBFReadStringAttribute(h, 7, DBFGetFieldIndex(h, "ZADSK")),
                     n("10.00").c_str());
        DBFClose(h);
        const auto read = readWithDbfread(data.sums());
        dbfreadMissing = !read;
        if (read) {
            const std::string dot = separator == '.' ? "." : ",";
            EXPECT_EQ(*read,
                      "count=8 read=8\n"
                      "Code=101|NOTE=первая|God=2011|PERIOD=1|Tar=ОСН|UplS=800.00|ZADSK=1000.00|"
                      "UPLN=200.00|ZADNK=300.00|DT=20110101\n"
                      "Code=101|NOTE=дубль 1|God=2011|PERIOD=2|Tar=ОСН|UplS=500" +
                          dot + "00|ZADSK=1500" + dot + "00|UPLN=200" + dot + "00|ZADNK=450" + dot +
                          "00|DT=20110101\n"
                          "Code=101|NOTE=дубль 2|God=2011|PERIOD=2|Tar=ОСН|UplS=500.00|ZADSK="
                          "1400.00|UPLN=0.00|ZADNK=450.00|DT=20110101\n"
                          "Code=  7|NOTE=чужая|God=2010|PERIOD=4|Tar=ОСН|UplS=0" +
                          dot + "00|ZADSK=100" + dot + "00|UPLN=0" + dot + "00|ZADNK=0" + dot +
                          "00|DT=20110101\n"
                          "Code=102|NOTE=другой|God=2011|PERIOD=1|Tar=ОСН|UplS=1.00|ZADSK=2.00|"
                          "UPLN=3.00|ZADNK=4.00|DT=20110101\n"
                          "Code=101|NOTE=|God=2011|PERIOD=3|Tar=ОСН|UplS=0" +
                          dot + "00|ZADSK=2000" + dot + "00|UPLN=0" + dot + "00|ZADNK=600" + dot +
                          "00|DT=\n"
                          "Code=  7|NOTE=|God=2010|PERIOD=2|Tar=ОСН|UplS=0" +
                          dot + "00|ZADSK=10" + dot + "00|UPLN=0" + dot + "00|ZADNK=5" + dot +
                          "00|DT=\n");
        }
        // A second run finds everything in line, stored with the run's separator,
        // but for the hundredth of a cent that a field of two decimals cannot hold.
        Lines again = run(true, separator);
        EXPECT_EQ(std::count(again.begin(), again.end(), "      + данные идентичны."), 4);
        Lines differences;
        std::copy_if(again.begin(), again.end(), std::back_inserter(differences),
                     [](const std::string& l) { return l.find('!') == 5; });
        EXPECT_EQ(differences, withSeparator({"     ! расхождение стр. часть задолженность: "
                                              "100.00 по отчету, 100.00 по данным Gorvel"},
                                             separator));
        TearDown();
    }
    if (dbfreadMissing)
        GTEST_SKIP() << "python3-dbfread is not installed: the independent reader did not check";
}

TEST_F(GorvelSyncTest, EachFailedCheckEndsTheRunAfterItsLine) {
    struct Case {
        const char* remove; // below the DATA folder
        const char* plant;  // a file to put there
        Lines log;
    };
    const char* const kTab52 = "  -- обнаружена таблица задолженностей в ПФ (zp_tab52.dbf). "
                               "Требуется выполнить перенос (бланк 7.30)";
    const Case cases[] = {
        {"ZP/ZP_TAB", nullptr, {kCheckHead, "  1.1 папка ZP_TAB: не обнаружена!"}},
        {"ZP/ZP_OPER", nullptr, {kCheckHead, kTabFound, "  1.2 папка ZP_OPER: не обнаружена!"}},
        {nullptr, "ZP/ZP_TAB/ZP_TAB52.DBF", {kCheckHead, kTabFound, kOperFound, kTab52}},
        {"ZP/ZP_TAB/zp_tab03.dbf",
         nullptr,
         {kCheckHead, kTabFound, kOperFound,
          "  1.3 таблица с данными ПФ(zp_tab03.dbf): не обнаружена!"}},
        {"ZP/ZP_OPER/zp_sumPF.dbf",
         nullptr,
         {kCheckHead, kTabFound, kOperFound, kStaffFound,
          "  1.4 таблица с суммами ПФ(zp_sumPF.dbf): не обнаружена!"}},
    };
    for (const Case& c : cases) {
        fs::remove_all(data.root);
        SetUp();
        if (c.remove)
            fs::remove_all(data.root / c.remove);
        if (c.plant)
            writeBytes(data.root / c.plant, "");
        format.decimalSeparator = ';';
        EXPECT_EQ(run(true, ','), c.log) << (c.remove ? c.remove : c.plant);
        EXPECT_EQ(format.decimalSeparator, ';');
        TearDown();
    }
}

TEST_F(GorvelSyncTest, CategoryModeAndAnEmptyReportStopTheRun) {
    GorvelSyncOptions options;
    options.dataDir = (dir.path() / "nowhere").string();
    options.categoryMode = true;
    log.append("a line of the run before");
    runGorvelSync(tables, options, format, log);
    EXPECT_EQ(log.lines, Lines{"  Автоматическая синхронизация для нескольких налоговых режимов в "
                               "настоящее время не поддерживается!"});

    fillTables(tables, {}, {});
    EXPECT_EQ(run(true), (Lines{kCheckHead, kTabFound, kOperFound, kStaffFound, kSumsFound,
                                kSyncHead, "  отчет пуст!"}));
}

TEST_F(GorvelSyncTest, PathsBelowTheDataFolderIgnoreLetterCase) {
    fs::rename(data.root / "ZP" / "ZP_TAB" / "zp_tab03.dbf",
               data.root / "ZP" / "ZP_TAB" / "ZP_TAB03.DBF");
    fs::rename(data.root / "ZP" / "ZP_TAB", data.root / "ZP" / "zp_tab");
    fs::rename(data.root / "ZP" / "ZP_OPER" / "zp_sumPF.dbf",
               data.root / "ZP" / "ZP_OPER" / "ZP_SUMPF.Dbf");
    fs::rename(data.root / "ZP", data.root / "zp");
    EXPECT_EQ(run(false), expectedLog());
}

TEST_F(GorvelSyncTest, AnIndexOfTheSumsTableIsToldInOverwriteMode) {
    const Lines head = {kCheckHead, kTabFound, kOperFound, kStaffFound, kSumsFound, kSyncHead, kCp};
    auto linesAfterHead = [&](bool overwrite) {
        Lines lines = run(overwrite);
        return Lines(lines.begin() + static_cast<long>(head.size()),
                     lines.begin() + static_cast<long>(head.size()) + 1);
    };
    EXPECT_EQ(linesAfterHead(true)[0], "  - определяем таб.номер для СНИЛС:111-111-111 11");

    DbfSpec marked = sumsSpec(sumsRows());
    marked.indexMark = 1;
    writeDbf(data.sums(), marked);
    EXPECT_EQ(linesAfterHead(true)[0], "  ! у таблицы zp_sumPF.dbf есть индексный файл: после "
                                       "записи переиндексируйте базу в Gorvel");
    writeBytes(data.sums().parent_path() / "ZP_SUMPF.MDX", "index");
    EXPECT_EQ(linesAfterHead(true)[0], "  ! у таблицы zp_sumPF.dbf есть ZP_SUMPF.MDX: после "
                                       "записи переиндексируйте базу в Gorvel");
    EXPECT_EQ(linesAfterHead(false)[0], "  - определяем таб.номер для СНИЛС:111-111-111 11");
}

// A value that does not fit its field ends the run: the rows posted before it
// stay whole, the header counts exactly what the file holds, and the next run
// starts afresh.
TEST_F(GorvelSyncTest, AFailureHalfWayLeavesTheRowsPostedSoFarAndASoundFile) {
    std::vector<ReportRowSpec> report = reportRows();
    report.push_back({"555-555-555 55", "ОСН", 2011, 1, "12345678901.00", "0"});
    std::vector<StaffRow> staff = staffRows();
    staff.push_back({"55", "Много", "555-555-555 55"});
    writeDbf(data.staff(), staffSpec(staff));
    fillTables(tables, report, paidRows());
    try {
        run(true, ',');
        FAIL() << "the run went through";
    } catch (const Error& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("12345678901,00"), std::string::npos) << text;
        EXPECT_NE(text.find("ZADSK"), std::string::npos) << text;
        EXPECT_NE(text.find("zp_sumPF.dbf"), std::string::npos) << text;
    }
    EXPECT_EQ(format.decimalSeparator, '.');
    EXPECT_EQ(log.lines.back(), "     ! запись не обнаружена, добавляем. Код:55 год:2011 квартал:1 "
                                "страховая(уплачено:0,00 задолженность:12345678901,00) "
                                "накопительная(уплачено:0,00 задолженность:0,00)");
    const std::string bytes = readBytes(data.sums());
    const DbfSpec layout = sumsSpec(sumsRows());
    EXPECT_EQ(headerCount(bytes), 8u);
    EXPECT_EQ(bytes.size(), recordOffset(layout, 8) + 1);
    EXPECT_EQ(bytes.back(), '\x1A');
    DBFHandle h = DBFOpen(data.sums().c_str(), "rb");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DBFGetRecordCount(h), 8);
    DBFClose(h);
    fillTables(tables, reportRows(), paidRows());
    const Lines again = run(false, ',');
    EXPECT_EQ(again.front(), kCheckHead);
    EXPECT_EQ(std::count(again.begin(), again.end(), "      + данные идентичны."), 4);
    const auto read = readWithDbfread(data.sums());
    if (!read)
        GTEST_SKIP() << "python3-dbfread is not installed: the independent reader did not check";
    EXPECT_EQ(read->substr(0, read->find('\n')), "count=8 read=8");
}

TEST(GorvelSyncPeriods, TheSecondAndFourthPeriodOf2010HoldItsFirstTwoQuarters) {
    EXPECT_EQ(targetPeriod(2010, 1), 2);
    EXPECT_EQ(targetPeriod(2010, 2), 4);
    EXPECT_EQ(targetPeriod(2010, 3), 3);
    EXPECT_EQ(targetPeriod(2010, 4), 4);
    EXPECT_EQ(targetPeriod(2011, 1), 1);
    EXPECT_EQ(logAmount(Money::fromUnits(12'345'000), ','), "1234,50");
    EXPECT_EQ(logAmount(Money::fromUnits(-1'000'050), '.'), "-100.01");
}

} // namespace
} // namespace quarlex::test
