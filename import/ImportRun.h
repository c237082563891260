#pragma once
// The import run that every import command ends in: the table resets, the
// folder or file import, the table activation and the column visibility. The
// window adds the drawing suspension and mirrors the result in its command
// states; the command-line tool prints what the tables then hold.
#include <string>

#include "import/ReconEntry.h"
#include "import/SzvImport.h"

namespace quarlex {

// What the run imports: a folder of SZV-6 files when `dir` is set, otherwise
// the reconciliation file `file` of kind `fileType`.
struct ImportSource {
    std::string dir;             // FDir
    std::string file;            // FFile
    TFileType fileType = ftNone; // FFileType
};

struct ImportRunOptions {
    bool categoryMode = false; // CategoryCB
    bool perPeriod = true;     // LastCB
};

struct ImportRunResult {
    enum class Road { None, Folder, Reconciliation };
    Road road = Road::None;
    // The reconciliation import read its file to the end; the tables are open
    // exactly then (a folder import leaves it false).
    bool imported = false;
    // The per-period mode after the run: a reconciliation import ticks it.
    bool perPeriod = true;
    // The insurer data workbook ran the report itself (ResTable is built).
    bool reportBuilt = false;
};

// Resets ImpTable, CorrTable and ResTable in this order, then imports. A
// source with neither a folder nor a file only resets. Errors propagate with
// the rows stored so far kept.
ImportRunResult runImport(WorkingTables& tables, const ImportSource& source,
                          const ImportRunOptions& options, NumberFormat& format, Prompts& prompts);

// Resets ImpTable, CorrTable and ResTable in this order.
void resetImportTables(WorkingTables& tables);

// The reconciliation import of `file` by its kind; true when it was read to
// its end, false for ftNone and for a workbook of no supported layout.
// `lastTicked` tells whether the workbook ticked the per-period mode.
bool ImportReconciliation(WorkingTables& tables, const std::string& file, TFileType fileType,
                          NumberFormat& format, Prompts& prompts, bool& lastTicked);

} // namespace quarlex
