#include "tables/Database.h"

#include <sqlite3.h>

#include <cctype>

#include "tables/Error.h"

namespace quarlex {

namespace {

// Big enough that the commit cost vanishes per row, small enough that the
// transaction's undo pages stay cheap.
constexpr int kWritesPerTransaction = 4096;

std::string upper(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

void Database::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

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
    auto it = m_layouts.find(upper(tableName));
    return it == m_layouts.end() ? nullptr : &it->second;
}

void Database::registerLayout(const TableDef& def) {
    m_layouts[upper(def.name)] = def;
}

void Database::forgetLayout(std::string_view tableName) {
    m_layouts.erase(upper(tableName));
}

std::int64_t* Database::tableChangeCounter(std::string_view tableName) {
    return &m_changeCounters[upper(tableName)];
}

bool Database::tableExists(std::string_view tableName) const {
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(handle(),
                             "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 "
                             "COLLATE NOCASE",
                             -1, &st, nullptr),
          "tableExists");
    sqlite3_bind_text(st, 1, tableName.data(), static_cast<int>(tableName.size()),
                      SQLITE_TRANSIENT);
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    check(rc, "tableExists");
    return rc == SQLITE_ROW;
}

void Database::exec(const std::string& sql) {
    char* message = nullptr;
    int rc = sqlite3_exec(handle(), sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw Error(text);
    }
}

void Database::noteWrite() {
    // A failed statement of some kinds ends the transaction on its own: ask
    // the connection rather than trusting our flag.
    m_inTransaction = sqlite3_get_autocommit(handle()) == 0;
    if (m_inTransaction && m_pendingWrites >= kWritesPerTransaction)
        flush();
    if (!m_inTransaction) {
        exec("BEGIN");
        m_inTransaction = true;
        m_pendingWrites = 0;
    }
    ++m_pendingWrites;
}

void Database::flush() {
    m_inTransaction = sqlite3_get_autocommit(handle()) == 0;
    if (m_inTransaction)
        exec("COMMIT");
    m_inTransaction = false;
    m_pendingWrites = 0;
}

void Database::check(int rc, std::string_view what) const {
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    std::string text(what);
    if (!text.empty())
        text += ": ";
    text += sqlite3_errmsg(handle());
    throw Error(text);
}

} // namespace quarlex
