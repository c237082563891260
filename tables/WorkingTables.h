#pragma once
// The five working tables with their layouts, and the reset that every
// import run applies to the first three.
#include "Database.h"
#include "Query.h"
#include "Table.h"

namespace quarlex {

TableDef impTableDef();
TableDef corrTableDef();
TableDef resTableDef();
TableDef tmpTableDef();
TableDef catTableDef();

struct WorkingTables {
    Database db;
    Table ImpTable{db, impTableDef()};
    Table CorrTable{db, corrTableDef()};
    Table ResTable{db, resTableDef()};
    Table TmpTable{db, tmpTableDef()};
    Table CatTable{db, catTableDef()};
    Query RepQ{db};
    Query UpdQ{db};
};

// If the table is open, close it and empty it; otherwise switch it to
// in-memory operation and create it. The table is closed afterwards.
void clearTable(Table& table);
// clearTable, then open it.
void resetTable(Table& table);

} // namespace quarlex
