#include "tables/Table.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "tables/EngineValue.h"
#include "tables/Error.h"
#include "tables/MessageText.h"
#include "tables/Query.h"
#include "tables/SqlTranslator.h"
#include "tables/TextWidth.h"
#include "tables/WholeNumber.h"

namespace quarlex {

namespace {

// Whole units of an amount, a tie going to the even neighbour.
std::int64_t roundToWhole(Money m) {
    std::int64_t q = m.units() / Money::kScale, r = m.units() % Money::kScale;
    std::int64_t twice = 2 * (r < 0 ? -r : r);
    if (twice > Money::kScale || (twice == Money::kScale && (q % 2) != 0))
        q += r < 0 ? -1 : 1;
    return q;
}

Value defaultFor(FieldType t) {
    if (isText(t))
        return std::string();
    if (t == FieldType::Money)
        return Money();
    return std::int64_t(0);
}

// The same in place: a text keeps its storage.
void resetToDefault(Value& v, FieldType t) {
    if (auto* text = std::get_if<std::string>(&v); text && isText(t))
        text->clear();
    else
        v = defaultFor(t);
}

// Resets a cached statement however the use ends, so that no statement stays
// active (an active one would block DROP TABLE and COMMIT). Its parameters
// are cleared too, unless every use binds all of them (a row's store).
class StmtUse {
public:
    enum class Bindings { Clear, AllRebound };
    explicit StmtUse(sqlite3_stmt* st, Bindings bindings = Bindings::Clear)
        : m_st(st), m_bindings(bindings) {}
    ~StmtUse() {
        sqlite3_reset(m_st);
        if (m_bindings == Bindings::Clear)
            sqlite3_clear_bindings(m_st);
    }
    StmtUse(const StmtUse&) = delete;
    StmtUse& operator=(const StmtUse&) = delete;
    sqlite3_stmt* get() const { return m_st; }

private:
    sqlite3_stmt* m_st;
    Bindings m_bindings;
};

std::string keyText(const TableDef& def, const std::vector<int>& keyIdx,
                    const std::vector<Value>& row) {
    std::string out;
    for (std::size_t i = 0; i < keyIdx.size(); ++i) {
        const FieldDef& f = def.fields[static_cast<std::size_t>(keyIdx[i])];
        if (i)
            out += ", ";
        out += f.name + " = ";
        const Value& v = row[static_cast<std::size_t>(keyIdx[i])];
        out += std::holds_alternative<std::string>(v) ? "'" + quotedText(valueToText(v)) + "'"
                                                      : valueToText(v);
    }
    return out;
}

} // namespace

// One statement of the table, prepared on first use and kept.
struct CachedSql {
    std::string text;
    Statement st;
};

struct Table::Impl {
    Table& t;
    std::unordered_map<std::string, Statement> statements; // Locate, by field list
    struct LocateSql {
        std::string fields; // as given
        std::vector<int> idx;
        sqlite3_stmt* st = nullptr; // owned by `statements`
    } locateSql;
    std::vector<Value> locateParams;
    CachedSql first, last, next, byKey, rows, rowsFrom, firstKey, keyFromLead, sameLeadBelow, count,
        countBelow, insert, insertOrIgnore, update;

    // Every kAnchorStep-th key in index order, so that a jump to row n seeks
    // to the nearest anchor and skips fewer than kAnchorStep rows instead of n.
    // Extended as deep jumps need them, dropped when rows changed. Seeks go by
    // the key's first column alone: a row-value range is tested again on every
    // skipped row, five times the cost of the skip. `before` counts the rows
    // with the anchor's first-column value that precede it.
    static constexpr int kAnchorStep = 2048;
    struct Anchor {
        std::vector<Value> key;
        std::int64_t before = 0;
    };
    std::vector<Anchor> anchors;
    std::int64_t anchorsSeen = -1;

    // SQL pieces, fixed by the layout.
    std::string table;      // quoted name
    std::string columns;    // quoted columns, layout order (+ rowid for tables without index)
    std::string keyColumns; // "k1","k2" or rowid
    std::string keyAsc, keyDesc;
    std::string keyPlaceholders;
    bool rowidKey = false;
    std::vector<int> keyIdx;

    // The current row: its values and key, and the change count they were read at.
    bool hasCurrent = false;
    std::vector<Value> current;
    std::vector<Value> currentKey;
    std::int64_t currentSeen = -1;
    int recNo = -1; // -1: not known yet

    std::vector<Value> buffer;
    std::vector<Value> editKey;
    bool modified = false;

    explicit Impl(Table& owner) : t(owner) {
        buildSql();
        const std::string select = "SELECT " + columns + " FROM " + table;
        const std::string byKeyOrder = " ORDER BY " + keyAsc;
        first.text = select + byKeyOrder + " LIMIT 1";
        last.text = select + " ORDER BY " + keyDesc + " LIMIT 1";
        next.text = select + " WHERE (" + keyColumns + ") > (" + keyPlaceholders + ")" +
                    byKeyOrder + " LIMIT 1";
        byKey.text = select + " WHERE (" + keyColumns + ") = (" + keyPlaceholders + ")";
        rows.text = select + byKeyOrder + " LIMIT ?1 OFFSET ?2";
        const std::string lead =
            rowidKey ? std::string("rowid") : sqlIdentifier(def().indexFields[0]);
        rowsFrom.text = select + " WHERE " + lead + " >= ?3" + byKeyOrder + " LIMIT ?1 OFFSET ?2";
        firstKey.text = "SELECT " + keyColumns + " FROM " + table + byKeyOrder + " LIMIT 1";
        keyFromLead.text = "SELECT " + keyColumns + " FROM " + table + " WHERE " + lead + " >= ?1" +
                           byKeyOrder + " LIMIT 1 OFFSET ?2";
        if (keyWidth() > 1) {
            std::string rest, restPlaceholders;
            for (std::size_t i = 1; i < keyWidth(); ++i) {
                rest += i > 1 ? "," : "";
                rest += sqlIdentifier(def().fields[static_cast<std::size_t>(keyIdx[i])].name);
                restPlaceholders += i > 1 ? ",?" : "?";
                restPlaceholders += std::to_string(i + 1);
            }
            sameLeadBelow.text = "SELECT count(*) FROM " + table + " WHERE " + lead +
                                 " = ?1 AND (" + rest + ") < (" + restPlaceholders + ")";
        }
        count.text = "SELECT count(*) FROM " + table;
        countBelow.text = count.text + " WHERE (" + keyColumns + ") < (" + keyPlaceholders + ")";
        insert.text = insertSql(false);
        insertOrIgnore.text = insertSql(true);
        update.text = updateSql();
    }
    ~Impl() { finalizeAll(); }

    const TableDef& def() const { return t.m_def; }
    sqlite3* db() const { return t.m_db.handle(); }
    // A version of the rows: the connection's count of changed rows. A change
    // anywhere may concern this table (SQL run elsewhere), so the current row
    // is read again by its key and the seek points are dropped when it moves.
    std::int64_t changes() const { return sqlite3_total_changes64(db()); }
    std::size_t fieldCount() const { return def().fields.size(); }

    std::string prefix() const { return def().name + ": "; }
    [[noreturn]] void fail(const std::string& text) const { throw Error(prefix() + text); }

    void buildSql() {
        table = sqlIdentifier(def().name);
        for (std::size_t i = 0; i < fieldCount(); ++i) {
            columns += i ? "," : "";
            columns += sqlIdentifier(def().fields[i].name);
        }
        rowidKey = def().indexFields.empty();
        if (rowidKey) {
            columns += ",rowid";
            keyColumns = keyAsc = "rowid";
            keyDesc = "rowid DESC";
            keyPlaceholders = "?1";
            return;
        }
        for (std::size_t i = 0; i < def().indexFields.size(); ++i) {
            const FieldDef* f = def().field(def().indexFields[i]);
            if (!f)
                fail("Index field '" + def().indexFields[i] + "' not found");
            keyIdx.push_back(static_cast<int>(f - def().fields.data()));
            std::string q = sqlIdentifier(f->name);
            std::string sep = i ? "," : "";
            keyColumns += sep + q;
            keyAsc += sep + q;
            keyDesc += sep + q + " DESC";
            keyPlaceholders += sep + "?" + std::to_string(i + 1);
        }
    }

    sqlite3_stmt* statement(const std::string& sql) {
        auto it = statements.find(sql);
        if (it == statements.end())
            it = statements.emplace(sql, t.m_db.prepare(sql, def().name, true)).first;
        return it->second.get();
    }

    sqlite3_stmt* statement(CachedSql& sql) {
        if (!sql.st)
            sql.st = t.m_db.prepare(sql.text, def().name, true);
        return sql.st.get();
    }

    void finalizeAll() {
        statements.clear();
        locateSql = {};
        anchors.clear();
        anchorsSeen = -1;
        for (CachedSql* c :
             {&first, &last, &next, &byKey, &rows, &rowsFrom, &firstKey, &keyFromLead,
              &sameLeadBelow, &count, &countBelow, &insert, &insertOrIgnore, &update})
            c->st.reset();
    }

    std::string select() const { return "SELECT " + columns + " FROM " + table; }

    std::size_t keyWidth() const { return rowidKey ? 1 : keyIdx.size(); }

    // Extends the anchors up to index `upto` (fewer when the table ends first),
    // each found from the one before by one OFFSET skip inside the engine.
    void extendAnchors(std::size_t upto) {
        if (anchorsSeen != changes()) {
            anchors.clear();
            anchorsSeen = changes();
        }
        while (anchors.size() <= upto) {
            StmtUse use(statement(anchors.empty() ? firstKey : keyFromLead));
            if (!anchors.empty()) {
                bindValue(use.get(), 1, anchors.back().key[0]);
                sqlite3_bind_int64(use.get(), 2, kAnchorStep + anchors.back().before);
            }
            int rc = sqlite3_step(use.get());
            check(rc);
            if (rc != SQLITE_ROW)
                return;
            Anchor a;
            for (std::size_t k = 0; k < keyWidth(); ++k)
                a.key.push_back(
                    rowidKey ? Value(sqlite3_column_int64(use.get(), 0))
                             : columnValue(use.get(), static_cast<int>(k),
                                           def().fields[static_cast<std::size_t>(keyIdx[k])].type));
            if (keyWidth() > 1)
                a.before = scalar(sameLeadBelow, a.key);
            anchors.push_back(std::move(a));
        }
    }

    // Rows [offset, offset+limit) in index order, handed to `onRow` with the
    // statement positioned on each.
    template <class OnRow> void scan(std::int64_t offset, std::int64_t limit, OnRow onRow) {
        std::size_t anchor = 0;
        if (offset >= kAnchorStep) {
            extendAnchors(static_cast<std::size_t>(offset / kAnchorStep));
            if (!anchors.empty())
                anchor =
                    std::min(static_cast<std::size_t>(offset / kAnchorStep), anchors.size() - 1);
        }
        sqlite3_stmt* st = statement(anchor ? rowsFrom : rows);
        if (anchor) {
            bindValue(st, 3, anchors[anchor].key[0]);
            offset += anchors[anchor].before - static_cast<std::int64_t>(anchor) * kAnchorStep;
        }
        StmtUse use(st);
        sqlite3_bind_int64(st, 1, limit);
        sqlite3_bind_int64(st, 2, offset);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            onRow(st);
        check(rc);
    }

    // The statement's row in layout order, and its key into `key` if given.
    std::vector<Value> readColumns(sqlite3_stmt* st, std::vector<Value>* key) const {
        std::vector<Value> row;
        row.reserve(fieldCount());
        for (std::size_t i = 0; i < fieldCount(); ++i)
            row.push_back(columnValue(st, static_cast<int>(i), def().fields[i].type));
        if (key) {
            key->resize(keyWidth());
            if (rowidKey)
                (*key)[0] = sqlite3_column_int64(st, static_cast<int>(fieldCount()));
            else
                for (std::size_t k = 0; k < keyIdx.size(); ++k)
                    (*key)[k] = row[static_cast<std::size_t>(keyIdx[k])];
        }
        return row;
    }

    // Runs a one-row cursor query; on a row, it becomes the current row.
    // The parameters may be the current key itself: they are read only until
    // the new row has been copied out.
    bool fetch(sqlite3_stmt* st, const std::vector<Value>& params) {
        StmtUse use(st);
        for (std::size_t i = 0; i < params.size(); ++i)
            bindValue(use.get(), static_cast<int>(i + 1), params[i]);
        int rc = sqlite3_step(use.get());
        if (rc == SQLITE_ROW) {
            std::vector<Value> key;
            current = readColumns(use.get(), &key);
            currentKey = std::move(key);
            hasCurrent = true;
            currentSeen = changes();
            return true;
        }
        check(rc);
        return false;
    }

    void check(int rc) const { t.m_db.check(rc, def().name); }

    // Moves the cursor to the row after the current one; false at the end
    // (the current row stays). One keyed seek a row: no read-ahead to keep
    // in step with writes.
    bool stepForward() { return fetch(statement(next), currentKey); }

    std::int64_t scalar(CachedSql& sql, const std::vector<Value>& params) {
        StmtUse use(statement(sql));
        for (std::size_t i = 0; i < params.size(); ++i)
            bindValue(use.get(), static_cast<int>(i + 1), params[i]);
        int rc = sqlite3_step(use.get());
        check(rc);
        return rc == SQLITE_ROW ? sqlite3_column_int64(use.get(), 0) : 0;
    }

    // Rows may have been changed by SQL run elsewhere on the connection: then
    // the current row is read again by its key.
    void refresh() {
        if (!hasCurrent || currentSeen == changes())
            return;
        recNo = -1;
        if (!fetch(statement(byKey), currentKey)) {
            hasCurrent = false;
            current.clear();
        }
    }

    // SQLite counts a table's rows from its B-tree pages: cheap enough to ask
    // every time (under 0.1 ms at 400,000 rows), so no count is kept.
    int rowCount() { return static_cast<int>(scalar(count, {})); }

    void clearCursor() {
        hasCurrent = false;
        current.clear();
        currentKey.clear();
        recNo = -1;
    }

    void requireOpen() const {
        if (!t.m_active)
            fail("Cannot perform this operation on a closed dataset");
    }

    void requireEditing() const {
        if (t.m_state == State::Browse)
            fail("Dataset not in edit or insert mode");
    }

    // A pending buffer is stored (when something was set) or dropped before the
    // cursor moves, as the dataset convention has it.
    void settle() {
        if (t.m_state == State::Browse)
            return;
        if (modified)
            t.Post();
        else
            t.Cancel();
    }

    [[noreturn]] void rangeError(std::int64_t n, const FieldDef& f, long lo, long hi) const {
        fail(std::to_string(n) + " is not a valid value for field '" + f.name +
             "'. The allowed range is " + std::to_string(lo) + " to " + std::to_string(hi));
    }

    std::int64_t checkedInteger(std::int64_t n, const FieldDef& f) const {
        if (f.type == FieldType::SmallInt && (n < -32768 || n > 32767))
            rangeError(n, f, -32768, 32767);
        if (f.type == FieldType::Integer && (n < std::numeric_limits<std::int32_t>::min() ||
                                             n > std::numeric_limits<std::int32_t>::max()))
            rangeError(n, f, std::numeric_limits<std::int32_t>::min(),
                       std::numeric_limits<std::int32_t>::max());
        return n;
    }

    // A value in the column's own representation. For storing, texts are cut to
    // the width and nothing becomes the column's default ('' or 0); for
    // comparing (Locate) texts stay whole, since a cut value would match rows
    // the full value does not equal.
    Value toColumn(const FieldDef& f, const Value& v, bool forStore) const {
        if (isNull(v))
            return forStore ? defaultFor(f.type) : Value();
        if (isText(f.type)) {
            std::string s = valueToText(v);
            if (forStore)
                s.resize(widthPrefix(s, f.size));
            return s;
        }
        if (f.type == FieldType::Money) {
            if (const auto* n = std::get_if<std::int64_t>(&v)) {
                std::int64_t units = 0;
                if (__builtin_mul_overflow(*n, Money::kScale, &units))
                    fail(std::to_string(*n) + " is not a valid value for field '" + f.name + "'");
                return Money::fromUnits(units);
            }
            if (const auto* s = std::get_if<std::string>(&v)) {
                if (trimBlanks(*s).empty())
                    return Money();
                auto m = Money::parse(*s, '.');
                if (!m)
                    fail(notAnAmount(*s));
                return *m;
            }
            return v;
        }
        if (const auto* m = std::get_if<Money>(&v))
            return checkedInteger(roundToWhole(*m), f);
        if (const auto* s = std::get_if<std::string>(&v)) {
            if (trimBlanks(*s).empty())
                return std::int64_t(0);
            auto n = parseWholeNumber(*s);
            if (!n)
                fail(notAnInteger(*s));
            return checkedInteger(*n, f);
        }
        return checkedInteger(std::get<std::int64_t>(v), f);
    }

    const Value* readable(int idx) {
        if (t.m_state != State::Browse)
            return &buffer[static_cast<std::size_t>(idx)];
        if (!t.m_active)
            return nullptr;
        refresh();
        return hasCurrent ? &current[static_cast<std::size_t>(idx)] : nullptr;
    }

    std::string insertSql(bool ignorePresent) const {
        std::string sql = ignorePresent && !rowidKey ? "INSERT OR IGNORE INTO " : "INSERT INTO ";
        sql += table + " (";
        for (std::size_t i = 0; i < fieldCount(); ++i) {
            sql += i ? "," : "";
            sql += sqlIdentifier(def().fields[i].name);
        }
        sql += ") VALUES (";
        for (std::size_t i = 0; i < fieldCount(); ++i) {
            sql += i ? ",?" : "?";
            sql += std::to_string(i + 1);
        }
        return sql + ")";
    }

    std::string updateSql() const {
        std::string sql = "UPDATE " + table + " SET ";
        for (std::size_t i = 0; i < fieldCount(); ++i) {
            sql += i ? "," : "";
            sql += sqlIdentifier(def().fields[i].name) + "=?" + std::to_string(i + 1);
        }
        sql += " WHERE ";
        for (std::size_t k = 0; k < keyWidth(); ++k) {
            std::string col =
                rowidKey ? std::string("rowid")
                         : sqlIdentifier(def().fields[static_cast<std::size_t>(keyIdx[k])].name);
            sql += k ? " AND " : "";
            sql += col + "=?" + std::to_string(fieldCount() + k + 1);
        }
        return sql;
    }

    [[noreturn]] void keyViolation(const std::vector<Value>& row) const {
        fail("Key violation: a row with " + keyText(def(), keyIdx, row) + " is already present");
    }

    // A text field of the buffer, cut to the column's width.
    void setText(std::size_t idx, std::string_view text) {
        const std::string_view cut = cutToWidth(text, def().fields[idx].size);
        if (auto* held = std::get_if<std::string>(&buffer[idx]))
            held->assign(cut);
        else
            buffer[idx] = std::string(cut);
        modified = true;
    }

    void bindRow(sqlite3_stmt* st, const std::vector<Value>& row) const {
        for (std::size_t i = 0; i < row.size(); ++i)
            bindValue(st, static_cast<int>(i + 1), row[i]);
    }
};

Table::Table(Database& db, TableDef def)
    : m_db(db), m_def(std::move(def)), m_impl(std::make_unique<Impl>(*this)) {}

Table::~Table() = default;

void Table::CreateTable() {
    setActive(false);
    m_impl->finalizeAll();
    m_db.flush();
    std::string sql = "CREATE TABLE " + m_impl->table + " (";
    for (std::size_t i = 0; i < m_def.fields.size(); ++i) {
        const FieldDef& f = m_def.fields[i];
        sql += i ? ", " : "";
        sql += sqlIdentifier(f.name) + (isText(f.type) ? " TEXT" : " INTEGER");
    }
    if (!m_impl->rowidKey)
        sql += ", PRIMARY KEY(" + m_impl->keyColumns + ")) WITHOUT ROWID";
    else
        sql += ")";
    m_db.exec("DROP TABLE IF EXISTS " + m_impl->table, m_def.name);
    m_db.exec(sql, m_def.name);
    m_db.registerLayout(m_def);
    m_impl->clearCursor();
    ++m_generation;
}

void Table::EmptyTable() {
    Cancel();
    m_db.noteWrite();
    m_db.exec("DELETE FROM " + m_impl->table, m_def.name);
    m_impl->clearCursor();
    m_eof = true;
    ++m_generation;
}

void Table::DeleteTable() {
    setActive(false);
    m_impl->finalizeAll();
    m_db.flush();
    m_db.exec("DROP TABLE IF EXISTS " + m_impl->table, m_def.name);
    m_db.forgetLayout(m_def.name);
    m_impl->clearCursor();
    ++m_generation;
}

bool Table::Exists() const {
    return m_db.tableExists(m_def.name);
}

void Table::setActive(bool on) {
    if (on == m_active)
        return;
    if (!on) {
        Cancel();
        m_active = false;
        m_eof = true;
        m_impl->clearCursor();
        ++m_generation;
        return;
    }
    if (!Exists())
        m_impl->fail("Table '" + m_def.name + "' does not exist in database " + m_db.name());
    // Opening binds the declared columns by name: each must be there.
    TableDef present;
    {
        Statement st = m_db.prepare("PRAGMA table_info(" + m_impl->table + ")", m_def.name);
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW)
            present.fields.push_back(
                FieldDef{reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 1)),
                         FieldType::Integer,
                         0,
                         {},
                         0,
                         true});
        m_db.check(rc, m_def.name);
    }
    for (const auto& f : m_def.fields)
        if (!present.field(f.name))
            m_impl->fail("Field '" + f.name + "' not found");
    m_active = true;
    m_impl->clearCursor();
    ++m_generation;
    First();
}

void Table::Insert() {
    m_impl->requireOpen();
    m_impl->settle();
    // The buffer keeps its storage from the last row posted (its strings
    // too): a row is filled without allocating.
    auto& buffer = m_impl->buffer;
    buffer.resize(m_def.fields.size());
    for (std::size_t i = 0; i < buffer.size(); ++i)
        resetToDefault(buffer[i], m_def.fields[i].type);
    m_impl->modified = false;
    m_state = State::Insert;
}

void Table::Edit() {
    m_impl->requireOpen();
    m_impl->settle();
    m_impl->refresh();
    if (!m_impl->hasCurrent)
        m_impl->fail("Cannot edit: the table has no current row");
    m_impl->buffer = m_impl->current;
    m_impl->editKey = m_impl->currentKey;
    m_impl->modified = false;
    m_state = State::Edit;
}

void Table::Post() {
    m_impl->requireOpen();
    m_impl->requireEditing();
    Impl& d = *m_impl;
    const bool inserting = m_state == State::Insert;
    {
        StmtUse use(d.statement(inserting ? d.insert : d.update), StmtUse::Bindings::AllRebound);
        d.bindRow(use.get(), d.buffer);
        if (!inserting)
            for (std::size_t k = 0; k < d.editKey.size(); ++k)
                bindValue(use.get(), static_cast<int>(d.fieldCount() + k + 1), d.editKey[k]);
        m_db.noteWrite();
        int rc = sqlite3_step(use.get());
        if ((rc & 0xFF) == SQLITE_CONSTRAINT && !d.rowidKey)
            d.keyViolation(d.buffer);
        d.check(rc);
        if (!inserting && sqlite3_changes(m_db.handle()) == 0)
            d.fail("The row being edited is no longer in the table");
    }
    std::swap(d.current, d.buffer); // the old current row's storage serves the next Insert
    d.currentKey.clear();
    if (d.rowidKey)
        d.currentKey.push_back(inserting ? sqlite3_last_insert_rowid(m_db.handle())
                                         : std::get<std::int64_t>(d.editKey[0]));
    else
        for (int k : d.keyIdx)
            d.currentKey.push_back(d.current[static_cast<std::size_t>(k)]);
    d.hasCurrent = true;
    d.currentSeen = d.changes();
    d.recNo = -1;
    d.modified = false;
    m_state = State::Browse;
    m_eof = false;
    ++m_generation;
}

void Table::Cancel() {
    if (m_state == State::Browse)
        return;
    m_impl->buffer.clear();
    m_impl->modified = false;
    m_state = State::Browse;
}

void Table::setField(std::string_view field, std::string_view text) {
    m_impl->requireEditing();
    const auto idx = static_cast<std::size_t>(fieldIndex(field));
    if (!isText(m_def.fields[idx].type)) {
        setFieldValue(field, Value(std::string(text)));
        return;
    }
    m_impl->setText(idx, text);
}

void Table::setField(std::string_view field, std::int64_t number) {
    setFieldValue(field, Value(number));
}

void Table::setField(std::string_view field, Money amount) {
    setFieldValue(field, Value(amount));
}

void Table::setFieldValue(std::string_view field, const Value& value) {
    m_impl->requireEditing();
    int idx = fieldIndex(field);
    if (const auto* text = std::get_if<std::string>(&value);
        text && isText(m_def.fields[static_cast<std::size_t>(idx)].type)) {
        m_impl->setText(static_cast<std::size_t>(idx), *text);
        return;
    }
    m_impl->buffer[static_cast<std::size_t>(idx)] =
        m_impl->toColumn(m_def.fields[static_cast<std::size_t>(idx)], value, true);
    m_impl->modified = true;
}

int Table::RecordCount() const {
    if (!m_active)
        return 0;
    return m_impl->rowCount();
}

int Table::RecNo() const {
    Impl& d = *m_impl;
    if (!m_active)
        return 0;
    d.refresh();
    if (!d.hasCurrent)
        return 0;
    if (d.recNo < 0)
        d.recNo = 1 + static_cast<int>(d.scalar(d.countBelow, d.currentKey));
    return d.recNo;
}

void Table::setRecNo(int recNo) {
    Impl& d = *m_impl;
    d.requireOpen();
    d.settle();
    int n = d.rowCount();
    if (recNo < 1 || recNo > n)
        d.fail("Record number " + std::to_string(recNo) + " is out of range (1 to " +
               std::to_string(n) + ")");
    bool found = false;
    d.scan(recNo - 1, 1, [&](sqlite3_stmt* st) {
        std::vector<Value> key;
        d.current = d.readColumns(st, &key);
        d.currentKey = std::move(key);
        found = true;
    });
    if (!found)
        d.fail("Record number " + std::to_string(recNo) + " not found");
    d.hasCurrent = true;
    d.currentSeen = d.changes();
    d.recNo = recNo;
    m_eof = false;
}

void Table::First() {
    Impl& d = *m_impl;
    d.requireOpen();
    d.settle();
    if (d.fetch(d.statement(d.first), {})) {
        d.recNo = 1;
        m_eof = false;
    } else {
        d.clearCursor();
        m_eof = true;
    }
}

void Table::Next() {
    Impl& d = *m_impl;
    d.requireOpen();
    d.settle();
    d.refresh();
    if (!d.hasCurrent) {
        m_eof = true;
        return;
    }
    int known = d.recNo;
    if (d.stepForward()) {
        d.recNo = known > 0 ? known + 1 : -1;
        m_eof = false;
    } else {
        m_eof = true; // the last row stays current
    }
}

void Table::Last() {
    Impl& d = *m_impl;
    d.requireOpen();
    d.settle();
    if (d.fetch(d.statement(d.last), {})) {
        d.recNo = d.rowCount();
        m_eof = false;
    } else {
        d.clearCursor();
        m_eof = true;
    }
}

bool Table::Locate(std::string_view fields, const std::vector<Value>& values) {
    Impl& d = *m_impl;
    d.requireOpen();
    d.settle();
    // A run of lookups by the same fields (the merge's, one per correction)
    // reuses the parsed field list and its statement.
    Impl::LocateSql& q = d.locateSql;
    if (!q.st || q.fields != fields) {
        q.st = nullptr;
        q.idx.clear();
        for (std::size_t start = 0; start <= fields.size();) {
            std::size_t end = fields.find(';', start);
            if (end == std::string_view::npos)
                end = fields.size();
            q.idx.push_back(fieldIndex(trimBlanks(fields.substr(start, end - start))));
            start = end + 1;
        }
        std::string sql = d.select() + " WHERE ";
        for (std::size_t i = 0; i < q.idx.size(); ++i) {
            sql += i ? " AND " : "";
            sql += sqlIdentifier(m_def.fields[static_cast<std::size_t>(q.idx[i])].name) + " IS ?" +
                   std::to_string(i + 1);
        }
        sql += " ORDER BY " + d.keyAsc + " LIMIT 1";
        q.st = d.statement(sql);
        q.fields.assign(fields);
    }
    if (q.idx.size() != values.size())
        d.fail("Locate names " + std::to_string(q.idx.size()) + " fields but gives " +
               std::to_string(values.size()) + " values");
    std::vector<Value>& params = d.locateParams;
    params.resize(q.idx.size());
    for (std::size_t i = 0; i < q.idx.size(); ++i)
        params[i] = d.toColumn(m_def.fields[static_cast<std::size_t>(q.idx[i])], values[i], false);
    if (!d.fetch(q.st, params))
        return false;
    d.recNo = -1;
    m_eof = false;
    return true;
}

std::string Table::asString(std::string_view field) const {
    const Value* v = m_impl->readable(fieldIndex(field));
    return v ? valueToText(*v) : std::string();
}

std::int64_t Table::asInteger(std::string_view field) const {
    const Value* v = m_impl->readable(fieldIndex(field));
    if (!v)
        return 0;
    if (const auto* n = std::get_if<std::int64_t>(v))
        return *n;
    if (const auto* m = std::get_if<Money>(v))
        return roundToWhole(*m);
    if (const auto* s = std::get_if<std::string>(v)) {
        if (trimBlanks(*s).empty())
            return 0;
        if (auto n = parseWholeNumber(*s))
            return *n;
        throw Error(notAnInteger(*s));
    }
    return 0;
}

Money Table::asMoney(std::string_view field) const {
    const Value* v = m_impl->readable(fieldIndex(field));
    if (!v)
        return Money();
    if (const auto* m = std::get_if<Money>(v))
        return *m;
    if (const auto* n = std::get_if<std::int64_t>(v)) {
        std::int64_t units = 0;
        if (__builtin_mul_overflow(*n, Money::kScale, &units))
            m_impl->fail(std::to_string(*n) + " is out of the range of money in field '" +
                         std::string(field) + "'");
        return Money::fromUnits(units);
    }
    if (const auto* s = std::get_if<std::string>(v)) {
        if (trimBlanks(*s).empty())
            return Money();
        if (auto m = Money::parse(*s, '.'))
            return *m;
        throw Error(notAnAmount(*s));
    }
    return Money();
}

Value Table::value(std::string_view field) const {
    const Value* v = m_impl->readable(fieldIndex(field));
    return v ? *v : Value();
}

void Table::setVisible(std::string_view field, bool visible) {
    auto& f = m_def.fields[static_cast<std::size_t>(fieldIndex(field))];
    if (f.visible != visible) {
        f.visible = visible;
        ++m_generation;
    }
}

bool Table::isVisible(std::string_view field) const {
    return m_def.fields[static_cast<std::size_t>(fieldIndex(field))].visible;
}

int Table::BatchMove(const Query& source) {
    return appendRows(source.columns(), source.rows(), true);
}

int Table::appendRows(const std::vector<std::string>& columns,
                      const std::vector<std::vector<Value>>& rows, bool skipPresent) {
    Impl& d = *m_impl;
    d.settle();
    // Source column -> table column, by name in any letter case.
    std::vector<int> target;
    for (const auto& name : columns) {
        const FieldDef* f = m_def.field(name);
        target.push_back(f ? static_cast<int>(f - m_def.fields.data()) : -1);
    }
    // Table column -> the last source column mapped to it (a later one wins).
    std::vector<int> from(m_def.fields.size(), -1);
    for (std::size_t c = 0; c < target.size(); ++c)
        if (target[c] >= 0)
            from[static_cast<std::size_t>(target[c])] = static_cast<int>(c);
    int skipped = 0, stored = 0, rowNo = 0;
    std::vector<Value> converted(m_def.fields.size());
    for (const auto& src : rows) {
        ++rowNo;
        StmtUse use(d.statement(skipPresent ? d.insertOrIgnore : d.insert));
        // Values already in the column's form are bound where they lie;
        // only the rest are converted.
        try {
            for (std::size_t i = 0; i < m_def.fields.size(); ++i) {
                const FieldDef& f = m_def.fields[i];
                const int pos = static_cast<int>(i + 1);
                const Value* v = from[i] >= 0 && static_cast<std::size_t>(from[i]) < src.size()
                                     ? &src[static_cast<std::size_t>(from[i])]
                                     : nullptr;
                if (!v || isNull(*v)) {
                    if (isText(f.type))
                        sqlite3_bind_text(use.get(), pos, "", 0, SQLITE_STATIC);
                    else
                        sqlite3_bind_int64(use.get(), pos, 0);
                } else if (const auto* text = std::get_if<std::string>(v); text && isText(f.type)) {
                    sqlite3_bind_text(use.get(), pos, text->data(),
                                      static_cast<int>(widthPrefix(*text, f.size)), SQLITE_STATIC);
                } else if (const auto* m = std::get_if<Money>(v); m && f.type == FieldType::Money) {
                    sqlite3_bind_int64(use.get(), pos, m->units());
                } else if (const auto* n = std::get_if<std::int64_t>(v);
                           n && (f.type == FieldType::Integer || f.type == FieldType::SmallInt)) {
                    sqlite3_bind_int64(use.get(), pos, d.checkedInteger(*n, f));
                } else {
                    converted[i] = d.toColumn(f, *v, true);
                    bindValue(use.get(), pos, converted[i]);
                }
            }
        } catch (const Error& e) {
            throw Error(std::string(e.what()) + " (result row " + std::to_string(rowNo) + ")");
        }
        m_db.noteWrite();
        const int rc = sqlite3_step(use.get());
        if ((rc & 0xFF) == SQLITE_CONSTRAINT && !d.rowidKey)
            d.fail("Result row " + std::to_string(rowNo) +
                   " cannot be stored: a row with its key is already present");
        m_db.check(rc, d.prefix() + "Result row " + std::to_string(rowNo) + " cannot be stored");
        if (sqlite3_changes(m_db.handle()) == 0)
            ++skipped;
        else
            ++stored;
    }
    if (stored > 0) {
        ++m_generation;
        if (m_active && m_state == State::Browse && !d.hasCurrent)
            First();
    }
    return skipped;
}

std::vector<std::vector<Value>> Table::readRows(int first, int count) const {
    std::vector<std::vector<Value>> rows;
    if (!m_active || first < 0 || count <= 0)
        return rows;
    Impl& d = *m_impl;
    d.scan(first, count, [&](sqlite3_stmt* st) { rows.push_back(d.readColumns(st, nullptr)); });
    return rows;
}

std::uint64_t Table::generation() const {
    // Any row changed on the connection may be one of ours: a grid reads again.
    const std::int64_t now = sqlite3_total_changes64(m_db.handle());
    if (now != m_changesSeen) {
        m_changesSeen = now;
        ++m_generation;
    }
    return m_generation;
}

int Table::fieldIndex(std::string_view field) const {
    // Rows are filled and read field after field in layout order, row after
    // row: the field after the last one found is tried first, by exact name.
    const std::size_t count = m_def.fields.size();
    const std::size_t next = m_lastField + 1 < count ? m_lastField + 1 : 0;
    if (next < count && m_def.fields[next].name == field) {
        m_lastField = next;
        return static_cast<int>(next);
    }
    const FieldDef* f = m_def.field(field);
    if (!f)
        m_impl->fail("Field '" + std::string(field) + "' not found");
    m_lastField = static_cast<std::size_t>(f - m_def.fields.data());
    return static_cast<int>(m_lastField);
}

} // namespace quarlex
