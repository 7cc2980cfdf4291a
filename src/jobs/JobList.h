#pragma once
#include "jobs/JobEntry.h"
#include "jobs/ParametersPrompt.h"
#include "pages/PageCount.h"
#include "common/Messages.h"

#include <string>
#include <vector>

namespace fb {

// Lets a view follow the list; the list itself is the only copy of the rows.
class JobListObserver {
public:
    virtual ~JobListObserver() = default;
    // The "about to" calls come before the list changes, the others after it,
    // so a view can keep its own bookkeeping (selections, scroll position) right.
    virtual void rowsAboutToBeReset() {}
    virtual void rowsReset() {}
    virtual void rowAboutToBeInserted(int) {}
    virtual void rowInserted(int) {}
    virtual void rowAboutToBeRemoved(int) {}
    virtual void rowRemoved(int) {}
    virtual void rowChanged(int) {}
    virtual void repaintNow() {}
    virtual void alwaysShowParametersChanged(bool) {}
    virtual void refreshTotalItems() {}
};

class JobList {
public:
    JobList(MessageBoxes& messages, ParametersPrompt& prompt, AcrobatPageCounter acrobatFallback);

    void setObserver(JobListObserver* observer) { observer_ = observer; }
    // For loaders that add rows in bulk and then want "Total Items:" shown again.
    void notifyTotalItems()
    {
        if (observer_) observer_->refreshTotalItems();
    }

    int rowCount() const { return static_cast<int>(rows_.size()); }
    const JobEntry& entry(int row) const { return rows_.at(row).entry; }
    const std::string& text(int row, int column) const { return entry(row).column(column); }
    void setText(int row, int column, const std::string& text);

    // The list view's own row state.
    bool isRowSelected(int row) const { return rows_.at(row).highlighted; }
    void setRowSelected(int row, bool on);
    int firstSelectedRow() const;
    int selectedRowCount() const;
    void clearSelection();
    int focusedRow() const { return focused_; }
    void setFocusedRow(int row) { focused_ = row; }
    const std::string& iconKey(int row) const { return rows_.at(row).iconKey; }

    int AddJobEntry(const std::string& fileName, int selected, const std::string& appendParameters,
                    const std::string& moveToDirectory, const std::string& outputFile,
                    const std::string& keepBookmarks, const std::string& createNew,
                    const std::string& appendExisting, const std::string& bookmarkFilename);
    void ToggleSelected();
    void UpdateJobEntry(bool forceDialog);
    void DeleteSelectedEntries();
    void ClearAll();
    void MoveEntryUp();
    void MoveEntryDown();
    void SortEntries(int column, bool ascending, int first, int last);
    void RefreshPageCounts();

    // -1 (file can't be opened) also deselects the row, when one is given.
    int rowPageCount(const std::string& path, int row);

    bool alwaysShowParameters() const { return alwaysShowParameters_; }
    void setAlwaysShowParameters(bool on);

private:
    struct Row {
        JobEntry entry;
        bool highlighted = false;
        std::string iconKey;
    };
    void writeParameters(int row, const JobParameters& values);
    void swapRows(int a, int b);
    void notifyChanged(int row);
    void sortRange(int column, bool ascending, int first, int last);

    MessageBoxes& messages_;
    ParametersPrompt& prompt_;
    AcrobatPageCounter acrobatFallback_;
    JobListObserver* observer_ = nullptr;
    std::vector<Row> rows_;
    int focused_ = -1;
    bool alwaysShowParameters_ = true;
};

// The icon key of a file name: its lower-case extension (".pdf"), "" without one.
std::string iconKeyFor(const std::string& fileName);

} // namespace fb
