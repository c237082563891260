#pragma once
// The one error type of the system: it carries the message text that the
// general error report shows. Internal-consistency checks raise an
// AssertionFailure carrying the check's GUID tag and where it sits.
#include <stdexcept>
#include <string>

namespace quarlex {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class AssertionFailure : public Error {
public:
    AssertionFailure(std::string guid, std::string file, int line)
        : Error(guid), m_guid(std::move(guid)), m_file(std::move(file)), m_line(line) {}
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
