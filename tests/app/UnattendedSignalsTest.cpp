// End-to-end: signals sent to an unattended run, as cron, a shell or a
// shutdown sends them, end it cleanly; a closed pipe or a file-size limit
// never kills it part way.
#include "testkit/SampleFiles.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace fb;
using namespace fb::test;

namespace {

const std::string kMervo = FB_MERVO_EXE;
constexpr int kPatience = 60; // seconds; anything slower has hung
constexpr int kRows = 300;

int logRecords(const std::string& folder)
{
    return occurrences(readFileBytes(folder + "/append.log"), "\r\n");
}

// A job of many rows, each taking pages 1-3 of one source into out.pdf.
void writeLongJob(const TempDir& dir)
{
    makePdf(dir / "a.pdf", "A", 3);
    std::string job;
    for (int i = 0; i < kRows; ++i)
        job += "a.pdf; 1-3; ; ; ; out.pdf; N; N; Y; N\r\r\n";
    writeFileBytes(dir / "job.app", job);
}

// Waits (bounded) until the run has logged some rows, then sends the signals.
bool signalMidRun(const RunningProgram& run, const TempDir& dir, std::initializer_list<int> signals)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPatience);
    while (logRecords(dir.path()) < 2) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (int s : signals)
        kill(run.pid(), s);
    return true;
}

} // namespace

TEST(UnattendedSignals, AStopSignalLetsTheRowFinishAndEndsAsAStopDoes)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        TempDir dir;
        writeLongJob(dir);
        RunningProgram run(kMervo, {"job.app", "-r", "-q"}, dir.path());
        ASSERT_TRUE(signalMidRun(run, dir, {sig}));
        ProcessResult r = run.wait(kPatience);
        ASSERT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 3) << r.err;

        // Every logged row's pages are in the output once, no more: the row
        // under way finished and nothing was torn.
        const int logged = logRecords(dir.path());
        EXPECT_LT(logged, kRows) << "the run ended before the signal";
        EXPECT_EQ(pdfPageTexts(dir / "out.pdf").size(), static_cast<std::size_t>(3 * logged));
        EXPECT_EQ(qpdfCheckProblems(dir / "out.pdf"), "");
        EXPECT_EQ(hiddenFiles(dir.path()), std::vector<std::string>{});

        const std::string closing = "mervo: not everything was done: ";
        const auto at = r.err.rfind(closing);
        ASSERT_NE(at, std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n', at), r.err.size() - 1) << "the closing line is not the last";
        const char* name = sig == SIGTERM ? "SIGTERM" : sig == SIGINT ? "SIGINT" : "SIGHUP";
        const auto said = r.err.find(std::string("stopped by ") + name, at);
        EXPECT_NE(said, std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("stopped by", said + 1), std::string::npos) << "said twice: " << r.err;
    }

    // A second signal ends the run at once: still a whole output, and nothing
    // of ours left beside it. (Two different signals, as two alike may merge
    // into one while pending.)
    TempDir dir;
    writeLongJob(dir);
    RunningProgram run(kMervo, {"job.app", "-r", "-q"}, dir.path());
    ASSERT_TRUE(signalMidRun(run, dir, {SIGTERM, SIGINT}));
    ProcessResult r = run.wait(kPatience);
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("ended at once by a second signal"), std::string::npos) << r.err;
    const std::size_t pages = pdfPageTexts(dir / "out.pdf").size();
    EXPECT_EQ(pages % 3, 0u);
    EXPECT_GE(pages, static_cast<std::size_t>(3 * logRecords(dir.path())));
    EXPECT_EQ(qpdfCheckProblems(dir / "out.pdf"), "");
    EXPECT_EQ(hiddenFiles(dir.path()), std::vector<std::string>{});
}

TEST(UnattendedSignals, AClosedErrorPipeOrAFileSizeLimitNeverKillsTheJob)
{
    // Twenty rows, each with a message on standard error: its reader is gone
    // before the first one.
    TempDir dir;
    mkdir((dir / "done").c_str(), 0755);
    makePdf(dir / "a0.pdf", "A", 1);
    const std::string bytes = readFileBytes(dir / "a0.pdf");
    std::string job;
    for (int i = 1; i <= 20; ++i) {
        const std::string name = "a" + std::to_string(i) + ".pdf";
        writeFileBytes(dir / name, bytes);
        writeFileBytes(dir / ("done/" + name), "another file of that name");
        job += name + "; 1; ; ; done; out.pdf; N; N; Y; N\r\r\n";
    }
    writeFileBytes(dir / "job.app", job);
    RunningProgram piped(kMervo, {"job.app", "-r", "-q"}, dir.path(), {}, [] {
        int fds[2];
        if (pipe(fds) != 0) _exit(126);
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
    });
    ProcessResult r = piped.wait(kPatience);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(logRecords(dir.path()), 20);
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf").size(), 20u);
    EXPECT_EQ(readFileBytes(dir / "done/a20 (2).pdf"), bytes);

    // Under a file-size limit the save fails and says so; the process is not killed.
    TempDir limited;
    makePdf(limited / "big.pdf", "BIG", 40);
    RunningProgram small(kMervo, {"-c", "-oout.pdf", "big.pdf", "-r", "-q"}, limited.path(), {}, [] {
        struct rlimit limit {
            1024, 1024
        };
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    ProcessResult s = small.wait(kPatience);
    EXPECT_NE(s.exitCode, 0);
    EXPECT_LT(s.exitCode, 128) << "killed by a signal";
    EXPECT_NE(s.err.find("out.pdf"), std::string::npos) << s.err;
    EXPECT_EQ(hiddenFiles(limited.path()), std::vector<std::string>{});
}
