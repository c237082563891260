#include "tables/Query.h"

#include <sqlite3.h>

#include <cmath>
#include <memory>

#include "tables/Error.h"
#include "tables/MessageText.h"
#include "tables/SqlTranslator.h"
#include "tables/Table.h"

namespace quarlex {

namespace {

bool isText(FieldType t) {
    return t == FieldType::AnsiText || t == FieldType::UnicodeText;
}

std::string inStatement(const std::string& statement) {
    return "SQL error in statement \"" + quotedText(statement) + "\"";
}

Value readValue(sqlite3_stmt* st, int col, FieldType type) {
    const int kind = sqlite3_column_type(st, col);
    if (kind == SQLITE_NULL)
        return {};
    if (isText(type)) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
        return std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
    }
    const std::int64_t n = kind == SQLITE_FLOAT ? std::llround(sqlite3_column_double(st, col))
                                                : sqlite3_column_int64(st, col);
    if (type == FieldType::Money)
        return Money::fromUnits(n);
    return n;
}

// Whole units of an amount of ten-thousandths, a tie going to the even
// neighbour, as the tables round money stored in an integer column.
std::string moneyToWhole(const std::string& e) {
    const std::string x = "(" + e + ")";
    const std::string q = "(" + x + " / 10000)", r = "(" + x + " % 10000)";
    return "(" + q + " + CASE WHEN abs(" + r + ") * 2 > 10000 OR (abs(" + r + ") * 2 = 10000 AND " +
           q + " % 2 <> 0) THEN (CASE WHEN " + r + " < 0 THEN -1 ELSE 1 END) ELSE 0 END)";
}

// The result expression in the target column's representation, as a row
// stored through the table would have it: texts cut to the width, nothing
// becoming the column's default.
std::string storedForm(const SqlResultColumn& c, const FieldDef& f, const TableDef& table,
                       const std::string& statement) {
    auto mismatch = [&] {
        throw Error(inStatement(statement) + ": result column " + c.name + " is " +
                    (isText(c.type) ? "text" : "a number") + ", column " + f.name + " of table " +
                    table.name + " is not");
    };
    std::string e;
    if (isText(f.type)) {
        e = c.type == FieldType::Money ? sqlMoneyText(c.expr)
            : isText(c.type)           ? c.expr
                                       : "CAST(" + c.expr + " AS TEXT)";
        if (f.size > 0)
            e = "substr(" + e + ", 1, " + std::to_string(f.size) + ")";
        return "coalesce(" + e + ", '')";
    }
    if (isText(c.type))
        mismatch();
    if (f.type == FieldType::Money)
        e = c.type == FieldType::Money ? c.expr : "(" + c.expr + ") * 10000";
    else
        e = c.type == FieldType::Money ? moneyToWhole(c.expr) : c.expr;
    return "coalesce(" + e + ", 0)";
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
    for (const auto& c : t.columns) {
        m_columns.push_back(c.name);
        m_types.push_back(c.type);
    }
    if (t.intoTable.empty()) {
        Statement st = m_db.prepare(t.sql(), inStatement(m_sql));
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            std::vector<Value> row;
            for (std::size_t i = 0; i < t.columns.size(); ++i)
                row.push_back(readValue(st.get(), static_cast<int>(i), t.columns[i].type));
            m_rows.push_back(std::move(row));
        }
        if (rc != SQLITE_DONE)
            m_rows.clear();
        m_db.check(rc, inStatement(m_sql));
        return;
    }
    const TableDef* target = m_db.layout(t.intoTable);
    if (!target)
        target = &createTarget(m_db, t);
    std::string columns;
    std::vector<std::string> exprs;
    for (const auto& c : t.columns) {
        const FieldDef* f = target->field(c.name);
        if (!f)
            throw Error(inStatement(m_sql) + ": table " + target->name + " has no column " +
                        c.name);
        columns += (columns.empty() ? "" : ", ") + sqlIdentifier(f->name);
        exprs.push_back(storedForm(c, *f, *target, m_sql));
    }
    // Rows written so far are committed first: the INSERT then stands alone,
    // and a failure of it cannot take earlier rows with it.
    m_db.flush();
    const std::string sql =
        "INSERT INTO " + sqlIdentifier(target->name) + " (" + columns + ") " + t.sqlWith(exprs);
    Statement st = m_db.prepare(sql, inStatement(m_sql));
    m_db.check(sqlite3_step(st.get()), inStatement(m_sql));
}

} // namespace quarlex
