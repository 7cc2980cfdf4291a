#pragma once
#include "jobs/JobEntry.h"
#include "jobs/ParametersPrompt.h"
#include "pages/PageCount.h"
#include "common/EventPump.h"
#include "common/Messages.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fb {

// Lets views follow the list; the list itself is the only copy of the rows.
// Any number of observers may subscribe; each hears every change, in the
// order they subscribed.
class JobListObserver {
public:
    virtual ~JobListObserver() = default;
    // The "about to" calls come before the list changes, the others after it,
    // so a view can keep its own bookkeeping (selections, scroll position) right.
    virtual void rowsAboutToBeReset() {}
    virtual void rowsReset() {}
    virtual void rowAboutToBeInserted(int) {}
    virtual void rowInserted(int) {}
    virtual void rowChanged(int) {}
    // Only the row's list view state (selected or not) changed, not its texts.
    virtual void rowHighlightChanged(int) {}
    virtual void repaintNow() {}
    virtual void alwaysShowParametersChanged(bool) {}
    virtual void refreshTotalItems() {}
    // A long load began (active), has added more rows, or ended.
    virtual void loadProgress(bool active, int rows) { (void)active, (void)rows; }
};

class JobList {
public:
    JobList(MessageBoxes& messages, ParametersPrompt& prompt, AcrobatPageCounter acrobatFallback);

    void subscribe(JobListObserver* observer);
    void unsubscribe(JobListObserver* observer);
    // For loaders that add rows in bulk and then want "Total Items:" shown again.
    void notifyTotalItems();

    // Long loads (batch files, bulk load, drops, arguments) run on the
    // user-interface thread. Between rows the list hands the pump a turn every
    // few hundredths of a second, so the window keeps answering and shows the
    // count so far; stopLoad() (Escape, Stop) ends the load, keeping its rows.
    // Loads started inside a load join it.
    class LoadScope {
    public:
        explicit LoadScope(JobList& jobs) : jobs_(jobs) { jobs_.beginLoad(); }
        ~LoadScope() { jobs_.endLoad(); }
        LoadScope(const LoadScope&) = delete;
        LoadScope& operator=(const LoadScope&) = delete;

    private:
        JobList& jobs_;
    };
    void setLoadPump(EventPump* pump) { loadPump_ = pump; }
    bool loading() const { return loadDepth_ > 0; }
    void stopLoad();
    bool loadStopped() const { return loadStopped_; }
    // Called between rows; a turn for the pump when one is due.
    void loadPoint();
    // Views that wait for a turn to show new rows show them now.
    void showLoadedRows();

    int rowCount() const { return static_cast<int>(rows_.size()); }
    // A copy: rows are stored compactly, not as JobEntry.
    JobEntry entry(int row) const;
    // JobEntry::takesPartInRun, read from the row's columns without copying the row.
    bool takesPartInRun(int row) const;
    const std::string& text(int row, int column) const;
    void setText(int row, int column, const std::string& text);

    // The list view's own row state.
    bool isRowSelected(int row) const { return rows_.at(row).highlighted; }
    void setRowSelected(int row, bool on);
    int firstSelectedRow() const;
    int selectedRowCount() const;
    void clearSelection();
    int focusedRow() const { return focused_; }
    void setFocusedRow(int row) { focused_ = row; }
    std::string iconKey(int row) const;

    // 1 when the row was added, -1 when it was refused.
    int AddJobEntry(const std::string& fileName, int selected, const RowValues& values);
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
    void moveSelectedBy(int step); // the A and Z keys: one row up or down
    // A million rows must fit in little memory: a row holds its own file
    // name, and every other text as an index into texts_, where each distinct
    // text ("", "Yes", "N", one output path, ...) is kept once.
    struct Row {
        std::string fileName;
        std::uint32_t text[kColumnCount - 1] = {}; // every column but kFileName
        bool highlighted = false;
    };
    static int slot(int column) { return column < kFileName ? column : column - 1; }
    std::uint32_t intern(const std::string& text);
    void forgetTextsIfEmpty();
    void writeParameters(int row, const RowValues& values);
    // Says so when a text is longer than a row field may be.
    bool refuseTooLong(const std::string& what, const std::string& text);
    void notifyChanged(int row);
    void notifyLoadProgress(bool active);
    template <class F> void notify(F&& call);
    void beginLoad();
    void endLoad();
    void sortRange(int column, bool ascending, int first, int last);

    MessageBoxes& messages_;
    ParametersPrompt& prompt_;
    AcrobatPageCounter acrobatFallback_;
    PageCountMemo pageCounts_;
    std::vector<JobListObserver*> observers_;
    int notifying_ = 0; // observers that leave meanwhile are only nulled
    EventPump* loadPump_ = nullptr;
    int loadDepth_ = 0;
    bool loadStopped_ = false;
    std::chrono::steady_clock::time_point lastTurn_;
    std::chrono::steady_clock::duration lastTurnCost_{};
    // A deque: growing it never holds two copies of the rows at once.
    std::deque<Row> rows_;
    std::deque<std::string> texts_{std::string()}; // stable addresses; 0 is ""
    std::unordered_map<std::string_view, std::uint32_t> textIndex_{{std::string_view(), 0}};
    int focused_ = -1;
    bool alwaysShowParameters_ = true;
};

// The icon key of a file name: its lower-case extension (".pdf"), "" without one.
std::string iconKeyFor(const std::string& fileName);

} // namespace fb
