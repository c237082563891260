// The whole road over one SZV-6 folder, timed step by step: the folder import
// with the corrective merge, the report run in per-period mode and the HTML
// export; then the floor, pugixml parsing the same decoded files and nothing
// else. Prints the figures, the peak resident memory and the goals.
//
// usage: road_bench DIR [RUNS]    (DIR made by szv6_gen; each step's best of RUNS)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <pugixml.hpp>
#include <string>

#include "import/ImportRun.h"
#include "report/HtmlExport.h"
#include "report/Report.h"
#include "xml/CodePage.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long peakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CountingPrompts : public quarlex::Prompts {
public:
    void message(const std::string& caption, const std::string& text) override {
        if (++count <= 3)
            std::cerr << caption << ": " << text << "\n";
    }
    int count = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: road_bench DIR [RUNS]\n";
        return 2;
    }
    const std::string dir = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    try {
        const std::vector<std::string> files = quarlex::ListFiles(dir, "*.xml");
        std::uintmax_t largest = 0, totalBytes = 0;
        for (const std::string& f : files) {
            const auto size = std::filesystem::file_size(f);
            largest = std::max(largest, size);
            totalBytes += size;
        }

        // Each step's best of `runs`: the machine is shared, and the least
        // disturbed run is the one that tells what the code costs.
        double importSeconds = 1e9, reportSeconds = 1e9, htmlSeconds = 1e9;
        double parseSeconds = 1e9, decodeSeconds = 1e9;
        int impRows = 0, corrRows = 0, resRows = 0, messages = 0;
        long roadPeakKiB = 0;
        for (int run = 0; run < runs; ++run) {
            quarlex::WorkingTables tables;
            quarlex::NumberFormat format;
            CountingPrompts prompts;

            auto start = Clock::now();
            quarlex::runImport(tables, {dir, "", quarlex::ftNone}, {true, true}, format, prompts);
            importSeconds = std::min(importSeconds, secondsSince(start));

            start = Clock::now();
            quarlex::runReport(tables, quarlex::ReportOptions{true});
            reportSeconds = std::min(reportSeconds, secondsSince(start));

            start = Clock::now();
            quarlex::writeHtmlFile(quarlex::htmlReportPath(dir, ""),
                                   quarlex::buildHtmlReport(
                                       tables.ResTable, quarlex::HtmlOptions{true, true}, format));
            htmlSeconds = std::min(htmlSeconds, secondsSince(start));
            roadPeakKiB = peakRssKiB();

            impRows = tables.ImpTable.RecordCount();
            corrRows = tables.CorrTable.RecordCount();
            resRows = tables.ResTable.RecordCount();
            messages = prompts.count;
        }

        // The floor: only the XML parse of the decoded text, one file at a time.
        for (int run = 0; run < runs; ++run) {
            double parse = 0, decode = 0;
            for (const std::string& f : files) {
                auto t = Clock::now();
                const std::string text = quarlex::decodeCp1251(readFile(f));
                decode += secondsSince(t);
                pugi::xml_document doc;
                t = Clock::now();
                const pugi::xml_parse_result result = doc.load_buffer(
                    text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
                parse += secondsSince(t);
                if (!result)
                    throw std::runtime_error(f + ": " + result.description());
            }
            parseSeconds = std::min(parseSeconds, parse);
            decodeSeconds = std::min(decodeSeconds, decode);
        }

        const double road = importSeconds + reportSeconds + htmlSeconds;
        const double memoryGoalKiB =
            5.0 * static_cast<double>(largest) / 1024.0 + static_cast<double>(impRows);
        std::printf("best of %d run(s)\n", runs);
        std::printf("files                 %zu (%.1f MiB, largest %.2f MiB)\n", files.size(),
                    static_cast<double>(totalBytes) / 1048576.0,
                    static_cast<double>(largest) / 1048576.0);
        std::printf("rows                  ImpTable %d, CorrTable %d, ResTable %d, messages %d\n",
                    impRows, corrRows, resRows, messages);
        std::printf("import + merge        %8.3f s\n", importSeconds);
        std::printf("report (per period)   %8.3f s   goal < 1 s: %s\n", reportSeconds,
                    reportSeconds < 1.0 ? "met" : "MISSED");
        std::printf("html export           %8.3f s\n", htmlSeconds);
        std::printf("road                  %8.3f s\n", road);
        std::printf("floor: pugixml parse  %8.3f s   (decoding, not counted: %.3f s)\n",
                    parseSeconds, decodeSeconds);
        std::printf("road / floor          %8.2f     goal <= 3: %s\n", road / parseSeconds,
                    road <= 3.0 * parseSeconds ? "met" : "MISSED");
        std::printf("peak RSS (road)       %8.1f MiB goal < %.1f MiB (5 x largest file + 1 KiB "
                    "per row): %s\n",
                    static_cast<double>(roadPeakKiB) / 1024.0, memoryGoalKiB / 1024.0,
                    static_cast<double>(roadPeakKiB) < memoryGoalKiB ? "met" : "MISSED");
        std::printf("peak RSS (with floor) %8.1f MiB\n",
                    static_cast<double>(peakRssKiB()) / 1024.0);
    } catch (const std::exception& e) {
        std::cerr << "road_bench: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
