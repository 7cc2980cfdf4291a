#pragma once
#include "app/MainWindowCommands.h"
#include "app/Settings.h"
#include "cli/CommandLine.h"
#include "engine/AppendRun.h"
#include "engine/Automation.h"
#include "engine/CMyThread.h"
#include "engine/ProcessCloser.h"
#include "jobs/BatchFile.h"
#include "jobs/JobList.h"
#include "jobs/ParametersPrompt.h"
#include "log/AppendLog.h"
#include "common/FileDialogs.h"
#include "common/Messages.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fb {

// What the platform lends the main window: a Qt window fills these with real
// dialogs, a headless run with default answers, tests with fakes.
struct MainWindowServices {
    MessageBoxes& messages;
    ParametersPrompt& prompt;
    FileDialogs& dialogs;
    Clipboard& clipboard;
    AutomationServer& automation;
    ConnectionWindow& connection;
    AppendRunHost& host;
    ReaderCloser& readers;
    BusyPromptPresser* busyPresser = nullptr;
    // Ends the process at once (closing while a row reads "Processing").
    std::function<void(int)> exitNow;
    // Page counts get a server of their own: its clean-up closes every
    // document, which must not hit a run's open documents.
    AutomationServer* pageCountAutomation = nullptr;
    // The run's file system; the real one when not given (a plan gives its own).
    RunFiles* files = nullptr;
};

// What the model tells the window that draws it, besides what the window
// hears from the job list itself.
class MainWindowView {
public:
    virtual ~MainWindowView() = default;
    virtual void totalItemsChanged(int) {}
    virtual void titleChanged(const std::string&) {}
    // The window is to go away (Close, Exit, the close box or -q).
    virtual void closeRequested() {}
};

// Everything the main window owns, and its procedures, without any window.
class MainWindowModel : public CommandLineHost, private JobListObserver {
public:
    explicit MainWindowModel(MainWindowServices services, std::string logPath = "append.log",
                             std::string settingsPath = "setup.ini");
    ~MainWindowModel() override;

    // Start-up: open the log, read the settings, start the watcher, then
    // interpret the command line (slot 0 is the program). False when the log
    // could not be opened and the rest of start-up was skipped.
    bool initialise(const std::vector<std::string>& slots, const std::string& startDirectory);

    void appendFilesClicked(); // "Append Files" / "Stop"
    void close();              // "&Close", "&Exit", the close box and -q
    bool isClosed() const { return closed_; }

    // The process's exit code once the window has closed.
    int exitCode() const;

    JobList& jobs() { return jobs_; }
    BatchFiles& batchFiles() { return batch_; }
    Settings& settings() { return settings_; }
    const std::string& settingsPath() const { return settingsPath_; }
    AppendLog& log() { return log_; }
    RunOptions& options() { return options_; }
    AppendRun& appendRun() { return run_; }
    int totalItems() const { return totalItems_; }
    const std::string& windowTitle() const { return title_; }
    // What a command-line job asked for and did not get, one short text each,
    // and the line that says so when the window closes ("" when all was done).
    const std::vector<std::string>& undone() const { return undone_; }
    std::string closingLine() const;

    void clearLog();
    void showCommandLine();

    void setView(MainWindowView* view);

    // Runs a command of the menus, accelerators or buttons. False for the
    // commands the window carries out itself (its dialogs, bulk load, the log
    // viewer, links and help).
    bool execute(int command, CommandOrigin origin);
    void doubleClicked() { jobs_.ToggleSelected(); }
    void headerClicked(int column) { jobs_.SortEntries(column, true, 0, -1); }
    // Files dropped from a file manager: existing files only, no folders.
    void dropFiles(const std::vector<std::string>& paths);
    bool runActive() const { return run_.isRunning(); }

    // Command-line host.
    void runAppend() override;
    void closeMainWindow() override { close(); }
    void readBatchFile(const std::string& path) override;
    void refreshTotalItems() override;
    bool stopRequested() const override;

private:
    int acrobatPageCount(const std::string& path);

    MainWindowView* view_ = nullptr;

    MainWindowServices services_;
    RunOptions options_;
    Settings settings_;
    std::string settingsPath_;
    AppendLog log_;
    JobList jobs_;
    BatchFiles batch_;
    AppendRun run_;
    CMyThread watcher_;
    int totalItems_ = 0;
    std::string title_;
    bool closed_ = false;
    bool closedWhileProcessing_ = false;
    bool incomplete_ = false;
    std::vector<std::string> undone_;
    // A run that a stop signal ended has said so; the command line need not again.
    bool signalStopSaid_ = false;
    bool logFailed_ = false;
    bool interpretedArguments_ = false;
};

std::string mainWindowCaption();

} // namespace fb
