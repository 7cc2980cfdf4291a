#pragma once
#include "common/FileDialogs.h"
#include "engine/AppendRun.h"
#include "engine/Automation.h"
#include "engine/CMyThread.h"

#include <QPointer>
#include <QString>

#include <QDialog>
class QProgressBar;
class QPushButton;
class QWidget;

namespace fb {

// Open and save dialogs. The process's current directory is never changed.
class QtFileDialogs : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent) : parent_(parent) {}
    std::optional<std::string> openFile(const FileDialogRequest&) override;
    std::optional<std::string> saveFile(const FileDialogRequest&) override;

private:
    std::optional<std::string> run(const FileDialogRequest&, bool save);
    QWidget* parent_;
};

// "Connecting to Adobe Acrobat", shown without waiting while the server is reached.
class QtConnectionWindow : public ConnectionWindow {
public:
    explicit QtConnectionWindow(QWidget* parent) : parent_(parent) {}
    ~QtConnectionWindow() override;
    void show() override;
    void hide() override;
    QDialog* window() const { return window_; }

private:
    QWidget* parent_;
    QPointer<QDialog> window_;
};

// Keeps the window alive during a run and shows the button's caption and the
// run's progress.
class QtRunHost : public AppendRunHost {
public:
    QtRunHost(QWidget* window, QPushButton* button, QProgressBar* progress = nullptr)
        : window_(window), button_(button), progress_(progress)
    {
    }
    void dispatchOnePending() override;
    void dispatchAllPending() override;
    void repaintNow() override;
    void beep(int hz, int ms) override;
    void captionChanged(const std::string& caption) override;
    void runProgress(bool running, int done, int total) override;

private:
    QWidget* window_;
    QPushButton* button_;
    QProgressBar* progress_;
};

// The control id of Retry on the automation server's "Server Busy" prompt.
constexpr const char* kServerBusyRetry = "600";

// Called from the watcher thread; the press itself happens on the
// user-interface thread, which owns the prompt.
class QtBusyPromptPresser : public BusyPromptPresser {
public:
    bool pressRetryOnServerBusy() override;
    // The press, on the user-interface thread: control kServerBusyRetry of a visible
    // top-level window titled "Server Busy". True when one was pressed.
    static bool pressNow();
};

// The run's button captions with the button's mnemonic: Alt+P both starts
// and stops ("A&ppend Files", "Sto&p"); the accessible name stays the caption.
QString appendButtonText(const std::string& caption);

// Qt's filter text for one of ours: "All Files *.*" -> "All Files (*)".
QString qtFileFilter(const std::string& filter);

} // namespace fb
