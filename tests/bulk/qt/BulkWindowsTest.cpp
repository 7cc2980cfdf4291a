#include "bulk/qt/BulkControlIds.h"
#include "bulk/qt/BulkLoadDialogs.h"
#include "bulk/qt/ScanningWindow.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>

#include <sys/stat.h>

#include "testkit/ScriptedFolders.h"

using namespace fb;
using namespace fb::test;

namespace {

struct ScriptedFiles : FileDialogs {
    std::optional<std::string> openFile(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> saveFile(const FileDialogRequest& r) override
    {
        requests.push_back(r);
        if (answers.empty()) return {};
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<FileDialogRequest> requests;
    std::deque<std::optional<std::string>> answers;
};

template <class W> W* child(QWidget& parent, const char* id)
{
    auto* w = parent.findChild<W*>(id);
    EXPECT_NE(w, nullptr) << id;
    return w;
}

QString textOf(QWidget& parent, const char* id)
{
    QWidget* w = parent.findChild<QWidget*>(id);
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    return "<missing " + QString(id) + ">";
}

void typeInto(QWidget& dialog, const char* id, const QString& text)
{
    auto* e = child<QLineEdit>(dialog, id);
    e->clear();
    QTest::keyClicks(e, text);
}

} // namespace

TEST(BulkOptionDialogs, GroupingKeepsWhatOkAndBrowseStoredAndNothingOnCancel)
{
    GroupingSettings settings;
    ScriptedFolders folders;
    {
        GroupingOptionsDialog dialog(settings, folders);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "Bulk Load Options");
        EXPECT_EQ(textOf(dialog, bulkids::kGroupingExplanation),
                  "Bulk Load is for grouping pdf files together with the same name.\ne.g. suffix "
                  "_2003 will append all source files with the same filename c:\\1\\test.pdf, "
                  "c:\\2\\test.pdf to test_2003.pdf");
        EXPECT_EQ(textOf(dialog, bulkids::kOutputDirectoryLabel), "Output Directory:");
        EXPECT_EQ(textOf(dialog, bulkids::kSuffixLabel), "Suffix:");
        EXPECT_EQ(textOf(dialog, bulkids::kOutputDirectoryBrowse), "Browse");
        EXPECT_EQ(textOf(dialog, bulkids::kOk), "OK");
        EXPECT_EQ(textOf(dialog, bulkids::kCancel), "Cancel");

        typeInto(dialog, bulkids::kOutputDirectory, "/typed");
        typeInto(dialog, bulkids::kSuffix, "_x");
        folders.answer = "/chosen dir";
        QTest::mouseClick(child<QPushButton>(dialog, bulkids::kOutputDirectoryBrowse), Qt::LeftButton);
        ASSERT_EQ(folders.requests.size(), 1u);
        EXPECT_EQ(folders.requests[0].title, "Output Directory...");
        EXPECT_EQ(folders.requests[0].instruction, "Please choose your directory to output to...");
        EXPECT_EQ(folders.requests[0].startFolder, "/typed");
        EXPECT_EQ(textOf(dialog, bulkids::kOutputDirectory), "/chosen dir");

        typeInto(dialog, bulkids::kSuffix, "_after browse");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(settings.outputDirectory, "/chosen dir");
    EXPECT_EQ(settings.suffix, "_x");

    {
        GroupingOptionsDialog dialog(settings, folders);
        dialog.show();
        EXPECT_EQ(textOf(dialog, bulkids::kSuffix), "_x");
        typeInto(dialog, bulkids::kSuffix, "_closed");
        dialog.close(); // the close box
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(settings.suffix, "_x");
    }
    {
        GroupingOptionsDialog dialog(settings, folders);
        dialog.show();
        typeInto(dialog, bulkids::kSuffix, "_2003");
        QTest::keyClick(child<QLineEdit>(dialog, bulkids::kSuffix), Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(settings.suffix, "_2003");
    }
}

TEST(BulkOptionDialogs, OneOutputStoresOnCheckBoxAndBrowseOnly)
{
    OneOutputSettings settings;
    ScriptedFiles files;
    {
        OneOutputOptionsDialog dialog(settings, files);
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "Bulk Load To One Output File");
        EXPECT_EQ(textOf(dialog, bulkids::kOneOutputExplanation),
                  "Bulk load will append all files containing text in the filename to one output "
                  "file specified below.");
        EXPECT_EQ(textOf(dialog, bulkids::kOutputFileLabel), "Output Filename:");
        EXPECT_EQ(textOf(dialog, bulkids::kContainsLabel), "Contains text:");
        EXPECT_EQ(textOf(dialog, bulkids::kContainsExample), "e.g. 062005");
        auto* box = child<QCheckBox>(dialog, bulkids::kRemoveExisting);
        EXPECT_EQ(box->text(), "If output file already exists then remove it");
        EXPECT_TRUE(box->isChecked());

        typeInto(dialog, bulkids::kContains, "062005");
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_FALSE(settings.removeExisting);
        EXPECT_EQ(settings.containsText, "062005");

        files.answers = {std::nullopt, std::string("/out/all.pdf")};
        auto* browse = child<QPushButton>(dialog, bulkids::kOutputFileBrowse);
        QTest::mouseClick(browse, Qt::LeftButton); // cancelled: nothing changes
        EXPECT_EQ(textOf(dialog, bulkids::kOutputFile), "");
        QTest::mouseClick(browse, Qt::LeftButton);
        EXPECT_EQ(textOf(dialog, bulkids::kOutputFile), "/out/all.pdf");
        ASSERT_EQ(files.requests.size(), 2u);
        EXPECT_EQ(files.requests[0].title, "Append To File");
        EXPECT_EQ(files.requests[0].filters, (std::vector<std::string>{"*.pdf", "All Files *.*"}));
        EXPECT_EQ(files.requests[0].defaultExtension, "PDF");

        typeInto(dialog, bulkids::kContains, "not kept");
        QTest::mouseClick(child<QPushButton>(dialog, bulkids::kCancel), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(settings.oneOutputFile, "/out/all.pdf");
    EXPECT_EQ(settings.containsText, "062005");
    EXPECT_FALSE(settings.removeExisting);

    OneOutputOptionsDialog again(settings, files);
    again.show();
    EXPECT_FALSE(child<QCheckBox>(again, bulkids::kRemoveExisting)->isChecked());
    QTest::mouseClick(child<QPushButton>(again, bulkids::kOk), Qt::LeftButton);
    EXPECT_EQ(again.result(), QDialog::Accepted);
}

namespace {

// Dispatches what is pending; on the chosen dispatch the user clicks Stop.
struct ClickingPump : EventPump {
    void dispatchOnePending() override
    {
        QCoreApplication::processEvents();
        if (++dispatches != clickAt || !progress) return;
        ScanningWindow* window = progress->window();
        folderShown = window->findChild<QLineEdit*>(bulkids::kScanningFolder)->text();
        countShown = window->findChild<QLabel*>(bulkids::kScanningCount)->text();
        wasVisible = window->isVisible();
        QTest::mouseClick(window->findChild<QPushButton*>(bulkids::kScanningStop), Qt::LeftButton);
        hiddenAtOnce = !window->isVisible();
    }
    int dispatches = 0;
    int clickAt = 0;
    ScanningProgress* progress = nullptr;
    QString folderShown, countShown;
    bool wasVisible = false, hiddenAtOnce = false;
};

struct PassingOptions : BulkLoadOptionsPrompt {
    bool askGrouping(GroupingSettings&) override { return true; }
    bool askOneOutput(OneOutputSettings&) override { return true; }
};

} // namespace

TEST(ScanningWindow, StopHidesItAtOnceAndTheWalkKeepsItsRows)
{
    TempDir dir;
    for (int f = 0; f < 20; ++f) {
        std::string folder = dir / ("f" + std::to_string(f));
        ::mkdir(folder.c_str(), 0755);
        for (int i = 0; i < 10; ++i)
            writeFileBytes(folder + "/" + std::to_string(i) + ".pdf", "");
    }
    RecordingMessageBoxes messages;
    CancelParametersPrompt prompt;
    JobList jobs{messages, prompt, {}};
    ScriptedFolders folders;
    folders.answer = dir.path();
    PassingOptions options;
    ClickingPump pump;
    pump.clickAt = 60;
    QPointer<ScanningWindow> window;
    BulkLoader loader{{jobs,
                       messages,
                       folders,
                       options,
                       pump,
                       [&] {
                           auto p = std::make_unique<ScanningProgress>(nullptr);
                           pump.progress = p.get();
                           window = p->window();
                           EXPECT_EQ(window->windowTitle(), "Scanning");
                           EXPECT_EQ(textOf(*window, bulkids::kScanningText), "Scanning disk, please wait.");
                           EXPECT_EQ(textOf(*window, bulkids::kScanningStop), "&Stop");
                           EXPECT_FALSE(window->isModal());
                           return p;
                       },
                       {},
                       // A turn after every entry, so Stop lands mid-walk
                       // however fast the machine.
                       std::chrono::milliseconds(0)}};
    loader.BulkLoadGrouping();

    EXPECT_TRUE(pump.wasVisible);
    EXPECT_TRUE(pump.hiddenAtOnce);
    EXPECT_TRUE(pump.folderShown.startsWith(QString::fromStdString(dir.path())));
    EXPECT_EQ(pump.countShown.toStdString(), "Files added: " + std::to_string(loader.filesAdded()));
    EXPECT_GT(jobs.rowCount(), 0);
    EXPECT_LT(jobs.rowCount(), 200);
    EXPECT_LE(pump.dispatches, pump.clickAt + 4); // the walk ended at its next checks
    EXPECT_EQ(messages.texts(), std::vector<std::string>{"Bulk Files Loaded"});
    EXPECT_TRUE(window.isNull()); // destroyed when the walk ended
}

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
