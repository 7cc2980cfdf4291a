// End-to-end: unattended runs over awkward files and job lists must never lose
// a file, hang, crash or hide what they left undone.
#include "testkit/SamplePdf.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <dirent.h>
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

void makePdf(const std::string& path, const std::string& name, int pages)
{
    SamplePdfOptions o;
    o.name = name;
    o.pages = pages;
    ASSERT_TRUE(makeSamplePdf(path, o)) << path;
}

bool exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

int occurrences(const std::string& text, const std::string& part)
{
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
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
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "; " : "") + fields[i];
    return line + "\r\r\n";
}

std::vector<std::string> hiddenFiles(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] == '.' && std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
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
        const char* fifo;        // made a FIFO before the run
        const char* expected;    // on standard error
        bool ranAnyway;          // out.pdf written all the same
    };
    const std::vector<Case> cases = {
        {"source", {"-c", "-oout.pdf", "x.pdf", "-r", "-q"}, "x.pdf", "Error Opening File : x.pdf", false},
        {"output", {"-a", "-ox.pdf", "a.pdf", "-r", "-q"}, "x.pdf", "Error Opening File : x.pdf", false},
        {"new output", {"-c", "-ox.pdf", "a.pdf", "-r", "-q"}, "x.pdf", "Unable to remove file: x.pdf", false},
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

TEST(UnattendedSafety, PageSelectionThatTakesNothingIsRefusedBeforeAnythingIsTouched)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 2);
    makePdf(dir / "old.pdf", "OLD", 1);
    rename((dir / "old.pdf").c_str(), (dir / "out.pdf").c_str());
    const std::string before = readFileBytes(dir / "out.pdf");
    for (const char* spec : {"-pfoo", "-p0", "-p3-0n"}) {
        auto r = run(dir, {"-c", spec, "-oout.pdf", "a.pdf", "-r", "-q"});
        EXPECT_NE(r.exitCode, 0) << spec;
        EXPECT_EQ(occurrences(r.err, "Error in parameters: "), 1) << r.err;
        EXPECT_NE(closingLine(r.err), "") << r.err;
        EXPECT_EQ(readFileBytes(dir / "out.pdf"), before) << spec;
    }

    // In a batch file, under -e: a good row before the bad one is not run
    // either, nothing is moved, and only the closing line speaks.
    makePdf(dir / "b.pdf", "B", 2);
    writeFileBytes(dir / "job.app",
                   batchLine({"b.pdf", "all", "", "", "done", "new.pdf", "N", "Y", "N", "N"}) +
                       batchLine({"a.pdf", "3-0n", "", "", "done", "new.pdf", "N", "N", "Y", "N"}));
    auto quiet = run(dir, {"-e", "job.app", "-r", "-q"});
    EXPECT_EQ(quiet.exitCode, 3);
    EXPECT_EQ(quiet.err, closingLine(quiet.err));
    EXPECT_NE(quiet.err.find("3-0n"), std::string::npos) << quiet.err;
    EXPECT_FALSE(exists(dir / "new.pdf") || exists(dir / "done"));
    EXPECT_TRUE(exists(dir / "a.pdf") && exists(dir / "b.pdf"));
    EXPECT_FALSE(exists(dir / "append.log") && !readFileBytes(dir / "append.log").empty());
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
        const char* job;       // written to job.app when set
        const char* says;      // in the closing line
    };
    const std::vector<Case> cases = {
        {"missing batch file", {"-e", "nothere.app", "-r", "-q"}, nullptr, "batch file not read: nothere.app"},
        {"skipped line", {"job.app", "-r", "-q"}, "notes.txt; all\r\r\na.pdf; 1; ; ; ; o.pdf; N; Y; N; N\r\r\n",
         "line 1 of job.app skipped"},
        {"no page selection", {"-p", "-oo.pdf", "a.pdf", "-r", "-q"}, nullptr, "left out: no page selection"},
        {"failed move", {"job.app", "-r", "-q"}, "a.pdf; 1; ; ; plain/sub; o.pdf; N; Y; N; N\r\r\n",
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
