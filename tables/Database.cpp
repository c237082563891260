#include "tables/Database.h"

#include <sqlite3.h>

#include <algorithm>

#include "tables/Error.h"

namespace quarlex {

namespace {

// A bound, not a batch size: each command commits its own writes when it
// ends. A transaction journals every page that existed before it, once, when
// first changed; an import's inserts sweep across the whole table, so small
// batches journal it again and again (a quarter of the import's store time).
constexpr int kWritesPerTransaction = 1 << 20;

} // namespace

void StatementFinalizer::operator()(sqlite3_stmt* st) const {
    sqlite3_finalize(st);
}

void Database::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

// The write transaction the tables keep open across commands. Committed by
// flush(); rolled back if it is still open when the connection goes; given
// up without a word when the engine has already ended it.
class Database::WriteTransaction {
public:
    explicit WriteTransaction(Database& db) : m_db(db) { m_db.exec("BEGIN"); }
    ~WriteTransaction() {
        if (m_open && sqlite3_get_autocommit(m_db.handle()) == 0)
            sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    void commit() {
        m_db.exec("COMMIT");
        m_open = false;
    }
    void abandon() { m_open = false; }

private:
    Database& m_db;
    bool m_open = true;
};

Database::Database() {
    // Allocation statistics take a global lock on every allocation. This only
    // takes effect before the library's first use; later it is refused, harmlessly.
    static const int memstatusOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)memstatusOff;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(
        ":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    m_db.reset(db);
    if (rc != SQLITE_OK)
        throw Error("Cannot open the in-memory database " + m_name + ": " +
                    (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
    // Before the first table: the largest page. The report's totals scan
    // every row of ImpTable forty times, and a scan pays per page and per
    // cell header; larger pages also split less on the import's inserts.
    exec("PRAGMA page_size = 65536");
    exec("PRAGMA temp_store = MEMORY");
    exec("PRAGMA cache_size = -262144");
}

Database::~Database() {
    try {
        flush();
    } catch (...) {
        // the rows die with the connection anyway
    }
}

const TableDef* Database::layout(std::string_view tableName) const {
    auto it = m_layouts.find(upperName(tableName));
    return it == m_layouts.end() ? nullptr : &it->second;
}

void Database::registerLayout(const TableDef& def) {
    m_layouts[upperName(def.name)] = def;
}

void Database::forgetLayout(std::string_view tableName) {
    m_layouts.erase(upperName(tableName));
}

bool Database::tableExists(std::string_view tableName) {
    // Only reads: a failure here cannot cost a transaction.
    sqlite3_stmt* raw = nullptr;
    const char* sql = "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 "
                      "COLLATE NOCASE";
    int rc = sqlite3_prepare_v2(handle(), sql, -1, &raw, nullptr);
    Statement st(raw);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(st.get(), 1, tableName.data(), static_cast<int>(tableName.size()),
                          SQLITE_TRANSIENT);
        rc = sqlite3_step(st.get());
    }
    check(rc, "tableExists");
    return rc == SQLITE_ROW;
}

void Database::exec(const std::string& sql, std::string_view what) {
    check(sqlite3_exec(handle(), sql.c_str(), nullptr, nullptr, nullptr), what);
}

Statement Database::prepare(std::string_view sql, std::string_view what, bool persistent) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v3(handle(), sql.data(), static_cast<int>(sql.size()),
                                      persistent ? SQLITE_PREPARE_PERSISTENT : 0, &raw, nullptr);
    Statement st(raw);
    check(rc, what);
    return st;
}

void Database::noteWrite() {
    // A transaction that vanished without a failure we saw is lost all the same.
    if (m_transaction && sqlite3_get_autocommit(handle()) != 0)
        transactionLost("the transaction ended unexpectedly");
    if (m_transaction && m_pendingWrites >= kWritesPerTransaction)
        flush();
    if (!m_transaction) {
        m_transaction = std::make_unique<WriteTransaction>(*this);
        m_pendingWrites = 0;
    }
    ++m_pendingWrites;
}

void Database::flush() {
    if (!m_transaction)
        return;
    m_transaction->commit();
    m_transaction.reset();
    m_pendingWrites = 0;
}

void Database::transactionLost(const std::string& engineMessage) {
    // The failing write itself was never reported as stored.
    const int lost = std::max(0, m_pendingWrites - 1);
    m_transaction->abandon();
    m_transaction.reset();
    m_pendingWrites = 0;
    throw FatalError("The table engine rolled back its open transaction (" + engineMessage +
                     "): up to " + std::to_string(lost) +
                     " rows reported as stored were lost. Repeat the import.");
}

void Database::check(int rc, std::string_view what) {
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    std::string engineMessage = sqlite3_errmsg(handle());
    if (engineMessage.empty() || engineMessage == "not an error")
        engineMessage = sqlite3_errstr(rc);
    if (m_transaction && sqlite3_get_autocommit(handle()) != 0)
        transactionLost(engineMessage);
    std::string text(what);
    if (!text.empty())
        text += ": ";
    text += engineMessage;
    throw EngineError(rc, std::move(engineMessage), text);
}

} // namespace quarlex
