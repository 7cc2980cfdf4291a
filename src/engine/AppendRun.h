#pragma once
#include "common/EventPump.h"
#include "common/Messages.h"
#include "common/FillerFiles.h"
#include "common/RunOptions.h"
#include "engine/RunFiles.h"
#include "pages/PageSpec.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fb {

class JobList;
class AutomationServer;
class AppendLog;
class ReaderCloser;
class ConnectionWindow;
class App;
class AVDoc;
class PDDoc;
class FileLock;
struct JobEntry;

// What the run needs from the window around it besides message pumping.
class AppendRunHost : public EventPump {
public:
    virtual void beep(int hz, int ms)
    {
        (void)hz;
        (void)ms;
    }
    virtual void captionChanged(const std::string& caption) { (void)caption; }
    // The run began (running, done 0), finished a row, or ended.
    virtual void runProgress(bool running, int done, int total) { (void)running, (void)done, (void)total; }
    // A passing remark that needs no answer, such as waiting for another run;
    // standard error unless the host shows it elsewhere.
    virtual void notice(const std::string& text);
};

enum class RunResult { NotRun, Completed, Stopped, Failed };

// One "Append Files" run over the job list, driven from the button's click
// handler. The handler is re-entered from the run's own message pumping, so a
// click during a run only asks it to stop.
class AppendRun {
public:
    AppendRun(JobList& jobs, AutomationServer& server, MessageBoxes& messages, AppendLog& log,
              const FillerFiles& fillers, ReaderCloser& readers, AppendRunHost& host,
              ConnectionWindow& connection, const RunOptions& options);
    ~AppendRun();
    AppendRun(const AppendRun&) = delete;
    AppendRun& operator=(const AppendRun&) = delete;

    void click();

    const std::string& buttonCaption() const { return caption_; }
    bool isRunning() const { return running_; }

    void requestStop() { stopRequested_ = true; }
    bool stopRequested() const { return stopRequested_; }
    // The Stop button's request, or a stop signal (SIGTERM, SIGINT, SIGHUP).
    bool stopping() const;

    RunResult lastResult() const { return lastResult_; }
    // Sources an unattended run could not find.
    const std::vector<std::string>& missingSources() const { return missingSources_; }
    // Everything the last run was asked to do and did not, one short text each:
    // the row it ended at, rows left out, moves, fillers and log records that failed.
    const std::vector<std::string>& undone() const { return undone_; }

    // Where the run's file-system questions and changes go; the real one by default.
    void setFiles(RunFiles& files) { files_ = &files; }

private:
    struct Session;
    // nullopt: the walk goes on; a value: the run ended with that result.
    using Outcome = std::optional<RunResult>;

    void run();
    RunResult walk(Session& s);
    // How much of the server a failure closes: nothing, the documents, or the documents and the server.
    enum class Closing { Nothing, Documents, Server };
    // The one way a step fails: says why (fail()), marks the row "Stopped"
    // when one is named, closes what it asks to, and ends the run.
    RunResult failed(Session& s, const std::string& text, bool suppressible, Closing closing,
                     const std::string& reason = {}, int stoppedRow = -1);

    // A row's steps, in order.
    Outcome processRow(Session& s, int row);
    void noteLeftOut(int row, const JobEntry& entry);
    Outcome checkRow(Session& s, int row, const JobEntry& entry, const PageRunList& runs,
                     const std::string& output);
    Outcome writeLocked(Session& s, int row, const JobEntry& entry, const PageRunList& runs,
                        const std::string& output);
    Outcome lockOutput(Session& s, int row, const std::string& output, FileLock& lock);
    Outcome writeOutput(Session& s, int row, const JobEntry& entry, const PageRunList& runs,
                        const std::string& output, FileLock& lock, bool& replaced);
    Outcome openOutput(Session& s, const JobEntry& entry, const std::string& output);
    Outcome insertRuns(Session& s, const JobEntry& entry, const PageRunList& runs, const std::string& output);
    Outcome addFiller(Session& s, const std::string& filler);
    Outcome saveOutput(Session& s, const std::string& output, FileLock& lock, bool& replaced);
    void writeLog(const std::string& output, const std::string& source);
    Outcome finishRow(Session& s, int row, const JobEntry& entry);
    void addFileBookmark(Session& s, long page, const std::string& sourcePath, const std::string& outputPath);
    bool moveSource(const std::string& source, const std::string& folder);
    std::string rowName(int row, const std::string& fileName) const;
    void setCaption(const std::string& caption);
    void setStatus(int row, const std::string& status);
    void warn(const std::string& text, bool suppressible, const std::string& reason = {});
    // warn() for a failure that ends the run; the closing line names it when
    // it was not shown.
    void fail(const std::string& text, bool suppressible, const std::string& reason = {});
    void closeAll(Session& s, bool exitToo);
    void recordMissing(const std::string& path);

    // The row steps call these by their plain names, so they all reach files_.
    bool canOpenForReading(const std::string& p) { return files_->canOpenForReading(p); }
    bool isRegularFile(const std::string& p) { return files_->isRegularFile(p); }
    bool isReadableRegularFile(const std::string& p) { return files_->isReadableRegularFile(p); }
    bool pathExists(const std::string& p) { return files_->pathExists(p); }
    bool sameFile(const std::string& a, const std::string& b) { return files_->sameFile(a, b); }
    bool sameContent(const std::string& a, const std::string& b) { return files_->sameContent(a, b); }
    bool canReplace(const std::string& p) { return files_->canReplace(p); }
    bool writableOrAbsent(const std::string& p) { return files_->writableOrAbsent(p); }
    bool createFolderOneLevel(const std::string& p) { return files_->createFolderOneLevel(p); }
    bool copyFileReplacing(const std::string& a, const std::string& b)
    {
        return files_->copyFileReplacing(a, b);
    }
    bool copyFileNoReplace(const std::string& a, const std::string& b)
    {
        return files_->copyFileNoReplace(a, b);
    }
    bool removeFile(const std::string& p) { return files_->removeFile(p); }

    JobList& jobs_;
    AutomationServer& server_;
    MessageBoxes& messages_;
    AppendLog& log_;
    const FillerFiles& fillers_;
    ReaderCloser& readers_;
    AppendRunHost& host_;
    ConnectionWindow& connection_;
    const RunOptions& options_;
    RunFiles* files_ = &realRunFiles();

    std::string caption_ = "Append Files";
    bool running_ = false;
    bool stopRequested_ = false;
    RunResult lastResult_ = RunResult::NotRun;
    std::vector<std::string> missingSources_;
    std::vector<std::string> undone_;
    int currentRow_ = -1;
    int rowsToRun_ = 0;
    int rowsDone_ = 0;
    std::string currentFile_;
    std::string failure_; // the message the run ended with, on one line, when not shown
    std::set<std::string> unreadableFillers_;
    std::set<std::string> waitNoticed_; // outputs whose wait was told
};

} // namespace fb
