#include "sync/GorvelSync.h"

#include <algorithm>
#include <unordered_map>
#include <variant>
#include <vector>

#include "sync/DbfTable.h"
#include "sync/GorvelPaths.h"
#include "tables/Error.h"
#include "tables/RowWalk.h"
#include "xml/CodePage.h"

namespace quarlex {

namespace {

const char* const kRefusal = "  Автоматическая синхронизация для нескольких налоговых режимов в "
                             "настоящее время не поддерживается!";

// One check of the DATA folder: the path, its kind and the two lines.
struct FolderCheck {
    const char* path;
    EntryKind kind;
    const char* found;
    const char* missing;
};

const FolderCheck kFolderChecks[] = {
    {"ZP/ZP_TAB", EntryKind::Folder, "  1.1 папка ZP_TAB: обнаружена",
     "  1.1 папка ZP_TAB: не обнаружена!"},
    {"ZP/ZP_OPER", EntryKind::Folder, "  1.2 папка ZP_OPER: обнаружена",
     "  1.2 папка ZP_OPER: не обнаружена!"},
};
const FolderCheck kTableChecks[] = {
    {"ZP/ZP_TAB/zp_tab03.dbf", EntryKind::File,
     "  1.3 таблица с данными ПФ(zp_tab03.dbf): обнаружена",
     "  1.3 таблица с данными ПФ(zp_tab03.dbf): не обнаружена!"},
    {"ZP/ZP_OPER/zp_sumPF.dbf", EntryKind::File,
     "  1.4 таблица с суммами ПФ(zp_sumPF.dbf): обнаружена",
     "  1.4 таблица с суммами ПФ(zp_sumPF.dbf): не обнаружена!"},
};

// The checks of the DATA folder, logged; the two tables' paths when all passed.
bool checkDataFolder(const std::string& data, SyncLog& log, std::string& staffPath,
                     std::string& sumsPath) {
    log.append("1. Проверка наличия БД в папке:");
    for (const FolderCheck& check : kFolderChecks) {
        const bool present = findPath(data, check.path, check.kind).has_value();
        log.append(present ? check.found : check.missing);
        if (!present)
            return false;
    }
    if (findPath(data, "ZP/ZP_TAB/zp_tab52.dbf", EntryKind::Any)) {
        log.append("  -- обнаружена таблица задолженностей в ПФ (zp_tab52.dbf). Требуется "
                   "выполнить перенос (бланк 7.30)");
        return false;
    }
    std::string* paths[] = {&staffPath, &sumsPath};
    for (std::size_t i = 0; i < std::size(kTableChecks); ++i) {
        const auto found = findPath(data, kTableChecks[i].path, kTableChecks[i].kind);
        log.append(found ? kTableChecks[i].found : kTableChecks[i].missing);
        if (!found)
            return false;
        *paths[i] = *found;
    }
    return true;
}

// The accounting program keeps index files that this program does not
// maintain: the user must have it rebuild them after rows were written.
void warnOfIndex(const DbfTable& sums, SyncLog& log) {
    const std::vector<std::string> files = indexFilesBeside(sums.path());
    if (files.empty() && !sums.hasIndexMark())
        return;
    std::string what = "индексный файл";
    if (!files.empty()) {
        what.clear();
        for (const std::string& f : files)
            what += (what.empty() ? "" : ", ") + f;
    }
    log.append("  ! у таблицы zp_sumPF.dbf есть " + what +
               ": после записи переиндексируйте базу в Gorvel");
}

Money add(Money a, Money b, const std::string& where) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a.units(), b.units(), &sum))
        throw Error("Amount overflow while adding the sums of " + where);
    return Money::fromUnits(sum);
}

struct ReportRow {
    std::string snils;
    int year = 0;
    int quarter = 0;
    std::string category;
    Money debtStr, debtNak, paidStr, paidNak;
};

// The paid sums of ImpTable by (SNILS, year, quarter, category), read in one
// pass instead of one Locate per report row; the first row in index order
// wins, as Locate's would.
class PaidSums {
public:
    explicit PaidSums(Table& imports) : m_imports(imports) {
        if (!imports.Active() || imports.RecordCount() == 0)
            return;
        m_sums.reserve(static_cast<std::size_t>(imports.RecordCount()));
        const std::size_t snils = columnAt(imports, "SNILS"), god = columnAt(imports, "God"),
                          kvartal = columnAt(imports, "Kvartal"),
                          category = columnAt(imports, "Category"),
                          strUpl = columnAt(imports, "StrUpl"),
                          nakUpl = columnAt(imports, "NakUpl");
        walkRows(imports, [&](const std::vector<Value>& row) {
            keyOf(m_key, textAt(row, snils), wholeAt(row, god), wholeAt(row, kvartal),
                  textAt(row, category));
            m_sums.try_emplace(m_key, Paid{moneyAt(row, strUpl), moneyAt(row, nakUpl)});
        });
    }

    void read(ReportRow& row) {
        keyOf(m_key, row.snils, row.year, row.quarter, row.category);
        const auto found = m_sums.find(m_key);
        if (found == m_sums.end())
            return;
        row.paidStr = found->second.str;
        row.paidNak = found->second.nak;
        m_lastFound = {Value(row.snils), Value(std::int64_t(row.year)),
                       Value(std::int64_t(row.quarter)), Value(row.category)};
    }

    // ImpTable's current row: the last one found, as after a Locate for each row.
    void leaveCursor() {
        if (!m_lastFound.empty())
            m_imports.Locate(kFields, m_lastFound);
    }

private:
    static constexpr const char* kFields = "SNILS;God;Kvartal;Category";
    struct Paid {
        Money str, nak;
    };
    static void keyOf(std::string& key, const std::string& snils, std::int64_t year,
                      std::int64_t quarter, const std::string& category) {
        const auto snilsSize = static_cast<std::uint32_t>(snils.size());
        key.clear();
        key.append(reinterpret_cast<const char*>(&snilsSize), sizeof snilsSize);
        key += snils;
        key.append(reinterpret_cast<const char*>(&year), sizeof year);
        key.append(reinterpret_cast<const char*>(&quarter), sizeof quarter);
        key += category;
    }

    Table& m_imports;
    std::unordered_map<std::string, Paid> m_sums;
    std::vector<Value> m_lastFound;
    std::string m_key; // reused: no allocation per row
};

class RowSync {
public:
    RowSync(DbfTable& sums, const GorvelSyncOptions& options, const NumberFormat& format,
            SyncLog& log)
        : m_sums(sums), m_options(options), m_format(format), m_log(log) {}

    void run(const ReportRow& row, const std::string& tabNumber) {
        const int period = targetPeriod(row.year, row.quarter);
        bool changed = false;
        const bool exists = m_sums.Locate("CODE;Period;God;TAR",
                                          {Value(tabNumber), Value(std::int64_t(period)),
                                           Value(std::int64_t(row.year)), Value(row.category)});
        if (exists) {
            m_log.append("     запись обнаружена, проверка соответствия...");
            const Pair pairs[] = {
                {row.debtStr, "ZADSK", "стр. часть задолженность"},
                {row.debtNak, "ZADNK", "нак. часть задолженность"},
                {row.paidStr, "UPLS", "стр. часть оплата"},
                {row.paidNak, "UPLN", "нак. часть оплата"},
            };
            for (const Pair& p : pairs) {
                const Money stored = m_sums.asMoney(p.field);
                if (stored == p.report)
                    continue;
                changed = true;
                m_log.append(std::string("     ! расхождение ") + p.what + ": " + amount(p.report) +
                             " по отчету, " + amount(stored) + " по данным Gorvel");
            }
            if (!changed)
                m_log.append("      + данные идентичны.");
            else if (m_options.overwrite)
                m_sums.Edit();
        } else {
            const std::string where = "SNILS " + row.snils + ", " + std::to_string(row.year) +
                                      " quarter " + std::to_string(row.quarter);
            const Money total = add(add(row.paidStr, row.paidNak, where),
                                    add(row.debtStr, row.debtNak, where), where);
            if (total == Money())
                return;
            m_log.append("     ! запись не обнаружена, добавляем. Код:" + tabNumber + " год:" +
                         std::to_string(row.year) + " квартал:" + std::to_string(row.quarter) +
                         " страховая(уплачено:" + amount(row.paidStr) + " задолженность:" +
                         amount(row.debtStr) + ") накопительная(уплачено:" + amount(row.paidNak) +
                         " задолженность:" + amount(row.debtNak) + ")");
            if (m_options.overwrite) {
                changed = true;
                m_sums.Insert();
            }
        }
        if (changed && m_options.overwrite)
            write(row, tabNumber, period);
    }

private:
    struct Pair {
        Money report;
        const char* field;
        const char* what;
    };

    std::string amount(Money m) const { return logAmount(m, m_format.decimalSeparator); }

    void write(const ReportRow& row, const std::string& tabNumber, int period) {
        m_sums.setField("CODE", tabNumber);
        m_sums.setField("TAR", row.category);
        m_sums.setField("Period", period);
        m_sums.setField("God", row.year);
        m_sums.setField("UPLS", row.paidStr);
        m_sums.setField("ZADSK", row.debtStr);
        m_sums.setField("UPLN", row.paidNak);
        m_sums.setField("ZADNK", row.debtNak);
        m_sums.Post();
    }

    DbfTable& m_sums;
    const GorvelSyncOptions& m_options;
    const NumberFormat& m_format;
    SyncLog& m_log;
};

void syncRows(WorkingTables& tables, DbfTable& staff, DbfTable& sums,
              const GorvelSyncOptions& options, const NumberFormat& format, SyncLog& log) {
    Table& report = tables.ResTable;
    RowSync rowSync(sums, options, format, log);
    PaidSums paid(tables.ImpTable);
    std::string lastSnils;
    std::string tabNumber;
    const std::size_t snils = columnAt(report, "SNILS"), god = columnAt(report, "God"),
                      period = columnAt(report, "Period"), cat = columnAt(report, "Cat"),
                      strItog = columnAt(report, "StrItog"), nakItog = columnAt(report, "NakItog");
    // Row i of the index order, walked forward: what RecNo := i gives.
    walkRows(report, [&](const std::vector<Value>& values) {
        ReportRow row;
        row.snils = textAt(values, snils);
        if (row.snils != lastSnils) {
            lastSnils = row.snils;
            log.append("  - определяем таб.номер для СНИЛС:" + row.snils);
            if (staff.Locate("ATTR01", {Value(row.snils)})) {
                tabNumber = staff.asString("CODE");
                log.append("   - таб.номер найден: " + tabNumber);
            } else {
                tabNumber.clear();
                log.append("   ! таб.номер не найден");
            }
        }
        if (tabNumber.empty())
            return;
        row.year = static_cast<int>(wholeAt(values, god));
        row.quarter = static_cast<int>(wholeAt(values, period));
        row.category = textAt(values, cat);
        row.debtStr = moneyAt(values, strItog);
        row.debtNak = moneyAt(values, nakItog);
        log.append("    Обрабатывается период:" + std::to_string(row.year) + " год " +
                   std::to_string(row.quarter) + " квартал");
        paid.read(row);
        rowSync.run(row, tabNumber);
    });
    // The report's cursor where stepping through every row leaves it.
    if (report.RecordCount() > 0)
        report.Last();
    paid.leaveCursor();
}

} // namespace

std::string logAmount(Money amount, char separator) {
    return amount.toFixed(2, separator);
}

int targetPeriod(int year, int quarter) {
    if (year == 2010 && quarter == 1)
        return 2;
    if (year == 2010 && quarter == 2)
        return 4;
    return quarter;
}

void runGorvelSync(WorkingTables& tables, const GorvelSyncOptions& options, NumberFormat& format,
                   SyncLog& log) {
    log.clear();
    if (options.categoryMode) {
        log.append(kRefusal);
        return;
    }
    std::string staffPath, sumsPath;
    if (!checkDataFolder(options.dataDir, log, staffPath, sumsPath))
        return;
    log.append("2. Синхронизация данных");
    if (tables.ResTable.RecordCount() < 1) {
        log.append("  отчет пуст!");
        return;
    }
    DecimalSeparatorGuard separator(format, options.separator);
    if (cp866Available())
        log.append(" cp installed");
    // Declared in this order, closed in the reverse one: the staff table first.
    DbfTable sums(sumsPath, DbfTable::Access::ReadWrite, format);
    if (options.overwrite)
        warnOfIndex(sums, log);
    DbfTable staff(staffPath, DbfTable::Access::ReadOnly, format);
    syncRows(tables, staff, sums, options, format, log);
    staff.Close();
    sums.Close();
}

} // namespace quarlex
