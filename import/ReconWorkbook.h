#pragma once
// The reconciliation workbook (Excel 97-2003): the first sheet, recognised as
// the cumulative sums sheet (rows into ImpTable and ResTable) or the insurer
// data sheet (rows into ImpTable, then the report run builds ResTable).
#include <string>

#include "import/ReconEntry.h"

namespace quarlex {

struct WorkbookImportResult {
    bool imported = false;   // false: the layout is not supported (after its message)
    bool lastTicked = false; // the insurer data sheet ticked the per-period mode and ran the report
};

// Errors name the file, and the sheet and row where one applies.
WorkbookImportResult importReconciliationWorkbook(WorkingTables& tables, const std::string& path,
                                                  TReconEntry& entry, Prompts& prompts);

} // namespace quarlex
