#pragma once
// Widths of text columns count characters, not bytes: a character is a UTF-8
// lead byte with its continuation bytes, so a letter is never split.
#include <cstddef>
#include <string_view>

namespace quarlex {

// The bytes of the first `width` characters of `s`: all of it when it is
// shorter, or when width is 0 (no limit).
inline std::size_t widthPrefix(std::string_view s, int width) {
    if (width <= 0 || s.size() <= static_cast<std::size_t>(width))
        return s.size();
    int chars = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && ++chars > width)
            return i;
    return s.size();
}

// What a text column of that width keeps of `s`.
inline std::string_view cutToWidth(std::string_view s, int width) {
    return s.substr(0, widthPrefix(s, width));
}

} // namespace quarlex
