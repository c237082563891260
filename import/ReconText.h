#pragma once
// The pension fund's reconciliation text file: Windows-1251 lines, one block
// per person (separator line, person line, period lines each followed by a
// total line), read into ImpTable and ResTable.
#include <optional>
#include <string>
#include <string_view>

#include "import/ReconEntry.h"
#include "tables/NumberFormat.h"

namespace quarlex {

// An amount of the text file: blanks and control characters around it are
// dropped; what remains is digits, at most one ',' and digits, and not empty
// (a lone ',' reads as 0). No sign, no exponent, no blanks inside. Empty when
// the text is no such amount or does not fit.
std::optional<Money> parseReconAmount(std::string_view text);

// The lines of decoded text: CR LF, a lone CR and a lone LF each end a line;
// a NUL ends the text. Calls `line(text, number)` with 1-based numbers.
template <typename Fn> void forEachLine(std::string_view text, Fn&& line) {
    if (const auto nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);
    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        line(text.substr(start, end - start), ++number);
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
            text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

// Reads the file into the tables. ',' is the decimal separator while it is
// read, and the format is restored in every case. An amount that is no
// number, or an unreadable file, raises Error whose text is the message and
// then "\r\nФайл: <path>, строка <n>" (the line only once lines are read).
void importReconciliationText(WorkingTables& tables, const std::string& path, TReconEntry& entry,
                              NumberFormat& format, Prompts& prompts);

} // namespace quarlex
