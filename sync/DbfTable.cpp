#include "sync/DbfTable.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <shapefil.h>
#include <strings.h>
#include <unistd.h>

#include "sync/DbfFile.h"
#include "tables/Error.h"
#include "tables/WholeNumber.h"
#include "xml/CodePage.h"

namespace quarlex {

namespace {

constexpr char kEndMark = 0x1A;
constexpr char kDeleted = '*';

DBFHandle handleOf(void* h) {
    return static_cast<DBFHandle>(h);
}

std::string_view dropTrailing(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    return s;
}

std::string_view dropBlanks(std::string_view s) {
    s = dropTrailing(s);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0'))
        s.remove_prefix(1);
    return s;
}

// Numbers in the table: the separator in force or '.'; anything else is 0.
Money parseStoredNumber(std::string_view text, char separator) {
    if (auto m = Money::parse(text, separator))
        return *m;
    if (separator != '.')
        if (auto m = Money::parse(text, '.'))
            return *m;
    return Money();
}

std::optional<Money> parseGivenNumber(std::string_view text, char separator) {
    if (auto m = Money::parse(text, separator))
        return m;
    return Money::parse(text, '.');
}

std::string numberText(Money amount, int decimals, char separator) {
    std::string text = amount.toFixed(std::min(decimals, 4), separator);
    if (decimals > 4)
        text.append(static_cast<std::size_t>(decimals - 4), '0');
    return text;
}

} // namespace

DbfTable::DbfTable(std::string path, Access access, const NumberFormat& format)
    : m_path(std::move(path)), m_format(format) {
    open(access);
}

DbfTable::~DbfTable() {
    try {
        Close();
    } catch (...) {
        // The error was the caller's to see through Close(); nothing more to do here.
    }
}

void DbfTable::fail(const std::string& what) const {
    throw Error(what);
}

void DbfTable::open(Access access) {
    m_writable = access == Access::ReadWrite;
    dbf::OpenRequest request(m_path, m_writable);
    SAHooks hooks = dbf::hooks();
    DBFHandle h = DBFOpenLL(m_path.c_str(), m_writable ? "rb+" : "rb", &hooks);
    if (!h) {
        const std::string reason = request.reason();
        fail("Cannot open the table " + m_path + ": " +
             (reason.empty() ? "not a dBASE table" : reason));
    }
    m_handle = h;
    try {
        validateLayout();
    } catch (...) {
        DBFClose(h);
        m_handle = nullptr;
        dbf::takeLibraryMessages();
        throw;
    }
}

void DbfTable::validateLayout() {
    DBFHandle h = handleOf(m_handle);
    m_recordLength = h->nRecordLength;
    m_headerLength = h->nHeaderLength;
    const std::string damaged = "The table " + m_path + " is damaged: ";
    if (h->nFields < 1 || m_recordLength < 2 || m_headerLength < 32 + 32 * h->nFields + 1)
        fail(damaged + "its header describes no usable field layout");
    for (int i = 0; i < h->nFields; ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0, decimals = 0;
        DBFGetFieldInfo(h, i, name, &width, &decimals);
        Field f{name, DBFGetNativeFieldType(h, i), width, decimals, h->panFieldOffset[i]};
        if (f.width < 1 || f.offset < 1 || f.offset + f.width > m_recordLength)
            fail(damaged + "the field " + f.name + " lies outside the record");
        m_fields.push_back(std::move(f));
    }
    dbf::DbfFile& file = dbf::fileOf(h);
    const std::uint64_t needed =
        std::uint64_t(m_headerLength) + std::uint64_t(std::max(h->nRecords, 0)) * m_recordLength;
    if (h->nRecords < 0 || file.size() < needed)
        fail(damaged + "its header counts " + std::to_string(h->nRecords) + " records of " +
             std::to_string(m_recordLength) + " bytes, the file holds " +
             std::to_string(file.size()) + " bytes");
    char header[32] = {};
    if (file.readAt(0, header, sizeof header) != sizeof header)
        fail(damaged + "its header cannot be read");
    m_indexMark = header[28] != 0;
}

void DbfTable::Close() {
    if (!m_handle)
        return;
    DBFHandle h = handleOf(m_handle);
    m_handle = nullptr;
    m_state = State::Browse;
    m_lastIndex = nullptr;
    m_indexes.clear();
    dbf::takeLibraryMessages();
    DBFClose(h);
    const std::string messages = dbf::takeLibraryMessages();
    if (!messages.empty())
        fail("Cannot close the table " + m_path + ": " + messages);
}

int DbfTable::RecordCount() const {
    return m_handle ? handleOf(m_handle)->nRecords : 0;
}

const DbfTable::Field& DbfTable::field(std::string_view name) const {
    for (const Field& f : m_fields)
        if (f.name.size() == name.size() &&
            strncasecmp(f.name.data(), name.data(), name.size()) == 0)
            return f;
    fail("The table " + m_path + " has no field " + std::string(name));
}

std::string DbfTable::describe(const Field& f) const {
    return f.name + " of the table " + m_path;
}

const char* DbfTable::readTuple(int index) const {
    if (!m_handle)
        fail("The table " + m_path + " is closed");
    dbf::takeLibraryMessages();
    const char* tuple = DBFReadTuple(handleOf(m_handle), index);
    if (!tuple) {
        const std::string messages = dbf::takeLibraryMessages();
        fail("Cannot read record " + std::to_string(index + 1) + " of the table " + m_path +
             (messages.empty() ? "" : ": " + messages));
    }
    return tuple;
}

std::string DbfTable::readRecord(int index) const {
    // shapelib hands out one shared buffer: keep a copy.
    return std::string(readTuple(index), static_cast<std::size_t>(m_recordLength));
}

std::string_view DbfTable::rawField(const Field& f) const {
    const std::string& record = m_state == State::Browse ? m_current : m_buffer;
    if (record.empty())
        return {};
    return std::string_view(record).substr(static_cast<std::size_t>(f.offset),
                                           static_cast<std::size_t>(f.width));
}

std::string DbfTable::asString(std::string_view name) const {
    const Field& f = field(name);
    const std::string_view raw = rawField(f);
    return decodeCp866(f.numeric() ? dropBlanks(raw) : dropTrailing(raw));
}

Money DbfTable::asMoney(std::string_view name) const {
    return parseStoredNumber(dropBlanks(rawField(field(name))), m_format.decimalSeparator);
}

std::int64_t DbfTable::asInteger(std::string_view name) const {
    const std::string_view text = dropBlanks(rawField(field(name)));
    if (auto n = parseWholeNumber(text))
        return *n;
    const std::int64_t units = parseStoredNumber(text, m_format.decimalSeparator).units();
    const std::int64_t whole = units / Money::kScale, rest = units % Money::kScale;
    return whole + (rest * 2 >= Money::kScale ? 1 : rest * 2 <= -Money::kScale ? -1 : 0);
}

// ---- Locate ------------------------------------------------------------------------------

// Keys of the lookups compare what is stored: character fields as their code
// page 866 bytes without trailing blanks, numeric fields as their value.
// Each part is tagged and sized, so that no two keys run into each other.
void DbfTable::keyPart(std::string& key, const Field& f, std::string_view raw) const {
    if (f.numeric()) {
        const std::int64_t units =
            parseStoredNumber(dropBlanks(raw), m_format.decimalSeparator).units();
        key += '#';
        key.append(reinterpret_cast<const char*>(&units), sizeof units);
        return;
    }
    const std::string_view text = dropTrailing(raw);
    const auto size = static_cast<std::uint16_t>(text.size());
    key += '$';
    key.append(reinterpret_cast<const char*>(&size), sizeof size);
    key.append(text);
}

// False when no stored value can equal `value`.
bool DbfTable::queryPart(std::string& key, const Field& f, const Value& value) const {
    if (!f.numeric()) {
        const std::string text = valueToText(value);
        const std::string bytes = encodeCp866(text);
        // A character code page 866 lacks is stored as '?', never as itself.
        if (decodeCp866(bytes) != text)
            return false;
        keyPart(key, f, bytes);
        return dropTrailing(bytes).size() == bytes.size();
    }
    std::int64_t units = 0;
    if (const auto* n = std::get_if<std::int64_t>(&value)) {
        if (__builtin_mul_overflow(*n, Money::kScale, &units))
            return false; // no stored number is that large
    } else if (const auto* m = std::get_if<Money>(&value)) {
        units = m->units();
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        const auto parsed = parseGivenNumber(*s, m_format.decimalSeparator);
        if (!parsed)
            return false;
        units = parsed->units();
    }
    key += '#';
    key.append(reinterpret_cast<const char*>(&units), sizeof units);
    return true;
}

std::string DbfTable::keyOf(const KeyIndex& index, std::string_view record) const {
    std::string key;
    key.reserve(64);
    for (int i : index.fields) {
        const Field& f = m_fields[static_cast<std::size_t>(i)];
        keyPart(
            key, f,
            record.substr(static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.width)));
    }
    return key;
}

DbfTable::KeyIndex& DbfTable::indexFor(std::string_view fieldList) {
    // A run asks by the same list of fields row after row.
    if (m_lastIndex && fieldList == m_lastFieldList)
        return *m_lastIndex;
    std::vector<int> fields;
    std::string name;
    for (std::size_t start = 0; start <= fieldList.size();) {
        std::size_t end = fieldList.find(';', start);
        if (end == std::string_view::npos)
            end = fieldList.size();
        const Field& f = field(trimBlanks(fieldList.substr(start, end - start)));
        const int i = static_cast<int>(&f - m_fields.data());
        fields.push_back(i);
        name += std::to_string(i) + ";";
        start = end + 1;
    }
    auto [it, added] = m_indexes.try_emplace(name);
    KeyIndex& index = it->second;
    if (added) {
        index.fields = std::move(fields);
        const int count = RecordCount();
        index.first.reserve(static_cast<std::size_t>(count));
        for (int r = 0; r < count; ++r) {
            const std::string_view record(readTuple(r), static_cast<std::size_t>(m_recordLength));
            if (record[0] != kDeleted)
                index.first.try_emplace(keyOf(index, record), r);
        }
    }
    m_lastFieldList.assign(fieldList);
    m_lastIndex = &index;
    return index;
}

bool DbfTable::Locate(std::string_view fields, const std::vector<Value>& values) {
    if (!m_handle)
        fail("The table " + m_path + " is closed");
    if (m_state != State::Browse)
        Cancel();
    KeyIndex& index = indexFor(fields);
    if (index.fields.size() != values.size())
        fail("Locate in the table " + m_path + ": " + std::to_string(index.fields.size()) +
             " fields but " + std::to_string(values.size()) + " values");
    std::string& key = m_queryKey;
    key.clear();
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!queryPart(key, m_fields[static_cast<std::size_t>(index.fields[i])], values[i]))
            return false;
    const auto found = index.first.find(key);
    if (found == index.first.end())
        return false;
    m_recNo = found->second;
    m_current = readRecord(m_recNo);
    return true;
}

void DbfTable::reindex(int record, const std::string& before, const std::string& after,
                       bool added) {
    for (auto& [name, index] : m_indexes) {
        const std::string newKey = keyOf(index, after);
        if (!added && before[0] != kDeleted) {
            const std::string oldKey = keyOf(index, before);
            if (oldKey == newKey)
                continue;
            // The record leaves its key: a later record with that key, if any,
            // is now the first. Rare (the run keeps the keys it writes), so
            // the rest of the file is simply searched.
            const auto old = index.first.find(oldKey);
            if (old != index.first.end() && old->second == record) {
                index.first.erase(old);
                for (int r = record + 1; r < RecordCount(); ++r) {
                    const std::string_view other(readTuple(r),
                                                 static_cast<std::size_t>(m_recordLength));
                    if (other[0] != kDeleted && keyOf(index, other) == oldKey) {
                        index.first.emplace(oldKey, r);
                        break;
                    }
                }
            }
        }
        auto [it, fresh] = index.first.try_emplace(newKey, record);
        if (!fresh && it->second > record)
            it->second = record;
    }
}

// ---- Changing rows -----------------------------------------------------------------------

void DbfTable::Edit() {
    if (!m_writable)
        fail("The table " + m_path + " is open read-only: no record can be changed");
    if (m_recNo < 0 || m_current.empty())
        fail("The table " + m_path + " has no current record to change");
    m_buffer = m_current;
    m_state = State::Edit;
}

void DbfTable::Insert() {
    if (!m_writable)
        fail("The table " + m_path + " is open read-only: no record can be added");
    if (!m_handle)
        fail("The table " + m_path + " is closed");
    m_buffer.assign(static_cast<std::size_t>(m_recordLength), ' ');
    m_state = State::Insert;
}

void DbfTable::Cancel() {
    m_buffer.clear();
    m_state = State::Browse;
}

void DbfTable::setField(std::string_view name, std::string_view text) {
    if (m_state == State::Browse)
        fail("The table " + m_path + " is not being edited: the field " + std::string(name) +
             " cannot be set");
    const Field& f = field(name);
    if (f.numeric()) {
        if (dropBlanks(text).empty())
            return writeNumber(f, "");
        const auto number = parseGivenNumber(text, m_format.decimalSeparator);
        if (!number)
            fail("The value '" + std::string(text) + "' is not a number for the field " +
                 describe(f));
        return writeNumber(f, numberText(*number, f.decimals, m_format.decimalSeparator));
    }
    std::string bytes = encodeCp866(text);
    bytes.resize(static_cast<std::size_t>(f.width), ' '); // cut or padded
    m_buffer.replace(static_cast<std::size_t>(f.offset), bytes.size(), bytes);
}

void DbfTable::setField(std::string_view name, std::int64_t number) {
    if (m_state == State::Browse)
        fail("The table " + m_path + " is not being edited: the field " + std::string(name) +
             " cannot be set");
    const Field& f = field(name);
    std::string text = std::to_string(number);
    if (f.numeric() && f.decimals > 0)
        text += m_format.decimalSeparator + std::string(static_cast<std::size_t>(f.decimals), '0');
    writeNumber(f, text);
}

void DbfTable::setField(std::string_view name, Money amount) {
    if (m_state == State::Browse)
        fail("The table " + m_path + " is not being edited: the field " + std::string(name) +
             " cannot be set");
    const Field& f = field(name);
    writeNumber(f, numberText(amount, f.numeric() ? f.decimals : 2, m_format.decimalSeparator));
}

// Numbers stand right-aligned in numeric fields and left-aligned in others;
// one that does not fit is refused, never cut.
void DbfTable::writeNumber(const Field& f, const std::string& text) {
    if (text.size() > static_cast<std::size_t>(f.width))
        fail("The value " + text + " does not fit the field " + f.name + " (width " +
             std::to_string(f.width) + ") of the table " + m_path + ", record " +
             std::to_string((m_state == State::Insert ? RecordCount() : m_recNo) + 1));
    const std::string pad(static_cast<std::size_t>(f.width) - text.size(), ' ');
    m_buffer.replace(static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.width),
                     f.numeric() ? pad + text : text + pad);
}

void DbfTable::Post() {
    if (m_state == State::Browse)
        return;
    const bool append = m_state == State::Insert;
    const int record = append ? RecordCount() : m_recNo;
    const std::string before = append ? std::string() : m_current;
    std::string bytes = std::move(m_buffer);
    Cancel();
    commit(record, bytes);
    m_current = std::move(bytes);
    m_recNo = record;
    reindex(record, before, m_current, append);
}

// The one place where a record reaches the file: shapelib writes the record
// and the header's count; the date of last update and the end-of-file mark
// are ours. Each write goes to the system at once, the record before the
// count that admits it, so that the file is whole after every Post.
void DbfTable::commit(int record, const std::string& bytes) {
    DBFHandle h = handleOf(m_handle);
    dbf::DbfFile& file = dbf::fileOf(h);
    const bool append = record == h->nRecords;
    const int oldCount = h->nRecords;
    const std::uint64_t at = std::uint64_t(m_headerLength) + std::uint64_t(record) * m_recordLength;
    // What the write may cover: the old record, or for an append whatever
    // followed the last record (the end mark, as a rule).
    std::string oldBytes = m_current;
    std::uint64_t oldSize = 0;
    if (append) {
        oldBytes.assign(4096, '\0');
        oldBytes.resize(file.readUncached(at, oldBytes.data(), oldBytes.size()));
        oldSize = at + oldBytes.size();
        if (oldBytes.size() == 4096) {
            oldSize = file.size();
            oldBytes.resize(oldSize - at);
            oldBytes.resize(file.readUncached(at, oldBytes.data(), oldBytes.size()));
        }
    }
    dbf::takeLibraryMessages();

    const std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    DBFSetLastModifiedDate(h, today.tm_year, today.tm_mon + 1, today.tm_mday);
    bool ok = DBFWriteTuple(h, record, const_cast<char*>(bytes.data())) != 0;
    if (ok) {
        DBFUpdateHeader(h);
        ensureEndMark();
    }
    ok = ok && file.failure.empty();
    if (ok)
        return;
    std::string reason = file.failure;
    const std::string messages = dbf::takeLibraryMessages();
    if (reason.empty())
        reason = messages;
    // A record half written is worse than none: put the old bytes back.
    takeBack(append, oldCount, oldSize, at, oldBytes);
    fail("Cannot write record " + std::to_string(record + 1) + " of the table " + m_path + ": " +
         (reason.empty() ? "unknown failure" : reason));
}

void DbfTable::takeBack(bool append, int oldCount, std::uint64_t oldSize, std::uint64_t at,
                        const std::string& oldBytes) {
    DBFHandle h = handleOf(m_handle);
    dbf::DbfFile& file = dbf::fileOf(h);
    // shapelib must neither count the record nor write it again at close.
    h->nRecords = oldCount;
    h->nCurrentRecord = -1;
    h->bCurrentRecordModified = 0;
    file.block.clear();
    file.header.clear();
    file.endMarkAt = 0;
    file.failure.clear();
    m_endMarkAt = 0;
    if (append && file.size() > oldSize && ::ftruncate(file.fd, static_cast<off_t>(oldSize)) != 0)
        file.failure =
            "cannot cut the file back"; // the count below still admits whole records only
    file.writeAt(at, oldBytes.data(), oldBytes.size());
    unsigned char count[4];
    for (int i = 0; i < 4; ++i)
        count[i] = static_cast<unsigned char>((static_cast<unsigned>(oldCount) >> (8 * i)) & 0xFF);
    file.writeAt(4, reinterpret_cast<const char*>(count), sizeof count);
    file.failure.clear();
}

void DbfTable::ensureEndMark() {
    DBFHandle h = handleOf(m_handle);
    dbf::DbfFile& file = dbf::fileOf(h);
    const std::uint64_t end =
        std::uint64_t(m_headerLength) + std::uint64_t(h->nRecords) * m_recordLength;
    // Known after the first post: shapelib writes it after every record it
    // appends, and nothing of ours moves the end otherwise.
    if (end == m_endMarkAt || end == file.endMarkAt)
        return;
    char mark = 0;
    if (::pread(file.fd, &mark, 1, static_cast<off_t>(end)) != 1 || mark != kEndMark)
        file.writeAt(end, &kEndMark, 1);
    if (file.failure.empty())
        m_endMarkAt = end;
}

} // namespace quarlex
