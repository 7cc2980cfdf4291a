#include "app/qt/AppendParametersDialog.h"
#include "app/qt/AppendParametersIds.h"
#include "testkit/SampleFiles.h"
#include "testkit/SamplePdf.h"
#include "jobs/JobList.h"
#include "cli/CommandLine.h"
#include "app/qt/DialogDriver.h"
#include "app/qt/PromptStack.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <unistd.h>

using namespace fb;
using namespace fb::test;

namespace {

struct AppendParametersDialogTest : ::testing::Test, PromptStack {
    TempDir dir;

    std::string pdf(const std::string& name, int pages) { return madePdf(dir / name, name, pages); }
    // Adds a file without parameters, so the dialog is asked; true when it showed itself.
    bool addWithDialog(const std::string& path, std::function<void(QDialog*)> step)
    {
        ModalStep modal(std::move(step));
        jobs.AddJobEntry(path, 1, {});
        QCoreApplication::processEvents();
        return modal.ran();
    }
    std::vector<std::string> parameters(int row) const
    {
        std::vector<std::string> out;
        for (int column : {kAppendParameters, kMoveToDirectory, kOutputFile, kKeepBookmarks, kCreateNew,
                           kAppendExisting, kBookmarkFilename})
            out.push_back(jobs.text(row, column));
        return out;
    }
    static QString text(QDialog* d, const char* id) { return control<QLineEdit>(d, id)->text(); }
    static bool checked(QDialog* d, const char* id) { return control<QAbstractButton>(d, id)->isChecked(); }
};

} // namespace

TEST_F(AppendParametersDialogTest, OpensWithDefaultsAndChecksTheOutputBeforeThePageSpec)
{
    std::string source = pdf("five.pdf", 5);
    std::string output = dir / "out.pdf";
    bool shown = addWithDialog(source, [&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Append Parameters");
        EXPECT_EQ(text(d, appendids::kFileName).toStdString(), source);
        EXPECT_TRUE(control<QLineEdit>(d, appendids::kFileName)->isReadOnly());
        EXPECT_EQ(text(d, appendids::kPageCount), "5");
        // Nothing held yet: append, keep bookmarks (empty counts as on), no file-name bookmark.
        EXPECT_TRUE(checked(d, appendids::kAppendExisting));
        EXPECT_FALSE(checked(d, appendids::kCreateNew));
        EXPECT_TRUE(checked(d, appendids::kKeepBookmarks));
        EXPECT_FALSE(checked(d, appendids::kBookmarkFilename));
        EXPECT_FALSE(checked(d, appendids::kUseSameParameters));
        EXPECT_TRUE(control<QPushButton>(d, appendids::kSaveAndExit)->isDefault());
        screenshot(d, "append-parameters");

        QTest::keyClicks(control<QLineEdit>(d, appendids::kAppendParameters), "7");
        click(control<QPushButton>(d, appendids::kSaveAndExit));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text,
                  "you must specify an output pdf file or existing pdf file to append to");
        EXPECT_EQ(messages.shown[0].caption, "Error Destination");
        EXPECT_TRUE(d->isVisible());

        QTest::keyClicks(control<QLineEdit>(d, appendids::kOutputFile), QString::fromStdString(output));
        QTest::keyClick(control<QLineEdit>(d, appendids::kOutputFile), Qt::Key_Return); // the default button
        ASSERT_EQ(messages.shown.size(), 2u);
        EXPECT_EQ(messages.shown[1].text, "parameter: 7 higher than pages: 5");
        EXPECT_EQ(messages.shown[1].caption, "Error in parameters");
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(text(d, appendids::kAppendParameters), "7"); // everything stays as typed

        retype(control<QLineEdit>(d, appendids::kAppendParameters), "2-4");
        click(control<QPushButton>(d, appendids::kSaveAndExit));
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(parameters(0), (std::vector<std::string>{"2-4", "", output, "Y", "N", "Y", "N"}));
    EXPECT_TRUE(jobs.alwaysShowParameters());
}

TEST_F(AppendParametersDialogTest, BookmarkBoxesClearEachOtherAndRadioButtonsSetTheChoice)
{
    jobs.AddJobEntry(pdf("a.pdf", 2), 1, {"all", "/moved", "/out.pdf", "Y", "Y", "N", "Y"});
    jobs.setRowSelected(0, true);
    int helpCalls = 0;
    prompt.setHelpHandler([&] { ++helpCalls; });
    ModalStep modal([&](QDialog* d) {
        EXPECT_EQ(text(d, appendids::kAppendParameters), "all");
        EXPECT_EQ(text(d, appendids::kMoveToDirectory), "/moved");
        EXPECT_TRUE(checked(d, appendids::kCreateNew));
        // Both on as the row holds them; any click leaves at most one.
        EXPECT_TRUE(checked(d, appendids::kKeepBookmarks));
        EXPECT_TRUE(checked(d, appendids::kBookmarkFilename));
        auto* keep = control<QCheckBox>(d, appendids::kKeepBookmarks);
        auto* name = control<QCheckBox>(d, appendids::kBookmarkFilename);
        click(name);
        EXPECT_FALSE(keep->isChecked());
        EXPECT_FALSE(name->isChecked());
        click(keep);
        EXPECT_TRUE(keep->isChecked());
        EXPECT_FALSE(name->isChecked());
        click(name);
        EXPECT_FALSE(keep->isChecked());
        EXPECT_TRUE(name->isChecked());

        click(control<QRadioButton>(d, appendids::kCreateNew)); // already checked: stays the create choice
        EXPECT_TRUE(checked(d, appendids::kCreateNew));
        click(control<QPushButton>(d, appendids::kHelp));
        EXPECT_EQ(helpCalls, 1);
        click(control<QPushButton>(d, appendids::kSaveAndExit));
    });
    jobs.UpdateJobEntry(false);
    EXPECT_TRUE(modal.ran());
    EXPECT_EQ(parameters(0), (std::vector<std::string>{"all", "/moved", "/out.pdf", "N", "Y", "N", "Y"}));
}

TEST_F(AppendParametersDialogTest, BrowseButtonsAndValuesHeldBetweenOpenings)
{
    std::string output = dir / "out.pdf";
    folders.answers = {"/chosen"};
    files.answers = {output, std::nullopt};
    bool first = addWithDialog(pdf("a.pdf", 3), [&](QDialog* d) {
        QTest::keyClicks(control<QLineEdit>(d, appendids::kAppendParameters), "1");
        QTest::keyClicks(control<QLineEdit>(d, appendids::kMoveToDirectory), "/typed");
        click(control<QPushButton>(d, appendids::kMoveToBrowse));
        EXPECT_EQ(text(d, appendids::kMoveToDirectory), "/chosen");
        click(control<QPushButton>(d, appendids::kOutputBrowse));
        EXPECT_EQ(text(d, appendids::kOutputFile).toStdString(), output);
        // The radio button takes the controls; what is typed afterwards is lost on Cancel.
        click(control<QRadioButton>(d, appendids::kCreateNew));
        retype(control<QLineEdit>(d, appendids::kAppendParameters), "3");
        click(control<QPushButton>(d, appendids::kCancel));
    });
    EXPECT_TRUE(first);
    ASSERT_EQ(folders.asked.size(), 1u);
    EXPECT_EQ(folders.asked[0].title, "Move To Directory...");
    EXPECT_EQ(folders.asked[0].instruction, "Please choose your directory to move to after append...");
    EXPECT_EQ(folders.asked[0].startFolder, "/typed");
    ASSERT_EQ(files.asked.size(), 1u);
    EXPECT_EQ(files.asked[0].title, "Append To PDF File or New PDF File");
    EXPECT_EQ(files.asked[0].filters, (std::vector<std::string>{"*.pdf", "All Files *.*"}));
    EXPECT_EQ(files.asked[0].defaultExtension, "PDF");
    EXPECT_EQ(parameters(0)[0], ""); // cancelled: the row stays as added

    bool second = addWithDialog(pdf("b.pdf", 3), [&](QDialog* d) {
        EXPECT_EQ(text(d, appendids::kFileName).toStdString(), dir / "b.pdf");
        EXPECT_EQ(text(d, appendids::kAppendParameters), "1");
        EXPECT_EQ(text(d, appendids::kMoveToDirectory), "/chosen");
        EXPECT_TRUE(checked(d, appendids::kCreateNew));
        click(control<QPushButton>(d, appendids::kOutputBrowse)); // cancelled: nothing changes
        EXPECT_EQ(text(d, appendids::kOutputFile).toStdString(), output);
        click(control<QPushButton>(d, appendids::kSaveAndExit));
    });
    EXPECT_TRUE(second);
    EXPECT_EQ(parameters(1), (std::vector<std::string>{"1", "/chosen", output, "Y", "Y", "N", "N"}));
}

TEST_F(AppendParametersDialogTest, UseSameParametersConfirmsAtOnceUntilTheValuesDoNotFit)
{
    std::string output = dir / "out.pdf";
    addWithDialog(pdf("a.pdf", 12), [&](QDialog* d) {
        QTest::keyClicks(control<QLineEdit>(d, appendids::kAppendParameters), "10-12");
        QTest::keyClicks(control<QLineEdit>(d, appendids::kOutputFile), QString::fromStdString(output));
        click(control<QCheckBox>(d, appendids::kUseSameParameters));
        click(control<QPushButton>(d, appendids::kSaveAndExit));
    });
    EXPECT_FALSE(jobs.alwaysShowParameters());

    EXPECT_FALSE(addWithDialog(pdf("b.pdf", 12), [](QDialog*) {}));
    EXPECT_EQ(parameters(1)[0], "10-12");
    EXPECT_EQ(parameters(1)[2], output);
    EXPECT_TRUE(messages.shown.empty());

    bool shown = addWithDialog(pdf("c.pdf", 5), [&](QDialog* d) {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "parameter: 12 higher than pages: 5");
        EXPECT_EQ(messages.shown[0].caption, "Error in parameters");
        EXPECT_EQ(text(d, appendids::kAppendParameters), "10-12");
        EXPECT_TRUE(checked(d, appendids::kUseSameParameters));
        retype(control<QLineEdit>(d, appendids::kAppendParameters), "all");
        click(control<QPushButton>(d, appendids::kSaveAndExit));
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(parameters(2)[0], "all");
    EXPECT_FALSE(jobs.alwaysShowParameters());
}

TEST_F(AppendParametersDialogTest, AMissingFileIsCalledMissingNotOneGreaterThanMinusOne)
{
    std::string gone = pdf("gone.pdf", 3);
    jobs.AddJobEntry(gone, 1, {"all", "", dir / "out.pdf", "N", "N", "Y", "N"});
    ASSERT_EQ(::unlink(gone.c_str()), 0);
    jobs.RefreshPageCounts();
    ASSERT_EQ(jobs.text(0, kPages), "-1");
    jobs.setRowSelected(0, true);
    ModalStep save([](QDialog* d) {
        control<QPushButton>(d, appendids::kSaveAndExit)->click();
        d->reject();
    });
    jobs.UpdateJobEntry(true);
    ASSERT_TRUE(save.ran());
    ASSERT_EQ(messages.shown.size(), 2u); // as the dialog opens, and on Save
    for (const ShownMessage& m : messages.shown) {
        EXPECT_EQ(m.text, "The file is missing:\n" + gone);
        EXPECT_EQ(m.reason, "No such file or directory");
    }
}

TEST_F(AppendParametersDialogTest, ShowCommandLineHandsOverEveryColumnButTheFileNameBookmark)
{
    // The file-name bookmark ticked and confirmed once...
    addWithDialog(pdf("a.pdf", 3), [&](QDialog* d) {
        QTest::keyClicks(control<QLineEdit>(d, appendids::kAppendParameters), "all");
        QTest::keyClicks(control<QLineEdit>(d, appendids::kOutputFile),
                         QString::fromStdString(dir / "first.pdf"));
        click(control<QCheckBox>(d, appendids::kBookmarkFilename));
        click(control<QPushButton>(d, appendids::kSaveAndExit));
    });
    ASSERT_EQ(parameters(0)[6], "Y");

    // ...then the command line shown for a row without one.
    jobs.AddJobEntry(pdf("b.pdf", 3), 1, {"2-3", "/moved", "/out/b.pdf", "Y", "Y", "N", "N"});
    jobs.clearSelection();
    jobs.setRowSelected(1, true);
    struct : Clipboard {
        bool setText(const std::string&) override { return false; }
    } clipboard;
    ShowCommandLine(jobs, messages, clipboard, prompt);

    bool shown = addWithDialog(pdf("c.pdf", 3), [&](QDialog* d) {
        EXPECT_EQ(text(d, appendids::kAppendParameters), "2-3");
        EXPECT_EQ(text(d, appendids::kMoveToDirectory), "/moved");
        EXPECT_EQ(text(d, appendids::kOutputFile), "/out/b.pdf");
        EXPECT_TRUE(checked(d, appendids::kCreateNew));
        EXPECT_TRUE(checked(d, appendids::kKeepBookmarks));
        EXPECT_TRUE(checked(d, appendids::kBookmarkFilename))
            << "the row's \"Bookmark Filename\" was handed over";
        click(control<QPushButton>(d, appendids::kCancel));
    });
    EXPECT_TRUE(shown);
}
