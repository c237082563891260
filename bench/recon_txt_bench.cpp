// The reconciliation text import as the user runs it: each run a fresh
// process (this program starting itself), the median of several runs, set
// against its floor measured in the same run: reading the file's bytes,
// decoding them and searching every line with the three patterns.
//
// usage: recon_txt_bench gen FILE [PERSONS] [PERIODS]   writes a file
//        recon_txt_bench FILE [RUNS]                     measures

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "FreshProcess.h"
#include "Measure.h"
#include "import/FileBytes.h"
#include "import/ImportRun.h"
#include "import/Pcre2Pattern.h"
#include "import/ReconText.h"
#include "xml/CodePage.h"

namespace {

using bench::Clock;
using bench::CountingPrompts;
using bench::secondsSince;

// The fund's layout: a separator, the person, a period line and a total
// line per period; amounts with ',' and blanks before them. Windows-1251.
int generate(const std::string& path, int persons, int periods) {
    std::string text = "Сверка расчетов по страховым взносам\r\n";
    const std::string separator(80, '-');
    char line[200];
    for (int p = 0; p < persons; ++p) {
        text += separator + "\r\n";
        std::snprintf(line, sizeof line,
                      "Рег.№ 087-101-000001 СНИЛС: %03d-%03d-%03d %02d ФИО: Фамилия%d Имя%d "
                      "Отчество%d\r\n",
                      100 + p / 1000000 % 900, p / 1000 % 1000, p % 1000, p % 100, p, p % 50,
                      p % 70);
        text += line;
        long long totals[4] = {0, 0, 0, 0};
        for (int k = 0; k < periods; ++k) {
            const int year = 2010 + k / 4, quarter = k % 4 + 1;
            const long long amounts[4] = {800000 + p % 997 * 100, 300000 + p % 89 * 100,
                                          (k + p) % 10 == 0 ? 400000 : 800000 + p % 997 * 100,
                                          300000 + p % 89 * 100};
            std::string row;
            for (int c = 0; c < 4; ++c) {
                totals[c] += amounts[c];
                std::snprintf(line, sizeof line, "%s%12lld,%02lld", c ? ";" : "", amounts[c] / 100,
                              amounts[c] % 100);
                row += line;
            }
            std::snprintf(line, sizeof line, "%d г. %d кв.", year, quarter);
            text += line + row + "\r\n";
            row.clear();
            for (int c = 0; c < 4; ++c) {
                std::snprintf(line, sizeof line, "%s%12lld,%02lld", c ? ";" : "", totals[c] / 100,
                              totals[c] % 100);
                row += line;
            }
            text += "Итого:     " + row + "\r\n";
        }
    }
    text += separator + "\r\n";
    // The generator's text is UTF-8; the fund writes Windows-1251.
    std::FILE* iconv = ::popen(("iconv -f UTF-8 -t CP1251 > '" + path + "'").c_str(), "w");
    if (!iconv || std::fwrite(text.data(), 1, text.size(), iconv) != text.size() ||
        ::pclose(iconv) != 0) {
        std::cerr << "cannot write " << path << "\n";
        return 1;
    }
    return 0;
}

// One measured step in this process; prints "seconds rows".
int child(const std::string& step, const std::string& path) {
    const auto start = Clock::now();
    long rows = 0;
    if (step == "floor") {
        const std::string text = quarlex::decodeCp1251(quarlex::readWholeFile(path));
        quarlex::Pcre2Pattern patterns[] = {
            quarlex::Pcre2Pattern(
                R"(Рег.№\s(\d{3}-\d{3}-\d{6})\sСНИЛС:\s(\d{3}-\d{3}-\d{3}\s\d{2})\sФИО:\s(\S*)\s(\S*)\s(\S*))"),
            quarlex::Pcre2Pattern(
                R"((\d{4})\sг.\s(\d{1})\sкв.([\s\d,]*);([\s\d,]*);([\s\d,]*);([\s\d,]*))"),
            quarlex::Pcre2Pattern(R"(Итого:([\s\d,]*);([\s\d,]*);([\s\d,]*);([\s\d,]*))")};
        quarlex::forEachLine(text, [&](std::string_view line, int) {
            for (auto& pattern : patterns)
                rows += pattern.search(line);
        });
    } else {
        quarlex::WorkingTables tables;
        quarlex::NumberFormat format;
        CountingPrompts prompts;
        const auto r = quarlex::runImport(tables, {"", path, quarlex::ftTxt}, {}, format, prompts);
        if (!r.imported || prompts.count != 0) {
            std::cerr << "import refused rows: " << prompts.count << "\n";
            return 1;
        }
        rows = tables.ImpTable.RecordCount() + tables.ResTable.RecordCount();
    }
    std::printf("seconds %.6f\nrows %ld\n", secondsSince(start), rows);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() >= 2 && args[0] == "gen")
            return generate(args[1], args.size() > 2 ? std::atoi(args[2].c_str()) : 5000,
                            args.size() > 3 ? std::atoi(args[3].c_str()) : 20);
        if (args.size() == 3 && args[0] == "child")
            return child(args[1], args[2]);
        if (args.empty() || args.size() > 2) {
            std::cerr << "usage: recon_txt_bench gen FILE [PERSONS] [PERIODS]\n"
                         "       recon_txt_bench FILE [RUNS]\n";
            return 2;
        }
        const int runs = args.size() > 1 ? std::max(1, std::atoi(args[1].c_str())) : 5;
        std::vector<double> import, floor;
        long importRows = 0, matches = 0;
        // Interleaved, so that a busy spell of the shared machine hits both.
        for (int i = 0; i < runs; ++i) {
            auto figures = bench::runFresh({"child", "import", args[0]});
            import.push_back(figures["seconds"]);
            importRows = static_cast<long>(figures["rows"]);
            figures = bench::runFresh({"child", "floor", args[0]});
            floor.push_back(figures["seconds"]);
            matches = static_cast<long>(figures["rows"]);
        }
        const double ratio = bench::median(import) / bench::median(floor);
        std::printf("reconciliation text import, %d fresh processes each (median)\n", runs);
        std::printf("  import into ImpTable and ResTable: %.3f s (%ld rows)\n",
                    bench::median(import), importRows);
        std::printf("  floor: read, decode, three patterns on every line: %.3f s (%ld matches)\n",
                    bench::median(floor), matches);
        std::printf("  import / floor: %.2f (goal <= 3)\n", ratio);
        return ratio <= 3 ? 0 : 3;
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
        return 1;
    }
}
