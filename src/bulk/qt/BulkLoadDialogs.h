#pragma once
#include "bulk/BulkLoad.h"
#include "common/FileDialogs.h"
#include "common/FolderChooser.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace fb {

// "Bulk Load Options": where grouped outputs go and the suffix they get.
// The edits are stored into the settings by OK and by Browse (before and
// after the chooser); Cancel, Escape and the close box store nothing more.
class GroupingOptionsDialog : public QDialog {
    Q_OBJECT
public:
    GroupingOptionsDialog(GroupingSettings& settings, FolderChooser& folders, QWidget* parent = nullptr);

private:
    void storeFields();
    void browse();

    GroupingSettings& settings_;
    FolderChooser& folders_;
    QLineEdit* outputDirectory_;
    QLineEdit* suffix_;
};

// "Bulk Load To One Output File". OK, Browse and each click of the check box
// store the fields.
class OneOutputOptionsDialog : public QDialog {
    Q_OBJECT
public:
    OneOutputOptionsDialog(OneOutputSettings& settings, FileDialogs& files, QWidget* parent = nullptr);

private:
    void storeFields();
    void browse();

    OneOutputSettings& settings_;
    FileDialogs& files_;
    QLineEdit* outputFile_;
    QLineEdit* contains_;
    QCheckBox* removeExisting_;
};

// Shows the two dialogs modally over the main window.
class QtBulkLoadOptionsPrompt : public BulkLoadOptionsPrompt {
public:
    QtBulkLoadOptionsPrompt(FolderChooser& folders, FileDialogs& files, QWidget* parent)
        : folders_(folders), files_(files), parent_(parent)
    {
    }
    bool askGrouping(GroupingSettings& settings) override;
    bool askOneOutput(OneOutputSettings& settings) override;

private:
    FolderChooser& folders_;
    FileDialogs& files_;
    QWidget* parent_;
};

// Paths and names are bytes; the widgets show them in the locale's encoding.
QString fromBytes(const std::string& bytes);
std::string toBytes(const QString& text);

} // namespace fb
