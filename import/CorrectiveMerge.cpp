#include "import/CorrectiveMerge.h"

#include <iterator>
#include <string>
#include <vector>

#include "tables/Period.h"
#include "tables/RowWalk.h"

namespace quarlex {

namespace {

const char* const kAmounts[] = {"StrNach", "StrUpl", "StrDolg", "NakNach", "NakUpl", "NakDolg"};

std::string missingInitialMessage(const std::string& snils, int k, const std::string& category) {
    return "Не обнаружены ИСХОДНЫЕ сведения для\r\nСтр.Номер: " + snils +
           "\r\nГод: " + std::to_string(periodYear(k)) +
           "\r\nКвартал: " + std::to_string(periodQuarter(k)) + "\r\nКатегория: " + category;
}

} // namespace

// CorrTable's key order puts the corrections of one row in the order of the
// reports that carried them, so the one submitted last is applied last and
// its amounts stay.
void applyCorrections(WorkingTables& tables, Prompts& prompts) {
    Table& corr = tables.CorrTable;
    Table& imp = tables.ImpTable;
    const std::size_t kPeriod = columnAt(corr, "KPeriod"), snilsAt = columnAt(corr, "SNILS"),
                      categoryAt = columnAt(corr, "Category");
    std::size_t amountAt[std::size(kAmounts)];
    for (std::size_t a = 0; a < std::size(kAmounts); ++a)
        amountAt[a] = columnAt(corr, kAmounts[a]);
    // CorrTable's rows in index order, read in chunks: only ImpTable changes.
    walkRows(corr, [&](const std::vector<Value>& row) {
        const int k = int(wholeAt(row, kPeriod));
        const std::string& snils = textAt(row, snilsAt);
        const std::string& category = textAt(row, categoryAt);
        if (!imp.Locate("SNILS;Period;Category",
                        {Value(snils), Value(std::int64_t(k)), Value(category)})) {
            prompts.message("Внесение корректировок", missingInitialMessage(snils, k, category));
            return;
        }
        imp.Edit();
        try {
            for (std::size_t a = 0; a < std::size(kAmounts); ++a)
                imp.setField(kAmounts[a], moneyAt(row, amountAt[a]));
            imp.Post();
        } catch (...) {
            // The run ends here; the table is not left half-edited.
            imp.Cancel();
            throw;
        }
    });
}

} // namespace quarlex
