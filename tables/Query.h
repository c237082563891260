#pragma once
// A statement object (RepQ, UpdQ): takes one statement of the engine's SQL
// dialect, translates it to SQLite and runs it. A SELECT with INTO fills the
// named table; a SELECT without INTO keeps its result rows here for BatchMove.
#include <string>
#include <vector>

#include "Database.h"
#include "TableDef.h"
#include "Value.h"

namespace quarlex {

class Query {
public:
    explicit Query(Database& db) : m_db(db) {}

    void setInMemory(bool on) { m_inMemory = on; }
    bool inMemory() const { return m_inMemory; }

    void setSQL(std::string sql) { m_sql = std::move(sql); }
    const std::string& SQL() const { return m_sql; }

    // Raises Error naming the statement and the position for SQL the
    // translator does not know, and naming a column that does not exist.
    void ExecSQL();

    // The result of the last SELECT without INTO; money results are Money.
    const std::vector<std::string>& columns() const { return m_columns; }
    const std::vector<FieldType>& columnTypes() const { return m_types; }
    const std::vector<std::vector<Value>>& rows() const { return m_rows; }

private:
    Database& m_db;
    bool m_inMemory = false;
    std::string m_sql;
    std::vector<std::string> m_columns;
    std::vector<FieldType> m_types;
    std::vector<std::vector<Value>> m_rows;
};

} // namespace quarlex
