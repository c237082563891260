#pragma once
// How the core shows a message box. The window puts one up; the command-line
// tool writes a line to stderr.
#include <string>

namespace quarlex {

class Prompts {
public:
    virtual ~Prompts() = default;
    // Ownerless, with an OK button and no icon.
    virtual void message(const std::string& caption, const std::string& text) = 0;
    // An error dialog with the text and a single Close button; where no such
    // dialog exists it is a message without caption.
    virtual void errorMessage(const std::string& text) { message("", text); }
};

} // namespace quarlex
