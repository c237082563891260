// The synchronisation run against a large accounting DATA folder: a report of
// PERSONS x PERIODS rows against a zp_sumPF.dbf of the same size and a
// zp_tab03.dbf of PERSONS employees, in overwrite mode with 10% of the rows
// differing and 10% missing. The floor, measured in the same process: reading
// both tables once from start to end through shapelib.
//
// usage: sync_bench DIR [RUNS [PERSONS [PERIODS]]]
//   Runs RUNS fresh processes of itself (default 5), each on freshly written
//   tables below DIR, and prints each run and the medians: elapsed time, and
//   processor time, which tells more on a shared machine. With
//   SYNC_BENCH_CHECK_ONLY set, the run compares without writing.
#include <fcntl.h>
#include <shapefil.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "FillImpTable.h"
#include "FreshProcess.h"
#include "Measure.h"
#include "sync/GorvelSync.h"

namespace {

using bench::Clock;
using bench::secondsSince;

namespace fs = std::filesystem;
// Processor time of the process, user and system: what the code costs even
// when the machine is shared.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Field {
    const char* name;
    char type;
    int width, decimals;
};

// A dBASE III table written byte by byte; the rows' fields already formatted.
class DbfWriter {
public:
    DbfWriter(const fs::path& path, std::vector<Field> fields, int rows)
        : m_out(path, std::ios::binary), m_fields(std::move(fields)) {
        int length = 1;
        for (const Field& f : m_fields)
            length += f.width;
        std::string header(32, '\0');
        header[0] = 0x03;
        header[1] = 126;
        header[2] = 1;
        header[3] = 1;
        put(header, 4, static_cast<unsigned>(rows), 4);
        put(header, 8, static_cast<unsigned>(32 + 32 * m_fields.size() + 1), 2);
        put(header, 10, static_cast<unsigned>(length), 2);
        header[29] = 0x65;
        for (const Field& f : m_fields) {
            std::string d(32, '\0');
            d.replace(0, std::string(f.name).size(), f.name);
            d[11] = f.type;
            d[16] = static_cast<char>(f.width);
            d[17] = static_cast<char>(f.decimals);
            header += d;
        }
        header += '\x0D';
        m_out << header;
    }
    ~DbfWriter() { m_out << '\x1A'; }

    void row(const std::vector<std::string>& values) {
        std::string record = " ";
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            const std::string& v = values[i];
            const std::string pad(static_cast<std::size_t>(m_fields[i].width) - v.size(), ' ');
            record += m_fields[i].type == 'N' ? pad + v : v + pad;
        }
        m_out << record;
    }

private:
    static void put(std::string& s, std::size_t at, unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            s[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    std::ofstream m_out;
    std::vector<Field> m_fields;
};

std::string code(int person) {
    return std::to_string(10000 + person);
}

// The report row's place in the plan: every tenth row differs, the next one
// is missing from the sums table.
enum class Plan { Equal, Differing, Missing };
Plan planOf(int row) {
    return row % 10 == 3 ? Plan::Differing : row % 10 == 7 ? Plan::Missing : Plan::Equal;
}

// Paid sums of every row as FillImpTable stores them; the debts here.
constexpr std::int64_t kDebtStr = 345600, kDebtNak = 12300;

void writeTables(const fs::path& data, int persons, int periods) {
    fs::create_directories(data / "ZP" / "ZP_TAB");
    fs::create_directories(data / "ZP" / "ZP_OPER");
    {
        DbfWriter staff(data / "ZP" / "ZP_TAB" / "zp_tab03.dbf",
                        {{"CODE", 'C', 6, 0},
                         {"FIO", 'C', 40, 0},
                         {"ATTR01", 'C', 14, 0},
                         {"DATEP", 'D', 8, 0}},
                        persons);
        for (int p = 0; p < persons; ++p)
            staff.row({code(p), "\x88\xa2\xa0\xad\xae\xa2 \x88\xa2\xa0\xad",
                       quarlex::bench::benchSnils(100000 + p * 7), "20100101"});
    }
    const int rows = persons * periods;
    DbfWriter sums(data / "ZP" / "ZP_OPER" / "zp_sumPF.dbf",
                   {{"CODE", 'C', 6, 0},
                    {"GOD", 'N', 4, 0},
                    {"PERIOD", 'N', 1, 0},
                    {"TAR", 'C', 10, 0},
                    {"UPLS", 'N', 12, 2},
                    {"ZADSK", 'N', 12, 2},
                    {"UPLN", 'N', 12, 2},
                    {"ZADNK", 'N', 12, 2},
                    {"DATEZ", 'D', 8, 0}},
                   rows);
    const std::string osn = "\x8e\x91\x8d"; // "ОСН" in code page 866
    auto money = [](std::int64_t units) { return quarlex::Money::fromUnits(units).toFixed(2); };
    int written = 0;
    for (int p = 0; p < persons; ++p)
        for (int q = 0; q < periods; ++q) {
            const int row = p * periods + q;
            const int year = 2002 + q / 4, quarter = q % 4 + 1;
            if (planOf(row) == Plan::Missing)
                continue;
            const std::int64_t debt = planOf(row) == Plan::Differing ? kDebtStr + 100 : kDebtStr;
            sums.row({code(p), std::to_string(year), std::to_string(quarter), osn, money(12000000),
                      money(debt), money(4000000), money(kDebtNak), "20120101"});
            ++written;
        }
    // Rows of employees that left: the table keeps the report's size.
    for (int k = 0; written < rows; ++k, ++written)
        sums.row({std::to_string(90000 + k % 9000), std::to_string(1990 + k / 9000 % 10), "1", osn,
                  money(100), money(100), money(100), money(100), "20000101"});
}

void fillReport(quarlex::WorkingTables& tables, int persons, int periods) {
    quarlex::resetTable(tables.ResTable);
    quarlex::Table& res = tables.ResTable;
    for (int p = 0; p < persons; ++p)
        for (int q = 0; q < periods; ++q) {
            res.Insert();
            res.setField("SNILS", quarlex::bench::benchSnils(100000 + p * 7));
            res.setField("FIO", "Иванов Иван Иванович");
            res.setField("Cat", "ОСН");
            res.setField("God", 2002 + q / 4);
            res.setField("Period", q % 4 + 1);
            res.setField("StrItog", quarlex::Money::fromUnits(kDebtStr));
            res.setField("NakItog", quarlex::Money::fromUnits(kDebtNak));
            res.Post();
        }
    tables.db.flush();
}

// Every record of the table read once, through shapelib's own file access.
long readWhole(const fs::path& table) {
    DBFHandle h = DBFOpen(table.c_str(), "rb");
    if (!h)
        throw std::runtime_error("cannot open " + table.string());
    long sum = 0;
    const int count = DBFGetRecordCount(h);
    for (int i = 0; i < count; ++i)
        if (const char* tuple = DBFReadTuple(h, i))
            sum += tuple[1];
    DBFClose(h);
    return sum;
}

// The working tables walked once, reading what the run reads of them: a
// figure of what the run costs besides the payroll tables.
long walkWorkingTables(quarlex::WorkingTables& tables) {
    long sum = 0;
    quarlex::Table& res = tables.ResTable;
    for (res.First(); !res.Eof(); res.Next())
        sum += static_cast<long>(res.asString("SNILS").size() + res.asString("Cat").size()) +
               res.asInteger("God") + res.asInteger("Period") + res.asMoney("StrItog").units() % 7 +
               res.asMoney("NakItog").units() % 7;
    quarlex::Table& imp = tables.ImpTable;
    for (imp.First(); !imp.Eof(); imp.Next())
        sum += static_cast<long>(imp.asString("SNILS").size() + imp.asString("Category").size()) +
               imp.asInteger("God") + imp.asInteger("Kvartal") + imp.asMoney("StrUpl").units() % 7 +
               imp.asMoney("NakUpl").units() % 7;
    return sum;
}

int singleRun(const fs::path& dir, int persons, int periods) {
    const fs::path data = dir / ("DATA-" + std::to_string(getpid()));
    fs::remove_all(data);
    writeTables(data, persons, periods);
    // On disk, as the accounting program leaves them: the run's flush at the
    // end must not pay for writing the generated files.
    for (const char* table : {"ZP/ZP_TAB/zp_tab03.dbf", "ZP/ZP_OPER/zp_sumPF.dbf"}) {
        const int fd = ::open((data / table).c_str(), O_RDONLY);
        ::fsync(fd);
        ::close(fd);
    }
    quarlex::WorkingTables tables;
    quarlex::bench::fillImpTable(tables, persons, periods);
    fillReport(tables, persons, periods);
    tables.db.flush(); // as the import and report runs leave the tables: committed

    const fs::path staff = data / "ZP" / "ZP_TAB" / "zp_tab03.dbf";
    const fs::path sums = data / "ZP" / "ZP_OPER" / "zp_sumPF.dbf";
    auto start = Clock::now();
    double cpuStart = cpuSeconds();
    const long touched = readWhole(staff) + readWhole(sums);
    const double floorSeconds = secondsSince(start);
    const double floorCpu = cpuSeconds() - cpuStart;

    start = Clock::now();
    const long walked = walkWorkingTables(tables);
    const double walkSeconds = secondsSince(start);

    quarlex::NumberFormat format;
    quarlex::LinesLog log;
    quarlex::GorvelSyncOptions options;
    options.dataDir = data.string();
    options.overwrite = std::getenv("SYNC_BENCH_CHECK_ONLY") == nullptr;
    start = Clock::now();
    cpuStart = cpuSeconds();
    quarlex::runGorvelSync(tables, options, format, log);
    const double runSeconds = secondsSince(start);
    const double runCpu = cpuSeconds() - cpuStart;

    const long differences = std::count_if(log.lines.begin(), log.lines.end(), [](auto& l) {
        return l.rfind("     ! расхождение", 0) == 0;
    });
    const long missing = std::count_if(log.lines.begin(), log.lines.end(), [](auto& l) {
        return l.rfind("     ! запись не обнаружена", 0) == 0;
    });
    std::cout << "run " << runSeconds << " floor " << floorSeconds << " cpu-run " << runCpu
              << " cpu-floor " << floorCpu << " walk " << walkSeconds << " lines "
              << log.lines.size() << " differences " << differences << " missing " << missing
              << " touched " << (touched + walked) % 10 << "\n";
    fs::remove_all(data);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "--single" && argc == 5)
        return singleRun(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc < 2 || argc > 5) {
        std::cerr << "usage: sync_bench DIR [RUNS [PERSONS [PERIODS]]]\n";
        return 2;
    }
    const std::string dir = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string persons = argc > 3 ? argv[3] : "5000";
    const std::string periods = argc > 4 ? argv[4] : "20";
    fs::create_directories(dir);
    std::vector<double> runTimes, floorTimes, ratios, cpuRatios, walkTimes;
    for (int i = 0; i < runs; ++i) {
        const std::string command = "'/proc/" + std::to_string(getpid()) + "/exe' --single '" +
                                    dir + "' " + persons + " " + periods;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return 1;
        std::string output;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        if (pclose(pipe) != 0) {
            std::cerr << "run failed: " << output;
            return 1;
        }
        std::cout << output;
        std::istringstream in(output);
        std::string word;
        double run = 0, floor = 0, cpuRun = 0, cpuFloor = 0, walk = 0;
        in >> word >> run >> word >> floor >> word >> cpuRun >> word >> cpuFloor >> word >> walk;
        walkTimes.push_back(walk);
        runTimes.push_back(run);
        floorTimes.push_back(floor);
        ratios.push_back(run / floor);
        cpuRatios.push_back(cpuRun / cpuFloor);
    }
    std::printf("%s persons x %s periods, median of %d fresh processes: run %.3f s, floor "
                "(both tables read once) %.3f s, ratio %.2f (goal: at most 3); processor time "
                "ratio %.2f; walking ResTable and ImpTable once %.3f s\n",
                persons.c_str(), periods.c_str(), runs, bench::median(runTimes),
                bench::median(floorTimes), bench::median(ratios), bench::median(cpuRatios),
                bench::median(walkTimes));
    return 0;
}
