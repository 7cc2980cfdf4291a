#include "app/qt/DialogDriver.h"
#include "app/qt/SetupDialog.h"
#include "app/qt/SetupDialogIds.h"
#include "common/Files.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace fb;
using namespace fb::test;

namespace {

struct SetupDialogTest : ::testing::Test {
    TempDir dir;
    RecordingMessageBoxes messages;
    ScriptedFileDialogs files;
    Settings settings;
    std::string ini = dir / "setup.ini";

    bool run(std::function<void(QDialog*)> step)
    {
        ModalStep modal(std::move(step));
        bool saved = runSetupDialog(nullptr, settings, files, messages, ini);
        EXPECT_TRUE(modal.ran());
        return saved;
    }
};

} // namespace

TEST_F(SetupDialogTest, BrowseAndCheckBoxKeepTheirValuesThroughCancel)
{
    settings.oddEveryFile = "/held/every.pdf";
    settings.oddFinalFile = "/held/final.pdf";
    files.answers = {"/chosen/every.pdf", std::nullopt};
    bool saved = run([&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Setup");
        auto* every = control<QLineEdit>(d, setupids::kOddEveryFile);
        auto* final = control<QLineEdit>(d, setupids::kOddFinalFile);
        EXPECT_EQ(every->text(), "/held/every.pdf");
        EXPECT_EQ(final->text(), "/held/final.pdf");
        EXPECT_FALSE(control<QCheckBox>(d, setupids::kNoSplash)->isChecked());
        screenshot(d, "setup");

        retype(final, "/typed/final.pdf");
        click(control<QPushButton>(d, setupids::kOddEveryBrowse)); // takes the typed final path too
        EXPECT_EQ(every->text(), "/chosen/every.pdf");
        EXPECT_EQ(settings.oddFinalFile, "/typed/final.pdf");

        retype(every, "/typed/every.pdf");
        click(control<QPushButton>(
            d, setupids::kOddFinalBrowse)); // cancelled: the typed text was taken all the same
        EXPECT_EQ(settings.oddEveryFile, "/typed/every.pdf");

        retype(final, "/after/browse.pdf");
        click(control<QCheckBox>(d, setupids::kNoSplash));
        EXPECT_TRUE(settings.noSplash);

        retype(every, "/lost.pdf");
        click(control<QPushButton>(d, setupids::kCancel));
    });
    EXPECT_FALSE(saved);
    ASSERT_EQ(files.asked.size(), 2u);
    EXPECT_EQ(files.asked[0].title, "PDF file");
    EXPECT_EQ(files.asked[0].filters, (std::vector<std::string>{"*.pdf", "All Files *.*"}));
    EXPECT_EQ(files.asked[0].defaultExtension, "PDF");
    EXPECT_TRUE(files.asked[0].mustExist);
    EXPECT_EQ(settings.oddEveryFile, "/typed/every.pdf");
    EXPECT_EQ(settings.oddFinalFile, "/after/browse.pdf");
    EXPECT_TRUE(settings.noSplash);
    EXPECT_FALSE(pathExists(ini));
}

TEST_F(SetupDialogTest, SaveAndExitWritesTheFileByteForByte)
{
    EXPECT_TRUE(run([&](QDialog* d) {
        QTest::keyClicks(control<QLineEdit>(d, setupids::kOddEveryFile), "/f/every.pdf");
        QTest::keyClicks(control<QLineEdit>(d, setupids::kOddFinalFile), "/f/final.pdf");
        click(control<QCheckBox>(d, setupids::kNoSplash));
        click(control<QPushButton>(d, setupids::kSaveAndExit));
    }));
    EXPECT_EQ(readFileBytes(ini), "ODDEVERY;/f/every.pdf\r\nODDFINAL;/f/final.pdf\r\nNOSPLASH\r\n");

    EXPECT_TRUE(run([&](QDialog* d) {
        retype(control<QLineEdit>(d, setupids::kOddEveryFile), "");
        retype(control<QLineEdit>(d, setupids::kOddFinalFile), "");
        click(control<QCheckBox>(d, setupids::kNoSplash));
        QTest::keyClick(control<QLineEdit>(d, setupids::kOddFinalFile), Qt::Key_Return); // the default button
    }));
    EXPECT_EQ(readFileBytes(ini), "ODDEVERY;\r\nODDFINAL;\r\n");
    EXPECT_TRUE(messages.shown.empty());
}
