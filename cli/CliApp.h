#pragma once
// quarlex-cli without its process: the command line in, the printed report
// and the messages out, the exit status returned, so that tests drive it.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tables/NumberFormat.h"
#include "tables/Prompts.h"

namespace quarlex::cli {

// `args` without the program name. `format` is the number format in force
// (the locale's decimal separator). Returns the exit status: 0, 1 for an
// error that ended the run, 2 for a usage error.
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const NumberFormat& format);

// A message on one line: CR LF, LF and CR each become " | "; other control
// characters show as \xNN (see visibleText).
std::string oneLine(std::string_view text);

// Message boxes as lines on a stream: "caption: text".
class StreamPrompts : public Prompts {
public:
    explicit StreamPrompts(std::ostream& out) : m_out(out) {}
    void message(const std::string& caption, const std::string& text) override;
    int count() const { return m_count; }

private:
    std::ostream& m_out;
    int m_count = 0;
};

} // namespace quarlex::cli
