#include "import/ReconEntry.h"

#include "import/StoreRow.h"
#include "tables/MessageText.h"

namespace quarlex {

namespace {

std::string rowMessage(const TReconEntry& e) {
    return "Стр.Номер: " + quotedText(e.SNILS) + "\r\nФамилия: " + quotedText(e.LName) +
           "\r\nИмя: " + quotedText(e.FName) + "\r\nОтчество: " + quotedText(e.MName) +
           "\r\nГод: " + std::to_string(e.God) + "\r\nКвартал: " + std::to_string(e.Kvartal) +
           "\r\nКатегория: " + quotedText(e.Category);
}

} // namespace

void TReconEntry::computeDebts() {
    StrDolg = StrNach - StrUpl;
    NakDolg = NakNach - NakUpl;
}

void AddImportRow(Table& impTable, const TReconEntry& e, Prompts& prompts) {
    storeRowOrReport(
        impTable, "Ошибка в данных", prompts,
        [&e](Table& t) {
            t.setField("SNILS", std::string_view(e.SNILS));
            t.setField("FName", std::string_view(e.FName));
            t.setField("MName", std::string_view(e.MName));
            t.setField("LName", std::string_view(e.LName));
            t.setField("God", e.God);
            t.setField("Kvartal", e.Kvartal);
            // In 64 bits: a year beyond the column's range is refused by the table.
            t.setField("Period", std::int64_t(e.God) * 10 + e.Kvartal);
            t.setField("Category", std::string_view(e.Category));
            t.setField("StrNach", e.StrNach);
            t.setField("StrUpl", e.StrUpl);
            t.setField("StrDolg", e.StrDolg);
            t.setField("NakNach", e.NakNach);
            t.setField("NakUpl", e.NakUpl);
            t.setField("NakDolg", e.NakDolg);
        },
        [&e] { return rowMessage(e); });
}

void AddResultRow(Table& resTable, const TReconEntry& e, Prompts& prompts) {
    storeRowOrReport(
        resTable, "Ошибка в итоговых данных", prompts,
        [&e](Table& t) {
            t.setField("SNILS", std::string_view(e.SNILS));
            std::string fio;
            fio.reserve(e.LName.size() + e.FName.size() + e.MName.size() + 2);
            fio.append(e.LName).append(" ").append(e.FName).append(" ").append(e.MName);
            t.setField("FIO", std::string_view(fio));
            t.setField("Cat", std::string_view(e.Category));
            t.setField("God", e.God);
            t.setField("Period", e.Kvartal);
            t.setField("StrItog", e.StrItog);
            t.setField("NakItog", e.NakItog);
        },
        [&e] { return rowMessage(e); });
}

} // namespace quarlex
