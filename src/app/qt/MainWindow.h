#pragma once
#include "app/MainWindowModel.h"
#include "app/qt/QtServices.h"
#include "common/FolderChooser.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QSettings;
class QPushButton;
class QTableView;
class QTimer;

namespace fb {

class JobTableModel;
class DesktopOpener;
class ProgramStarter;
struct LinkServices;
class QtBulkLoad;

struct MainWindowOptions {
    std::string logPath = "append.log";
    std::string settingsPath = "setup.ini";
    // Tests answer message boxes and the parameters dialog themselves;
    // null means the real ones.
    MessageBoxes* messages = nullptr;
    ParametersPrompt* prompt = nullptr;
    std::function<void(int)> exitNow; // empty: end the process
    // Where the window keeps its size and column widths between runs; empty
    // means the person's own (mervo/window.ini in the config folder, or in
    // $MERVO_CONFIG_DIR).
    std::string windowStatePath;
};

// The program's window: draws the job list and hands every command, click,
// key and drop to the MainWindowModel, which does the work.
class MainWindow : public QMainWindow, public MainWindowView, private JobListObserver {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up: the model's initialisation (which may run the command line's
    // job and close again), then the splash timer.
    void start(const std::vector<std::string>& arguments, const std::string& startDirectory);

    MainWindowModel& model() { return *model_; }
    QTableView* listView() const { return list_; }
    QAction* action(int command) const;
    QMenu* contextMenu() const { return contextMenu_; }

    // The main window has the focus: for the accelerators, and for the key
    // filter that keeps Enter and Escape from doing anything.
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    void runCommand(int command, fb::CommandOrigin origin);

    // Commands whose work lives elsewhere; each is wired in by its own feature.
    void bulkLoadGrouping();
    void bulkLoadToOneOutput();
    void viewLog();
    void exportLogToCsv();
    void goToWebsiteHomepage();
    void showHtmlHelp();
    void emailBugReport();
    void openWebsiteLink(); // the "Go to Quillon Website" label (mainids::kWebsiteLink)
    void showSetup();
    void showAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // MainWindowView
    void totalItemsChanged(int count) override;
    void titleChanged(const std::string& title) override;
    void closeRequested() override;
    // JobListObserver
    void repaintNow() override;
    void alwaysShowParametersChanged(bool on) override;
    void loadProgress(bool active, int rows) override;

    void buildControls();
    QTableView* makeListView(QWidget* parent);
    QHBoxLayout* makeButtonRow(QWidget* parent);
    void makeServices();
    void makeModel();
    void showJobList();
    void followListChanges();
    void restoreWindowState();
    void saveWindowState();
    std::unique_ptr<QSettings> windowSettings() const;
    void fitHeaders();
    void fitColumnsSoon(); // once the rows have settled
    void fitPathColumns();
    // What a bulk load does to the file name column when a folder is done.
    void fitFileNameColumn();
    int widthInView(int column) const;
    // More rows than any screen shows: the bound on rows measured for a fit.
    static constexpr int kMostRowsInView = 400;
    void buildMenus();
    void showRowContextMenu(const QPoint& pos);
    void showSplash();

    MainWindowOptions options_;
    QTableView* list_ = nullptr;
    QPushButton* appendButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QLineEdit* totalItems_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* websiteLink_ = nullptr;
    QMenu* contextMenu_ = nullptr;
    QTimer* splashTimer_ = nullptr;
    QTimer* fitColumns_ = nullptr;
    std::map<int, QAction*> actions_;

    std::unique_ptr<MessageBoxes> ownMessages_;
    std::unique_ptr<ParametersPrompt> ownPrompt_;
    std::unique_ptr<QtFileDialogs> fileDialogs_;
    std::unique_ptr<FolderChooser> folderChooser_;
    std::unique_ptr<Clipboard> clipboard_;
    std::unique_ptr<AutomationServer> automation_;
    std::unique_ptr<AutomationServer> pageCountAutomation_;
    std::unique_ptr<QtConnectionWindow> connection_;
    std::unique_ptr<QtRunHost> host_;
    ReaderCloser readers_;
    QtBusyPromptPresser busyPresser_;
    std::unique_ptr<MainWindowModel> model_;
    std::unique_ptr<DesktopOpener> opener_;
    std::unique_ptr<ProgramStarter> starter_;
    std::unique_ptr<LinkServices> links_;
    std::unique_ptr<QtBulkLoad> bulk_;
    JobTableModel* table_ = nullptr;
};

} // namespace fb
