#pragma once
// The one error type of the system: it carries the message text that the
// general error report shows. A few kinds derive from it where a caller must
// tell them apart: a FatalError ends the whole run (an importer never takes
// it for one refused row), an EngineError carries the table engine's return
// code, and internal-consistency checks raise an AssertionFailure carrying the
// check's GUID tag and where it sits.
#include <stdexcept>
#include <string>

namespace quarlex {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Nothing after it can be trusted to go on: rows were lost, an amount left
// the range of money, or an internal check failed.
class FatalError : public Error {
public:
    using Error::Error;
};

// A sum or difference of money that does not fit 64 bits.
class MoneyOverflow : public FatalError {
public:
    using FatalError::FatalError;
};

// A failure reported by the table engine: its return code and its own message
// (the text adds where it happened).
class EngineError : public Error {
public:
    EngineError(int code, std::string engineMessage, const std::string& text)
        : Error(text), m_code(code), m_engineMessage(std::move(engineMessage)) {}
    int code() const { return m_code; }
    const std::string& engineMessage() const { return m_engineMessage; }

private:
    int m_code;
    std::string m_engineMessage;
};

class AssertionFailure : public FatalError {
public:
    AssertionFailure(std::string guid, std::string file, int line)
        : FatalError(guid), m_guid(std::move(guid)), m_file(std::move(file)), m_line(line) {}
    const std::string& guid() const { return m_guid; }
    const std::string& file() const { return m_file; }
    int line() const { return m_line; }

private:
    std::string m_guid;
    std::string m_file;
    int m_line;
};

#define QUARLEX_ASSERT(cond, guid)                                                                 \
    do {                                                                                           \
        if (!(cond))                                                                               \
            throw ::quarlex::AssertionFailure((guid), __FILE__, __LINE__);                         \
    } while (false)

} // namespace quarlex
