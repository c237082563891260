#pragma once
// The in-memory database "MEMORY" that holds the working tables, over one
// SQLite connection. Writes are grouped into transactions (a statement that
// fails rolls back alone), since committing every row costs three times the
// row itself: one per command, which commits with flush() when it ends, and
// of a bounded size. The engine may roll such a transaction
// back on its own (out of memory, an I/O error): every failure is checked for
// that, and a lost transaction is an error of its own, never one row's.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "TableDef.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quarlex {

// A prepared statement, finalised whatever happens.
struct StatementFinalizer {
    void operator()(sqlite3_stmt* st) const;
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

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
    bool tableExists(std::string_view tableName);

    // Runs SQL that returns no rows; errors are raised by check().
    void exec(const std::string& sql, std::string_view what = {});
    // Prepares one statement (kept long when `persistent`); errors by check().
    Statement prepare(std::string_view sql, std::string_view what, bool persistent = false);
    // Counts one write towards the open transaction (opening one if needed)
    // and commits when the batch is full.
    void noteWrite();
    // Commits the open transaction, if any.
    void flush();

    sqlite3* handle() const { return m_db.get(); }
    // The one check of the tables layer. Any return code other than OK, ROW
    // and DONE raises EngineError with the code and the engine's message,
    // prefixed by `what`; when the failure cost the open write transaction,
    // FatalError saying that rows were lost and the import must be repeated.
    void check(int rc, std::string_view what = {});

private:
    class WriteTransaction;
    [[noreturn]] void transactionLost(const std::string& engineMessage);

    struct Closer {
        void operator()(sqlite3* db) const;
    };
    std::unique_ptr<sqlite3, Closer> m_db;
    std::string m_name = "MEMORY";
    std::map<std::string, TableDef, std::less<>> m_layouts;
    std::unique_ptr<WriteTransaction> m_transaction; // destroyed before the connection
    int m_pendingWrites = 0; // writes in the open transaction, the failing one included
};

} // namespace quarlex
