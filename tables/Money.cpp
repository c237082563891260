#include "tables/Money.h"

#include <cstdint>
#include <limits>

#include "tables/Error.h"
#include "tables/WholeNumber.h"

namespace quarlex {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Exponents beyond this are clamped: they already overflow or round to zero.
constexpr std::int64_t kExponentCap = 1'000'000'000;

constexpr std::int64_t pow10(int n) {
    std::int64_t r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

} // namespace

std::optional<Money> Money::parse(std::string_view text, char decimalSeparator) {
    const std::string_view s = trimBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';

    // Significant digits (leading zeros dropped) and the count of fraction digits.
    std::string digits;
    std::int64_t fractionDigits = 0;
    bool anyDigit = false, seenSeparator = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (isDigit(c)) {
            anyDigit = true;
            if (seenSeparator)
                ++fractionDigits;
            if (!(digits.empty() && c == '0'))
                digits += c;
        } else if (c == decimalSeparator && !seenSeparator) {
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;

    std::int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            expNegative = s[i++] == '-';
        if (i >= s.size() || !isDigit(s[i]))
            return std::nullopt;
        for (; i < s.size() && isDigit(s[i]); ++i)
            if (exponent < kExponentCap)
                exponent = exponent * 10 + (s[i] - '0');
        if (expNegative)
            exponent = -exponent;
    }
    if (i != s.size())
        return std::nullopt;
    if (digits.empty())
        return Money();

    // value * 10^4 = digits * 10^shift
    std::int64_t shift = exponent - fractionDigits + 4;
    std::int64_t kept = static_cast<std::int64_t>(digits.size());
    if (shift < 0)
        kept += shift; // digits beyond this position are rounded away
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    // magnitude * 10 + digit, or false when that passes the limit
    auto push = [limit](std::uint64_t& m, unsigned digit) {
        if (m > (limit - digit) / 10)
            return false;
        m = m * 10 + digit;
        return true;
    };
    if (shift > 0 && static_cast<std::int64_t>(digits.size()) + shift > 20)
        return std::nullopt;

    std::uint64_t magnitude = 0;
    for (std::int64_t k = 0; k < kept; ++k)
        if (!push(magnitude, static_cast<unsigned>(digits[static_cast<std::size_t>(k)] - '0')))
            return std::nullopt;
    for (std::int64_t k = 0; k < shift; ++k)
        if (!push(magnitude, 0))
            return std::nullopt;
    // kept < 0: every significant digit lies below the first dropped place,
    // so the value is under half a unit and rounds to zero.
    if (shift < 0 && kept >= 0) {
        // The first dropped digit decides; the rest only breaks a tie.
        const auto at = static_cast<std::size_t>(kept);
        const int first = digits[at] - '0';
        const bool restNonZero = digits.find_first_not_of('0', at + 1) != std::string::npos;
        const bool up = first > 5 || (first == 5 && (restNonZero || (magnitude & 1) != 0));
        if (up && ++magnitude > limit)
            return std::nullopt;
    }
    if (negative && magnitude != 0)
        return Money(static_cast<std::int64_t>(-static_cast<std::int64_t>(magnitude - 1) - 1));
    return Money(static_cast<std::int64_t>(magnitude));
}

std::string Money::toFixed(int decimals, char decimalSeparator) const {
    if (decimals < 0)
        decimals = 0;
    if (decimals > 4)
        decimals = 4;
    const auto divisor = static_cast<std::uint64_t>(pow10(4 - decimals));
    std::uint64_t magnitude = m_units < 0 ? ~static_cast<std::uint64_t>(m_units) + 1
                                          : static_cast<std::uint64_t>(m_units);
    std::uint64_t q = magnitude / divisor;
    if (divisor > 1 && magnitude % divisor * 2 >= divisor)
        ++q;
    const auto scale = static_cast<std::uint64_t>(pow10(decimals));
    std::string out;
    if (m_units < 0 && q != 0)
        out += '-'; // no "-0.00" for amounts that round to zero
    out += std::to_string(q / scale);
    if (decimals > 0) {
        std::string frac = std::to_string(q % scale);
        out += decimalSeparator;
        out.append(static_cast<std::size_t>(decimals) - frac.size(), '0');
        out += frac;
    }
    return out;
}

void Money::overflow(Money a, const char* op, Money b) {
    throw MoneyOverflow("The amount " + a.toFixed(4) + " " + op + " " + b.toFixed(4) +
                        " is out of the range of money");
}

Money Money::fromWhole(std::int64_t whole) {
    std::int64_t units = 0;
    if (__builtin_mul_overflow(whole, kScale, &units))
        throw MoneyOverflow("The amount " + std::to_string(whole) +
                            " is out of the range of money");
    return Money(units);
}

std::int64_t Money::roundedCents() const {
    std::int64_t q = m_units / 100, r = m_units % 100;
    if (r >= 50)
        ++q;
    else if (r <= -50)
        --q;
    return q;
}

} // namespace quarlex
