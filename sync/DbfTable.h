#pragma once
// A dBASE table of the accounting program, over shapelib's DBF API: open
// shared, read-only or for reading and writing; fields by name in any letter
// case, read and written as text, whole number and money; Locate over several
// fields; Edit, Insert, Post, Cancel, Close.
//
// Character fields are code page 866 whatever the header's language mark
// says (the mark is never changed). Numbers are written with the decimal
// separator in force and read with it or with '.'. A value that does not fit
// its field is refused with an error naming the table, the field and the
// value. Every Post leaves the file whole: the record written, the header's
// record count and date of last update current, the end-of-file mark 0x1A
// after the last record; a Post that fails leaves the file as it was before
// it (an append is taken back entirely).
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tables/Money.h"
#include "tables/NumberFormat.h"
#include "tables/Value.h"

namespace quarlex {

class DbfTable {
public:
    enum class Access { ReadOnly, ReadWrite };

    // `path` names the file exactly. `format` is the number format in force,
    // read at every conversion; it must outlive the table.
    DbfTable(std::string path, Access access, const NumberFormat& format);
    ~DbfTable(); // closes; a pending row is dropped
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    // Ends the access; raises Error when writing back failed.
    void Close();
    bool Active() const { return m_handle != nullptr; }

    const std::string& path() const { return m_path; }
    // Records in the file, deleted ones included.
    int RecordCount() const;
    // The header's production index mark (byte 28).
    bool hasIndexMark() const { return m_indexMark; }

    // `fields` joined by ';', one value per field. Makes the first live record
    // in file order whose fields equal the values current. Text is compared
    // exactly after the stored value's trailing blanks are dropped, numbers by
    // value. The lookup for a list of fields is built on its first use and
    // kept up to date by Post.
    bool Locate(std::string_view fields, const std::vector<Value>& values);
    // 1-based number of the current record; 0 when there is none.
    int RecNo() const { return m_recNo + 1; }

    // The current record's field, or the pending row's while editing or
    // inserting. Text keeps leading blanks and loses trailing ones (numeric
    // fields lose both); numbers that do not parse read as 0.
    std::string asString(std::string_view field) const;
    std::int64_t asInteger(std::string_view field) const;
    Money asMoney(std::string_view field) const;

    void Edit();                                                  // a change of the current record
    void Insert();                                                // a new record, every field blank
    void setField(std::string_view field, std::string_view text); // cut to the width
    void setField(std::string_view field, const char* text) {
        setField(field, std::string_view(text));
    }
    void setField(std::string_view field, std::int64_t number);
    void setField(std::string_view field, int number) { setField(field, std::int64_t(number)); }
    void setField(std::string_view field, Money amount);
    void Post();
    void Cancel();

    struct Field {
        std::string name;
        char type;
        int width;
        int decimals;
        int offset;
        bool numeric() const { return type == 'N' || type == 'F'; }
    };
    const std::vector<Field>& fields() const { return m_fields; }

private:
    enum class State { Browse, Edit, Insert };
    struct KeyIndex {
        std::vector<int> fields;
        std::unordered_map<std::string, int> first; // the first live record of each key
    };

    void open(Access access);
    void validateLayout();
    const Field& field(std::string_view name) const;
    std::string_view rawField(const Field& f) const;
    std::string readRecord(int index) const;
    const char* readTuple(int index) const;
    std::string keyOf(const KeyIndex& index, std::string_view record) const;
    void keyPart(std::string& key, const Field& f, std::string_view raw) const;
    bool queryPart(std::string& key, const Field& f, const Value& value) const;
    KeyIndex& indexFor(std::string_view fields);
    void reindex(int record, const std::string& before, const std::string& after, bool added);
    void writeNumber(const Field& f, const std::string& text);
    void commit(int record, const std::string& bytes);
    void takeBack(bool append, int oldCount, std::uint64_t oldSize, std::uint64_t at,
                  const std::string& oldBytes);
    void ensureEndMark();
    [[noreturn]] void fail(const std::string& what) const;
    std::string describe(const Field& f) const;

    std::string m_path;
    const NumberFormat& m_format;
    bool m_writable = false;
    bool m_indexMark = false;
    void* m_handle = nullptr; // DBFHandle; shapefil.h stays out of this header
    std::vector<Field> m_fields;
    int m_recordLength = 0;
    int m_headerLength = 0;
    int m_recNo = -1;
    std::uint64_t m_endMarkAt = 0; // where the end mark is known to stand; 0: not known
    std::string m_current;         // the current record's bytes
    std::string m_buffer;          // the pending row's bytes
    State m_state = State::Browse;
    std::map<std::string, KeyIndex> m_indexes;
    std::string m_queryKey;      // reused by Locate
    std::string m_lastFieldList; // the fields of the last Locate, and their lookup
    KeyIndex* m_lastIndex = nullptr;
};

} // namespace quarlex
