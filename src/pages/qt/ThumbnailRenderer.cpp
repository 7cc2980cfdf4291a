#include "pages/qt/ThumbnailRenderer.h"

#include "common/Files.h"
#include "pages/PageCount.h"

#include <poppler-qt6.h>

#include <QMetaObject>
#include <QVariant>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>

namespace fb {

namespace {
// Pages made ahead of the view on either side.
constexpr int kAhead = 8;

struct Abort {
    const std::atomic<bool>* quit;
    const std::atomic<unsigned>* generation;
    unsigned wanted;
};

// The first page drawn in the process pays to ready poppler's drawing code;
// a blank page drawn beforehand, while the person is still at the main window,
// takes that off the first preview.
void readyPdfLayer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        keepPopplerWarm();
        const std::string& pdf = blankPdf();
        auto blank =
            Poppler::Document::loadFromData(QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size())));
        if (!blank) return;
        if (std::unique_ptr<Poppler::Page> page = blank->page(0)) page->renderToImage();
    });
}

// Asked by the PDF layer while it draws: a page nobody waits for any more is
// given up, so closing the dialog never waits on a slow or hostile page.
bool shouldAbort(const QVariant& payload)
{
    const auto* a = reinterpret_cast<const Abort*>(payload.value<quintptr>());
    return a->quit->load() || a->generation->load() != a->wanted;
}
} // namespace

std::unique_ptr<Poppler::Document> openForPreview(const std::string& path, QString& reason)
{
    std::unique_ptr<Poppler::Document> doc;
    if (path.empty()) {
        reason = "No file";
    } else if (!isReadableRegularFile(path)) {
        // A FIFO or device would block the open for ever.
        reason = "Can't read the file: " + QString::fromStdString(path);
    } else {
        doc = Poppler::Document::load(QString::fromStdString(path));
        if (!doc) {
            reason = "Not a PDF the preview can read (damaged or another kind of file)";
        } else if (doc->isLocked()) {
            reason = "Encrypted: the file needs a password to be shown";
            doc.reset();
        } else if (doc->numPages() <= 0) {
            reason = "The file has no pages the preview can find";
            doc.reset();
        } else {
            doc->setRenderHint(Poppler::Document::Antialiasing);
            doc->setRenderHint(Poppler::Document::TextAntialiasing);
        }
    }
    return doc;
}

ThumbnailRenderer::ThumbnailRenderer(int width, std::size_t cacheBytes, QObject* parent)
    : QObject(parent), width_(width), cacheBytes_(cacheBytes)
{
    thread_ = std::thread([this] { work(); });
}

ThumbnailRenderer::~ThumbnailRenderer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ThumbnailRenderer::setSource(const std::string& path)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++generation_;
        path_ = path;
        pageCount_ = 0;
        cache_.clear();
        recent_.clear();
        failed_.clear();
        bytes_ = 0;
        first_ = 0;
        last_ = -1;
    }
    wake_.notify_all();
}

void ThumbnailRenderer::setVisible(int first, int last)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        first_ = first;
        last_ = last;
    }
    wake_.notify_all();
}

QImage ThumbnailRenderer::thumbnail(int page)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = cache_.find(page);
    if (it == cache_.end()) return {};
    recent_.remove(page);
    recent_.push_front(page);
    return it->second;
}

std::size_t ThumbnailRenderer::cachedBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

// The visible pages in order, then outwards from them, never one already made.
std::optional<int> ThumbnailRenderer::nextPageLocked() const
{
    if (pageCount_ <= 0 || last_ < first_) return std::nullopt;
    const int first = std::clamp(first_, 0, pageCount_ - 1);
    const int last = std::clamp(last_, 0, pageCount_ - 1);
    auto wanted = [&](int p) { return p >= 0 && p < pageCount_ && !cache_.count(p) && !failed_.count(p); };
    for (int p = first; p <= last; ++p)
        if (wanted(p)) return p;
    // Pages ahead only while there is room: making them must never push out
    // others that would then be made again.
    if (bytes_ + lastBytes_ > cacheBytes_) return std::nullopt;
    for (int d = 1; d <= kAhead; ++d) {
        if (wanted(last + d)) return last + d;
        if (wanted(first - d)) return first - d;
    }
    return std::nullopt;
}

void ThumbnailRenderer::keepLocked(int page, QImage image)
{
    lastBytes_ = static_cast<std::size_t>(image.sizeInBytes());
    bytes_ += lastBytes_;
    cache_[page] = std::move(image);
    recent_.push_front(page);
    // The least recently shown go first; what is in view is never dropped.
    auto it = recent_.end();
    while (bytes_ > cacheBytes_ && it != recent_.begin()) {
        --it;
        const int old = *it;
        if (old >= first_ && old <= last_) continue;
        auto kept = cache_.find(old);
        if (kept != cache_.end()) {
            bytes_ -= static_cast<std::size_t>(kept->second.sizeInBytes());
            cache_.erase(kept);
        }
        it = recent_.erase(it);
    }
}

void ThumbnailRenderer::work()
{
    readyPdfLayer();
    std::unique_ptr<Poppler::Document> doc;
    unsigned openGeneration = 0;
    auto post = [this](auto fn) { QMetaObject::invokeMethod(this, fn, Qt::QueuedConnection); };

    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (quit_) return;
        if (openGeneration != generation_) {
            openGeneration = generation_;
            const std::string path = path_;
            lock.unlock();
            doc.reset();
            QString reason;
            doc = openForPreview(path, reason);
            const int pages = doc ? doc->numPages() : -1;
            lock.lock();
            if (openGeneration != generation_) continue; // a newer file meanwhile
            pageCount_ = std::max(pages, 0);
            post([this, pages, reason] { emit opened(pages, reason); });
            continue;
        }
        std::optional<int> next = doc ? nextPageLocked() : std::nullopt;
        if (!next) {
            wake_.wait(lock);
            continue;
        }
        const int page = *next;
        const unsigned generation = generation_;
        lock.unlock();
        QImage image;
        QString why;
        if (std::unique_ptr<Poppler::Page> p = doc->page(page)) {
            const QSizeF size = p->pageSizeF(); // points
            const double dpi = size.width() > 0 ? 72.0 * width_ / size.width() : 72.0;
            Abort abort{&quit_, &generation_, generation};
            image = p->renderToImage(dpi, dpi, -1, -1, -1, -1, Poppler::Page::Rotate0, nullptr, nullptr,
                                     shouldAbort, QVariant::fromValue(reinterpret_cast<quintptr>(&abort)));
            if (image.isNull()) why = "The PDF layer could not draw this page";
        } else {
            why = "The page can't be read";
        }
        lock.lock();
        if (generation != generation_) continue;
        if (image.isNull()) {
            failed_.insert(page);
            post([this, page, why] { emit failed(page, why); });
        } else {
            keepLocked(page, std::move(image));
            post([this, page] { emit ready(page); });
        }
    }
}

} // namespace fb
