// One statement of the engine's SQL dialect, as text, through the translator
// and the table engine over fresh working tables holding a few rows, as the
// report runs its statements. An Error is the answer to SQL the dialect does
// not know; a crash, a sanitizer report or any other exception is a fault.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tables/Error.h"
#include "tables/Money.h"
#include "tables/WorkingTables.h"

namespace {

void addRow(quarlex::Table& t, const char* snils, std::int64_t period, const char* category,
            const char* debt) {
    t.Insert();
    t.setField("SNILS", std::string_view(snils));
    t.setField("LName", std::string_view("ИВАНОВ"));
    t.setField("FName", std::string_view("ИВАН"));
    t.setField("MName", std::string_view("ИВАНОВИЧ"));
    t.setField("God", period / 10);
    t.setField("Kvartal", period % 10);
    t.setField("Period", period);
    t.setField("Category", std::string_view(category));
    for (const char* field : {"StrNach", "StrUpl", "StrDolg", "NakNach", "NakUpl", "NakDolg"})
        t.setField(field, quarlex::Money::parse(debt).value());
    t.Post();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quarlex::WorkingTables tables;
    for (quarlex::Table* t : {&tables.ImpTable, &tables.CorrTable, &tables.ResTable,
                              &tables.TmpTable, &tables.CatTable})
        quarlex::resetTable(*t);
    addRow(tables.ImpTable, "012-345-678 05", 20111, "НР", "1000.50");
    addRow(tables.ImpTable, "012-345-678 05", 20112, "НР", "-0.0001");
    addRow(tables.ImpTable, "111-222-333 44", 20111, "ПНЭД", "922337203685477.5807");
    tables.RepQ.setInMemory(true);
    tables.RepQ.setSQL(std::string(reinterpret_cast<const char*>(data), size));
    try {
        tables.RepQ.ExecSQL();
    } catch (const quarlex::AssertionFailure&) {
        std::abort();
    } catch (const quarlex::Error&) {
    }
    return 0;
}
