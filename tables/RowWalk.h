#pragma once
// A working table's rows read in index order a chunk at a time, without
// moving its cursor: one seek per chunk rather than one per row. The rows
// hold the values of def().fields in order; the accessors read a column of
// one, a missing value as empty, zero or no money.
#include <algorithm>
#include <string>
#include <vector>

#include "Table.h"

namespace quarlex {

template <typename Fn> void walkRows(const Table& table, Fn&& onRow) {
    constexpr int kChunk = 1024;
    const int count = table.RecordCount();
    for (int first = 0; first < count; first += kChunk)
        for (const std::vector<Value>& row : table.readRows(first, std::min(kChunk, count - first)))
            onRow(row);
}

inline const std::string& textAt(const std::vector<Value>& row, std::size_t i) {
    static const std::string empty;
    const std::string* s = std::get_if<std::string>(&row[i]);
    return s ? *s : empty;
}

inline std::int64_t wholeAt(const std::vector<Value>& row, std::size_t i) {
    const std::int64_t* n = std::get_if<std::int64_t>(&row[i]);
    return n ? *n : 0;
}

inline Money moneyAt(const std::vector<Value>& row, std::size_t i) {
    const Money* m = std::get_if<Money>(&row[i]);
    return m ? *m : Money();
}

// Where a named column sits in the rows.
inline std::size_t columnAt(const Table& table, std::string_view name) {
    return static_cast<std::size_t>(table.fieldIndex(name));
}

} // namespace quarlex
