#pragma once
#include <QImage>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

namespace Poppler {
class Document;
}

namespace fb {

// Opens a PDF for drawing as every preview does: a FIFO or device is never
// opened, and a damaged, encrypted or pageless file is refused. Null, with
// the reason for a person, when it can't be shown.
std::unique_ptr<Poppler::Document> openForPreview(const std::string& path, QString& reason);

// Makes thumbnails of a PDF's pages on a thread of its own, the pages shown
// first, then a few around them. Finished ones are kept up to a memory bound,
// the least recently shown going first. Signals arrive on the owner's thread.
class ThumbnailRenderer : public QObject {
    Q_OBJECT
public:
    // width: a thumbnail's width in pixels; cacheBytes: the bound on kept images.
    explicit ThumbnailRenderer(int width = 96, std::size_t cacheBytes = 48u << 20, QObject* parent = nullptr);
    ~ThumbnailRenderer() override;

    // Starts on a new file (an empty path: none). The outcome comes as opened().
    void setSource(const std::string& path);
    // Pages (0-based, both included) now in view; work goes there first.
    void setVisible(int first, int last);
    // A kept thumbnail, or a null image when it is not made yet.
    QImage thumbnail(int page);
    int width() const { return width_; }
    std::size_t cachedBytes() const;

signals:
    // pages < 0: the file can't be shown, and reason says why.
    void opened(int pages, const QString& reason);
    void ready(int page);
    // A page the PDF layer could not draw.
    void failed(int page, const QString& reason);

private:
    void work();
    std::optional<int> nextPageLocked() const;
    void keepLocked(int page, QImage image);

    const int width_;
    const std::size_t cacheBytes_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    // Atomic too: a drawing in progress asks them whether to give up.
    std::atomic<bool> quit_{false};
    std::atomic<unsigned> generation_{0}; // bumped by every setSource
    std::string path_;
    int pageCount_ = 0; // of the document the worker has open
    int first_ = 0, last_ = -1;
    std::map<int, QImage> cache_;
    std::list<int> recent_; // most recently used at the front
    std::size_t bytes_ = 0;
    std::size_t lastBytes_ = 0; // of the last thumbnail made: what one more will take
    std::set<int> failed_;      // pages the PDF layer could not draw: not tried again
    std::thread thread_;
};

} // namespace fb
