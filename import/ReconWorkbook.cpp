#include "import/ReconWorkbook.h"

#include <memory>
#include <optional>
#include <vector>

#include "import/Pcre2Pattern.h"
#include "import/XlsReader.h"
#include "report/Report.h"
#include "tables/Error.h"
#include "tables/WholeNumber.h"

namespace quarlex {

namespace {

constexpr const char* kSumsTitle = "Суммы ЗЛ нарастающим итогом по организации";
constexpr const char* kInsurerTitle = "Данные в АИС ДПУ по страхователю";
constexpr unsigned kSumsColumns = 18;
constexpr unsigned kInsurerColumns = 9;

// The period cells' digits; the patterns admit at most four.
int number(const Pcre2Pattern& pattern, int group) {
    return parseInt32(pattern.group(group)).value_or(0);
}

// ---- cells, with the place of the read for errors ---------------------------

// Where the import is: the sheet once open, the row, the field being read.
struct Place {
    const XlsSheet* sheet = nullptr;
    bool inRow = false;
    unsigned row = 0;
    unsigned field = 0; // 0: none

    std::string text() const {
        if (!sheet)
            return "";
        std::string p = ", лист " + sheet->name();
        if (inRow)
            p += ", строка " + std::to_string(sheet->sheetRow(row));
        if (field > 0)
            p += ", столбец " + sheet->sheetColumn(field - 1);
        return p;
    }
};

class Cells {
public:
    Cells(const XlsSheet& sheet, Place& place) : m_sheet(sheet), m_place(place) {
        m_place.sheet = &sheet;
    }

    void atRow(unsigned row) {
        m_place.inRow = true;
        m_place.row = row;
    }
    // Fields are F1, F2, ... by position.
    std::string text(unsigned field) {
        m_place.field = field;
        std::string t = m_sheet.text(m_place.row, field - 1);
        m_place.field = 0;
        return t;
    }
    Money money(unsigned field) {
        m_place.field = field;
        Money m = m_sheet.money(m_place.row, field - 1);
        m_place.field = 0;
        return m;
    }

private:
    const XlsSheet& m_sheet;
    Place& m_place;
};

// ---- amounts --------------------------------------------------------------

// ---- SNILS ----------------------------------------------------------------

std::size_t charCount(std::string_view s) {
    std::size_t n = 0;
    for (char c : s)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// Characters [from, from + count) of a UTF-8 text; what lies beyond its end is empty.
std::string chars(std::string_view s, std::size_t from, std::size_t count) {
    std::size_t begin = s.size(), seen = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            continue;
        if (seen == from)
            begin = i;
        if (seen == from + count)
            return std::string(s.substr(begin, i - begin));
        ++seen;
    }
    return begin < s.size() ? std::string(s.substr(begin)) : std::string();
}

std::string padLeft(std::string s, std::size_t width) {
    std::size_t n = charCount(s);
    if (n < width)
        s.insert(0, width - n, '0');
    return s;
}

std::string snils(std::string_view number, const std::string& check) {
    return chars(number, 0, 3) + "-" + chars(number, 3, 3) + "-" + chars(number, 6, 3) + " " +
           check;
}

// ---- the two layouts --------------------------------------------------------

enum class Layout { Unsupported, Sums, Insurer };

Layout layoutOf(unsigned columns, const std::string& title) {
    if (columns == kSumsColumns && title.find(kSumsTitle) != std::string::npos)
        return Layout::Sums;
    if (columns == kInsurerColumns && title.find(kInsurerTitle) != std::string::npos)
        return Layout::Insurer;
    return Layout::Unsupported;
}

void readSums(const XlsSheet& sheet, Cells& cells, WorkingTables& tables, TReconEntry& e,
              Prompts& prompts) {
    Pcre2Pattern period(R"((\d{1})\s(квартал|полугодие)\s(\d{4}))");
    for (unsigned row = 0; row < sheet.rowCount(); ++row) {
        cells.atRow(row);
        const std::string periodText = cells.text(18);
        if (!period.search(periodText))
            continue;
        e.God = number(period, 3);
        e.Kvartal = number(period, 1);
        e.StrNach = cells.money(14);
        e.NakNach = cells.money(16);
        e.StrUpl = cells.money(15);
        e.NakUpl = cells.money(17);
        e.computeDebts();
        e.StrItog = -cells.money(12);
        e.NakItog = -cells.money(13);
        e.LName = cells.text(5);
        e.FName = cells.text(6);
        e.MName = cells.text(7);
        std::string number = padLeft(cells.text(3), 9);
        std::string check = padLeft(cells.text(4), 2);
        e.SNILS = snils(number, check);
        AddImportRow(tables.ImpTable, e, prompts);
        AddResultRow(tables.ResTable, e, prompts);
    }
}

void readInsurer(const XlsSheet& sheet, Cells& cells, WorkingTables& tables, TReconEntry& e,
                 Prompts& prompts) {
    Pcre2Pattern period(R"((\d{4})-([1-4]{1}))");
    for (unsigned row = 0; row < sheet.rowCount(); ++row) {
        cells.atRow(row);
        const std::string periodText = cells.text(1);
        if (!period.search(periodText))
            continue;
        e.God = number(period, 1);
        e.Kvartal = number(period, 2);
        e.StrNach = cells.money(4);
        e.NakNach = cells.money(5);
        e.StrUpl = cells.money(6);
        e.NakUpl = cells.money(7);
        e.computeDebts();
        e.LName.clear();
        e.FName.clear();
        e.MName.clear();
        // A number cell loses the leading zero of an 11-digit SNILS: put it back.
        std::string number = padLeft(cells.text(2), 11);
        e.SNILS = snils(number, chars(number, 9, 2));
        AddImportRow(tables.ImpTable, e, prompts);
    }
}

} // namespace

WorkbookImportResult importReconciliationWorkbook(WorkingTables& tables, const std::string& path,
                                                  TReconEntry& entry, Prompts& prompts) {
    entry.Category = kReconCategory;
    WorkbookImportResult result;
    std::unique_ptr<XlsSheet> open; // outlives the error handler, which names the place
    Place place;
    try {
        open = std::make_unique<XlsSheet>(path);
        const XlsSheet& sheet = *open;
        Cells cells(sheet, place);
        std::string title;
        if (sheet.rowCount() > 0 && sheet.columnCount() > 0) {
            cells.atRow(0);
            title = cells.text(1);
        }
        switch (layoutOf(sheet.columnCount(), title)) {
        case Layout::Unsupported:
            prompts.errorMessage("Неподдерживаемый формат данных xls файла");
            return result;
        case Layout::Sums:
            readSums(sheet, cells, tables, entry, prompts);
            result.imported = true;
            return result;
        case Layout::Insurer:
            result.lastTicked = true;
            readInsurer(sheet, cells, tables, entry, prompts);
            break;
        }
    } catch (const AssertionFailure&) {
        throw;
    } catch (const Error& e) {
        throw Error(e.what() + ("\r\nФайл: " + path) + place.text());
    }
    // The insurer data sheet carries no results: the report run builds them
    // from the rows just read, in per-period mode, as the report command does.
    place = Place{};
    open.reset();
    tables.ResTable.Close();
    runReport(tables, ReportOptions{true});
    result.imported = true;
    return result;
}

} // namespace quarlex
