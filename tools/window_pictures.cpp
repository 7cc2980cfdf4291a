// Saves pictures of the main window and its dialogs as PNG files, for the
// README and for looking at every window on a small screen. Run it through
// scripts/window-pictures.sh, which gives it an X server (Xvfb) and a folder
// holding the example job.
#include "app/MainWindowCommands.h"
#include "app/qt/FolderChooserDialog.h"
#include "app/qt/MainWindow.h"
#include "common/qt/QtMessageBoxes.h"
#include "support/Help.h"
#include "support/qt/HelpWindow.h"

#include "app/qt/JobPlanDialog.h"
#include "app/qt/PreviewPanel.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

int failures = 0;
bool wholeScreen = false; // also picture the whole screen, to show where each window sits
QString out;

void save(QWidget* w, const QString& name)
{
    bool ok = w && w->grab().save(out + "/" + name + ".png");
    if (ok && wholeScreen)
        ok = QGuiApplication::primaryScreen()->grabWindow(0).save(out + "/screen-" + name + ".png");
    failures += !ok;
    std::fprintf(stderr, "%s %s/%s.png\n", ok ? "wrote" : "FAILED", qPrintable(out), qPrintable(name));
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Shows a modal dialog through `open`, pictures it once it is up (after
// `meanwhile`, a step on the dialog that may settle() for what it starts),
// then closes it.
void pictureModal(const QString& name, const std::function<void()>& open,
                  const std::function<void(QWidget*)>& meanwhile = {})
{
    QTimer::singleShot(700, [name, meanwhile] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (meanwhile) meanwhile(dialog);
        save(dialog, name);
        if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
    });
    open();
}

// The Append Parameters dialog, the folder chooser and, for the whole
// screen, every other dialog.
void pictureDialogs(fb::MainWindow& window)
{
    pictureModal("append-parameters",
                 [&] { window.runCommand(fb::kCmdUpdateItem, fb::CommandOrigin::ContextMenu); });
    fb::QtMessageBoxes messages;
    fb::QtFolderChooser chooser(&window, messages);
    pictureModal("folder-chooser", [&] {
        chooser.chooseFolder({"Move To Directory...", "Choose the folder to move the sources into",
                              QDir::currentPath().toStdString()});
    });
    if (wholeScreen) {
        pictureModal("setup", [&] { window.runCommand(fb::kCmdSetup, fb::CommandOrigin::MenuBar); });
        pictureModal("log-viewer", [&] { window.runCommand(fb::kCmdViewLog, fb::CommandOrigin::MenuBar); });
        pictureModal("about", [&] { window.runCommand(fb::kCmdAbout, fb::CommandOrigin::MenuBar); });
        pictureModal("message-box", [&] {
            messages.showWithReason("Failed to save file: " + QDir::currentPath().toStdString() +
                                        "/invoices.pdf",
                                    "mervo", "Permission denied");
        });
        // Help from inside the modal Append Parameters dialog.
        pictureModal(
            "help-over-parameters",
            [&] { window.runCommand(fb::kCmdUpdateItem, fb::CommandOrigin::ContextMenu); },
            [](QWidget*) {
                fb::HelpWindow* help = fb::ShowHelp(fb::kAppendParametersHelpContext);
                settle(500);
                save(help, "help");
                help->close();
            });
    }
}

// The previews of a row's pages and of the whole job, and a long list.
void pictureJob(fb::MainWindow& window)
{
    // The report row: "1-2,odd" marked on its pages, in insertion order.
    window.listView()->selectRow(2);
    QApplication::processEvents();
    // Each with time for its pages to be drawn.
    pictureModal(
        "append-parameters-preview",
        [&] { window.runCommand(fb::kCmdUpdateItem, fb::CommandOrigin::ContextMenu); },
        [](QWidget*) { settle(800); });
    pictureModal(
        "job-plan", [&] { window.runCommand(fb::kCmdPreviewJob, fb::CommandOrigin::MenuBar); },
        [](QWidget* w) {
            if (auto* plan = qobject_cast<fb::JobPlanDialog*>(w)) plan->showPages(0);
            settle(1200);
        });
    // Shown directly, not through its menu item, which would remember the choice.
    if (auto* panel = window.findChild<fb::PreviewPanel*>()) {
        if (!wholeScreen) window.resize(1280, 560);
        panel->setVisible(true);
        window.listView()->selectRow(2);
        settle(1500);
        save(&window, "preview-panel");
    }
    // A long list, read as the window reads any batch file, shown at its end.
    if (QFile::exists("long.app")) {
        if (auto* panel = window.findChild<fb::PreviewPanel*>()) panel->setVisible(false);
        if (!wholeScreen) window.resize(1000, 380);
        window.model().jobs().ClearAll();
        window.model().batchFiles().readBatchFile("long.app");
        window.listView()->scrollToBottom();
        window.listView()->selectRow(window.model().jobs().rowCount() - 2);
        settle(1000);
        save(&window, "long-list");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (argc == 4 && std::strcmp(argv[3], "--screen") != 0) || argc > 4) {
        std::fprintf(stderr, "usage: window-pictures JOB-FOLDER OUTPUT-FOLDER [--screen]\n");
        return 2;
    }
    wholeScreen = argc == 4;
    out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) return 2;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    fb::MainWindow window;
    window.start({"mervo", "example.app"}, QDir::currentPath().toStdString());
    // The README's picture keeps its old size; on the small screen the window
    // opens as it opens for anyone.
    if (!wholeScreen) window.resize(1000, 380);
    window.show();
    QApplication::processEvents();
    window.listView()->selectRow(1);
    QTimer::singleShot(600, [&] {
        save(&window, "main-window");
        pictureDialogs(window);
        pictureJob(window);
        app.quit();
    });
    app.exec();
    return failures;
}
