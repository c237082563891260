#include "report/Report.h"

#include <map>
#include <string>
#include <vector>

#include "tables/Error.h"
#include "tables/MessageText.h"
#include "tables/SqlTranslator.h"
#include "tables/TextWidth.h"

namespace quarlex {

namespace {

const char* const kCategoriesSql =
    "SELECT distinct Category AS \"Cat\" INTO CatTable FROM ImpTable;";
const char* const kPeriodsSql =
    "SELECT distinct Period, God, Kvartal INTO TmpTable FROM ImpTable ORDER BY Period asc;";
const char* const kLatestPeriodSql =
    "SELECT distinct Period, God, Kvartal INTO TmpTable FROM ImpTable WHERE "
    "Period=(SELECT distinct MAX(Period) from ImpTable);";

// Deletes a temporary table when the run leaves its scope, also on an error.
class TempTableGuard {
public:
    explicit TempTableGuard(Table& table) : m_table(table) {}
    ~TempTableGuard() {
        try {
            m_table.DeleteTable();
        } catch (...) {
            // The run's own error, if any, is the one worth reporting.
        }
    }
    TempTableGuard(const TempTableGuard&) = delete;
    TempTableGuard& operator=(const TempTableGuard&) = delete;

private:
    Table& m_table;
};

// Categories that ResTable.Cat could not tell apart would make BatchMove drop
// the second one's rows as duplicates without a word.
void checkCategoryWidths(const std::vector<std::string>& categories, int resCatWidth) {
    std::map<std::string, std::string> byPrefix;
    for (const std::string& category : categories) {
        const std::string prefix(cutToWidth(category, resCatWidth));
        const auto [it, inserted] = byPrefix.emplace(prefix, category);
        if (!inserted && it->second != category)
            throw Error("Категории \"" + quotedText(it->second) + "\" и \"" + quotedText(category) +
                        "\" совпадают в первых " + std::to_string(resCatWidth) +
                        " символах и в отчете не различаются");
    }
}

std::vector<std::string> readCategories(Table& catTable) {
    std::vector<std::string> categories;
    const int count = catTable.RecordCount();
    categories.reserve(static_cast<std::size_t>(count));
    for (int recNo = 1; recNo <= count; ++recNo) {
        catTable.setRecNo(recNo);
        categories.push_back(catTable.asString("Cat"));
    }
    return categories;
}

struct ReportPeriod {
    int god = 0;
    int kvartal = 0;
    int period = 0;
};

std::vector<ReportPeriod> readPeriods(Table& tmpTable) {
    std::vector<ReportPeriod> periods;
    const int count = tmpTable.RecordCount();
    periods.reserve(static_cast<std::size_t>(count));
    for (int recNo = 1; recNo <= count; ++recNo) {
        tmpTable.setRecNo(recNo);
        periods.push_back({static_cast<int>(tmpTable.asInteger("God")),
                           static_cast<int>(tmpTable.asInteger("Kvartal")),
                           static_cast<int>(tmpTable.asInteger("Period"))});
    }
    return periods;
}

// A sum of debts beyond the range of money is the engine's "integer
// overflow": the accountant needs to know which category and period, not
// the statement's text.
void runTotals(Query& repQ, const std::string& category, const ReportPeriod& p) {
    try {
        repQ.ExecSQL();
    } catch (const EngineError& e) {
        if (e.engineMessage() != "integer overflow")
            throw;
        throw MoneyOverflow("Сумма долгов вне диапазона денег: категория \"" +
                            quotedText(category) + "\", период " + std::to_string(p.god) + "-" +
                            std::to_string(p.kvartal));
    }
}

} // namespace

std::string totalsStatement(int god, int kvartal, const std::string& category, int period) {
    const std::string cat = dialectText(category);
    // Grouped by SNILS alone, so that a person whose name is spelt differently
    // in different rows still gets one row with all of them summed. The name
    // columns are bare columns beside the single MAX() aggregate: SQLite takes
    // them from the row holding that maximum (documented behaviour), so FIO is
    // the name of the person's latest row up to the period.
    return "SELECT SNILS, LName + \" \" + FName + \" \" + MName AS FIO, " + std::to_string(god) +
           " AS \"God\", " + std::to_string(kvartal) + " AS \"Period\", " + cat +
           " AS Cat, SUM(StrDolg) AS \"StrItog\", SUM(NakDolg) AS \"NakItog\", "
           "MAX(Period) AS \"LastPeriod\" FROM ImpTable WHERE ((Category = " +
           cat + ") AND (Period <= " + std::to_string(period) + ")) GROUP BY SNILS;";
}

void runReport(WorkingTables& tables, const ReportOptions& options) {
    Table& res = tables.ResTable;
    clearTable(res);
    tables.RepQ.setInMemory(true);
    tables.UpdQ.setInMemory(true);

    {
        tables.TmpTable.setInMemory(true);
        tables.TmpTable.CreateTable();
        TempTableGuard tmpGuard(tables.TmpTable);

        tables.CatTable.setInMemory(true);
        tables.CatTable.CreateTable();
        TempTableGuard catGuard(tables.CatTable);

        tables.UpdQ.setSQL(kCategoriesSql);
        tables.UpdQ.ExecSQL();
        tables.CatTable.Open();

        tables.RepQ.setSQL(options.perPeriod ? kPeriodsSql : kLatestPeriodSql);
        tables.RepQ.ExecSQL();
        tables.TmpTable.Open();

        const std::vector<std::string> categories = readCategories(tables.CatTable);
        checkCategoryWidths(categories, res.def().field("Cat")->size);
        const std::vector<ReportPeriod> periods = readPeriods(tables.TmpTable);

        for (const std::string& category : categories) {
            for (const ReportPeriod& p : periods) {
                tables.RepQ.setSQL(totalsStatement(p.god, p.kvartal, category, p.period));
                runTotals(tables.RepQ, category, p);
                res.BatchMove(tables.RepQ);
            }
        }
    }
    res.Open();
    tables.db.flush();
}

bool isOverpaidRow(Money strItog, Money nakItog) {
    return strItog.isNegative() || nakItog.isNegative();
}

} // namespace quarlex
