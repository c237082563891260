#include "import/ReconWorkbook.h"

#include "tables/Error.h"

namespace quarlex {

// Placeholder until the workbook reader lands.
WorkbookImportResult importReconciliationWorkbook(WorkingTables&, const std::string& path,
                                                  TReconEntry&, Prompts&) {
    throw Error("The workbook reader is not available yet.\r\nФайл: " + path);
}

} // namespace quarlex
