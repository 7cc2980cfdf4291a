#include "app/qt/DialogDriver.h"
#include "app/qt/SetupDialog.h"
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
        auto* every = control<QLineEdit>(d, "1022");
        auto* final = control<QLineEdit>(d, "1024");
        EXPECT_EQ(every->text(), "/held/every.pdf");
        EXPECT_EQ(final->text(), "/held/final.pdf");
        EXPECT_FALSE(control<QCheckBox>(d, "1026")->isChecked());
        screenshot(d, "setup");

        retype(final, "/typed/final.pdf");
        click(control<QPushButton>(d, "1028")); // takes the typed final path too
        EXPECT_EQ(every->text(), "/chosen/every.pdf");
        EXPECT_EQ(settings.oddFinalFile, "/typed/final.pdf");

        retype(every, "/typed/every.pdf");
        click(control<QPushButton>(d, "1029")); // cancelled: the typed text was taken all the same
        EXPECT_EQ(settings.oddEveryFile, "/typed/every.pdf");

        retype(final, "/after/browse.pdf");
        click(control<QCheckBox>(d, "1026"));
        EXPECT_TRUE(settings.noSplash);

        retype(every, "/lost.pdf");
        click(control<QPushButton>(d, "1003"));
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
        QTest::keyClicks(control<QLineEdit>(d, "1022"), "/f/every.pdf");
        QTest::keyClicks(control<QLineEdit>(d, "1024"), "/f/final.pdf");
        click(control<QCheckBox>(d, "1026"));
        click(control<QPushButton>(d, "1014"));
    }));
    EXPECT_EQ(readFileBytes(ini), "ODDEVERY;/f/every.pdf\r\nODDFINAL;/f/final.pdf\r\nNOSPLASH\r\n");

    EXPECT_TRUE(run([&](QDialog* d) {
        retype(control<QLineEdit>(d, "1022"), "");
        retype(control<QLineEdit>(d, "1024"), "");
        click(control<QCheckBox>(d, "1026"));
        QTest::keyClick(control<QLineEdit>(d, "1024"), Qt::Key_Return); // the default button
    }));
    EXPECT_EQ(readFileBytes(ini), "ODDEVERY;\r\nODDFINAL;\r\n");
    EXPECT_TRUE(messages.shown.empty());
}
