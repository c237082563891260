// The typed reads and the attribute reads of TXMLParser.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "tables/Error.h"
#include "xml/UXMLHelper.h"

namespace quarlex {

namespace {

constexpr const char* kIPv6ExpectedTag = "{58C66B56-A2EE-4439-9894-C89C24BCE9F3}";

int digitValue(char c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < base ? d : -1;
}

// The whole text as a whole number in [min, max]: leading spaces, one sign,
// then decimal digits, or hexadecimal digits behind '$', 'x', 'X', "0x" or
// "0X". Nothing may follow the digits.
std::optional<std::int64_t> parseWhole(std::string_view text, std::int64_t min, std::int64_t max) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;
    // The largest magnitude the sign allows, computed without overflow.
    const std::uint64_t limit = negative ? std::uint64_t(-(min + 1)) + 1 : std::uint64_t(max);
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0 || magnitude > (limit - std::uint64_t(d)) / std::uint64_t(base))
            return std::nullopt;
        magnitude = magnitude * std::uint64_t(base) + std::uint64_t(d);
    }
    // Modular: the magnitude of the smallest value does not fit as positive.
    return negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
}

std::optional<int> parseInteger(std::string_view text) {
    const auto n =
        parseWhole(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    return n ? std::optional<int>(int(*n)) : std::nullopt;
}

std::optional<std::int64_t> parseInt64(std::string_view text) {
    return parseWhole(text, std::numeric_limits<std::int64_t>::min(),
                      std::numeric_limits<std::int64_t>::max());
}

std::uint32_t toCardinal(std::string_view text, std::uint32_t defValue) {
    return std::uint32_t(std::uint64_t(parseInt64(text).value_or(std::int64_t(defValue))));
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the text is a floating-point number written with the separator
// given (spaces around it, a sign, digits with at most one separator, an
// exponent), and if so whether it is zero. Only zero matters to the caller,
// so no value is computed: a zero mantissa is zero whatever the exponent.
std::optional<bool> numberIsZero(std::string_view text, char separator) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    bool digits = false;
    bool zero = true;
    bool seenSeparator = false;
    for (; i < n; ++i) {
        if (isDigit(text[i])) {
            digits = true;
            zero = zero && text[i] == '0';
        } else if (text[i] == separator && !seenSeparator) {
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (!digits)
        return std::nullopt;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        const size_t start = i;
        while (i < n && isDigit(text[i]))
            ++i;
        if (i == start)
            return std::nullopt;
    }
    while (i < n && text[i] == ' ')
        ++i;
    if (i != n)
        return std::nullopt;
    return zero;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool toBoolean(std::string_view text, bool defValue, const NumberFormat& format) {
    if (const std::optional<bool> zero = numberIsZero(text, format.decimalSeparator))
        return !*zero;
    if (equalsIgnoringCase(text, "true"))
        return true;
    if (equalsIgnoringCase(text, "false"))
        return false;
    return defValue;
}

// Days from 1 January 1970 to the date, proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

constexpr std::int64_t kDaysFrom1899To1970 = 25569;

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

// Characters from position `from` (counted from 0), at most `count`; empty
// beyond the end. Byte positions serve for character positions: a field that
// holds a non-ASCII character is no number either way, and the fields before
// it lie where they would.
std::string_view field(std::string_view text, size_t from, size_t count) {
    return from < text.size() ? text.substr(from, count) : std::string_view();
}

} // namespace

TDateTime XMLStrToDateTime(std::string_view Text, TDateTime DefValue) {
    int f[6];
    for (size_t k = 0; k < 6; ++k) {
        const std::optional<int> n =
            k == 0 ? parseInteger(field(Text, 0, 4)) : parseInteger(field(Text, 2 + 2 * k, 2));
        if (!n)
            return DefValue;
        f[k] = *n;
    }
    const int ms = parseInteger(field(Text, 14, 3)).value_or(0);
    const auto [year, month, day, hour, minute, second] = f;
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || ms < 0 || ms > 999)
        return DefValue;
    const double date =
        double(daysFromCivil(year, unsigned(month), unsigned(day)) + kDaysFrom1899To1970);
    const double time = double(((hour * 60 + minute) * 60 + second) * 1000 + ms) / 86400000.0;
    // Before 30 December 1899 the whole part counts back, the fraction still forward.
    return date < 0 ? date - time : date + time;
}

int TXMLParser::GetValueAsInteger(std::string_view Tag, int DefValue) const {
    return parseInteger(GetValueByName(Tag, "")).value_or(DefValue);
}

std::int64_t TXMLParser::GetValueAsInt64(std::string_view Tag, std::int64_t DefValue) const {
    return parseInt64(GetValueByName(Tag, "")).value_or(DefValue);
}

std::uint32_t TXMLParser::GetValueAsDWord(std::string_view Tag, std::uint32_t DefValue) const {
    return toCardinal(GetValueByName(Tag, ""), DefValue);
}

bool TXMLParser::GetValueAsBoolean(std::string_view Tag, bool DefValue,
                                   const NumberFormat& Format) const {
    try {
        return toBoolean(GetValueByName(Tag, ""), DefValue, Format);
    } catch (const std::exception&) {
        return DefValue;
    }
}

TDateTime TXMLParser::GetValueAsDateTime(std::string_view Tag, TDateTime DefValue) const {
    return XMLStrToDateTime(GetValueByName(Tag, ""), DefValue);
}

TIPv6Addr TXMLParser::GetValueAsIP(std::string_view Tag, const TIPv6Addr& DefValue) const {
    const std::string marker = GetValueAttributeByName(Tag, "V6", "");
    return XMLValueToIP(GetValueByName(Tag, ""), marker, DefValue);
}

TIPv6Addr TXMLParser::GetValueAsIP(std::string_view Tag) const {
    return GetValueAsIP(Tag, EmptyIPv4Addr);
}

int TXMLParser::GetSubsetValueAsInteger(std::string_view Tag, int DefValue) const {
    return parseInteger(GetSubsetValue(Tag)).value_or(DefValue);
}

std::int64_t TXMLParser::GetSubsetValueAsInt64(std::string_view Tag, std::int64_t DefValue) const {
    return parseInt64(GetSubsetValue(Tag)).value_or(DefValue);
}

std::uint32_t TXMLParser::GetSubsetValueAsDword(std::string_view Tag,
                                                std::uint32_t DefValue) const {
    return toCardinal(GetSubsetValue(Tag), DefValue);
}

bool TXMLParser::GetSubsetValueAsBoolean(std::string_view Tag, bool DefValue,
                                         const NumberFormat& Format) const {
    try {
        return toBoolean(GetSubsetValue(Tag), DefValue, Format);
    } catch (const std::exception&) {
        return DefValue;
    }
}

TDateTime TXMLParser::GetSubsetValueAsDateTime(std::string_view Tag, TDateTime DefValue) const {
    return XMLStrToDateTime(GetSubsetValue(Tag), DefValue);
}

TIPv6Addr TXMLParser::GetSubsetValueAsIP(std::string_view Tag, const TIPv6Addr& DefValue) const {
    const std::string marker = GetSubsetValueAttributeByName(Tag, "V6", "");
    return XMLValueToIP(GetSubsetValue(Tag), marker, DefValue);
}

TIPv6Addr TXMLParser::GetSubsetValueAsIP(std::string_view Tag) const {
    return GetSubsetValueAsIP(Tag, EmptyIPv4Addr);
}

int TXMLParser::GetCurrentNodeAsInteger(int DefValue) const {
    return parseInteger(currentItemText()).value_or(DefValue);
}

TIPv6Addr TXMLParser::XMLValueToIP(std::string_view Text, std::string_view Marker,
                                   const TIPv6Addr& DefValue) {
    if (Marker == "1") {
        const TIPv6Addr addr = StrToIPv6AddrDef(Text, DefValue);
        QUARLEX_ASSERT(!addr.FIsV4, kIPv6ExpectedTag);
        return addr;
    }
    TIPv6Addr addr;
    addr.SetIPv4(std::uint32_t(std::uint64_t(parseInt64(Text).value_or(0))));
    return addr;
}

std::string TXMLParser::GetAttributeByName(std::string_view Attr, std::string_view DefValue) const {
    return rootAttribute(Attr).value_or(std::string(DefValue));
}

std::string TXMLParser::GetValueAttributeByName(std::string_view Tag, std::string_view Attr,
                                                std::string_view DefValue) const {
    return firstElementAttribute(Tag, Attr).value_or(std::string(DefValue));
}

std::string TXMLParser::GetSubsetAttributeByName(std::string_view Attr,
                                                 std::string_view DefValue) const {
    try {
        return currentItemAttribute(Attr).value_or(std::string(DefValue));
    } catch (const Error&) {
        return std::string(DefValue);
    }
}

std::string TXMLParser::GetSubsetValueAttributeByName(std::string_view Tag, std::string_view Attr,
                                                      std::string_view DefValue) const {
    return firstItemElementAttribute(Tag, Attr).value_or(std::string(DefValue));
}

} // namespace quarlex
