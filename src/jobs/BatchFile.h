#pragma once
#include "jobs/JobList.h"
#include "common/FileDialogs.h"
#include "common/Messages.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fb {

// One batch line: ten fields joined by "; ", "~" before an unselected row's
// file name, ending in CR CR LF.
std::string formatBatchLine(const JobEntry& entry);

// Fields 1 to 10 of a line whose line end is already gone: cut at every ";",
// leading blanks dropped, missing fields empty, pieces after the tenth ignored.
std::vector<std::string> splitBatchLine(std::string_view line);

// Saving, loading and appending job lists as ".app" batch files.
class BatchFiles {
public:
    BatchFiles(JobList& jobs, MessageBoxes& messages, FileDialogs& dialogs);

    void setQuietMode(bool on) { quiet_ = on; }
    void setTitleListener(std::function<void(const std::string&)> listener)
    {
        titleListener_ = std::move(listener);
    }

    void readBatchFile(const std::string& path);
    void loadBatchFile();
    void appendBatchFile();
    void saveBatchFile();
    void saveBatchFileAs();

    // What reading batch files left undone since the last call: files that
    // could not be read, lines that were skipped.
    std::vector<std::string> takeUndone();

    const std::string& currentBatchPath() const { return currentPath_; }
    std::string windowTitle() const { return "Folioband  [" + currentPath_ + "]"; }

private:
    void setCurrentPath(const std::string& path);
    void addLine(const std::string& line, const std::string& path, int lineNumber, bool tooLong);
    void readLines(const std::string& path, bool firstLineOnly);
    bool write(const std::string& path, bool alwaysConfirm);

    JobList& jobs_;
    MessageBoxes& messages_;
    FileDialogs& dialogs_;
    bool quiet_ = false;
    std::string currentPath_;
    std::vector<std::string> undone_;
    std::function<void(const std::string&)> titleListener_;
};

} // namespace fb
