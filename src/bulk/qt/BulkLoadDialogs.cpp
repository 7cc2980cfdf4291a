#include "bulk/qt/BulkLoadDialogs.h"

#include "bulk/qt/BulkControlIds.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <functional>

namespace fb {

QString fromBytes(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

std::string toBytes(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

namespace {

QLabel* label(const QString& text, const char* id, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(id);
    return l;
}

QLineEdit* edit(const std::string& text, const char* id, QLabel* buddy, QWidget* parent)
{
    auto* e = new QLineEdit(fromBytes(text), parent);
    e->setObjectName(id);
    buddy->setBuddy(e);
    return e;
}

QPushButton* button(const QString& text, const char* id, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(id);
    b->setAutoDefault(false);
    return b;
}

// OK (the default button, so Enter acts like it) and Cancel, right-aligned.
QHBoxLayout* okCancel(QDialog* dialog, std::function<void()> onOk)
{
    auto* ok = button("OK", bulkids::kOk, dialog);
    ok->setDefault(true);
    auto* cancel = button("Cancel", bulkids::kCancel, dialog);
    QObject::connect(ok, &QPushButton::clicked, dialog, [dialog, onOk] {
        onOk();
        dialog->accept();
    });
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace

GroupingOptionsDialog::GroupingOptionsDialog(GroupingSettings& settings, FolderChooser& folders,
                                             QWidget* parent)
    : QDialog(parent), settings_(settings), folders_(folders)
{
    setWindowTitle("Bulk Load Options");
    auto* explanation = label("Bulk Load is for grouping pdf files together with the same name.\n"
                              "e.g. suffix _2003 will append all source files with the same filename "
                              "c:\\1\\test.pdf, c:\\2\\test.pdf to test_2003.pdf",
                              bulkids::kGroupingExplanation, this);
    explanation->setWordWrap(true);
    auto* dirLabel = label("Output Directory:", bulkids::kOutputDirectoryLabel, this);
    outputDirectory_ = edit(settings.outputDirectory, bulkids::kOutputDirectory, dirLabel, this);
    auto* browseButton = button("Browse", bulkids::kOutputDirectoryBrowse, this);
    auto* suffixLabel = label("Suffix:", bulkids::kSuffixLabel, this);
    suffix_ = edit(settings.suffix, bulkids::kSuffix, suffixLabel, this);

    auto* grid = new QGridLayout;
    grid->addWidget(dirLabel, 0, 0);
    grid->addWidget(outputDirectory_, 0, 1);
    grid->addWidget(browseButton, 0, 2);
    grid->addWidget(suffixLabel, 1, 0);
    grid->addWidget(suffix_, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(grid);
    layout->addLayout(okCancel(this, [this] { storeFields(); }));
    setMinimumWidth(420);

    connect(browseButton, &QPushButton::clicked, this, &GroupingOptionsDialog::browse);
}

void GroupingOptionsDialog::storeFields()
{
    settings_.outputDirectory = toBytes(outputDirectory_->text());
    settings_.suffix = toBytes(suffix_->text());
}

void GroupingOptionsDialog::browse()
{
    storeFields();
    auto chosen =
        folders_.chooseFolder({"Output Directory...", "Please choose your directory to output to...",
                               toBytes(outputDirectory_->text())});
    if (chosen) outputDirectory_->setText(fromBytes(*chosen));
    storeFields();
}

OneOutputOptionsDialog::OneOutputOptionsDialog(OneOutputSettings& settings, FileDialogs& files,
                                               QWidget* parent)
    : QDialog(parent), settings_(settings), files_(files)
{
    setWindowTitle("Bulk Load To One Output File");
    auto* explanation = label("Bulk load will append all files containing text in the filename "
                              "to one output file specified below.",
                              bulkids::kOneOutputExplanation, this);
    explanation->setWordWrap(true);
    auto* fileLabel = label("Output Filename:", bulkids::kOutputFileLabel, this);
    outputFile_ = edit(settings.oneOutputFile, bulkids::kOutputFile, fileLabel, this);
    auto* browseButton = button("Browse", bulkids::kOutputFileBrowse, this);
    auto* containsLabel = label("Contains text:", bulkids::kContainsLabel, this);
    contains_ = edit(settings.containsText, bulkids::kContains, containsLabel, this);
    auto* example = label("e.g. 062005", bulkids::kContainsExample, this);
    removeExisting_ = new QCheckBox("If output file already exists then remove it", this);
    removeExisting_->setObjectName(bulkids::kRemoveExisting);
    removeExisting_->setChecked(settings.removeExisting);

    auto* grid = new QGridLayout;
    grid->addWidget(fileLabel, 0, 0);
    grid->addWidget(outputFile_, 0, 1);
    grid->addWidget(browseButton, 0, 2);
    grid->addWidget(containsLabel, 1, 0);
    grid->addWidget(contains_, 1, 1);
    grid->addWidget(example, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(grid);
    layout->addWidget(removeExisting_);
    layout->addLayout(okCancel(this, [this] { storeFields(); }));
    setMinimumWidth(460);

    connect(browseButton, &QPushButton::clicked, this, &OneOutputOptionsDialog::browse);
    connect(removeExisting_, &QCheckBox::clicked, this, [this] { storeFields(); });
}

void OneOutputOptionsDialog::storeFields()
{
    settings_.oneOutputFile = toBytes(outputFile_->text());
    settings_.containsText = toBytes(contains_->text());
    settings_.removeExisting = removeExisting_->isChecked();
}

void OneOutputOptionsDialog::browse()
{
    storeFields();
    FileDialogRequest request{
        "Append To File", {"*.pdf", "All Files *.*"}, "PDF", false, settings_.oneOutputFile};
    auto chosen = files_.saveFile(request);
    if (!chosen) return;
    settings_.oneOutputFile = *chosen;
    outputFile_->setText(fromBytes(*chosen));
}

bool QtBulkLoadOptionsPrompt::askGrouping(GroupingSettings& settings)
{
    GroupingOptionsDialog dialog(settings, folders_, parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool QtBulkLoadOptionsPrompt::askOneOutput(OneOutputSettings& settings)
{
    OneOutputOptionsDialog dialog(settings, files_, parent_);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace fb
