#pragma once
// What FreeXL does not deliver for a sheet of an Excel 97-2003 workbook: the
// results that formula cells store (FreeXL 1.0.6 reports every formula cell
// as empty) and the top left corner of the sheet's used area (FreeXL counts
// rows and columns from A1). Both are read from the sheet's records in the
// workbook stream.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quarlex {

struct FormulaResult {
    enum Kind {
        Number,
        Text,
        Empty,      // an empty text result
        Boolean,    // `number` is 0 or 1
        ErrorValue, // `text` is the error as a cell shows it ("#DIV/0!")
        Unreadable, // a text result of a BIFF5 workbook (code-page text)
    };
    Kind kind = Empty;
    double number = 0;
    std::string text; // UTF-8
};

struct SheetExtras {
    // Corner of the used area, 0-based; 0 where the sheet does not say.
    unsigned firstRow = 0;
    unsigned firstColumn = 0;
    // Stored formula results by absolute row and column.
    std::unordered_map<std::uint64_t, FormulaResult> formulas;

    const FormulaResult* formulaAt(unsigned row, unsigned column) const {
        auto it = formulas.find(key(row, column));
        return it == formulas.end() ? nullptr : &it->second;
    }
    static std::uint64_t key(unsigned row, unsigned column) {
        return (std::uint64_t(row) << 16) | column;
    }
};

// From the records of a whole workbook stream ("Workbook" of BIFF8, "Book" of
// BIFF5): the sheet named `sheetName` (UTF-8), or the first worksheet when no
// name matches. Throws Error on a damaged or encrypted stream.
SheetExtras parseSheetExtras(std::string_view stream, std::string_view sheetName);

// Opens the workbook's compound file and parses its workbook stream.
SheetExtras readSheetExtras(const std::string& path, std::string_view sheetName);

} // namespace quarlex
