#pragma once
#include "common/Messages.h"
#include "engine/Automation.h"
#include "common/FillerFiles.h"
#include "engine/ProcessCloser.h"
#include "engine/RunFiles.h"
#include "jobs/JobEntry.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fb {

struct RunOptions;

// One page as it will stand in an output: the file it first came from and its
// 1-based page number there.
struct PlannedPage {
    std::string file;
    long page = 0;
    bool operator==(const PlannedPage&) const = default;
};

// Pages first..last (1-based) of one source, inserted as one run.
struct PlannedRun {
    std::string source;
    long first = 0;
    long last = 0;
    bool keepBookmarks = false;
};

struct PlannedBookmark {
    long page = 0; // 1-based, in the output
    std::string title;
};

// One save of an output: what the row (and its fillers) add to it.
struct PlannedOutput {
    std::string path;
    bool created = false;
    long pagesBefore = 0;
    std::vector<PlannedRun> runs;
    std::vector<PlannedBookmark> bookmarks;
    std::vector<PlannedPage> pages; // the whole output once saved
};

struct PlannedMove {
    std::string from, to;
};

// What a run would do, in the order it would do it. The lines are the
// stable, line-oriented form printed by --dry-run.
struct JobPlan {
    std::vector<std::string> lines;
    std::vector<PlannedOutput> outputs;
    std::vector<PlannedMove> moves;
    std::vector<std::string> logRecords;
    std::vector<std::string> messages;
    std::vector<std::string> notDone;
    // What decides the run's exit code: a row left reading "Processing" (the
    // run failed part way), or a run that did not do all it was asked.
    bool leftProcessing = false;
    bool incomplete = false;
    int exitCode = 0;

    void add(const std::string& keyword, const std::string& rest);
    // The plan's last line: the exit code the run would give.
    void end(int code)
    {
        exitCode = code;
        add("exit", std::to_string(code));
    }
    std::string text() const;
};

// The pretend file system and documents of a plan: files the run would write,
// copy or remove are kept here; everything else is read from the real disk,
// which is never changed.
class PlanWorld : public RunFiles {
public:
    explicit PlanWorld(JobPlan& plan);
    ~PlanWorld() override;

    // The page-work server whose documents live in this world.
    AutomationServer& server();

    bool canOpenForReading(const std::string& path) override;
    int openError(const std::string& path) override;
    bool isRegularFile(const std::string& path) override;
    bool isReadableRegularFile(const std::string& path) override;
    bool pathExists(const std::string& path) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    bool sameContent(const std::string& a, const std::string& b) override;
    bool canReplace(const std::string& path) override;
    bool writableOrAbsent(const std::string& path) override;
    bool createFolderOneLevel(const std::string& path) override;
    bool copyFileReplacing(const std::string& from, const std::string& to) override;
    bool copyFileNoReplace(const std::string& from, const std::string& to) override;
    bool removeFile(const std::string& path) override;
    // A plan changes nothing, so it neither waits for nor takes a real lock.
    FileLock lockOutput(const std::string&, const LockWait&) override { return FileLock::untracked(); }
    bool openLog(AppendLog& log) override;
    bool writeLogRecord(AppendLog& log, const std::string& output, const std::string& source) override;

    // The pages of a PDF as the world holds it; nullopt when it would not open.
    std::optional<std::vector<PlannedPage>> openPages(const std::string& path);
    // A save of an output: false when the real save could not write there.
    bool save(const std::string& path, PlannedOutput output);

    JobPlan& plan() { return plan_; }

private:
    struct File {
        std::optional<std::vector<PlannedPage>> pages; // a saved PDF
        std::string contentOf;                         // else a copy of this real file
        std::string token;                             // equal tokens: equal bytes
    };
    std::string key(const std::string& path) const;
    const File* made(const std::string& path) const;
    bool removed(const std::string& path) const;
    bool exists(const std::string& path);
    bool folderWritable(const std::string& folder);
    bool copy(const std::string& from, const std::string& to, bool replace);
    std::string tokenOf(const std::string& path);

    JobPlan& plan_;
    std::map<std::string, File> made_;
    std::set<std::string> removed_;
    std::set<std::string> folders_;
    std::map<std::string, std::optional<std::vector<PlannedPage>>> realPages_;
    std::optional<PlannedMove> lastCopy_;
    int saves_ = 0;
    std::unique_ptr<AutomationServer> server_;
};

// Message boxes of a plan: written into it, answered with their defaults.
class PlanMessages : public MessageBoxes {
public:
    explicit PlanMessages(JobPlan& plan) : plan_(plan) {}
    MessageAnswer show(const std::string& text, const std::string& caption, MessageButtons buttons,
                       MessageIcon icon) override;

private:
    JobPlan& plan_;
};

// A plan closes no programs.
class PlanReaderCloser : public ReaderCloser {
public:
    void closeReaders() override {}
};

// The plan of a run over these rows (as the job list holds them), worked out by
// the append run itself against a PlanWorld. Nothing on disk is changed.
JobPlan planRows(const std::vector<JobEntry>& rows, const FillerFiles& fillers, const RunOptions& options,
                 const std::string& logPath);

} // namespace fb
