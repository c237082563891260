#pragma once
// The synchronisation run: checks that the DATA folder holds the accounting
// program's tables, then compares every ResTable row with its row of the sums
// table zp_sumPF.dbf and logs each difference; in overwrite mode it rewrites
// the rows that differ and appends the rows that are missing.
#include <string>

#include "sync/SyncLog.h"
#include "tables/NumberFormat.h"
#include "tables/WorkingTables.h"

namespace quarlex {

struct GorvelSyncOptions {
    std::string dataDir;       // the DATA folder
    bool categoryMode = false; // CategoryCB: such a run is refused
    bool overwrite = false;    // OverwriteCB
    char separator = '.';      // SeparatorCB
};

// One run; lines reach `log` as they are produced (it is emptied first).
// From the opening of the tables to the end, the decimal separator of
// `format` is the run's, and the one in force before is put back in every
// case. An error with the tables ends the run with Error; the log keeps its
// lines, rows posted before stay, the tables are closed.
void runGorvelSync(WorkingTables& tables, const GorvelSyncOptions& options, NumberFormat& format,
                   SyncLog& log);

// "%f" of the log: two decimals, the separator in force, '-' when negative.
std::string logAmount(Money amount, char separator);

// The period under which the sums table keeps a report quarter: in 2010 the
// first quarter is kept as 2 and the second as 4.
int targetPeriod(int year, int quarter);

} // namespace quarlex
