#include "app/qt/FolderChooserDialog.h"

#include "app/CheckOrCreateFolder.h"
#include "app/qt/FolderChooserIds.h"
#include "common/Files.h"
#include "common/Text.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace fb {

FolderChooserDialog::FolderChooserDialog(QWidget* parent, const FolderRequest& request,
                                         MessageBoxes& messages)
    : QDialog(parent), messages_(messages)
{
    setWindowTitle(QString::fromStdString(request.title));

    auto* instruction = new QLabel(QString::fromStdString(request.instruction), this);
    instruction->setObjectName(folderids::kInstruction);
    instruction->setWordWrap(true);

    path_ = new QLineEdit(this);
    path_->setObjectName(folderids::kPath);
    path_->setMaxLength(static_cast<int>(kMaxTextLength));
    instruction->setBuddy(path_);

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    model_->setRootPath("/");
    model_->setReadOnly(true);

    tree_ = new QTreeView(this);
    tree_->setObjectName(folderids::kTree);
    tree_->setModel(model_);
    tree_->setHeaderHidden(true);
    for (int column = 1; column < model_->columnCount(); ++column)
        tree_->hideColumn(column);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setSortingEnabled(true);
    tree_->sortByColumn(0, Qt::AscendingOrder);
    tree_->setAccessibleName("Folders");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(folderids::kOk);
    ok_->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(folderids::kCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instruction);
    layout->addWidget(path_);
    layout->addWidget(tree_, 1);
    layout->addWidget(buttons);
    resize(420, 440);

    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { treeSelectionChanged(); });
    // OK means "there is something to test", not "it is valid": the test comes on OK.
    connect(path_, &QLineEdit::textChanged, this,
            [this](const QString& text) { ok_->setEnabled(!text.isEmpty()); });
    connect(ok_, &QPushButton::clicked, this, [this] { okClicked(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Listings arrive and get sorted after the window opens; keep the start
    // folder in sight meanwhile, but leave the view to the user after that.
    QElapsedTimer opened;
    opened.start();
    connect(model_, &QAbstractItemModel::layoutChanged, this, [this, opened] {
        if (opened.elapsed() < 1500)
            tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
    });

    ok_->setEnabled(false);
    selectStartFolder(request.startFolder.empty() ? QDir::currentPath().toStdString() : request.startFolder);
    path_->setFocus();
}

void FolderChooserDialog::selectStartFolder(const std::string& startFolder)
{
    // A start folder that does not exist yet stays in the field as typed,
    // with its nearest existing parent selected in the tree.
    QString wanted = QString::fromStdString(startFolder);
    QString existing = wanted;
    while (!existing.isEmpty() && !QFileInfo(existing).isDir())
        existing = existing == "/" ? QString() : QFileInfo(existing).path();
    if (!existing.isEmpty()) {
        QModelIndex index = model_->index(QFileInfo(existing).absoluteFilePath());
        if (index.isValid()) {
            tree_->setCurrentIndex(index);
            tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
        }
    }
    if (existing != wanted) path_->setText(wanted);
}

void FolderChooserDialog::treeSelectionChanged()
{
    QString path = model_->filePath(tree_->currentIndex());
    // Only folders of the file system can be the answer.
    if (!path.startsWith('/')) path.clear();
    path_->setText(path);
    ok_->setEnabled(!path.isEmpty());
}

void FolderChooserDialog::okClicked()
{
    if (checkOrCreateFolder(chosenPath(), messages_) != 0) {
        path_->setFocus();
        return;
    }
    accept();
}

std::string FolderChooserDialog::chosenPath() const
{
    return path_->text().toStdString();
}

std::optional<std::string> QtFolderChooser::chooseFolder(const FolderRequest& request)
{
    FolderChooserDialog dialog(parent_, request, messages_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosenPath();
}

} // namespace fb
