#include "sync/SyncLogFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "DbfFixture.h"
#include "tables/Error.h"

namespace quarlex::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kLines = {
    "1. Проверка наличия БД в папке:", "  1.1 папка ZP_TAB: обнаружена", ""};
const std::string kContent = "\xEF\xBB\xBF"
                             "1. Проверка наличия БД в папке:\r\n"
                             "  1.1 папка ZP_TAB: обнаружена\r\n"
                             "\r\n";

TEST(SyncLogFile, IsUtf8WithAByteOrderMarkAndCrLfAfterEveryLine) {
    ScratchDir dir;
    const fs::path file = dir.path() / "log.txt";
    saveSyncLog(file.string(), kLines);
    EXPECT_EQ(readBytes(file), kContent);
    saveSyncLog(file.string(), {}); // replaced without a question
    EXPECT_EQ(readBytes(file), "\xEF\xBB\xBF");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SyncLogFile, ALinkOrFifoAtTheNameIsReplacedNeverFollowed) {
    ScratchDir dir;
    const fs::path victim = dir.path() / "victim.txt";
    writeBytes(victim, "keep me");
    const fs::path link = dir.path() / "link.txt";
    fs::create_symlink(victim, link);
    saveSyncLog(link.string(), kLines);
    EXPECT_EQ(readBytes(victim), "keep me");
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(link), kContent);

    const fs::path fifo = dir.path() / "fifo.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    saveSyncLog(fifo.string(), kLines); // would hang if it opened the FIFO
    EXPECT_TRUE(fs::is_regular_file(fifo));
    EXPECT_EQ(readBytes(fifo), kContent);
}

TEST(SyncLogFile, AFileThatCannotBeWrittenIsAnErrorNamingIt) {
    ScratchDir dir;
    const fs::path missing = dir.path() / "no such folder" / "log.txt";
    try {
        saveSyncLog(missing.string(), kLines);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos) << e.what();
    }
    const fs::path folder = dir.path() / "a folder";
    fs::create_directories(folder / "inside");
    EXPECT_THROW(saveSyncLog(folder.string(), kLines), Error);
    EXPECT_TRUE(fs::exists(folder / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

} // namespace
} // namespace quarlex::test
