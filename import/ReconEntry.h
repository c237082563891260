#pragma once
// What the reconciliation readers share: the kind of the chosen file, the
// current entry that a reader fills line by line (or row by row), and the two
// writers that turn it into a row of ImpTable and of ResTable.
#include <string>

#include "tables/Money.h"
#include "tables/Prompts.h"
#include "tables/WorkingTables.h"

namespace quarlex {

enum TFileType { ftNone, ftTxt, ftXls };

// One entry lives for the whole import: a reader overwrites only the fields
// it reads, so a person read from one line stays for the lines that follow.
struct TReconEntry {
    std::string SNILS;
    std::string LName;
    std::string FName;
    std::string MName;
    int God = 0;
    int Kvartal = 0;
    Money StrNach, StrUpl, StrDolg;
    Money NakNach, NakUpl, NakDolg;
    Money StrItog, NakItog;
    std::string Category;

    // StrDolg and NakDolg from the accrued and paid amounts.
    void computeDebts();
};

// Append one row each. A row the table refuses is reported through `prompts`
// ("Ошибка в данных" / "Ошибка в итоговых данных"), nothing of it stays, and
// the import goes on.
void AddImportRow(Table& impTable, const TReconEntry& entry, Prompts& prompts);
void AddResultRow(Table& resTable, const TReconEntry& entry, Prompts& prompts);

// The category of every reconciliation row.
inline constexpr const char* kReconCategory = "ОСН";

} // namespace quarlex
