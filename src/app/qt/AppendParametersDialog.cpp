#include "app/qt/AppendParametersDialog.h"

#include "app/qt/AppendParametersIds.h"
#include "common/Text.h"
#include "pages/qt/PagePreview.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace fb {

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

QLineEdit* lineEdit(QWidget* parent, const char* id, bool readOnly = false)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(id);
    edit->setReadOnly(readOnly);
    edit->setMaxLength(static_cast<int>(kMaxTextLength));
    return edit;
}

QPushButton* button(QWidget* parent, const QString& text, const char* id)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(id);
    return b;
}

QLabel* label(QWidget* parent, const QString& text, QWidget* buddy = nullptr)
{
    auto* l = new QLabel(text, parent);
    if (buddy) l->setBuddy(buddy);
    return l;
}

} // namespace

AppendParametersDialog::AppendParametersDialog(QWidget* parent, AppendParameters& values,
                                               FolderChooser& folders, FileDialogs& files,
                                               std::function<void()> help)
    : QDialog(parent), values_(values), folders_(folders), files_(files), help_(std::move(help))
{
    setWindowTitle("Append Parameters");
    makeControls();
    layOut(parent);
    connectControls();
    draw(values_.controls());
    pageSpec_->setFocus();
}

void AppendParametersDialog::makeControls()
{
    fileName_ = lineEdit(this, appendids::kFileName, true);
    pageCount_ = lineEdit(this, appendids::kPageCount, true);
    pageCount_->setMaximumWidth(70);
    pageSpec_ = lineEdit(this, appendids::kAppendParameters);
    moveTo_ = lineEdit(this, appendids::kMoveToDirectory);
    output_ = lineEdit(this, appendids::kOutputFile);
    moveToButton_ = button(this, "&Browse", appendids::kMoveToBrowse);
    outputButton_ = button(this, "&Browse", appendids::kOutputBrowse);
    moveToButton_->setAccessibleDescription("Choose the folder to move the source to");
    outputButton_->setAccessibleDescription("Choose the output PDF file");

    create_ = new QRadioButton("Create new output file", this);
    create_->setObjectName(appendids::kCreateNew);
    append_ = new QRadioButton("Append to existing output file (if exists)", this);
    append_->setObjectName(appendids::kAppendExisting);
    keepBookmarks_ = new QCheckBox("Keep Bookmarks:", this);
    keepBookmarks_->setObjectName(appendids::kKeepBookmarks);
    keepBookmarks_->setLayoutDirection(Qt::RightToLeft); // the box after its text
    bookmarkFilename_ = new QCheckBox("Add Filename as Bookmark", this);
    bookmarkFilename_->setObjectName(appendids::kBookmarkFilename);
    useSame_ =
        new QCheckBox("Use same parameters for future pdf's, this can be turned off in options menu.", this);
    useSame_->setObjectName(appendids::kUseSameParameters);

    helpButton_ = button(this, "&Help", appendids::kHelp);
    save_ = button(this, "Save && Exit", appendids::kSaveAndExit);
    save_->setDefault(true);
    cancel_ = button(this, "&Cancel", appendids::kCancel);
}

// The fields on the left, the source's pages beside them.
void AppendParametersDialog::layOut(QWidget* parent)
{
    auto* grid = new QGridLayout;
    grid->addWidget(label(this, "Filename:", fileName_), 0, 0);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileName_, 1);
    fileRow->addWidget(label(this, "Pages", pageCount_));
    fileRow->addWidget(pageCount_);
    grid->addLayout(fileRow, 0, 1, 1, 2);
    grid->addWidget(label(this, "Append Parameters:", pageSpec_), 1, 0);
    grid->addWidget(pageSpec_, 1, 1, 1, 2);
    // Wraps on a narrow screen rather than widening the dialog past it.
    auto* hint =
        label(this, "e.g. all 6-7,9-10  or 5-10n or 1s,2s etc or odd,even SEE HELP FOR MORE DETAILS");
    hint->setWordWrap(true);
    grid->addWidget(hint, 2, 1, 1, 2);
    grid->addWidget(label(this, "Move to dir after append:", moveTo_), 3, 0);
    grid->addWidget(moveTo_, 3, 1);
    grid->addWidget(moveToButton_, 3, 2);
    grid->addWidget(label(this, "(optional)"), 4, 0);
    grid->addWidget(label(this, "Append to Filename:", output_), 5, 0);
    grid->addWidget(output_, 5, 1);
    grid->addWidget(outputButton_, 5, 2);
    grid->setColumnStretch(1, 1);

    auto* choices = new QHBoxLayout;
    choices->addWidget(create_);
    choices->addWidget(append_);
    choices->addStretch(1);
    auto* bookmarks = new QHBoxLayout;
    bookmarks->addWidget(keepBookmarks_);
    bookmarks->addSpacing(24);
    bookmarks->addWidget(bookmarkFilename_);
    bookmarks->addStretch(1);

    auto* icon = new QLabel(this);
    QIcon programIcon = QApplication::windowIcon();
    if (programIcon.isNull()) programIcon = style()->standardIcon(QStyle::SP_FileDialogContentsView);
    icon->setPixmap(programIcon.pixmap(32, 32));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(icon);
    buttons->addStretch(1);
    buttons->addWidget(helpButton_);
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);

    // The source's pages beside the fields, the selection marked as it is typed.
    preview_ = new PagePreview(this);
    // Opening a long PDF takes the longest: it starts now, while the rest of
    // the dialog is built and shown, not once the fields are drawn.
    preview_->setSource(values_.controls().fileName, values_.controls().pageCount);
    auto* sides = new QHBoxLayout(this);
    auto* layout = new QVBoxLayout;
    sides->addLayout(layout, 1);
    sides->addWidget(preview_);
    connect(pageSpec_, &QLineEdit::textChanged, this,
            [this](const QString& text) { preview_->setSelection(text.toStdString()); });
    layout->addLayout(grid);
    layout->addLayout(choices);
    layout->addLayout(bookmarks);
    layout->addWidget(useSame_);
    layout->addLayout(buttons);
    resize(560 + preview_->minimumSizeHint().width(), std::max(sizeHint().height(), 420));
    // On a screen too narrow for the pages beside the fields (a small screen at
    // a large scale) the fields come first: the dialog works without the pages.
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        if (minimumSizeHint().width() > screen->availableGeometry().width()) {
            preview_->hide();
            resize(560, sizeHint().height());
        }
    }
}

void AppendParametersDialog::connectControls()
{
    // Tab through the controls in the order they are read, top to bottom.
    QWidget* order[] = {fileName_,         pageCount_,    pageSpec_,   moveTo_, moveToButton_,
                        output_,           outputButton_, create_,     append_, keepBookmarks_,
                        bookmarkFilename_, useSame_,      helpButton_, save_,   cancel_};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    for (QRadioButton* radio : {create_, append_})
        connect(radio, &QRadioButton::clicked, this, [this] {
            values_.take(controls());
            draw(values_.controls());
        });
    // After any click at most one of the two bookmark boxes is checked.
    connect(keepBookmarks_, &QCheckBox::clicked, this, [this] { bookmarkFilename_->setChecked(false); });
    connect(bookmarkFilename_, &QCheckBox::clicked, this, [this] { keepBookmarks_->setChecked(false); });
    connect(moveToButton_, &QPushButton::clicked, this, [this] { browseMoveTo(); });
    connect(outputButton_, &QPushButton::clicked, this, [this] { browseOutput(); });
    connect(helpButton_, &QPushButton::clicked, this, [this] {
        if (help_) help_();
    });
    connect(save_, &QPushButton::clicked, this, [this] { saveAndExit(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

AppendParametersControls AppendParametersDialog::controls() const
{
    AppendParametersControls c;
    c.fileName = fileName_->text().toStdString();
    c.pageCount = values_.controls().pageCount;
    c.appendParameters = pageSpec_->text().toStdString();
    c.moveToDirectory = moveTo_->text().toStdString();
    c.outputFile = output_->text().toStdString();
    c.keepBookmarks = keepBookmarks_->isChecked();
    c.bookmarkFilename = bookmarkFilename_->isChecked();
    c.createNew = create_->isChecked();
    c.useSameParameters = useSame_->isChecked();
    return c;
}

void AppendParametersDialog::draw(const AppendParametersControls& c)
{
    fileName_->setText(qs(c.fileName));
    pageCount_->setText(QString::number(c.pageCount));
    pageSpec_->setText(qs(c.appendParameters));
    moveTo_->setText(qs(c.moveToDirectory));
    output_->setText(qs(c.outputFile));
    keepBookmarks_->setChecked(c.keepBookmarks);
    bookmarkFilename_->setChecked(c.bookmarkFilename);
    (c.createNew ? create_ : append_)->setChecked(true);
    useSame_->setChecked(c.useSameParameters);
    preview_->setSelection(c.appendParameters);
    preview_->setSource(c.fileName, c.pageCount);
}

void AppendParametersDialog::browseMoveTo()
{
    auto folder = folders_.chooseFolder(AppendParameters::moveToFolderRequest(moveTo_->text().toStdString()));
    if (folder) moveTo_->setText(qs(*folder));
}

void AppendParametersDialog::browseOutput()
{
    values_.take(controls());
    draw(values_.controls());
    if (auto path = files_.saveFile(AppendParameters::outputFileRequest())) {
        values_.outputFileChosen(*path);
        draw(values_.controls());
    }
}

void AppendParametersDialog::saveAndExit()
{
    bool ok = values_.confirm(controls());
    draw(values_.controls());
    if (ok) accept();
}

QtParametersPrompt::QtParametersPrompt(QWidget* parent, FolderChooser& folders, FileDialogs& files,
                                       MessageBoxes& messages)
    : parent_(parent), folders_(folders), files_(files), values_(messages)
{
}

ParametersAnswer QtParametersPrompt::prompt(const ParametersRequest& request)
{
    if (values_.open(request)) return values_.answer();
    AppendParametersDialog dialog(parent_, values_, folders_, files_, help_);
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.raise();
        dialog.activateWindow();
    });
    if (dialog.exec() != QDialog::Accepted) return {};
    return values_.answer();
}

void QtParametersPrompt::holdValues(const std::string& fileName, const RowValues& values)
{
    values_.hold(fileName, values);
}

} // namespace fb
