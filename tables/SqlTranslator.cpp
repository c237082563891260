#include "tables/SqlTranslator.h"

#include <charconv>
#include <memory>
#include <optional>

#include "tables/Error.h"
#include "tables/MessageText.h"
#include "tables/Money.h"

namespace quarlex {

std::string sqlIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + '"';
}

std::string sqlTextLiteral(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + '\'';
}

std::string sqlMoneyText(const std::string& expr) {
    // Negative amounts are negated after the division so that the smallest
    // 64-bit value does not overflow in abs().
    const std::string x = "(" + expr + ")";
    return "(CASE WHEN " + x + " < 0 THEN '-' || (-(" + x +
           " / 10000)) || '.' || substr('0000' || (-(" + x + " % 10000)), -4) ELSE (" + x +
           " / 10000) || '.' || substr('0000' || (" + x + " % 10000), -4) END)";
}

std::string TranslatedSelect::sql() const {
    std::vector<std::string> exprs;
    for (const auto& c : columns)
        exprs.push_back(c.expr);
    return sqlWith(exprs);
}

std::string TranslatedSelect::sqlWith(const std::vector<std::string>& exprs) const {
    std::string out = distinct ? "SELECT DISTINCT " : "SELECT ";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i)
            out += ", ";
        out += exprs.at(i) + " AS " + sqlIdentifier(columns[i].name);
    }
    return out + tail;
}

namespace {

// ASCII only, whatever the process locale: a byte of a UTF-8 letter is never
// a letter, a blank or changed in case here.
bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    return upper(a) == upper(b);
}

bool isText(FieldType t) {
    return t == FieldType::AnsiText || t == FieldType::UnicodeText;
}
bool isWhole(FieldType t) {
    return t == FieldType::SmallInt || t == FieldType::Integer;
}

// ---------------------------------------------------------------- tokens

enum class Tok { Name, Integer, Decimal, DqText, SqText, Symbol, End };

struct Token {
    Tok kind = Tok::End;
    std::string text;    // names and numbers as written, texts unquoted, symbols
    std::size_t pos = 0; // byte offset in the statement
    bool is(std::string_view keyword) const { return kind == Tok::Name && sameName(text, keyword); }
    bool sym(std::string_view s) const { return kind == Tok::Symbol && text == s; }
};

class Failure {
public:
    explicit Failure(std::string_view statement) : m_statement(statement) {}

    [[noreturn]] void at(std::size_t bytePos, const std::string& what) const {
        throw Error("SQL error at position " + std::to_string(charPosition(bytePos)) +
                    " in statement \"" + quotedText(m_statement) + "\": " + what);
    }

private:
    // 1-based position in characters, not bytes: names and texts may be Cyrillic.
    std::size_t charPosition(std::size_t bytePos) const {
        std::size_t n = 1;
        for (std::size_t i = 0; i < bytePos && i < m_statement.size(); ++i)
            if ((static_cast<unsigned char>(m_statement[i]) & 0xC0) != 0x80)
                ++n;
        return n;
    }
    std::string_view m_statement;
};

std::vector<Token> tokenize(std::string_view s, const Failure& fail) {
    std::vector<Token> out;
    std::size_t i = 0;
    auto isNameStart = [](char c) { return isAsciiLetter(c) || c == '_'; };
    auto isDigit = isAsciiDigit;
    while (true) {
        while (i < s.size() && isBlank(s[i]))
            ++i;
        Token t;
        t.pos = i;
        if (i == s.size()) {
            out.push_back(t);
            return out;
        }
        const char c = s[i];
        if (isNameStart(c)) {
            t.kind = Tok::Name;
            while (i < s.size() && (isNameStart(s[i]) || isDigit(s[i])))
                t.text += s[i++];
        } else if (isDigit(c) || (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]))) {
            t.kind = Tok::Integer;
            while (i < s.size() && isDigit(s[i]))
                t.text += s[i++];
            if (i < s.size() && s[i] == '.') {
                t.kind = Tok::Decimal;
                t.text += s[i++];
                while (i < s.size() && isDigit(s[i]))
                    t.text += s[i++];
            }
            if (i < s.size() && isNameStart(s[i]))
                fail.at(i, "unexpected character '" + std::string(1, s[i]) + "' in a number");
        } else if (c == '"' || c == '\'') {
            t.kind = c == '"' ? Tok::DqText : Tok::SqText;
            ++i;
            while (true) {
                if (i == s.size())
                    fail.at(t.pos, "unterminated text constant");
                if (s[i] == c) {
                    if (i + 1 < s.size() && s[i + 1] == c) {
                        t.text += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += s[i++];
            }
        } else {
            t.kind = Tok::Symbol;
            static const char* const twoChar[] = {"<=", ">=", "<>", "!="};
            for (const char* op : twoChar)
                if (s.substr(i, 2) == op)
                    t.text = op;
            if (t.text.empty() && std::string_view("=<>+-*(),;").find(c) != std::string_view::npos)
                t.text = std::string(1, c);
            if (t.text.empty()) {
                std::size_t len = 1;
                while (i + len < s.size() &&
                       (static_cast<unsigned char>(s[i + len]) & 0xC0) == 0x80)
                    ++len;
                fail.at(i, "unexpected character '" + std::string(s.substr(i, len)) + "'");
            }
            i += t.text.size();
        }
        out.push_back(std::move(t));
    }
}

// ---------------------------------------------------------------- syntax tree

struct SelectAst;

struct Node {
    enum Kind {
        Column,
        Integer,
        Decimal,
        Text,
        Negate,
        Not,
        Binary,
        Aggregate,
        CountStar,
        Subquery
    };
    Kind kind;
    std::string text; // column name, literal, operator or upper-cased function
    std::size_t pos = 0;
    bool distinct = false;
    std::vector<std::unique_ptr<Node>> args;
    std::unique_ptr<SelectAst> sub;
};
using NodePtr = std::unique_ptr<Node>;

struct NameRef {
    std::string name;
    std::size_t pos = 0;
    bool descending = false;
};

struct SelectItem {
    NodePtr expr;
    std::optional<std::string> alias;
};

struct SelectAst {
    bool distinct = false;
    std::vector<SelectItem> items;
    std::optional<NameRef> into;
    NameRef from;
    NodePtr where;
    std::vector<NameRef> groupBy;
    std::vector<NameRef> orderBy;
};

class Parser {
public:
    Parser(std::vector<Token> tokens, const Failure& fail) : m_t(std::move(tokens)), m_fail(fail) {}

    SelectAst statement() {
        SelectAst s = select(false);
        if (peek().sym(";"))
            ++m_i;
        if (peek().kind != Tok::End)
            m_fail.at(peek().pos,
                      "unexpected " + describe(peek()) + " after the end of the statement");
        return s;
    }

private:
    const Token& peek(std::size_t ahead = 0) const {
        return m_t[std::min(m_i + ahead, m_t.size() - 1)];
    }
    const Token& next() {
        const Token& t = peek();
        if (t.kind != Tok::End)
            ++m_i;
        return t;
    }
    bool accept(std::string_view keyword) {
        if (!peek().is(keyword))
            return false;
        ++m_i;
        return true;
    }
    bool acceptSym(std::string_view s) {
        if (!peek().sym(s))
            return false;
        ++m_i;
        return true;
    }
    static std::string describe(const Token& t) {
        switch (t.kind) {
        case Tok::End:
            return "end of statement";
        case Tok::DqText:
        case Tok::SqText:
            return "text constant";
        default:
            return "'" + t.text + "'";
        }
    }
    [[noreturn]] void expected(std::string_view what) const {
        m_fail.at(peek().pos, "expected " + std::string(what) + ", found " + describe(peek()));
    }
    void expectKeyword(std::string_view keyword) {
        if (!accept(keyword))
            expected(keyword);
    }
    void expectSym(std::string_view s) {
        if (!acceptSym(s))
            expected("'" + std::string(s) + "'");
    }

    static bool reserved(const Token& t) {
        static const char* const words[] = {"SELECT", "DISTINCT", "INTO",  "FROM", "WHERE",
                                            "GROUP",  "BY",       "ORDER", "ASC",  "DESC",
                                            "AS",     "AND",      "OR",    "NOT"};
        for (const char* w : words)
            if (t.is(w))
                return true;
        return false;
    }
    NameRef name(std::string_view what) {
        if (peek().kind != Tok::Name || reserved(peek()))
            expected(what);
        const Token& t = next();
        return {t.text, t.pos, false};
    }

    SelectAst select(bool scalar) {
        SelectAst s;
        expectKeyword("SELECT");
        s.distinct = accept("DISTINCT");
        do {
            SelectItem item;
            item.expr = expr();
            if (accept("AS")) {
                if (peek().kind == Tok::DqText) {
                    if (peek().text.empty())
                        m_fail.at(peek().pos, "empty column name after AS");
                    item.alias = next().text;
                } else {
                    item.alias = name("a column name after AS").name;
                }
            }
            s.items.push_back(std::move(item));
        } while (acceptSym(","));
        if (scalar && s.items.size() != 1)
            m_fail.at(peek().pos, "a subquery must give exactly one column");
        if (!scalar && accept("INTO"))
            s.into = name("a table name after INTO");
        expectKeyword("FROM");
        s.from = name("a table name after FROM");
        if (accept("WHERE"))
            s.where = expr();
        if (accept("GROUP")) {
            expectKeyword("BY");
            do
                s.groupBy.push_back(name("a column name in GROUP BY"));
            while (acceptSym(","));
        }
        if (accept("ORDER")) {
            expectKeyword("BY");
            do {
                NameRef ref = name("a column name in ORDER BY");
                if (accept("DESC"))
                    ref.descending = true;
                else
                    accept("ASC");
                s.orderBy.push_back(ref);
            } while (acceptSym(","));
        }
        return s;
    }

    NodePtr make(Node::Kind kind, std::string text, std::size_t pos) {
        auto n = std::make_unique<Node>();
        n->kind = kind;
        n->text = std::move(text);
        n->pos = pos;
        return n;
    }
    NodePtr binary(std::string op, std::size_t pos, NodePtr a, NodePtr b) {
        NodePtr n = make(Node::Binary, std::move(op), pos);
        n->args.push_back(std::move(a));
        n->args.push_back(std::move(b));
        return n;
    }

    NodePtr expr() {
        NodePtr left = andExpr();
        while (peek().is("OR")) {
            const std::size_t pos = next().pos;
            left = binary("OR", pos, std::move(left), andExpr());
        }
        return left;
    }
    NodePtr andExpr() {
        NodePtr left = notExpr();
        while (peek().is("AND")) {
            const std::size_t pos = next().pos;
            left = binary("AND", pos, std::move(left), notExpr());
        }
        return left;
    }
    NodePtr notExpr() {
        if (peek().is("NOT")) {
            NodePtr n = make(Node::Not, "NOT", next().pos);
            n->args.push_back(notExpr());
            return n;
        }
        return comparison();
    }
    NodePtr comparison() {
        NodePtr left = sum();
        for (const char* op : {"=", "<>", "!=", "<", "<=", ">", ">="}) {
            if (peek().sym(op)) {
                const std::size_t pos = next().pos;
                return binary(op == std::string_view("!=") ? "<>" : op, pos, std::move(left),
                              sum());
            }
        }
        return left;
    }
    NodePtr sum() {
        NodePtr left = product();
        while (peek().sym("+") || peek().sym("-")) {
            const Token& op = next();
            left = binary(op.text, op.pos, std::move(left), product());
        }
        return left;
    }
    NodePtr product() {
        NodePtr left = unary();
        while (peek().sym("*")) {
            const std::size_t pos = next().pos;
            left = binary("*", pos, std::move(left), unary());
        }
        return left;
    }
    NodePtr unary() {
        if (peek().sym("-")) {
            NodePtr n = make(Node::Negate, "-", next().pos);
            n->args.push_back(unary());
            return n;
        }
        return primary();
    }
    static bool isAggregate(const Token& t) {
        for (const char* f : {"SUM", "MIN", "MAX", "AVG", "COUNT"})
            if (t.is(f))
                return true;
        return false;
    }
    NodePtr primary() {
        const Token& t = peek();
        switch (t.kind) {
        case Tok::Integer:
            return make(Node::Integer, next().text, t.pos);
        case Tok::Decimal:
            return make(Node::Decimal, next().text, t.pos);
        case Tok::DqText:
        case Tok::SqText:
            return make(Node::Text, next().text, t.pos);
        case Tok::Name:
            if (isAggregate(t) && peek(1).sym("("))
                return aggregate();
            if (reserved(t))
                expected("an expression");
            return make(Node::Column, next().text, t.pos);
        default:
            break;
        }
        if (!t.sym("("))
            expected("an expression");
        const std::size_t pos = next().pos;
        if (peek().is("SELECT")) {
            NodePtr n = make(Node::Subquery, "", pos);
            n->sub = std::make_unique<SelectAst>(select(true));
            expectSym(")");
            return n;
        }
        NodePtr inner = expr();
        expectSym(")");
        return inner;
    }
    NodePtr aggregate() {
        const Token& f = next();
        NodePtr n = make(Node::Aggregate, upper(f.text), f.pos);
        expectSym("(");
        if (n->text == "COUNT" && peek().sym("*")) {
            next();
            n->kind = Node::CountStar;
        } else {
            n->distinct = accept("DISTINCT");
            n->args.push_back(expr());
        }
        expectSym(")");
        return n;
    }

    std::vector<Token> m_t;
    std::size_t m_i = 0;
    const Failure& m_fail;
};

// ---------------------------------------------------------------- emission

struct Typed {
    std::string sql;
    FieldType type;
};

class Emitter {
public:
    Emitter(const LayoutLookup& lookup, const Failure& fail) : m_lookup(lookup), m_fail(fail) {}

    TranslatedSelect select(const SelectAst& s, std::string_view statement) {
        TranslatedSelect out;
        out.statement = std::string(statement);
        out.distinct = s.distinct;
        const TableDef& table = resolveTable(s.from);
        out.fromTable = table.name;
        for (std::size_t i = 0; i < s.items.size(); ++i) {
            const SelectItem& item = s.items[i];
            Typed t = expr(*item.expr, table, Context::SelectList);
            std::string name = item.alias ? *item.alias
                               : item.expr->kind == Node::Column
                                   ? table.field(item.expr->text)->name
                                   : "EXPR" + std::to_string(i + 1);
            out.columns.push_back({uniqueName(name, out.columns), t.type, std::move(t.sql)});
        }
        if (s.into)
            out.intoTable = s.into->name;
        out.tail = tail(s, table, &out.columns);
        return out;
    }

private:
    enum class Context { SelectList, Where, InsideAggregate };

    const TableDef& resolveTable(const NameRef& ref) const {
        const TableDef* def = m_lookup ? m_lookup(ref.name) : nullptr;
        if (!def)
            m_fail.at(ref.pos, "table " + quotedText(ref.name) + " does not exist");
        return *def;
    }
    std::string column(const NameRef& ref, const TableDef& table) const {
        const FieldDef* f = table.field(ref.name);
        if (!f)
            m_fail.at(ref.pos, "table " + table.name + " has no column " + quotedText(ref.name));
        return sqlIdentifier(table.name) + "." + sqlIdentifier(f->name);
    }

    static std::string uniqueName(const std::string& wanted,
                                  const std::vector<SqlResultColumn>& taken) {
        auto used = [&](const std::string& n) {
            for (const auto& c : taken)
                if (sameName(c.name, n))
                    return true;
            return false;
        };
        std::string name = wanted;
        for (int k = 1; used(name); ++k)
            name = wanted + "_" + std::to_string(k);
        return name;
    }

    std::string tail(const SelectAst& s, const TableDef& table,
                     const std::vector<SqlResultColumn>* results) {
        std::string out = " FROM " + sqlIdentifier(table.name);
        if (s.where) {
            Typed w = expr(*s.where, table, Context::Where);
            requireNotText(w, s.where->pos, "WHERE");
            out += " WHERE " + w.sql;
        }
        for (std::size_t i = 0; i < s.groupBy.size(); ++i)
            out += (i ? ", " : " GROUP BY ") + column(s.groupBy[i], table);
        for (std::size_t i = 0; i < s.orderBy.size(); ++i) {
            const NameRef& ref = s.orderBy[i];
            out += (i ? ", " : " ORDER BY ") + orderTerm(ref, table, results) +
                   (ref.descending ? " DESC" : " ASC");
        }
        return out;
    }
    // A table column first; a result column named by AS only when the table
    // has no column of that name.
    std::string orderTerm(const NameRef& ref, const TableDef& table,
                          const std::vector<SqlResultColumn>* results) const {
        if (!table.field(ref.name) && results)
            for (const auto& c : *results)
                if (sameName(c.name, ref.name))
                    return sqlIdentifier(c.name);
        return column(ref, table);
    }

    void requireNotText(const Typed& t, std::size_t pos, std::string_view where) const {
        if (isText(t.type))
            m_fail.at(pos, "a text cannot be used as a condition in " + std::string(where));
    }

    Typed expr(const Node& n, const TableDef& table, Context ctx) {
        switch (n.kind) {
        case Node::Column: {
            std::string sql = column({n.text, n.pos, false}, table); // raises for a stranger
            return {std::move(sql), table.field(n.text)->type};
        }
        case Node::Integer: {
            std::int64_t v = 0;
            auto [end, ec] = std::from_chars(n.text.data(), n.text.data() + n.text.size(), v);
            if (ec != std::errc() || end != n.text.data() + n.text.size())
                m_fail.at(n.pos, "number " + n.text + " is too large");
            return {std::to_string(v), FieldType::Integer};
        }
        case Node::Decimal: {
            // Amounts are stored as ten-thousandths, so a decimal constant is one too.
            std::optional<Money> m = Money::parse(n.text);
            if (!m)
                m_fail.at(n.pos, "number " + n.text + " is too large");
            return {std::to_string(m->units()), FieldType::Money};
        }
        case Node::Text:
            return {sqlTextLiteral(n.text), FieldType::UnicodeText};
        case Node::Negate: {
            Typed a = expr(*n.args[0], table, ctx);
            if (isText(a.type))
                m_fail.at(n.pos, "a text cannot be negated");
            return {"(-" + a.sql + ")", a.type};
        }
        case Node::Not: {
            Typed a = expr(*n.args[0], table, ctx);
            requireNotText(a, n.pos, "NOT");
            return {"(NOT " + a.sql + ")", FieldType::Integer};
        }
        case Node::Binary:
            return binary(n, table, ctx);
        case Node::Aggregate:
        case Node::CountStar:
            return aggregate(n, table, ctx);
        case Node::Subquery:
            return subquery(n);
        }
        m_fail.at(n.pos, "unknown expression");
    }

    // Money against a whole number: the whole number is scaled to ten-thousandths.
    static void alignNumbers(Typed& a, Typed& b) {
        if (a.type == FieldType::Money && isWhole(b.type))
            b = {"(" + b.sql + " * 10000)", FieldType::Money};
        else if (b.type == FieldType::Money && isWhole(a.type))
            a = {"(" + a.sql + " * 10000)", FieldType::Money};
    }
    static std::string asText(const Typed& t) {
        return t.type == FieldType::Money ? sqlMoneyText(t.sql) : t.sql;
    }

    Typed binary(const Node& n, const TableDef& table, Context ctx) {
        Typed a = expr(*n.args[0], table, ctx);
        Typed b = expr(*n.args[1], table, ctx);
        const std::string& op = n.text;
        const bool text = isText(a.type) || isText(b.type);
        if (op == "+" && text)
            return {"(" + asText(a) + " || " + asText(b) + ")", FieldType::UnicodeText};
        if (op == "AND" || op == "OR") {
            requireNotText(a, n.args[0]->pos, op);
            requireNotText(b, n.args[1]->pos, op);
            return {"(" + a.sql + " " + op + " " + b.sql + ")", FieldType::Integer};
        }
        const bool comparison = op != "+" && op != "-" && op != "*";
        if (comparison) {
            if (isText(a.type) != isText(b.type))
                m_fail.at(n.pos, "a text cannot be compared with a number");
            alignNumbers(a, b);
            return {"(" + a.sql + " " + op + " " + b.sql + ")", FieldType::Integer};
        }
        if (text)
            m_fail.at(n.pos, "'" + op + "' cannot be applied to a text");
        if (op == "*") {
            if (a.type == FieldType::Money && b.type == FieldType::Money)
                m_fail.at(n.pos, "two amounts of money cannot be multiplied");
            const FieldType t = a.type == FieldType::Money || b.type == FieldType::Money
                                    ? FieldType::Money
                                    : FieldType::Integer;
            return {"(" + a.sql + " * " + b.sql + ")", t};
        }
        alignNumbers(a, b);
        const FieldType t = a.type == FieldType::Money ? FieldType::Money : FieldType::Integer;
        return {"(" + a.sql + " " + op + " " + b.sql + ")", t};
    }

    Typed aggregate(const Node& n, const TableDef& table, Context ctx) {
        if (ctx == Context::Where)
            m_fail.at(n.pos, n.text + " cannot be used in WHERE");
        if (ctx == Context::InsideAggregate)
            m_fail.at(n.pos, n.text + " cannot be used inside another aggregate");
        if (n.kind == Node::CountStar)
            return {"count(*)", FieldType::Integer};
        Typed a = expr(*n.args[0], table, Context::InsideAggregate);
        const std::string arg = (n.distinct ? "DISTINCT " : "") + a.sql;
        if (n.text == "COUNT")
            return {"count(" + arg + ")", FieldType::Integer};
        if (n.text == "MIN" || n.text == "MAX")
            return {(n.text == "MIN" ? "min(" : "max(") + arg + ")", a.type};
        if (isText(a.type))
            m_fail.at(n.pos, n.text + " needs a numeric argument");
        if (n.text == "SUM")
            return {"sum(" + arg + ")",
                    a.type == FieldType::Money ? FieldType::Money : FieldType::Integer};
        // AVG: an average is rarely whole, so it is given as money, to four places.
        const std::string scaled =
            a.type == FieldType::Money ? "avg(" + arg + ")" : "(avg(" + arg + ") * 10000)";
        return {"CAST(round(" + scaled + ") AS INTEGER)", FieldType::Money};
    }

    Typed subquery(const Node& n) {
        const SelectAst& s = *n.sub;
        const TableDef& table = resolveTable(s.from);
        Typed item = expr(*s.items[0].expr, table, Context::SelectList);
        std::string sql = s.distinct ? "(SELECT DISTINCT " : "(SELECT ";
        sql += item.sql + tail(s, table, nullptr) + ")";
        return {sql, item.type};
    }

    const LayoutLookup& m_lookup;
    const Failure& m_fail;
};

} // namespace

TranslatedSelect SqlTranslator::translate(std::string_view statement) const {
    const Failure fail(statement);
    Parser parser(tokenize(statement, fail), fail);
    const SelectAst ast = parser.statement();
    return Emitter(m_lookup, fail).select(ast, statement);
}

} // namespace quarlex
