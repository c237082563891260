#pragma once
// The declared layout of a working table: its columns with their types,
// titles and widths, and its primary index (none: rows in storage order).
#include <string>
#include <string_view>
#include <vector>

namespace quarlex {

enum class FieldType {
    AnsiText,    // 8-bit text of the system code page; kept as UTF-8 here
    UnicodeText, // Unicode text
    SmallInt,    // 16-bit integer: -32768 to 32767
    Integer,     // 32-bit integer
    Money,       // ten-thousandths in a 64-bit integer
};

inline bool isText(FieldType t) {
    return t == FieldType::AnsiText || t == FieldType::UnicodeText;
}

// Names of tables and columns are ASCII and match in any letter case. Only
// A-Z fold, whatever the process locale: a byte of a UTF-8 letter never does.
bool sameName(std::string_view a, std::string_view b);
std::string upperName(std::string_view name);

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Integer;
    int size = 0;         // text columns: width in characters; longer values are cut
    std::string title;    // grid title; empty: the name
    int displayWidth = 0; // grid width in characters; 0: the column's default
    bool visible = true;  // shown in the grid bound to the table
};

struct TableDef {
    std::string name;
    std::vector<FieldDef> fields;
    std::string indexName;                // empty: no primary index
    std::vector<std::string> indexFields; // unique, in this order

    const FieldDef* field(std::string_view name) const; // any letter case; null if absent
};

} // namespace quarlex
