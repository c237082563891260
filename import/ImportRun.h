#pragma once
// The core of the import run: the table resets and the two import roads.
// The window adds the drawing suspension and the command states around it.
#include <string>

#include "import/SzvImport.h"

namespace quarlex {

// Resets ImpTable, CorrTable and ResTable in this order.
void resetImportTables(WorkingTables& tables);

// Closes ResTable, imports the folder, applies the corrective records and
// shows the category columns exactly in category mode.
void runFolderImport(WorkingTables& tables, const std::string& folder,
                     const SzvImportOptions& options, NumberFormat& format, Prompts& prompts);

// The reconciliation import of a text file or workbook; true on success.
// Not available yet: reads nothing and returns false.
bool ImportReconciliation(WorkingTables& tables, const std::string& path, NumberFormat& format,
                          Prompts& prompts);

// Shows the Category column of ImpTable and Cat of ResTable exactly when on.
void showCategoryColumns(WorkingTables& tables, bool categoryMode);

} // namespace quarlex
