#pragma once
#include "jobs/JobList.h"

#include <QAbstractTableModel>
#include <QIcon>

namespace fb {

// Shows the job list as a table. The rows live only in the JobList; this
// model reads them on demand and is told of every change by the main window,
// which relays the list's own notifications.
class JobTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit JobTableModel(JobList& jobs, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void aboutToInsert(int row) { beginInsertRows({}, row, row); }
    void inserted() { endInsertRows(); }
    void aboutToRemove(int row) { beginRemoveRows({}, row, row); }
    void removed() { endRemoveRows(); }
    void aboutToReset() { beginResetModel(); }
    void reset() { endResetModel(); }
    void changed(int row);

private:
    JobList& jobs_;
};

// Small icons by file type: the desktop's icon theme through the MIME
// database, or a drawn page when no theme has one. Each file type is looked
// up once; FileIconCache hands out the index into this process-wide list.
QIcon fileTypeIcon(const std::string& iconKey);

// The program's own icon, drawn rather than loaded, so it is there without
// any image plugin or installed file.
QIcon programIcon();

} // namespace fb
