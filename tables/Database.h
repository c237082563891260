#pragma once
// The in-memory database "MEMORY" that holds the working tables, over one
// SQLite connection. Writes are grouped into transactions of a bounded size
// (a statement that fails rolls back alone), since committing every row
// costs three times the row itself.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "TableDef.h"

struct sqlite3;

namespace quarlex {

class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& name() const { return m_name; } // "MEMORY"

    // Layouts of the tables that exist now, by upper-cased name.
    const TableDef* layout(std::string_view tableName) const;
    void registerLayout(const TableDef& def);
    void forgetLayout(std::string_view tableName);
    bool tableExists(std::string_view tableName) const;

    // Runs SQL that returns no rows; errors raise Error with SQLite's message.
    void exec(const std::string& sql);
    // Counts one write towards the open transaction (opening one if needed)
    // and commits when the batch is full.
    void noteWrite();
    // Commits the open transaction, if any.
    void flush();

    // Rows changed through the working tables: in all, and by table (a counter
    // per upper-cased name, at an address that stays valid). The connection's
    // count less the sum is what SQL run elsewhere changed, so a table can
    // tell other tables' writes from changes that may concern its own rows.
    std::int64_t* tableChangeCounter(std::string_view tableName);
    void noteTableChanges(std::int64_t* counter, std::int64_t rows) {
        *counter += rows;
        m_tableChanges += rows;
    }
    std::int64_t tableChanges() const { return m_tableChanges; }

    sqlite3* handle() const { return m_db.get(); }
    // Raises Error for any return code other than OK, ROW and DONE.
    void check(int rc, std::string_view what) const;

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    std::unique_ptr<sqlite3, Closer> m_db;
    std::string m_name = "MEMORY";
    std::map<std::string, TableDef, std::less<>> m_layouts;
    std::map<std::string, std::int64_t, std::less<>> m_changeCounters;
    std::int64_t m_tableChanges = 0;
    int m_pendingWrites = 0;
    bool m_inTransaction = false;
};

} // namespace quarlex
