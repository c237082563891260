#pragma once
// Money: a signed 64-bit count of ten-thousandths. Sums and differences are
// exact; every conversion from and to text goes through this type.
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

    constexpr Money operator+(Money o) const { return Money(m_units + o.m_units); }
    constexpr Money operator-(Money o) const { return Money(m_units - o.m_units); }
    constexpr Money operator-() const { return Money(-m_units); }
    constexpr Money& operator+=(Money o) { m_units += o.m_units; return *this; }
    constexpr Money& operator-=(Money o) { m_units -= o.m_units; return *this; }
    constexpr auto operator<=>(const Money&) const = default;
    constexpr bool isNegative() const { return m_units < 0; }

private:
    constexpr explicit Money(std::int64_t units) : m_units(units) {}
    std::int64_t m_units = 0;
};

} // namespace quarlex
