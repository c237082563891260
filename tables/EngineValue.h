#pragma once
// Internal to the tables layer: field values into and out of SQLite
// statements, one rule for the cursor, the store path and the statements.
#include <sqlite3.h>

#include "TableDef.h"
#include "Value.h"

namespace quarlex {

// A column of the statement's current row in the representation of `type`:
// money as Money, whole numbers as integers, texts as UTF-8; NULL as nothing.
Value columnValue(sqlite3_stmt* st, int col, FieldType type);

// Binds a value; a text is bound in place and must outlive the step.
void bindValue(sqlite3_stmt* st, int pos, const Value& v);

} // namespace quarlex
