#include "import/ReconEntry.h"

#include "tables/Error.h"

namespace quarlex {

namespace {

std::string rowMessage(const TReconEntry& e) {
    return "Стр.Номер: " + e.SNILS + "\r\nФамилия: " + e.LName + "\r\nИмя: " + e.FName +
           "\r\nОтчество: " + e.MName + "\r\nГод: " + std::to_string(e.God) +
           "\r\nКвартал: " + std::to_string(e.Kvartal) + "\r\nКатегория: " + e.Category;
}

// Insert, fill, post; a refusal is reported and the unfinished row dropped.
template <typename Fill>
void storeRow(Table& table, const TReconEntry& entry, const char* caption, Prompts& prompts,
              Fill&& fill) {
    try {
        table.Insert();
        fill(table);
        table.Post();
    } catch (const AssertionFailure&) {
        throw;
    } catch (const Error&) {
        prompts.message(caption, rowMessage(entry));
        table.Cancel();
    }
}

} // namespace

void TReconEntry::computeDebts() {
    StrDolg = StrNach - StrUpl;
    NakDolg = NakNach - NakUpl;
}

void AddImportRow(Table& impTable, const TReconEntry& e, Prompts& prompts) {
    storeRow(impTable, e, "Ошибка в данных", prompts, [&e](Table& t) {
        t.setField("SNILS", std::string_view(e.SNILS));
        t.setField("FName", std::string_view(e.FName));
        t.setField("MName", std::string_view(e.MName));
        t.setField("LName", std::string_view(e.LName));
        t.setField("God", e.God);
        t.setField("Kvartal", e.Kvartal);
        // In 64 bits: a year beyond the column's range is refused by the table.
        t.setField("Period", std::int64_t(e.God) * 10 + e.Kvartal);
        t.setField("StrNach", e.StrNach);
        t.setField("StrUpl", e.StrUpl);
        t.setField("StrDolg", e.StrDolg);
        t.setField("NakNach", e.NakNach);
        t.setField("NakUpl", e.NakUpl);
        t.setField("NakDolg", e.NakDolg);
        t.setField("Category", std::string_view(e.Category));
    });
}

void AddResultRow(Table& resTable, const TReconEntry& e, Prompts& prompts) {
    storeRow(resTable, e, "Ошибка в итоговых данных", prompts, [&e](Table& t) {
        t.setField("SNILS", std::string_view(e.SNILS));
        t.setField("FIO", e.LName + " " + e.FName + " " + e.MName);
        t.setField("Cat", std::string_view(e.Category));
        t.setField("God", e.God);
        t.setField("Period", e.Kvartal);
        t.setField("StrItog", e.StrItog);
        t.setField("NakItog", e.NakItog);
    });
}

} // namespace quarlex
