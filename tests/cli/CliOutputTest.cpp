// Output that cannot be written ends the run with an error line and exit 1,
// never with a success that printed nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <streambuf>

#include <sys/wait.h>
#include <unistd.h>

#include "cli/CliApp.h"

namespace quarlex::cli {
namespace {

const std::string kSamples = std::string(QUARLEX_SAMPLES) + "/szv6";

// A stream buffer whose every write fails, as a full device does.
class FullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(CliOutput, FailingOutputStreamIsAnError) {
    const std::vector<std::vector<std::string>> commands = {
        {"report", kSamples},
        {"report", kSamples, "--format", "csv"},
        {"report", kSamples, "--imports"},
        {"--version"},
    };
    for (const auto& args : commands) {
        FullBuffer full;
        std::ostream out(&full);
        std::ostringstream err;
        EXPECT_EQ(runCli(args, out, err, NumberFormat{}), 1) << args[0] << " " << args.back();
        EXPECT_EQ(err.str().rfind("error: Cannot write the standard output", 0), 0u) << err.str();
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The program as the user runs it, its output sent to a full device.
TEST(CliOutput, FullDeviceExitsWithOne) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    const std::string errFile = std::filesystem::temp_directory_path() /
                                ("quarlex-cli-full-" + std::to_string(getpid()) + ".err");
    for (const char* format : {"table", "csv"}) {
        const std::string command = std::string("'") + QUARLEX_CLI_PATH + "' report '" + kSamples +
                                    "' --format " + format + " > /dev/full 2> '" + errFile + "'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << command;
        EXPECT_EQ(WEXITSTATUS(status), 1) << command;
        const std::string err = readFile(errFile);
        EXPECT_EQ(err.rfind("error: Cannot write the standard output: No space left on device", 0),
                  0u)
            << err;
    }
    std::remove(errFile.c_str());
}

} // namespace
} // namespace quarlex::cli
