#include "app/MainWindowModel.h"

#include "app/ExitCodes.h"
#include "engine/AcrobatPageCount.h"
#include "log/LogTable.h"
#include "common/Files.h"
#include "common/StopSignals.h"
#include "common/Text.h"
#include "common/Version.h"

#include <cstdio>
#include <unistd.h>

namespace fb {

std::string mainWindowCaption()
{
    return std::string("Folioband Batch v") + kVersion + "  -= By Quillon =-";
}

MainWindowModel::MainWindowModel(MainWindowServices services, std::string logPath, std::string settingsPath)
    : services_(std::move(services)), settingsPath_(std::move(settingsPath)), log_(std::move(logPath)),
      jobs_(services_.messages, services_.prompt,
            [this](const std::string& path) { return acrobatPageCount(path); }),
      batch_(jobs_, services_.messages, services_.dialogs),
      run_(jobs_, services_.automation, services_.messages, log_, settings_, services_.readers,
           services_.host, services_.connection, options_),
      title_(mainWindowCaption())
{
    if (!services_.exitNow) {
        services_.exitNow = [](int code) {
            std::fflush(nullptr);
            _exit(code);
        };
    }
    batch_.setTitleListener([this](const std::string& title) {
        title_ = title;
        if (view_) view_->titleChanged(title_);
    });
    jobs_.subscribe(this);
    jobs_.setLoadPump(&services_.host);
    if (services_.files) run_.setFiles(*services_.files);
}

void MainWindowModel::setView(MainWindowView* view)
{
    view_ = view;
    if (!view_) return;
    view_->titleChanged(title_);
    view_->totalItemsChanged(totalItems_);
}

MainWindowModel::~MainWindowModel()
{
    jobs_.unsubscribe(this);
    watcher_.requestStop();
    watcher_.join();
}

int MainWindowModel::acrobatPageCount(const std::string& path)
{
    AutomationServer& server =
        services_.pageCountAutomation ? *services_.pageCountAutomation : services_.automation;
    AcrobatContext ctx{server,
                       services_.messages,
                       services_.host,
                       services_.connection,
                       options_.noConnectionWindow,
                       options_.quietMode};
    return fb::acrobatPageCount(ctx, path);
}

bool MainWindowModel::initialise(const std::vector<std::string>& slots, const std::string& startDirectory)
{
    totalItems_ = 0;
    options_ = RunOptions{};
    options_.argumentCount = slots.size() > 1 ? static_cast<int>(slots.size()) : 0;
    if (!(services_.files ? services_.files->openLog(log_) : log_.open())) {
        logFailed_ = true;
        services_.messages.showWithReason("Can't open append.log", "Log File Error",
                                          log_.path() + ": " + log_.openError());
        if (options_.argumentCount > 0)
            undone_.push_back(log_.path() + " could not be opened; the command line was not carried out");
        return false;
    }
    loadSettings(settings_, settingsPath_);
    jobs_.setAlwaysShowParameters(true);
    watcher_.setMainWindow(services_.busyPresser);
    watcher_.start();
    if (options_.argumentCount > 0) {
        interpretedArguments_ = true;
        // Thousands of files may come as arguments (a file manager's "Open
        // with"): they arrive as one load.
        JobList::LoadScope load(jobs_);
        if (!ProcessCommandLine(slots, jobs_, *this, options_, startDirectory) && !signalStopSaid_)
            undone_.push_back("stopped by " + signalName(stopSignal()) +
                              " before the whole command line was carried out");
        batch_.setQuietMode(options_.quietMode);
    }
    return true;
}

void MainWindowModel::runAppend()
{
    // Batch-file messages follow the quiet switch as far as it has been read.
    batch_.setQuietMode(options_.quietMode);
    // -r inside the command line's load: the window shows every row first.
    jobs_.showLoadedRows();
    if (run_.isRunning() || run_.buttonCaption() == "Stop" || jobs_.rowCount() == 0) {
        run_.click();
        return;
    }
    run_.click();
    RunResult result = run_.lastResult();
    if (result == RunResult::Stopped || result == RunResult::Failed) incomplete_ = true;
    if (result == RunResult::Stopped && stopSignal() != 0) {
        undone_.push_back("stopped by " + signalName(stopSignal()));
        signalStopSaid_ = true;
    }
    if (!run_.missingSources().empty()) incomplete_ = true;
    const auto& undone = run_.undone();
    undone_.insert(undone_.end(), undone.begin(), undone.end());
}

void MainWindowModel::appendFilesClicked()
{
    // During a long load the button reads "Stop" and ends the load.
    if (jobs_.loading() && !run_.isRunning()) {
        jobs_.stopLoad();
        return;
    }
    runAppend();
}

bool MainWindowModel::stopRequested() const
{
    return stopSignal() != 0;
}

void MainWindowModel::readBatchFile(const std::string& path)
{
    batch_.setQuietMode(options_.quietMode);
    batch_.readBatchFile(path);
    for (std::string& item : batch_.takeUndone())
        undone_.push_back(std::move(item));
    refreshTotalItems();
}

void MainWindowModel::refreshTotalItems()
{
    totalItems_ = jobs_.rowCount();
    if (view_) view_->totalItemsChanged(totalItems_);
}

void MainWindowModel::dropFiles(const std::vector<std::string>& paths)
{
    JobList::LoadScope load(jobs_);
    for (const std::string& path : paths) {
        if (jobs_.loadStopped()) break;
        if (!pathExists(path) || isDirectory(path)) continue;
        jobs_.AddJobEntry(path, 1, {});
    }
    refreshTotalItems();
}

bool MainWindowModel::execute(int command, CommandOrigin origin)
{
    switch (command) {
    case kCmdBulkLoadGrouping: // also kCmdContextShowCommandLine
        if (origin != CommandOrigin::ContextMenu) return false;
        showCommandLine();
        return true;
    case kCmdShowCommandLine: showCommandLine(); return true;
    case kCmdLoadBatchFile: batch_.loadBatchFile(); break;
    case kCmdAppendBatchFile: batch_.appendBatchFile(); break;
    case kCmdSaveBatchFile: batch_.saveBatchFile(); break;
    case kCmdSaveBatchFileAs: batch_.saveBatchFileAs(); break;
    case kCmdExit:
    case kCmdCloseButton: close(); return true;
    case kCmdAlwaysShowParameters: jobs_.setAlwaysShowParameters(!jobs_.alwaysShowParameters()); return true;
    case kCmdUpdateSelection: jobs_.UpdateJobEntry(false); return true;
    case kCmdUpdateItem: jobs_.UpdateJobEntry(true); return true;
    case kCmdDeleteSelection:
    case kCmdDeleteItem:
    case kCmdAccelDelete: jobs_.DeleteSelectedEntries(); break;
    case kCmdClearAll: jobs_.ClearAll(); break;
    case kCmdMoveUp:
    case kCmdContextMoveUp:
    case kCmdAccelMoveUp: jobs_.MoveEntryUp(); return true;
    case kCmdMoveDown:
    case kCmdContextMoveDown:
    case kCmdAccelMoveDown: jobs_.MoveEntryDown(); return true;
    case kCmdSortOnFilename: jobs_.SortEntries(kFileName, true, 0, -1); return true;
    case kCmdReverseSort: jobs_.SortEntries(kFileName, false, 0, -1); return true;
    case kCmdRefreshPageCounts:
    case kCmdRefreshAll: jobs_.RefreshPageCounts(); return true;
    case kCmdClearLog: clearLog(); return true;
    case kCmdAppendFiles: appendFilesClicked(); return true;
    default: return false;
    }
    refreshTotalItems();
    return true;
}

void MainWindowModel::clearLog()
{
    ClearLog(log_);
}

void MainWindowModel::showCommandLine()
{
    ShowCommandLine(jobs_, services_.messages, services_.clipboard, services_.prompt);
}

void MainWindowModel::close()
{
    if (closed_) return;
    watcher_.requestStop();
    run_.requestStop();
    services_.host.dispatchOnePending();
    bool processing = false;
    for (int i = 0; i < jobs_.rowCount(); ++i) {
        if (jobs_.text(i, kStatus) == "Processing") processing = true;
    }
    closed_ = true;
    // One closing line, even under -e, so a script's log says what was not done.
    const std::string line = closingLine();
    if (!line.empty()) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
    if (processing) {
        closedWhileProcessing_ = true;
        services_.exitNow(kExitClosedWhileProcessing);
    }
    if (view_) view_->closeRequested();
}

int MainWindowModel::exitCode() const
{
    // A job given on the command line that could not be carried out whole.
    const bool incomplete = (interpretedArguments_ && (incomplete_ || !undone_.empty())) ||
                            (logFailed_ && options_.argumentCount > 0);
    return runExitCode(closedWhileProcessing_, incomplete);
}

std::string MainWindowModel::closingLine() const
{
    if (options_.argumentCount == 0 || undone_.empty()) return "";
    // One readable line however much was left undone: the first items, then a count.
    constexpr std::size_t kShown = 10;
    std::string line = applicationName() + ": not everything was done: ";
    for (std::size_t i = 0; i < undone_.size() && i < kShown; ++i) {
        if (i > 0) line += "; ";
        line += undone_[i];
    }
    if (undone_.size() > kShown) line += "; and " + std::to_string(undone_.size() - kShown) + " more";
    line = escapeControls(line);
    for (char& c : line)
        if (c == '\n' || c == '\t') c = ' ';
    return line + "\n";
}

} // namespace fb
