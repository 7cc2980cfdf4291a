#include "jobs/FileIconCache.h"
#include "jobs/JobList.h"
#include "testkit/SampleFiles.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/SamplePdf.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <deque>

using namespace fb;
using namespace fb::test;

namespace {

struct ScriptedPrompt : ParametersPrompt {
    ParametersAnswer prompt(const ParametersRequest& r) override
    {
        requests.push_back(r);
        if (answers.empty()) return {};
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<ParametersRequest> requests;
    std::deque<ParametersAnswer> answers;
};

struct JobListTest : ::testing::Test {
    RecordingMessageBoxes messages;
    ScriptedPrompt prompt;
    JobList jobs{messages, prompt, {}};
    TempDir dir;

    std::string pdf(const std::string& name, int pages) { return madePdf(dir / name, name, pages); }
    void add(const std::string& name, const std::string& params = "all")
    {
        jobs.AddJobEntry(name, 1, {params, "", "/o.pdf", "N", "Y", "N", "N"});
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < jobs.rowCount(); ++i)
            out.push_back(jobs.text(i, kFileName));
        return out;
    }
};

} // namespace

TEST_F(JobListTest, AddAcceptsOnlyPdfEndingsAndCountsPages)
{
    std::string a = pdf("A.PDF", 3);
    EXPECT_EQ(jobs.AddJobEntry(a, 1, {"all", "/m", "/o.pdf", "Y", "N", "Y", "N"}), 1);
    EXPECT_EQ(jobs.AddJobEntry("/x/c.Pdf", 1, {"all", "", "", "", "", "", ""}), -1);
    EXPECT_EQ(jobs.AddJobEntry("/x/notes.txt", 1, {"all", "", "", "", "", "", ""}), -1);
    ASSERT_EQ(jobs.rowCount(), 1);
    const JobEntry& e = jobs.entry(0);
    EXPECT_EQ(e, (JobEntry{"Yes", a, "all", "3", "Ready.", "/m", "/o.pdf", "Y", "N", "Y", "N"}));
    EXPECT_EQ(jobs.iconKey(0), ".pdf");
    EXPECT_TRUE(messages.shown.empty());
    add(a);
    EXPECT_EQ(jobs.rowCount(), 2); // no duplicate check
}

TEST_F(JobListTest, MissingFileGetsARowThatIsDeselected)
{
    add(dir / "gone.pdf");
    ASSERT_EQ(jobs.rowCount(), 1);
    EXPECT_EQ(jobs.text(0, kPages), "-1");
    EXPECT_EQ(jobs.text(0, kStatus), "No File.");
    EXPECT_EQ(jobs.text(0, kSelected), "No");
}

TEST_F(JobListTest, EmptyParametersAskTheDialogAndUseSameTurnsTheFlagOff)
{
    std::string a = pdf("a.pdf", 2);
    RowValues p{"1-2", "/done", "/out.pdf", "N", "Y", "N", "Y"};
    prompt.answers.push_back({true, p, true});
    jobs.AddJobEntry(a, 1, {});
    ASSERT_EQ(prompt.requests.size(), 1u);
    EXPECT_EQ(prompt.requests[0].pageCount, 2);
    EXPECT_TRUE(prompt.requests[0].alwaysShow);
    EXPECT_FALSE(jobs.alwaysShowParameters());
    EXPECT_EQ(jobs.text(0, kAppendParameters), "1-2");
    EXPECT_EQ(jobs.text(0, kBookmarkFilename), "Y");
    // A cancelled prompt leaves the row without parameters.
    jobs.AddJobEntry(a, 1, {});
    EXPECT_FALSE(prompt.requests[1].alwaysShow);
    EXPECT_EQ(jobs.text(1, kAppendParameters), "");
    EXPECT_EQ(jobs.rowCount(), 2);
}

TEST_F(JobListTest, ToggleDeleteAndSelectionCommands)
{
    jobs.ToggleSelected(); // nothing selected: nothing happens, nothing shown
    jobs.DeleteSelectedEntries();
    jobs.UpdateJobEntry(false);
    EXPECT_EQ(messages.texts(),
              (std::vector<std::string>{"Please select item first", "Please select item first"}));
    for (const char* n : {"/x/1.pdf", "/x/2.pdf", "/x/3.pdf", "/x/4.pdf", "/x/5.pdf"})
        add(n);
    jobs.setRowSelected(0, true);
    jobs.setText(0, kSelected, "Yes");
    jobs.ToggleSelected();
    EXPECT_EQ(jobs.text(0, kSelected), "No");
    EXPECT_EQ(jobs.text(0, kStatus), "");
    jobs.ToggleSelected();
    EXPECT_EQ(jobs.text(0, kSelected), "Yes");
    EXPECT_EQ(jobs.text(0, kStatus), "Ready.");
    jobs.setRowSelected(2, true);
    jobs.setRowSelected(4, true);
    jobs.DeleteSelectedEntries();
    EXPECT_EQ(names(), (std::vector<std::string>{"/x/2.pdf", "/x/4.pdf"}));
    jobs.ClearAll();
    EXPECT_EQ(jobs.rowCount(), 0);
}

TEST_F(JobListTest, MovesCarryEveryFieldAndStopAtTheEnds)
{
    jobs.AddJobEntry("/x/a.pdf", 1, {"1", "/m1", "/o1.pdf", "Y", "Y", "N", "Y"});
    jobs.AddJobEntry("/x/b.pdf", 0, {"2", "/m2", "/o2.pdf", "N", "N", "Y", "N"});
    jobs.AddJobEntry("/x/c.pdf", 1, {"3", "", "/o3.pdf", "N", "N", "Y", "N"});
    JobEntry third = jobs.entry(2);
    jobs.setRowSelected(2, true);
    jobs.MoveEntryUp();
    EXPECT_EQ(jobs.entry(1), third);
    EXPECT_TRUE(jobs.isRowSelected(1));
    EXPECT_EQ(jobs.selectedRowCount(), 1);
    jobs.MoveEntryUp();
    jobs.MoveEntryUp(); // first row: order unchanged, no row selected
    EXPECT_EQ(jobs.entry(0), third);
    EXPECT_EQ(jobs.firstSelectedRow(), -1);
    jobs.setRowSelected(2, true);
    jobs.MoveEntryDown();
    EXPECT_EQ(jobs.firstSelectedRow(), -1);
    EXPECT_EQ(names(), (std::vector<std::string>{"/x/c.pdf", "/x/a.pdf", "/x/b.pdf"}));
}

TEST_F(JobListTest, SortIsBytewiseAndTerminatesOnEqualKeys)
{
    for (const char* n : {"b.pdf", "B.pdf", "a.pdf"})
        add(n);
    jobs.SortEntries(kFileName, true, 0, -1);
    EXPECT_EQ(names(), (std::vector<std::string>{"B.pdf", "a.pdf", "b.pdf"}));
    jobs.SortEntries(kFileName, false, 0, -1);
    EXPECT_EQ(names(), (std::vector<std::string>{"b.pdf", "a.pdf", "B.pdf"}));
    jobs.ClearAll();
    for (int i = 0; i < 40; ++i)
        add(i % 3 ? "same.pdf" : "z" + std::to_string(i % 7) + ".pdf");
    jobs.SortEntries(kFileName, true, 0, -1);
    for (int i = 1; i < jobs.rowCount(); ++i)
        EXPECT_LE(jobs.text(i - 1, kFileName), jobs.text(i, kFileName));
    jobs.SortEntries(kColumnCount, true, 0, -1); // no such column: nothing happens
}

TEST_F(JobListTest, RefreshRecountsAndMarksVanishedFiles)
{
    std::string a = pdf("a.pdf", 4);
    add(a);
    jobs.AddJobEntry("/x/odd.pdfx.pdf", 1, {"all", "", "", "", "", "", ""});
    jobs.setText(1, kFileName, "/x/name-without-extension");
    std::remove(a.c_str());
    jobs.RefreshPageCounts();
    EXPECT_EQ(jobs.text(0, kPages), "-1");
    EXPECT_EQ(jobs.text(0, kStatus), "No File.");
    EXPECT_EQ(jobs.text(0, kSelected), "No");
    EXPECT_EQ(jobs.text(1, kPages), "Unknown");
    EXPECT_EQ(jobs.text(1, kStatus), "Ready");
}

TEST_F(JobListTest, OverlongNamesAreRefusedNotTruncated)
{
    std::string longName = "/x/" + std::string(5000, 'a') + ".pdf";
    EXPECT_EQ(jobs.AddJobEntry(longName, 1, {"all", "", "/o.pdf", "N", "N", "Y", "N"}), -1);
    EXPECT_EQ(jobs.rowCount(), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("too long"), std::string::npos);
}

namespace {
struct RecordingObserver : JobListObserver {
    void rowInserted(int r) override { events.push_back("insert " + std::to_string(r)); }
    void rowsReset() override { events.push_back("reset"); }
    void rowChanged(int r) override { events.push_back("change " + std::to_string(r)); }
    void rowHighlightChanged(int r) override { events.push_back("highlight " + std::to_string(r)); }
    void loadProgress(bool active, int rows) override
    {
        events.push_back((active ? "loading " : "loaded ") + std::to_string(rows));
    }
    void repaintNow() override { events.push_back("repaint"); }
    void alwaysShowParametersChanged(bool on) override { events.push_back(on ? "always on" : "always off"); }
    void refreshTotalItems() override { events.push_back("total"); }
    std::vector<std::string> events;
};
} // namespace

TEST_F(JobListTest, WithAlwaysShowOffRowsTakeTheHeldParameters)
{
    RecordingObserver observer;
    jobs.subscribe(&observer);
    std::string a = pdf("a.pdf", 1), b = pdf("b.pdf", 2);
    RowValues p{"1", "", "/out.pdf", "N", "N", "Y", "N"};
    prompt.answers.push_back({true, p, true});
    prompt.answers.push_back({true, p, false}); // confirmed at once with the held values
    jobs.AddJobEntry(a, 1, {});
    jobs.AddJobEntry(b, 1, {});
    ASSERT_EQ(prompt.requests.size(), 2u);
    EXPECT_FALSE(prompt.requests[1].alwaysShow);
    EXPECT_EQ(jobs.text(1, kOutputFile), "/out.pdf");
    EXPECT_EQ(jobs.text(1, kPages), "2");
    auto structural = [](std::vector<std::string> events) {
        std::erase_if(events, [](const std::string& e) { return e.rfind("change", 0) == 0; });
        return events;
    };
    EXPECT_EQ(structural(observer.events),
              (std::vector<std::string>{"insert 0", "repaint", "always off", "insert 1"}));
    // The context menu forces the dialog; the flag itself stays off.
    jobs.setRowSelected(1, true);
    prompt.answers.push_back({true, {"2", "", "/x.pdf", "Y", "Y", "N", "Y"}, false});
    jobs.UpdateJobEntry(true);
    EXPECT_TRUE(prompt.requests[2].alwaysShow);
    ASSERT_TRUE(prompt.requests[2].rowValues.has_value());
    EXPECT_EQ(prompt.requests[2].rowValues->outputFile, "/out.pdf");
    EXPECT_EQ(prompt.requests[2].pageCount, 2);
    EXPECT_EQ(jobs.text(1, kOutputFile), "/x.pdf");
    EXPECT_EQ(jobs.text(1, kFileName), b); // the file name is never written back
    EXPECT_FALSE(jobs.alwaysShowParameters());
    jobs.unsubscribe(&observer);
}

TEST_F(JobListTest, MovesAndSortsCarryIconAndRowState)
{
    add("/x/b.pdf");
    add("/x/a.pdf");
    jobs.setText(0, kFileName, "/x/b.doc");
    EXPECT_EQ(jobs.iconKey(0), ".doc");
    jobs.setRowSelected(1, true);
    jobs.MoveEntryUp();
    EXPECT_EQ(jobs.iconKey(1), ".doc");
    EXPECT_EQ(jobs.iconKey(0), ".pdf");
    EXPECT_EQ(jobs.focusedRow(), 0);
    // Sorting swaps whole rows, list view state included.
    jobs.SortEntries(kFileName, false, 0, -1);
    EXPECT_EQ(names(), (std::vector<std::string>{"/x/b.doc", "/x/a.pdf"}));
    EXPECT_TRUE(jobs.isRowSelected(1));
    EXPECT_EQ(jobs.iconKey(0), ".doc");
    // Refresh after a delete recounts what is left.
    jobs.DeleteSelectedEntries();
    jobs.RefreshPageCounts();
    ASSERT_EQ(jobs.rowCount(), 1);
    EXPECT_EQ(jobs.text(0, kPages), "Unknown");
}

TEST_F(JobListTest, EveryObserverHearsEveryChangeAndOneMayLeaveWhileBeingTold)
{
    RecordingObserver table, window;
    // Leaves at the first thing it hears; the others must still hear it.
    struct Leaving : RecordingObserver {
        JobList* jobs = nullptr;
        void rowAboutToBeInserted(int) override { jobs->unsubscribe(this); }
    } leaving;
    leaving.jobs = &jobs;
    jobs.subscribe(&leaving);
    jobs.subscribe(&table);
    jobs.subscribe(&window);
    {
        JobList::LoadScope load(jobs);
        add("/x/b.pdf");
        JobList::LoadScope nested(jobs); // a batch file named inside a load joins it
        add("/x/a.pdf");
    }
    jobs.setRowSelected(1, true);
    jobs.ToggleSelected();
    jobs.SortEntries(kFileName, true, 0, -1);
    jobs.setAlwaysShowParameters(false);
    jobs.DeleteSelectedEntries();
    jobs.ClearAll();
    EXPECT_EQ(table.events, window.events);
    EXPECT_EQ(leaving.events, (std::vector<std::string>{"loading 0"}));
    for (const char* e : {"loading 0", "insert 0", "change 0", "insert 1", "loaded 2", "highlight 1",
                          "change 1", "reset", "always off", "total"})
        EXPECT_NE(std::find(table.events.begin(), table.events.end(), e), table.events.end()) << e;
    EXPECT_EQ(std::count(table.events.begin(), table.events.end(), "loaded 2"), 1);
    // A stopped load takes no more rows, and the next load starts afresh.
    {
        JobList::LoadScope load(jobs);
        jobs.stopLoad();
        EXPECT_EQ(jobs.AddJobEntry("/x/c.pdf", 1, {"all", "", "/o.pdf", "N", "N", "Y", "N"}), -1);
    }
    add("/x/d.pdf");
    EXPECT_EQ(names(), (std::vector<std::string>{"/x/d.pdf"}));
    jobs.unsubscribe(&table);
    jobs.unsubscribe(&window);
}

TEST(FileIconCache, FirstRequestAllocatesLaterOnesReuse)
{
    FileIconCache cache;
    bool isNew = false;
    EXPECT_EQ(cache.indexFor(".pdf", &isNew), 0);
    EXPECT_TRUE(isNew);
    EXPECT_EQ(cache.indexFor(".doc", &isNew), 1);
    EXPECT_EQ(cache.indexFor(".pdf", &isNew), 0);
    EXPECT_FALSE(isNew);
    EXPECT_EQ(cache.size(), 2);
}
