#pragma once
// The code-page wrapper over iconv. Decoding a single-byte code page never
// fails: a byte the code page leaves undefined becomes the control character
// of the same number (0x98 of Windows-1251 becomes U+0098), as on the
// original platform. The table is built once from iconv.
#include <string>

#include "xml/ByteBuffer.h"
#include <string_view>

namespace quarlex {

std::string decodeCp1251(std::string_view bytes); // to UTF-8
// The same into `out`, which is resized to the UTF-8 text's length and may be
// reused from file to file.
void decodeCp1251(std::string_view bytes, ByteBuffer& out);

// DOS Cyrillic, the code page of the accounting program's tables. Encoding
// writes '?' for a character that code page 866 does not have (and for
// malformed UTF-8).
std::string decodeCp866(std::string_view bytes); // to UTF-8
std::string encodeCp866(std::string_view utf8);
// Whether this machine converts code page 866.
bool cp866Available();

} // namespace quarlex

namespace quarlex {

// UTF-8 text to a code page that iconv knows as "CP<number>" (1251, 866,
// ...). A character the code page lacks, and a byte that is no UTF-8, become
// '?': no look-alike is substituted. Raises Error for a code page that iconv
// does not have.
std::string encodeCodePage(std::string_view utf8, unsigned codePage);

} // namespace quarlex
