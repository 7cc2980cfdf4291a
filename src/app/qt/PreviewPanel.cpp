#include "app/qt/PreviewPanel.h"
#include "app/qt/WindowFit.h"

#include "common/Files.h"
#include "common/Text.h"
#include "jobs/JobList.h"
#include "pages/qt/PagePreview.h"

#include <QAction>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>

namespace fb {

namespace {
const char* const kShownKey = "previewPanel/shown";
} // namespace

QString PreviewPanel::stateFile()
{
    QString dir = qEnvironmentVariable("MERVO_CONFIG_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/mervo";
    return dir + "/window.ini";
}

PreviewPanel::PreviewPanel(QMainWindow* window, JobList& jobs, QTableView* list)
    : QDockWidget("Page Preview", window), jobs_(jobs), preview_(new PagePreview(this))
{
    setObjectName("previewPanel");
    // Narrow enough that the window with the panel still fits a small screen.
    preview_->setMinimumWidth(100);
    setWidget(preview_);
    window->addDockWidget(Qt::RightDockWidgetArea, this);

    QAction* toggle = toggleViewAction();
    toggle->setText("Show &Page Preview");
    toggle->setObjectName("previewPanelToggle");
    for (QAction* menu : window->menuBar()->actions())
        if (menu->menu() && QString(menu->text()).remove('&') == "Window") menu->menu()->addAction(toggle);
    // Only the person's own choice is kept, not the hiding that closing the window does.
    connect(toggle, &QAction::triggered, this,
            [](bool shown) { QSettings(stateFile(), QSettings::IniFormat).setValue(kShownKey, shown); });
    setVisible(QSettings(stateFile(), QSettings::IniFormat).value(kShownKey, false).toBool());

    // After the window has copied the view's selection into the list.
    auto later = [this] { QTimer::singleShot(0, this, [this] { refresh(); }); };
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, later);
    connect(list->model(), &QAbstractItemModel::dataChanged, this, later);
    connect(list->model(), &QAbstractItemModel::modelReset, this, later);
    // The panel turned on widens the window; on a small screen or at a large
    // scale that would push its right edge off the screen.
    connect(this, &QDockWidget::visibilityChanged, this, [window, later](bool shown) {
        if (!shown) return;
        later();
        if (!window->isVisible()) return;
        // Let the layout grow the window for the panel first, then fit it.
        if (window->layout()) window->layout()->activate();
        fitToScreen(window);
    });
}

void PreviewPanel::refresh()
{
    if (!isVisible()) return;
    showRow(jobs_.firstSelectedRow());
}

void PreviewPanel::showRow(int row)
{
    if (row < 0 || row >= jobs_.rowCount()) {
        shownPath_.clear();
        preview_->setSource("", 0);
        return;
    }
    const JobEntry& e = jobs_.entry(row);
    // The run appends when the row does not ask for a new file and the output exists.
    const bool appends = e.createNew != "Y" && !e.outputFile.empty() && canOpenForReading(e.outputFile);
    if (appends) {
        shownPath_ = e.outputFile;
        preview_->setMarks({});
        // No selection is checked against it: its pages are counted as the
        // preview opens it, off the UI thread.
        preview_->setSource(e.outputFile, 0);
        return;
    }
    shownPath_ = e.fileName;
    preview_->setSelection(e.appendParameters);
    preview_->setSource(e.fileName, parseLeadingInt(e.pages));
    preview_->applySelectionNow();
}

} // namespace fb
