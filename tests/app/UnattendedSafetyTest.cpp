// End-to-end: unattended runs over awkward files and job lists must never lose
// a file, hang, crash or hide what they left undone.
#include "testkit/SampleFiles.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace fb;
using namespace fb::test;

namespace {

const std::string kMervo = FB_MERVO_EXE;
const std::string kClosing = "mervo: not everything was done: ";
constexpr int kPatience = 20; // seconds; anything slower has hung

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The closing line, when there is one, is the last line of standard error.
std::string closingLine(const std::string& err)
{
    auto at = err.rfind(kClosing);
    if (at == std::string::npos) return "";
    EXPECT_EQ(err.find('\n', at), err.size() - 1) << err;
    return err.substr(at);
}

std::string batchLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i ? "; " : "") + fields[i];
    return line + "\r\r\n";
}

ProcessResult run(const TempDir& dir, const std::vector<std::string>& args)
{
    auto r = runProgram(kMervo, args, dir.path(), kPatience);
    EXPECT_FALSE(r.timedOut) << "hung: " << r.err;
    return r;
}

} // namespace

TEST(UnattendedSafety, MoveNeverDestroysAFileOfTheSameName)
{
    TempDir dir;
    mkdir((dir / "in1").c_str(), 0755);
    mkdir((dir / "in2").c_str(), 0755);
    mkdir((dir / "done").c_str(), 0755);
    makePdf(dir / "in1/a.pdf", "FIRST", 1);
    makePdf(dir / "in2/a.pdf", "SECOND", 1);
    writeFileBytes(dir / "done/b.pdf", "already here");
    makePdf(dir / "b.pdf", "B", 1);
    const std::string first = readFileBytes(dir / "in1/a.pdf");
    const std::string second = readFileBytes(dir / "in2/a.pdf");
    writeFileBytes(dir / "job.app",
                   batchLine({"in1/a.pdf", "all", "", "", "done", "out.pdf", "N", "Y", "N", "N"}) +
                       batchLine({"in2/a.pdf", "all", "", "", "done", "out.pdf", "N", "N", "Y", "N"}) +
                       batchLine({"b.pdf", "all", "", "", "done", "out.pdf", "N", "N", "Y", "N"}));

    auto r = run(dir, {"job.app", "-r", "-q"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFileBytes(dir / "done/a.pdf"), first);
    EXPECT_EQ(readFileBytes(dir / "done/a (2).pdf"), second);
    EXPECT_EQ(readFileBytes(dir / "done/b.pdf"), "already here");
    EXPECT_EQ(pdfPageTexts(dir / "done/b (2).pdf"), (std::vector<std::string>{"B p1"}));
    EXPECT_FALSE(exists(dir / "in1/a.pdf") || exists(dir / "in2/a.pdf") || exists(dir / "b.pdf"));
    EXPECT_EQ(occurrences(r.err, "was moved to done/a (2).pdf"), 1) << r.err;
    EXPECT_EQ(occurrences(r.err, "was moved to done/b (2).pdf"), 1) << r.err;
}

TEST(UnattendedSafety, NothingBlocksOnAFifoADeviceOrAFolder)
{
    struct Case {
        const char* what;
        std::vector<std::string> args;
        const char* fifo;     // made a FIFO before the run
        const char* expected; // on standard error
        bool ranAnyway;       // out.pdf written all the same
    };
    const std::vector<Case> cases = {
        {"source", {"-c", "-oout.pdf", "x.pdf", "-r", "-q"}, "x.pdf", "Error Opening File : x.pdf", false},
        {"output", {"-a", "-ox.pdf", "a.pdf", "-r", "-q"}, "x.pdf", "Error Opening File : x.pdf", false},
        {"new output",
         {"-c", "-ox.pdf", "a.pdf", "-r", "-q"},
         "x.pdf",
         "Unable to remove file: x.pdf",
         false},
        {"filler", {"-c", "-oout.pdf", "a.pdf", "-r", "-q"}, "x.pdf", "Unable to open file: x.pdf", true},
        {"batch file", {"x.app", "-r", "-q"}, "x.app", "Can't read append parameters file.: x.app", false},
        {"log", {"-c", "-oout.pdf", "a.pdf", "-r", "-q"}, "append.log", "Can't open append.log", false},
        {"settings", {"-c", "-oout.pdf", "a.pdf", "-r", "-q"}, "setup.ini", nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        makePdf(dir / "a.pdf", "A", 1);
        if (std::string(c.what) == "filler") writeFileBytes(dir / "setup.ini", "ODDEVERY;x.pdf\r\n");
        ASSERT_EQ(mkfifo((dir / c.fifo).c_str(), 0644), 0);
        auto r = run(dir, c.args);
        EXPECT_EQ(exists(dir / "out.pdf"), c.ranAnyway);
        if (c.expected) {
            EXPECT_NE(r.exitCode, 0);
            EXPECT_EQ(occurrences(r.err, c.expected), 1) << r.err;
            EXPECT_NE(closingLine(r.err), "") << r.err;
        } else {
            EXPECT_EQ(r.exitCode, 0) << r.err;
        }
        EXPECT_TRUE(exists(dir / "a.pdf"));
    }

    // A folder or a device as the batch file or the log: refused, no crash.
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 1);
    mkdir((dir / "job.app").c_str(), 0755);
    auto folder = run(dir, {"job.app", "-r", "-q"});
    EXPECT_EQ(folder.exitCode, 3) << folder.err;
    EXPECT_NE(folder.err.find("Can't read append parameters file.: job.app"), std::string::npos);
    unlink((dir / "append.log").c_str());
    ASSERT_EQ(symlink("/dev/full", (dir / "append.log").c_str()), 0);
    auto full = run(dir, {"-c", "-oout.pdf", "a.pdf", "-r", "-q"});
    EXPECT_EQ(full.exitCode, 3) << full.err;
    EXPECT_NE(full.err.find("Can't open append.log"), std::string::npos) << full.err;
    EXPECT_FALSE(exists(dir / "out.pdf"));
}

TEST(UnattendedSafety, ReadingIsBoundedWhateverTheBatchFileHolds)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 2);
    ASSERT_EQ(symlink("/dev/zero", (dir / "zero.app").c_str()), 0);
    auto zero = run(dir, {"zero.app", "-r", "-q"});
    EXPECT_EQ(zero.exitCode, 3);
    EXPECT_NE(zero.err.find("Can't read append parameters file.: zero.app"), std::string::npos);

    // A 256 MB first line (a hole, so the test stays quick), then a good line.
    const std::string good = batchLine({"a.pdf", "2", "", "", "", "out.pdf", "N", "Y", "N", "N"});
    int fd = open((dir / "big.app").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const off_t hole = 256L << 20;
    ASSERT_EQ(pwrite(fd, ("\n" + good).data(), good.size() + 1, hole), static_cast<ssize_t>(good.size() + 1));
    close(fd);
    auto big = run(dir, {"big.app", "-r", "-q"});
    EXPECT_EQ(big.exitCode, 3) << big.err;
    EXPECT_NE(big.err.find("Line 1 of big.app is too long and was skipped"), std::string::npos) << big.err;
    EXPECT_NE(closingLine(big.err).find("line 1 of big.app skipped"), std::string::npos) << big.err;
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf"), (std::vector<std::string>{"A p2"}));
    EXPECT_LT(big.maxRssKb, 200L * 1024) << "the long line was held in memory";
}

TEST(UnattendedSafety, HandWrittenBatchLinesKeepTheirFieldsAndALoneCrEndsALine)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 2);
    makePdf(dir / "b.pdf", "B", 3);
    writeFileBytes(dir / "job.app", "a.pdf;all;;;;out.pdf;N;Y;N;N\rb.pdf;2;;;;out.pdf;N;N;Y;N\r");
    auto r = run(dir, {"job.app", "-r", "-q"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf"), (std::vector<std::string>{"A p1", "A p2", "B p2"}));
    EXPECT_FALSE(exists(dir / "N"));
    EXPECT_FALSE(exists(dir / "Y"));
    EXPECT_TRUE(exists(dir / "a.pdf") && exists(dir / "b.pdf"));
}

TEST(UnattendedSafety, PageSelectionThatTakesNothingEndsTheRunAtItsRowBeforeItTouchesAnything)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 2);
    makePdf(dir / "old.pdf", "OLD", 1);
    rename((dir / "old.pdf").c_str(), (dir / "out.pdf").c_str());
    const std::string before = readFileBytes(dir / "out.pdf");
    for (const char* spec : {"-pfoo", "-p0", "-p3-0n"}) {
        auto r = run(dir, {"-c", spec, "-oout.pdf", "a.pdf", "-r", "-q"});
        EXPECT_EQ(r.exitCode, 3) << spec;
        EXPECT_EQ(occurrences(r.err, "Error in parameters: "), 1) << r.err;
        EXPECT_NE(closingLine(r.err), "") << r.err;
        EXPECT_EQ(readFileBytes(dir / "out.pdf"), before) << spec;
    }

    // In a batch file, under -e: the good row before the refused one is
    // appended and moved, the refused row and the row after it are left as
    // they were, and only the closing line speaks.
    makePdf(dir / "b.pdf", "B", 2);
    makePdf(dir / "c.pdf", "C", 1);
    writeFileBytes(dir / "job.app",
                   batchLine({"b.pdf", "all", "", "", "done", "new.pdf", "N", "Y", "N", "N"}) +
                       batchLine({"a.pdf", "3-0n", "", "", "done", "new.pdf", "N", "N", "Y", "N"}) +
                       batchLine({"c.pdf", "all", "", "", "done", "new.pdf", "N", "N", "Y", "N"}));
    auto quiet = run(dir, {"-e", "job.app", "-r", "-q"});
    EXPECT_EQ(quiet.exitCode, 3) << quiet.err;
    EXPECT_EQ(quiet.err, closingLine(quiet.err));
    EXPECT_NE(quiet.err.find("row 2 (a.pdf): page selection \"3-0n\" refused"), std::string::npos)
        << quiet.err;
    EXPECT_EQ(pdfPageTexts(dir / "new.pdf"), (std::vector<std::string>{"B p1", "B p2"}));
    EXPECT_TRUE(exists(dir / "done/b.pdf") && !exists(dir / "b.pdf"));
    EXPECT_TRUE(exists(dir / "a.pdf") && exists(dir / "c.pdf"));
    EXPECT_FALSE(exists(dir / "done/a.pdf") || exists(dir / "done/c.pdf"));
    EXPECT_EQ(occurrences(readFileBytes(dir / "append.log"), "\r\n"), 1);
}

TEST(UnattendedSafety, EveryMessageOnce)
{
    TempDir dir;
    writeFileBytes(dir / "bad.pdf", "%PDF-1.4\nnot a pdf at all\n");
    auto r = run(dir, {"-c", "-oout.pdf", "bad.pdf", "-r", "-q"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(occurrences(r.err, "Error Opening File : bad.pdf"), 1) << r.err;
}

TEST(UnattendedSafety, ARunThatDidNotDoEverythingSaysSoAndExitsNonZero)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 1);
    writeFileBytes(dir / "plain", "a file where the move folder should be");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        const char* job;  // written to job.app when set
        const char* says; // in the closing line
    };
    const std::vector<Case> cases = {
        {"missing batch file",
         {"-e", "nothere.app", "-r", "-q"},
         nullptr,
         "batch file not read: nothere.app"},
        {"skipped line",
         {"job.app", "-r", "-q"},
         "notes.txt; all\r\r\na.pdf; 1; ; ; ; o.pdf; N; Y; N; N\r\r\n",
         "line 1 of job.app skipped"},
        {"no page selection", {"-p", "-oo.pdf", "a.pdf", "-r", "-q"}, nullptr, "left out: no page selection"},
        {"failed move",
         {"job.app", "-r", "-q"},
         "a.pdf; 1; ; ; plain/sub; o.pdf; N; Y; N; N\r\r\n",
         "a.pdf not moved to plain/sub"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.job) writeFileBytes(dir / "job.app", c.job);
        auto r = run(dir, c.args);
        EXPECT_EQ(r.exitCode, 3) << r.err;
        EXPECT_NE(closingLine(r.err).find(c.says), std::string::npos) << r.err;
    }

    auto help = run(dir, {"--help"});
    EXPECT_NE(help.out.find("  3  not everything was done"), std::string::npos);
    auto fine = run(dir, {"-c", "-oo.pdf", "a.pdf", "-r", "-q"});
    EXPECT_EQ(fine.exitCode, 0);
    EXPECT_EQ(fine.err, "");
}

TEST(UnattendedSafety, ALaterSaveRemovesTheTemporaryFilesADeadRunLeft)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 1);
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string litter = ".out.pdf.mervo-" + std::to_string(dead) + ".Xy12Zq";
    writeFileBytes(dir / litter, std::string(4096, 'x'));

    auto r = run(dir, {"-c", "-oout.pdf", "a.pdf", "-r", "-q"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(exists(dir / litter));
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf"), (std::vector<std::string>{"A p1"}));
    EXPECT_EQ(hiddenFiles(dir.path()), std::vector<std::string>{});
}

TEST(UnattendedSafety, MessagesStayReadableSayWhyAndUseTheProgramsOwnName)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 1);
    makePdf(dir / "filler.pdf", "FILL", 1);
    makePdf(dir / "locked.pdf", "L", 1);
    mkdir((dir / "done").c_str(), 0755);
    writeFileBytes(dir / "done/a.pdf", "another file of that name");
    // Both files as an editor that writes a byte-order mark leaves them.
    const std::string bom = "\xEF\xBB\xBF";
    writeFileBytes(dir / "setup.ini", bom + "ODDEVERY;filler.pdf\r\n");
    auto row = [](const std::string& name, const std::string& moveTo = "") {
        return batchLine({name, "all", "", "", moveTo, "out.pdf", "N", "N", "Y", "N"});
    };
    std::string job = bom + row("a.pdf", "done") + row("locked.pdf") + row("\x1b[31mred.pdf");
    for (int i = 1; i <= 12; ++i)
        job += row("gone" + std::to_string(i) + ".pdf");
    writeFileBytes(dir / "job.app", job);
    ASSERT_EQ(symlink(kMervo.c_str(), (dir / "folio").c_str()), 0);

    // As root every file is readable: the program then runs as nobody, in a
    // folder of its own, to meet a file it may not read.
    const bool root = geteuid() == 0;
    if (root) {
        for (const char* name : {"", "a.pdf", "filler.pdf", "done", "done/a.pdf", "setup.ini", "job.app"})
            ASSERT_EQ(chown((dir.path() + "/" + name).c_str(), 65534, 65534), 0) << name;
    }
    ASSERT_EQ(chmod((dir / "locked.pdf").c_str(), 0), 0);
    ProcessSetup asNobody;
    asNobody.unprivileged = true;
    RunningProgram program(dir / "folio", {"job.app", "-r", "-q"}, dir.path(), asNobody);
    ProcessResult r = program.wait(kPatience);
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf"), (std::vector<std::string>{"A p1", "FILL p1"}));
    EXPECT_EQ(occurrences(r.err, "folio: done/a.pdf already holds another file"), 1) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << "a raw escape reached the terminal";

    const std::string closing = "folio: not everything was done: ";
    const auto at = r.err.rfind(closing);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string line = r.err.substr(at);
    EXPECT_NE(line.find("source file can't be read: locked.pdf (Permission denied)"), std::string::npos)
        << line;
    EXPECT_NE(line.find("source file not found: \\x1b[31mred.pdf"), std::string::npos) << line;
    // Fourteen sources missing: the first ten, then a count.
    EXPECT_NE(line.find("gone8.pdf"), std::string::npos) << line;
    EXPECT_EQ(line.find("gone9.pdf"), std::string::npos) << line;
    EXPECT_NE(line.find("; and 4 more\n"), std::string::npos) << line;
}
