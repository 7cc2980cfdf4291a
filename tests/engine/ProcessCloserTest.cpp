#include "engine/CMyThread.h"
#include "engine/ProcessCloser.h"
#include "support/TestDirs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace fb;
using namespace fb::test;

TEST(ProcessMatching, NameMatchesFromAnyFolderInAnyCase)
{
    EXPECT_TRUE(processPathMatches("C:\\Program Files\\Adobe\\AcroRd32.exe", "AcroRd32.exe"));
    EXPECT_TRUE(processPathMatches("/opt/reader/ACRORD32.EXE", "acrord32.exe"));
    EXPECT_TRUE(processPathMatches("/opt/reader/ACRORD32.EXE", "acrord32"));  // ".EXE" added
    EXPECT_TRUE(processPathMatches("AcroRd32.exe", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("/opt/adobe/acrobat.exe", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("/opt/xAcroRd32.exe", "AcroRd32.exe"));  // needs the folder slash
    EXPECT_FALSE(processPathMatches("", "AcroRd32.exe"));
    EXPECT_EQ(closeProcessesByName(""), -1);
}

TEST(ProcessCloser, KillsReaderButNotAcrobatNorItself)
{
    TempDir dir;
    std::string reader = dir / "AcroRd32.exe", acrobat = dir / "acrobat.exe";
    std::filesystem::copy_file("/bin/sleep", reader);
    std::filesystem::copy_file("/bin/sleep", acrobat);
    auto spawn = [](const std::string& exe) {
        pid_t pid = fork();
        if (pid == 0) {
            execl(exe.c_str(), exe.c_str(), "30", static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    };
    pid_t r = spawn(reader), a = spawn(acrobat);
    // Wait until both have exec'd, so /proc shows their new executables.
    for (int i = 0; i < 100; ++i) {
        bool seen = false;
        enumerateProcesses([&](int pid, const std::string& path) {
            if (pid == r && processPathMatches(path, "AcroRd32.exe")) seen = true;
            return true;
        });
        if (seen) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(closeProcessesByName("\"acrord32.EXE\""), 0);
    int status = 0;
    ASSERT_EQ(waitpid(r, &status, 0), r);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(waitpid(a, &status, WNOHANG), 0);  // still running
    kill(a, SIGKILL);
    waitpid(a, &status, 0);
}

namespace {
struct CountingPresser : BusyPromptPresser {
    bool pressRetryOnServerBusy() override
    {
        ++presses;
        return false;
    }
    std::atomic<int> presses{0};
};
} // namespace

TEST(Watcher, PollsUntilStoppedAndEndsPromptly)
{
    CountingPresser presser;
    CMyThread watcher;
    watcher.setMainWindow(&presser);
    watcher.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    auto before = std::chrono::steady_clock::now();
    watcher.requestStop();
    watcher.join();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_GE(presser.presses.load(), 1);
    EXPECT_LE(presser.presses.load(), 6);
    EXPECT_EQ(watcher.exitCode(), 1);

    CMyThread orphan;  // no main window: ends at once
    orphan.start();
    orphan.join();
    EXPECT_EQ(orphan.exitCode(), -1);
}
