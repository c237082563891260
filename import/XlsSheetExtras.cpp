#include "import/XlsSheetExtras.h"

#include <gsf/gsf.h>

#include <bit>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "tables/Error.h"

namespace quarlex {

namespace {

// ---- BIFF records -------------------------------------------------------

constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kFilePass = 0x002F;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint16_t kString = 0x0207;
constexpr std::uint16_t kArray = 0x0221;
constexpr std::uint16_t kTable = 0x0236;
constexpr std::uint16_t kShrFmla = 0x04BC;
constexpr std::uint16_t kBof = 0x0809;

constexpr std::uint16_t kBiff8 = 0x0600;

[[noreturn]] void damaged(const std::string& what) {
    throw Error("The workbook stream is damaged: " + what);
}

std::uint16_t u16(const unsigned char* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}
std::uint32_t u32(const unsigned char* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
double f64(const unsigned char* p) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | p[i];
    return std::bit_cast<double>(bits);
}

struct Record {
    std::uint16_t id = 0;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// Walks the records of the stream from a given offset.
class RecordCursor {
public:
    RecordCursor(std::string_view stream, std::size_t offset) : m_stream(stream), m_pos(offset) {}

    std::optional<Record> next() {
        if (m_pos >= m_stream.size())
            return std::nullopt;
        if (m_stream.size() - m_pos < 4)
            damaged("a record header runs past the end");
        auto* p = reinterpret_cast<const unsigned char*>(m_stream.data()) + m_pos;
        Record r{u16(p), p + 4, u16(p + 2)};
        if (m_stream.size() - m_pos - 4 < r.size)
            damaged("a record runs past the end");
        m_pos += 4 + r.size;
        return r;
    }
    // The record that next() would return, without moving on.
    std::optional<Record> peek() const {
        RecordCursor copy = *this;
        return copy.next();
    }

private:
    std::string_view m_stream;
    std::size_t m_pos;
};

// ---- text ---------------------------------------------------------------

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// BIFF8 characters: one byte each (the low byte of the code) when compressed,
// otherwise UTF-16LE code units, which may form surrogate pairs.
class Utf16Text {
public:
    void add(std::uint16_t unit) {
        if (m_high) {
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                appendUtf8(m_text, 0x10000 + ((char32_t(m_high) - 0xD800) << 10) + (unit - 0xDC00));
                m_high = 0;
                return;
            }
            appendUtf8(m_text, 0xFFFD);
            m_high = 0;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF)
            m_high = unit;
        else if (unit >= 0xDC00 && unit <= 0xDFFF)
            appendUtf8(m_text, 0xFFFD);
        else
            appendUtf8(m_text, unit);
    }
    std::string take() {
        if (m_high)
            appendUtf8(m_text, 0xFFFD);
        m_high = 0;
        return std::move(m_text);
    }

private:
    std::string m_text;
    std::uint16_t m_high = 0;
};

// Reads `count` characters starting at data[pos] with the given option byte;
// returns how many it took from this record's bytes.
std::size_t readChars(const Record& r, std::size_t pos, std::size_t count, bool wide,
                      Utf16Text& text) {
    std::size_t taken = 0;
    while (taken < count && pos + (wide ? 2 : 1) <= r.size) {
        text.add(wide ? u16(r.data + pos) : r.data[pos]);
        pos += wide ? 2 : 1;
        ++taken;
    }
    return taken;
}

std::string sheetName(const Record& r, bool biff8) {
    // position (4), visibility (1), type (1), length (1), [options (1)], characters
    if (r.size < 7)
        damaged("a sheet entry is too short");
    std::size_t count = r.data[6];
    if (!biff8)
        return std::string(reinterpret_cast<const char*>(r.data) + 7,
                           std::min<std::size_t>(count, r.size - 7));
    if (r.size < 8)
        damaged("a sheet entry is too short");
    Utf16Text text;
    readChars(r, 8, count, (r.data[7] & 1) != 0, text);
    return text.take();
}

// The text result of a formula: a STRING record, continued in CONTINUE
// records each of which starts with its own option byte.
FormulaResult stringResult(const Record& r, RecordCursor& cursor, bool biff8) {
    FormulaResult result;
    result.kind = FormulaResult::Text;
    if (!biff8) {
        // BIFF5 text is in the workbook's code page, which this reader does
        // not decode: the cell is reported when it is read.
        result.kind = FormulaResult::Unreadable;
        return result;
    }
    if (r.size < 3)
        damaged("a text result is too short");
    std::size_t count = u16(r.data);
    Utf16Text text;
    std::size_t taken = readChars(r, 3, count, (r.data[2] & 1) != 0, text);
    while (taken < count) {
        std::optional<Record> more = cursor.peek();
        if (!more || more->id != kContinue || more->size < 1)
            damaged("a text result is cut short");
        cursor.next();
        taken += readChars(*more, 1, count - taken, (more->data[0] & 1) != 0, text);
    }
    result.text = text.take();
    return result;
}

std::string errorText(unsigned code) {
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    case 0x2A:
        return "#N/A";
    default:
        return "#ERROR!";
    }
}

struct SheetEntry {
    std::uint32_t offset = 0;
    unsigned type = 0; // 0: worksheet
    std::string name;
};

// ---- the walk -----------------------------------------------------------

struct Globals {
    bool biff8 = false;
    std::vector<SheetEntry> sheets;
};

Globals readGlobals(std::string_view stream) {
    RecordCursor cursor(stream, 0);
    std::optional<Record> bof = cursor.next();
    if (!bof || bof->id != kBof || bof->size < 4)
        damaged("it does not start with a beginning-of-file record");
    Globals g;
    g.biff8 = u16(bof->data) == kBiff8;
    while (std::optional<Record> r = cursor.next()) {
        if (r->id == kEof)
            return g;
        if (r->id == kFilePass)
            throw Error("The workbook is encrypted");
        if (r->id == kBoundSheet)
            g.sheets.push_back({u32(r->data), r->data[5], sheetName(*r, g.biff8)});
    }
    damaged("the workbook globals have no end");
}

const SheetEntry* chooseSheet(const Globals& g, std::string_view name) {
    for (const SheetEntry& s : g.sheets)
        if (s.name == name)
            return &s;
    for (const SheetEntry& s : g.sheets)
        if (s.type == 0)
            return &s;
    return nullptr;
}

void readFormula(const Record& r, RecordCursor& cursor, bool biff8, SheetExtras& out) {
    if (r.size < 14)
        damaged("a formula record is too short");
    unsigned row = u16(r.data), column = u16(r.data + 2);
    const unsigned char* value = r.data + 6;
    FormulaResult result;
    result.kind = FormulaResult::Unreadable; // until a result is found
    if (value[6] != 0xFF || value[7] != 0xFF) {
        result.kind = FormulaResult::Number;
        result.number = f64(value);
    } else {
        switch (value[0]) {
        case 0: {
            // The text follows in a STRING record, after any shared-formula,
            // array or table record that belongs to the cell. Without it the
            // cell is reported when it is read.
            while (std::optional<Record> s = cursor.peek()) {
                if (s->id == kShrFmla || s->id == kArray || s->id == kTable) {
                    cursor.next();
                    continue;
                }
                if (s->id == kString) {
                    cursor.next();
                    result = stringResult(*s, cursor, biff8);
                } else {
                    result.kind = FormulaResult::Unreadable;
                }
                break;
            }
            break;
        }
        case 1:
            result.kind = FormulaResult::Boolean;
            result.number = value[2] != 0 ? 1 : 0;
            break;
        case 2:
            result.kind = FormulaResult::ErrorValue;
            result.text = errorText(value[2]);
            break;
        case 3:
            result.kind = FormulaResult::Empty;
            break;
        default:
            break; // a kind of result this reader does not know: Unreadable
        }
    }
    out.formulas[SheetExtras::key(row, column)] = std::move(result);
}

} // namespace

SheetExtras parseSheetExtras(std::string_view stream, std::string_view name) {
    Globals g = readGlobals(stream);
    const SheetEntry* sheet = chooseSheet(g, name);
    SheetExtras out;
    if (!sheet)
        return out;
    RecordCursor cursor(stream, sheet->offset);
    std::optional<Record> bof = cursor.next();
    if (!bof || bof->id != kBof)
        damaged("the sheet \"" + sheet->name + "\" does not start where the workbook says");
    int depth = 1; // charts embedded in the sheet bring their own BOF ... EOF
    while (std::optional<Record> r = cursor.next()) {
        if (r->id == kBof) {
            ++depth;
        } else if (r->id == kEof) {
            if (--depth == 0)
                return out;
        } else if (depth == 1 && r->id == kDimensions) {
            if (g.biff8 && r->size >= 12) {
                out.firstRow = u32(r->data);
                out.firstColumn = u16(r->data + 8);
            } else if (!g.biff8 && r->size >= 8) {
                out.firstRow = u16(r->data);
                out.firstColumn = u16(r->data + 4);
            }
        } else if (depth == 1 && r->id == kFormula) {
            readFormula(*r, cursor, g.biff8, out);
        }
    }
    damaged("the sheet \"" + sheet->name + "\" has no end");
}

// ---- the compound file --------------------------------------------------

namespace {

struct GObjectUnref {
    void operator()(void* p) const {
        if (p)
            g_object_unref(p);
    }
};
template <typename T> using GsfPtr = std::unique_ptr<T, GObjectUnref>;

struct ErrorFree {
    GError* error = nullptr;
    ~ErrorFree() {
        if (error)
            g_error_free(error);
    }
    std::string text() const { return error && error->message ? error->message : "unknown error"; }
};

bool sameNameIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return *a == *b;
}

GsfInput* childNamed(GsfInfile* dir, const char* name) {
    int n = gsf_infile_num_children(dir);
    for (int i = 0; i < n; ++i) {
        const char* child = gsf_infile_name_by_index(dir, i);
        if (child && sameNameIgnoringCase(child, name))
            return gsf_infile_child_by_index(dir, i);
    }
    return nullptr;
}

} // namespace

SheetExtras readSheetExtras(const std::string& path, std::string_view name) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { gsf_init(); });

    // Mapped rather than read through stdio, which seeks for every sector.
    ErrorFree openError;
    GsfPtr<GsfInput> file(gsf_input_mmap_new(path.c_str(), nullptr));
    if (!file)
        file.reset(gsf_input_stdio_new(path.c_str(), &openError.error));
    if (!file)
        throw Error("Cannot open file \"" + path + "\". " + openError.text());
    ErrorFree oleError;
    GsfPtr<GsfInfile> ole(gsf_infile_msole_new(file.get(), &oleError.error));
    if (!ole)
        throw Error("File \"" + path + "\" is not an Excel 97-2003 workbook: " + oleError.text());
    GsfPtr<GsfInput> stream(childNamed(ole.get(), "Workbook"));
    if (!stream)
        stream.reset(childNamed(ole.get(), "Book"));
    if (!stream)
        throw Error("File \"" + path +
                    "\" is not an Excel 97-2003 workbook: it has no workbook stream");

    // The stream in one piece, owned by the stream object: where its sectors
    // lie in order in the mapped file this is the mapping itself, no copy.
    gsf_off_t size = gsf_input_size(stream.get());
    const guint8* bytes =
        size > 0 ? gsf_input_read(stream.get(), std::size_t(size), nullptr) : nullptr;
    if (size > 0 && !bytes)
        throw Error("Cannot read file \"" + path + "\": its workbook stream is cut short");
    return parseSheetExtras(
        std::string_view(reinterpret_cast<const char*>(bytes), std::size_t(size)), name);
}

} // namespace quarlex
