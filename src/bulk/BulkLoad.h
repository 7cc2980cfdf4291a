#pragma once
#include "common/EventPump.h"
#include "common/FolderChooser.h"
#include "common/Messages.h"
#include "jobs/JobList.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace fb {

// "Bulk Load Options": kept for the life of the program, never saved.
struct GroupingSettings {
    std::string outputDirectory;
    std::string suffix;
};

// "Bulk Load To One Output File".
struct OneOutputSettings {
    std::string oneOutputFile;
    std::string containsText;
    bool removeExisting = true;
};

// The two option dialogs. Each edits the settings it is given in place: OK
// stores the fields, and Browse and the check box store them too, so their
// values stay even when the dialog then ends with Cancel. False is Cancel.
class BulkLoadOptionsPrompt {
public:
    virtual ~BulkLoadOptionsPrompt() = default;
    virtual bool askGrouping(GroupingSettings& settings) = 0;
    virtual bool askOneOutput(OneOutputSettings& settings) = 0;
};

// Nobody to ask: Cancel.
class CancelBulkLoadOptionsPrompt : public BulkLoadOptionsPrompt {
public:
    bool askGrouping(GroupingSettings&) override { return false; }
    bool askOneOutput(OneOutputSettings&) override { return false; }
};

// The "Scanning" window as the walk sees it. It exists only during a walk;
// destroying it closes the window.
class ScanProgress {
public:
    virtual ~ScanProgress() = default;
    virtual void showFolder(const std::string& folder) = 0;
    virtual void showFilesAdded(int count) = 0;
    virtual bool stopRequested() const = 0;
    // Stop from outside the window (the program closing): hide and stop.
    virtual void requestStop() = 0;
};

// A progress window that nobody sees; only requestStop() sets its stop.
class SilentScanProgress : public ScanProgress {
public:
    void showFolder(const std::string&) override {}
    void showFilesAdded(int) override {}
    bool stopRequested() const override { return stop_; }
    void requestStop() override { stop_ = true; }

private:
    bool stop_ = false;
};

struct BulkLoadServices {
    JobList& jobs;
    MessageBoxes& messages;
    FolderChooser& folders;
    BulkLoadOptionsPrompt& options;
    EventPump& pump;
    // Creates and shows the "Scanning" window; empty: a silent one.
    std::function<std::unique_ptr<ScanProgress>()> openProgress;
    // Sizes the list's "Filename" column to its longest text.
    std::function<void()> fitFileNameColumn;
    // How long the walk runs between two turns of the window: each turn
    // repaints the "Scanning" window, which costs far more than an entry.
    std::chrono::milliseconds turnEvery{25};
};

// Fills the job list from a folder tree, one row per PDF found, in walk order.
class BulkLoader {
public:
    explicit BulkLoader(BulkLoadServices services);

    // The two "File" menu commands.
    void BulkLoadGrouping();
    void BulkLoadToOneOutput();

    // Walk one folder and, depth-first, its sub-folders, adding rows; outside
    // a command they run without a progress window.
    void WalkFolderGrouping(const std::string& folder, const std::string& extension, bool recurse);
    void WalkFolderOneOutput(const std::string& folder, const std::string& extension, bool recurse,
                             const std::string& contains);

    GroupingSettings& groupingSettings() { return grouping_; }
    OneOutputSettings& oneOutputSettings() { return oneOutput_; }

    bool walking() const { return progress_ != nullptr; }
    // Ends a running walk at its next check (the window is closing).
    void stopWalk();
    // Files added by the current or last walk.
    int filesAdded() const { return added_; }

private:
    enum class Mode { Grouping, OneOutput };
    void run(Mode mode);
    void walk(const std::string& folder, const std::string& extension, bool recurse, Mode mode,
              const std::string& contains);
    void addFile(const std::string& folder, const std::string& name, const std::string& extension, Mode mode,
                 const std::string& contains);
    // The "Scanning" window's Stop, or the main window's Escape.
    bool stopRequested() const
    {
        return services_.jobs.loadStopped() || (progress_ && progress_->stopRequested());
    }
    // Shows the folder and gives the window a turn, at most once a slice.
    void turn(const std::string& folder);

    BulkLoadServices services_;
    GroupingSettings grouping_;
    OneOutputSettings oneOutput_;
    std::unique_ptr<ScanProgress> progress_;
    int added_ = 0;
    std::chrono::steady_clock::time_point lastTurn_;
};

// folder + "/" + name, without doubling the slash of the root folder.
std::string joinPath(const std::string& folder, const std::string& name);

// The output a grouping row gets for a source file title: the title with
// every ".pdf" and then every ".PDF" removed, the suffix and ".pdf", inside the
// output directory (whose own name is kept as the user chose it).
std::string groupingOutputName(const std::string& outputDirectory, const std::string& title,
                               const std::string& suffix);

} // namespace fb
