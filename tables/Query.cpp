#include "tables/Query.h"

#include <sqlite3.h>

#include "tables/EngineValue.h"
#include "tables/Error.h"
#include "tables/MessageText.h"
#include "tables/SqlTranslator.h"
#include "tables/Table.h"

namespace quarlex {

namespace {

std::string inStatement(const std::string& statement) {
    return "SQL error in statement \"" + quotedText(statement) + "\"";
}

// A target that the caller did not create gets the result columns as they are.
const TableDef& createTarget(Database& db, const TranslatedSelect& t) {
    TableDef def{t.intoTable, {}, {}, {}};
    for (const auto& c : t.columns)
        def.fields.push_back(FieldDef{c.name, c.type, 0, {}, 0, true});
    Table(db, def).CreateTable();
    return *db.layout(t.intoTable);
}

} // namespace

void Query::ExecSQL() {
    m_columns.clear();
    m_types.clear();
    m_rows.clear();
    const TranslatedSelect t =
        SqlTranslator([this](std::string_view name) { return m_db.layout(name); }).translate(m_sql);
    const TableDef* target = t.intoTable.empty() ? nullptr : m_db.layout(t.intoTable);
    for (const auto& c : t.columns) {
        if (target && !target->field(c.name))
            throw Error(inStatement(m_sql) + ": table " + target->name + " has no column " +
                        c.name);
        m_columns.push_back(c.name);
        m_types.push_back(c.type);
    }
    Statement st = m_db.prepare(t.sql(), inStatement(m_sql));
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        std::vector<Value> row;
        row.reserve(t.columns.size());
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            row.push_back(columnValue(st.get(), static_cast<int>(i), t.columns[i].type));
        m_rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        m_rows.clear();
    m_db.check(rc, inStatement(m_sql));
    if (t.intoTable.empty())
        return;
    // INTO: the rows go through the target's own store path, as BatchMove's
    // do, so that widths and ranges are those of every other write.
    if (!target)
        target = &createTarget(m_db, t);
    std::vector<std::vector<Value>> rows;
    rows.swap(m_rows);
    Table(m_db, *target).appendRows(m_columns, rows, false);
}

} // namespace quarlex
