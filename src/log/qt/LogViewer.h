#pragma once
#include "common/Messages.h"
#include "log/LogTable.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTableView;

namespace fb {

// The parsed log lines as a table; text is made only for the rows on screen,
// so a log of a hundred thousand lines opens and sorts at once.
class LogTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(std::vector<LogRow> rows);
    void clear();
    const std::vector<LogRow>& rows() const { return rows_; }
    // Ascending only, as a click on a header asks; selected rows stay selected.
    void sortRows(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<LogRow> rows_;
};

// "View Append Log": every line of the log, read afresh each time it opens.
class LogViewerDialog : public QDialog {
    Q_OBJECT
public:
    LogViewerDialog(const std::string& logPath, MessageBoxes& messages, QWidget* parent = nullptr);

    QTableView* table() const { return table_; }
    LogTableModel* model() const { return model_; }
    QPushButton* closeButton() const { return close_; }
    QPushButton* clearButton() const { return clear_; }

private:
    QTableView* table_;
    LogTableModel* model_;
    QPushButton* close_;
    QPushButton* clear_;
};

// "&View Log": shows the viewer modally and returns when it is closed.
void ViewLog(const std::string& logPath, MessageBoxes& messages, QWidget* parent);

} // namespace fb
