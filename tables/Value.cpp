#include "tables/Value.h"

namespace quarlex {

std::string valueToText(const Value& v) {
    if (const auto* n = std::get_if<std::int64_t>(&v))
        return std::to_string(*n);
    if (const auto* m = std::get_if<Money>(&v))
        return m->toFixed(4, '.');
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    return {};
}

} // namespace quarlex
