#include "import/SzvImport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "ImportTestSupport.h"
#include "tables/Error.h"

namespace quarlex::test {
namespace {

const char* const kMessageIvanov2011 = "Стр.Номер: 012-345-678 05\r\nФамилия: ИВАНОВ\r\nИмя: "
                                       "ИВАН\r\nОтчество: ИВАНОВИЧ\r\nГод: 2011\r\n";

using SzvImportTest = ImportTest;

TEST_F(SzvImportTest, StoresInitialAndCorrectiveRowsAndDropsOtherKinds) {
    SzvRec plain;
    plain.category = "НР"; // not taken outside category mode
    SzvRec unpaid;
    unpaid.quarter = "7";
    unpaid.strUpl = unpaid.nakUpl = std::nullopt;
    SzvRec corrective;
    corrective.kind = "КОРРЕКТИРУЮЩАЯ";
    corrective.quarter = "2";
    corrective.corrYear = "2011";
    corrective.corrQuarter = "1";
    SzvRec noCorrectedPeriod = corrective;
    noCorrectedPeriod.snils = "111-111-111 11";
    noCorrectedPeriod.corrYear = "abc";
    noCorrectedPeriod.corrQuarter = std::nullopt;
    SzvRec cancelling;
    cancelling.kind = "ОТМЕНЯЮЩАЯ";
    cancelling.snils = "222-222-222 22";
    SzvRec lowerCase; // only Latin letters are compared without case
    lowerCase.kind = "исходная";
    lowerCase.snils = "333-333-333 33";
    std::string path =
        write("a.xml", {plain, unpaid, corrective, noCorrectedPeriod, cancelling, lowerCase});

    ImportXmlFile(tables, path, options, format, prompts);

    EXPECT_TRUE(prompts.messages.empty());
    Table& imp = tables.ImpTable;
    ASSERT_EQ(imp.RecordCount(), 2);
    ASSERT_TRUE(findImp("012-345-678 05", 20111));
    EXPECT_EQ(imp.asString("LName"), "ИВАНОВ");
    EXPECT_EQ(imp.asString("FName"), "ИВАН");
    EXPECT_EQ(imp.asString("MName"), "ИВАНОВИЧ");
    EXPECT_EQ(imp.asInteger("God"), 2011);
    EXPECT_EQ(imp.asInteger("Kvartal"), 1);
    EXPECT_EQ(imp.asMoney("StrNach"), money("1000"));
    EXPECT_EQ(imp.asMoney("StrUpl"), money("800"));
    EXPECT_EQ(imp.asMoney("StrDolg"), money("200"));
    EXPECT_EQ(imp.asMoney("NakNach"), money("300"));
    EXPECT_EQ(imp.asMoney("NakUpl"), money("300"));
    EXPECT_EQ(imp.asMoney("NakDolg"), money("0"));

    ASSERT_TRUE(findImp("012-345-678 05", 20117)) << "a quarter outside 1 to 4 is kept";
    EXPECT_EQ(imp.asInteger("Kvartal"), 7);
    EXPECT_EQ(imp.asMoney("StrUpl"), money("0"));
    EXPECT_EQ(imp.asMoney("StrDolg"), money("1000"));
    EXPECT_EQ(imp.asMoney("NakDolg"), money("300"));

    Table& corr = tables.CorrTable;
    ASSERT_EQ(corr.RecordCount(), 2);
    ASSERT_TRUE(corr.Locate("SNILS", {Value(std::string("012-345-678 05"))}));
    EXPECT_EQ(corr.asInteger("Period"), 20112);
    EXPECT_EQ(corr.asInteger("KPeriod"), 20111);
    EXPECT_EQ(corr.asInteger("Kvartal"), 2);
    EXPECT_EQ(corr.asMoney("StrDolg"), money("200"));
    ASSERT_TRUE(corr.Locate("SNILS", {Value(std::string("111-111-111 11"))}));
    EXPECT_EQ(corr.asInteger("KPeriod"), 0) << "a corrected period that is no number counts 0";
}

TEST_F(SzvImportTest, RefusedRowsAreReportedAndTheFirstStays) {
    SzvRec first;
    SzvRec again = first;
    again.strNach = "2000.00";
    SzvRec corrective;
    corrective.kind = "КОРРЕКТИРУЮЩАЯ";
    corrective.quarter = "2";
    corrective.corrYear = "2011";
    corrective.corrQuarter = "1";
    SzvRec other;
    other.snils = "999-999-999 99";
    std::string path = write("a.xml", {first, again, corrective, corrective, other});

    ImportXmlFile(tables, path, options, format, prompts);

    using Messages = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(
        prompts.messages,
        (Messages{
            {"Ошибка в данных", std::string(kMessageIvanov2011) + "Квартал: 1\r\nКатегория: ОСН"},
            // The reporting period, not the corrected one.
            {"Ошибка в корректирующих данных",
             std::string(kMessageIvanov2011) + "Квартал: 2\r\nКатегория: ОСН"},
        }));
    EXPECT_EQ(tables.ImpTable.RecordCount(), 2) << "the import goes on after a refusal";
    ASSERT_TRUE(findImp("012-345-678 05", 20111));
    EXPECT_EQ(tables.ImpTable.asMoney("StrNach"), money("1000"));
    EXPECT_EQ(tables.CorrTable.RecordCount(), 1);
}

TEST_F(SzvImportTest, CategoryComesFromTheRecordOnlyInCategoryMode) {
    struct Case {
        bool categoryMode;
        std::optional<std::string> code;
        std::string expected;
    };
    const Case cases[] = {
        {false, "НР", "ОСН"},
        {true, "НР", "НР"},
        {true, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        resetImportTables(tables);
        SzvRec r;
        r.category = c.code;
        options.categoryMode = c.categoryMode;
        ImportXmlFile(tables, write("a.xml", {r}), options, format, prompts);
        ASSERT_EQ(tables.ImpTable.RecordCount(), 1);
        tables.ImpTable.First();
        EXPECT_EQ(tables.ImpTable.asString("Category"), c.expected)
            << "mode " << c.categoryMode << " code " << c.code.value_or("(absent)");
    }
}

TEST_F(SzvImportTest, ConversionErrorStopsTheRunAndNamesFileAndRecord) {
    struct Case {
        const char* name;
        void (*spoil)(SzvRec&);
        std::string error;
    };
    const Case cases[] = {
        {"year no number", [](SzvRec& r) { r.year = "20x1"; },
         "'20x1' is not a valid integer value"},
        {"quarter absent", [](SzvRec& r) { r.quarter = std::nullopt; },
         "'' is not a valid integer value"},
        {"accrued with comma", [](SzvRec& r) { r.strNach = "1000,00"; },
         "'1000,00' is not a valid floating point value"},
        {"funded accrued absent", [](SzvRec& r) { r.nakNach = std::nullopt; },
         "'' is not a valid floating point value"},
        {"paid with comma", [](SzvRec& r) { r.strUpl = "800,00"; },
         "'800,00' is not a valid floating point value"},
        {"funded paid no number", [](SzvRec& r) { r.nakUpl = "abc"; },
         "'abc' is not a valid floating point value"},
        {"record of another kind",
         [](SzvRec& r) {
             r.kind = "ОТМЕНЯЮЩАЯ";
             r.strNach = std::nullopt;
         },
         "'' is not a valid floating point value"},
    };
    for (const Case& c : cases) {
        resetImportTables(tables);
        prompts.messages.clear();
        format.decimalSeparator = ',';
        SzvRec good;
        // Without a target: the merge would report it, had it run.
        SzvRec orphanCorrection = good;
        orphanCorrection.kind = "КОРРЕКТИРУЮЩАЯ";
        orphanCorrection.corrYear = "2005";
        orphanCorrection.corrQuarter = "1";
        SzvRec bad;
        bad.snils = "444-444-444 44";
        c.spoil(bad);
        SzvRec later;
        later.snils = "555-555-555 55";
        std::string path = write("a.xml", {good, orphanCorrection, bad, later});
        SzvRec nextFile;
        nextFile.snils = "666-666-666 66";
        write("b.xml", {nextFile});

        EXPECT_EQ(runError(), c.error + "\r\nФайл: " + path + ", запись 3") << c.name;
        EXPECT_EQ(tables.ImpTable.RecordCount(), 1) << c.name << ": rows before stay, none after";
        EXPECT_TRUE(prompts.messages.empty()) << c.name << ": the merge does not run";
        EXPECT_EQ(format.decimalSeparator, ',') << c.name;
    }
}

TEST_F(SzvImportTest, UnreadableOrMalformedFileNamesTheFile) {
    struct Case {
        const char* name;
        std::optional<std::string> bytes; // nullopt: no such file
        std::string errorStart;
    };
    const Case cases[] = {
        {"bad.xml", toCp1251("<ФайлПФР>\r\n<Имя>x</ФайлПФР>"),
         "Error while parsing XML document:\r\n\r\nStart-end tags mismatch (line 2, column 9)"},
        {"missing.xml", std::nullopt, "Cannot open file \""},
        // A NUL once ended the text silently, losing what followed it.
        {"nul.xml",
         toCp1251(szvDocument({SzvRec{}})) + std::string(1, '\0') +
             toCp1251(szvDocument({SzvRec{}})),
         "Error while parsing XML document:\r\n\r\nNUL character in the document (line 13, column "
         "1)"},
        {"entity.xml", toCp1251("<ФайлПФР><Имя>&nbsp;</Имя></ФайлПФР>"),
         "Error while parsing XML document:\r\n\r\nUndefined entity reference '&nbsp;' (line 1, "
         "column 15)"},
    };
    for (const Case& c : cases) {
        format.decimalSeparator = ',';
        std::string path = c.bytes ? writeRaw(c.name, *c.bytes) : dir + "/" + c.name;
        std::string error;
        try {
            ImportXmlFile(tables, path, options, format, prompts);
        } catch (const Error& e) {
            error = e.what();
        }
        EXPECT_EQ(error.rfind(c.errorStart, 0), 0u) << error;
        std::string suffix = "\r\nФайл: " + path;
        EXPECT_TRUE(error.size() > suffix.size() &&
                    error.compare(error.size() - suffix.size(), suffix.size(), suffix) == 0)
            << error;
        EXPECT_EQ(format.decimalSeparator, ',') << c.name;
    }
}

// A file of gigabytes is no SZV-6 pack: refused by its size before a byte
// is read (the file is sparse, so the test costs nothing).
TEST_F(SzvImportTest, OversizedFileIsRefusedBeforeItIsRead) {
    const std::string path = writeRaw("a.xml", "");
    std::filesystem::resize_file(path, (std::uintmax_t(2) << 30) + 1);
    EXPECT_EQ(runError(), "The file is 2147483649 bytes long; files over 256 MiB (268435456 bytes) "
                          "are not read\r\nФайл: " +
                              path);
    std::filesystem::resize_file(path, (std::uintmax_t(256) << 20) + 1);
    EXPECT_EQ(runError().rfind("The file is 268435457 bytes long;", 0), 0u);
}

#if defined(__SANITIZE_ADDRESS__)
#define QUARLEX_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUARLEX_UNDER_ASAN 1
#endif
#endif

// Under a memory limit the import says which file it could not hold. (The
// sanitizer build reserves its shadow memory up front and cannot run under
// an address-space limit.)
TEST_F(SzvImportTest, RunningOutOfMemoryNamesTheFile) {
#ifdef QUARLEX_UNDER_ASAN
    GTEST_SKIP() << "no address-space limit under AddressSanitizer";
#else
    const std::string path = writeRaw("big.xml", "");
    std::filesystem::resize_file(path, std::uintmax_t(200) << 20);
    // In a child process: the limit, the import, its error on standard error.
    auto importUnderLimit = [&] {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(64) << 20);
        const rlimit rl = {limit, limit};
        setrlimit(RLIMIT_AS, &rl);
        std::cerr << runError();
        std::exit(0);
    };
    EXPECT_EXIT(importUnderLimit(), ::testing::ExitedWithCode(0),
                "^Not enough memory to import the file\r\nФайл: .*/big\\.xml$");
#endif
}

TEST_F(SzvImportTest, AmountsAreReadWithAPointWhateverTheFormatSays) {
    format.decimalSeparator = ',';
    SzvRec r;
    r.strNach = "1000.55";
    r.strUpl = "0.5";
    ImportXmlFile(tables, write("a.xml", {r}), options, format, prompts);
    ASSERT_TRUE(findImp("012-345-678 05", 20111));
    EXPECT_EQ(tables.ImpTable.asMoney("StrDolg"), money("1000.05"));
    EXPECT_EQ(format.decimalSeparator, ',');
}

TEST_F(SzvImportTest, ListFilesTakesMatchingFilesInNameOrder) {
    for (const char* name :
         {"b.XML", "a.xml", "C.Xml", "Я.xml", "ab.xml", "notes.txt", "a.xml.bak"})
        writeRaw(name, "");
    std::filesystem::create_directory(dir + "/x.xml");
    writeRaw("x.xml/inner.xml", "");

    const std::vector<std::string> oneChar = {dir + "/C.Xml", dir + "/a.xml", dir + "/b.XML",
                                              dir + "/Я.xml"};
    std::vector<std::string> all = oneChar;
    all.insert(all.begin() + 2, dir + "/ab.xml");
    EXPECT_EQ(ListFiles(dir, "*.xml"), all);
    EXPECT_EQ(ListFiles(dir + "/", "*.XML"), all);
    EXPECT_EQ(ListFiles(dir, "?.xml"), oneChar);

    std::string gone = dir + "/gone";
    try {
        ListFiles(gone, "*.xml");
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(gone), std::string::npos) << e.what();
    }
}

TEST_F(SzvImportTest, FolderImportReadsFilesInNameOrder) {
    SzvRec first;
    SzvRec second = first;
    second.strNach = "2000.00";
    write("B.XML", {second}); // byte order: "B.XML" before "a.xml"
    write("a.xml", {first});
    std::filesystem::create_directory(dir + "/sub.xml");
    SzvRec hidden;
    hidden.snils = "777-777-777 77";
    write("sub.xml/c.xml", {hidden});

    importFolder(tables, dir, options, format, prompts);

    ASSERT_EQ(tables.ImpTable.RecordCount(), 1);
    ASSERT_TRUE(findImp("012-345-678 05", 20111));
    EXPECT_EQ(tables.ImpTable.asMoney("StrNach"), money("2000"));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].first, "Ошибка в данных");
}

TEST_F(SzvImportTest, FolderWithoutXmlFilesCompletes) {
    writeRaw("readme.txt", "nothing here");
    EXPECT_EQ(runError(), "");
    EXPECT_EQ(tables.ImpTable.RecordCount(), 0);
    EXPECT_TRUE(prompts.messages.empty());
}

} // namespace
} // namespace quarlex::test
