#include "app/qt/JobTableModel.h"

#include "jobs/FileIconCache.h"

#include <QFont>
#include <QItemSelectionModel>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <vector>

namespace fb {

JobTableModel::JobTableModel(JobList& jobs, QObject* parent)
    : QAbstractTableModel(parent), jobs_(jobs), shown_(jobs.rowCount())
{
    jobs_.subscribe(this);
}

JobTableModel::~JobTableModel()
{
    jobs_.unsubscribe(this);
}

int JobTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shown_;
}

int JobTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant JobTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shown_ || index.row() >= jobs_.rowCount()) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return QString::fromStdString(jobs_.text(index.row(), index.column()));
    case Qt::DecorationRole:
        if (index.column() == kSelected) return fileTypeIcon(jobs_.iconKey(index.row()));
        return {};
    case Qt::TextAlignmentRole: return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant JobTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromUtf8(columnInfo(section).header);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags JobTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void JobTableModel::followSelection(QItemSelectionModel* selection)
{
    selection_ = selection;
    connect(selection, &QItemSelectionModel::selectionChanged, this, &JobTableModel::selectionToList);
    connect(selection, &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        jobs_.setFocusedRow(current.isValid() ? current.row() : -1);
    });
}

void JobTableModel::rowsAboutToBeReset()
{
    beginResetModel();
}

void JobTableModel::rowsReset()
{
    shown_ = jobs_.rowCount();
    endResetModel();
    selectionFromList();
}

void JobTableModel::rowInserted(int)
{
    // Rows only ever arrive at the end; during a load they wait for a turn.
    if (!jobs_.loading()) showNewRows();
}

void JobTableModel::loadProgress(bool, int)
{
    showNewRows();
}

void JobTableModel::showNewRows()
{
    const int total = jobs_.rowCount();
    if (total <= shown_) return;
    beginInsertRows({}, shown_, total - 1);
    shown_ = total;
    endInsertRows();
}

void JobTableModel::rowChanged(int row)
{
    if (row < 0 || row >= shown_) return;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
    rowHighlightChanged(row);
}

void JobTableModel::rowHighlightChanged(int row)
{
    if (!selection_ || row < 0 || row >= shown_) return;
    // Each side changes only what differs, so a change that came from the view
    // ends here when the list reports it back.
    const bool want = jobs_.isRowSelected(row);
    if (selection_->isRowSelected(row, {}) == want) return;
    selection_->select(index(row, 0), (want ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                          QItemSelectionModel::Rows);
}

void JobTableModel::selectionToList(const QItemSelection& selected, const QItemSelection& deselected)
{
    for (const QItemSelection* ranges : {&deselected, &selected}) {
        for (const QItemSelectionRange& range : *ranges) {
            for (int r = range.top(); r <= range.bottom() && r < jobs_.rowCount(); ++r) {
                const bool want = selection_->isRowSelected(r, {});
                if (jobs_.isRowSelected(r) != want) jobs_.setRowSelected(r, want);
            }
        }
    }
}

void JobTableModel::selectionFromList()
{
    if (!selection_) return;
    // Runs of selected rows as one range each: a range per row would make
    // selecting half of a long list slow.
    QItemSelection selection;
    const int rows = std::min(shown_, jobs_.rowCount());
    for (int r = 0; r < rows; ++r) {
        if (!jobs_.isRowSelected(r)) continue;
        int last = r;
        while (last + 1 < rows && jobs_.isRowSelected(last + 1))
            ++last;
        selection.append(QItemSelectionRange(index(r, 0), index(last, kColumnCount - 1)));
        r = last;
    }
    selection_->select(selection, QItemSelectionModel::ClearAndSelect);
    const int focused = jobs_.focusedRow();
    if (focused >= 0 && focused < rows)
        selection_->setCurrentIndex(index(focused, 0), QItemSelectionModel::NoUpdate);
}

namespace {

// A sheet of paper with a folded corner; PDFs get a red band.
QIcon drawnPageIcon(bool pdf)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath page;
    page.moveTo(2.5, 0.5);
    page.lineTo(10.5, 0.5);
    page.lineTo(13.5, 3.5);
    page.lineTo(13.5, 15.5);
    page.lineTo(2.5, 15.5);
    page.closeSubpath();
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(10.5, 0.5), QPointF(10.5, 3.5));
    p.drawLine(QPointF(10.5, 3.5), QPointF(13.5, 3.5));
    if (pdf) p.fillRect(QRectF(3, 9, 10, 4), QColor(200, 30, 30));
    return QIcon(pm);
}

QIcon lookUpIcon(const std::string& iconKey)
{
    static QMimeDatabase mimes;
    QMimeType type = mimes.mimeTypeForFile(QStringLiteral("x") + QString::fromStdString(iconKey),
                                           QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) icon = drawnPageIcon(iconKey == ".pdf");
    return icon;
}

} // namespace

QIcon fileTypeIcon(const std::string& iconKey)
{
    static std::vector<QIcon> imageList;
    bool isNew = false;
    int index = FileIconCache::shared().indexFor(iconKey, &isNew);
    if (isNew || index >= static_cast<int>(imageList.size())) {
        imageList.resize(std::max<std::size_t>(imageList.size(), index + 1));
        imageList[index] = lookUpIcon(iconKey);
    }
    return imageList[index];
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        // Two stacked pages bound by a band: pages taken from one file into another.
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.setBrush(QColor(235, 240, 250));
        p.drawRoundedRect(QRectF(18, 6, 36, 46), 3, 3);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(10, 12, 36, 46), 3, 3);
        p.setPen(QPen(QColor(150, 150, 160), 2));
        for (int y = 22; y <= 46; y += 8)
            p.drawLine(16, y, 40, y);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 40, 40));
        p.drawRect(QRectF(4, 30, 56, 10));
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace fb
