#include "import/CorrectiveMerge.h"

#include <string>
#include <vector>

#include "tables/Period.h"

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
    const int n = corr.RecordCount();
    for (int i = 1; i <= n; ++i) {
        // Row i in index order. Stepping on from row i - 1 is a seek; a jump
        // to row i would count i rows each time.
        if (i == 1)
            corr.First();
        else
            corr.Next();
        const int k = int(corr.asInteger("KPeriod"));
        const std::string snils = corr.asString("SNILS");
        const std::string category = corr.asString("Category");
        if (!imp.Locate("SNILS;Period;Category",
                        {Value(snils), Value(std::int64_t(k)), Value(category)})) {
            prompts.message("Внесение корректировок", missingInitialMessage(snils, k, category));
            continue;
        }
        imp.Edit();
        try {
            for (const char* field : kAmounts)
                imp.setField(field, corr.asMoney(field));
            imp.Post();
        } catch (...) {
            // The run ends here; the table is not left half-edited.
            imp.Cancel();
            throw;
        }
    }
}

} // namespace quarlex
