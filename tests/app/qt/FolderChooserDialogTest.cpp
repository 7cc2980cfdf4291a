#include "app/qt/DialogDriver.h"
#include "app/qt/FolderChooserDialog.h"
#include "app/qt/FolderChooserIds.h"
#include "common/Files.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

using namespace fb;
using namespace fb::test;

TEST(FolderChooserDialog, TypedPathIsTestedAndCreatedOnYes)
{
    TempDir dir;
    ASSERT_TRUE(createFolderOneLevel(dir / "picked"));
    RecordingMessageBoxes messages;
    QtFolderChooser chooser(nullptr, messages);
    std::string deep = dir / "new/deep";
    ModalStep step([&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Move To Directory...");
        auto* edit = control<QLineEdit>(d, folderids::kPath);
        auto* ok = control<QPushButton>(d, folderids::kOk);
        auto* tree = control<QTreeView>(d, folderids::kTree);
        // The start folder is selected and shown.
        EXPECT_EQ(edit->text().toStdString(), dir.path());
        EXPECT_TRUE(ok->isEnabled());
        screenshot(d, "folder-chooser");

        auto* model = qobject_cast<QFileSystemModel*>(tree->model());
        ASSERT_NE(model, nullptr);
        tree->setCurrentIndex(model->index(QString::fromStdString(dir / "picked")));
        EXPECT_EQ(edit->text().toStdString(), dir / "picked");

        retype(edit, "");
        EXPECT_FALSE(ok->isEnabled());
        QTest::keyClicks(edit, "x"); // enabled before the path is valid
        EXPECT_TRUE(ok->isEnabled());

        retype(edit, QString::fromStdString(deep + "/"));
        click(ok);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "The folder:\n\n" + deep + "/\n\nis invalid. Please reenter.");
        EXPECT_EQ(messages.shown[0].caption, applicationName());
        EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->focusWidget(), edit);

        retype(edit, QString::fromStdString(deep));
        click(ok); // No
        ASSERT_EQ(messages.shown.size(), 2u);
        EXPECT_EQ(messages.shown[1].text,
                  "The folder:\n\n" + deep + "\n\ndoes not exist. Do you want the folder to be created?");
        EXPECT_EQ(messages.shown[1].buttons, MessageButtons::YesNo);
        EXPECT_EQ(messages.shown[1].icon, MessageIcon::Question);
        EXPECT_TRUE(d->isVisible());
        EXPECT_FALSE(pathExists(dir / "new"));

        messages.answers = {MessageAnswer::Yes};
        QTest::keyClick(edit, Qt::Key_Return);
    });
    auto chosen =
        chooser.chooseFolder({"Move To Directory...", "Please choose your directory...", dir.path()});
    EXPECT_TRUE(step.ran());
    EXPECT_EQ(chosen, deep);
    EXPECT_TRUE(isDirectory(deep));
}

TEST(FolderChooserDialog, StartFolderNotYetMadeStaysTypedAndCancelAnswersNothing)
{
    TempDir dir;
    RecordingMessageBoxes messages;
    QtFolderChooser chooser(nullptr, messages);
    std::string planned = dir / "later/on";
    ModalStep step([&](QDialog* d) {
        EXPECT_EQ(control<QLineEdit>(d, folderids::kPath)->text().toStdString(), planned);
        click(control<QPushButton>(d, folderids::kCancel));
    });
    EXPECT_EQ(chooser.chooseFolder({"Output Directory...", "Please choose...", planned}), std::nullopt);
    EXPECT_TRUE(step.ran());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(pathExists(dir / "later"));
}
