#include "import/ImportRun.h"

#include "import/CorrectiveMerge.h"
#include "import/ReconText.h"
#include "import/ReconWorkbook.h"

namespace quarlex {

namespace {

// The Category column of ImpTable and Cat of ResTable are shown exactly in
// category mode.
void showCategoryColumns(WorkingTables& tables, bool categoryMode) {
    tables.ImpTable.setVisible("Category", categoryMode);
    tables.ResTable.setVisible("Cat", categoryMode);
}

} // namespace

void resetImportTables(WorkingTables& tables) {
    resetTable(tables.ImpTable);
    resetTable(tables.CorrTable);
    resetTable(tables.ResTable);
}

bool ImportReconciliation(WorkingTables& tables, const std::string& file, TFileType fileType,
                          NumberFormat& format, Prompts& prompts, bool& lastTicked) {
    lastTicked = false;
    TReconEntry entry;
    switch (fileType) {
    case ftTxt:
        importReconciliationText(tables, file, entry, format, prompts);
        return true;
    case ftXls: {
        const WorkbookImportResult r = importReconciliationWorkbook(tables, file, entry, prompts);
        lastTicked = r.lastTicked;
        return r.imported;
    }
    case ftNone:
        break;
    }
    return false;
}

ImportRunResult runImport(WorkingTables& tables, const ImportSource& source,
                          const ImportRunOptions& options, NumberFormat& format, Prompts& prompts) {
    ImportRunResult result;
    result.perPeriod = options.perPeriod;
    resetImportTables(tables);
    if (!source.dir.empty()) {
        tables.ResTable.Close(); // blank until the next report run
        importFolder(tables, source.dir, SzvImportOptions{options.categoryMode}, format, prompts);
        applyCorrections(tables, prompts);
        showCategoryColumns(tables, options.categoryMode);
        result.road = ImportRunResult::Road::Folder;
    } else if (!source.file.empty()) {
        bool lastTicked = false;
        result.imported =
            ImportReconciliation(tables, source.file, source.fileType, format, prompts, lastTicked);
        result.reportBuilt = lastTicked;
        showCategoryColumns(tables, options.categoryMode);
        result.perPeriod = true;
        tables.ImpTable.setActive(result.imported);
        tables.ResTable.setActive(result.imported);
        result.road = ImportRunResult::Road::Reconciliation;
    }
    // What the run stored is committed with it: a later command's failure
    // cannot take it along.
    tables.db.flush();
    return result;
}

} // namespace quarlex
