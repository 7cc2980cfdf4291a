#pragma once
#include <QDockWidget>

class QMainWindow;
class QTableView;

namespace fb {

class JobList;
class PagePreview;

// A panel beside the job list showing the selected row's pages: the source with
// its selection marked, or the output as it stands when the row appends to an
// existing one. Shown or hidden from the Window menu; the choice is remembered.
class PreviewPanel : public QDockWidget {
    Q_OBJECT
public:
    PreviewPanel(QMainWindow* window, JobList& jobs, QTableView* list);

    PagePreview* preview() const { return preview_; }
    // What the panel shows now: "" for nothing.
    const std::string& shownPath() const { return shownPath_; }
    void showRow(int row);

    // Where the panel's state is kept: $MERVO_CONFIG_DIR, else the user's config folder.
    static QString stateFile();

private:
    void refresh();

    JobList& jobs_;
    PagePreview* preview_;
    std::string shownPath_;
};

} // namespace fb
