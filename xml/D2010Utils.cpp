#include "xml/D2010Utils.h"

#include "xml/CodePage.h"

namespace quarlex {

std::string WideToCodePage(std::string_view Text, unsigned CodePage) {
    return encodeCodePage(Text, CodePage == 0 ? kAnsiCodePage : CodePage);
}

std::string WideToAnsi(std::string_view Text) {
    return WideToCodePage(Text, 0);
}

} // namespace quarlex
