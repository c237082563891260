#pragma once
// A Perl-compatible pattern as the reconciliation readers use it: compiled
// once per import in UTF mode with any line end as newline, searched
// unanchored from the first character of a UTF-8 subject with NOTEMPTY.
#include <memory>
#include <string>
#include <string_view>

namespace quarlex {

class Pcre2Pattern {
public:
    explicit Pcre2Pattern(std::string_view pattern);
    ~Pcre2Pattern();
    Pcre2Pattern(const Pcre2Pattern&) = delete;
    Pcre2Pattern& operator=(const Pcre2Pattern&) = delete;

    // Searches `subject` (valid UTF-8); true on a match. The groups and the
    // match's end refer to the last successful search.
    bool search(std::string_view subject);
    // The text of group n; empty when the group took no part in the match.
    std::string_view group(int n) const;
    // Offset just past the whole match.
    std::size_t matchEnd() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quarlex
