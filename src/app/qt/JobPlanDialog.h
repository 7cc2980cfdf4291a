#pragma once
#include "engine/JobPlan.h"

#include <QDialog>

class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QTimer;

namespace fb {

class MainWindowModel;

// "Preview Job": the plan of the job list as --dry-run prints it, and on
// request the page sequence of each output as thumbnails.
class JobPlanDialog : public QDialog {
    Q_OBJECT
public:
    JobPlanDialog(QWidget* parent, JobPlan plan);
    ~JobPlanDialog() override;

    const JobPlan& plan() const { return plan_; }
    // Shows the thumbnails of the chosen output's pages; they are drawn a few at a time.
    void showPages(int output);
    QListWidget* pagesView() const { return pages_; }
    // Thumbnails still to be drawn.
    int pending() const { return static_cast<int>(queue_.size()); }

private:
    void drawSome();

    JobPlan plan_;
    QPlainTextEdit* text_;
    QComboBox* outputs_;
    QListWidget* pages_;
    QTimer* drawer_;
    std::vector<std::pair<int, PlannedPage>> queue_;
    struct Documents;
    std::unique_ptr<Documents> docs_;
};

// The plan of the model's job list, as a run now would do it.
JobPlan planJobList(MainWindowModel& model);

void showJobPlan(QWidget* parent, MainWindowModel& model);

} // namespace fb
