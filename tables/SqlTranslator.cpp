#include "tables/SqlTranslator.h"

#include <charconv>
#include <memory>
#include <optional>

#include "tables/Error.h"
#include "tables/MessageText.h"
#include "tables/WholeNumber.h"

namespace quarlex {

std::string quoted(std::string_view text, char quote) {
    std::string out(1, quote);
    for (char c : text) {
        out += c;
        if (c == quote)
            out += quote;
    }
    return out + quote;
}

namespace {

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// ---------------------------------------------------------------- tokens

enum class Tok { Name, Integer, Text, Symbol, End };

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
    while (true) {
        while (i < s.size() && isBlankChar(s[i]))
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
            while (i < s.size() && (isNameStart(s[i]) || isAsciiDigit(s[i])))
                t.text += s[i++];
        } else if (isAsciiDigit(c)) {
            t.kind = Tok::Integer;
            while (i < s.size() && isAsciiDigit(s[i]))
                t.text += s[i++];
            if (i < s.size() && (isNameStart(s[i]) || s[i] == '.'))
                fail.at(i, "unexpected character '" + std::string(1, s[i]) + "' in a number");
        } else if (c == '"') {
            t.kind = Tok::Text;
            ++i;
            while (true) {
                if (i == s.size())
                    fail.at(t.pos, "unterminated text constant");
                if (s[i] == '"') {
                    if (i + 1 < s.size() && s[i + 1] == '"') {
                        t.text += '"';
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
            if (s.substr(i, 2) == "<=")
                t.text = "<=";
            else if (std::string_view("=+(),;").find(c) != std::string_view::npos)
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
    enum Kind { Column, Integer, Text, Binary, Aggregate, Subquery };
    Kind kind;
    std::string text; // column name, literal, operator or upper-cased function
    std::size_t pos = 0;
    std::vector<std::unique_ptr<Node>> args;
    std::unique_ptr<SelectAst> sub;
};
using NodePtr = std::unique_ptr<Node>;

struct NameRef {
    std::string name;
    std::size_t pos = 0;
};

struct SelectItem {
    NodePtr expr;
    std::optional<std::string> alias;
    std::size_t pos = 0;
};

struct SelectAst {
    bool distinct = false;
    std::vector<SelectItem> items;
    std::optional<NameRef> into;
    NameRef from;
    NodePtr where;
    std::vector<NameRef> groupBy;
    std::optional<NameRef> orderBy;
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
        case Tok::Text:
            return "text constant";
        default:
            return "'" + quotedText(t.text) + "'";
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
        static const char* const words[] = {"SELECT", "DISTINCT", "INTO", "FROM", "WHERE", "GROUP",
                                            "BY",     "ORDER",    "ASC",  "AS",   "AND"};
        for (const char* w : words)
            if (t.is(w))
                return true;
        return false;
    }
    NameRef name(std::string_view what) {
        if (peek().kind != Tok::Name || reserved(peek()))
            expected(what);
        const Token& t = next();
        return {t.text, t.pos};
    }

    SelectAst select(bool scalar) {
        SelectAst s;
        expectKeyword("SELECT");
        s.distinct = accept("DISTINCT");
        do {
            SelectItem item;
            item.pos = peek().pos;
            item.expr = expr();
            if (accept("AS")) {
                if (peek().kind == Tok::Text) {
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
            s.orderBy = name("a column name in ORDER BY");
            accept("ASC");
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
        NodePtr left = comparison();
        while (peek().is("AND")) {
            const std::size_t pos = next().pos;
            left = binary("AND", pos, std::move(left), comparison());
        }
        return left;
    }
    NodePtr comparison() {
        NodePtr left = sum();
        for (const char* op : {"=", "<="}) {
            if (peek().sym(op)) {
                const std::size_t pos = next().pos;
                return binary(op, pos, std::move(left), sum());
            }
        }
        return left;
    }
    NodePtr sum() {
        NodePtr left = primary();
        while (peek().sym("+")) {
            const std::size_t pos = next().pos;
            left = binary("+", pos, std::move(left), primary());
        }
        return left;
    }
    NodePtr primary() {
        const Token& t = peek();
        switch (t.kind) {
        case Tok::Integer:
            return make(Node::Integer, next().text, t.pos);
        case Tok::Text:
            return make(Node::Text, next().text, t.pos);
        case Tok::Name:
            if ((t.is("SUM") || t.is("MAX")) && peek(1).sym("("))
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
        NodePtr n = make(Node::Aggregate, upperName(f.text), f.pos);
        expectSym("(");
        n->args.push_back(expr());
        expectSym(")");
        return n;
    }

    std::vector<Token> m_t;
    std::size_t m_i = 0;
    const Failure& m_fail;
};

// ---------------------------------------------------------------- emission

// What an expression gives: a value of a column type, or a condition.
struct Typed {
    std::string sql;
    FieldType type = FieldType::Integer;
    bool condition = false;
};

class Emitter {
public:
    Emitter(const LayoutLookup& lookup, const Failure& fail) : m_lookup(lookup), m_fail(fail) {}

    TranslatedSelect select(const SelectAst& s) {
        TranslatedSelect out;
        const TableDef& table = resolveTable(s.from);
        std::string sql = s.distinct ? "SELECT DISTINCT " : "SELECT ";
        for (const SelectItem& item : s.items) {
            Typed t = value(*item.expr, table, Context::SelectList);
            if (!item.alias && item.expr->kind != Node::Column)
                m_fail.at(item.pos, "a computed column needs a name after AS");
            std::string name = item.alias ? *item.alias : table.field(item.expr->text)->name;
            for (const auto& c : out.columns)
                if (sameName(c.name, name))
                    m_fail.at(item.pos, "result column " + quotedText(name) + " appears twice");
            sql += (out.columns.empty() ? "" : ", ") + t.sql + " AS " + sqlIdentifier(name);
            out.columns.push_back({std::move(name), t.type, std::move(t.sql)});
        }
        if (s.into)
            out.intoTable = s.into->name;
        out.sqlite = sql + tail(s, table);
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
    const FieldDef& field(const NameRef& ref, const TableDef& table) const {
        const FieldDef* f = table.field(ref.name);
        if (!f)
            m_fail.at(ref.pos, "table " + table.name + " has no column " + quotedText(ref.name));
        return *f;
    }
    std::string column(const NameRef& ref, const TableDef& table) const {
        return sqlIdentifier(table.name) + "." + sqlIdentifier(field(ref, table).name);
    }

    std::string tail(const SelectAst& s, const TableDef& table) {
        std::string out = " FROM " + sqlIdentifier(table.name);
        if (s.where) {
            Typed w = expr(*s.where, table, Context::Where);
            if (!w.condition)
                m_fail.at(s.where->pos, "WHERE needs a condition");
            out += " WHERE " + w.sql;
        }
        for (std::size_t i = 0; i < s.groupBy.size(); ++i)
            out += (i ? ", " : " GROUP BY ") + column(s.groupBy[i], table);
        if (s.orderBy)
            out += " ORDER BY " + column(*s.orderBy, table) + " ASC";
        return out;
    }

    // An expression that gives a value, not a condition.
    Typed value(const Node& n, const TableDef& table, Context ctx) {
        Typed t = expr(n, table, ctx);
        if (t.condition)
            m_fail.at(n.pos, "a condition cannot be used as a value");
        return t;
    }

    Typed expr(const Node& n, const TableDef& table, Context ctx) {
        switch (n.kind) {
        case Node::Column: {
            const FieldDef& f = field({n.text, n.pos}, table);
            return {column({n.text, n.pos}, table), f.type};
        }
        case Node::Integer: {
            std::int64_t v = 0;
            auto [end, ec] = std::from_chars(n.text.data(), n.text.data() + n.text.size(), v);
            if (ec != std::errc() || end != n.text.data() + n.text.size())
                m_fail.at(n.pos, "number " + quotedText(n.text) + " is too large");
            return {std::to_string(v), FieldType::Integer};
        }
        case Node::Text:
            return {sqlTextLiteral(n.text), FieldType::UnicodeText};
        case Node::Binary:
            return binary(n, table, ctx);
        case Node::Aggregate:
            return aggregate(n, table, ctx);
        case Node::Subquery:
            return subquery(n);
        }
        m_fail.at(n.pos, "unknown expression");
    }

    Typed binary(const Node& n, const TableDef& table, Context ctx) {
        const std::string& op = n.text;
        if (op == "AND") {
            Typed a = expr(*n.args[0], table, ctx);
            Typed b = expr(*n.args[1], table, ctx);
            if (!a.condition || !b.condition)
                m_fail.at(n.pos, "AND joins conditions only");
            return {"(" + a.sql + " AND " + b.sql + ")", FieldType::Integer, true};
        }
        Typed a = value(*n.args[0], table, ctx);
        Typed b = value(*n.args[1], table, ctx);
        if (op == "+") {
            if (!isText(a.type) || !isText(b.type))
                m_fail.at(n.pos, "'+' joins texts only");
            return {"(" + a.sql + " || " + b.sql + ")", FieldType::UnicodeText};
        }
        // = and <=: a text with a text, an amount with an amount, a whole
        // number with a whole number.
        if (isText(a.type) != isText(b.type))
            m_fail.at(n.pos, "a text cannot be compared with a number");
        if ((a.type == FieldType::Money) != (b.type == FieldType::Money))
            m_fail.at(n.pos, "an amount cannot be compared with a whole number");
        return {"(" + a.sql + " " + op + " " + b.sql + ")", FieldType::Integer, true};
    }

    Typed aggregate(const Node& n, const TableDef& table, Context ctx) {
        if (ctx == Context::Where)
            m_fail.at(n.pos, n.text + " cannot be used in WHERE");
        if (ctx == Context::InsideAggregate)
            m_fail.at(n.pos, n.text + " cannot be used inside another aggregate");
        Typed a = value(*n.args[0], table, Context::InsideAggregate);
        if (isText(a.type))
            m_fail.at(n.pos, n.text + " needs a numeric argument");
        // SQLite's sum() raises "integer overflow" rather than wrap.
        return {(n.text == "SUM" ? "sum(" : "max(") + a.sql + ")", a.type};
    }

    Typed subquery(const Node& n) {
        const SelectAst& s = *n.sub;
        const TableDef& table = resolveTable(s.from);
        Typed item = value(*s.items[0].expr, table, Context::SelectList);
        std::string sql = s.distinct ? "(SELECT DISTINCT " : "(SELECT ";
        sql += item.sql + tail(s, table) + ")";
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
    return Emitter(m_lookup, fail).select(ast);
}

} // namespace quarlex
