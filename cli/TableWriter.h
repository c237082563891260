#pragma once
// Printing a working table for the command-line tool: CSV for scripts and
// aligned columns for a person to read. Rows come in the table's own order.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tables/Table.h"

namespace quarlex::cli {

// RFC 4180: quoted when it holds a comma, a double quote, CR or LF; inner
// quotes doubled.
std::string csvField(std::string_view text);

// Header line of the column names, then one line per row, LF line ends;
// amounts with exactly four decimals and '.'.
void writeCsv(const Table& table, const std::vector<std::string>& columns, std::ostream& out);

// The grid's titles as headers, columns padded to their widest cell counted
// in characters; numbers right-aligned, amounts with two decimals and the
// given decimal separator.
void writeAligned(const Table& table, const std::vector<std::string>& columns,
                  char decimalSeparator, std::ostream& out);

// Of `columns`, those that the grid bound to the table shows: the declared
// visible ones, the category column ("Category", "Cat") only in category mode.
std::vector<std::string> gridColumns(const Table& table, const std::vector<std::string>& columns,
                                     bool categoryMode);

// Text for a terminal: control characters (C0, DEL and the C1 range, which
// holds terminal escapes) shown as \xNN, so that no value can drive the
// terminal. CSV output stays exact and does not use this.
std::string visibleText(std::string_view text);

// Characters (not bytes) of UTF-8 text.
std::size_t utf8Length(std::string_view text);

} // namespace quarlex::cli
