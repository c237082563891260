// The reconciliation workbook import against its floor. Each run is a fresh
// process (this program started again with --import or --floor):
//   import: the table resets and the import of the workbook into ImpTable and
//           ResTable;
//   floor:  FreeXL opening the workbook and reading every cell of its first
//           sheet, and nothing else;
//   read:   the workbook reader opening the workbook (with the formula
//           results) and reading, converted, the cells that the import reads,
//           without writing any table: what the import adds to the floor
//           before the tables.
// Prints the median of each, the ratio and the goal (import within 3 x floor),
// and the peak memory of the import.
//
// usage: recon_xls_bench FILE.xls [RUNS]    (FILE made by recon_xls_gen.py; default 5 runs)
#include <freexl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "FreshProcess.h"
#include "Measure.h"
#include "import/ImportRun.h"
#include "import/ReconWorkbook.h"
#include "import/XlsReader.h"

namespace {

using bench::Clock;
using bench::CountingPrompts;
using bench::secondsSince;

int runImport(const std::string& path) {
    auto start = Clock::now();
    quarlex::WorkingTables tables;
    quarlex::resetImportTables(tables);
    quarlex::TReconEntry entry;
    CountingPrompts prompts;
    quarlex::WorkbookImportResult r =
        quarlex::importReconciliationWorkbook(tables, path, entry, prompts);
    double seconds = secondsSince(start);
    if (!r.imported || prompts.count > 0) {
        std::cerr << "the import did not read the workbook cleanly\n";
        return 1;
    }
    std::printf("%.6f %d %d\n", seconds, tables.ImpTable.RecordCount(),
                tables.ResTable.RecordCount());
    return 0;
}

int runFloor(const std::string& path) {
    auto start = Clock::now();
    const void* handle = nullptr;
    if (freexl_open(path.c_str(), &handle) != FREEXL_OK || !handle ||
        freexl_select_active_worksheet(handle, 0) != FREEXL_OK) {
        std::cerr << "FreeXL cannot read " << path << "\n";
        return 1;
    }
    unsigned rows = 0;
    unsigned short columns = 0;
    freexl_worksheet_dimensions(handle, &rows, &columns);
    std::size_t touched = 0; // keeps the reads
    for (unsigned r = 0; r < rows; ++r)
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(handle, r, c, &v) == FREEXL_OK)
                touched += v.type;
        }
    freexl_close(handle);
    double seconds = secondsSince(start);
    std::printf("%.6f %u %zu\n", seconds, rows, touched);
    return 0;
}

int runRead(const std::string& path) {
    auto start = Clock::now();
    quarlex::XlsSheet sheet(path);
    std::size_t touched = 0; // keeps the reads
    for (unsigned r = 2; r < sheet.rowCount(); ++r) {
        touched += sheet.text(r, 17).size();
        for (unsigned c : {13u, 15u, 14u, 16u, 11u, 12u})
            touched += std::size_t(sheet.money(r, c).units() & 1);
        for (unsigned c : {4u, 5u, 6u, 2u, 3u})
            touched += sheet.text(r, c).size();
    }
    double seconds = secondsSince(start);
    std::printf("%.6f %zu\n", seconds, touched);
    return 0;
}

struct Child {
    double seconds = 0;
    std::string output;
    long maxRssKiB = 0;
};

// Runs this program again with `mode` and reads the figure it prints.
Child spawn(const char* self, const char* mode, const std::string& path) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(2);
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execl(self, self, mode, path.c_str(), static_cast<char*>(nullptr));
        std::perror("exec");
        _exit(2);
    }
    close(fds[1]);
    Child child;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        child.output.append(buf, std::size_t(n));
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << mode << " run failed\n";
        std::exit(1);
    }
    child.seconds = std::strtod(child.output.c_str(), nullptr);
    child.maxRssKiB = usage.ru_maxrss;
    return child;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--import")
        return runImport(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--floor")
        return runFloor(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--read")
        return runRead(argv[2]);
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: recon_xls_bench FILE.xls [RUNS]\n";
        return 2;
    }
    const std::string path = argv[1];
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    const char* self = "/proc/self/exe";

    std::vector<double> imports, floors, reads;
    long importRss = 0;
    std::string importOutput, floorOutput;
    for (int i = 0; i < runs; ++i) {
        // Alternate the order so that neither side always runs on a warm cache.
        Child a = spawn(self, i % 2 ? "--import" : "--floor", path);
        Child b = spawn(self, i % 2 ? "--floor" : "--import", path);
        const Child& imp = i % 2 ? a : b;
        const Child& floor = i % 2 ? b : a;
        imports.push_back(imp.seconds);
        floors.push_back(floor.seconds);
        importRss = std::max(importRss, imp.maxRssKiB);
        importOutput = imp.output;
        floorOutput = floor.output;
        reads.push_back(spawn(self, "--read", path).seconds);
    }
    double imp = bench::median(imports), floor = bench::median(floors);
    int impRows = 0, resRows = 0;
    std::sscanf(importOutput.c_str(), "%*f %d %d", &impRows, &resRows);
    unsigned sheetRows = 0;
    std::sscanf(floorOutput.c_str(), "%*f %u", &sheetRows);
    std::printf("workbook: %s, %u sheet rows\n", path.c_str(), sheetRows);
    std::printf("import into ImpTable (%d rows) and ResTable (%d rows): median %.3f s "
                "(min %.3f, max %.3f) of %d fresh processes\n",
                impRows, resRows, imp, *std::min_element(imports.begin(), imports.end()),
                *std::max_element(imports.begin(), imports.end()), runs);
    std::printf(
        "floor, FreeXL opening and reading every cell: median %.3f s (min %.3f, max %.3f)\n", floor,
        *std::min_element(floors.begin(), floors.end()),
        *std::max_element(floors.begin(), floors.end()));
    std::printf("reading the import's cells without tables: median %.3f s\n", bench::median(reads));
    std::printf("import / floor: %.2f (goal <= 3: %s)\n", imp / floor,
                imp / floor <= 3 ? "met" : "missed");
    std::printf("peak memory of an import process: %ld MiB\n", importRss / 1024);
    return 0;
}
