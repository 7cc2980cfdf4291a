#include "app/MainWindowModel.h"
#include "testkit/FakeAutomation.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

using namespace fb;
using namespace fb::test;

namespace {

// Closes the window from inside a run, as a click on "&Close" would arrive.
struct ClosingHost : AppendRunHost {
    MainWindowModel* model = nullptr;
    bool armed = false;
    bool inside = false;
    void dispatchOnePending() override
    {
        if (!armed || inside || !model) return;
        if (model->jobs().rowCount() > 0 && model->jobs().text(0, kStatus) == "Processing") {
            inside = true;
            armed = false;
            model->close();
            inside = false;
        }
    }
};

struct MainWindowModelTest : ::testing::Test {
    TempDir dir;
    RecordingMessageBoxes messages;
    CancelParametersPrompt prompt;
    CancelFileDialogs dialogs;
    struct : Clipboard {
        bool setText(const std::string&) override { return true; }
    } clipboard;
    ScriptedAutomationServer automation;
    ConnectionWindow connection;
    ClosingHost host;
    ReaderCloser readers;
    std::vector<int> exits;

    std::unique_ptr<MainWindowModel> make(const std::string& logPath)
    {
        MainWindowServices services{
            messages,   prompt, dialogs, clipboard, automation,
            connection, host,   readers, nullptr,   [this](int code) { exits.push_back(code); }};
        auto m = std::make_unique<MainWindowModel>(services, logPath, dir / "setup.ini");
        host.model = m.get();
        return m;
    }
    std::string source(const std::string& name, int pages)
    {
        std::string path = dir / name;
        EXPECT_TRUE(writeFakePdf(path, pages));
        automation.setPages(path, pages);
        return path;
    }
};

} // namespace

TEST_F(MainWindowModelTest, CommandLineJobRunsAndExitsCleanly)
{
    auto model = make(dir / "append.log");
    std::string a = source("a.pdf", 3);
    ASSERT_TRUE(model->initialise({"mervo", "-c", "-o" + dir / "out.pdf", a, "-r", "-q"}, dir.path()));
    EXPECT_TRUE(model->isClosed());
    EXPECT_EQ(model->totalItems(), 1);
    EXPECT_EQ(model->jobs().text(0, kStatus), "Done");
    EXPECT_EQ(model->exitCode(), 0);
    EXPECT_TRUE(exits.empty());
    EXPECT_TRUE(messages.shown.empty()); // no "Done." when started with arguments
}

TEST_F(MainWindowModelTest, ClosingWhileARowIsProcessingEndsWithExitCodeOne)
{
    auto model = make(dir / "append.log");
    std::string a = source("a.pdf", 2);
    ASSERT_TRUE(model->initialise({"mervo"}, dir.path()));
    model->jobs().AddJobEntry(a, 1, {"all", "", dir / "out.pdf", "N", "Y", "N", "N"});
    host.armed = true;
    model->appendFilesClicked();
    EXPECT_EQ(exits, (std::vector<int>{1}));
    EXPECT_TRUE(model->isClosed());
    EXPECT_EQ(model->exitCode(), 1);
    // The close also asked the run to stop at its next check.
    EXPECT_EQ(model->jobs().text(0, kStatus), "Stopped");
}

TEST_F(MainWindowModelTest, UnattendedJobWithAMissingSourceIsIncomplete)
{
    auto model = make(dir / "append.log");
    ASSERT_TRUE(
        model->initialise({"mervo", "-o" + dir / "out.pdf", dir / "gone.pdf", "-r", "-q"}, dir.path()));
    EXPECT_EQ(model->exitCode(), 3);
}

TEST_F(MainWindowModelTest, LogThatCannotOpenStopsStartUp)
{
    auto model = make(dir / "no/folder/append.log");
    std::string a = source("a.pdf", 1);
    EXPECT_FALSE(model->initialise({"mervo", a, "-r", "-q"}, dir.path()));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Can't open append.log");
    EXPECT_EQ(messages.shown[0].caption, "Log File Error");
    EXPECT_EQ(model->jobs().rowCount(), 0); // the command line was not interpreted
    model->close();
    EXPECT_EQ(model->exitCode(), 3);
}
