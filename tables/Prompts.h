#pragma once
// How the core shows a message box: ownerless, with an OK button and no icon.
// The window puts one up; the command-line tool writes a line to stderr.
#include <string>

namespace quarlex {

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void message(const std::string& caption, const std::string& text) = 0;
};

} // namespace quarlex
