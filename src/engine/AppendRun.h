#pragma once
#include "common/EventPump.h"
#include "common/Messages.h"
#include "common/RunOptions.h"
#include "common/FillerFiles.h"

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

// What the run needs from the window around it besides message pumping.
class AppendRunHost : public EventPump {
public:
    virtual void beep(int hz, int ms) { (void)hz; (void)ms; }
    virtual void captionChanged(const std::string& caption) { (void)caption; }
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

    RunResult lastResult() const { return lastResult_; }
    // Sources an unattended run could not find.
    const std::vector<std::string>& missingSources() const { return missingSources_; }
    // Everything the last run was asked to do and did not, one short text each:
    // the row it ended at, rows left out, moves, fillers and log records that failed.
    const std::vector<std::string>& undone() const { return undone_; }

private:
    struct Session;
    // nullopt: the walk goes on; a value: the run ended with that result.
    using Outcome = std::optional<RunResult>;

    void run();
    RunResult walk(Session& s);
    Outcome processRow(Session& s, int row);
    Outcome addFiller(Session& s, const std::string& filler);
    void addFileBookmark(Session& s, long page, const std::string& sourcePath,
                         const std::string& outputPath);
    bool moveSource(const std::string& source, const std::string& folder);
    bool pageSelectionsValid();
    std::string rowName(int row, const std::string& fileName) const;
    void setCaption(const std::string& caption);
    void setStatus(int row, const std::string& status);
    void warn(const std::string& text, bool suppressible);
    void closeAll(Session& s, bool exitToo);
    void recordMissing(const std::string& path);

    JobList& jobs_;
    AutomationServer& server_;
    MessageBoxes& messages_;
    AppendLog& log_;
    const FillerFiles& fillers_;
    ReaderCloser& readers_;
    AppendRunHost& host_;
    ConnectionWindow& connection_;
    const RunOptions& options_;

    std::string caption_ = "Append Files";
    bool running_ = false;
    bool stopRequested_ = false;
    RunResult lastResult_ = RunResult::NotRun;
    std::vector<std::string> missingSources_;
    std::vector<std::string> undone_;
    int currentRow_ = -1;
    std::string currentFile_;
    std::set<std::string> unreadableFillers_;
};

} // namespace fb
