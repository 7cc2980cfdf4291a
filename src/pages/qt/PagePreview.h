#pragma once
#include "common/FileLock.h"
#include "pages/PageSpec.h"

#include <QWidget>

#include <map>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListView;
class QTimer;

namespace fb {

class ThumbnailRenderer;
class PreviewPageModel;

// Which pages a selection takes, and in what order: for each 0-based page of
// the first pageCount pages, its 1-based places in the insertion order (a page
// taken twice has two).
std::map<int, std::vector<long long>> selectionMarks(const std::string& spec, int pageCount);
std::map<int, std::vector<long long>> selectionMarks(const PageRunList& runs, int pageCount);

// Thumbnails of a PDF's pages with the pages a selection takes marked and
// numbered, and a line below saying why a selection or file can't be shown.
class PagePreview : public QWidget {
    Q_OBJECT
public:
    explicit PagePreview(QWidget* parent = nullptr);
    ~PagePreview() override;

    // pageCount is the count the selection is checked against. The same file,
    // count and file version again changes nothing.
    void setSource(const std::string& path, int pageCount);
    // Marks follow after a short pause, so typing stays smooth.
    void setSelection(const std::string& spec);
    void applySelectionNow();
    // Marks given directly (the plan of a job: an output's pages in order).
    void setMarks(std::map<int, std::vector<long long>> marks);

    const std::map<int, std::vector<long long>>& marks() const { return marks_; }
    QString message() const;
    int pageCount() const { return pages_; }
    bool placeholderShown() const { return failed_; }
    ThumbnailRenderer& renderer() { return *renderer_; }
    QListView* view() const { return view_; }

signals:
    // The first thumbnail has been drawn on screen.
    void firstThumbnailShown();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void opened(int pages, const QString& reason);
    void updateVisible();
    // How many cells the view holds at its present size (at least one).
    int cellsInView() const;
    void showMessage(const QString& text);

    ThumbnailRenderer* renderer_;
    PreviewPageModel* model_;
    QListView* view_;
    QLabel* message_;
    QTimer* pause_;
    std::string path_;
    std::optional<FileIdentity> version_; // of the file at path_ when it was set
    std::string spec_;
    int checkedCount_ = 0;
    int pages_ = 0;
    bool failed_ = false;
    bool firstShown_ = false;
    bool fixedMarks_ = false;
    std::map<int, std::vector<long long>> marks_;
    QString fileReason_;
};

} // namespace fb
