#pragma once
#include "app/AppendParameters.h"
#include "common/FileDialogs.h"
#include "common/FolderChooser.h"
#include "common/Messages.h"
#include "jobs/ParametersPrompt.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace fb {
class PagePreview;
}

namespace fb {

// The "Append Parameters" window: it draws the held values and hands the
// controls back to AppendParameters whenever a button takes them.
class AppendParametersDialog : public QDialog {
    Q_OBJECT
public:
    AppendParametersDialog(QWidget* parent, AppendParameters& values, FolderChooser& folders,
                           FileDialogs& files, std::function<void()> help);

    AppendParametersControls controls() const;
    void draw(const AppendParametersControls& controls);

private:
    void makeControls();
    void layOut(QWidget* parent);
    void connectControls();
    void browseMoveTo();
    void browseOutput();
    void saveAndExit();

    AppendParameters& values_;
    FolderChooser& folders_;
    FileDialogs& files_;
    std::function<void()> help_;
    QLineEdit* fileName_;
    QLineEdit* pageCount_;
    QLineEdit* pageSpec_;
    QLineEdit* moveTo_;
    QLineEdit* output_;
    QCheckBox* keepBookmarks_;
    QCheckBox* bookmarkFilename_;
    QRadioButton* create_;
    QRadioButton* append_;
    QCheckBox* useSame_;
    PagePreview* preview_;
    QPushButton* moveToButton_;
    QPushButton* outputButton_;
    QPushButton* helpButton_;
    QPushButton* save_;
    QPushButton* cancel_;
};

// The job list's parameters prompt with a face: one set of held values for
// the life of the main window, a new modal window for each showing.
class QtParametersPrompt : public ParametersPrompt {
public:
    QtParametersPrompt(QWidget* parent, FolderChooser& folders, FileDialogs& files, MessageBoxes& messages);

    void setHelpHandler(std::function<void()> help) { help_ = std::move(help); }

    ParametersAnswer prompt(const ParametersRequest& request) override;
    void holdValues(const std::string& fileName, const RowValues& values) override;

private:
    QWidget* parent_;
    FolderChooser& folders_;
    FileDialogs& files_;
    AppendParameters values_;
    std::function<void()> help_;
};

} // namespace fb
