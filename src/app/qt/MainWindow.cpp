#include "app/qt/MainWindow.h"

#include "app/qt/AppendParametersDialog.h"
#include "app/qt/FolderChooserDialog.h"
#include "app/qt/JobPlanDialog.h"
#include "app/qt/JobTableModel.h"
#include "app/qt/MainWindowIds.h"
#include "app/qt/PreviewPanel.h"
#include "app/qt/SetupDialog.h"
#include "app/qt/WindowFit.h"
#include "common/qt/QtMessageBoxes.h"
#include "bulk/qt/QtBulkLoad.h"
#include "engine/QpdfAutomation.h"
#include "log/LogTable.h"
#include "log/qt/LogViewer.h"
#include "support/Help.h"
#include "support/Links.h"
#include "support/qt/HelpWindow.h"
#include "support/qt/HyperLink.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace fb {

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}
QString idName(int id)
{
    return QString::number(id);
}

// Gives every item of a menu that has no mnemonic one that no other item of
// the menu uses: the first letter of a word if free, else any free letter.
// Qt leaves the "&" out of the accessible name, so that stays the item's text.
void addMnemonics(std::vector<QString>& texts)
{
    QString used;
    for (const QString& t : texts) {
        int amp = t.indexOf(QLatin1Char('&'));
        if (amp >= 0 && amp + 1 < t.size()) used += t.at(amp + 1).toLower();
    }
    for (QString& t : texts) {
        if (t.isEmpty() || t.contains(QLatin1Char('&'))) continue;
        int pick = -1;
        for (int pass = 0; pass < 2 && pick < 0; ++pass) {
            for (int i = 0; i < t.size(); ++i) {
                bool wordStart = i == 0 || t.at(i - 1) == QLatin1Char(' ') || t.at(i - 1) == QLatin1Char('(');
                if ((pass == 0 && !wordStart) || !t.at(i).isLetterOrNumber()) continue;
                if (!used.contains(t.at(i).toLower())) {
                    pick = i;
                    break;
                }
            }
        }
        if (pick < 0) continue;
        used += t.at(pick).toLower();
        t.insert(pick, QLatin1Char('&'));
    }
}

// A menu text "Name\tKEY" as the name and the key Qt shows for it.
std::pair<QString, QKeySequence> splitShortcut(const QString& text)
{
    int tab = text.indexOf(QLatin1Char('\t'));
    if (tab < 0) return {text, QKeySequence()};
    QString key = text.mid(tab + 1).trimmed();
    if (key.size() == 1)
        key = key.toUpper();
    else if (key.compare(QLatin1String("DELETE"), Qt::CaseInsensitive) == 0)
        key = QStringLiteral("Del");
    return {text.left(tab), QKeySequence(key, QKeySequence::PortableText)};
}

const char* const kSettingsGeometry = "MainWindow/geometry";
const char* const kSettingsColumns = "MainWindow/columns";

// The splash picture: drawn here, so the program carries no image files.
QPixmap splashPicture()
{
    QPixmap pm(420, 220);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, pm.height());
    sky.setColorAt(0, QColor(32, 48, 88));
    sky.setColorAt(1, QColor(12, 18, 36));
    p.fillRect(pm.rect(), sky);
    QPixmap icon = programIcon().pixmap(128, 128);
    p.drawPixmap(24, 46, icon);
    p.setPen(Qt::white);
    QFont title = p.font();
    title.setPointSize(26);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(160, 50, 250, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Folioband"));
    QFont sub = p.font();
    sub.setPointSize(14);
    sub.setBold(false);
    p.setFont(sub);
    p.drawText(QRect(162, 100, 250, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Batch PDF page binder"));
    p.setPen(QColor(200, 40, 40));
    p.setBrush(QColor(200, 40, 40));
    p.drawRect(QRect(162, 140, 220, 6));
    return pm;
}

} // namespace

MainWindow::MainWindow(MainWindowOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options))
{
    setObjectName(mainids::kWindow);
    setWindowTitle(qs(mainWindowCaption()));
    setWindowIcon(programIcon());
    setAcceptDrops(true);
    buildControls();
    makeServices();
    makeModel();
    showJobList();
    buildMenus();
    new PreviewPanel(this, model_->jobs(), list_);
    model_->setView(this);
    model_->jobs().subscribe(this);
    alwaysShowParametersChanged(model_->jobs().alwaysShowParameters());

    splashTimer_ = new QTimer(this);
    splashTimer_->setInterval(10);
    connect(splashTimer_, &QTimer::timeout, this, [this] {
        splashTimer_->stop();
        if (model_->options().argumentCount == 0) showSplash();
    });
    qApp->installEventFilter(this);
    installWindowFit();
    restoreWindowState();
}

// The real message boxes, dialogs, clipboard and PDF layer, unless a test
// brought its own message boxes or parameters prompt.
void MainWindow::makeServices()
{
    if (!options_.messages) {
        ownMessages_ = std::make_unique<QtMessageBoxes>();
        options_.messages = ownMessages_.get();
    }
    fileDialogs_ = std::make_unique<QtFileDialogs>(this);
    folderChooser_ = std::make_unique<QtFolderChooser>(this, *options_.messages);
    if (!options_.prompt) {
        auto prompt =
            std::make_unique<QtParametersPrompt>(this, *folderChooser_, *fileDialogs_, *options_.messages);
        prompt->setHelpHandler([this] { ShowHelp(kAppendParametersHelpContext, this); });
        ownPrompt_ = std::move(prompt);
        options_.prompt = ownPrompt_.get();
    }
    clipboard_ = std::make_unique<QtClipboard>();
    automation_ = makeQpdfAutomationServer();
    pageCountAutomation_ = makeQpdfAutomationServer();
    connection_ = std::make_unique<QtConnectionWindow>(this);
    host_ = std::make_unique<QtRunHost>(this, appendButton_, progress_);
    opener_ = std::make_unique<XdgOpener>();
    starter_ = std::make_unique<SpawnProgramStarter>();
    links_ = std::make_unique<LinkServices>(LinkServices{*opener_, *starter_, XdgDirs::fromEnvironment()});
    static_cast<HyperLink*>(websiteLink_)->setMessages(options_.messages);
}

// The model that does the work, and bulk load, which adds to its list.
void MainWindow::makeModel()
{
    MainWindowServices services{*options_.messages,
                                *options_.prompt,
                                *fileDialogs_,
                                *clipboard_,
                                *automation_,
                                *connection_,
                                *host_,
                                readers_,
                                &busyPresser_,
                                options_.exitNow,
                                pageCountAutomation_.get()};
    model_ = std::make_unique<MainWindowModel>(services, options_.logPath, options_.settingsPath);
    bulk_ = std::make_unique<QtBulkLoad>(model_->jobs(), *options_.messages, *folderChooser_, *fileDialogs_,
                                         *host_, this, [this] { fitFileNameColumn(); });
}

// The list view shows the model's job list through a table model, with the
// columns' widths and the header's clicks.
void MainWindow::showJobList()
{
    table_ = new JobTableModel(model_->jobs(), this);
    list_->setModel(table_);
    QHeaderView* header = list_->horizontalHeader();
    header->setMinimumSectionSize(0);
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setStretchLastSection(false);
    // A selected row would turn every title bold and clip it.
    header->setHighlightSections(false);
    for (int c = 0; c < kColumnCount; ++c)
        header->resizeSection(c, columnInfo(c).width);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { model_->headerClicked(column); });
    followListChanges();
    table_->followSelection(list_->selectionModel());
    connect(list_, &QTableView::doubleClicked, this, [this] { model_->doubleClicked(); });
    connect(list_, &QWidget::customContextMenuRequested, this, &MainWindow::showRowContextMenu);
}

void MainWindow::followListChanges()
{
    // Columns are fitted once rows have settled, not once per row; during a
    // run the list follows the row being processed.
    fitColumns_ = new QTimer(this);
    fitColumns_->setSingleShot(true);
    fitColumns_->setInterval(0);
    connect(fitColumns_, &QTimer::timeout, this, &MainWindow::fitPathColumns);
    connect(table_, &QAbstractItemModel::modelReset, this, &MainWindow::fitColumnsSoon);
    connect(table_, &QAbstractItemModel::rowsInserted, this, &MainWindow::fitColumnsSoon);
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, &MainWindow::fitColumnsSoon);
    connect(table_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                fitColumnsSoon();
                const int row = first.row();
                if (row == last.row() && row >= 0 && row < model_->jobs().rowCount() &&
                    model_->jobs().text(row, kStatus) == "Processing")
                    list_->scrollTo(table_->index(row, 0));
            });
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    model_->jobs().unsubscribe(this);
    model_->setView(nullptr);
    list_->setModel(nullptr);
    delete table_;
    table_ = nullptr;
}

void MainWindow::buildControls()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 2, 4, 4);

    auto* hints = new QHBoxLayout;
    hints->addStretch(1);
    hints->addWidget(new QLabel(QStringLiteral("Drag & Drop file(s) into list below"), central));
    hints->addStretch(1);
    hints->addWidget(new QLabel(QStringLiteral("Right click item to update"), central));
    hints->addStretch(1);
    layout->addLayout(hints);

    layout->addWidget(makeListView(central), 1);
    layout->addLayout(makeButtonRow(central));

    auto* website = new HyperLink(QStringLiteral("Go to Quillon Website"), central);
    website->setUrl(kWebsiteUrl);
    website->setObjectName(mainids::kWebsiteLink);
    websiteLink_ = website;
    layout->addWidget(websiteLink_, 0, Qt::AlignLeft);

    // From the list, Tab reaches the buttons and the link.
    setTabOrder(list_, appendButton_);
    setTabOrder(appendButton_, closeButton_);
    setTabOrder(closeButton_, websiteLink_);
    setTabOrder(websiteLink_, totalItems_);

    connect(appendButton_, &QPushButton::clicked, this,
            [this] { runCommand(kCmdAppendFiles, CommandOrigin::Button); });
    connect(closeButton_, &QPushButton::clicked, this,
            [this] { runCommand(kCmdCloseButton, CommandOrigin::Button); });
    setCentralWidget(central);
}

QTableView* MainWindow::makeListView(QWidget* parent)
{
    list_ = new QTableView(parent);
    list_->setObjectName(mainids::kJobList);
    list_->setAccessibleName(QStringLiteral("Job list"));
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setDragDropMode(QAbstractItemView::NoDragDrop);
    list_->setAcceptDrops(false);
    list_->viewport()->setAcceptDrops(false);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setWordWrap(false);
    // Tab leaves the list; the arrows move inside it.
    list_->setTabKeyNavigation(false);
    list_->setIconSize(QSize(16, 16));
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    return list_;
}

// "Total Items:", the run's progress, "Append Files" and "Close".
QHBoxLayout* MainWindow::makeButtonRow(QWidget* parent)
{
    auto* totalLabel = new QLabel(QStringLiteral("Total Items:"), parent);
    totalLabel->setObjectName(mainids::kTotalItemsLabel);
    totalItems_ = new QLineEdit(QStringLiteral("0"), parent);
    totalItems_->setObjectName(mainids::kTotalItems);
    totalItems_->setReadOnly(true);
    totalItems_->setAccessibleName(QStringLiteral("Total Items:"));
    totalItems_->setMaximumWidth(70);
    totalLabel->setBuddy(totalItems_);
    progress_ = new QProgressBar(parent);
    progress_->setObjectName(mainids::kRunProgress);
    progress_->setAccessibleName(QStringLiteral("Files appended"));
    progress_->setFormat(QStringLiteral("%v of %m"));
    progress_->setMaximumWidth(180);
    // Its place is kept while hidden, so showing it moves no button.
    QSizePolicy keepPlace = progress_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    progress_->setSizePolicy(keepPlace);
    progress_->hide();
    appendButton_ = new QPushButton(appendButtonText("Append Files"), parent);
    appendButton_->setObjectName(mainids::kAppendFiles);
    appendButton_->setDefault(true);
    appendButton_->setMinimumWidth(160);
    closeButton_ = new QPushButton(QStringLiteral("&Close"), parent);
    closeButton_->setObjectName(mainids::kClose);
    closeButton_->setMinimumWidth(70);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(totalLabel);
    buttons->addWidget(totalItems_);
    buttons->addWidget(progress_);
    buttons->addStretch(1);
    buttons->addWidget(appendButton_);
    buttons->addStretch(1);
    buttons->addWidget(closeButton_);
    return buttons;
}

void MainWindow::buildMenus()
{
    std::vector<QString> titles;
    for (const MenuDef& def : mainMenuBar())
        titles.push_back(QString::fromUtf8(def.title));
    addMnemonics(titles);
    std::size_t menuIndex = 0;
    for (const MenuDef& def : mainMenuBar()) {
        QMenu* menu = menuBar()->addMenu(titles[menuIndex++]);
        std::vector<QString> names;
        std::vector<QKeySequence> keys;
        for (const MenuItemDef& item : def.items) {
            auto [name, key] = splitShortcut(item.command ? QString::fromUtf8(item.text) : QString());
            names.push_back(name);
            keys.push_back(key);
        }
        addMnemonics(names);
        std::size_t itemIndex = 0;
        for (const MenuItemDef& item : def.items) {
            const QString& name = names[itemIndex];
            const QKeySequence key = keys[itemIndex++];
            if (item.command == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* a = menu->addAction(name);
            if (!key.isEmpty()) {
                // Shown beside the item as Qt shows a shortcut; the key itself
                // is the window's accelerator below, so it works only while the
                // main window is active (here it acts only inside the open menu).
                a->setShortcut(key);
                a->setShortcutContext(Qt::WidgetShortcut);
            }
            a->setObjectName(idName(item.command));
            a->setData(item.command);
            if (item.checkable) {
                a->setCheckable(true);
                a->setChecked(true);
            }
            int id = item.command;
            connect(a, &QAction::triggered, this, [this, id] { runCommand(id, CommandOrigin::MenuBar); });
            actions_[id] = a;
        }
    }
    contextMenu_ = new QMenu(this);
    contextMenu_->setObjectName(mainids::kRowContextMenu);
    std::vector<QString> names;
    for (const MenuItemDef& item : rowContextMenu())
        names.push_back(item.command ? QString::fromUtf8(item.text) : QString());
    addMnemonics(names);
    std::size_t itemIndex = 0;
    for (const MenuItemDef& item : rowContextMenu()) {
        const QString& name = names[itemIndex++];
        if (item.command == 0) {
            contextMenu_->addSeparator();
            continue;
        }
        QAction* a = contextMenu_->addAction(name);
        a->setObjectName(idName(item.command));
        a->setData(item.command);
    }
    for (const AcceleratorDef& key : mainAccelerators()) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromUtf8(key.key)), this);
        shortcut->setContext(Qt::WindowShortcut);
        int id = key.command;
        connect(shortcut, &QShortcut::activated, this,
                [this, id] { runCommand(id, CommandOrigin::Accelerator); });
    }
}

QAction* MainWindow::action(int command) const
{
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::start(const std::vector<std::string>& arguments, const std::string& startDirectory)
{
    bool complete = model_->initialise(arguments, startDirectory);
    if (complete && !model_->isClosed() && !model_->settings().noSplash) splashTimer_->start();
}

void MainWindow::runCommand(int command, CommandOrigin origin)
{
    if (model_->execute(command, origin)) {
        int focused = model_->jobs().focusedRow();
        if (focused >= 0 && focused < table_->rowCount())
            list_->selectionModel()->setCurrentIndex(table_->index(focused, 0),
                                                     QItemSelectionModel::NoUpdate);
        return;
    }
    switch (command) {
    case kCmdBulkLoadGrouping: bulkLoadGrouping(); break;
    case kCmdBulkLoadToOneOutput: bulkLoadToOneOutput(); break;
    case kCmdSetup: showSetup(); break;
    case kCmdViewLog: viewLog(); break;
    case kCmdExportLogToCsv: exportLogToCsv(); break;
    case kCmdWebsiteHomepage: goToWebsiteHomepage(); break;
    case kCmdHtmlHelp: showHtmlHelp(); break;
    case kCmdEmailBug: emailBugReport(); break;
    case kCmdAbout: showAbout(); break;
    case kCmdPreviewJob: showJobPlan(this, *model_); break;
    default: break;
    }
}

void MainWindow::bulkLoadGrouping()
{
    bulk_->grouping();
}
void MainWindow::bulkLoadToOneOutput()
{
    bulk_->toOneOutput();
}
void MainWindow::viewLog()
{
    ViewLog(options_.logPath, *options_.messages, this);
}
void MainWindow::exportLogToCsv()
{
    ExportLogToCsv(options_.logPath, *fileDialogs_, *options_.messages, *opener_);
}
void MainWindow::goToWebsiteHomepage()
{
    OpenWebsite(*links_);
}
void MainWindow::showHtmlHelp()
{
    ShowHelp(kMainWindowHelpContext, this);
}
void MainWindow::emailBugReport()
{
    SendBugReport(*opener_, *options_.messages);
}
void MainWindow::openWebsiteLink()
{
    static_cast<HyperLink*>(websiteLink_)->follow();
}
void MainWindow::showSetup()
{
    runSetupDialog(this, model_->settings(), *fileDialogs_, *options_.messages, model_->settingsPath());
}

void MainWindow::showAbout()
{
    QDialog about(this);
    about.setObjectName(mainids::kAbout);
    about.setWindowTitle(QStringLiteral("About Folioband Batch"));
    auto* layout = new QHBoxLayout(&about);
    auto* icon = new QLabel(&about);
    icon->setPixmap(programIcon().pixmap(48, 48));
    layout->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    // The About box has always named the release its text was last written for
    // (v1.04); the program's version is the caption's and --version's.
    texts->addWidget(new QLabel(QStringLiteral("Folioband Batch v1.04"), &about));
    auto* web = new HyperLink(QStringLiteral("Go to Quillon Website"), &about);
    web->setUrl(kWebsiteUrl);
    web->setMessages(options_.messages);
    web->setObjectName(QStringLiteral("AboutWebsite"));
    auto* mail = new HyperLink(QStringLiteral("Email Support"), &about);
    mail->setUrl(std::string("mailto:") + kSupportAddress);
    mail->setMessages(options_.messages);
    mail->setObjectName(QStringLiteral("AboutMail"));
    texts->addWidget(web);
    texts->addWidget(mail);
    auto* ok = new QPushButton(QStringLiteral("OK"), &about);
    ok->setObjectName(mainids::kAboutOk);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, &about, &QDialog::accept);
    texts->addWidget(ok, 0, Qt::AlignRight);
    layout->addLayout(texts);
    about.exec();
}

void MainWindow::showSplash()
{
    QDialog splash(this, Qt::SplashScreen | Qt::FramelessWindowHint);
    splash.setObjectName(mainids::kSplash);
    auto* layout = new QVBoxLayout(&splash);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* picture = new QLabel(&splash);
    picture->setObjectName(mainids::kSplashPicture);
    picture->setPixmap(splashPicture());
    layout->addWidget(picture);
    QTimer::singleShot(3000, &splash, &QDialog::accept);
    splash.exec();
}

void MainWindow::showRowContextMenu(const QPoint& pos)
{
    if (model_->jobs().firstSelectedRow() < 0) return;
    QAction* chosen = contextMenu_->exec(list_->viewport()->mapToGlobal(pos));
    if (chosen) runCommand(chosen->data().toInt(), CommandOrigin::ContextMenu);
    update();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        int key = static_cast<QKeyEvent*>(event)->key();
        // Escape ends a long load, keeping the rows read so far.
        if (key == Qt::Key_Escape && model_->jobs().loading()) {
            model_->jobs().stopLoad();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::restoreWindowState()
{
    // Larger than the old fixed 1000x460 where the screen has room, never
    // larger than the screen; the size and the columns a person left win.
    QRect available = screen() ? screen()->availableGeometry() : QRect(0, 0, 1000, 460);
    QSize wanted(std::max(1000, available.width() * 3 / 4), std::max(460, available.height() * 2 / 3));
    resize(wanted.boundedTo(available.size()));
    move(available.center() - rect().center());

    std::unique_ptr<QSettings> settings = windowSettings();
    QByteArray geometry = settings->value(QLatin1String(kSettingsGeometry)).toByteArray();
    if (!geometry.isEmpty()) restoreGeometry(geometry);
    QByteArray columns = settings->value(QLatin1String(kSettingsColumns)).toByteArray();
    QHeaderView* header = list_->horizontalHeader();
    if (columns.isEmpty() || !header->restoreState(columns)) fitHeaders();
    fitToScreen(this);
}

void MainWindow::saveWindowState()
{
    std::unique_ptr<QSettings> settings = windowSettings();
    settings->setValue(QLatin1String(kSettingsGeometry), saveGeometry());
    settings->setValue(QLatin1String(kSettingsColumns), list_->horizontalHeader()->saveState());
    settings->sync();
}

std::unique_ptr<QSettings> MainWindow::windowSettings() const
{
    // The person's own window settings, beside the preview panel's, not
    // setup.ini: that file is read by other programs in exactly its three
    // lines, and lives in whatever folder the program was started in, while a
    // window's size belongs to the person and the desktop.
    return std::make_unique<QSettings>(options_.windowStatePath.empty() ? PreviewPanel::stateFile()
                                                                        : qs(options_.windowStatePath),
                                       QSettings::IniFormat);
}

void MainWindow::fitHeaders()
{
    // No header clipped: each shown column at least as wide as its title.
    QHeaderView* header = list_->horizontalHeader();
    QFont bold = header->font();
    bold.setBold(true);
    QFontMetrics metrics(bold);
    for (int c = 0; c < kColumnCount; ++c) {
        int width = columnInfo(c).width;
        if (width == 0) continue; // hidden by design
        int title = metrics.horizontalAdvance(qs(columnInfo(c).header)) + 16;
        header->resizeSection(c, std::max(width, title));
    }
}

void MainWindow::fitColumnsSoon()
{
    if (!fitColumns_->isActive()) fitColumns_->start();
}

void MainWindow::fitPathColumns()
{
    // Paths are read from their end; the columns that hold them grow to the
    // longest shown (never shrink below what the person set).
    QHeaderView* header = list_->horizontalHeader();
    for (int c :
         {static_cast<int>(kFileName), static_cast<int>(kMoveToDirectory), static_cast<int>(kOutputFile)}) {
        if (header->isSectionHidden(c) || header->sectionSize(c) == 0) continue;
        int wanted = widthInView(c);
        if (wanted > header->sectionSize(c)) header->resizeSection(c, wanted);
    }
}

void MainWindow::fitFileNameColumn()
{
    QHeaderView* header = list_->horizontalHeader();
    header->resizeSection(kFileName, std::max(widthInView(kFileName), header->sectionSizeHint(kFileName)));
}

int MainWindow::widthInView(int column) const
{
    // Only the rows in view are measured: Qt's own fit lays out a thousand
    // texts a column, which at every turn of a long load cost more than the
    // load itself. Scrolling measures the rows it brings into view.
    const int count = table_->rowCount();
    if (count == 0) return 0;
    QHeaderView* rows = list_->verticalHeader();
    const int top = std::max(0, rows->visualIndexAt(0));
    int bottom = rows->visualIndexAt(list_->viewport()->height() - 1);
    if (bottom < 0) bottom = count - 1;
    bottom = std::min(bottom, top + kMostRowsInView);
    int wanted = 0;
    for (int r = top; r <= bottom; ++r) {
        const int row = rows->logicalIndex(r);
        if (rows->isSectionHidden(row)) continue;
        wanted = std::max(wanted, list_->sizeHintForIndex(table_->index(row, column)).width());
    }
    return wanted + (list_->showGrid() ? 1 : 0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    saveWindowState();
    bulk_->stop();
    model_->jobs().stopLoad();
    if (!model_->isClosed()) model_->close();
    event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    }
    event->acceptProposedAction();
    // The file manager waits for the drop to finish; the parameters dialogs
    // each file may open come after that.
    QTimer::singleShot(0, this, [this, paths] { model_->dropFiles(paths); });
}

void MainWindow::repaintNow()
{
    if (isVisible()) repaint();
}

void MainWindow::alwaysShowParametersChanged(bool on)
{
    if (QAction* a = action(kCmdAlwaysShowParameters)) a->setChecked(on);
}

void MainWindow::totalItemsChanged(int count)
{
    totalItems_->setText(QString::number(count));
    fitColumnsSoon();
}

void MainWindow::titleChanged(const std::string& title)
{
    setWindowTitle(qs(title));
}

void MainWindow::loadProgress(bool active, int rows)
{
    // The load's end leaves the button as the run has it; runs have their
    // own progress.
    if (!active) {
        progress_->hide();
        appendButton_->setText(appendButtonText(model_->appendRun().buttonCaption()));
        return;
    }
    if (!progress_->isVisible()) {
        progress_->setRange(0, 0); // how many rows will come is not known
        progress_->setFormat(QStringLiteral("%1 rows read").arg(rows));
        progress_->show();
        appendButton_->setText(appendButtonText("Stop"));
    }
    progress_->setAccessibleDescription(QStringLiteral("%1 rows read").arg(rows));
}

void MainWindow::closeRequested()
{
    // From the close box the window is closing already.
    if (isVisible()) close();
}

} // namespace fb
