#include "engine/ProcessCloser.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(processPathMatches("C:\\Program Files\\Adobe\\Reader\\AcroRd32.exe", "AcroRd32.exe"));
    EXPECT_TRUE(processPathMatches("c:\\program files\\adobe\\acrord32.exe", "ACRORD32.EXE"));
    EXPECT_TRUE(processPathMatches("/opt/reader/ACRORD32.EXE", "acrord32.exe"));
    EXPECT_TRUE(processPathMatches("C:\\mixed/AcroRd32.exe", "AcroRd32.exe"));
    EXPECT_TRUE(processPathMatches("AcroRd32.exe", "AcroRd32.exe")); // no folder: plain containment
    EXPECT_TRUE(processPathMatches("/usr/bin/AcroRd32.exe (deleted)", "AcroRd32.exe"));
}

TEST(ProcessMatching, OtherProgramsDoNotMatch)
{
    EXPECT_FALSE(processPathMatches("C:\\Program Files\\Adobe\\Acrobat\\Acrobat.exe", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("/opt/adobe/acrobat.exe", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("/opt/xAcroRd32.exe", "AcroRd32.exe")); // the name must follow the folder
    EXPECT_FALSE(processPathMatches("C:\\x\\MyAcroRd32.exe", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("/usr/bin/sleep", ""));
}

TEST(ProcessMatching, NameWithoutExtensionGainsExeOnlyForExePaths)
{
    EXPECT_TRUE(processPathMatches("C:\\Reader\\AcroRd32.EXE", "acrord32"));
    EXPECT_FALSE(processPathMatches("C:\\Reader\\AcroRd32Helper.exe", "acrord32"));
    EXPECT_TRUE(processPathMatches("/usr/bin/sleep", "sleep")); // no ".exe": the bare name
    EXPECT_TRUE(processPathMatches("/usr/bin/sleeper", "sleep"));
}

TEST(ProcessCloser, RefusesEmptyNames)
{
    EXPECT_EQ(closeProcessesByName(""), -1);
    // Quotes alone leave no name; this must never match every process.
    EXPECT_EQ(closeProcessesByName("\""), -1);
    EXPECT_EQ(closeProcessesByName("\"\""), -1);
}

TEST(ProcessCloser, EnumerationSeesThisProcessAndStopsWhenAsked)
{
    std::string self;
    int visited = 0;
    ASSERT_TRUE(enumerateProcesses([&](int pid, const std::string& path) {
        ++visited;
        if (pid == static_cast<int>(getpid())) self = path;
        return true;
    }));
    EXPECT_GE(visited, 1);
    EXPECT_EQ(self, std::filesystem::read_symlink("/proc/self/exe").string());

    int calls = 0;
    EXPECT_TRUE(enumerateProcesses([&](int, const std::string&) { return ++calls < 1; }));
    EXPECT_EQ(calls, 1);
}

namespace {

pid_t spawn(const std::string& exe, const std::string& argv0)
{
    pid_t pid = fork();
    if (pid == 0) {
        execl(exe.c_str(), argv0.c_str(), "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Until the child has exec'd, /proc still shows this test program. False
// when it ended first: every real run the suite starts at the same time
// closes the Reader processes it finds, this test's among them.
bool waitUntilShown(pid_t child, const std::string& name)
{
    for (int i = 0; i < 750; ++i) {
        bool seen = false;
        enumerateProcesses([&](int pid, const std::string& path) {
            if (pid == child && processPathMatches(path, name)) seen = true;
            return !seen;
        });
        if (seen) return true;
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A child shown in /proc under name, started again if something else ended it
// before it showed.
pid_t spawnShown(const std::string& exe, const std::string& argv0, const std::string& name)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        pid_t pid = spawn(exe, argv0);
        if (pid <= 0) break;
        if (waitUntilShown(pid, name)) return pid;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    ADD_FAILURE() << exe << " never showed as " << name;
    return -1;
}

bool killedBySigkill(pid_t child)
{
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

bool stillRunning(pid_t child)
{
    int status = 0;
    return waitpid(child, &status, WNOHANG) == 0;
}

void reap(pid_t child)
{
    int status = 0;
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
}

} // namespace

TEST(ProcessCloser, KillsReaderButLeavesAcrobatRunning)
{
    TempDir dir;
    std::string reader = dir / "AcroRd32.exe", acrobat = dir / "acrobat.exe";
    std::filesystem::copy_file("/bin/sleep", reader);
    std::filesystem::copy_file("/bin/sleep", acrobat);
    pid_t a = spawnShown(acrobat, acrobat, "acrobat.exe");
    pid_t r = spawnShown(reader, reader, "AcroRd32.exe");
    ASSERT_GT(r, 0);
    ASSERT_GT(a, 0);

    EXPECT_EQ(closeProcessesByName("\"acrord32.EXE\""), 0);
    EXPECT_TRUE(killedBySigkill(r));
    EXPECT_TRUE(stillRunning(a));
    reap(a);
}

TEST(ProcessCloser, KillsAWindowsReaderRunThroughALoader)
{
    // An emulator's own file is what /proc/PID/exe shows; argv[0] names the program.
    TempDir dir;
    std::string loader = dir / "loader";
    std::filesystem::copy_file("/bin/sleep", loader);
    pid_t r =
        spawnShown(loader, "C:\\Program Files\\Adobe\\Reader 11.0\\Reader\\AcroRd32.exe", "AcroRd32.exe");
    ASSERT_GT(r, 0);
    EXPECT_EQ(closeProcessesByName("AcroRd32.exe"), 0);
    EXPECT_TRUE(killedBySigkill(r));
}
