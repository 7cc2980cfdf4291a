// A second stop signal ends the process at once; whichever thread takes it,
// and whenever it comes, no temporary file of the process is left behind.
#include "common/Files.h"
#include "common/StopSignals.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace fb {
namespace {

// Saves out.pdf over and over, through a temporary file and a link beside it,
// while a second thread spins so that signals may land on either. Says it is
// ready on readyFd once the handlers are in.
[[noreturn]] void saveForever(const std::string& folder, int readyFd)
{
    installStopSignals("", 3);
    (void)::write(readyFd, "r", 1);
    std::atomic<bool> spin{true};
    std::thread other([&spin] {
        while (spin.load()) {
        }
    });
    other.detach();
    const std::string out = folder + "/out.pdf";
    for (;;) {
        TempFileBeside file;
        if (file.create(out)) {
            (void)::write(file.fd(), "%PDF-1.4\n", 9);
            (void)file.place();
        }
        const std::string link = linkBeside(out);
        if (!link.empty()) ::unlink(link.c_str());
    }
}

TEST(StopSignals, ASecondSignalLeavesNoTemporaryFileWhicheverThreadTakesIt)
{
    for (int round = 0; round < 60; ++round) {
        test::TempDir dir;
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) saveForever(dir.path(), ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        // A little later each round, so the signals land at many points of a save.
        const timespec wait{0, 1000000L + 97000L * round};
        ::nanosleep(&wait, nullptr);
        ::kill(child, SIGTERM);
        ::kill(child, SIGINT);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "round " << round;
        EXPECT_EQ(WEXITSTATUS(status), 3);
        ASSERT_EQ(test::hiddenFiles(dir.path()), std::vector<std::string>{}) << "round " << round;
    }
}

} // namespace
} // namespace fb
