#include "log/qt/LogViewer.h"

#include <algorithm>
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace fb {

namespace {

struct ViewerColumn {
    const char* header;
    int width;
};
constexpr ViewerColumn kColumns[kLogColumnCount] = {{"Date/Time", 110},     {"File Size", 50},
                                                    {"Filename", 200},      {"Creation Time", 110},
                                                    {"Modified Time", 110}, {"Source File", 200}};

} // namespace

void LogTableModel::setRows(std::vector<LogRow> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void LogTableModel::clear()
{
    setRows({});
}

void LogTableModel::sortRows(int column)
{
    if (column < 0 || column >= kLogColumnCount || rows_.size() < 2) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> order = logSortOrder(rows_, column, true);
    std::vector<int> newPlace(order.size());
    std::vector<LogRow> sorted;
    sorted.reserve(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newPlace[order[i]] = static_cast<int>(i);
        sorted.push_back(std::move(rows_[order[i]]));
    }
    rows_ = std::move(sorted);
    // Selection and focus travel with their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.push_back(index.isValid() ? createIndex(newPlace[index.row()], index.column()) : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int LogTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LogTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kLogColumnCount;
}

QVariant LogTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const std::string& text = rows_[index.row()].fields[index.column()];
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant LogTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < kLogColumnCount) {
        if (role == Qt::DisplayRole) return QString::fromLatin1(kColumns[section].header);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

LogViewerDialog::LogViewerDialog(const std::string& logPath, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent), table_(new QTableView(this)), model_(new LogTableModel(this)),
      close_(new QPushButton(tr("&Close"), this)), clear_(new QPushButton(tr("Clear"), this))
{
    setWindowTitle(tr("View Append Log"));
    // The desktop's fixed-width font at the desktop's own size: readable at
    // any scale.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    const QFont desktop = QApplication::font();
    if (desktop.pointSizeF() > 0)
        font.setPointSizeF(desktop.pointSizeF());
    else if (desktop.pixelSize() > 0)
        font.setPixelSize(desktop.pixelSize());
    setFont(font);

    table_->setObjectName(QStringLiteral("logList"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(true);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    QFontMetrics metrics(font);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Each column at least as wide as its title, in this font.
    for (int c = 0; c < kLogColumnCount; ++c)
        table_->setColumnWidth(
            c, std::max(kColumns[c].width * metrics.averageCharWidth() / 5, header->sectionSizeHint(c)));
    connect(header, &QHeaderView::sectionClicked, model_, &LogTableModel::sortRows);

    close_->setObjectName(QStringLiteral("closeButton"));
    clear_->setObjectName(QStringLiteral("clearButton"));
    close_->setDefault(true);
    close_->setAutoDefault(true);
    clear_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(clear_, &QPushButton::clicked, model_, &LogTableModel::clear);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);

    // 435 by 180 dialog units of this font.
    int unitX = std::max(1, metrics.averageCharWidth());
    int unitY = std::max(1, metrics.height());
    resize(435 * unitX / 4, 180 * unitY / 8);

    if (std::optional<std::vector<LogRow>> rows = readLogFileOrSay(logPath, messages))
        model_->setRows(std::move(*rows));
    // No text clipped where the rows need more than the usual widths.
    for (int c = 0; c < kLogColumnCount; ++c) {
        int wanted = static_cast<QAbstractItemView*>(table_)->sizeHintForColumn(c);
        if (wanted > table_->columnWidth(c)) table_->setColumnWidth(c, wanted);
    }
}

void ViewLog(const std::string& logPath, MessageBoxes& messages, QWidget* parent)
{
    LogViewerDialog dialog(logPath, messages, parent);
    dialog.exec();
}

} // namespace fb
