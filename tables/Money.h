#pragma once
// Money: a signed 64-bit count of ten-thousandths. Sums and differences are
// exact and checked: one that leaves the 64-bit range raises MoneyOverflow
// (tables/Error.h), never a wrapped number. Every conversion from and to text
// goes through this type.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarlex {

class Money {
public:
    static constexpr std::int64_t kScale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(std::int64_t units) { return Money(units); }
    // A whole number of roubles; MoneyOverflow when it does not fit.
    static Money fromWhole(std::int64_t whole);
    constexpr std::int64_t units() const { return m_units; }

    // Decimal text ("1234.56", "-0.5", "1e3", surrounding blanks allowed) with the
    // given decimal separator; the value times 10000 rounded to the nearest
    // integer, a tie going to the even neighbour. Empty optional when the text is
    // not a decimal number or does not fit.
    static std::optional<Money> parse(std::string_view text, char decimalSeparator = '.');

    // Fixed-point text with exactly `decimals` places (0 to 4), '-' when negative,
    // no grouping; rounding to fewer places goes half away from zero.
    std::string toFixed(int decimals, char decimalSeparator = '.') const;

    // Rounded to a whole number of hundredths (half away from zero), as a count
    // of hundredths: what a two-decimal display shows.
    std::int64_t roundedCents() const;

    Money operator+(Money o) const {
        std::int64_t r = 0;
        if (__builtin_add_overflow(m_units, o.m_units, &r))
            overflow(*this, "+", o);
        return Money(r);
    }
    Money operator-(Money o) const {
        std::int64_t r = 0;
        if (__builtin_sub_overflow(m_units, o.m_units, &r))
            overflow(*this, "-", o);
        return Money(r);
    }
    Money operator-() const { return Money() - *this; }
    Money& operator+=(Money o) { return *this = *this + o; }
    Money& operator-=(Money o) { return *this = *this - o; }
    constexpr auto operator<=>(const Money&) const = default;
    constexpr bool isNegative() const { return m_units < 0; }

private:
    constexpr explicit Money(std::int64_t units) : m_units(units) {}
    [[noreturn]] static void overflow(Money a, const char* op, Money b);
    std::int64_t m_units = 0;
};

} // namespace quarlex
