#pragma once
// Texts that messages quote from the data: bounded, so that a 100 MB value
// does not become a 100 MB message, and worded once for every reader.
#include <string>
#include <string_view>

#include "TextWidth.h"

namespace quarlex {

constexpr int kQuotedTextChars = 200;

// At most 200 characters of `text`; a longer one is cut and ends in "…".
inline std::string quotedText(std::string_view text) {
    const std::size_t keep = widthPrefix(text, kQuotedTextChars);
    if (keep == text.size())
        return std::string(text);
    return std::string(text.substr(0, keep)) + "…";
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on a literal
// prepended to a temporary string once this is inlined.
inline std::string quotedInSingleQuotes(std::string_view text) {
    std::string out = "'";
    out += quotedText(text);
    out += '\'';
    return out;
}

inline std::string notAnInteger(std::string_view text) {
    return quotedInSingleQuotes(text) + " is not a valid integer value";
}

inline std::string notAnAmount(std::string_view text) {
    return quotedInSingleQuotes(text) + " is not a valid floating point value";
}

} // namespace quarlex
