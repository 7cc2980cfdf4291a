// The window as a person without a mouse, a screen reader or a small screen
// meets it: real widgets, real keys, real files.
#include "app/MainWindowCommands.h"
#include "app/AppendParameters.h"
#include "app/qt/AppendParametersDialog.h"
#include "app/qt/DialogDriver.h"
#include "app/qt/MainWindow.h"
#include "app/qt/MainWindowIds.h"
#include "common/qt/QtMessageBoxes.h"
#include "app/qt/QtServices.h"
#include "common/Files.h"
#include "testkit/SampleFiles.h"
#include "jobs/JobList.h"
#include "log/qt/LogViewer.h"
#include "support/Help.h"
#include "support/qt/HelpWindow.h"
#include "testkit/RecordingMessageBoxes.h"
#include "testkit/TestDirs.h"
#include "app/qt/WindowDriver.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace fb;
using namespace fb::test;

namespace {

QString accessibleName(QObject* object)
{
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(object);
    return a ? a->text(QAccessible::Name) : QString();
}

struct WindowUseTest : ::testing::Test {
    TempDir dir;
    RecordingMessageBoxes messages;
    std::unique_ptr<MainWindow> window;

    void open(const std::string& logPath = {})
    {
        MainWindowOptions o = testWindowOptions(dir, messages);
        if (!logPath.empty()) o.logPath = logPath;
        window = showTestWindow(o, dir);
    }
    QPushButton* button(const char* id) { return window->findChild<QPushButton*>(id); }
    JobList& jobs() { return window->model().jobs(); }
};

} // namespace

TEST_F(WindowUseTest, TabLeavesTheListForTheButtonsAndTheLinkAndAltPRunsWithoutAMouse)
{
    open();
    for (const char* f : {"a.pdf", "b.pdf", "c.pdf"}) {
        makePdf(dir / f, 2);
        jobs().AddJobEntry(dir / f, 1, {"all", "", dir / "out.pdf", "N", "N", "Y", "N"});
    }
    window->model().refreshTotalItems();
    QTableView* list = window->listView();
    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_Down); // arrows move inside the list
    EXPECT_EQ(list->currentIndex().row(), 1);
    EXPECT_TRUE(list->hasFocus());

    std::vector<std::string> reached;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    EXPECT_EQ(reached,
              (std::vector<std::string>{mainids::kAppendFiles, mainids::kClose, mainids::kWebsiteLink}));
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), list);

    // The button's mnemonic is not part of what a screen reader says.
    EXPECT_EQ(accessibleName(button(mainids::kAppendFiles)), "Append Files");
    EXPECT_EQ(accessibleName(button(mainids::kClose)), "Close");
    QTest::keyClick(list, Qt::Key_P, Qt::AltModifier);
    // A mnemonic presses the button as a click does, a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !messages.shown.empty(); }, 10000));
    EXPECT_EQ(pdfPageTexts(dir / "out.pdf").size(), 6u) << ::testing::PrintToString(messages.texts());
    EXPECT_EQ(accessibleName(button(mainids::kAppendFiles)), "Append Files");
}

TEST_F(WindowUseTest, MenuItemsAreNamedByTheirTextsAndEachHasItsOwnMnemonic)
{
    open();
    auto plain = [](const char* text) {
        QString t = QString::fromUtf8(text);
        t = t.left(t.indexOf(QLatin1Char('\t')) < 0 ? t.size() : t.indexOf(QLatin1Char('\t')));
        return t.remove(QLatin1Char('&'));
    };
    auto mnemonic = [](const QString& text) {
        int amp = text.indexOf(QLatin1Char('&'));
        return amp >= 0 && amp + 1 < text.size() ? text.at(amp + 1).toLower() : QChar();
    };
    auto checkMenu = [&](QMenu* menu, const std::vector<MenuItemDef>& items) {
        SCOPED_TRACE(menu->title().toStdString());
        // The items of the table, and any a feature adds (its mnemonic must not clash either).
        std::vector<QAction*> actions, added;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) (a->data().isValid() ? actions : added).push_back(a);
        std::vector<const MenuItemDef*> defs;
        for (const MenuItemDef& d : items)
            if (d.command) defs.push_back(&d);
        ASSERT_EQ(actions.size(), defs.size());
        std::set<QChar> keys;
        // What the accessibility tree says, item by item.
        QAccessibleInterface* m = QAccessible::queryAccessibleInterface(menu);
        ASSERT_TRUE(m);
        std::vector<QString> heard, wanted;
        for (int c = 0; c < m->childCount(); ++c)
            if (m->child(c)->role() != QAccessible::Separator)
                heard.push_back(m->child(c)->text(QAccessible::Name));
        heard.resize(std::min(heard.size(), defs.size()));
        for (const MenuItemDef* d : defs)
            wanted.push_back(plain(d->text));
        EXPECT_EQ(heard, wanted);
        for (std::size_t i = 0; i < actions.size(); ++i) {
            QChar key = mnemonic(actions[i]->text());
            EXPECT_FALSE(key.isNull()) << defs[i]->text;
            EXPECT_TRUE(keys.insert(key).second) << "clashes: " << defs[i]->text;
        }
        for (QAction* a : added)
            EXPECT_TRUE(keys.insert(mnemonic(a->text())).second) << a->text().toStdString();
    };
    std::vector<QMenu*> menus;
    for (QAction* a : window->menuBar()->actions())
        menus.push_back(a->menu());
    ASSERT_EQ(menus.size(), mainMenuBar().size());
    std::set<QChar> titles;
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(window->menuBar());
    ASSERT_TRUE(bar && bar->childCount() == static_cast<int>(menus.size()));
    for (std::size_t i = 0; i < menus.size(); ++i) {
        EXPECT_EQ(bar->child(static_cast<int>(i))->text(QAccessible::Name), plain(mainMenuBar()[i].title));
        EXPECT_TRUE(titles.insert(mnemonic(menus[i]->title())).second) << mainMenuBar()[i].title;
        checkMenu(menus[i], mainMenuBar()[i].items);
    }
    EXPECT_TRUE(titles.count(QLatin1Char('p')) == 0) << "Alt+P belongs to Append Files";
    checkMenu(window->contextMenu(), rowContextMenu());
    QMenu* windowMenu = menus[4];
    ASSERT_EQ(windowMenu->title().remove('&'), "Window");
    EXPECT_TRUE(windowMenu->actions().contains(window->findChild<QAction*>("previewPanelToggle")))
        << "the panel's item sits in the Window menu";

    // The shortcut is shown as Qt shows one; the key acts while the main window is active.
    EXPECT_EQ(window->action(kCmdDeleteSelection)->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(window->action(kCmdMoveUp)->shortcut(), QKeySequence(Qt::Key_A));
    makePdf(dir / "a.pdf", 1);
    jobs().AddJobEntry(dir / "a.pdf", 1, {"all", "", dir / "out.pdf", "N", "N", "Y", "N"});
    window->listView()->selectRow(0);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QTest::keyClick(&other, Qt::Key_Delete);
    EXPECT_EQ(jobs().rowCount(), 1);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window->listView(), Qt::Key_Delete);
    EXPECT_EQ(jobs().rowCount(), 0);
}

TEST(QuestionBoxes, EnterPressesYesEscapeNoAndAFailureCarriesItsReason)
{
    QtMessageBoxes boxes;
    QString details, text;
    auto press = [&](int key) {
        QTimer::singleShot(0, [&, key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box);
            details = box->detailedText();
            text = box->text();
            QTest::keyClick(box, Qt::Key(key));
        });
    };
    press(Qt::Key_Return);
    EXPECT_EQ(boxes.show("Create it?", "mervo", MessageButtons::YesNo), MessageAnswer::Yes);
    press(Qt::Key_Escape);
    EXPECT_EQ(boxes.show("Create it?", "mervo", MessageButtons::YesNo), MessageAnswer::No);
    press(Qt::Key_Return);
    boxes.showWithReason("Failed to save file: /x/out.pdf", "mervo", "Permission denied");
    EXPECT_EQ(text, "Failed to save file: /x/out.pdf");
    EXPECT_EQ(details, "Permission denied");
}

TEST(HelpWindowTest, HelpOpenedFromAModalDialogScrollsFollowsGoesBackAndClosesWhileItIsOpen)
{
    QWidget owner;
    owner.show();
    QDialog dialog(&owner);
    dialog.setWindowTitle("Append Parameters");
    // A window outside the dialog, to show that the dialog does block others.
    QPushButton outside("outside");
    outside.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&outside));
    bool outsideClicked = false;
    QObject::connect(&outside, &QPushButton::clicked, [&] { outsideClicked = true; });

    bool checked = false;
    QTimer::singleShot(0, [&] {
        HelpWindow* help = ShowHelp(kAppendParametersHelpContext, &owner);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
        // Clicks go through the window system, where modality blocks them.
        QTest::mouseClick(outside.windowHandle(), Qt::LeftButton, {}, outside.rect().center());
        EXPECT_FALSE(outsideClicked) << "the dialog is not modal: this test proves nothing";

        QTextBrowser* browser = help->browser();
        QUrl start = browser->source();
        QUrl other = start;
        other.setFragment(QStringLiteral("contents"));
        if (other == start) other.setFragment(QString());
        browser->setSource(other); // as a followed link does
        QPushButton* back = nullptr;
        for (QPushButton* b : help->findChildren<QPushButton*>())
            if (b->text() == QLatin1String("&Back")) back = b;
        ASSERT_TRUE(back && back->isEnabled());
        QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, back->mapTo(help, back->rect().center()));
        EXPECT_EQ(browser->source(), start);

        QWindow* w = help->windowHandle();
        int before = browser->verticalScrollBar()->value();
        browser->setFocus();
        QTest::keyClick(w, Qt::Key_PageDown);
        EXPECT_GT(browser->verticalScrollBar()->value(), before);
        QPointer<HelpWindow> stillThere(help); // a closed help window deletes itself
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_TRUE(!stillThere || !stillThere->isVisible());
        EXPECT_TRUE(dialog.isVisible());
        checked = true;
        dialog.accept();
    });
    dialog.exec();
    EXPECT_TRUE(checked);
}

TEST_F(WindowUseTest, SizeAndColumnsComeBackAndNoTitleIsClipped)
{
    open();
    QRect available = window->screen()->availableGeometry();
    EXPECT_TRUE(available.contains(window->frameGeometry())) << "opens inside the screen";
    QHeaderView* header = window->listView()->horizontalHeader();
    for (int c = 0; c < header->count(); ++c) {
        if (header->sectionSize(c) == 0) continue; // hidden by design
        QFont bold = header->font();
        bold.setBold(true);
        EXPECT_GE(header->sectionSize(c), QFontMetrics(bold).horizontalAdvance(
                                              header->model()->headerData(c, Qt::Horizontal).toString()))
            << c;
    }
    // A long output path widens its column once the rows have settled.
    std::string longName = dir / (std::string(120, 'o') + ".pdf");
    makePdf(dir / "a.pdf", 1);
    jobs().AddJobEntry(dir / "a.pdf", 1, {"all", "", longName, "N", "N", "Y", "N"});
    window->model().refreshTotalItems();
    QTest::qWait(20);
    EXPECT_GE(header->sectionSize(kOutputFile),
              window->listView()->fontMetrics().horizontalAdvance(QString::fromStdString(longName)));

    // Only rows in view are measured; a longer path far down widens the
    // column when it is scrolled into view.
    for (int i = 0; i < 300; ++i)
        jobs().AddJobEntry(dir / "a.pdf", 1, {"all", "", dir / "short.pdf", "N", "N", "Y", "N"});
    std::string longer = dir / (std::string(160, 'p') + ".pdf");
    jobs().AddJobEntry(dir / "a.pdf", 1, {"all", "", longer, "N", "N", "Y", "N"});
    window->model().refreshTotalItems();
    QTest::qWait(20);
    const int longerWidth =
        window->listView()->fontMetrics().horizontalAdvance(QString::fromStdString(longer));
    EXPECT_LT(header->sectionSize(kOutputFile), longerWidth);
    window->listView()->scrollToBottom();
    QTest::qWait(20);
    EXPECT_GE(header->sectionSize(kOutputFile), longerWidth);

    window->resize(620, 380);
    header->resizeSection(kFileName, 333);
    window->close();
    window.reset();
    open();
    EXPECT_EQ(window->size(), QSize(620, 380));
    EXPECT_EQ(window->listView()->horizontalHeader()->sectionSize(kFileName), 333);
}

TEST_F(WindowUseTest, FailuresSayWhy)
{
    // The log cannot be opened: the system's reason comes with the message.
    ASSERT_EQ(::mkdir((dir / "log-folder").c_str(), 0755), 0);
    open(dir / "log-folder");
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown[0].text, "Can't open append.log");
    EXPECT_NE(messages.shown[0].reason.find("Is a directory"), std::string::npos) << messages.shown[0].reason;

    // A source that is no PDF: the PDF layer's reason comes with "Error Opening File".
    messages.shown.clear();
    writeFileBytes(dir / "bad.pdf", "%PDF-1.4\nnot a pdf at all\n");
    jobs().AddJobEntry(dir / "bad.pdf", 1, {"all", "", dir / "out.pdf", "Y", "Y", "N", "N"});
    jobs().setText(0, kPages, "1");
    button(mainids::kAppendFiles)->click();
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown[0].text, "Error Opening File : " + dir / "bad.pdf");
    // The details carry the damage qpdf noticed on the way, not only its last word.
    EXPECT_NE(messages.shown[0].reason.find("can't find startxref"), std::string::npos)
        << messages.shown[0].reason;
}

// ---- a 1280x800 screen at scale 2 -----------------------------------------

namespace {
bool onSmallScreen()
{
    return std::getenv("FB_SMALL_SCREEN") != nullptr;
}

void expectInside(QWidget* w, const char* what)
{
    QCoreApplication::processEvents();
    QRect available = w->screen()->availableGeometry();
    EXPECT_TRUE(available.contains(w->frameGeometry()))
        << what << ": " << w->frameGeometry().width() << "x" << w->frameGeometry().height() << " at "
        << w->frameGeometry().x() << "," << w->frameGeometry().y() << " on " << available.width() << "x"
        << available.height();
}
} // namespace

TEST(WindowFit, EveryWindowOpensInsideA1280x800ScreenAtScale2)
{
    TempDir dir;
    writeFileBytes(dir / "screen.json",
                   R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1280, "height": 800,)"
                   R"( "logicalDpi": 96, "logicalBaseDpi": 96}]})");
    std::vector<char> self(4096);
    ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    ASSERT_GT(n, 0);
    auto r = runProgram(std::string(self.data(), n), {"--small-screen", dir / "screen.json"}, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
}

// Runs only in the child that the test above starts on the small screen.
TEST(SmallScreen, EveryWindowFitsAndTheMainWindowShrinksWithoutOverlaps)
{
    if (!onSmallScreen()) GTEST_SKIP() << "runs in a child on a small screen";
    ASSERT_EQ(QApplication::primaryScreen()->availableGeometry().size(), QSize(640, 400));
    TempDir dir;
    RecordingMessageBoxes messages;
    std::unique_ptr<MainWindow> shown = showTestWindow(testWindowOptions(dir, messages), dir);
    MainWindow& window = *shown;
    expectInside(&window, "main window");

    // At its smallest nothing overlaps.
    window.resize(window.minimumSizeHint());
    QCoreApplication::processEvents();
    std::vector<QWidget*> controls;
    for (const char* id : {mainids::kTotalItemsLabel, mainids::kTotalItems, mainids::kRunProgress,
                           mainids::kAppendFiles, mainids::kClose, mainids::kWebsiteLink, mainids::kJobList})
        controls.push_back(window.findChild<QWidget*>(id));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        ASSERT_TRUE(controls[i]);
        QRect a(controls[i]->mapTo(&window, QPoint()), controls[i]->size());
        EXPECT_TRUE(window.rect().contains(a)) << controls[i]->objectName().toStdString();
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            QRect b(controls[j]->mapTo(&window, QPoint()), controls[j]->size());
            EXPECT_FALSE(a.intersects(b)) << controls[i]->objectName().toStdString() << " and "
                                          << controls[j]->objectName().toStdString();
        }
    }
    // The progress bar keeps its place: showing it moves no button.
    QPoint appendAt = window.findChild<QWidget*>(mainids::kAppendFiles)->pos();
    window.findChild<QWidget*>(mainids::kRunProgress)->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.findChild<QWidget*>(mainids::kAppendFiles)->pos(), appendAt);

    ScriptedFolderChooser folders;
    ScriptedFileDialogs files;
    AppendParameters values(messages);
    AppendParametersDialog parameters(&window, values, folders, files, {});
    parameters.show();
    expectInside(&parameters, "Append Parameters");
    parameters.close();

    LogViewerDialog log(dir / "append.log", messages, &window);
    log.show();
    expectInside(&log, "log viewer");
    log.close();

    HelpWindow* help = ShowHelp(kMainWindowHelpContext, &window);
    expectInside(help, "help");
    help->close();

    for (int command : {kCmdSetup, kCmdAbout}) {
        ModalStep step([&](QDialog* d) {
            expectInside(d, window.action(command)->text().toUtf8().constData());
            d->reject();
        });
        window.action(command)->trigger();
        EXPECT_TRUE(step.ran());
    }

    QtMessageBoxes boxes;
    bool boxSeen = false;
    ModalStep box([&](QDialog* d) {
        boxSeen = true;
        expectInside(d, "message box");
        d->reject();
    });
    boxes.showWithReason("Failed to connect to full version of Acrobat 4 or greater, please either "
                         "re-install Acrobat or run Acrobat to force this software to use what's "
                         "running; this software will not work with Acrobat Reader or Adobe Reader.",
                         "mervo", "Permission denied");
    EXPECT_TRUE(boxSeen);

    // The preview panel turned on after the window opened keeps it on the screen.
    window.resize(window.screen()->availableGeometry().size());
    QAction* panel = window.findChild<QAction*>("previewPanelToggle");
    ASSERT_TRUE(panel);
    if (panel->isChecked()) panel->trigger();
    panel->trigger();
    ASSERT_TRUE(panel->isChecked());
    expectInside(&window, "main window with the preview panel");
    panel->trigger();
}
