#include "report/HtmlExport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "ReportFixture.h"
#include "tables/Error.h"

namespace quarlex::test {
namespace {

using Lines = std::vector<std::string>;

const char* const kFirst = "<html><head>  <meta http-equiv=\"Content-Type\" content=\"text/html; "
                           "charset=utf-8\">  <title>Quarlex отчет</title>  </head>";
const char* const kTable =
    "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"4\">";

const Lines kLayout1Head = {
    kFirst,
    "<body>",
    kTable,
    "<col width=\"15%\" align=\"left\">",
    "<col width=\"55%\" align=\"left\">",
    "<col width=\"10%\" align=\"left\">",
    "<col width=\"10%\" align=\"right\">",
    "<col width=\"10%\" align=\"right\">",
    "<tr bgcolor=\"silver\"><th>Стр.номер</th><th>ФИО</th><th>Период</th><th>Страх.итог</"
    "th><th>Накоп.итог</th></tr>",
};
const Lines kLayout2Head = {
    kFirst,
    "<body>",
    kTable,
    "<col width=\"12%\" align=\"left\">",
    "<col width=\"50%\" align=\"left\">",
    "<col width=\"8%\" align=\"left\">",
    "<col width=\"10%\" align=\"left\">",
    "<col width=\"10%\" align=\"right\">",
    "<col width=\"10%\" align=\"right\">",
    "<tr bgcolor=\"silver\"><th>Стр.номер</th><th>ФИО</th><th>Категория</th><th>Период</"
    "th><th>Страх.итог</th><th>Накоп.итог</th></tr>",
};
const Lines kLayout3Head = {
    kFirst,
    "<body>",
    kTable,
    "<col width=\"15%\" align=\"left\">",
    "<col width=\"55%\" align=\"left\">",
    "<col width=\"15%\" align=\"right\">",
    "<col width=\"15%\" align=\"right\">",
    "<tr bgcolor=\"silver\"><th>Стр.номер</th><th>ФИО</th><th>Страх.итог</th><th>Накоп.итог</"
    "th></tr>",
};
const Lines kLayout4Head = {
    kFirst,
    "<body>",
    kTable,
    "<col width=\"15%\" align=\"left\">",
    "<col width=\"55%\" align=\"left\">",
    "<col width=\"10%\" align=\"right\">",
    "<col width=\"10%\" align=\"right\">",
    "<col width=\"10%\" align=\"right\">",
    "<tr bgcolor=\"silver\"><th>Стр.номер</th><th>ФИО</th><th>Категория</th><th>Страх.итог</"
    "th><th>Накоп.итог</th></tr>",
};
const Lines kTail = {"</table>", "</body>", "</html>"};

Lines page(const Lines& head, const Lines& body) {
    Lines all = head;
    all.insert(all.end(), body.begin(), body.end());
    all.insert(all.end(), kTail.begin(), kTail.end());
    return all;
}

const char* const kP1 = "111-111-111 45";
const char* const kP2 = "222-222-222 90";

class HtmlExportTest : public TablesFixture {
protected:
    void SetUp() override {
        TablesFixture::SetUp();
        resetTable(t.ResTable);
    }
    Lines build(bool perPeriod, bool categoryMode, char separator) {
        NumberFormat format;
        format.decimalSeparator = separator;
        return buildHtmlReport(t.ResTable, HtmlOptions{perPeriod, categoryMode}, format);
    }
};

// Two persons: the grand totals are each person's last amounts, summed
// exactly before rounding (0.004 + 1.004 = 1.008 shows as 1,01), and the
// total row names the period of the last row.
TEST_F(HtmlExportTest, PerPeriodLayout) {
    addRes({kP1, "Иванов Сергей Петрович", "ОСН", 2010, 4, "100", "0.5"});
    addRes({kP1, "Иванов Сергей Петрович", "ОСН", 2011, 1, "70", "-1234.5"});
    addRes({kP1, "Иванов Сергей Петрович", "ОСН", 2011, 2, "70", "0.004"});
    addRes({kP2, "Петрова Анна Викторовна", "ОСН", 2011, 3, "5", "0"});
    addRes({kP2, "Петрова Анна Викторовна", "ОСН", 2011, 4, "10", "1.004"});
    EXPECT_EQ(build(true, false, ','),
              page(kLayout1Head,
                   {
                       "<tr><td>111-111-111 45</td><td>Иванов Сергей "
                       "Петрович</td><td></td><td></td><td></td></tr>",
                       "<tr><td></td><td></td><td>2010-4</td><td>100,00</td><td>0,50</td></tr>",
                       "<tr><td></td><td></td><td>2011-1</td><td>70,00</td><td>-1234,50</td></tr>",
                       "<tr><td></td><td></td><td>2011-2</td><td>70,00</td><td>0,00</td></tr>",
                       "<tr><td>222-222-222 90</td><td>Петрова Анна "
                       "Викторовна</td><td></td><td></td><td></td></tr>",
                       "<tr><td></td><td></td><td>2011-3</td><td>5,00</td><td>0,00</td></tr>",
                       "<tr><td></td><td></td><td>2011-4</td><td>10,00</td><td>1,00</td></tr>",
                       "<tr bgcolor=\"silver\"><b><td>Итого:</td><td></td><td>2011-4</"
                       "td><td>80,00</td><td>1,01</td></b></tr>",
                   }));
}

TEST_F(HtmlExportTest, PerPeriodCategoryLayout) {
    addRes({kP1, "Смирнов Алексей Николаевич", "НР", 2011, 1, "10", "0"});
    addRes({kP1, "Смирнов Алексей Николаевич", "ПНЭД", 2011, 1, "5", "-0.5"});
    addRes({kP2, "Петрова Анна Викторовна", "НР", 2011, 1, "1", "2"});
    EXPECT_EQ(build(true, true, '.'),
              page(kLayout2Head,
                   {
                       "<tr><td>111-111-111 45</td><td>Смирнов Алексей "
                       "Николаевич</td><td></td><td></td><td></td></tr>",
                       "<tr><td></td><td></td><td>НР</td><td>2011-1</td><td>10.00</td><td>0.00</"
                       "td></tr>",
                       "<tr><td></td><td></td><td>ПНЭД</td><td>2011-1</td><td>5.00</td><td>-0.50</"
                       "td></tr>",
                       "<tr><td>222-222-222 90</td><td>Петрова Анна "
                       "Викторовна</td><td></td><td></td><td></td></tr>",
                       "<tr><td></td><td></td><td>НР</td><td>2011-1</td><td>1.00</td><td>2.00</"
                       "td></tr>",
                   }));
}

TEST_F(HtmlExportTest, LatestLayoutSumsAllRows) {
    addRes({kP1, "Иванов Сергей Петрович", "ОСН", 2011, 4, "70", "1"});
    addRes({kP2, "Петрова Анна Викторовна", "ОСН", 2011, 4, "10", "-0.25"});
    EXPECT_EQ(build(false, false, ','),
              page(kLayout3Head, {
                                     "<tr><td>111-111-111 45</td><td>Иванов Сергей "
                                     "Петрович</td><td>70,00</td><td>1,00</td></tr>",
                                     "<tr><td>222-222-222 90</td><td>Петрова Анна "
                                     "Викторовна</td><td>10,00</td><td>-0,25</td></tr>",
                                     "<tr bgcolor=\"silver\"><b><td>Итого:</td><td>4 квартал 2011 "
                                     "года</td><td>80,00</td><td>0,75</td></b></tr>",
                                 }));
}

// Every text cell is escaped, so a name cannot break the page.
TEST_F(HtmlExportTest, LatestCategoryLayoutEscapesTextCells) {
    addRes({"<b>", "Смит & \"Ко\" <Ltd>", "A<B>&\"", 2011, 4, "1", "2"});
    EXPECT_EQ(
        build(false, true, '.'),
        page(kLayout4Head, {
                               "<tr><td>&lt;b&gt;</td><td>Смит &amp; &quot;Ко&quot; &lt;Ltd&gt;</"
                               "td><td>A&lt;B&gt;&amp;&quot;</td><td>1.00</td><td>2.00</td></tr>",
                           }));
}

// An empty ResTable: the per-period layouts still write one empty person row
// and layout 1 its total row with period 0-0; layout 3 names 0 квартал 0 года.
TEST_F(HtmlExportTest, EmptyTableInEveryLayout) {
    const std::string emptyPerson = "<tr><td></td><td></td><td></td><td></td><td></td></tr>";
    struct Case {
        bool perPeriod, categoryMode;
        Lines expected;
    } cases[] = {
        {true, false,
         page(kLayout1Head,
              {emptyPerson, "<tr bgcolor=\"silver\"><b><td>Итого:</td><td></td><td>0-0</"
                            "td><td>0,00</td><td>0,00</td></b></tr>"})},
        {true, true, page(kLayout2Head, {emptyPerson})},
        {false, false,
         page(kLayout3Head, {"<tr bgcolor=\"silver\"><b><td>Итого:</td><td>0 квартал 0 "
                             "года</td><td>0,00</td><td>0,00</td></b></tr>"})},
        {false, true, page(kLayout4Head, {})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "perPeriod " << c.perPeriod << " categories " << c.categoryMode);
        EXPECT_EQ(build(c.perPeriod, c.categoryMode, ','), c.expected);
    }
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Grand totals beyond the range of money are an error naming the category
// and the period of the row being added, never a wrapped total.
TEST_F(HtmlExportTest, TotalOutOfRangeNamesCategoryAndPeriod) {
    addRes({kP1, "Иванов Сергей Петрович", "ОСН", 2011, 3, "922337203685477", "0"});
    addRes({kP2, "Петрова Анна Викторовна", "ОСН", 2011, 4, "922337203685477", "0"});
    for (bool perPeriod : {true, false}) {
        try {
            build(perPeriod, false, ',');
            ADD_FAILURE() << "no error, per period " << perPeriod;
        } catch (const MoneyOverflow& e) {
            EXPECT_STREQ(e.what(),
                         "Итог HTML-отчета вне диапазона денег: категория \"ОСН\", период 2011-4");
        }
    }
}

TEST(HtmlFile, Utf8WithBomAndCrLfAfterEveryLineReplacingOldFile) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("quarlex-html-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "pf_report.html";
    writeHtmlFile(path.string(), {"<html>", "отчет", "</html>"});
    writeHtmlFile(path.string(), {"<p>", "</p>"});
    EXPECT_EQ(readBytes(path), "\xEF\xBB\xBF<p>\r\n</p>\r\n");
    std::filesystem::remove_all(dir);
}

TEST(HtmlFile, UnwritableFileIsAnErrorNamingIt) {
    const std::string path = "/nonexistent-quarlex-dir/sub/pf_report.html";
    try {
        writeHtmlFile(path, {"x"});
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
}

// What stands at the page's name is replaced, never followed or opened; a
// folder or another non-regular file there is an error naming it. No
// temporary file stays behind either way.
class HtmlFileAtName : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("quarlex-html-name-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        path = dir / "pf_report.html";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    std::filesystem::path dir, path;
};

TEST_F(HtmlFileAtName, LinkAndFifoAreReplaced) {
    const auto target = dir / "target.txt";
    std::ofstream(target) << "keep me";
    std::filesystem::create_symlink(target, path);
    writeHtmlFile(path.string(), {"a"});
    EXPECT_EQ(readBytes(target), "keep me");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path)));
    EXPECT_EQ(readBytes(path), "\xEF\xBB\xBF"
                               "a\r\n");

    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    writeHtmlFile(path.string(), {"b"}); // would block forever if the FIFO were opened
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path)));
    EXPECT_EQ(readBytes(path), "\xEF\xBB\xBF"
                               "b\r\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"pf_report.html", "target.txt"}));
}

TEST_F(HtmlFileAtName, FolderOrSocketIsAnErrorNamingIt) {
    std::filesystem::create_directory(path);
    try {
        writeHtmlFile(path.string(), {"x"});
        ADD_FAILURE() << "no error for a folder";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Не удалось записать файл \"" + path.string() + "\": на этом месте папка");
    }
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(names(), std::vector<std::string>{"pf_report.html"});

    std::filesystem::remove(path);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.string().size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    try {
        writeHtmlFile(path.string(), {"x"});
        ADD_FAILURE() << "no error for a socket";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(path.string() + "\": на этом месте не обычный файл"),
                  std::string::npos)
            << e.what();
    }
    close(sock);
    EXPECT_EQ(names(), std::vector<std::string>{"pf_report.html"});
}

TEST(HtmlFile, ReportPathBesideTheImportedData) {
    struct Case {
        const char* dir;
        const char* file;
        const char* expected;
    } cases[] = {
        {"/data/szv", "", "/data/szv/pf_report.html"},
        {"/data/szv/", "", "/data/szv/pf_report.html"},
        {"", "/data/recon/svod.txt", "/data/recon/pf_report.html"},
        {"/data/szv", "/data/recon/svod.txt", "/data/szv/pf_report.html"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(htmlReportPath(c.dir, c.file), c.expected) << c.dir << " | " << c.file;
}

} // namespace
} // namespace quarlex::test
