#include "import/Pcre2Pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "tables/Error.h"

namespace quarlex {

struct Pcre2Pattern::Impl {
    struct CodeFree {
        void operator()(pcre2_code* c) const { pcre2_code_free(c); }
    };
    struct ContextFree {
        void operator()(pcre2_compile_context* c) const { pcre2_compile_context_free(c); }
    };
    struct MatchDataFree {
        void operator()(pcre2_match_data* m) const { pcre2_match_data_free(m); }
    };
    std::unique_ptr<pcre2_code, CodeFree> code;
    std::unique_ptr<pcre2_match_data, MatchDataFree> match;
    std::string_view subject;
    int groups = 0; // captured pairs of the last search, 0 when it failed
};

Pcre2Pattern::Pcre2Pattern(std::string_view pattern) : m_impl(std::make_unique<Impl>()) {
    std::unique_ptr<pcre2_compile_context, Impl::ContextFree> context(
        pcre2_compile_context_create(nullptr));
    if (!context)
        throw std::bad_alloc();
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANY);
    int error = 0;
    PCRE2_SIZE offset = 0;
    m_impl->code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     PCRE2_UTF, &error, &offset, context.get()));
    if (!m_impl->code) {
        PCRE2_UCHAR text[256];
        pcre2_get_error_message(error, text, sizeof text);
        throw Error("Pattern error at " + std::to_string(offset) + ": " +
                    reinterpret_cast<const char*>(text));
    }
    m_impl->match.reset(pcre2_match_data_create_from_pattern(m_impl->code.get(), nullptr));
    if (!m_impl->match)
        throw std::bad_alloc();
}

Pcre2Pattern::~Pcre2Pattern() = default;

bool Pcre2Pattern::search(std::string_view subject) {
    m_impl->subject = subject;
    const int rc = pcre2_match(m_impl->code.get(), reinterpret_cast<PCRE2_SPTR>(subject.data()),
                               subject.size(), 0, PCRE2_NOTEMPTY, m_impl->match.get(), nullptr);
    if (rc == PCRE2_ERROR_NOMATCH) {
        m_impl->groups = 0;
        return false;
    }
    if (rc < 0) {
        m_impl->groups = 0;
        PCRE2_UCHAR text[256];
        pcre2_get_error_message(rc, text, sizeof text);
        throw Error(std::string("Pattern match error: ") + reinterpret_cast<const char*>(text));
    }
    m_impl->groups = rc;
    return true;
}

std::string_view Pcre2Pattern::group(int n) const {
    if (n < 0 || n >= m_impl->groups)
        return {};
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(m_impl->match.get());
    if (ov[2 * n] == PCRE2_UNSET)
        return {};
    return m_impl->subject.substr(ov[2 * n], ov[2 * n + 1] - ov[2 * n]);
}

std::size_t Pcre2Pattern::matchEnd() const {
    if (m_impl->groups == 0)
        return 0;
    return pcre2_get_ovector_pointer(m_impl->match.get())[1];
}

} // namespace quarlex
