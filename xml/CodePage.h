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

} // namespace quarlex
