#pragma once
#include "jobs/JobList.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QItemSelection>

class QItemSelectionModel;

namespace fb {

// Shows the job list as a table. The rows live only in the JobList; this
// model reads them on demand and listens to the list itself. During a long
// load it tells the view of new rows in batches, at the list's turns, rather
// than one by one: a view that hears of every row redoes its bookkeeping for
// each.
class JobTableModel : public QAbstractTableModel, public JobListObserver {
    Q_OBJECT
public:
    explicit JobTableModel(JobList& jobs, QObject* parent = nullptr);
    ~JobTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The view's selection and the list's row state follow each other: the
    // list's is the truth, a click in the view changes it.
    void followSelection(QItemSelectionModel* selection);

private:
    // JobListObserver
    void rowsAboutToBeReset() override;
    void rowsReset() override;
    void rowInserted(int row) override;
    void rowChanged(int row) override;
    void rowHighlightChanged(int row) override;
    void loadProgress(bool active, int rows) override;

    void showNewRows();
    void selectionToList(const QItemSelection& selected, const QItemSelection& deselected);
    void selectionFromList();

    JobList& jobs_;
    QItemSelectionModel* selection_ = nullptr;
    int shown_ = 0; // rows the view has been told of
};

// Small icons by file type: the desktop's icon theme through the MIME
// database, or a drawn page when no theme has one. Each file type is looked
// up once; FileIconCache hands out the index into this process-wide list.
QIcon fileTypeIcon(const std::string& iconKey);

// The program's own icon, drawn rather than loaded, so it is there without
// any image plugin or installed file.
QIcon programIcon();

} // namespace fb
