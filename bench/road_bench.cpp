// The whole road over one SZV-6 folder as the user runs it: each run is a
// fresh process that imports the folder with the corrective merge, runs the
// report in per-period mode and writes the HTML page, timing each step; the
// floor is measured in fresh processes of the same run: reading the folder's
// bytes, decoding them with the code page table and parsing them in place
// with reused buffers, counting the records, and nothing else. Prints the
// median (and range) of each figure over the runs, and the goals.
//
// With a second, larger folder (say 20,000 persons where the first has
// 5,000), its import is measured the same way, and the growth of the import
// against the growth of the data is printed.
//
// usage: road_bench DIR [RUNS] [LARGER_DIR]     (folders made by szv6_gen)
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "FreshProcess.h"
#include "Measure.h"
#include "import/ImportRun.h"
#include "report/HtmlExport.h"
#include "report/Report.h"
#include "xml/ByteBuffer.h"
#include "xml/CodePage.h"

namespace {

using bench::Clock;
using bench::CountingPrompts;
using bench::secondsSince;

// The options the reader parses with: element text kept in the element.
constexpr unsigned kReaderOptions = pugi::parse_default | pugi::parse_embed_pcdata;

constexpr const char* kRecordTag = "СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ";

long peakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

// ---- the children ----------------------------------------------------------

// The road in this fresh process, step by step.
int roadChild(const std::string& dir, bool importOnly) {
    auto start = Clock::now();
    quarlex::WorkingTables tables;
    quarlex::NumberFormat format;
    CountingPrompts prompts;
    quarlex::resetImportTables(tables);
    const double setup = secondsSince(start);

    start = Clock::now();
    quarlex::runImport(tables, {dir, "", quarlex::ftNone}, {true, true}, format, prompts);
    std::printf("setup %.6f\nimport %.6f\n", setup, secondsSince(start));
    std::printf("impRows %d\ncorrRows %d\nmessages %d\n", tables.ImpTable.RecordCount(),
                tables.CorrTable.RecordCount(), prompts.count);
    if (importOnly) {
        std::printf("peakKiB %ld\n", peakRssKiB());
        return 0;
    }

    start = Clock::now();
    quarlex::runReport(tables, quarlex::ReportOptions{true});
    std::printf("report %.6f\n", secondsSince(start));

    start = Clock::now();
    quarlex::writeHtmlFile(
        quarlex::htmlReportPath(dir, ""),
        quarlex::buildHtmlReport(tables.ResTable, quarlex::HtmlOptions{true, true}, format));
    std::printf("html %.6f\n", secondsSince(start));
    std::printf("resRows %d\npeakKiB %ld\n", tables.ResTable.RecordCount(), peakRssKiB());
    return 0;
}

// The floor in this fresh process: the folder's bytes read, decoded and
// parsed in place through buffers kept from file to file, the records
// counted. Also, for the README's earlier figure, pugixml parsing a copy of
// the decoded text alone.
int floorChild(const std::string& dir) {
    // As the import does: freed memory stays for the next file.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    const auto start = Clock::now();
    const std::vector<std::string> files = quarlex::ListFiles(dir, "*.xml");
    quarlex::ByteBuffer bytes, text;
    double read = 0, decode = 0, parse = 0, parseCopy = 0;
    long records = 0;
    for (const std::string& f : files) {
        auto t = Clock::now();
        FILE* in = std::fopen(f.c_str(), "rb");
        if (!in)
            throw std::runtime_error("cannot open " + f);
        const auto size = std::filesystem::file_size(f);
        bytes.resize(size);
        const size_t got = std::fread(bytes.data(), 1, size, in);
        std::fclose(in);
        if (got != size)
            throw std::runtime_error("cannot read " + f);
        read += secondsSince(t);

        t = Clock::now();
        quarlex::decodeCp1251(std::string_view(bytes.data(), bytes.size()), text);
        decode += secondsSince(t);

        t = Clock::now();
        {
            pugi::xml_document copy;
            if (!copy.load_buffer(text.data(), text.size(), pugi::parse_default,
                                  pugi::encoding_utf8))
                throw std::runtime_error(f + ": does not parse");
        }
        parseCopy += secondsSince(t);

        t = Clock::now();
        pugi::xml_document doc;
        const pugi::xml_parse_result result =
            doc.load_buffer_inplace(text.data(), text.size(), kReaderOptions, pugi::encoding_utf8);
        if (!result)
            throw std::runtime_error(f + ": " + result.description());
        struct Counter : pugi::xml_tree_walker {
            long n = 0;
            bool for_each(pugi::xml_node& node) override {
                n += node.type() == pugi::node_element && std::strcmp(node.name(), kRecordTag) == 0;
                return true;
            }
        } counter;
        doc.traverse(counter);
        records += counter.n;
        parse += secondsSince(t);
    }
    const double total = secondsSince(start) - parseCopy;
    std::printf("floor %.6f\nread %.6f\ndecode %.6f\nparse %.6f\nparseCopy %.6f\nrecords %ld\n",
                total, read, decode, parse, parseCopy, records);
    return 0;
}

// ---- the driver ------------------------------------------------------------

struct FolderSize {
    size_t files = 0;
    std::uintmax_t total = 0, largest = 0;
};

FolderSize sizeOf(const std::string& dir) {
    FolderSize s;
    for (const std::string& f : quarlex::ListFiles(dir, "*.xml")) {
        const auto size = std::filesystem::file_size(f);
        ++s.files;
        s.total += size;
        s.largest = std::max(s.largest, size);
    }
    return s;
}

void printLine(const char* what, const bench::Spread& s, const char* tail = "") {
    std::printf("%-24s %8.3f s  (%.3f-%.3f)%s\n", what, s.median, s.least, s.greatest, tail);
}

int driver(const std::string& dir, int runs, const std::string& larger) {
    const FolderSize size = sizeOf(dir);
    std::vector<std::map<std::string, double>> road, floor, large;
    for (int run = 0; run < runs; ++run) {
        // Alternating the order spreads the machine's moods over both.
        if (run % 2 == 0) {
            road.push_back(bench::runFresh({"--road", dir}));
            floor.push_back(bench::runFresh({"--floor", dir}));
        } else {
            floor.push_back(bench::runFresh({"--floor", dir}));
            road.push_back(bench::runFresh({"--road", dir}));
        }
        if (!larger.empty())
            large.push_back(bench::runFresh({"--import", larger}));
    }
    auto of = [](const auto& measured, const char* name) {
        return bench::spreadOf(measured, name);
    };
    const double importS = of(road, "import").median;
    const double reportS = of(road, "report").median;
    const double floorS = of(floor, "floor").median;
    const double peakKiB = of(road, "peakKiB").greatest;
    const double memoryGoalKiB = 5.0 * double(size.largest) / 1024.0 + of(road, "impRows").median;

    std::printf("fresh process per run, median (least-greatest) of %d runs\n", runs);
    std::printf("files                    %zu (%.1f MiB, largest %.2f MiB)\n", size.files,
                double(size.total) / 1048576.0, double(size.largest) / 1048576.0);
    std::printf("rows                     ImpTable %.0f, CorrTable %.0f, ResTable %.0f, "
                "messages %.0f, records counted by the floor %.0f\n",
                of(road, "impRows").median, of(road, "corrRows").median, of(road, "resRows").median,
                of(road, "messages").median, of(floor, "records").median);
    printLine("import + merge", of(road, "import"));
    printLine("report (per period)", of(road, "report"),
              reportS < 1.0 ? "   goal < 1 s: met" : "   goal < 1 s: MISSED");
    printLine("html export", of(road, "html"));
    printLine("floor", of(floor, "floor"), "   read + decode + parse in place + count");
    printLine("  read", of(floor, "read"));
    printLine("  decode", of(floor, "decode"));
    printLine("  parse in place, count", of(floor, "parse"));
    printLine("pugixml parse of a copy", of(floor, "parseCopy"), "   (the earlier floor)");
    std::printf("import / floor           %8.2f     goal <= 3: %s\n", importS / floorS,
                importS <= 3.0 * floorS ? "met" : "MISSED");
    std::printf("whole road / floor       %8.2f     (import, report and html export)\n",
                (importS + reportS + of(road, "html").median) / floorS);
    std::printf("peak RSS (road)          %8.1f MiB goal < %.1f MiB (5 x largest file + 1 KiB "
                "per row): %s\n",
                peakKiB / 1024.0, memoryGoalKiB / 1024.0,
                peakKiB < memoryGoalKiB ? "met" : "MISSED");
    if (!larger.empty()) {
        const FolderSize bigger = sizeOf(larger);
        const double largeS = of(large, "import").median;
        const double rows = of(large, "impRows").median / of(road, "impRows").median;
        std::printf("larger folder            %zu files (%.1f MiB), ImpTable %.0f rows\n",
                    bigger.files, double(bigger.total) / 1048576.0, of(large, "impRows").median);
        printLine("  import + merge", of(large, "import"));
        std::printf("  import growth          %8.2f for %.2f times the rows   goal <= %.2f: %s\n",
                    largeS / importS, rows, rows * 1.125,
                    largeS / importS <= rows * 1.125 ? "met" : "MISSED");
        std::printf("  peak RSS (import)      %8.1f MiB\n", of(large, "peakKiB").greatest / 1024.0);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::strcmp(argv[1], "--road") == 0)
            return roadChild(argv[2], false);
        if (argc == 3 && std::strcmp(argv[1], "--import") == 0)
            return roadChild(argv[2], true);
        if (argc == 3 && std::strcmp(argv[1], "--floor") == 0)
            return floorChild(argv[2]);
        if (argc < 2 || argc > 4 || argv[1][0] == '-') {
            std::cerr << "usage: road_bench DIR [RUNS] [LARGER_DIR]\n";
            return 2;
        }
        const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
        return driver(argv[1], runs, argc > 3 ? argv[3] : "");
    } catch (const std::exception& e) {
        std::cerr << "road_bench: " << e.what() << "\n";
        return 1;
    }
}
