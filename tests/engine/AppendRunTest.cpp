#include "AppendRunFixture.h"

#include "common/Files.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace fb::test {
namespace {

using Strings = std::vector<std::string>;

Strings labels(const std::string& name, int first, int last)
{
    Strings out;
    for (int k = first; k <= last; ++k)
        out.push_back(name + " p" + std::to_string(k));
    return out;
}

Strings concat(Strings a, const Strings& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(AppendRunTest, ClickOnEmptyListDoesNothing)
{
    run.click();
    EXPECT_TRUE(server.calls().empty());
    EXPECT_EQ(readers.calls, 0);
    EXPECT_TRUE(host.captions.empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(run.lastResult(), RunResult::NotRun);
    EXPECT_EQ(run.buttonCaption(), "Append Files");
}

TEST_F(AppendRunTest, OneRowIntoNewOutputMakesTheExpectedCalls)
{
    const std::string src = source("a.pdf", 3);
    const std::string out = dir / "out.pdf";
    const int row = addRow(src, "all", out);

    run.click();

    const Strings expected = {"create.App",          "create.AVDoc",
                              "create.PDDoc",        "create.PDDoc",
                              "PDDoc.Create()",      "PDDoc.Open(" + src + ")",
                              "PDDoc.GetNumPages()", "PDDoc.InsertPages(-1,0,3,0)",
                              "PDDoc.Close()",       "PDDoc.Save(33," + out + ")",
                              "PDDoc.Close()",       "create.PDDoc",
                              "App.CloseAllDocs()",  "App.Exit()"};
    EXPECT_EQ(server.calls(), expected);
    EXPECT_EQ(pagesOf(out), labels("a.pdf", 1, 3));
    EXPECT_EQ(status(row), "Done");
    EXPECT_EQ(logLines(), 1);
    EXPECT_NE(readFileBytes(log.path()).find(out), std::string::npos);
    EXPECT_EQ(readers.calls, 1);
    EXPECT_EQ(host.captions, (Strings{"Stop", "Append Files"}));
    EXPECT_EQ(host.repaints, 1);
    EXPECT_EQ(connection.events, (Strings{"show", "hide"}));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Done.");
    EXPECT_EQ(messages.shown[0].caption, "Folioband Batch");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
    EXPECT_FALSE(run.isRunning());
    EXPECT_EQ(run.buttonCaption(), "Append Files");
}

TEST_F(AppendRunTest, NoDoneMessageWhenStartedWithArgumentsAndNoConnectionWindowWithD)
{
    options.argumentCount = 3;
    options.noConnectionWindow = true;
    addRow(source("a.pdf", 1), "all", dir / "out.pdf");
    run.click();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(connection.events.empty());
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
}

TEST_F(AppendRunTest, IneligibleRowsArePassedOverUntouched)
{
    const std::string src = source("a.pdf", 2);
    const int unselected = addRow(src, "all", dir / "o1.pdf");
    jobs.setText(unselected, kSelected, "No");
    const int noSpec = addRow(src, "all", dir / "o2.pdf");
    jobs.setText(noSpec, kAppendParameters, "");
    const int noOutput = addRow(src, "all", dir / "o3.pdf");
    jobs.setText(noOutput, kOutputFile, "");
    const int lowerYes = addRow(src, "all", dir / "o4.pdf");
    jobs.setText(lowerYes, kSelected, "yes");
    for (int r = 0; r < 4; ++r)
        jobs.setText(r, kStatus, "mine");

    run.click();

    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(status(r), "mine");
    EXPECT_EQ(server.count("PDDoc.Open"), 0);
    EXPECT_FALSE(pathExists(dir / "o1.pdf"));
    // One fresh output object after every row, eligible or not.
    EXPECT_EQ(server.count("create.PDDoc"), 2 + 4);
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
}

TEST_F(AppendRunTest, RowsSharingAnOutputAppendInRowOrder)
{
    const std::string out = dir / "out.pdf";
    addRow(source("a.pdf", 2), "all", out);
    addRow(source("b.pdf", 3), "2-3", out);
    run.click();
    EXPECT_EQ(pagesOf(out), concat(labels("a.pdf", 1, 2), labels("b.pdf", 2, 3)));
    EXPECT_EQ(server.callsNamed("PDDoc.InsertPages"),
              (Strings{"PDDoc.InsertPages(-1,0,2,0)", "PDDoc.InsertPages(1,1,2,0)"}));
    EXPECT_EQ(logLines(), 2);
}

TEST_F(AppendRunTest, CreateNewReplacesTheExistingOutput)
{
    const std::string out = dir / "out.pdf";
    addRow(source("a.pdf", 2), "all", out);
    addRow(source("b.pdf", 1), "all", out, "Y");
    run.click();
    EXPECT_EQ(pagesOf(out), labels("b.pdf", 1, 1));
    EXPECT_EQ(server.count("PDDoc.Create"), 2);
    EXPECT_TRUE(messages.shown.size() == 1 && messages.shown[0].text == "Done.");
}

TEST_F(AppendRunTest, FileNameBookmarkAtEachRunWithKeptBookmarksFlag)
{
    const std::string src = source("a.pdf", 12);
    const std::string out = dir / "out.pdf";
    addRow(src, "6-7,9-10", out, "N", "", "Y", "Y");
    run.click();

    EXPECT_EQ(server.callsNamed("PDDoc.InsertPages"),
              (Strings{"PDDoc.InsertPages(-1,5,2,1)", "PDDoc.InsertPages(1,8,2,1)"}));
    EXPECT_EQ(server.callsNamed("PDDoc.OpenAVDoc"),
              (Strings{"PDDoc.OpenAVDoc(" + out + ")", "PDDoc.OpenAVDoc(" + out + ")"}));
    EXPECT_EQ(server.callsNamed("AVPageView.GoTo"), (Strings{"AVPageView.GoTo(0)", "AVPageView.GoTo(2)"}));
    EXPECT_EQ(server.callsNamed("App.MenuItemExecute").size(), 2u);
    EXPECT_EQ(server.callsNamed("PDBookmark.GetByTitle").size(), 2u);
    EXPECT_EQ(server.callsNamed("PDBookmark.SetTitle"),
              (Strings{"PDBookmark.SetTitle(a.pdf)", "PDBookmark.SetTitle(a.pdf)"}));
    const auto doc = readFakePdf(out);
    EXPECT_EQ(doc.pages, (Strings{"a.pdf p6", "a.pdf p7", "a.pdf p9", "a.pdf p10"}));
    using B = ScriptedAutomationServer::Bookmark;
    EXPECT_EQ(doc.bookmarks, (std::vector<B>{{"a.pdf", 0}, {"a.pdf", 2}}));
}

TEST_F(AppendRunTest, BookmarkObjectThatCannotBeMadeKeepsUntitledAndRunGoesOn)
{
    server.failOn("create.PDBookmark");
    const std::string out = dir / "out.pdf";
    addRow(source("a.pdf", 4), "1,3", out, "N", "", "N", "Y");
    run.click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, "Failed to create PDBookmark object");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    // GetByTitle finds the first "Untitled", so one of the two keeps that title.
    Strings titles;
    for (const auto& b : readFakePdf(out).bookmarks)
        titles.push_back(b.title);
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (Strings{"Untitled", "a.pdf"}));
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
}

TEST_F(AppendRunTest, NoBookmarkWhenThePageViewIsMissing)
{
    server.failOn("AVDoc.GetAVPageView");
    const std::string out = dir / "out.pdf";
    addRow(source("a.pdf", 4), "1,3", out, "N", "", "N", "Y");
    run.click();
    // First run: no view, so no bookmark at all; second run gets its title.
    EXPECT_EQ(server.count("App.MenuItemExecute"), 1);
    EXPECT_EQ(readFakePdf(out).bookmarks.size(), 1u);
}

TEST_F(AppendRunTest, OddEveryFileEvensEveryOutput)
{
    settings.oddEveryFile = source("blank.pdf", 1);
    addRow(source("a.pdf", 3), "all", dir / "o1.pdf");
    addRow(source("b.pdf", 2), "all", dir / "o2.pdf");
    addRow(source("c.pdf", 5), "all", dir / "o3.pdf");
    run.click();
    EXPECT_EQ(pagesOf(dir / "o1.pdf"), concat(labels("a.pdf", 1, 3), {"blank.pdf p1"}));
    EXPECT_EQ(pagesOf(dir / "o2.pdf"), labels("b.pdf", 1, 2));
    EXPECT_EQ(pagesOf(dir / "o3.pdf").size(), 6u);
    EXPECT_EQ(server.callsNamed("PDDoc.InsertPages")[1], "PDDoc.InsertPages(2,0,1,0)");
}

TEST_F(AppendRunTest, OddFinalFileOnlyForTheLastRow)
{
    settings.oddEveryFile = "x"; // one character: unset
    settings.oddFinalFile = source("blank.pdf", 1);
    addRow(source("a.pdf", 3), "all", dir / "o1.pdf");
    addRow(source("b.pdf", 3), "all", dir / "o2.pdf");
    run.click();
    EXPECT_EQ(pagesOf(dir / "o1.pdf").size(), 3u);
    EXPECT_EQ(pagesOf(dir / "o2.pdf").size(), 4u);
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(AppendRunTest, OddFinalFileSkippedWhenLastRowIsIneligible)
{
    settings.oddFinalFile = source("blank.pdf", 1);
    addRow(source("a.pdf", 3), "all", dir / "o1.pdf");
    const int last = addRow(source("b.pdf", 3), "all", dir / "o2.pdf");
    jobs.setText(last, kSelected, "No");
    run.click();
    EXPECT_EQ(pagesOf(dir / "o1.pdf").size(), 3u);
}

TEST_F(AppendRunTest, EvenFillerLeavesOutputOddAndFinalFillerAddsItsOwn)
{
    settings.oddEveryFile = source("two.pdf", 2);
    settings.oddFinalFile = source("blank.pdf", 1);
    addRow(source("a.pdf", 1), "all", dir / "o.pdf");
    run.click();
    EXPECT_EQ(pagesOf(dir / "o.pdf"), (Strings{"a.pdf p1", "two.pdf p1", "two.pdf p2", "blank.pdf p1"}));
}

TEST_F(AppendRunTest, UnreadableFillerIsReportedAndTheRunGoesOn)
{
    options.quietMode = true; // the filler messages are never suppressed
    settings.oddEveryFile = dir / "gone.pdf";
    addRow(source("a.pdf", 1), "all", dir / "o.pdf");
    addRow(source("b.pdf", 1), "all", dir / "o2.pdf");
    run.click();
    ASSERT_EQ(messages.shown.size(), 2u); // once for the whole run, then "Done."
    EXPECT_EQ(messages.shown[0].text, "Unable to open file: " + dir / "gone.pdf");
    EXPECT_EQ(messages.shown[0].caption, applicationName());
    EXPECT_EQ(pagesOf(dir / "o.pdf").size(), 1u);
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
}

TEST_F(AppendRunTest, MissingSourceStopsTheRunSilently)
{
    const std::string gone = source("gone.pdf", 1);
    const int first = addRow(gone, "all", dir / "o1.pdf");
    const int second = addRow(source("b.pdf", 1), "all", dir / "o2.pdf");
    const std::string before = status(second);
    removeFile(gone);

    run.click();

    EXPECT_EQ(status(first), "Stopped");
    EXPECT_EQ(status(second), before);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(cleanupCalls(), (Strings{"App.CloseAllDocs()", "App.Exit()"}));
    EXPECT_FALSE(pathExists(dir / "o2.pdf"));
    EXPECT_EQ(run.lastResult(), RunResult::Stopped);
    EXPECT_EQ(run.missingSources(), (Strings{gone}));
}

TEST_F(AppendRunTest, PageSelectionThatTakesNothingEndsTheRunAtItsRowBeforeItTouchesAnything)
{
    const std::string good = source("good.pdf", 3);
    const std::string src = source("a.pdf", 3);
    const std::string out = dir / "out.pdf";
    addRow(good, "all", out);
    int runs = 0;
    for (const char* spec : {"zzz", "0", "3-0n", "4"}) {
        messages.shown.clear();
        const int row = addRow(src, spec, out, "N", dir / "done");
        addRow(good, "all", out); // after the refused row: never reached
        run.click();
        ++runs;
        ASSERT_EQ(messages.shown.size(), 1u) << spec;
        EXPECT_EQ(messages.shown[0].caption, "Error in parameters") << spec;
        EXPECT_EQ(status(row), "Stopped") << spec;
        EXPECT_EQ(run.lastResult(), RunResult::Failed);
        // The row before it is appended on every run, the refused row never.
        EXPECT_EQ(pagesOf(out).size(), 3u * runs) << spec;
        EXPECT_EQ(logLines(), runs);
        jobs.clearSelection();
        jobs.setRowSelected(row, true);
        jobs.setRowSelected(row + 1, true);
        jobs.DeleteSelectedEntries();
    }
    EXPECT_TRUE(pathExists(src));
    EXPECT_FALSE(pathExists(dir / "done"));
}

TEST_F(AppendRunTest, DoubleSlashesInOutputPathCollapse)
{
    const std::string src = source("a.pdf", 1);
    // "////" becomes "/", "//" becomes "/"; the leading "/" of the temp path doubles too.
    addRow(src, "all", "/" + dir.path() + "////sub//out.pdf");
    run.click();
    EXPECT_EQ(server.callsNamed("PDDoc.Save"), (Strings{"PDDoc.Save(33," + dir / "sub/out.pdf" + ")"}));
    EXPECT_TRUE(isDirectory(dir / "sub")); // the output's folder is made, one level
    EXPECT_EQ(pagesOf(dir / "sub/out.pdf").size(), 1u);
}

TEST_F(AppendRunTest, MoveNeverReplacesADifferentFile)
{
    const std::string src = source("a.pdf", 2);
    createFolderOneLevel(dir / "done");
    writeFileBytes(dir / "done/a.pdf", "old");
    writeFileBytes(dir / "done/a (2).pdf", "older");
    addRow(src, "all", dir / "out.pdf", "N", dir / "done");
    run.click();
    EXPECT_FALSE(pathExists(src));
    EXPECT_EQ(readFileBytes(dir / "done/a.pdf"), "old");
    EXPECT_EQ(readFileBytes(dir / "done/a (2).pdf"), "older");
    EXPECT_EQ(pagesOf(dir / "done/a (3).pdf"), labels("a.pdf", 1, 2));
    EXPECT_EQ(messages.texts()[0], dir / "done/a.pdf" + " already holds another file; " + src +
                                       " was moved to " + dir / "done/a (3).pdf");
    EXPECT_TRUE(run.undone().empty());

    // A byte-identical file of that name is simply replaced.
    const std::string again = source("a.pdf", 2);
    const std::string copy = readFileBytes(again);
    writeFileBytes(dir / "done/a.pdf", copy);
    run.click();
    EXPECT_FALSE(pathExists(again));
    EXPECT_EQ(readFileBytes(dir / "done/a.pdf"), copy);
    EXPECT_FALSE(pathExists(dir / "done/a (4).pdf"));
}

TEST_F(AppendRunTest, StopClickSeenAtTheStopTestBeforeTheDocumentsOpen)
{
    addRow(source("a.pdf", 1), "all", dir / "o1.pdf");
    addRow(source("b.pdf", 1), "all", dir / "o2.pdf");
    host.onDispatch = [&](int n) {
        if (n == 2) {
            run.click();
            EXPECT_EQ(run.buttonCaption(), "Append Files"); // at once
            EXPECT_TRUE(run.isRunning());
        }
    };
    run.click();
    EXPECT_EQ(status(0), "Stopped");
    EXPECT_NE(status(1), "Processing");
    EXPECT_EQ(server.count("PDDoc.Create"), 0);
    EXPECT_TRUE(cleanupCalls().empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(run.lastResult(), RunResult::Stopped);
    EXPECT_EQ(server.count("create.App"), 1);
}

TEST_F(AppendRunTest, StopClickDuringARowLetsItFinishButNotMove)
{
    const std::string src = source("a.pdf", 1);
    addRow(src, "all", dir / "o1.pdf", "N", dir / "done");
    addRow(source("b.pdf", 1), "all", dir / "o2.pdf");
    host.onDispatch = [&](int n) {
        if (n == 3) { // after the save and the log record
            run.click();
            run.click(); // clicking again only asks again
        }
    };
    run.click();
    EXPECT_EQ(status(0), "Done");
    EXPECT_TRUE(pathExists(src));
    EXPECT_FALSE(pathExists(dir / "o2.pdf"));
    EXPECT_EQ(cleanupCalls(), (Strings{"App.CloseAllDocs()"}));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(run.lastResult(), RunResult::Stopped);
    EXPECT_EQ(server.count("create.App"), 1);
    EXPECT_EQ(host.captions, (Strings{"Stop", "Append Files"}));

    // Nothing but the statuses carries over: a second run starts afresh.
    host.onDispatch = nullptr;
    run.click();
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
    EXPECT_EQ(pagesOf(dir / "o1.pdf").size(), 2u);
}

TEST_F(AppendRunTest, RowsRemovedDuringTheRunAreNotTouched)
{
    addRow(source("a.pdf", 1), "all", dir / "o1.pdf");
    addRow(source("b.pdf", 1), "all", dir / "o2.pdf");
    host.onDispatch = [&](int n) {
        if (n == 2) jobs.ClearAll();
    };
    run.click();
    EXPECT_EQ(jobs.rowCount(), 0);
    EXPECT_FALSE(pathExists(dir / "o2.pdf"));
    EXPECT_EQ(run.lastResult(), RunResult::Completed);
}

} // namespace
} // namespace fb::test
