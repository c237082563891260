#include "import/ImportRun.h"

#include "import/CorrectiveMerge.h"

namespace quarlex {

void resetImportTables(WorkingTables& tables) {
    resetTable(tables.ImpTable);
    resetTable(tables.CorrTable);
    resetTable(tables.ResTable);
}

void runFolderImport(WorkingTables& tables, const std::string& folder,
                     const SzvImportOptions& options, NumberFormat& format, Prompts& prompts) {
    tables.ResTable.Close();
    importFolder(tables, folder, options, format, prompts);
    applyCorrections(tables, prompts);
    showCategoryColumns(tables, options.categoryMode);
}

// The reconciliation readers (text file and workbook) are not part of this
// build yet: nothing is read and the run reports failure, so the window
// closes both tables and offers only the import commands.
bool ImportReconciliation(WorkingTables& /*tables*/, const std::string& /*path*/,
                          NumberFormat& /*format*/, Prompts& /*prompts*/) {
    return false;
}

void showCategoryColumns(WorkingTables& tables, bool categoryMode) {
    tables.ImpTable.setVisible("Category", categoryMode);
    tables.ResTable.setVisible("Cat", categoryMode);
}

} // namespace quarlex
