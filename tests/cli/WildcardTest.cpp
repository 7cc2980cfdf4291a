#include "cli/CliFakes.h"
#include "cli/CommandLine.h"
#include "cli/Wildcard.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace fb {
namespace {

using test::JobListFixture;
using test::RecordingHost;
using test::TempDir;
using Slots = std::vector<std::string>;

TEST(WildcardMatch, StarQuestionMarkAndCase)
{
    EXPECT_TRUE(wildcardMatch("*.pdf", "a.pdf"));
    EXPECT_TRUE(wildcardMatch("*.pdf", "B.PDF"));
    EXPECT_TRUE(wildcardMatch("*.pdf", ".pdf"));
    EXPECT_FALSE(wildcardMatch("*.pdf", "a.pdfx"));
    EXPECT_TRUE(wildcardMatch("?.pdf", "c.Pdf"));
    EXPECT_FALSE(wildcardMatch("?.pdf", "ab.pdf"));
    EXPECT_TRUE(wildcardMatch("a*b*c", "axxbyybzc"));
    EXPECT_FALSE(wildcardMatch("a*b*c", "axxbyy"));
    EXPECT_TRUE(wildcardMatch("*", ""));
    EXPECT_TRUE(wildcardMatch("**", "x"));
    EXPECT_FALSE(wildcardMatch("", "x"));
    EXPECT_TRUE(wildcardMatch("[a].pdf", "[A].PDF")); // brackets are plain characters
    EXPECT_FALSE(wildcardMatch("[a].pdf", "a.pdf"));
}

TEST(WildcardMatch, HostilePatternStaysFast)
{
    std::string name(4000, 'a');
    std::string pattern;
    for (int i = 0; i < 200; ++i)
        pattern += "*a";
    pattern += "b";
    EXPECT_FALSE(wildcardMatch(pattern, name));
}

class ExpandWildcardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::writeTinyPdf(dir / "a.pdf", 2);
        test::writeTinyPdf(dir / "B.PDF", 1);
        test::writeTinyPdf(dir / "c.Pdf", 1);
        test::writeFileBytes(dir / "notes.txt", "x");
        test::writeFileBytes(dir / "report.pdf.txt", "x");
        mkdir((dir / "sub.pdf").c_str(), 0755);
        values.appendParameters = "1-2";
        values.moveToDirectory = "/done";
        values.outputFile = "/o.pdf";
        values.keepBookmarks = "Y";
        values.createNew = "Y";
        values.appendExisting = "N";
        values.bookmarkFilename = "Y";
    }

    TempDir dir;
    JobListFixture f;
    RowValues values;
};

TEST_F(ExpandWildcardTest, AddsMatchingPdfFilesButNoFolders)
{
    ExpandWildcard(dir / "*.pdf", values, f.jobs);
    ASSERT_EQ(f.fileNames(), (Slots{dir / "B.PDF", dir / "a.pdf"}));
    const JobEntry& a = f.jobs.entry(1);
    EXPECT_EQ(a.selected, "Yes");
    EXPECT_EQ(a.pages, "2");
    EXPECT_EQ(a.appendParameters, "1-2");
    EXPECT_EQ(a.moveToDirectory, "/done");
    EXPECT_EQ(a.outputFile, "/o.pdf");
    EXPECT_EQ(a.keepBookmarks, "Y");
    EXPECT_EQ(a.createNew, "Y");
    EXPECT_EQ(a.appendExisting, "N");
    EXPECT_EQ(a.bookmarkFilename, "Y");
    EXPECT_TRUE(f.messages.shown.empty());
}

TEST_F(ExpandWildcardTest, StarDotStarTakesOnlyPdfPaths)
{
    ExpandWildcard(dir / "*.*", values, f.jobs);
    EXPECT_EQ(f.fileNames(), (Slots{dir / "B.PDF", dir / "a.pdf"}));
}

TEST_F(ExpandWildcardTest, NoMatchOrMissingFolderAddsNothingSilently)
{
    ExpandWildcard(dir / "*.xyz", values, f.jobs);
    ExpandWildcard(dir / "gone/*.pdf", values, f.jobs);
    ExpandWildcard(dir / "*/a.pdf", values, f.jobs);
    EXPECT_EQ(f.jobs.rowCount(), 0);
    EXPECT_TRUE(f.messages.shown.empty());
}

TEST_F(ExpandWildcardTest, PatternWithoutFolderMatchesTheCurrentFolder)
{
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    ExpandWildcard("*.pdf", values, f.jobs);
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(f.fileNames(), (Slots{"B.PDF", "a.pdf"}));
}

TEST_F(ExpandWildcardTest, CommandLineWildcardGetsTheSwitchValues)
{
    RecordingHost host{f.jobs};
    RunOptions options;
    ProcessCommandLine({"mervo", "-b", "-o\"/out/x.pdf\"", "\"" + (dir / "?*.pdf") + "\"", "-r"}, f.jobs,
                       host, options, "/start");
    ASSERT_EQ(f.fileNames(), (Slots{dir / "B.PDF", dir / "a.pdf"}));
    EXPECT_EQ(f.jobs.entry(0).keepBookmarks, "Y");
    EXPECT_EQ(f.jobs.entry(0).outputFile, "/out/x.pdf");
    EXPECT_EQ(f.jobs.entry(0).appendParameters, "all");
    EXPECT_EQ(host.calls, (Slots{"run@2", "total@2"}));
}

} // namespace
} // namespace fb
