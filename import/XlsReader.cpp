#include "import/XlsReader.h"

#include <freexl.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "import/XlsSheetExtras.h"
#include "tables/Error.h"
#include "tables/MessageText.h"

namespace quarlex {

namespace {

struct FreexlClose {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using FreexlHandle = std::unique_ptr<const void, FreexlClose>;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

[[noreturn]] void notANumber(std::string_view text) {
    throw Error(notAnAmount(text));
}

Money intMoney(int value) {
    return Money::fromUnits(std::int64_t(value) * Money::kScale);
}

[[noreturn]] void notAWorkbook(const std::string& path, const std::string& why) {
    throw Error("File \"" + path + "\" is not an Excel 97-2003 workbook" +
                (why.empty() ? std::string() : ": " + why));
}

// FreeXL reads through fopen: say what is wrong with the path before it does,
// since it reports a missing file and a folder alike.
void checkReadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw Error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw Error("Cannot open file \"" + path + "\". It is not a regular file");
}

FreexlHandle openWorkbook(const std::string& path) {
    checkReadable(path);
    const void* raw = nullptr;
    int rc = freexl_open(path.c_str(), &raw);
    FreexlHandle handle(raw); // closed also when the open failed
    if (rc == FREEXL_FILE_NOT_FOUND)
        throw Error("Cannot open file \"" + path + "\"");
    if (rc == FREEXL_INSUFFICIENT_MEMORY)
        throw Error("Not enough memory to read the workbook \"" + path + "\"");
    if (rc != FREEXL_OK)
        notAWorkbook(path, "FreeXL error " + std::to_string(rc));
    if (!handle)
        notAWorkbook(path, "FreeXL gave no workbook");
    unsigned password = 0;
    if (freexl_get_info(handle.get(), FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
        password == FREEXL_BIFF_OBFUSCATED)
        throw Error("The workbook \"" + path + "\" is protected by a password");
    return handle;
}

std::string columnLetters(unsigned column) {
    std::string letters;
    for (unsigned n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), char('A' + (n - 1) % 26));
    return letters;
}

} // namespace

std::string xlsNumberText(double value) {
    if (value == 0)
        return "0"; // also for -0
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec != std::errc())
        return std::to_string(value);
    return std::string(buf, end);
}

Money xlsNumberMoney(double value) {
    // Most amounts lie within a thousandth of a whole count of ten-thousandths.
    // Below 1e11 the shortest decimal form is then within 0.15 units of the
    // scaled value, far from a half, so both round to the same count.
    if (std::fabs(value) < 1e11) {
        double scaled = value * double(Money::kScale);
        double whole = std::nearbyint(scaled);
        if (std::fabs(scaled - whole) < 1e-3)
            return Money::fromUnits(static_cast<std::int64_t>(whole));
    }
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    std::string_view shortest(buf, ec == std::errc() ? std::size_t(end - buf) : 0);
    std::optional<Money> m = std::isfinite(value) ? Money::parse(shortest) : std::nullopt;
    if (!m)
        notANumber(std::isfinite(value) ? xlsNumberText(value) : std::string(shortest));
    return *m;
}

std::optional<Money> xlsTextMoney(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    std::string s(text.substr(b, e - b));
    if (s.empty())
        return Money();
    std::size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
    bool digits = false, separator = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            digits = true;
        } else if ((s[i] == '.' || s[i] == ',') && !separator) {
            separator = true;
            s[i] = '.';
        } else {
            return std::nullopt;
        }
    }
    if (!digits)
        return std::nullopt;
    return Money::parse(s);
}

struct XlsSheet::Impl {
    FreexlHandle handle;
    std::string name;
    unsigned firstRow = 0, firstColumn = 0;
    unsigned rows = 0, columns = 0; // of the used area
    SheetExtras extras;

    FreeXL_CellValue cell(unsigned row, unsigned column) const {
        FreeXL_CellValue v{};
        if (row >= rows || column >= columns) {
            v.type = FREEXL_CELL_NULL;
            return v;
        }
        int rc = freexl_get_cell_value(handle.get(), firstRow + row,
                                       static_cast<unsigned short>(firstColumn + column), &v);
        if (rc != FREEXL_OK)
            throw Error("The cell cannot be read (FreeXL error " + std::to_string(rc) + ")");
        return v;
    }
    const FormulaResult* formula(unsigned row, unsigned column) const {
        return extras.formulas.empty() ? nullptr
                                       : extras.formulaAt(firstRow + row, firstColumn + column);
    }
};

XlsSheet::XlsSheet(const std::string& path) : m_impl(std::make_unique<Impl>()) {
    Impl& m = *m_impl;
    m.handle = openWorkbook(path);
    unsigned sheets = 0;
    if (freexl_get_info(m.handle.get(), FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK ||
        sheets == 0)
        throw Error("The workbook \"" + path + "\" lists no sheet");
    const char* name = nullptr;
    if (freexl_get_worksheet_name(m.handle.get(), 0, &name) != FREEXL_OK ||
        freexl_select_active_worksheet(m.handle.get(), 0) != FREEXL_OK)
        notAWorkbook(path, "its first sheet cannot be read");
    m.name = name ? name : "";
    unsigned rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(m.handle.get(), &rows, &columns) != FREEXL_OK)
        notAWorkbook(path, "the size of its first sheet cannot be read");

    m.extras = readSheetExtras(path, m.name);
    // A corner outside what FreeXL counts is not believed.
    if (m.extras.firstRow <= rows && m.extras.firstColumn <= columns) {
        m.firstRow = m.extras.firstRow;
        m.firstColumn = m.extras.firstColumn;
    }
    m.rows = rows - m.firstRow;
    m.columns = columns - m.firstColumn;
}

XlsSheet::~XlsSheet() = default;

const std::string& XlsSheet::name() const {
    return m_impl->name;
}
unsigned XlsSheet::rowCount() const {
    return m_impl->rows;
}
unsigned XlsSheet::columnCount() const {
    return m_impl->columns;
}
unsigned XlsSheet::sheetRow(unsigned row) const {
    return m_impl->firstRow + row + 1;
}
std::string XlsSheet::sheetColumn(unsigned column) const {
    return columnLetters(m_impl->firstColumn + column);
}

std::string XlsSheet::text(unsigned row, unsigned column) const {
    FreeXL_CellValue v = m_impl->cell(row, column);
    switch (v.type) {
    case FREEXL_CELL_INT:
        return std::to_string(v.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return xlsNumberText(v.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return v.value.text_value ? v.value.text_value : "";
    default:
        break;
    }
    const FormulaResult* f = m_impl->formula(row, column);
    if (!f)
        return "";
    switch (f->kind) {
    case FormulaResult::Number:
        return xlsNumberText(f->number);
    case FormulaResult::Boolean:
        return f->number != 0 ? "TRUE" : "FALSE";
    case FormulaResult::Unreadable:
        throw Error("The stored result of the formula cannot be read");
    default:
        return f->text;
    }
}

Money XlsSheet::money(unsigned row, unsigned column) const {
    FreeXL_CellValue v = m_impl->cell(row, column);
    switch (v.type) {
    case FREEXL_CELL_INT:
        return intMoney(v.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return xlsNumberMoney(v.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME: {
        std::string_view text = v.value.text_value ? v.value.text_value : "";
        std::optional<Money> m = xlsTextMoney(text);
        if (!m)
            notANumber(text);
        return *m;
    }
    default:
        break;
    }
    const FormulaResult* f = m_impl->formula(row, column);
    if (!f)
        return Money();
    switch (f->kind) {
    case FormulaResult::Number:
        return xlsNumberMoney(f->number);
    case FormulaResult::Empty:
        return Money();
    case FormulaResult::Text: {
        std::optional<Money> m = xlsTextMoney(f->text);
        if (!m)
            notANumber(f->text);
        return *m;
    }
    case FormulaResult::Boolean:
        notANumber(f->number != 0 ? "TRUE" : "FALSE");
    case FormulaResult::ErrorValue:
        notANumber(f->text);
    default:
        throw Error("The stored result of the formula cannot be read");
    }
}

} // namespace quarlex
