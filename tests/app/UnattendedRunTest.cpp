// End-to-end: the real program, run unattended over real PDFs, as a cron job runs it.
#include "testkit/SamplePdf.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace fb;
using namespace fb::test;

namespace {

const std::string kMervo = FB_MERVO_EXE;

void makePdf(const std::string& path, const std::string& name, int pages,
             std::vector<SampleOutlineItem> outline = {})
{
    SamplePdfOptions o;
    o.name = name;
    o.pages = pages;
    o.outline = std::move(outline);
    ASSERT_TRUE(makeSamplePdf(path, o)) << path;
}

std::vector<std::string> pageNames(const std::string& name, std::initializer_list<int> pages)
{
    std::vector<std::string> out;
    for (int p : pages)
        out.push_back(name + " p" + std::to_string(p));
    return out;
}

std::vector<std::string> logLines(const std::string& path)
{
    std::string bytes = readFileBytes(path);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) break;
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

} // namespace

TEST(UnattendedRun, CommandLineJobWritesOutputAndLogsIt)
{
    TempDir dir;
    makePdf(dir / "in.pdf", "IN", 12);
    auto r = runProgram(kMervo, {"-c", "-p6-7,9-10", "-oout.pdf", "in.pdf", "-r", "-q"}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf"), pageNames("IN", {6, 7, 9, 10}));

    auto lines = logLines(dir / "append.log");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(32, 7), "out.pdf");
    EXPECT_EQ(lines[0][22], '\t');
    EXPECT_EQ(lines[0].substr(19, 3), "   ");
    struct stat st;
    ASSERT_EQ(stat((dir / "out.pdf").c_str(), &st), 0);
    EXPECT_EQ(std::stoll(lines[0].substr(23, 8)), static_cast<long long>(st.st_size));
}

TEST(UnattendedRun, SecondRunAppendsToTheExistingOutput)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 2);
    makePdf(dir / "b.pdf", "B", 3);
    ASSERT_EQ(runProgram(kMervo, {"-c", "-oout.pdf", "a.pdf", "-r", "-q"}, dir.path()).exitCode, 0);
    auto r = runProgram(kMervo, {"-a", "-p3,1", "-oout.pdf", "b.pdf", "-r", "-q"}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf"), (std::vector<std::string>{"A p1", "A p2", "B p3", "B p1"}));
    EXPECT_EQ(logLines(dir / "append.log").size(), 2u);
}

TEST(UnattendedRun, BatchFileRunsRowsInOrderWithBookmarksAndMoves)
{
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "in").c_str(), 0755), 0);
    makePdf(dir / "in/a.pdf", "A", 3, {{"A chapter", 1, {{"A section", 2, {}}}}});
    makePdf(dir / "in/b.pdf", "B", 2);
    std::string out = dir / "out.pdf";
    std::string done = dir / "done";
    std::string job = dir / "in/a.pdf" + "; all; 3; Ready.; " + done + "; " + out + "; Y; Y; N; N\r\r\n" +
                      dir / "in/b.pdf" + "; 2; 2; Ready.; ; " + out + "; N; N; Y; Y\r\r\n";
    writeFileBytes(dir / "job.app", job);

    auto r = runProgram(kMervo, {"job.app", "-r", "-q"}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(pdfPageTexts(out), (std::vector<std::string>{"A p1", "A p2", "A p3", "B p2"}));
    auto outline = pdfOutline(out);
    ASSERT_EQ(outline.size(), 3u);
    EXPECT_EQ(outline[0].title, "A chapter");
    EXPECT_EQ(outline[1].title, "A section");
    EXPECT_EQ(outline[1].depth, 1);
    EXPECT_EQ(outline[2].title, "b.pdf");
    EXPECT_EQ(outline[2].depth, 0);
    // The first source was moved, keeping its extension; the second stays.
    EXPECT_TRUE(exists(done + "/a.pdf"));
    EXPECT_FALSE(exists(dir / "in/a.pdf"));
    EXPECT_TRUE(exists(dir / "in/b.pdf"));
}

TEST(UnattendedRun, MissingSourceIsNamedAndTheExitCodeTellsTheScript)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 1);
    auto r = runProgram(kMervo, {"-c", "-oout.pdf", "gone.pdf", "a.pdf", "-r", "-q"}, dir.path());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("gone.pdf"), std::string::npos) << r.err;
}

TEST(UnattendedRun, OutputThatIsItsOwnSourceIsRefusedAndLeftAlone)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 2);
    std::string before = readFileBytes(dir / "a.pdf");
    auto r = runProgram(kMervo, {"-c", "-oa.pdf", "a.pdf", "-r", "-q"}, dir.path());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("a.pdf"), std::string::npos);
    EXPECT_EQ(readFileBytes(dir / "a.pdf"), before);
}

TEST(UnattendedRun, FailedReplacementKeepsTheOldOutput)
{
    TempDir dir;
    makePdf(dir / "a.pdf", "A", 2);
    ASSERT_EQ(runProgram(kMervo, {"-c", "-oout.pdf", "a.pdf", "-r", "-q"}, dir.path()).exitCode, 0);
    std::string before = readFileBytes(dir / "out.pdf");
    // A damaged source: the run must fail without harming the output written before.
    writeFileBytes(dir / "bad.pdf", "%PDF-1.4\nthis is not a pdf at all\n");
    auto r = runProgram(kMervo, {"-c", "-oout.pdf", "bad.pdf", "-r", "-q"}, dir.path());
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(readFileBytes(dir / "out.pdf"), before);
}

TEST(UnattendedRun, CommandLineBasics)
{
    TempDir dir;
    auto none = runProgram(kMervo, {}, dir.path());
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("Usage: mervo"), std::string::npos);

    auto help = runProgram(kMervo, {"--help"}, dir.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("-r -q"), std::string::npos);
    EXPECT_FALSE(exists(dir / "append.log"));

    auto version = runProgram(kMervo, {"--version"}, dir.path());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find("mervo"), std::string::npos);
}

TEST(UnattendedRun, MessagesGoToStandardErrorWithTheirCaption)
{
    TempDir dir;
    // An unreadable batch file: its message box is written as "caption: text".
    auto r = runProgram(kMervo, {"nothere.app", "-q"}, dir.path());
    EXPECT_NE(r.err.find("Can't read append parameters file.: nothere.app"), std::string::npos) << r.err;
}

// Cron runs it per file: without a display neither the version nor a whole job
// may pay for loading the window's libraries.
TEST(UnattendedRun, RunsWithoutADisplayNeverLoadQt)
{
    TempDir dir;
    makePdf(dir / "in.pdf", "IN", 2);
    setenv("LD_DEBUG", "libs", 1);
    auto version = runProgram(kMervo, {"--version"}, dir.path());
    auto job = runProgram(kMervo, {"-c", "-oout.pdf", "in.pdf", "-r", "-q"}, dir.path());
    unsetenv("LD_DEBUG");
    EXPECT_EQ(job.exitCode, 0) << job.err;
    EXPECT_NE(version.err.find("libqpdf"), std::string::npos); // the loader did report
    EXPECT_EQ(version.err.find("libQt6"), std::string::npos);
    EXPECT_EQ(job.err.find("libQt6"), std::string::npos);
    EXPECT_EQ(job.err.find("libmervo-qt"), std::string::npos);
}
