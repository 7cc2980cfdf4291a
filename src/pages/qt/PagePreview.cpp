#include "pages/qt/PagePreview.h"

#include "common/FileLock.h"
#include "pages/PageSpec.h"
#include "pages/qt/ThumbnailRenderer.h"

#include <QAbstractListModel>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace fb {

namespace {
constexpr int kPauseMs = 300;
constexpr int kCellHeightExtra = 22;

// A page's cell: the thumbnail (room for a letter-size page), its number below.
QSize cellSize(int thumbnailWidth)
{
    return {thumbnailWidth + 8, thumbnailWidth * 13 / 10 + kCellHeightExtra};
}
} // namespace

std::map<int, std::vector<long long>> selectionMarks(const std::string& spec, int pageCount)
{
    return selectionMarks(expandPageSpec(spec, pageCount), pageCount);
}

std::map<int, std::vector<long long>> selectionMarks(const PageRunList& runs, int pageCount)
{
    std::map<int, std::vector<long long>> marks;
    long long place = 0;
    for (const PageRun& run : runs) {
        const long long first = run.first, last = run.last;
        if (last < first) continue;
        // Only pages that exist are walked: "1-2000000000" must not loop for ever.
        const long long from = std::max(first, 1LL);
        const long long to = std::min(last, static_cast<long long>(pageCount));
        for (long long p = from; p <= to; ++p)
            marks[static_cast<int>(p - 1)].push_back(place + (p - first) + 1);
        place += last - first + 1;
    }
    return marks;
}

class PreviewPageModel : public QAbstractListModel {
public:
    explicit PreviewPageModel(QObject* parent) : QAbstractListModel(parent) {}
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : pages_; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole) return index.row() + 1;
        if (role == Qt::ToolTipRole) return QString("Page %1").arg(index.row() + 1);
        return {};
    }
    void setPages(int pages)
    {
        beginResetModel();
        pages_ = std::max(pages, 0);
        endResetModel();
    }
    void changed(int page)
    {
        if (page >= 0 && page < pages_) emit dataChanged(index(page), index(page));
    }
    void changedAll()
    {
        if (pages_ > 0) emit dataChanged(index(0), index(pages_ - 1));
    }

private:
    int pages_ = 0;
};

// Draws a page: its thumbnail (or a grey card while it is being made), its
// number, and the places the selection puts it at.
class PreviewDelegate : public QStyledItemDelegate {
public:
    PreviewDelegate(ThumbnailRenderer& renderer, const std::map<int, std::vector<long long>>& marks,
                    QObject* parent)
        : QStyledItemDelegate(parent), renderer_(renderer), marks_(marks)
    {
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return cellSize(renderer_.width());
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int page = index.row();
        const QRect cell = option.rect.adjusted(4, 4, -4, -4);
        const QRect card(cell.left(), cell.top(), cell.width(), cell.height() - kCellHeightExtra + 4);
        const auto mark = marks_.find(page);
        const bool taken = mark != marks_.end();
        painter->save();
        const QImage image = renderer_.thumbnail(page);
        QRect drawn = card;
        if (!image.isNull()) {
            QSize size = image.size().scaled(card.size(), Qt::KeepAspectRatio);
            drawn = QRect(card.left() + (card.width() - size.width()) / 2, card.top(), size.width(),
                          size.height());
            painter->drawImage(drawn, image);
            if (!taken && !marks_.empty())
                painter->fillRect(drawn, QColor(255, 255, 255, 150)); // left out: faded
        } else {
            painter->fillRect(card, QColor(225, 225, 225));
        }
        painter->setPen(QPen(taken ? QColor(0, 110, 220) : QColor(160, 160, 160), taken ? 3 : 1));
        painter->drawRect(drawn.adjusted(0, 0, -1, -1));
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(QRect(cell.left(), drawn.bottom() + 2, cell.width(), kCellHeightExtra - 4),
                          Qt::AlignCenter, QString::number(page + 1));
        if (taken) {
            // The places this page takes in the output, as a badge.
            QStringList places;
            for (std::size_t i = 0; i < mark->second.size() && i < 3; ++i)
                places << QString::number(mark->second[i]);
            if (mark->second.size() > 3) places << QString("+%1").arg(mark->second.size() - 3);
            const QString text = places.join(",");
            QFont f = painter->font();
            f.setBold(true);
            painter->setFont(f);
            const QRect badge(drawn.left() + 2, drawn.top() + 2,
                              painter->fontMetrics().horizontalAdvance(text) + 8,
                              painter->fontMetrics().height() + 2);
            painter->fillRect(badge, QColor(0, 110, 220));
            painter->setPen(Qt::white);
            painter->drawText(badge, Qt::AlignCenter, text);
        }
        painter->restore();
    }

private:
    ThumbnailRenderer& renderer_;
    const std::map<int, std::vector<long long>>& marks_;
};

PagePreview::PagePreview(QWidget* parent)
    : QWidget(parent), renderer_(new ThumbnailRenderer(96, 48u << 20, this)),
      model_(new PreviewPageModel(this)), view_(new QListView(this)), message_(new QLabel(this)),
      pause_(new QTimer(this))
{
    setObjectName("pagePreview");
    view_->setObjectName("pagePreviewList");
    view_->setViewMode(QListView::IconMode);
    view_->setResizeMode(QListView::Adjust);
    view_->setMovement(QListView::Static);
    view_->setUniformItemSizes(true);
    view_->setSelectionMode(QAbstractItemView::NoSelection);
    view_->setModel(model_);
    view_->setItemDelegate(new PreviewDelegate(*renderer_, marks_, this));
    view_->setMinimumWidth(2 * (renderer_->width() + 8) + 30);
    view_->setAccessibleName("Page previews");
    message_->setObjectName("pagePreviewMessage");
    message_->setWordWrap(true);
    message_->setStyleSheet("color: #b00020;");
    message_->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_, 1);
    layout->addWidget(message_);

    pause_->setSingleShot(true);
    pause_->setInterval(kPauseMs);
    connect(pause_, &QTimer::timeout, this, [this] { applySelectionNow(); });
    connect(renderer_, &ThumbnailRenderer::opened, this, &PagePreview::opened);
    connect(renderer_, &ThumbnailRenderer::ready, this, [this](int page) {
        model_->changed(page);
        if (!firstShown_) {
            firstShown_ = true;
            view_->viewport()->update();
            emit firstThumbnailShown();
        }
    });
    connect(renderer_, &ThumbnailRenderer::failed, this, [this](int page, const QString& why) {
        model_->changed(page);
        if (fileReason_.isEmpty()) showMessage(QString("Page %1: %2").arg(page + 1).arg(why));
    });
    connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateVisible(); });
}

PagePreview::~PagePreview() = default;

void PagePreview::setSource(const std::string& path, int pageCount)
{
    // A file written to or replaced since (an output a run has appended to)
    // is opened again.
    std::optional<FileIdentity> version = identityOf(path);
    if (path == path_ && pageCount == checkedCount_ && version == version_ && !path.empty()) return;
    path_ = path;
    version_ = version;
    checkedCount_ = pageCount;
    pages_ = 0;
    failed_ = false;
    firstShown_ = false;
    fileReason_.clear();
    model_->setPages(0);
    renderer_->setSource(path);
    // The top of the document is what shows first: it is drawn as soon as the
    // file is open, without waiting for the view to be laid out and asked.
    renderer_->setVisible(0, cellsInView() - 1);
    applySelectionNow();
}

int PagePreview::cellsInView() const
{
    const QSize cell = cellSize(renderer_->width());
    const QSize area = view_->viewport()->size();
    const int columns = std::max(1, area.width() / cell.width());
    const int rows = std::max(1, (area.height() + cell.height() - 1) / cell.height());
    return columns * rows;
}

void PagePreview::setSelection(const std::string& spec)
{
    spec_ = spec;
    fixedMarks_ = false;
    pause_->start();
}

void PagePreview::setMarks(std::map<int, std::vector<long long>> marks)
{
    pause_->stop();
    fixedMarks_ = true;
    marks_ = std::move(marks);
    if (fileReason_.isEmpty()) showMessage({});
    model_->changedAll();
    view_->viewport()->update();
}

void PagePreview::applySelectionNow()
{
    pause_->stop();
    if (fixedMarks_) return;
    const PageRunList runs = expandPageSpec(spec_, checkedCount_);
    marks_ = selectionMarks(runs, checkedCount_);
    model_->changedAll();
    view_->viewport()->update();
    if (!fileReason_.isEmpty()) return;
    // The same check "Save & Exit" makes, shown while the text does not pass it.
    if (auto error = validatePageRuns(runs, checkedCount_))
        showMessage(QString::fromStdString(*error));
    else
        showMessage({});
}

QString PagePreview::message() const
{
    return message_->text();
}

void PagePreview::showMessage(const QString& text)
{
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
}

void PagePreview::opened(int pages, const QString& reason)
{
    if (pages < 0) {
        failed_ = true;
        fileReason_ = reason;
        model_->setPages(0);
        showMessage(reason);
        return;
    }
    pages_ = pages;
    model_->setPages(pages);
    applySelectionNow();
    QTimer::singleShot(0, this, [this] { updateVisible(); });
    updateVisible();
}

void PagePreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    QTimer::singleShot(0, this, [this] { updateVisible(); });
}

void PagePreview::updateVisible()
{
    if (pages_ <= 0) return;
    const QRect area = view_->viewport()->rect();
    QModelIndex first = view_->indexAt(area.topLeft() + QPoint(6, 6));
    QModelIndex last = view_->indexAt(area.bottomRight() - QPoint(6, 6));
    int from = first.isValid() ? first.row() : 0;
    int to = last.isValid() ? last.row() : std::min(pages_ - 1, from + 24);
    if (to < from) to = std::min(pages_ - 1, from + 24);
    renderer_->setVisible(from, to);
}

} // namespace fb
