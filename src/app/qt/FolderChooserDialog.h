#pragma once
#include "common/FolderChooser.h"
#include "common/Messages.h"

#include <QDialog>

#include <string>

class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace fb {

// A folder tree with a field above it where a path can be typed as well as
// picked. The field's text, not the tree's selection, is the answer; it is
// tested, and created on request, before the window accepts it.
class FolderChooserDialog : public QDialog {
    Q_OBJECT
public:
    FolderChooserDialog(QWidget* parent, const FolderRequest& request, MessageBoxes& messages);

    std::string chosenPath() const;

private:
    void selectStartFolder(const std::string& startFolder);
    void treeSelectionChanged();
    void okClicked();

    MessageBoxes& messages_;
    QFileSystemModel* model_;
    QLineEdit* path_;
    QTreeView* tree_;
    QPushButton* ok_;
};

class QtFolderChooser : public FolderChooser {
public:
    QtFolderChooser(QWidget* parent, MessageBoxes& messages) : parent_(parent), messages_(messages) {}
    std::optional<std::string> chooseFolder(const FolderRequest& request) override;

private:
    QWidget* parent_;
    MessageBoxes& messages_;
};

} // namespace fb
