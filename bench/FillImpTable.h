#pragma once
// The large employer of the table benchmarks: `persons` insured persons with
// `periods` consecutive quarters each, stored row by row through the record
// buffer exactly as an import stores them.
#include <cstdio>
#include <string>

#include "tables/WorkingTables.h"

namespace quarlex::bench {

inline std::string benchSnils(int person) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%03d-%03d-%03d %02d", person / 1000000 % 1000,
                  person / 1000 % 1000, person % 1000, person % 100);
    return buf;
}

// Resets ImpTable and fills it; quarters start with the first of 2002.
inline void fillImpTable(WorkingTables& tables, int persons, int periods) {
    resetTable(tables.ImpTable);
    Table& imp = tables.ImpTable;
    for (int p = 0; p < persons; ++p) {
        const std::string key = benchSnils(100000 + p * 7);
        for (int q = 0; q < periods; ++q) {
            const int year = 2002 + q / 4, quarter = q % 4 + 1;
            imp.Insert();
            imp.setField("SNILS", key);
            imp.setField("FName", "Иван");
            imp.setField("MName", "Иванович");
            imp.setField("LName", "Иванов");
            imp.setField("God", year);
            imp.setField("Kvartal", quarter);
            imp.setField("Period", year * 10 + quarter);
            imp.setField("Category", "ОСН");
            imp.setField("StrNach", Money::fromUnits(12345600));
            imp.setField("StrUpl", Money::fromUnits(12000000));
            imp.setField("StrDolg", Money::fromUnits(345600));
            imp.setField("NakNach", Money::fromUnits(4000000));
            imp.setField("NakUpl", Money::fromUnits(4000000));
            imp.setField("NakDolg", Money());
            imp.Post();
        }
    }
    tables.db.flush();
}

} // namespace quarlex::bench
