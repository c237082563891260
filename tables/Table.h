#pragma once
// A working table as the system uses it: a named table of the in-memory
// database with a cursor over its rows in primary-index order (storage order
// for a table without index), a record buffer for Insert/Edit/Post/Cancel,
// field access by name and the grid's column visibility.
//
// The cursor keeps the current row and its key; Next and Locate are one
// keyed seek each. RecNo jumps start from seek points kept every 2,048 rows,
// so that a jump to row n does not skip n rows (the one cache that holds a
// goal: without it a jump at 400,000 rows costs 2 to 11 ms against < 10 ms).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Database.h"
#include "Money.h"
#include "TableDef.h"
#include "Value.h"

namespace quarlex {

class Query;

class Table {
public:
    Table(Database& db, TableDef def);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const TableDef& def() const { return m_def; }
    const std::string& name() const { return m_def.name; }

    void setInMemory(bool on) { m_inMemory = on; }
    bool inMemory() const { return m_inMemory; }

    // Creates the table empty with its columns and primary index, replacing a
    // table of the same name; the table is closed afterwards.
    void CreateTable();
    // Removes all rows of a closed table.
    void EmptyTable();
    // Closes the table if open and removes it from the database.
    void DeleteTable();
    bool Exists() const;

    bool Active() const { return m_active; }
    void setActive(bool on);
    void Open() { setActive(true); }
    void Close() { setActive(false); }

    // The record buffer. Post raises Error and keeps the buffer (state stays
    // Insert/Edit) when the row is refused; Cancel then discards it.
    // Insert starts with every field empty text or 0, and a row is stored so:
    // a field never set holds '' or 0, never NULL. Moving the cursor or
    // calling Insert/Edit while a buffer is pending posts it if a field was
    // set (and cancels it otherwise); Close cancels it.
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    enum class State { Browse, Insert, Edit };
    State state() const { return m_state; }

    void setField(std::string_view field, std::string_view text);
    void setField(std::string_view field, const char* text) {
        setField(field, std::string_view(text));
    }
    void setField(std::string_view field, std::int64_t number);
    void setField(std::string_view field, int number) { setField(field, std::int64_t(number)); }
    void setField(std::string_view field, Money amount);
    void setFieldValue(std::string_view field, const Value& value);

    // RecordCount and RecNo give 0 on a closed table; setRecNo outside
    // 1..RecordCount raises Error. Moving the cursor, Insert, Edit and Post on
    // a closed table raise Error. Last leaves Eof false on a table with rows.
    int RecordCount() const;
    int RecNo() const;        // 1-based; 0 when the table is empty
    void setRecNo(int recNo); // 1-based
    void First();
    void Next();
    void Last();
    bool Eof() const { return m_eof; }

    // fields joined by ';', one value per field; exact comparison.
    bool Locate(std::string_view fields, const std::vector<Value>& values);

    // Field reads give the buffer while inserting or editing, else the current
    // row; with no current row (closed or empty table) empty text or 0. An
    // unknown field name raises Error.
    std::string asString(std::string_view field) const;
    std::int64_t asInteger(std::string_view field) const;
    Money asMoney(std::string_view field) const;
    Value value(std::string_view field) const;

    void setVisible(std::string_view field, bool visible);
    bool isVisible(std::string_view field) const;

    // Append mode: each result row of `source` whose primary-key values are not
    // yet present is appended, columns copied by name; present keys are skipped.
    // Returns the number of rows skipped as present.
    int BatchMove(const Query& source);

    // For the grids: rows [first, first+count) in index order, in one seek,
    // without moving the cursor; values in the order of def().fields.
    std::vector<std::vector<Value>> readRows(int first, int count) const;
    // Changes whenever rows, layout, open state or visibility change (also
    // when SQL run elsewhere on the database changed rows).
    std::uint64_t generation() const;

    // Index of a field in def().fields; raises Error naming it when absent.
    int fieldIndex(std::string_view field) const;

private:
    friend class Query; // SELECT ... INTO stores through appendRows

    // The one path by which result rows are stored: columns copied by name
    // (any letter case, a later one winning), converted and checked as a
    // field assignment would, nothing becoming the column's default. With
    // `skipPresent` a row whose key is present is skipped and counted;
    // otherwise it is refused.
    int appendRows(const std::vector<std::string>& columns,
                   const std::vector<std::vector<Value>>& rows, bool skipPresent);

    struct Impl;
    Database& m_db;
    TableDef m_def;
    std::unique_ptr<Impl> m_impl;
    bool m_inMemory = false;
    bool m_active = false;
    bool m_eof = true;
    State m_state = State::Browse;
    mutable std::uint64_t m_generation = 0;
    mutable std::int64_t m_changesSeen = 0; // the connection's change count at the last look
    mutable std::size_t m_lastField = 0;    // the field found by the last fieldIndex
};

} // namespace quarlex
