#pragma once
// The debt report run: cumulative debts per person, category and period from
// ImpTable into ResTable, through the statements run by UpdQ and RepQ and
// BatchMove. TmpTable and CatTable exist only during the run.
#include "tables/WorkingTables.h"

namespace quarlex {

struct ReportOptions {
    bool perPeriod = true; // LastCB checked: every period, otherwise the latest only
};

// Resets ResTable, runs the statements and opens ResTable. On an error the
// temporary tables are deleted and the error propagates (ResTable keeps the
// rows appended so far and stays closed).
void runReport(WorkingTables& tables, const ReportOptions& options);

// The totals statement for one category and one period, in the engine's
// dialect, with the category as a quoted literal.
std::string totalsStatement(int god, int kvartal, const std::string& category, int period);

// A ResTable row is painted red when either total is below 0.
bool isOverpaidRow(Money strItog, Money nakItog);

} // namespace quarlex
