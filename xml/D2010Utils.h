#pragma once
// Narrow text from the system's UTF-8 text, for the platform calls that take
// bytes of a code page.
#include <string>
#include <string_view>

namespace quarlex {

// The system's ANSI code page: that of the Russian desktop the program serves.
inline constexpr unsigned kAnsiCodePage = 1251;

// Text in the code page given; 0 stands for the ANSI code page. A character
// the code page lacks becomes '?'. Raises Error for an unknown code page.
std::string WideToCodePage(std::string_view Text, unsigned CodePage);
std::string WideToAnsi(std::string_view Text);

} // namespace quarlex
