#pragma once
// The first sheet of an Excel 97-2003 workbook, read through FreeXL, with the
// stored formula results that FreeXL leaves out read from the workbook stream.
// Rows and columns count from 0 within the sheet's used area, which is what
// the reconciliation import calls the records and the fields F1, F2, ...
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tables/Money.h"

namespace quarlex {

class XlsSheet {
public:
    // Opens the workbook and its first sheet. Throws Error naming the file when
    // it cannot be opened, is not a workbook or lists no sheet.
    explicit XlsSheet(const std::string& path);
    ~XlsSheet();
    XlsSheet(const XlsSheet&) = delete;
    XlsSheet& operator=(const XlsSheet&) = delete;

    const std::string& name() const;
    unsigned rowCount() const;
    unsigned columnCount() const;

    // Text as it stands; a number in its plain decimal form; empty for an
    // empty cell.
    std::string text(unsigned row, unsigned column) const;
    // A number rounded to four decimals; 0 for an empty cell; a text that is
    // a plain decimal number. Anything else throws Error (the place is the
    // caller's to add).
    Money money(unsigned row, unsigned column) const;

    // The place as a spreadsheet shows it: the row from 1, the column letters.
    unsigned sheetRow(unsigned row) const;
    std::string sheetColumn(unsigned column) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The cell conversions, open to the tests.

// Shortest decimal form that reads back as the same double, without exponent
// and grouping; a whole number has no decimal part ("12345678").
std::string xlsNumberText(double value);
// The double rounded to four decimals, as the shortest text that reads back
// as it (FreeXL gives 1234.56 as 1234.5599999999999). Throws when it is not
// finite or does not fit.
Money xlsNumberMoney(double value);
// Optional sign, digits with at most one '.' or ',' and digits, blanks around;
// blanks alone are 0. Empty optional for anything else.
std::optional<Money> xlsTextMoney(std::string_view text);

} // namespace quarlex
