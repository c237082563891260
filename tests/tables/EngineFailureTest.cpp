// Failures of the table engine itself, injected through SQLite's own
// allocator hook: the engine rolls its open write transaction back on an
// allocation failure, and the rows stored in it must not vanish without a word.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <string>

#include "tables/Error.h"
#include "tables/WorkingTables.h"

using namespace quarlex;

namespace {

// The engine's allocator with a switch that makes every allocation fail. It
// must be installed before the library's first use, hence at start-up.
sqlite3_mem_methods g_system;
std::atomic<bool> g_failAllocations{false};

void* failingMalloc(int n) {
    return g_failAllocations ? nullptr : g_system.xMalloc(n);
}
void* failingRealloc(void* p, int n) {
    return g_failAllocations ? nullptr : g_system.xRealloc(p, n);
}

const bool g_installed = [] {
    if (sqlite3_config(SQLITE_CONFIG_GETMALLOC, &g_system) != SQLITE_OK)
        return false;
    sqlite3_mem_methods faulty = g_system;
    faulty.xMalloc = failingMalloc;
    faulty.xRealloc = failingRealloc;
    return sqlite3_config(SQLITE_CONFIG_MALLOC, &faulty) == SQLITE_OK;
}();

class FailingAllocations {
public:
    FailingAllocations() { g_failAllocations = true; }
    ~FailingAllocations() { g_failAllocations = false; }
};

void addRow(Table& imp, int n) {
    imp.Insert();
    imp.setField("SNILS", std::to_string(100000000 + n));
    imp.setField("God", 2011);
    imp.setField("Kvartal", 1);
    imp.setField("Period", 20111);
    imp.setField("Category", "ОСН");
    imp.setField("StrNach", Money::fromUnits(n));
    imp.Post();
}

TEST(EngineFailure, RolledBackTransactionSaysRowsWereLost) {
    ASSERT_TRUE(g_installed);
    WorkingTables t;
    resetTable(t.ImpTable);
    for (int n = 0; n < 100; ++n)
        addRow(t.ImpTable, n);

    // Sooner or later a row needs a new page, and that allocation fails.
    std::string message;
    bool fatal = false;
    {
        FailingAllocations failing;
        for (int n = 100; n < 200000 && message.empty(); ++n) {
            try {
                addRow(t.ImpTable, n);
            } catch (const FatalError& e) {
                fatal = true;
                message = e.what();
            } catch (const Error& e) {
                message = e.what();
            }
        }
    }
    t.ImpTable.Cancel();
    ASSERT_FALSE(message.empty()) << "no allocation failed";
    EXPECT_TRUE(fatal) << message;
    EXPECT_NE(message.find("rows reported as stored were lost"), std::string::npos) << message;
    EXPECT_NE(message.find("Repeat the import"), std::string::npos) << message;

    // The rows of the transaction are really gone, and the table goes on working.
    t.ImpTable.Close();
    t.ImpTable.Open();
    const int kept = t.ImpTable.RecordCount();
    EXPECT_LT(kept, 100);
    addRow(t.ImpTable, 500000);
    EXPECT_EQ(t.ImpTable.RecordCount(), kept + 1);
}

TEST(EngineFailure, EngineErrorsCarryCodeAndMessage) {
    Database db;
    try {
        db.exec("SELECT * FROM Nowhere", "Probe");
        FAIL() << "accepted";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.code(), SQLITE_ERROR);
        EXPECT_EQ(e.engineMessage(), "no such table: Nowhere");
        EXPECT_STREQ(e.what(), "Probe: no such table: Nowhere");
    }
}

} // namespace
