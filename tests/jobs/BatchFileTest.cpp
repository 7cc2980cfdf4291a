#include "jobs/BatchFile.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <deque>
#include <unistd.h>

using namespace fb;
using namespace fb::test;

namespace {

struct ScriptedDialogs : FileDialogs {
    std::optional<std::string> openFile(const FileDialogRequest& r) override { return next(r); }
    std::optional<std::string> saveFile(const FileDialogRequest& r) override { return next(r); }
    std::optional<std::string> next(const FileDialogRequest& r)
    {
        requests.push_back(r);
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<FileDialogRequest> requests;
    std::deque<std::optional<std::string>> answers;
};

struct CountingPrompt : ParametersPrompt {
    ParametersAnswer prompt(const ParametersRequest& r) override
    {
        asked.push_back(r.fileName);
        return {};
    }
    std::vector<std::string> asked;
};

struct BatchFileTest : ::testing::Test {
    RecordingMessageBoxes messages;
    CountingPrompt prompt;
    ScriptedDialogs dialogs;
    JobList jobs{messages, prompt, {}};
    BatchFiles batch{jobs, messages, dialogs};
    TempDir dir;
    std::string title;
    void SetUp() override
    {
        batch.setTitleListener([this](const std::string& t) { title = t; });
    }
};

} // namespace

TEST_F(BatchFileTest, SavedLinesAreExactAndReadBackTheSameRows)
{
    jobs.AddJobEntry("/in/a.pdf", 1, {"all", "", "/out.pdf", "Y", "N", "Y", "N"});
    jobs.AddJobEntry("/in/b.pdf", 0, {"2-3", "/done", "/out.pdf", "N", "Y", "N", "Y"});
    jobs.setText(0, kSelected, "Yes"); // missing files are deselected when added
    std::string path = dir / "job.app";
    dialogs.answers.push_back(path);
    batch.saveBatchFileAs();
    EXPECT_EQ(readFileBytes(path), "/in/a.pdf; all; -1; No File.; ; /out.pdf; Y; N; Y; N\r\r\n"
                                   "~/in/b.pdf; 2-3; -1; No File.; /done; /out.pdf; N; Y; N; Y\r\r\n");
    EXPECT_EQ(title, "Folioband  [" + path + "]");
    EXPECT_EQ(messages.shown.back().caption, "Append Parameters Saved OK");
    EXPECT_EQ(messages.shown.back().text, path);

    JobEntry a = jobs.entry(0), b = jobs.entry(1);
    jobs.ClearAll();
    batch.readBatchFile(path);
    ASSERT_EQ(jobs.rowCount(), 2);
    EXPECT_EQ(jobs.entry(0).fileName, a.fileName);
    EXPECT_EQ(jobs.entry(0).selected, "No"); // still missing, so deselected again
    a.selected = "No";
    EXPECT_EQ(jobs.entry(0), a);
    EXPECT_EQ(jobs.entry(1), b);
    EXPECT_EQ(jobs.entry(1).selected, "No");
}

TEST_F(BatchFileTest, LineEndsOfAnyKindReadTheSame)
{
    std::string fields = "/in/a.pdf;   all ; 3; Ready.; ; /o.pdf; Y; N; Y; N";
    for (std::string end : {"\r\r\n", "\r\n", "\n", ""}) {
        jobs.ClearAll();
        writeFileBytes(dir / "j.app", fields + end + "\n\n");
        batch.readBatchFile(dir / "j.app");
        ASSERT_EQ(jobs.rowCount(), 1);
        EXPECT_EQ(jobs.text(0, kBookmarkFilename), "N");    // the last real character is kept
        EXPECT_EQ(jobs.text(0, kAppendParameters), "all "); // leading blanks go, trailing stay
        EXPECT_EQ(jobs.text(0, kOutputFile), "/o.pdf");
    }
}

TEST_F(BatchFileTest, MessagesAndQuietMode)
{
    batch.readBatchFile(dir / "missing.app");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Can't read append parameters file.");
    EXPECT_EQ(messages.shown[0].text, dir / "missing.app");
    EXPECT_EQ(title, "Folioband  [" + dir / "missing.app" + "]");
    batch.saveBatchFile();
    EXPECT_EQ(messages.shown.back().text, "No Files to Save");
    EXPECT_EQ(messages.shown.back().caption, "Save Error!");

    batch.setQuietMode(true);
    messages.shown.clear();
    batch.readBatchFile(dir / "missing.app");
    batch.saveBatchFile();
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(BatchFileTest, AppendReadsOnlyTheFirstJobAndLoadCancelEmptiesTheList)
{
    std::string lines;
    for (int i = 1; i <= 5; ++i)
        lines += "/in/" + std::to_string(i) + ".pdf; all; ; ; ; /o.pdf; N; N; Y; N\r\r\n";
    writeFileBytes(dir / "five.app", lines);
    dialogs.answers.push_back(dir / "five.app");
    batch.appendBatchFile();
    ASSERT_EQ(jobs.rowCount(), 1);
    EXPECT_EQ(jobs.text(0, kFileName), "/in/1.pdf");
    EXPECT_EQ(dialogs.requests[0].title, "Open Job File");

    std::string before = title;
    batch.loadBatchFile(); // cancelled
    EXPECT_EQ(jobs.rowCount(), 0);
    EXPECT_EQ(title, before);
    EXPECT_EQ(dialogs.requests[1].title, "Open Append Batch File");
    EXPECT_EQ(dialogs.requests[1].defaultExtension, "JOB");
}

TEST_F(BatchFileTest, EmptyPageSelectionAsksForParameters)
{
    writeFileBytes(dir / "j.app", "/in/a.pdf; ; ; ; ; /o.pdf; N; N; Y; N\r\r\nnotes.txt; all\r\r\n");
    batch.readBatchFile(dir / "j.app");
    EXPECT_EQ(prompt.asked, (std::vector<std::string>{"/in/a.pdf"}));
    EXPECT_EQ(jobs.rowCount(), 1);
}

TEST_F(BatchFileTest, SemicolonInAFieldIsRefusedAndTheOldFileKept)
{
    std::string path = dir / "job.app";
    writeFileBytes(path, "old\r\r\n");
    jobs.AddJobEntry("/in/a.pdf", 1, {"all", "/done;2", "/o.pdf", "N", "N", "Y", "N"});
    dialogs.answers.push_back(path);
    batch.saveBatchFileAs();
    EXPECT_EQ(readFileBytes(path), "old\r\r\n");
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_NE(messages.shown.back().text.find("Row 1"), std::string::npos);
    EXPECT_NE(messages.shown.back().text.find("Move To Directory After Append"), std::string::npos);
}

TEST_F(BatchFileTest, SaveWithoutPathWritesDefaultAppInTheCurrentFolder)
{
    char old[4096];
    ASSERT_NE(getcwd(old, sizeof old), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    jobs.AddJobEntry("/in/a.pdf", 1, {"all", "", "/o.pdf", "N", "N", "Y", "N"});
    batch.saveBatchFile();
    EXPECT_EQ(title, "Folioband  [default.app]");
    EXPECT_FALSE(readFileBytes(dir / "default.app").empty());
    // An unwritable target gives the write message and keeps the title.
    batch.readBatchFile(dir / "no/such/folder/x.app");
    messages.shown.clear();
    batch.saveBatchFile();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Can't write to job file.");
    ASSERT_EQ(chdir(old), 0);
}

TEST(BatchLineSplit, EveryFieldKeepsItsPlaceAndExtrasAreIgnored)
{
    auto f = splitBatchLine("  /a b.pdf ;;; x;  y  ");
    ASSERT_EQ(f.size(), 10u);
    EXPECT_EQ(f[0], "/a b.pdf ");
    EXPECT_EQ(f[1], "");
    EXPECT_EQ(f[2], "");
    EXPECT_EQ(f[3], "x");
    EXPECT_EQ(f[4], "y  ");
    EXPECT_EQ(f[5], "");
    auto many = splitBatchLine("1;2;3;4;5;6;7;8;9;10;11;12");
    ASSERT_EQ(many.size(), 10u);
    EXPECT_EQ(many[9], "10");
    EXPECT_EQ(splitBatchLine("").size(), 10u);
}

TEST_F(BatchFileTest, OverlongLineIsSkippedWithoutDisturbingTheNext)
{
    std::string path = dir / "long.app";
    writeFileBytes(path, "/in/" + std::string(5000, 'x') +
                             ".pdf; all\r\r\n"
                             "/in/b.pdf; all; ; ; ; /o.pdf; N; N; Y; N\r\r\n");
    batch.readBatchFile(path);
    ASSERT_EQ(jobs.rowCount(), 1);
    EXPECT_EQ(jobs.text(0, kFileName), "/in/b.pdf");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Line 1 of " + path + " is too long and was skipped");

    batch.setQuietMode(true);
    messages.shown.clear();
    batch.readBatchFile(path);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(jobs.rowCount(), 2);
}

TEST_F(BatchFileTest, DamagedBytesDoNotCrashTheReader)
{
    std::string junk;
    for (int i = 0; i < 3000; ++i)
        junk += static_cast<char>((i * 37) % 256);
    writeFileBytes(dir / "junk.app", junk + "\n~\n;;;;\n~.pdf\n");
    batch.readBatchFile(dir / "junk.app");
    EXPECT_LE(jobs.rowCount(), 1); // at most the "~.pdf" line
}
