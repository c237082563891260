#pragma once
// Where a synchronisation run writes its log: the dialog's memo, the
// command line's standard output, or a list of lines.
#include <string>
#include <vector>

namespace quarlex {

class SyncLog {
public:
    virtual ~SyncLog() = default;
    virtual void clear() = 0;
    virtual void append(const std::string& line) = 0;
};

class LinesLog : public SyncLog {
public:
    void clear() override { lines.clear(); }
    void append(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

} // namespace quarlex
