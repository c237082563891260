#pragma once
// Whole-number text as every reader of the system takes it: blanks around it
// tolerated, one optional sign, then decimal digits only.
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace quarlex {

constexpr bool isBlankChar(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

constexpr std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlankChar(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlankChar(s.back()))
        s.remove_suffix(1);
    return s;
}

// Empty when the text is no whole number or does not fit 64 bits.
inline std::optional<std::int64_t> parseWholeNumber(std::string_view text) {
    std::string_view s = trimBlanks(text);
    const bool negative = !s.empty() && s.front() == '-';
    if (!s.empty() && (s.front() == '+' || s.front() == '-'))
        s.remove_prefix(1);
    // from_chars would take a second sign; digits only from here.
    if (s.empty() || s.front() < '0' || s.front() > '9')
        return std::nullopt;
    std::uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (magnitude > kMax + (negative ? 1 : 0))
        return std::nullopt;
    if (negative)
        return magnitude == kMax + 1 ? std::numeric_limits<std::int64_t>::min()
                                     : -static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(magnitude);
}

// The same within the 32-bit range.
inline std::optional<int> parseInt32(std::string_view text) {
    const std::optional<std::int64_t> n = parseWholeNumber(text);
    if (!n || *n < std::numeric_limits<int>::min() || *n > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*n);
}

} // namespace quarlex
