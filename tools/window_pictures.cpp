// Saves pictures of the main window and its dialogs as PNG files, for the
// README. Run it through scripts/window-pictures.sh, which gives it an X
// server (Xvfb) and a folder holding the example job.
#include "app/qt/MainWindow.h"
#include "common/qt/QtMessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <functional>

#if __has_include("app/qt/AppendParametersDialog.h")
#include "app/qt/AppendParametersDialog.h"
#define FB_HAVE_PARAMETERS_DIALOG 1
#endif
#if __has_include("app/qt/JobPlanDialog.h")
#include "app/qt/JobPlanDialog.h"
#include "app/qt/PreviewPanel.h"
#define FB_HAVE_PREVIEWS 1
#endif
#if __has_include("app/qt/FolderChooserDialog.h")
#include "app/qt/FolderChooserDialog.h"
#define FB_HAVE_FOLDER_CHOOSER 1
#endif

namespace {

bool save(QWidget* w, const QString& path)
{
    bool ok = w && w->grab().save(path);
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// Shows a modal dialog through `open`, pictures it once it is up, then closes it.
[[maybe_unused]] void pictureModal(const QString& path, const std::function<void()>& open)
{
    QTimer::singleShot(700, [path] {
        QWidget* dialog = QApplication::activeModalWidget();
        save(dialog, path);
        if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
    });
    open();
}

// As pictureModal, with a step on the dialog before the picture is taken.
[[maybe_unused]] void pictureModalAfter(const QString& path, const std::function<void(QWidget*)>& prepare,
                                        const std::function<void()>& open)
{
    QTimer::singleShot(300, [prepare] { prepare(QApplication::activeModalWidget()); });
    QTimer::singleShot(1500, [path] {
        QWidget* dialog = QApplication::activeModalWidget();
        save(dialog, path);
        if (auto* d = qobject_cast<QDialog*>(dialog)) d->reject();
    });
    open();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: window-pictures JOB-FOLDER OUTPUT-FOLDER\n");
        return 2;
    }
    QString out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) return 2;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    fb::MainWindow window;
    window.start({"mervo", "example.app"}, QDir::currentPath().toStdString());
    window.resize(1000, 380);
    window.show();
    QApplication::processEvents();
    window.listView()->selectRow(1);
    QTimer::singleShot(500, [] {});
    int failures = 0;
    QTimer::singleShot(600, [&] {
        failures += !save(&window, out + "/main-window.png");
#ifdef FB_HAVE_PARAMETERS_DIALOG
        pictureModal(out + "/append-parameters.png",
                     [&] { window.runCommand(fb::kCmdUpdateItem, fb::CommandOrigin::ContextMenu); });
#endif
#ifdef FB_HAVE_FOLDER_CHOOSER
        fb::QtMessageBoxes messages;
        fb::QtFolderChooser chooser(&window, messages);
        pictureModal(out + "/folder-chooser.png", [&] {
            chooser.chooseFolder({"Move To Directory...", "Choose the folder to move the sources into",
                                  QDir::currentPath().toStdString()});
        });
#endif
#ifdef FB_HAVE_PREVIEWS
        // The report row: "1-2,odd" marked on its pages, in insertion order.
        window.listView()->selectRow(2);
        QApplication::processEvents();
        pictureModalAfter(out + "/append-parameters-preview.png", [](QWidget*) {},
                          [&] { window.runCommand(fb::kCmdUpdateItem, fb::CommandOrigin::ContextMenu); });
        pictureModalAfter(
            out + "/job-plan.png",
            [](QWidget* w) {
                if (auto* plan = qobject_cast<fb::JobPlanDialog*>(w)) plan->showPages(0);
            },
            [&] { window.runCommand(fb::kCmdPreviewJob, fb::CommandOrigin::MenuBar); });
        // Shown directly, not through its menu item, which would remember the choice.
        if (auto* panel = window.findChild<fb::PreviewPanel*>()) {
            window.resize(1280, 560);
            panel->setVisible(true);
            window.listView()->selectRow(2);
            QEventLoop settle;
            QTimer::singleShot(1500, &settle, &QEventLoop::quit);
            settle.exec();
            failures += !save(&window, out + "/preview-panel.png");
        }
#endif
        app.quit();
    });
    app.exec();
    return failures;
}
