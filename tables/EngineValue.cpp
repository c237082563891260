#include "tables/EngineValue.h"

#include <cmath>

namespace quarlex {

Value columnValue(sqlite3_stmt* st, int col, FieldType type) {
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

void bindValue(sqlite3_stmt* st, int pos, const Value& v) {
    if (const auto* n = std::get_if<std::int64_t>(&v))
        sqlite3_bind_int64(st, pos, *n);
    else if (const auto* m = std::get_if<Money>(&v))
        sqlite3_bind_int64(st, pos, m->units());
    else if (const auto* s = std::get_if<std::string>(&v))
        sqlite3_bind_text(st, pos, s->data(), static_cast<int>(s->size()), SQLITE_STATIC);
    else
        sqlite3_bind_null(st, pos);
}

} // namespace quarlex
