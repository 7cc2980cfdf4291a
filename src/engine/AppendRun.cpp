#include "engine/AppendRun.h"

#include "engine/Automation.h"
#include "engine/ProcessCloser.h"
#include "jobs/JobEntry.h"
#include "jobs/JobList.h"
#include "log/AppendLog.h"
#include "pages/PageSpec.h"
#include "common/FileLock.h"
#include "common/Messages.h"
#include "common/Files.h"
#include "common/StopSignals.h"
#include "common/Text.h"
#include "common/Trace.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>

namespace fb {

namespace {

const char* const kIdle = "Append Files";
const char* const kRunning = "Stop";

const char* const kConnectFailed =
    "Failed to connect to full version of Acrobat 4 or greater\n\n"
    "Please either re-install Acrobat or run Acrobat to force this software to use what's running.\n\n"
    "NOTE: This software will not work with Acrobat Reader or Adobe Reader.";
const char* const kNoAVDoc = "Failed to create AVDoc - Ensure that you have installed Full Acrobat";
const char* const kNoOutputPDDoc =
    "Failed to create PDDoc - Ensure that you have installed Full Acrobat after Reader";
const char* const kNoPDDoc = "Failed to create PDDoc - Ensure that you have installed Full Acrobat";
const char* const kCreateFailed =
    "Unable to create new file, if Adobe Reader is running then that is the reason why, Adobe Reader "
    "will be closed, please start Adobe Acrobat and try again.\n"
    "by default when you open a pdf it uses the last used program to open it with.";
const char* const kOpenFailed = "Error Opening File : ";
const char* const kInsertFailed = "Error! can't insert pages";
const char* const kFillerInsertFailed =
    "Error! can't insert pages\nPlease make sure Acrobat is running NOT Adobe Reader";
const char* const kCloseFailed = "Failed to get Close doc";
const char* const kSaveFailed = "Failed to save file: ";
const char* const kNoBookmark = "Failed to create PDBookmark object";
// How long a row waits for another run to let go of its output.
constexpr std::chrono::seconds kOutputLockWait{300};
// How often a row reads its output again after something that takes no lock
// replaced it under the row, before the row gives up.
constexpr int kMaxRereads = 10;
// How many numbered names a moved file may try before the move is given up.
constexpr int kMaxNumberedNames = 9999;
// Acrobat's save type for a full save with garbage collection; the qpdf layer
// picks an update or a whole file itself.
constexpr short kSaveFullCollectGarbage = 33;
// The beep of a failed connection.
constexpr int kNoServerBeepHz = 2500;
constexpr int kNoServerBeepMs = 400;

// Two passes, so that a run of up to four slashes becomes one.
std::string collapseDoubleSlashes(std::string path)
{
    for (int pass = 0; pass < 2; ++pass) {
        std::string out;
        out.reserve(path.size());
        for (std::size_t i = 0; i < path.size(); ++i) {
            if (path[i] == '/' && i + 1 < path.size() && path[i + 1] == '/') {
                out += '/';
                ++i;
            } else {
                out += path[i];
            }
        }
        path = std::move(out);
    }
    return path;
}

} // namespace

struct AppendRun::Session {
    std::shared_ptr<App> app;
    std::shared_ptr<AVDoc> avdoc;
    std::shared_ptr<PDDoc> output;
    std::shared_ptr<PDDoc> source;
    bool connectionShown = false;
};

AppendRun::AppendRun(JobList& jobs, AutomationServer& server, MessageBoxes& messages, AppendLog& log,
                     const FillerFiles& fillers, ReaderCloser& readers, AppendRunHost& host,
                     ConnectionWindow& connection, const RunOptions& options)
    : jobs_(jobs), server_(server), messages_(messages), log_(log), fillers_(fillers), readers_(readers),
      host_(host), connection_(connection), options_(options)
{
}

AppendRun::~AppendRun() = default;

void AppendRunHost::notice(const std::string& text)
{
    // Names an output, which comes from a job line: shown escaped, as every stderr line is.
    StderrMessageBoxes().show(text, applicationName());
}

void AppendRun::click()
{
    if (running_) {
        // Entered again from the run's own message pumping.
        stopRequested_ = true;
        setCaption(kIdle);
        return;
    }
    stopRequested_ = false;
    if (jobs_.rowCount() == 0) return;
    if (caption_ == kRunning) {
        stopRequested_ = true;
        setCaption(kIdle);
        return;
    }
    run();
}

void AppendRun::setCaption(const std::string& caption)
{
    if (caption_ == caption) return;
    caption_ = caption;
    host_.captionChanged(caption_);
}

void AppendRun::setStatus(int row, const std::string& status)
{
    // The list stays editable during the run; a row removed meanwhile is left alone.
    if (row < 0 || row >= jobs_.rowCount()) return;
    jobs_.setText(row, kStatus, status);
    if (tracing()) trace(rowName(row, jobs_.text(row, kFileName)) + ": " + status);
}

void AppendRun::warn(const std::string& text, bool suppressible, const std::string& reason)
{
    if (suppressible && options_.quietMode) return;
    messages_.showWithReason(text, applicationName(), reason, MessageButtons::Ok, MessageIcon::Warning);
}

void AppendRun::fail(const std::string& text, bool suppressible, const std::string& reason)
{
    warn(text, suppressible, reason);
    trace("failed: " + MessageBoxes::withReason(text, reason));
    // A message not shown goes into the closing line, which is then all a
    // quiet run says; one that was shown is not said twice.
    failure_.clear();
    if (suppressible && options_.quietMode) failure_ = onOneLine(MessageBoxes::withReason(text, reason));
}

void AppendRun::closeAll(Session& s, bool exitToo)
{
    if (!s.app) return;
    s.app->CloseAllDocs();
    if (exitToo) s.app->Exit();
}

bool AppendRun::stopping() const
{
    return stopRequested_ || stopSignal() != 0;
}

void AppendRun::recordMissing(const std::string& path)
{
    // Said once, in the unattended run's closing line, with the reason: a file
    // that is there but may not be read is not "not found".
    missingSources_.push_back(path);
    const int why = files_->openError(path);
    if (why == ENOENT || why == 0)
        undone_.push_back("source file not found: " + path);
    else
        undone_.push_back("source file can't be read: " + path + " (" + std::strerror(why) + ")");
}

std::string AppendRun::rowName(int row, const std::string& fileName) const
{
    return "row " + std::to_string(row + 1) + " (" + fileName + ")";
}

void AppendRun::run()
{
    running_ = true;
    lastResult_ = RunResult::Failed;
    missingSources_.clear();
    undone_.clear();
    unreadableFillers_.clear();
    waitNoticed_.clear();
    currentRow_ = -1;
    currentFile_.clear();
    rowsDone_ = 0;
    rowsToRun_ = 0;
    for (int i = 0; i < jobs_.rowCount(); ++i)
        rowsToRun_ += jobs_.takesPartInRun(i);
    host_.runProgress(true, 0, rowsToRun_);
    failure_.clear();

    Session s;
    try {
        lastResult_ = walk(s);
    } catch (const std::exception& e) {
        lastResult_ = RunResult::Failed;
        if (s.connectionShown) {
            connection_.hide();
            s.connectionShown = false;
        }
        messages_.show(std::string("Acrobat automation error: ") + e.what(), applicationName(),
                       MessageButtons::Ok, MessageIcon::Warning);
        try {
            closeAll(s, true);
        } catch (const std::exception& again) {
            // The server is already failing; there is nothing more to ask of it.
            trace(std::string("closing: ") + again.what());
        }
    } catch (...) {
        // The run pumps the window's events, whose handlers may throw anything.
        lastResult_ = RunResult::Failed;
        if (s.connectionShown) connection_.hide();
        messages_.show("Acrobat automation error: unknown error", applicationName(), MessageButtons::Ok,
                       MessageIcon::Warning);
        try {
            closeAll(s, true);
        } catch (...) {
            // Already failing with something unknown; the message above was given.
        }
    }
    s = Session{};
    if (lastResult_ == RunResult::Failed || lastResult_ == RunResult::Stopped) {
        const std::string how = lastResult_ == RunResult::Stopped ? "stopped" : "ended";
        if (currentRow_ >= 0)
            undone_.push_back("the run " + how + " at " + rowName(currentRow_, currentFile_) +
                              (failure_.empty() ? "" : " (" + failure_ + ")") +
                              "; the rows after it were not processed");
        else if (undone_.empty())
            undone_.push_back("the run " + how + " before any row was processed");
    }
    setCaption(kIdle);
    running_ = false;
    host_.runProgress(false, rowsDone_, rowsToRun_);
}

RunResult AppendRun::walk(Session& s)
{
    readers_.closeReaders();
    setCaption(kRunning);

    if (!options_.noConnectionWindow) {
        connection_.show();
        s.connectionShown = true;
    }
    s.app = server_.createApp();
    if (!s.app) host_.beep(kNoServerBeepHz, kNoServerBeepMs);
    if (s.connectionShown) {
        connection_.hide();
        s.connectionShown = false;
    }
    if (!s.app) return failed(s, kConnectFailed, false, Closing::Nothing);

    s.avdoc = server_.createAVDoc();
    if (!s.avdoc) return failed(s, kNoAVDoc, false, Closing::Nothing);
    s.output = server_.createPDDoc();
    if (!s.output) return failed(s, kNoOutputPDDoc, false, Closing::Nothing);
    s.source = server_.createPDDoc();
    if (!s.source) return failed(s, kNoPDDoc, false, Closing::Nothing);

    for (int i = 0; i < jobs_.rowCount(); ++i) {
        if (Outcome end = processRow(s, i)) return *end;
        s.output = server_.createPDDoc();
        if (!s.output) return failed(s, kNoPDDoc, false, Closing::Nothing);
    }

    closeAll(s, true);
    if (options_.argumentCount == 0)
        messages_.show("Done.", "Folioband Batch", MessageButtons::Ok, MessageIcon::None);
    return RunResult::Completed;
}

RunResult AppendRun::failed(Session& s, const std::string& text, bool suppressible, Closing closing,
                            const std::string& reason, int stoppedRow)
{
    fail(text, suppressible, reason);
    if (stoppedRow >= 0) setStatus(stoppedRow, "Stopped");
    if (closing == Closing::Documents) closeAll(s, false);
    if (closing == Closing::Server) closeAll(s, true);
    return RunResult::Failed;
}

AppendRun::Outcome AppendRun::processRow(Session& s, int i)
{
    host_.dispatchOnePending();
    if (i >= jobs_.rowCount()) return std::nullopt; // removed meanwhile: the walk ends normally

    // A copy: the list may change under us whenever a message is dispatched.
    const JobEntry row = jobs_.entry(i);
    if (!row.takesPartInRun()) {
        noteLeftOut(i, row);
        return std::nullopt;
    }
    currentRow_ = i;
    currentFile_ = row.fileName;

    setStatus(i, "Processing");
    host_.repaintNow();
    const PageRunList runs = expandPageSpec(row.appendParameters, parseLeadingInt(row.pages));

    host_.dispatchOnePending();
    if (stopping()) {
        setStatus(i, "Stopped");
        return RunResult::Stopped;
    }
    const std::string output = collapseDoubleSlashes(row.outputFile);
    if (Outcome end = checkRow(s, i, row, runs, output)) return end;
    if (Outcome end = writeLocked(s, i, row, runs, output)) return end;
    return finishRow(s, i, row);
}

void AppendRun::noteLeftOut(int i, const JobEntry& row)
{
    if (options_.argumentCount > 0 && row.selected != "Yes" && row.status == "No File.")
        recordMissing(row.fileName);
    if (row.selected == "Yes")
        undone_.push_back(rowName(i, row.fileName) + " left out: no " +
                          (row.appendParameters.empty() ? "page selection" : "output file"));
}

// Everything refused here is refused before this row touches any file.
AppendRun::Outcome AppendRun::checkRow(Session& s, int i, const JobEntry& row, const PageRunList& runs,
                                       const std::string& output)
{
    const std::string& source = row.fileName;
    if (!canOpenForReading(source)) {
        setStatus(i, "Stopped");
        recordMissing(source);
        closeAll(s, true);
        return RunResult::Stopped;
    }
    // A FIFO or device would block the PDF layer's open for ever.
    if (!isRegularFile(source))
        return failed(s, kOpenFailed + source, true, Closing::Server, "not a regular file");
    // A selection that takes nothing valid would still save the output
    // (replacing an old one) and move the source: the run ends here instead;
    // the rows before it stay done.
    if (auto error = validatePageRuns(runs, parseLeadingInt(row.pages))) {
        if (!options_.quietMode)
            messages_.show(*error + "\n" + source, "Error in parameters", MessageButtons::Ok,
                           MessageIcon::Warning);
        undone_.push_back(rowName(i, source) + ": page selection \"" + row.appendParameters + "\" refused (" +
                          *error + ")");
        setStatus(i, "Stopped");
        closeAll(s, true);
        return RunResult::Failed;
    }
    // Inserting a file into itself and saving over it would destroy the source.
    if (source == output || sameFile(source, output))
        return failed(s, "The output file is the same as the source file: " + output, false, Closing::Server,
                      {}, i);
    // A file the runner may not write is never replaced behind its owner's
    // back (root may, as the system lets it).
    if (!writableOrAbsent(output))
        return failed(s, kSaveFailed + output, true, Closing::Server, reasonText(errno), i);
    return std::nullopt;
}

// Other runs may write the same output at the same time. The row holds the
// output's lock from reading it to its log record; when something that does
// not take the lock replaced the output meanwhile, the row reads the new
// version and does its work again rather than overwrite it.
AppendRun::Outcome AppendRun::writeLocked(Session& s, int i, const JobEntry& row, const PageRunList& runs,
                                          const std::string& output)
{
    FileLock lock;
    for (int attempt = 1;; ++attempt) {
        if (Outcome end = lockOutput(s, i, output, lock)) return end;
        bool replaced = false;
        if (Outcome end = writeOutput(s, i, row, runs, output, lock, replaced)) return end;
        if (!replaced) return std::nullopt;
        lock.release();
        if (attempt == kMaxRereads) {
            warn(kSaveFailed + output + "\nanother program replaced it " + std::to_string(attempt) +
                     " times while this row was written",
                 true);
            undone_.push_back(output + " kept being replaced by another program");
            closeAll(s, false);
            return RunResult::Failed;
        }
        s.output = server_.createPDDoc();
        if (!s.output) return failed(s, kNoPDDoc, false, Closing::Nothing);
    }
}

AppendRun::Outcome AppendRun::finishRow(Session& s, int i, const JobEntry& row)
{
    const std::string& source = row.fileName;
    host_.dispatchOnePending();
    setStatus(i, "Done");
    host_.runProgress(true, ++rowsDone_, rowsToRun_);

    if (stopping()) {
        if (!row.moveToDirectory.empty())
            undone_.push_back(source + " not moved to " + row.moveToDirectory + " (stopped)");
        closeAll(s, false);
        return RunResult::Stopped;
    }

    host_.dispatchOnePending();
    if (!row.moveToDirectory.empty() && !moveSource(source, row.moveToDirectory))
        undone_.push_back(source + " not moved to " + row.moveToDirectory);
    host_.dispatchOnePending();
    return std::nullopt;
}

AppendRun::Outcome AppendRun::lockOutput(Session& s, int i, const std::string& output, FileLock& lock)
{
    LockWait wait;
    wait.limit = kOutputLockWait;
    wait.onWait = [&] {
        // Runs that share an output take turns row by row: one notice a run is enough.
        if (!waitNoticed_.insert(output).second) return;
        host_.notice(output + " is being written by another run; waiting for it (at most " +
                     std::to_string(kOutputLockWait.count()) + " seconds)");
    };
    // The window stays alive while we wait, and Stop ends the wait.
    wait.keepWaiting = [&] {
        host_.dispatchOnePending();
        return !stopRequested_;
    };
    lock = files_->lockOutput(output, wait);
    if (lock.state() == FileLock::State::Unlocked && lock.error() != 0)
        host_.notice("cannot lock " + output + " (" + std::strerror(lock.error()) +
                     "); a run writing it at the same time would be noticed only before the save");
    if (lock.state() != FileLock::State::Failed) return std::nullopt;
    if (lock.error() == ECANCELED) {
        setStatus(i, "Stopped");
        return RunResult::Stopped;
    }
    const std::string why = lock.error() == ETIMEDOUT
                                ? "another run kept it locked for more than " +
                                      std::to_string(kOutputLockWait.count()) + " seconds"
                                : std::string("cannot lock it: ") + std::strerror(lock.error());
    warn(kOpenFailed + output + "\n" + why, true);
    undone_.push_back(output + ": " + why);
    closeAll(s, true);
    return RunResult::Failed;
}

// Steps from reading the output to its log record, under the output's lock.
// replaced: the output is not the version read any more and nothing was
// saved; the caller reads it again.
AppendRun::Outcome AppendRun::writeOutput(Session& s, int i, const JobEntry& row, const PageRunList& runs,
                                          const std::string& output, FileLock& lock, bool& replaced)
{
    const std::string& source = row.fileName;
    if (Outcome end = openOutput(s, row, output)) return end;
    if (Outcome end = insertRuns(s, row, runs, output)) return end;

    const std::string folder = folderPartWithSlash(output);
    if (!folder.empty()) createFolderOneLevel(folder);

    if (isFillerSet(fillers_.oddEveryFile)) {
        if (Outcome end = addFiller(s, fillers_.oddEveryFile)) return end;
    }
    if (i + 1 == jobs_.rowCount() && isFillerSet(fillers_.oddFinalFile)) {
        if (Outcome end = addFiller(s, fillers_.oddFinalFile)) return end;
    }

    if (Outcome end = saveOutput(s, output, lock, replaced)) return end;
    if (replaced) return std::nullopt;
    writeLog(output, source);
    return std::nullopt;
}

AppendRun::Outcome AppendRun::openOutput(Session& s, const JobEntry& row, const std::string& output)
{
    const bool outputExists = canOpenForReading(output);
    const bool makeNew = row.createNew == "Y" || !outputExists;
    if (!makeNew) {
        if (!isRegularFile(output))
            return failed(s, kOpenFailed + output, true, Closing::Server, "not a regular file");
        if (!s.output->Open(output))
            return failed(s, kOpenFailed + output, true, Closing::Server, s.output->lastFailure());
        return std::nullopt;
    }
    // The old output is replaced only by the save, so any failure before it
    // leaves the old file as it was.
    if (pathExists(output) && !canReplace(output)) {
        if (!options_.quietMode)
            messages_.show("Unable to remove file: " + output +
                               "\nPlease check acrobat.exe isn't running in taskmanager.",
                           applicationName(), MessageButtons::Ok, MessageIcon::None);
        return RunResult::Failed;
    }
    try {
        s.output->Create();
    } catch (const std::exception&) {
        failed(s, kCreateFailed, false, Closing::Server);
        readers_.closeReaders();
        return RunResult::Failed;
    }
    return std::nullopt;
}

// Opens the source, copies its page runs (each with its file-name bookmark
// when asked) and closes it again.
AppendRun::Outcome AppendRun::insertRuns(Session& s, const JobEntry& row, const PageRunList& runs,
                                         const std::string& output)
{
    const std::string& source = row.fileName;
    if (!s.source->Open(source))
        return failed(s, kOpenFailed + source, true, Closing::Server, s.source->lastFailure());

    const long bookmarkFlag = row.keepBookmarks == "Y" ? 1 : 0;
    for (const PageRun& r : runs) {
        const long n = s.output->GetNumPages();
        const long count = static_cast<long>(r.last) - static_cast<long>(r.first) + 1;
        if (!s.output->InsertPages(n - 1, *s.source, static_cast<long>(r.first) - 1, count, bookmarkFlag))
            return failed(s, kInsertFailed, true, Closing::Documents, s.output->lastFailure());
        if (row.bookmarkFilename == "Y") addFileBookmark(s, n, source, output);
    }
    if (!s.source->Close()) return failed(s, kCloseFailed, true, Closing::Documents);
    return std::nullopt;
}

AppendRun::Outcome AppendRun::saveOutput(Session& s, const std::string& output, FileLock& lock,
                                         bool& replaced)
{
    if (!s.output->Save(kSaveFullCollectGarbage, output)) {
        if (!lock.stillCurrent()) {
            // Left as it was: the new version was never put in its place.
            s.output->Close();
            s.output.reset();
            replaced = true;
            return std::nullopt;
        }
        return failed(s, kSaveFailed + output, true, Closing::Documents, s.output->lastFailure());
    }

    const long closed = s.output->Close();
    s.output.reset();
    if (!closed)
        return failed(s, kCloseFailed, false, options_.quietMode ? Closing::Nothing : Closing::Documents);
    return std::nullopt;
}

void AppendRun::writeLog(const std::string& output, const std::string& source)
{
    if (files_->writeLogRecord(log_, output, source)) return;
    const std::string why = reasonText(errno);
    warn("Unable to write the record for " + output + " to " + log_.path(), true, why);
    undone_.push_back("no log record written for " + output + (options_.quietMode ? " (" + why + ")" : ""));
}

void AppendRun::addFileBookmark(Session& s, long page, const std::string& sourcePath,
                                const std::string& outputPath)
{
    std::shared_ptr<AVDoc> av = s.output->OpenAVDoc(outputPath);
    if (!av) return;
    s.avdoc = av;
    std::shared_ptr<AVPageView> view = s.avdoc->GetAVPageView();
    if (!view) return;
    view->GoTo(page);
    if (!s.app->MenuItemExecute("NewBookmark")) return;
    std::shared_ptr<PDBookmark> bookmark = server_.createPDBookmark();
    if (!bookmark) {
        warn(kNoBookmark, false);
        return;
    }
    if (bookmark->GetByTitle(*s.output, "Untitled")) bookmark->SetTitle(fileTitle(sourcePath));
}

AppendRun::Outcome AppendRun::addFiller(Session& s, const std::string& filler)
{
    // Only a regular file: a FIFO or device would block the open for ever.
    if (!isReadableRegularFile(filler)) {
        // Said once per run, not once for every row that would have used it.
        if (!unreadableFillers_.insert(filler).second) return std::nullopt;
        warn("Unable to open file: " + filler, false);
        undone_.push_back("filler file " + filler + " could not be read and was not added");
        return std::nullopt;
    }
    const long p = s.output->GetNumPages();
    if (p % 2 != 1) return std::nullopt;
    if (!s.source->Open(filler))
        return failed(s, kOpenFailed + filler, false, Closing::Documents, s.source->lastFailure());
    if (!s.output->InsertPages(p - 1, *s.source, 0, s.source->GetNumPages(), 0))
        return failed(s, kFillerInsertFailed, false, Closing::Documents, s.output->lastFailure());
    if (!s.source->Close()) return failed(s, kCloseFailed, false, Closing::Documents);
    return std::nullopt;
}

bool AppendRun::moveSource(const std::string& source, const std::string& folder)
{
    createFolderOneLevel(folder);
    std::string base = folder;
    if (base.back() != '/') base += '/';
    const std::string destination = base + fileTitle(source);
    if (sameFile(source, destination)) return true; // already where it should go

    // A different file already there is never replaced: the source takes the
    // first free name "a (2).pdf", "a (3).pdf", ... beside it.
    std::string movedTo = destination;
    bool copied = false;
    if (sameContent(source, destination)) {
        copied = copyFileReplacing(source, destination);
    } else {
        // Never replacing, even a file that appears meanwhile.
        copied = copyFileNoReplace(source, destination);
        for (int n = 2; !copied && errno == EEXIST && n <= kMaxNumberedNames; ++n) {
            movedTo = base + numberedFileName(fileTitle(source), n);
            copied = copyFileNoReplace(source, movedTo);
        }
    }
    if (!copied) {
        // Reported even under -e: the source stays where it was, which a script must learn.
        messages_.show("Unable to move file: " + source + " to " + destination + "\n" + reasonText(errno),
                       applicationName(), MessageButtons::Ok, MessageIcon::Warning);
        return false;
    }
    if (movedTo != destination)
        messages_.show(destination + " already holds another file; " + source + " was moved to " + movedTo,
                       applicationName(), MessageButtons::Ok, MessageIcon::Information);
    if (!removeFile(source)) {
        messages_.show("Unable to remove file: " + source + " after copying it to " + movedTo + "\n" +
                           reasonText(errno),
                       applicationName(), MessageButtons::Ok, MessageIcon::Warning);
        return false;
    }
    return true;
}

} // namespace fb
