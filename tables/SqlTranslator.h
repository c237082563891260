#pragma once
// Translates one SELECT of the engine's SQL dialect to SQLite SQL with a
// tokenizer and a recursive-descent parser. Every column is resolved against
// the layout of its FROM table and every expression is typed, so that
// double-quoted texts become string literals, '+' on text becomes '||', money
// keeps its scale and a column never resolves to a result alias.
//
// The dialect:
//   statement := SELECT [DISTINCT] item {',' item} [INTO name] FROM name
//                [WHERE expr] [GROUP BY name {',' name}]
//                [ORDER BY name [ASC|DESC] {',' name [ASC|DESC]}] [';']
//   item      := expr [AS (name | "quoted name")]
//   expr      := and {OR and}       and := not {AND not}     not := NOT not | cmp
//   cmp       := sum [(= | <> | != | < | <= | > | >=) sum]
//   sum       := product {(+ | -) product}            product := unary {'*' unary}
//   unary     := - unary | primary
//   primary   := integer | decimal | "text" | 'text' | column
//              | (SUM | MIN | MAX | AVG | COUNT) '(' [DISTINCT] expr ')' | COUNT '(' '*' ')'
//              | '(' expr ')' | '(' subquery ')'
//   subquery  := a statement with one item, without INTO and ';', over its own FROM table
// Keywords and names in any letter case; a doubled quote inside a text is
// one quote; a double-quoted token names a result column only directly
// after AS. ORDER BY may also name a result column given by AS.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "TableDef.h"

namespace quarlex {

// The layout of an existing table by name in any letter case; null if none.
using LayoutLookup = std::function<const TableDef*(std::string_view)>;

struct SqlResultColumn {
    std::string name; // AS name, else the column's own name, else "EXPRn"; unique
    FieldType type = FieldType::Integer;
    std::string expr; // SQLite expression; money as its count of ten-thousandths
};

struct TranslatedSelect {
    std::string statement; // the dialect text as given
    bool distinct = false;
    std::vector<SqlResultColumn> columns;
    std::string tail;      // " FROM ..." up to the end, SQLite form
    std::string intoTable; // as written; empty without INTO
    std::string fromTable; // the FROM table's own spelling

    // The whole SQLite SELECT, each column named by its result name.
    std::string sql() const;
    // The same SELECT with the result expressions replaced, one per column.
    std::string sqlWith(const std::vector<std::string>& exprs) const;
};

class SqlTranslator {
public:
    explicit SqlTranslator(LayoutLookup lookup) : m_lookup(std::move(lookup)) {}

    // Raises Error naming the statement and the 1-based character position
    // for anything it does not know, and naming the column and the table for a
    // column that does not exist.
    TranslatedSelect translate(std::string_view statement) const;

private:
    LayoutLookup m_lookup;
};

// SQLite forms of names and texts.
std::string sqlIdentifier(std::string_view name);  // "name", '"' doubled
std::string sqlTextLiteral(std::string_view text); // 'text', '\'' doubled
// Text of a money expression (ten-thousandths) with four decimals and '.',
// exact for every 64-bit value; NULL stays NULL.
std::string sqlMoneyText(const std::string& expr);

} // namespace quarlex
