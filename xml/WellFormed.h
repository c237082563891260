#pragma once
// What a conforming XML parser refuses and the document model lets through:
// the reader runs this check over the text before the model parses it. It
// covers the characters (valid UTF-8, only characters XML allows, no NUL),
// references (character references to allowed characters only, no entity but
// the five predefined ones), markup (names, attributes given once, '<' never
// inside a value, "]]>" never in text, "--" never inside a comment, the XML
// declaration only at the start and well formed), one root element with
// matching start and end tags, and nothing but comments, processing
// instructions and white space around it. A document type declaration is
// refused: the documents read here have none, and without it no other entity
// exists.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quarlex {

struct Malformation {
    std::string reason;
    size_t offset = 0; // byte offset of the fault in the text
};

// validUtf8: the text is known to be valid UTF-8 (a code page's decoding), so
// that only the characters themselves are checked, not their encoding.
std::optional<Malformation> findMalformation(std::string_view text, bool validUtf8 = false);

} // namespace quarlex
