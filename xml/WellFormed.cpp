#include "xml/WellFormed.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarlex {

namespace {

struct Fault {
    std::string reason;
    size_t offset;
};

std::string codePointText(std::uint32_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", unsigned(cp));
    return text;
}

bool isLegalChar(std::uint32_t cp) {
    if (cp < 0x20)
        return cp == 0x9 || cp == 0xA || cp == 0xD;
    return (cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

bool isSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameStart(std::uint32_t cp) {
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || cp == '_' || cp == ':';
    return (cp >= 0xC0 && cp <= 0xD6) || (cp >= 0xD8 && cp <= 0xF6) ||
           (cp >= 0xF8 && cp <= 0x2FF) || (cp >= 0x370 && cp <= 0x37D) ||
           (cp >= 0x37F && cp <= 0x1FFF) || (cp >= 0x200C && cp <= 0x200D) ||
           (cp >= 0x2070 && cp <= 0x218F) || (cp >= 0x2C00 && cp <= 0x2FEF) ||
           (cp >= 0x3001 && cp <= 0xD7FF) || (cp >= 0xF900 && cp <= 0xFDCF) ||
           (cp >= 0xFDF0 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0xEFFFF);
}

bool isNameChar(std::uint32_t cp) {
    return isNameStart(cp) || (cp >= '0' && cp <= '9') || cp == '-' || cp == '.' || cp == 0xB7 ||
           (cp >= 0x300 && cp <= 0x36F) || (cp >= 0x203F && cp <= 0x2040);
}

struct AsciiNameChars {
    bool is[256] = {};
    AsciiNameChars() {
        for (unsigned c = 0; c < 0x80; ++c)
            is[c] = isNameChar(c);
    }
};

// Every character: UTF-8 that decodes (no overlong form, no surrogate,
// nothing past U+10FFFF) to a character that XML allows.
void checkCharacters(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        // Eight printable ASCII bytes at a time: the bulk of any document.
        while (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, s + i, 8);
            const std::uint64_t low = w - 0x2020202020202020ull; // borrows where a byte < 0x20
            if (((w | low) & 0x8080808080808080ull) != 0)
                break;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char c = s[i];
        // Two-byte forms (Cyrillic text and names): every character from
        // U+0080 to U+07FF is allowed.
        if (c >= 0xC2 && c <= 0xDF) {
            if (i + 1 >= n || (s[i + 1] & 0xC0) != 0x80)
                throw Fault{"Invalid UTF-8 byte sequence", i};
            i += 2;
            continue;
        }
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                throw Fault{c == 0 ? std::string("NUL character in the document")
                                   : "Character " + codePointText(c) +
                                         " is not allowed in an XML document",
                            i};
            ++i;
            continue;
        }
        size_t len = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = len != 0 && i + len <= n;
        std::uint32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; valid && k < len; ++k) {
            valid = (s[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        static const std::uint32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || cp < kLeast[len])
            throw Fault{"Invalid UTF-8 byte sequence", i};
        if (!isLegalChar(cp))
            throw Fault{"Character " + codePointText(cp) + " is not allowed in an XML document", i};
        i += len;
    }
}

// The same for text known to be valid UTF-8 (a code page's decoding): only
// control characters and U+FFFE/U+FFFF can be wrong then. Sixteen bytes are
// tested at once for a byte below 0x20 or a 0xEF lead; a block that holds one
// is looked at byte by byte.
void checkCharactersOfValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
#if defined(__SSE2__)
        const __m128i lastControl = _mm_set1_epi8(0x1F);
        const __m128i tab = _mm_set1_epi8(0x09), lf = _mm_set1_epi8(0x0A), cr = _mm_set1_epi8(0x0D),
                      lead = _mm_set1_epi8(char(0xEF));
        while (i + 16 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
            const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, lastControl), v);
            const __m128i allowed = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, lf)), _mm_cmpeq_epi8(v, cr));
            const __m128i suspect =
                _mm_or_si128(_mm_andnot_si128(allowed, control), _mm_cmpeq_epi8(v, lead));
            if (_mm_movemask_epi8(suspect) != 0)
                break;
            i += 16;
        }
        const size_t stop = std::min(n, i + 16);
#else
        const size_t stop = n; // one byte at a time elsewhere
#endif
        for (; i < stop; ++i) {
            const unsigned char c = s[i];
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                throw Fault{c == 0 ? std::string("NUL character in the document")
                                   : "Character " + codePointText(c) +
                                         " is not allowed in an XML document",
                            i};
            if (c == 0xEF && i + 2 < n && s[i + 1] == 0xBF &&
                (s[i + 2] == 0xBE || s[i + 2] == 0xBF))
                throw Fault{"Character " + codePointText(s[i + 2] == 0xBE ? 0xFFFE : 0xFFFF) +
                                " is not allowed in an XML document",
                            i};
        }
    }
}

// The first '<', '&' or ']' in [p, end), or end: where character data may
// stop. Runs of text and indentation are skipped a block at a time.
const char* nextTextStop(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i lt = _mm_set1_epi8('<'), amp = _mm_set1_epi8('&'), bracket = _mm_set1_epi8(']');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits = _mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, lt), _mm_cmpeq_epi8(v, amp)),
                         _mm_cmpeq_epi8(v, bracket)));
        if (hits != 0)
            return p + __builtin_ctz(unsigned(hits));
        p += 16;
    }
#endif
    while (p < end && *p != '<' && *p != '&' && *p != ']')
        ++p;
    return p;
}

// The markup, one pass over the text.
class Checker {
public:
    explicit Checker(std::string_view text)
        : m_begin(text.data()), m_p(text.data()), m_end(text.data() + text.size()) {}

    void run() {
        // A byte order mark may precede the declaration.
        if (m_end - m_p >= 3 && std::memcmp(m_p, "\xEF\xBB\xBF", 3) == 0)
            m_p += 3;
        if (startsWith("<?xml") && m_end - m_p > 5 && isSpace(byte(5)))
            declaration();
        bool rootSeen = false;
        while (m_p < m_end) {
            if (isSpace(byte(0))) {
                ++m_p;
            } else if (startsWith("<!--")) {
                comment();
            } else if (startsWith("<?")) {
                instruction();
            } else if (startsWith("<!DOCTYPE")) {
                fail("Document type declarations are not allowed");
            } else if (byte(0) == '<' && m_end - m_p > 1 && byte(1) != '!' && byte(1) != '/') {
                if (rootSeen)
                    fail("Only one top level element is allowed in an XML document");
                rootSeen = true;
                element();
            } else {
                fail(rootSeen ? "Only comments and processing instructions may follow the root "
                                "element"
                              : "Only comments and processing instructions may precede the root "
                                "element");
            }
        }
        if (!rootSeen)
            fail("No document element found");
    }

private:
    unsigned char byte(size_t k) const { return (unsigned char)m_p[k]; }
    bool startsWith(const char* s) const {
        size_t len = std::strlen(s);
        return size_t(m_end - m_p) >= len && std::memcmp(m_p, s, len) == 0;
    }
    [[noreturn]] void fail(std::string reason) const { failAt(std::move(reason), m_p); }
    [[noreturn]] void failAt(std::string reason, const char* where) const {
        throw Fault{std::move(reason), size_t(where - m_begin)};
    }
    void needMore() const {
        if (m_p >= m_end)
            fail("Unexpected end of the document");
    }
    void skipSpace() {
        while (m_p < m_end && isSpace(byte(0)))
            ++m_p;
    }

    // The code point at m_p (the text is valid UTF-8 by now) and its length.
    std::uint32_t peekChar(size_t& len) const {
        unsigned char c = byte(0);
        if (c < 0x80) {
            len = 1;
            return c;
        }
        len = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
        std::uint32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        for (size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (byte(k) & 0x3F);
        return cp;
    }

    std::string_view name(const char* what) {
        const char* start = m_p;
        needMore();
        size_t len = 0;
        if (!isNameStart(peekChar(len)))
            fail(std::string("Invalid character at the start of ") + what);
        m_p += len;
        static const AsciiNameChars ascii;
        while (m_p < m_end) {
            // Cyrillic and Latin letters, the common case, without decoding:
            // the text is valid UTF-8, so a lead byte has its bytes, and
            // every character from U+0400 to U+07FF is a name character.
            const unsigned char c = byte(0);
            if (c >= 0xD0 && c <= 0xDF) {
                m_p += 2;
                continue;
            }
            if (ascii.is[c]) {
                ++m_p;
                continue;
            }
            if (c < 0x80)
                break;
            if (!isNameChar(peekChar(len)))
                break;
            m_p += len;
        }
        return std::string_view(start, size_t(m_p - start));
    }

    void expect(char c, const char* reason) {
        needMore();
        if (byte(0) != (unsigned char)c)
            fail(reason);
        ++m_p;
    }

    // After "<?xml" at the very start.
    void declaration() {
        m_p += 5;
        auto pseudoAttribute = [&](const char* wanted) {
            const char* at = m_p;
            if (name("a declaration attribute") != wanted)
                failAt(std::string("Expected '") + wanted + "' in the XML declaration", at);
            skipSpace();
            expect('=', "Expected '=' in the XML declaration");
            skipSpace();
            needMore();
            char quote = char(byte(0));
            if (quote != '"' && quote != '\'')
                fail("Expected a quoted value in the XML declaration");
            const char* value = ++m_p;
            while (m_p < m_end && *m_p != quote)
                ++m_p;
            needMore();
            std::string_view v(value, size_t(m_p - value));
            ++m_p;
            return std::pair(v, value);
        };
        auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
        skipSpace();
        auto [version, versionAt] = pseudoAttribute("version");
        if (version.size() < 3 || version.substr(0, 2) != "1." ||
            !std::all_of(version.begin() + 2, version.end(),
                         [](char c) { return c >= '0' && c <= '9'; }))
            failAt("Invalid version in the XML declaration", versionAt);
        bool spaced = m_p < m_end && isSpace(byte(0));
        skipSpace();
        if (spaced && startsWith("encoding")) {
            auto [encoding, encodingAt] = pseudoAttribute("encoding");
            bool ok = !encoding.empty() && isAlpha(encoding[0]);
            for (char c : encoding)
                ok = ok &&
                     (isAlpha(c) || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-');
            if (!ok)
                failAt("Invalid encoding name in the XML declaration", encodingAt);
            spaced = m_p < m_end && isSpace(byte(0));
            skipSpace();
        }
        if (spaced && startsWith("standalone")) {
            auto [standalone, standaloneAt] = pseudoAttribute("standalone");
            if (standalone != "yes" && standalone != "no")
                failAt("Invalid standalone value in the XML declaration", standaloneAt);
            skipSpace();
        }
        if (!startsWith("?>"))
            fail(m_p < m_end ? "Malformed XML declaration" : "Unexpected end of the document");
        m_p += 2;
    }

    void comment() {
        m_p += 4;
        while (true) {
            const void* dash = std::memchr(m_p, '-', size_t(m_end - m_p));
            if (!dash) {
                m_p = m_end;
                needMore();
            }
            m_p = static_cast<const char*>(dash);
            if (m_end - m_p >= 2 && m_p[1] == '-') {
                if (m_end - m_p >= 3 && m_p[2] == '>') {
                    m_p += 3;
                    return;
                }
                fail("'--' is not allowed inside a comment");
            }
            ++m_p;
        }
    }

    void instruction() {
        m_p += 2;
        const char* at = m_p;
        std::string_view target = name("a processing instruction");
        if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
            (target[2] | 0x20) == 'l')
            failAt(at - 2 == m_begin || (at - 2 == m_begin + 3 && m_begin[0] == '\xEF')
                       ? "Malformed XML declaration"
                       : "The XML declaration is allowed only at the start of the document",
                   at - 2);
        if (startsWith("?>")) {
            m_p += 2;
            return;
        }
        needMore();
        if (!isSpace(byte(0)))
            fail("Invalid character in a processing instruction target");
        while (!startsWith("?>")) {
            needMore();
            ++m_p;
        }
        m_p += 2;
    }

    void cdata() {
        m_p += 9;
        while (!startsWith("]]>")) {
            needMore();
            const void* bracket = std::memchr(m_p, ']', size_t(m_end - m_p));
            m_p = bracket ? static_cast<const char*>(bracket) : m_end;
            if (m_p < m_end && !startsWith("]]>"))
                ++m_p;
        }
        m_p += 3;
    }

    // After '&': a character reference to an allowed character, or one of
    // the five predefined entities.
    void reference() {
        const char* amp = m_p;
        ++m_p;
        needMore();
        if (byte(0) == '#') {
            ++m_p;
            bool hex = m_p < m_end && *m_p == 'x';
            if (hex)
                ++m_p;
            std::uint64_t cp = 0;
            const char* digits = m_p;
            while (m_p < m_end) {
                char c = *m_p;
                int d = c >= '0' && c <= '9'            ? c - '0'
                        : hex && (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : hex && (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                        : -1;
                if (d < 0)
                    break;
                cp = std::min<std::uint64_t>(cp * (hex ? 16 : 10) + unsigned(d), 0x7FFFFFFF);
                ++m_p;
            }
            if (m_p == digits || m_p >= m_end || *m_p != ';')
                failAt("Malformed character reference", amp);
            ++m_p;
            if (!isLegalChar(std::uint32_t(cp)))
                failAt("Character reference to " +
                           (cp > 0x10FFFF ? std::string("a code point beyond U+10FFFF")
                                          : codePointText(std::uint32_t(cp))) +
                           ", which is not allowed in an XML document",
                       amp);
            return;
        }
        size_t len = 0;
        if (!isNameStart(peekChar(len)))
            failAt("'&' must begin a reference; write '&amp;' for the character", amp);
        std::string_view entity = name("an entity reference");
        if (m_p >= m_end || *m_p != ';')
            failAt("Entity reference '&" + std::string(entity) + "' without ';'", amp);
        ++m_p;
        if (entity != "lt" && entity != "gt" && entity != "amp" && entity != "apos" &&
            entity != "quot")
            failAt("Undefined entity reference '&" + std::string(entity) + ";'", amp);
    }

    // After '<' of a start tag; returns true for an empty-element tag.
    bool startTag() {
        ++m_p;
        m_open.push_back(name("an element name"));
        m_attributes.clear();
        while (true) {
            bool spaced = m_p < m_end && isSpace(byte(0));
            skipSpace();
            needMore();
            if (byte(0) == '>') {
                ++m_p;
                break;
            }
            if (byte(0) == '/') {
                ++m_p;
                expect('>', "Expected '>' after '/' in a tag");
                m_open.pop_back();
                checkAttributesOnce();
                return true;
            }
            if (!spaced)
                fail("Expected white space before an attribute");
            m_attributes.push_back(name("an attribute name"));
            skipSpace();
            expect('=', "Expected '=' after an attribute name");
            skipSpace();
            attributeValue();
        }
        checkAttributesOnce();
        return false;
    }

    void attributeValue() {
        needMore();
        char quote = char(byte(0));
        if (quote != '"' && quote != '\'')
            fail("Expected a quoted attribute value");
        ++m_p;
        while (true) {
            needMore();
            char c = *m_p;
            if (c == quote) {
                ++m_p;
                return;
            }
            if (c == '<')
                fail("'<' is not allowed in an attribute value");
            if (c == '&')
                reference();
            else
                ++m_p;
        }
    }

    void checkAttributesOnce() {
        if (m_attributes.size() < 2)
            return;
        std::vector<std::string_view> sorted = m_attributes;
        std::sort(sorted.begin(), sorted.end());
        auto twice = std::adjacent_find(sorted.begin(), sorted.end());
        if (twice != sorted.end())
            failAt("Attribute '" + std::string(*twice) + "' given more than once", twice->data());
    }

    // After "</".
    void endTag() {
        m_p += 2;
        const char* at = m_p;
        // The name of the open element closes it (compared in place, the
        // common case); another name is a mismatch.
        std::string_view open = m_open.back();
        const bool same = size_t(m_end - m_p) > open.size() &&
                          std::memcmp(m_p, open.data(), open.size()) == 0 &&
                          (m_p[open.size()] == '>' || isSpace((unsigned char)m_p[open.size()]));
        if (same)
            m_p += open.size();
        else if (name("an element name") != open)
            failAt("Start-end tags mismatch", at);
        m_open.pop_back();
        skipSpace();
        expect('>', "Expected '>' at the end of an end tag");
    }

    // The root element and everything in it, without recursion: an element
    // nests as deeply as the text allows.
    void element() {
        if (startTag())
            return;
        while (!m_open.empty()) {
            // Character data up to the next markup or reference.
            while ((m_p = nextTextStop(m_p, m_end)) < m_end && *m_p == ']') {
                if (startsWith("]]>"))
                    fail("']]>' is not allowed in character data");
                ++m_p;
            }
            if (m_p >= m_end)
                failAt("Start-end tags mismatch", m_end);
            if (*m_p == '&') {
                reference();
            } else if (startsWith("</")) {
                endTag();
            } else if (startsWith("<!--")) {
                comment();
            } else if (startsWith("<![CDATA[")) {
                cdata();
            } else if (startsWith("<?")) {
                instruction();
            } else if (startsWith("<!")) {
                fail(startsWith("<!DOCTYPE") ? "Document type declarations are not allowed"
                                             : "Unknown markup declaration");
            } else {
                startTag();
            }
        }
    }

    const char* m_begin;
    const char* m_p;
    const char* m_end;
    std::vector<std::string_view> m_open; // names of the open elements, innermost last
    std::vector<std::string_view> m_attributes;
};

} // namespace

std::optional<Malformation> findMalformation(std::string_view text, bool validUtf8) {
    try {
        if (validUtf8)
            checkCharactersOfValidUtf8(text);
        else
            checkCharacters(text);
        Checker(text).run();
    } catch (Fault& f) {
        return Malformation{std::move(f.reason), f.offset};
    }
    return std::nullopt;
}

} // namespace quarlex
