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
    EXPECT_TRUE(processPathMatches("AcroRd32.exe", "AcroRd32.exe"));  // no folder: plain containment
    EXPECT_TRUE(processPathMatches("/usr/bin/AcroRd32.exe (deleted)", "AcroRd32.exe"));
}

TEST(ProcessMatching, OtherProgramsDoNotMatch)
{
    EXPECT_FALSE(processPathMatches("C:\\Program Files\\Adobe\\Acrobat\\Acrobat.exe", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("/opt/adobe/acrobat.exe", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("/opt/xAcroRd32.exe", "AcroRd32.exe"));  // the name must follow the folder
    EXPECT_FALSE(processPathMatches("C:\\x\\MyAcroRd32.exe", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("", "AcroRd32.exe"));
    EXPECT_FALSE(processPathMatches("/usr/bin/sleep", ""));
}

TEST(ProcessMatching, NameWithoutExtensionGainsExeOnlyForExePaths)
{
    EXPECT_TRUE(processPathMatches("C:\\Reader\\AcroRd32.EXE", "acrord32"));
    EXPECT_FALSE(processPathMatches("C:\\Reader\\AcroRd32Helper.exe", "acrord32"));
    EXPECT_TRUE(processPathMatches("/usr/bin/sleep", "sleep"));  // no ".exe": the bare name
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

// Until the child has exec'd, /proc still shows this test program. Up to
// 15 s: a loaded machine running the suite in parallel can take seconds.
void waitUntilShown(pid_t child, const std::string& name)
{
    for (int i = 0; i < 750; ++i) {
        bool seen = false;
        enumerateProcesses([&](int pid, const std::string& path) {
            if (pid == child && processPathMatches(path, name)) seen = true;
            return !seen;
        });
        if (seen) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "process " << child << " never showed as " << name;
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
    pid_t r = spawn(reader, reader), a = spawn(acrobat, acrobat);
    ASSERT_GT(r, 0);
    ASSERT_GT(a, 0);
    waitUntilShown(r, "AcroRd32.exe");
    waitUntilShown(a, "acrobat.exe");

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
    pid_t r = spawn(loader, "C:\\Program Files\\Adobe\\Reader 11.0\\Reader\\AcroRd32.exe");
    ASSERT_GT(r, 0);
    waitUntilShown(r, "AcroRd32.exe");
    EXPECT_EQ(closeProcessesByName("AcroRd32.exe"), 0);
    EXPECT_TRUE(killedBySigkill(r));
}
