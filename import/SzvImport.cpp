#include "import/SzvImport.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <malloc.h>
#include <new>
#include <optional>
#include <utility>

#include "import/FileBytes.h"
#include "import/StoreRow.h"
#include "tables/Error.h"
#include "tables/MessageText.h"
#include "tables/Money.h"
#include "tables/WholeNumber.h"
#include "xml/CodePage.h"
#include "xml/UXMLHelper.h"

namespace quarlex {

namespace {

constexpr std::string_view kRecordTag = "СВЕДЕНИЯ_О_СТРАХОВЫХ_ВЗНОСАХ_И_СТРАХОВОМ_СТАЖЕ_ЗЛ";
constexpr std::string_view kInitialKind = "ИСХОДНАЯ";
constexpr std::string_view kCorrectiveKind = "КОРРЕКТИРУЮЩАЯ";

// ---- wildcard names -------------------------------------------------------

// The characters of a UTF-8 name, Latin letters folded to lower case; a byte
// that starts no valid sequence stands for itself.
std::u32string foldedChars(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = (unsigned char)s[i];
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = len != 0 && i + len <= s.size();
        for (size_t k = 1; valid && k < len; ++k)
            valid = ((unsigned char)s[i + k] >> 6) == 2;
        if (!valid) {
            out.push_back(0xDC00u + c);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k < len; ++k)
            cp = (cp << 6) | ((unsigned char)s[i + k] & 0x3F);
        if (cp >= 'A' && cp <= 'Z')
            cp += 'a' - 'A';
        out.push_back(cp);
        i += len;
    }
    return out;
}

bool wildcardMatch(std::string_view name, std::string_view pattern) {
    std::u32string n = foldedChars(name);
    std::u32string p = foldedChars(pattern);
    size_t ni = 0, pi = 0;
    size_t starP = std::u32string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
            ++ni;
            ++pi;
        } else if (pi < p.size() && p[pi] == U'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*')
        ++pi;
    return pi == p.size();
}

// Memory freed after one file serves the next: without this, glibc returns
// the pages of every large block and of the heap's top to the system at once,
// and each file of a folder faults them in again.
void keepFreedMemoryForReuse() {
#ifdef __GLIBC__
    static const bool done = [] {
        mallopt(M_MMAP_THRESHOLD, 32 << 20); // the most glibc takes
        mallopt(M_TRIM_THRESHOLD, 512 << 20);
        return true;
    }();
    (void)done;
#endif
}

// ---- conversions ----------------------------------------------------------

int toInteger(const std::string& text) {
    std::optional<int> v = parseInt32(text);
    if (!v)
        throw Error(notAnInteger(text));
    return *v;
}

Money toMoney(const std::string& text, char decimalSeparator) {
    std::optional<Money> m = Money::parse(text, decimalSeparator);
    if (!m)
        throw Error(notAnAmount(text));
    return *m;
}

// A paid amount may be left out; one that is written must be a number.
Money toPaidMoney(const std::string& text, char decimalSeparator) {
    if (trimBlanks(text).empty())
        return Money();
    return toMoney(text, decimalSeparator);
}

bool equalsIgnoringLatinCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// ---- one record -----------------------------------------------------------

struct SzvRecord {
    std::string snils, fName, mName, lName;
    int year = 0, quarter = 0;
    int correctedYear = 0, correctedQuarter = 0;
    std::string kind, category;
    Money strNach, strUpl, nakNach, nakUpl;
};

// The reads and conversions in the order the record lists them, so that the
// first faulty value is the one reported.
SzvRecord readRecord(const TXMLParser& parser, const SzvImportOptions& options,
                     char decimalSeparator) {
    SzvRecord r;
    r.snils = parser.GetSubsetValue("СтраховойНомер");
    r.fName = parser.GetSubsetValue("Имя");
    r.mName = parser.GetSubsetValue("Отчество");
    r.lName = parser.GetSubsetValue("Фамилия");
    r.year = toInteger(parser.GetSubsetSubValue("ОтчетныйПериод", "Год"));
    r.quarter = toInteger(parser.GetSubsetSubValue("ОтчетныйПериод", "Квартал"));
    r.correctedYear =
        parseInt32(parser.GetSubsetSubValue("КорректируемыйОтчетныйПериод", "Год")).value_or(0);
    r.correctedQuarter =
        parseInt32(parser.GetSubsetSubValue("КорректируемыйОтчетныйПериод", "Квартал")).value_or(0);
    r.kind = parser.GetSubsetValue("ТипСведений");
    r.category = options.categoryMode ? parser.GetSubsetValue("КодКатегории") : "ОСН";
    r.strNach =
        toMoney(parser.GetSubsetSubValue("СуммаВзносовНаСтраховую", "Начислено"), decimalSeparator);
    r.strUpl = toPaidMoney(parser.GetSubsetSubValue("СуммаВзносовНаСтраховую", "Уплачено"),
                           decimalSeparator);
    r.nakNach = toMoney(parser.GetSubsetSubValue("СуммаВзносовНаНакопительную", "Начислено"),
                        decimalSeparator);
    r.nakUpl = toPaidMoney(parser.GetSubsetSubValue("СуммаВзносовНаНакопительную", "Уплачено"),
                           decimalSeparator);
    return r;
}

std::string rowMessage(const SzvRecord& r) {
    return "Стр.Номер: " + quotedText(r.snils) + "\r\nФамилия: " + quotedText(r.lName) +
           "\r\nИмя: " + quotedText(r.fName) + "\r\nОтчество: " + quotedText(r.mName) +
           "\r\nГод: " + std::to_string(r.year) + "\r\nКвартал: " + std::to_string(r.quarter) +
           "\r\nКатегория: " + quotedText(r.category);
}

// Keys in 64 bits: a year beyond the columns' range is refused by the table
// rather than wrapping around.
std::int64_t key(int year, int quarter) {
    return std::int64_t(year) * 10 + quarter;
}

// What a column of the import tables takes from a record.
enum class Source {
    None,
    Snils,
    FName,
    MName,
    LName,
    Year,
    Quarter,
    Period,
    KPeriod,
    Category,
    StrNach,
    StrUpl,
    StrDolg,
    NakNach,
    NakUpl,
    NakDolg,
};

Source sourceOf(std::string_view field) {
    static constexpr std::pair<std::string_view, Source> kSources[] = {
        {"SNILS", Source::Snils},     {"FName", Source::FName},     {"MName", Source::MName},
        {"LName", Source::LName},     {"God", Source::Year},        {"Kvartal", Source::Quarter},
        {"Period", Source::Period},   {"KPeriod", Source::KPeriod}, {"Category", Source::Category},
        {"StrNach", Source::StrNach}, {"StrUpl", Source::StrUpl},   {"StrDolg", Source::StrDolg},
        {"NakNach", Source::NakNach}, {"NakUpl", Source::NakUpl},   {"NakDolg", Source::NakDolg},
    };
    for (const auto& [name, source] : kSources)
        if (field == name)
            return source;
    return Source::None;
}

// The columns of a table with their sources, worked out once per file rather
// than by name comparisons for every field of every record.
std::vector<std::pair<const std::string*, Source>> sourcesOf(const Table& table) {
    std::vector<std::pair<const std::string*, Source>> out;
    for (const FieldDef& f : table.def().fields)
        if (Source s = sourceOf(f.name); s != Source::None)
            out.emplace_back(&f.name, s);
    return out;
}

void setFromRecord(Table& table, std::string_view field, Source source, const SzvRecord& r) {
    switch (source) {
    case Source::None:
        return;
    case Source::Snils:
        return table.setField(field, std::string_view(r.snils));
    case Source::FName:
        return table.setField(field, std::string_view(r.fName));
    case Source::MName:
        return table.setField(field, std::string_view(r.mName));
    case Source::LName:
        return table.setField(field, std::string_view(r.lName));
    case Source::Year:
        return table.setField(field, std::int64_t(r.year));
    case Source::Quarter:
        return table.setField(field, std::int64_t(r.quarter));
    case Source::Period:
        return table.setField(field, key(r.year, r.quarter));
    case Source::KPeriod:
        return table.setField(field, key(r.correctedYear, r.correctedQuarter));
    case Source::Category:
        return table.setField(field, std::string_view(r.category));
    case Source::StrNach:
        return table.setField(field, r.strNach);
    case Source::StrUpl:
        return table.setField(field, r.strUpl);
    case Source::StrDolg:
        return table.setField(field, r.strNach - r.strUpl);
    case Source::NakNach:
        return table.setField(field, r.nakNach);
    case Source::NakUpl:
        return table.setField(field, r.nakUpl);
    case Source::NakDolg:
        return table.setField(field, r.nakNach - r.nakUpl);
    }
}

// A refused row is reported and dropped; the import goes on.
void storeRow(Table& table, const std::vector<std::pair<const std::string*, Source>>& sources,
              const SzvRecord& r, const char* caption, Prompts& prompts) {
    storeRowOrReport(
        table, caption, prompts,
        [&](Table& t) {
            for (const auto& [field, source] : sources)
                setFromRecord(t, *field, source, r);
        },
        [&] { return rowMessage(r); });
}

} // namespace

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec)
        throw Error("Cannot read folder \"" + folder + "\". " + ec.message());
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!wildcardMatch(name, pattern))
            continue;
        std::error_code statEc;
        fs::file_status st = it->status(statEc); // follows links
        // Directories are never files to read, nor are pipes and devices
        // (reading one would block or never end). A dangling link is kept so
        // that its import names it.
        if (fs::is_directory(st) || fs::is_fifo(st) || fs::is_socket(st) || fs::is_block_file(st) ||
            fs::is_character_file(st))
            continue;
        names.push_back(std::move(name));
    }
    if (ec)
        throw Error("Cannot read folder \"" + folder + "\". " + ec.message());
    // The directory's own order varies; the same folder must always be read
    // in the same order.
    std::sort(names.begin(), names.end());
    std::string prefix = folder;
    if (prefix.empty() || prefix.back() != '/')
        prefix += '/';
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names)
        paths.push_back(prefix + name);
    return paths;
}

void ImportXmlFile(WorkingTables& tables, const std::string& path, const SzvImportOptions& options,
                   NumberFormat& format, Prompts& prompts) {
    SzvReadBuffers buffers;
    ImportXmlFile(tables, path, options, format, prompts, buffers);
}

void ImportXmlFile(WorkingTables& tables, const std::string& path, const SzvImportOptions& options,
                   NumberFormat& format, Prompts& prompts, SzvReadBuffers& buffers) {
    DecimalSeparatorGuard separator(format, '.');
    int recordNo = 0; // 1-based number of the record being read; 0 outside the records
    auto where = [&] {
        std::string text = "\r\nФайл: " + path;
        if (recordNo > 0)
            text += ", запись " + std::to_string(recordNo);
        return text;
    };
    try {
        readWholeFile(path, buffers.bytes);
        decodeCp1251(std::string_view(buffers.bytes.data(), buffers.bytes.size()), buffers.text);
        TXMLParser parser(XmlTextInPlace{buffers.text.data(), buffers.text.size(), true}, false, 0);
        int count = parser.InitSubset(kRecordTag);
        const auto impSources = sourcesOf(tables.ImpTable);
        const auto corrSources = sourcesOf(tables.CorrTable);
        for (int i = 0; i < count; ++i) {
            recordNo = i + 1;
            parser.SubsetSetItem(i);
            SzvRecord r = readRecord(parser, options, format.decimalSeparator);
            if (equalsIgnoringLatinCase(r.kind, kInitialKind))
                storeRow(tables.ImpTable, impSources, r, "Ошибка в данных", prompts);
            else if (equalsIgnoringLatinCase(r.kind, kCorrectiveKind))
                storeRow(tables.CorrTable, corrSources, r, "Ошибка в корректирующих данных",
                         prompts);
        }
    } catch (const AssertionFailure&) {
        throw;
    } catch (const Error& e) {
        throw Error(e.what() + where());
    } catch (const std::bad_alloc&) {
        throw Error("Not enough memory to import the file" + where());
    }
}

void importFolder(WorkingTables& tables, const std::string& folder, const SzvImportOptions& options,
                  NumberFormat& format, Prompts& prompts) {
    keepFreedMemoryForReuse();
    SzvReadBuffers buffers; // one pair for the whole folder
    for (const std::string& path : ListFiles(folder, "*.xml"))
        ImportXmlFile(tables, path, options, format, prompts, buffers);
}

} // namespace quarlex
