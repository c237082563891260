#pragma once
// What every benchmark measures with: wall-clock seconds since a start, and
// prompts that count the messages a run shows (the first few are printed, so
// that a benchmark whose data gets refused says so).
#include <chrono>
#include <iostream>
#include <string>

#include "tables/Prompts.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class CountingPrompts : public quarlex::Prompts {
public:
    void message(const std::string& caption, const std::string& text) override {
        if (++count <= 3)
            std::cerr << caption << ": " << text << "\n";
    }
    int count = 0;
};

} // namespace bench
