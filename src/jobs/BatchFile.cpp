#include "jobs/BatchFile.h"

#include "common/Files.h"
#include "common/LineReader.h"
#include "common/StopSignals.h"
#include "common/Text.h"

#include <cerrno>

namespace fb {

namespace {
constexpr int kBatchFields = 10;
// The batch fields in file order: every column but "Selected".
constexpr int kFieldColumns[kBatchFields] = {kFileName,        kAppendParameters, kPages,         kStatus,
                                             kMoveToDirectory, kOutputFile,       kKeepBookmarks, kCreateNew,
                                             kAppendExisting,  kBookmarkFilename};

FileDialogRequest batchDialog(const std::string& title, bool mustExist)
{
    return {title, {"*.app", "All Files *.*"}, "JOB", mustExist, ""};
}
} // namespace

std::string formatBatchLine(const JobEntry& entry)
{
    std::string line;
    for (int f = 0; f < kBatchFields; ++f) {
        if (f > 0) line += "; ";
        if (f == 0 && entry.selected == "No") line += "~";
        line += entry.column(kFieldColumns[f]);
    }
    return line + "\r\r\n";
}

std::vector<std::string> splitBatchLine(std::string_view line)
{
    // Every ";" ends a field, so an empty field keeps its place whether it was
    // written as "; ; " or, by hand, as ";;".
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (pieces.size() < kBatchFields) {
        std::size_t end = line.find(';', start);
        if (end == std::string_view::npos) end = line.size();
        pieces.push_back(trimLeft(line.substr(start, end - start)));
        if (end == line.size()) break;
        start = end + 1;
    }
    pieces.resize(kBatchFields);
    return pieces;
}

BatchFiles::BatchFiles(JobList& jobs, MessageBoxes& messages, FileDialogs& dialogs)
    : jobs_(jobs), messages_(messages), dialogs_(dialogs)
{
}

void BatchFiles::setCurrentPath(const std::string& path)
{
    currentPath_ = path;
    if (titleListener_) titleListener_(windowTitle());
}

void BatchFiles::addLine(const std::string& line, const std::string& path, int lineNumber, bool tooLong)
{
    if (line.empty()) return;
    const std::string where = "line " + std::to_string(lineNumber) + " of " + path;
    if (tooLong) {
        if (!quiet_)
            messages_.show("Line " + std::to_string(lineNumber) + " of " + path +
                               " is too long and was skipped",
                           applicationName());
        undone_.push_back(where + " skipped (too long)");
        return;
    }
    std::vector<std::string> f = splitBatchLine(line);
    int selected = 1;
    if (!f[0].empty() && f[0][0] == '~') {
        f[0].erase(0, 1);
        selected = 0;
    }
    if (jobs_.AddJobEntry(f[0], selected, {f[1], f[4], f[5], f[6], f[7], f[8], f[9]}) < 0)
        undone_.push_back(where + " skipped (not a PDF file name: " + f[0] + ")");
}

void BatchFiles::readLines(const std::string& path, bool firstLineOnly)
{
    // Only a regular file is read, so a FIFO, device or folder given as a
    // batch file fails here at once instead of hanging or ending the program.
    errno = 0;
    LineReader in(path);
    if (!in.isOpen()) {
        if (!quiet_) messages_.showWithReason(path, "Can't read append parameters file.", reasonText(errno));
        undone_.push_back("batch file not read: " + path);
        return;
    }
    JobList::LoadScope load(jobs_);
    std::string line;
    int number = 0;
    for (;;) {
        if (stopSignal() != 0) {
            undone_.push_back("batch file not read to its end (stopped): " + path);
            break;
        }
        const LineReader::Result got = in.next(line);
        if (got == LineReader::Result::End) break;
        if (jobs_.loadStopped()) {
            undone_.push_back("reading " + path + " was stopped before line " + std::to_string(number + 1));
            break;
        }
        addLine(line, path, ++number, got == LineReader::Result::TooLong);
        if (firstLineOnly) break;
    }
    if (in.failed()) undone_.push_back("batch file not read to its end: " + path);
    jobs_.notifyTotalItems();
}

std::vector<std::string> BatchFiles::takeUndone()
{
    std::vector<std::string> out;
    out.swap(undone_);
    return out;
}

void BatchFiles::readBatchFile(const std::string& path)
{
    setCurrentPath(path);
    readLines(path, false);
}

void BatchFiles::loadBatchFile()
{
    jobs_.ClearAll();
    auto path = dialogs_.openFile(batchDialog("Open Append Batch File", true));
    if (!path) return;
    readBatchFile(*path);
}

void BatchFiles::appendBatchFile()
{
    auto path = dialogs_.openFile(batchDialog("Open Job File", true));
    if (!path) return;
    setCurrentPath(*path);
    readLines(*path, true);
}

bool BatchFiles::write(const std::string& path, bool alwaysConfirm)
{
    // The format has no escape for ";": such a row would read back shifted.
    for (int row = 0; row < jobs_.rowCount(); ++row) {
        for (int f = 0; f < kBatchFields; ++f) {
            int column = kFieldColumns[f];
            if (jobs_.text(row, column).find(';') != std::string::npos) {
                messages_.show("Row " + std::to_string(row + 1) + " cannot be saved: its " +
                                   columnInfo(column).header +
                                   " field contains \";\", which the batch file format cannot hold.",
                               applicationName(), MessageButtons::Ok, MessageIcon::Warning);
                return false;
            }
        }
    }
    AtomicFileWriter writer(path);
    bool ok = writer.open();
    if (ok) {
        for (int row = 0; row < jobs_.rowCount(); ++row)
            writer.stream() << formatBatchLine(jobs_.entry(row));
        ok = writer.commit();
    }
    if (!ok) {
        if (!quiet_) messages_.showWithReason(path, "Can't write to job file.", writer.failure());
        return false;
    }
    setCurrentPath(path);
    if (alwaysConfirm || !quiet_) messages_.show(path, "Append Parameters Saved OK");
    return true;
}

void BatchFiles::saveBatchFile()
{
    if (jobs_.rowCount() == 0) {
        if (!quiet_) messages_.show("No Files to Save", "Save Error!");
        return;
    }
    if (currentPath_.empty()) currentPath_ = "default.app";
    write(currentPath_, false);
}

void BatchFiles::saveBatchFileAs()
{
    if (jobs_.rowCount() == 0) {
        if (!quiet_) messages_.show("No Files to Save", "Save Error!");
        return;
    }
    FileDialogRequest request{"Save Append Parameters File", {"*.app", "All Files *.*"}, "JOB", false, ""};
    auto path = dialogs_.saveFile(request);
    if (!path) return;
    setCurrentPath(*path);
    write(*path, true);
}

} // namespace fb
