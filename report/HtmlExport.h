#pragma once
// The HTML report: ResTable as one table in one of four layouts, written as
// UTF-8 with a byte order mark and CR LF line ends to "pf_report.html".
#include <string>
#include <vector>

#include "tables/NumberFormat.h"
#include "tables/Table.h"

namespace quarlex {

struct HtmlOptions {
    bool perPeriod = true;     // LastCB
    bool categoryMode = false; // CategoryCB
};

// The page's lines (without line ends). Moves the cursor of ResTable; leaves
// its last row current.
std::vector<std::string> buildHtmlReport(Table& resTable, const HtmlOptions& options,
                                         const NumberFormat& format);

// FDir when not empty, otherwise the folder of FFile; + "pf_report.html".
std::string htmlReportPath(const std::string& dir, const std::string& file);

// Writes the lines whole (see AtomicFile.h); raises Error naming the file
// when it cannot be written.
void writeHtmlFile(const std::string& path, const std::vector<std::string>& lines);

// "&", "<", ">" and '"' escaped, for every text cell.
std::string htmlEscape(std::string_view text);

} // namespace quarlex
