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

int compareWithZero(const Value& v) {
    auto sign = [](std::int64_t n) { return n < 0 ? -1 : (n > 0 ? 1 : 0); };
    if (const auto* n = std::get_if<std::int64_t>(&v))
        return sign(*n);
    if (const auto* m = std::get_if<Money>(&v))
        return sign(m->units());
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (auto m = Money::parse(*s, '.'))
            return sign(m->units());
        return 0;
    }
    return 0;
}

} // namespace quarlex
