// The main window driven as a person drives it: real widgets, clicks, keys
// and drops, over the real job list and the real page engine.
#include "app/qt/MainWindow.h"
#include "app/qt/MainWindowIds.h"
#include "app/qt/QtServices.h"
#include "common/Files.h"
#include "testkit/SampleFiles.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"
#include "app/qt/WindowDriver.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace fb;
using namespace fb::test;

namespace {

// Answers every parameters request with fixed values and remembers the requests.
struct ScriptedPrompt : ParametersPrompt {
    std::vector<ParametersRequest> requests;
    RowValues values{"all", "", "", "N", "N", "Y", "N"};
    bool useSameOnFirst = false;
    ParametersAnswer prompt(const ParametersRequest& r) override
    {
        requests.push_back(r);
        return {true, values, useSameOnFirst && requests.size() == 1};
    }
};

struct MainWindowTest : ::testing::Test {
    TempDir dir;
    RecordingMessageBoxes messages;
    ScriptedPrompt prompt;
    std::vector<int> exits;
    std::unique_ptr<MainWindow> window;

    void open()
    {
        MainWindowOptions o = testWindowOptions(dir, messages);
        o.prompt = &prompt;
        o.exitNow = [this](int code) { exits.push_back(code); };
        window = showTestWindow(o, dir);
    }
    QTableView* list() { return window->listView(); }
    QPushButton* button(const char* id) { return window->findChild<QPushButton*>(id); }
    QString totalItems() { return window->findChild<QLineEdit*>(mainids::kTotalItems)->text(); }
    JobList& jobs() { return window->model().jobs(); }
    QPoint rowCenter(int row) { return list()->visualRect(list()->model()->index(row, 1)).center(); }
    void clickRow(int row, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, mods, rowCenter(row));
    }
    void drop(const QStringList& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        data.setUrls(urls);
        QPoint at = list()->mapTo(window.get(), list()->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &dropped);
        QTest::qWait(20);
    }
    std::vector<std::string> names()
    {
        std::vector<std::string> out;
        for (int r = 0; r < jobs().rowCount(); ++r)
            out.push_back(fileTitle(jobs().text(r, kFileName)));
        return out;
    }
    std::vector<int> viewSelection()
    {
        std::vector<int> rows;
        for (const QModelIndex& i : list()->selectionModel()->selectedRows())
            rows.push_back(i.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    void addRows(std::initializer_list<const char*> files)
    {
        for (const char* f : files) {
            makePdf(dir / f, 2);
            jobs().AddJobEntry(dir / f, 1, {"all", "", dir / "out.pdf", "N", "N", "Y", "N"});
        }
        window->model().refreshTotalItems();
    }
};

} // namespace

TEST_F(MainWindowTest, DropAddsExistingPdfsOnlyAndAsksOnceWhenToldToUseTheSameParameters)
{
    open();
    for (const char* f : {"a.pdf", "b.pdf", "c.pdf"})
        makePdf(dir / f, 3);
    writeFileBytes(dir / "notes.txt", "x");
    prompt.useSameOnFirst = true;
    QAction* always = window->action(kCmdAlwaysShowParameters);
    ASSERT_TRUE(always && always->isChecked());

    drop({QString::fromStdString(dir / "a.pdf"), QString::fromStdString(dir.path()),
          QString::fromStdString(dir / "gone.pdf"), QString::fromStdString(dir / "notes.txt"),
          QString::fromStdString(dir / "b.pdf"), QString::fromStdString(dir / "c.pdf")});

    EXPECT_EQ(names(), (std::vector<std::string>{"a.pdf", "b.pdf", "c.pdf"}));
    EXPECT_EQ(totalItems(), "3");
    EXPECT_EQ(list()->model()->rowCount(), 3);
    EXPECT_EQ(list()->model()->index(1, 3).data().toString(), "3");
    // The first answer ticked "use same parameters": the menu's check mark went
    // and the later files were confirmed without showing the dialog.
    ASSERT_EQ(prompt.requests.size(), 3u);
    EXPECT_TRUE(prompt.requests[0].alwaysShow);
    EXPECT_FALSE(prompt.requests[1].alwaysShow);
    EXPECT_FALSE(always->isChecked());
    EXPECT_EQ(jobs().text(2, kAppendParameters), "all");
    // A click on the menu item turns the flag back on.
    always->trigger();
    EXPECT_TRUE(jobs().alwaysShowParameters());
    EXPECT_TRUE(always->isChecked());
}

TEST_F(MainWindowTest, KeysMoveAndDeleteRowsWhileViewAndListAgreeOnTheSelection)
{
    open();
    addRows({"a.pdf", "b.pdf", "c.pdf", "d.pdf"});
    clickRow(2);
    EXPECT_EQ(jobs().firstSelectedRow(), 2);

    QTest::keyClick(list(), Qt::Key_A);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.pdf", "c.pdf", "b.pdf", "d.pdf"}));
    EXPECT_EQ(viewSelection(), (std::vector<int>{1}));
    EXPECT_TRUE(jobs().isRowSelected(1));
    QTest::keyClick(list(), Qt::Key_A);
    EXPECT_EQ(names()[0], "c.pdf");
    QTest::keyClick(list(), Qt::Key_Z);
    QTest::keyClick(list(), Qt::Key_Z);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.pdf", "b.pdf", "c.pdf", "d.pdf"}));
    EXPECT_EQ(viewSelection(), (std::vector<int>{2}));

    // Enter and Escape neither start a run nor close the window.
    QTest::keyClick(list(), Qt::Key_Return);
    QTest::keyClick(list(), Qt::Key_Escape);
    QTest::keyClick(button(mainids::kAppendFiles), Qt::Key_Enter);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(jobs().text(0, kStatus), "Ready.");
    EXPECT_TRUE(messages.shown.empty());

    clickRow(0);
    clickRow(1, Qt::ControlModifier);
    clickRow(3, Qt::ControlModifier);
    EXPECT_EQ(jobs().selectedRowCount(), 3);
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(names(), (std::vector<std::string>{"c.pdf"}));
    EXPECT_EQ(totalItems(), "1");
    EXPECT_TRUE(viewSelection().empty());

    // Nothing selected: Delete says so.
    QTest::keyClick(list(), Qt::Key_Delete);
    ASSERT_EQ(messages.texts(), (std::vector<std::string>{"Please select item first"}));
}

TEST_F(MainWindowTest, HeaderClickSortsAndDoubleClickToggles)
{
    open();
    addRows({"b.pdf", "B.pdf", "a.pdf"});
    clickRow(0); // b.pdf stays selected through the sort
    QHeaderView* header = list()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(kFileName) + 10, header->height() / 2));
    EXPECT_EQ(names(), (std::vector<std::string>{"B.pdf", "a.pdf", "b.pdf"}));
    EXPECT_EQ(viewSelection(), (std::vector<int>{2}));
    EXPECT_EQ(jobs().firstSelectedRow(), 2);

    clickRow(1); // a double click begins with a click
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, rowCenter(1));
    EXPECT_EQ(jobs().text(1, kSelected), "No");
    EXPECT_EQ(list()->model()->index(1, kStatus).data().toString(), "");
    EXPECT_EQ(list()->model()->index(1, kSelected).data().toString(), "No");
}

TEST_F(MainWindowTest, ContextMenuOnlyWithASelectionAnd32806MeansWhatItsMenuSays)
{
    open();
    addRows({"a.pdf"});
    bool menuShown = false;
    auto watchForMenu = [&](QAction* choose) {
        QTimer::singleShot(50, [&, choose] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                menuShown = true;
                if (choose) menu->setActiveAction(choose);
                QTest::keyClick(menu, choose ? Qt::Key_Return : Qt::Key_Escape);
            }
        });
    };
    QPoint empty(list()->viewport()->width() / 2, list()->viewport()->height() - 5);
    watchForMenu(nullptr);
    QTest::mouseClick(list()->viewport(), Qt::RightButton, {}, empty);
    QContextMenuEvent noSelection(QContextMenuEvent::Mouse, empty, list()->viewport()->mapToGlobal(empty));
    QApplication::sendEvent(list()->viewport(), &noSelection);
    QTest::qWait(100);
    EXPECT_FALSE(menuShown);

    clickRow(0);
    QAction* showCommand =
        window->contextMenu()->findChild<QAction*>(QString::number(kCmdContextShowCommandLine));
    ASSERT_TRUE(showCommand);
    EXPECT_EQ(showCommand->text().remove(QLatin1Char('&')), "Show Command Line Parameters");
    watchForMenu(showCommand);
    QContextMenuEvent onRow(QContextMenuEvent::Mouse, rowCenter(0),
                            list()->viewport()->mapToGlobal(rowCenter(0)));
    QApplication::sendEvent(list()->viewport(), &onRow);
    QTest::qWait(100);
    EXPECT_TRUE(menuShown);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Command Line Parameters");

    // The menu bar's 32806 is the grouping bulk load, never the command line:
    // its options dialog opens, and Cancel ends it without a message.
    QString opened;
    QTimer::singleShot(0, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            opened = dialog->windowTitle();
            dialog->close();
        }
    });
    window->action(kCmdBulkLoadGrouping)->trigger();
    EXPECT_EQ(window->action(kCmdBulkLoadGrouping)->text().remove(QLatin1Char('&')), "Bulk Load (Grouping)");
    EXPECT_EQ(opened, "Bulk Load Options");
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(MainWindowTest, StopClickedDuringARealRunStopsAtTheNextCheck)
{
    open();
    addRows({"a.pdf", "b.pdf", "c.pdf"});
    QPushButton* append = button(mainids::kAppendFiles);
    QString seenDuringRun;
    QTimer::singleShot(0, [&] {
        seenDuringRun = append->text().remove('&');
        QTest::mouseClick(append, Qt::LeftButton);
    });
    QTest::mouseClick(append, Qt::LeftButton);
    EXPECT_EQ(seenDuringRun, "Stop");
    EXPECT_EQ(append->text().remove('&'), "Append Files");
    EXPECT_EQ(jobs().text(0, kStatus), "Stopped");
    EXPECT_EQ(jobs().text(1, kStatus), "Ready.");
    EXPECT_FALSE(window->findChild<QWidget*>(mainids::kRunProgress)->isVisible());

    // Run again to the end: every row done, the output holds all six pages.
    QTest::mouseClick(append, Qt::LeftButton);
    EXPECT_EQ(jobs().text(2, kStatus), "Done");
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf").size(), 6u);
    auto* progress = window->findChild<QProgressBar*>(mainids::kRunProgress);
    EXPECT_EQ(progress->value(), 3); // counted by the run: three rows done of three
    EXPECT_EQ(progress->maximum(), 3);
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{"Done."}));
}

TEST_F(MainWindowTest, WatcherPressesRetryOnServerBusyFromTheUserInterfaceThread)
{
    QDialog busy;
    busy.setWindowTitle("Server Busy");
    auto* retry = new QPushButton("Retry", &busy);
    retry->setObjectName(kServerBusyRetry);
    QObject::connect(retry, &QPushButton::clicked, &busy, &QDialog::accept);
    QTimer::singleShot(3000, &busy, &QDialog::reject);
    QtBusyPromptPresser presser;
    CMyThread watcher;
    watcher.setMainWindow(&presser);
    watcher.start();
    EXPECT_EQ(busy.exec(), QDialog::Accepted);
    watcher.requestStop();
    watcher.join();
}

namespace fb::test {

// Closes the window while the first row reads "Processing"; the process must
// end there with exit code 1.
int closeWhileProcessingChild(const char* folder)
{
    if (chdir(folder) != 0) return 100;
    int argc = 1;
    char name[] = "mervo";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    writeFileBytes("setup.ini", "NOSPLASH\r\n");
    MainWindow window;
    window.start({"mervo"}, folder);
    window.show();
    JobList& jobs = window.model().jobs();
    jobs.AddJobEntry(std::string(folder) + "/a.pdf", 1, {"all", "", "out.pdf", "N", "Y", "N", "N"});
    // The run repaints the window as it marks the row; the close arrives then.
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, [&] {
        if (jobs.text(0, kStatus) == "Processing") window.findChild<QPushButton*>(mainids::kClose)->click();
    });
    poll->start(0);
    window.findChild<QPushButton*>(mainids::kAppendFiles)->click();
    return 42; // not reached when the close ended the process
}

} // namespace fb::test

TEST(MainWindowProcess, ClosingWhileARowIsProcessingEndsTheProcessWithCodeOne)
{
    TempDir dir;
    makePdf(dir / "a.pdf", 2);
    std::vector<char> self(4096);
    ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    ASSERT_GT(n, 0);
    auto r = runProgram(std::string(self.data(), n), {"--close-while-processing", dir.path()}, dir.path());
    EXPECT_EQ(r.exitCode, 1) << r.err;
}

TEST_F(MainWindowTest, BatchFileLoadsThroughTheFileDialogAndCancelLeavesAnEmptyList)
{
    open();
    makePdf(dir / "a.pdf", 2);
    std::string line = dir / "a.pdf" + "; all; ; ; ; " + dir / "out.pdf" + "; N; N; Y; N\r\r\n";
    writeFileBytes(dir / "week.app", line + "~" + line);
    auto answerDialog = [](const std::string& path) {
        QTimer::singleShot(100, [path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->windowTitle(), "Open Append Batch File");
            if (path.empty()) return dialog->reject();
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_TRUE(name);
            name->setText(QString::fromStdString(path));
            QTest::keyClick(name, Qt::Key_Return);
        });
    };
    answerDialog(dir / "week.app");
    window->action(kCmdLoadBatchFile)->trigger();
    EXPECT_EQ(totalItems(), "2");
    EXPECT_EQ(jobs().text(1, kSelected), "No");
    EXPECT_EQ(window->windowTitle().toStdString(), "Folioband  [" + dir / "week.app" + "]");

    answerDialog("");
    window->action(kCmdLoadBatchFile)->trigger();
    EXPECT_EQ(totalItems(), "0");
    EXPECT_EQ(list()->model()->rowCount(), 0);
    EXPECT_EQ(window->windowTitle().toStdString(), "Folioband  [" + dir / "week.app" + "]");
}

TEST_F(MainWindowTest, LongBatchLoadKeepsTheWindowAnsweringCountsUpAndEscapeEndsIt)
{
    open();
    const int total = 50000, realEvery = 10;
    makePdf(dir / "real.pdf", 3);
    // Mostly missing files, which cost little to count; every tenth is real,
    // so that even a quick machine takes many of the window's turns to load.
    // Each real row names a link of its own: the list counts a path it has
    // counted before from memory, at no cost.
    auto rowName = [&](int i) {
        return dir / ((i % realEvery == 0 ? "real" : "gone") + std::to_string(i) + ".pdf");
    };
    std::string lines;
    for (int i = 0; i < total; ++i) {
        if (i % realEvery == 0) {
            ASSERT_EQ(::link((dir / "real.pdf").c_str(), rowName(i).c_str()), 0);
        }
        lines += rowName(i) + "; all; ; ; ; " + dir / "out.pdf" + "; N; N; Y; N\r\r\n";
    }
    writeFileBytes(dir / "big.app", lines);
    auto load = [&](int escapeAt) {
        std::vector<int> totals;
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer beat;
        beat.setInterval(1);
        QObject::connect(&beat, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        auto* box = window->findChild<QLineEdit*>(mainids::kTotalItems);
        auto counting = QObject::connect(box, &QLineEdit::textChanged, [&](const QString& t) {
            totals.push_back(t.toInt());
            // A person pressing Escape: the key arrives at the window's next turn.
            if (escapeAt > 0 && totals.back() >= escapeAt && jobs().loading())
                QTimer::singleShot(0, [&] { QTest::keyClick(list(), Qt::Key_Escape); });
        });
        QTimer::singleShot(100, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name->setText(QString::fromStdString(dir / "big.app"));
            clock.start();
            beat.start();
            QTest::keyClick(name, Qt::Key_Return);
        });
        window->action(kCmdLoadBatchFile)->trigger();
        beat.stop();
        QObject::disconnect(counting);
        // Frozen for the whole load, the window would show one gap of seconds.
        EXPECT_LT(longest, 1500);
        EXPECT_GT(totals.size(), 3u);
        EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end()));
        EXPECT_FALSE(jobs().loading());
        EXPECT_EQ(button(mainids::kAppendFiles)->text().remove(QLatin1Char('&')), "Append Files");
        EXPECT_FALSE(window->findChild<QWidget*>(mainids::kRunProgress)->isVisible());
    };

    load(20000);
    const int kept = jobs().rowCount();
    EXPECT_GE(kept, 20000);
    EXPECT_LT(kept, total);
    EXPECT_EQ(totalItems().toInt(), kept);
    EXPECT_EQ(list()->model()->rowCount(), kept);
    // The rows kept are the file's first lines, in order, counted as they came.
    EXPECT_EQ(jobs().text(kept - 1, kFileName), rowName(kept - 1));
    EXPECT_EQ(list()->model()->index(100, kPages).data().toString(), "3");
    EXPECT_EQ(list()->model()->index(101, kStatus).data().toString(), "No File.");
    EXPECT_TRUE(messages.shown.empty());

    // Loaded to its end, every row arrives; select all and delete still work.
    load(0);
    ASSERT_EQ(jobs().rowCount(), total);
    EXPECT_EQ(totalItems().toInt(), total);
    EXPECT_EQ(list()->model()->rowCount(), total);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(jobs().selectedRowCount(), total);
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(jobs().rowCount(), 0);
    EXPECT_EQ(totalItems(), "0");
}
