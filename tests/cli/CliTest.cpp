#include "cli/CliApp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

namespace quarlex::cli {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(QUARLEX_SAMPLES) + "/szv6";

struct Result {
    int status;
    std::string out, err;
};

Result run(const std::vector<std::string>& args, char separator = '.') {
    std::ostringstream out, err;
    NumberFormat format;
    format.decimalSeparator = separator;
    const int status = runCli(args, out, err, format);
    return {status, out.str(), err.str()};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

// A scratch folder, removed with the test.
class ScratchDir {
public:
    ScratchDir() {
        m_path = fs::temp_directory_path() /
                 ("quarlex-cli-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_path);
        fs::create_directories(m_path);
    }
    ~ScratchDir() { fs::remove_all(m_path); }
    std::string str() const { return m_path.string(); }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

TEST(CliUsage, UsageErrorsExitWithTwoAndPrintTheUsage) {
    ScratchDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate", dir.str()},
        {"report"},
        {"report", dir.str(), "--bogus"},
        {"report", dir.str(), dir.str()},
        {"report", dir.str(), "--format"},
        {"report", dir.str(), "--format", "xml"},
        {"report", dir.str() + "/recon.csv"},
        {"report", dir.str() + "/svod.TXT", "--categories"},
        {"report", dir.str() + "/svod.xls", "--latest"},
        {"sync", dir.str()},
        {"sync", dir.str(), "--data", dir.str(), "--latest"},
        {"sync", dir.str(), "--data", dir.str(), "--separator", ";"},
        {"sync", dir.str(), "--data", dir.str(), "--html"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        SCOPED_TRACE(joined);
        const Result r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("Usage:"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(CliUsage, HelpAndVersion) {
    Result r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("quarlex-cli report SOURCE"), std::string::npos);
    r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("quarlex-cli ", 0), 0u) << r.out;
    EXPECT_EQ(lines(r.out).size(), 1u);
}

TEST(CliRun, MissingReconciliationFileIsAnErrorNamingIt) {
    ScratchDir dir;
    for (const std::string name : {"svod.txt", "svod.XLS"}) {
        SCOPED_TRACE(name);
        const Result r = run({"report", dir.str() + "/" + name, "--html"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(dir.str() + "/" + name), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir.path() / "pf_report.html"));
    }
}

// The fund's text file gives both tables; the page goes beside the file.
TEST(CliRun, ReconciliationTextFile) {
    ScratchDir dir;
    const fs::path file = dir.path() / "sverka.txt";
    fs::copy_file(std::string(QUARLEX_SAMPLES) + "/recon/sverka.txt", file);
    Result r = run({"report", file.string(), "--format", "csv", "--html"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto res = lines(r.out);
    ASSERT_EQ(res.size(), 33u);
    EXPECT_EQ(res[0], "SNILS,FIO,Cat,God,Period,StrItog,NakItog");
    EXPECT_EQ(res[1], "112-233-445 95,Иванов Сергей Петрович,ОСН,2010,3,0.0000,0.0000");
    EXPECT_TRUE(fs::is_regular_file(dir.path() / "pf_report.html"));

    r = run({"report", file.string(), "--imports", "--format", "csv"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto imp = lines(r.out);
    ASSERT_EQ(imp.size(), 33u);
    EXPECT_EQ(imp[1], "112-233-445 95,Сергей,Петрович,Иванов,2010,3,20103,ОСН,9000.0000,"
                      "9000.0000,0.0000,3000.0000,3000.0000,0.0000");
}

TEST(CliMessages, LineBreaksBecomeBars) {
    EXPECT_EQ(oneLine("a\r\nb\nc\rd"), "a | b | c | d");
    EXPECT_EQ(oneLine("a\r\n\r\nb"), "a |  | b");
    EXPECT_EQ(oneLine("plain"), "plain");
    EXPECT_EQ(oneLine("file \x1b[2J.xml\r\nnext"), "file \\x1B[2J.xml | next");

    std::ostringstream err;
    StreamPrompts prompts(err);
    prompts.message("Внесение корректировок", "Стр.Номер: 1\r\nГод: 2010");
    prompts.message("", "без заголовка");
    EXPECT_EQ(err.str(), "Внесение корректировок: Стр.Номер: 1 | Год: 2010\n: без заголовка\n");
}

TEST(CliRun, SampleFolderLatestReport) {
    const Result r = run({"report", kSamples, "--latest", "--format", "csv"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "SNILS,FIO,Cat,God,Period,StrItog,NakItog\n"
                     "112-233-445 95,Иванов Сергей Петрович,ОСН,2011,4,4500.0000,1500.0000\n"
                     "123-456-789 64,Белова Анна Викторовна,ОСН,2011,4,3200.0000,1200.0000\n"
                     "134-578-901 85,Смирнов Алексей Николаевич,ОСН,2011,4,0.0000,0.0000\n"
                     "145-690-123 66,Кузнецова Ольга Игоревна,ОСН,2011,4,-1800.0000,-600.0000\n"
                     "156-702-345 62,Соколов Дмитрий Андреевич,ОСН,2011,4,0.0000,0.0000\n"
                     "167-813-567 03,Попова Елена Сергеевна,ОСН,2011,4,3500.0000,1300.0000\n");
}

// Per period and by category: the corrections of 2010-4 (Иванов) and 2011-3
// (Смирнов, ПНЭД) are applied, and Смирнов has rows in both categories.
TEST(CliRun, SampleFolderPerPeriodByCategory) {
    const Result r = run({"report", kSamples, "--categories", "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(r.out);
    auto has = [&rows](const std::string& row) {
        return std::find(rows.begin(), rows.end(), row) != rows.end();
    };
    for (const char* row : {
             "112-233-445 95,Иванов Сергей Петрович,НР,2010,4,0.0000,0.0000",
             "123-456-789 64,Петрова Анна Викторовна,НР,2011,2,3200.0000,1200.0000",
             "134-578-901 85,Смирнов Алексей Николаевич,НР,2011,4,0.0000,0.0000",
             "134-578-901 85,Смирнов Алексей Николаевич,ПНЭД,2011,3,0.0000,0.0000",
             "145-690-123 66,Кузнецова Ольга Игоревна,ПНЭД,2011,2,-1200.0000,-600.0000",
             "156-702-345 62,Соколов Дмитрий Андреевич,НР,2010,3,8000.0000,3000.0000",
         })
        EXPECT_TRUE(has(row)) << row << "\n" << r.out;
    // Иванов 6, Петрова 4, Смирнов 6 + 3, Кузнецова 6, Соколов 6, Попова 6, and the header.
    EXPECT_EQ(rows.size(), 38u) << r.out;
}

TEST(CliRun, SampleImportsAsTableWithCategoryColumn) {
    const Result r = run({"report", kSamples, "--imports", "--categories"}, ',');
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(r.out);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_NE(rows[0].find("Категория"), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find("Стр.долг"), std::string::npos) << rows[0];
    // Header, rule and the 32 initial records.
    EXPECT_EQ(rows.size(), 34u) << r.out;
    EXPECT_NE(r.out.find("9000,00"), std::string::npos);
}

// --html writes the page into the source folder; a refused row is a message
// line on stderr and the run still succeeds.
TEST(CliRun, HtmlBesideTheFilesAndRowMessages) {
    ScratchDir dir;
    const std::string first =
        "PFR-700-Y-2010-ORG-087-101-000001-DCK-00001-DPT-000000-DCK-00000.XML";
    fs::copy_file(fs::path(kSamples) / first, dir.path() / first);
    fs::copy_file(fs::path(kSamples) / first, dir.path() / "copy.xml");
    const Result r = run({"report", dir.str(), "--html"}, ',');
    EXPECT_EQ(r.status, 0) << r.err;
    const auto messages = lines(r.err);
    ASSERT_EQ(messages.size(), 5u) << r.err; // the five records of 2010-3, read twice
    EXPECT_EQ(messages[0].rfind("Ошибка в данных: Стр.Номер: ", 0), 0u) << messages[0];
    EXPECT_NE(messages[0].find(" | Фамилия: "), std::string::npos) << messages[0];
    EXPECT_TRUE(fs::exists(dir.path() / "pf_report.html"));
    EXPECT_NE(r.out.find("8000,00"), std::string::npos) << r.out;
}

TEST(CliRun, ImportErrorIsOneErrorLineAndNoRows) {
    ScratchDir dir;
    std::ofstream(dir.path() / "broken.xml") << "<ФайлПФР><unclosed>";
    const Result r = run({"report", dir.str()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("broken.xml"), std::string::npos) << r.err;
}

} // namespace
} // namespace quarlex::cli

namespace quarlex::cli {
namespace {

// The sample DATA folder, copied: a run in overwrite mode changes it.
fs::path copyGorvelData(const ScratchDir& dir) {
    const fs::path data = dir.path() / "DATA";
    fs::copy(std::string(QUARLEX_SAMPLES) + "/gorvel/DATA", data, fs::copy_options::recursive);
    return data;
}

std::size_t countLinesWith(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (const std::string& line : lines(text))
        n += line.find(part) != std::string::npos;
    return n;
}

TEST(CliSync, ReportsTheDifferencesOfTheSampleAndWritesThemInOverwriteMode) {
    ScratchDir dir;
    const fs::path data = copyGorvelData(dir);
    const fs::path sums = data / "ZP" / "ZP_OPER" / "zp_sumPF.dbf";
    const std::string before = [&] {
        std::ifstream in(sums, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();

    Result r = run({"sync", kSamples, "--data", data.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> log = lines(r.out);
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log[0], "1. Проверка наличия БД в папке:");
    EXPECT_EQ(log[5], "2. Синхронизация данных");
    EXPECT_EQ(countLinesWith(r.out, "! расхождение"), 3u);
    EXPECT_EQ(countLinesWith(r.out, "! запись не обнаружена"), 3u);
    EXPECT_EQ(countLinesWith(r.out, "! таб.номер не найден"), 1u);
    std::ifstream unchanged(sums, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(unchanged), {}), before);

    const fs::path logFile = dir.path() / "sync log.txt";
    r = run({"sync", kSamples, "--data", data.string(), "--overwrite", "--separator", ",", "--log",
             logFile.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("4500,00 по отчету, 0,00 по данным Gorvel"), std::string::npos);
    std::ifstream saved(logFile, std::ios::binary);
    const std::string content(std::istreambuf_iterator<char>(saved), {});
    std::string expected = "\xEF\xBB\xBF";
    for (const std::string& line : lines(r.out))
        expected += line + "\r\n";
    EXPECT_EQ(content, expected);

    r = run({"sync", kSamples, "--data", data.string(), "--separator", ","});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countLinesWith(r.out, "!"), 1u) << r.out; // only the person without a tab number
}

TEST(CliSync, StopsAfterTheLoggedChecksWithStatusZero) {
    ScratchDir dir;
    Result r = run({"sync", kSamples, "--data", dir.str()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1. Проверка наличия БД в папке:\n  1.1 папка ZP_TAB: не обнаружена!\n");
    r = run({"sync", kSamples, "--data", dir.str(), "--categories"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "  Автоматическая синхронизация для нескольких налоговых режимов в настоящее "
                     "время не поддерживается!\n");
}

TEST(CliSync, ADamagedTableEndsTheRunWithAnErrorAndTheLogIsStillSaved) {
    ScratchDir dir;
    const fs::path data = copyGorvelData(dir);
    std::ofstream(data / "ZP" / "ZP_OPER" / "zp_sumPF.dbf", std::ios::trunc) << "not a table";
    const fs::path logFile = dir.path() / "log.txt";
    const Result r = run({"sync", kSamples, "--data", data.string(), "--log", logFile.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("error: Cannot open the table ", 0), 0u) << r.err;
    EXPECT_EQ(lines(r.out).back(), " cp installed");
    EXPECT_TRUE(fs::exists(logFile));
}

} // namespace
} // namespace quarlex::cli
