#include "cli/TableWriter.h"

#include <algorithm>
#include <functional>

namespace quarlex::cli {

namespace {

constexpr int kChunkRows = 1000;

struct Column {
    int index = 0;
    FieldType type = FieldType::AnsiText;
    std::string title;
};

std::vector<Column> resolve(const Table& table, const std::vector<std::string>& names) {
    std::vector<Column> columns;
    for (const std::string& name : names) {
        const int index = table.fieldIndex(name);
        const FieldDef& def = table.def().fields[static_cast<std::size_t>(index)];
        columns.push_back({index, def.type, def.title.empty() ? def.name : def.title});
    }
    return columns;
}

bool isNumeric(FieldType type) {
    return type != FieldType::AnsiText && type != FieldType::UnicodeText;
}

std::string amountText(const Value& value, int decimals, char separator) {
    if (const Money* money = std::get_if<Money>(&value))
        return money->toFixed(decimals, separator);
    if (const std::int64_t* whole = std::get_if<std::int64_t>(&value))
        return Money::fromWhole(*whole).toFixed(decimals, separator);
    return valueToText(value);
}

std::string cellText(const Value& value, FieldType type, int decimals, char separator) {
    if (type == FieldType::Money)
        return amountText(value, decimals, separator);
    return valueToText(value);
}

// What the aligned table shows of a cell.
std::string shownCell(const Value& value, FieldType type, char separator) {
    return visibleText(cellText(value, type, 2, separator));
}

// Calls `visit` for every row, in index order, fetching rows in chunks.
void forEachRow(const Table& table, const std::function<void(const std::vector<Value>&)>& visit) {
    const int count = table.RecordCount();
    for (int first = 0; first < count; first += kChunkRows) {
        for (const std::vector<Value>& row :
             table.readRows(first, std::min(kChunkRows, count - first)))
            visit(row);
    }
}

void writePadded(std::ostream& out, const std::string& text, std::size_t width, bool right,
                 bool last) {
    const std::size_t pad = width - std::min(width, utf8Length(text));
    if (right)
        out << std::string(pad, ' ') << text;
    else
        out << text << (last ? std::string() : std::string(pad, ' '));
}

} // namespace

std::string visibleText(std::string_view text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    auto escaped = [&](unsigned code) {
        out += "\\x";
        out += kHex[code >> 4];
        out += kHex[code & 0xF];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0u;
        if (c < 0x20 || c == 0x7F) {
            escaped(c);
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) { // U+0080..U+009F
            escaped(next);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::size_t utf8Length(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

void writeCsv(const Table& table, const std::vector<std::string>& names, std::ostream& out) {
    const std::vector<Column> columns = resolve(table, names);
    for (std::size_t i = 0; i < names.size(); ++i)
        out << (i ? "," : "") << csvField(names[i]);
    out << '\n';
    forEachRow(table, [&](const std::vector<Value>& row) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Column& c = columns[i];
            out << (i ? "," : "")
                << csvField(cellText(row[static_cast<std::size_t>(c.index)], c.type, 4, '.'));
        }
        out << '\n';
    });
}

void writeAligned(const Table& table, const std::vector<std::string>& names, char separator,
                  std::ostream& out) {
    const std::vector<Column> columns = resolve(table, names);
    std::vector<std::size_t> widths;
    for (const Column& c : columns)
        widths.push_back(utf8Length(c.title));
    // Two passes over the rows rather than a copy of the table: widths first.
    forEachRow(table, [&](const std::vector<Value>& row) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const Column& c = columns[i];
            widths[i] = std::max(
                widths[i],
                utf8Length(shownCell(row[static_cast<std::size_t>(c.index)], c.type, separator)));
        }
    });
    auto writeLine = [&](const std::function<std::string(std::size_t)>& text) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i)
                out << "  ";
            writePadded(out, text(i), widths[i], isNumeric(columns[i].type),
                        i + 1 == columns.size());
        }
        out << '\n';
    };
    writeLine([&](std::size_t i) { return columns[i].title; });
    writeLine([&](std::size_t i) { return std::string(widths[i], '-'); });
    forEachRow(table, [&](const std::vector<Value>& row) {
        writeLine([&](std::size_t i) {
            const Column& c = columns[i];
            return shownCell(row[static_cast<std::size_t>(c.index)], c.type, separator);
        });
    });
}

std::vector<std::string> gridColumns(const Table& table, const std::vector<std::string>& names,
                                     bool categoryMode) {
    std::vector<std::string> shown;
    for (const std::string& name : names) {
        const bool isCategory = name == "Category" || name == "Cat";
        const FieldDef* def = table.def().field(name);
        if (isCategory ? categoryMode : (def && def->visible))
            shown.push_back(name);
    }
    return shown;
}

} // namespace quarlex::cli
