#pragma once
// A field value as the tables hand it out and take it: nothing (NULL), a whole
// number, an amount of money or a text (UTF-8).
#include <cstdint>
#include <string>
#include <variant>

#include "Money.h"

namespace quarlex {

using Value = std::variant<std::monostate, std::int64_t, Money, std::string>;

inline bool isNull(const Value& v) {
    return std::holds_alternative<std::monostate>(v);
}

// Text of a value as a field read "as text" gives it: whole numbers in decimal,
// money with four decimals and '.', nothing as the empty text.
std::string valueToText(const Value& v);

} // namespace quarlex
