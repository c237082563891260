#pragma once
// Test fixtures are written in UTF-8 and stored as the pension fund's
// software stores them, in Windows-1251; iconv does the encoding.
#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace quarlex::testing {

// Empty when iconv has no CP1251 or the text holds a character it lacks.
inline std::optional<std::string> encodeCp1251(std::string_view utf8) {
    iconv_t cd = iconv_open("CP1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string in(utf8);
    std::string out(in.size() + 1, '\0'); // never longer than its UTF-8 form
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace quarlex::testing
