#pragma once
// Translates one SELECT of the engine's SQL dialect to SQLite SQL with a
// tokenizer and a recursive-descent parser. Every column is resolved against
// the layout of its FROM table and every expression is typed, so that
// double-quoted texts become string literals, '+' on texts becomes '||',
// money keeps its scale and a column never resolves to a result alias.
//
// The dialect is what the system's statements use, and no more:
//   statement := SELECT [DISTINCT] item {',' item} [INTO name] FROM name
//                [WHERE expr] [GROUP BY name {',' name}] [ORDER BY name [ASC]] [';']
//   item      := column [AS alias] | expr AS alias
//   alias     := name | "quoted name"
//   expr      := cmp {AND cmp}          cmp := sum [(= | <=) sum]
//   sum       := primary {'+' primary}  ('+' joins texts)
//   primary   := integer | "text" | column | (SUM | MAX) '(' expr ')'
//              | '(' expr ')' | '(' subquery ')'
//   subquery  := a statement with one item, without INTO and ';', over its own FROM table
// Keywords and names in any letter case; a doubled quote inside a text is
// one quote; a double-quoted token names a result column only directly
// after AS. Anything else is refused with the position.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "TableDef.h"

namespace quarlex {

// The layout of an existing table by name in any letter case; null if none.
using LayoutLookup = std::function<const TableDef*(std::string_view)>;

struct SqlResultColumn {
    std::string name; // the AS name, else the column's own name; unique
    FieldType type = FieldType::Integer;
    std::string expr; // SQLite expression; money as its count of ten-thousandths
};

struct TranslatedSelect {
    std::vector<SqlResultColumn> columns;
    std::string intoTable; // as written; empty without INTO
    std::string sqlite;    // the whole SQLite SELECT, each column named by its result name

    const std::string& sql() const { return sqlite; }
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

// One quoting rule for every quoted form: the text between two `quote`
// characters, each one inside doubled.
std::string quoted(std::string_view text, char quote);
inline std::string sqlIdentifier(std::string_view name) {
    return quoted(name, '"');
}
inline std::string sqlTextLiteral(std::string_view text) {
    return quoted(text, '\'');
}
// A text constant of the dialect, matched as it is whatever it holds.
inline std::string dialectText(std::string_view text) {
    return quoted(text, '"');
}

} // namespace quarlex
