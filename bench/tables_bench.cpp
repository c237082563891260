// Working-table figures: filling ImpTable row by row through the record
// buffer, RecNo jumps across the table, the grid's first screen, a full walk
// and keyed lookups.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "FillImpTable.h"
#include "tables/WorkingTables.h"

using namespace quarlex;
using Clock = std::chrono::steady_clock;

namespace {

// Process CPU time: the machine is shared, so wall time alone overstates.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Timings {
    double max = 0, sum = 0;
    int n = 0;
    void add(double ms) {
        max = std::max(max, ms);
        sum += ms;
        ++n;
    }
};

} // namespace

int main(int argc, char** argv) {
    const int persons = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int periods = 40; // ten years of quarters
    WorkingTables t;
    Table& imp = t.ImpTable;

    auto start = Clock::now();
    double cpuStart = cpuMs();
    bench::fillImpTable(t, persons, periods);
    double fillMs = msSince(start), fillCpu = cpuMs() - cpuStart;
    const int rows = imp.RecordCount();
    std::printf("fill: %d rows in %.0f ms = %.0f rows/s; CPU %.0f ms = %.0f rows/s "
                "(goal >= 300000)\n",
                rows, fillMs, rows / (fillMs / 1000.0), fillCpu, rows / (fillCpu / 1000.0));

    Timings far, random;
    {
        // The first deep jump after the fill builds the seek anchors.
        auto s = Clock::now();
        double c = cpuMs();
        imp.setRecNo(rows);
        std::printf("first RecNo jump after the fill (to the far end): %.2f ms, CPU %.2f ms\n",
                    msSince(s), cpuMs() - c);
    }
    for (int i = 0; i < 5; ++i) {
        auto s = Clock::now();
        imp.setRecNo(rows - i);
        far.add(msSince(s));
    }
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(1, rows);
    for (int i = 0; i < 50; ++i) {
        int n = pick(rng);
        auto s = Clock::now();
        imp.setRecNo(n);
        random.add(msSince(s));
        if (imp.RecNo() != n)
            std::printf("RecNo mismatch at %d\n", n);
    }
    std::printf("RecNo jump to the far end: max %.2f ms, mean %.2f ms (goal < 10 ms)\n", far.max,
                far.sum / far.n);
    std::printf("RecNo random jumps (%d): max %.2f ms, mean %.2f ms (goal < 10 ms)\n", random.n,
                random.max, random.sum / random.n);

    start = Clock::now();
    auto screen = imp.readRows(0, 50);
    std::printf("readRows(0, 50), the first screen: %.3f ms (%zu rows)\n", msSince(start),
                screen.size());
    start = Clock::now();
    auto lastScreen = imp.readRows(rows - 50, 50);
    std::printf("readRows(last 50): %.2f ms (%zu rows)\n", msSince(start), lastScreen.size());

    start = Clock::now();
    int walked = 0;
    for (imp.First(); !imp.Eof(); imp.Next())
        ++walked;
    double walkMs = msSince(start);
    std::printf("First/Next walk: %d rows in %.0f ms = %.0f rows/s\n", walked, walkMs,
                walked / (walkMs / 1000.0));

    Timings locate;
    for (int i = 0; i < 1000; ++i) {
        int p = pick(rng) % persons;
        auto s = Clock::now();
        bool found = imp.Locate("SNILS;Period;Category", {bench::benchSnils(100000 + p * 7),
                                                          std::int64_t(20074), std::string("ОСН")});
        locate.add(msSince(s));
        if (!found)
            std::printf("Locate missed person %d\n", p);
    }
    std::printf("Locate by the index (%d): mean %.3f ms, max %.3f ms\n", locate.n,
                locate.sum / locate.n, locate.max);
    return 0;
}
