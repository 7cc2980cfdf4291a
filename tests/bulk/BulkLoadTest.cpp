#include "bulk/BulkLoad.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

#include "testkit/ScriptedFolders.h"

using namespace fb;
using namespace fb::test;

namespace {

// Plays the option dialog: edits the settings as the user would, then OK or Cancel.
struct ScriptedOptions : BulkLoadOptionsPrompt {
    bool askGrouping(GroupingSettings& s) override
    {
        if (grouping) grouping(s);
        return ok;
    }
    bool askOneOutput(OneOutputSettings& s) override
    {
        if (oneOutput) oneOutput(s);
        return ok;
    }
    std::function<void(GroupingSettings&)> grouping;
    std::function<void(OneOutputSettings&)> oneOutput;
    bool ok = true;
};

struct CountingObserver : JobListObserver {
    void refreshTotalItems() override { ++totals; }
    int totals = 0;
};

// Records what the "Scanning" window showed; presses Stop once it has shown
// stopAfterFolders folder texts.
struct ProgressLog {
    std::vector<std::string> folders;
    int lastCount = 0;
    int stopAfterFolders = -1;
    bool open = false;
};

struct RecordingProgress : ScanProgress {
    explicit RecordingProgress(ProgressLog& log) : log(log) { log.open = true; }
    ~RecordingProgress() override { log.open = false; }
    void showFolder(const std::string& f) override
    {
        log.folders.push_back(f);
        if (log.stopAfterFolders >= 0 && int(log.folders.size()) >= log.stopAfterFolders) stop = true;
    }
    void showFilesAdded(int n) override { log.lastCount = n; }
    bool stopRequested() const override { return stop; }
    void requestStop() override { stop = true; }
    ProgressLog& log;
    bool stop = false;
};

struct BulkLoadTest : ::testing::Test {
    RecordingMessageBoxes messages;
    CancelParametersPrompt prompt;
    JobList jobs{messages, prompt, {}};
    CountingObserver observer;
    ScriptedFolders folders;
    ScriptedOptions options;
    EventPump pump;
    ProgressLog progress;
    int fits = 0;
    BulkLoader loader{{jobs, messages, folders, options, pump,
                       [this] { return std::make_unique<RecordingProgress>(progress); }, [this] { ++fits; },
                       // Every entry shows its folder, so Stop's count is exact.
                       std::chrono::milliseconds(0)}};
    TempDir dir;

    BulkLoadTest() { jobs.subscribe(&observer); }

    std::string file(const std::string& relative)
    {
        std::string path = dir / relative;
        for (auto at = path.find('/', dir.path().size() + 1); at != std::string::npos;
             at = path.find('/', at + 1))
            ::mkdir(path.substr(0, at).c_str(), 0755);
        writeFileBytes(path, "");
        return path;
    }
    std::vector<std::string> column(int c) const
    {
        std::vector<std::string> out;
        for (int i = 0; i < jobs.rowCount(); ++i)
            out.push_back(jobs.text(i, c));
        return out;
    }
    std::vector<std::string> sortedNames() const
    {
        auto names = column(kFileName);
        std::sort(names.begin(), names.end());
        return names;
    }
    // Rows whose file lies under the folder, as one block in walk order.
    bool contiguous(const std::string& folder) const
    {
        auto names = column(kFileName);
        int first = -1, last = -1, count = 0;
        for (int i = 0; i < int(names.size()); ++i) {
            if (names[i].rfind(folder + "/", 0) != 0) continue;
            if (first < 0) first = i;
            last = i;
            ++count;
        }
        return count > 0 && last - first + 1 == count;
    }
};

} // namespace

TEST_F(BulkLoadTest, GroupingWalksTheTreeDepthFirstAndNamesGroupedOutputs)
{
    jobs.AddJobEntry("/old.pdf", 1, {"all", "", "/o.pdf", "N", "N", "Y", "N"});
    std::vector<std::string> wanted = {
        file("top.pdf"),
        file("1/test.pdf"),
        file("1/deep/x.PDF"),
        file("1/deep/deeper/y.pdf"),
        file("1/after.pdf"),
        file("2/test.pdf"),
        file("hidden no dot/h.pdf"),
        file("x.pdf/in.pdf"),
        file("sub/.dotted.pdf"), // a file with a leading dot is still a file
        file("odd names/it's \"quoted\" & blank .pdf"),
        file("odd names/caf\xc3\xa9 \xff\xfe.pdf"),
    };
    file("report.Pdf");      // neither .pdf nor .PDF at the end
    file("x.pdf/notes.txt"); // passes the path test, refused by the list
    file("keep.pdf.bak");
    file(".hidden/never.pdf"); // folders with a leading dot are not entered
    file("1/.git/never.pdf");
    ::mkdir((dir / "empty").c_str(), 0755);

    options.grouping = [](GroupingSettings& s) {
        s.outputDirectory = "/data/my.pdf files";
        s.suffix = "_2003";
    };
    folders.answer = dir.path() + "//"; // trailing slashes are dropped
    loader.BulkLoadGrouping();

    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(sortedNames(), wanted); // the old row went first
    EXPECT_TRUE(contiguous(dir / "1"));
    EXPECT_TRUE(contiguous(dir / "1/deep"));
    EXPECT_TRUE(contiguous(dir / "odd names"));

    std::map<std::string, std::string> outputOf;
    for (int i = 0; i < jobs.rowCount(); ++i)
        outputOf[jobs.text(i, kFileName)] = jobs.text(i, kOutputFile);
    // Same name in two folders: one output; the directory keeps its ".pdf".
    EXPECT_EQ(outputOf[dir / "1/test.pdf"], "/data/my.pdf files/test_2003.pdf");
    EXPECT_EQ(outputOf[dir / "2/test.pdf"], "/data/my.pdf files/test_2003.pdf");
    EXPECT_EQ(outputOf[dir / "1/deep/x.PDF"], "/data/my.pdf files/x_2003.pdf");
    EXPECT_EQ(outputOf[dir / "sub/.dotted.pdf"], "/data/my.pdf files/.dotted_2003.pdf");
    EXPECT_EQ(outputOf[dir / "odd names/caf\xc3\xa9 \xff\xfe.pdf"],
              "/data/my.pdf files/caf\xc3\xa9 \xff\xfe_2003.pdf");

    auto names = column(kFileName);
    int top = int(std::find(names.begin(), names.end(), dir / "top.pdf") - names.begin());
    JobEntry expected{
        "Yes", dir / "top.pdf", "all", "0", "Ready.", "", "/data/my.pdf files/top_2003.pdf", "N", "N", "Y",
        "N"};
    EXPECT_EQ(jobs.entry(top), expected);

    ASSERT_EQ(folders.requests.size(), 1u);
    EXPECT_EQ(folders.requests[0].title, "Drive or Directory to load...");
    EXPECT_EQ(folders.requests[0].instruction, "Please choose your drive to load documents from...");
    EXPECT_EQ(folders.requests[0].startFolder, "/");
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Bulk Files Loaded"});
    EXPECT_EQ(messages.shown[0].caption, applicationName());
    EXPECT_EQ(progress.folders.front(), dir.path());
    EXPECT_EQ(progress.lastCount, int(wanted.size()));
    EXPECT_FALSE(progress.open);
    EXPECT_GT(fits, 0);
    EXPECT_GE(observer.totals, 2); // after the clear and after the walk
    EXPECT_EQ(loader.groupingSettings().suffix, "_2003");
}

TEST_F(BulkLoadTest, OneOutputFiltersOnTheFileNameAndMarksOnlyTheFirstRowNew)
{
    std::vector<std::string> wanted = {file("inv_062005.pdf"), file("a/b/c/x062005y.PDF"),
                                       file("a/062005.pdf")};
    file("062005/other.pdf"); // the folder's name is not looked at
    file("INV_062005.Pdf");   // passes the filter, refused by the list
    file("inv_062004.pdf");
    options.oneOutput = [](OneOutputSettings& s) {
        s.oneOutputFile = "/out/all.pdf";
        s.containsText = "062005";
    };
    folders.answer = dir.path();
    loader.BulkLoadToOneOutput();
    std::sort(wanted.begin(), wanted.end());
    ASSERT_EQ(sortedNames(), wanted);
    EXPECT_EQ(column(kCreateNew), (std::vector<std::string>{"Y", "N", "N"}));
    for (int i = 0; i < jobs.rowCount(); ++i) {
        EXPECT_EQ(jobs.text(i, kOutputFile), "/out/all.pdf");
        EXPECT_EQ(jobs.text(i, kAppendExisting), "Y");
    }

    // Case-sensitive, and without removeExisting no row is created new.
    options.oneOutput = [](OneOutputSettings& s) {
        s.containsText = "inv";
        s.removeExisting = false;
    };
    loader.BulkLoadToOneOutput();
    EXPECT_EQ(sortedNames(), (std::vector<std::string>{dir / "inv_062004.pdf", dir / "inv_062005.pdf"}));
    EXPECT_EQ(column(kCreateNew), (std::vector<std::string>{"N", "N"}));
    EXPECT_EQ(messages.texts().size(), 2u);
}

TEST_F(BulkLoadTest, CancelLeavesAnEmptyListAndShowsNothing)
{
    file("a.pdf");
    folders.answer = dir.path();
    options.grouping = [](GroupingSettings& s) { s.suffix = "_typed"; };
    options.ok = false;
    jobs.AddJobEntry("/old.pdf", 1, {"all", "", "/o.pdf", "N", "N", "Y", "N"});
    loader.BulkLoadGrouping();
    EXPECT_EQ(jobs.rowCount(), 0);
    EXPECT_TRUE(folders.requests.empty());

    options.ok = true;
    folders.answer.reset();
    jobs.AddJobEntry("/old.pdf", 1, {"all", "", "/o.pdf", "N", "N", "Y", "N"});
    int totalsBefore = observer.totals;
    loader.BulkLoadToOneOutput();
    EXPECT_EQ(jobs.rowCount(), 0);
    EXPECT_GT(observer.totals, totalsBefore);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(progress.folders.empty());
}

TEST_F(BulkLoadTest, StopEndsTheWalkKeepsItsRowsAndStillReports)
{
    for (int f = 0; f < 20; ++f)
        for (int i = 0; i < 5; ++i)
            file("f" + std::to_string(f) + "/" + std::to_string(i) + ".pdf");
    folders.answer = dir.path();
    progress.stopAfterFolders = 30;
    loader.BulkLoadGrouping();
    EXPECT_GT(jobs.rowCount(), 0);
    EXPECT_LT(jobs.rowCount(), 100);
    // Stop is seen at the next entry listed: at most one folder text more.
    EXPECT_LE(progress.folders.size(), 31u);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Bulk Files Loaded"});
    EXPECT_FALSE(progress.open);

    // An empty folder still ends with the message.
    TempDir empty;
    folders.answer = empty.path();
    progress.stopAfterFolders = -1;
    loader.BulkLoadGrouping();
    EXPECT_EQ(jobs.rowCount(), 0);
    EXPECT_EQ(messages.texts().size(), 2u);
}

TEST_F(BulkLoadTest, LinksAndUnlistableFoldersNeitherLoopNorStopTheWalk)
{
    std::string real = file("real/a.pdf");
    ASSERT_EQ(::symlink(dir.path().c_str(), (dir / "real/loop").c_str()), 0);
    ASSERT_EQ(::symlink(real.c_str(), (dir / "link.pdf").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "gone.pdf").c_str(), (dir / "dangling.pdf").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "real").c_str(), (dir / "folder-link.pdf").c_str()), 0);
    std::string locked = file("locked/l.pdf");
    ::chmod((dir / "locked").c_str(), 0);

    loader.WalkFolderGrouping(dir.path(), ".pdf", true);
    loader.WalkFolderGrouping(dir / "no such folder", ".pdf", true);
    ::chmod((dir / "locked").c_str(), 0755);

    std::vector<std::string> wanted = {real, dir / "link.pdf", dir / "dangling.pdf"};
    if (::geteuid() == 0) wanted.push_back(locked); // root lists any folder
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(sortedNames(), wanted);
    for (int i = 0; i < jobs.rowCount(); ++i)
        if (jobs.text(i, kFileName) == dir / "dangling.pdf") {
            EXPECT_EQ(jobs.text(i, kStatus), "No File.");
        }
}

TEST_F(BulkLoadTest, TenThousandFilesLoadQuickly)
{
    for (int f = 0; f < 100; ++f) {
        std::string folder = dir / ("d" + std::to_string(f));
        ::mkdir(folder.c_str(), 0755);
        for (int i = 0; i < 100; ++i)
            writeFileBytes(folder + "/" + std::to_string(i) + ".pdf", "");
    }
    folders.answer = dir.path();
    auto start = std::chrono::steady_clock::now();
    loader.BulkLoadGrouping();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(jobs.rowCount(), 10000);
    EXPECT_EQ(progress.lastCount, 10000);
    EXPECT_LT(seconds, 30.0);
    RecordProperty("walk_seconds", std::to_string(seconds));
}
