#pragma once
// Benchmarks measure each step as the user runs it: in a fresh process,
// several times, reporting the median. A benchmark program runs itself again
// as a child for each measurement; the child prints its figures one
// "name value" a line on standard output.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

inline std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs this program anew with `args`; the figures the child printed.
inline std::map<std::string, double> runFresh(const std::vector<std::string>& args) {
    // The program's own file: the shell that popen starts has another.
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        throw std::runtime_error("cannot find this program's file");
    std::string command = shellQuoted(std::string(self, size_t(length)));
    for (const std::string& a : args)
        command += " " + shellQuoted(a);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot start " + command);
    std::map<std::string, double> figures;
    char name[128];
    double value = 0;
    while (std::fscanf(pipe, "%127s %lf", name, &value) == 2)
        figures[name] = value;
    if (::pclose(pipe) != 0)
        throw std::runtime_error("the child run failed: " + command);
    return figures;
}

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Median, least and greatest of one figure over the runs.
struct Spread {
    double median = 0, least = 0, greatest = 0;
};

inline Spread spreadOf(const std::vector<std::map<std::string, double>>& runs,
                       const std::string& name) {
    std::vector<double> v;
    for (const auto& r : runs)
        if (auto it = r.find(name); it != r.end())
            v.push_back(it->second);
    if (v.empty())
        return {};
    return {median(v), *std::min_element(v.begin(), v.end()),
            *std::max_element(v.begin(), v.end())};
}

} // namespace bench
