#include "app/qt/SetupDialog.h"

#include "app/qt/SetupDialogIds.h"
#include "common/Text.h"

#include <algorithm>
#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace fb {

namespace {

class SetupDialog : public QDialog {
public:
    SetupDialog(QWidget* parent, Settings& settings, FileDialogs& files, MessageBoxes& messages,
                std::string path)
        : QDialog(parent), settings_(settings), files_(files), messages_(messages), path_(std::move(path))
    {
        setWindowTitle("Setup");
        layout_ = new QVBoxLayout(this);
        oddEvery_ = addFileSetting(
            "If source is odd pages add file:", setupids::kOddEveryFile, setupids::kOddEveryBrowse,
            "if the source pdf is odd pages then add a file after each append", &settings_.oddEveryFile);
        oddFinal_ = addFileSetting(
            "If final append is odd pages add file:", setupids::kOddFinalFile, setupids::kOddFinalBrowse,
            "if the final destination pdf is odd number of pages then add a file onto the end, "
            "note: this is last pdf in the list only. e.g. if you're append lot's of files to 1 "
            "destination pdf then this is used.",
            &settings_.oddFinalFile);

        noSplash_ = new QCheckBox("Disable splash screen startup", this);
        noSplash_->setObjectName(setupids::kNoSplash);
        layout_->addWidget(noSplash_);

        auto* save = new QPushButton("Save && Exit", this);
        save->setObjectName(setupids::kSaveAndExit);
        save->setDefault(true);
        auto* cancel = new QPushButton("&Cancel", this);
        cancel->setObjectName(setupids::kCancel);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(save);
        buttons->addWidget(cancel);
        layout_->addLayout(buttons);
        resize(std::max(620, sizeHint().width()), sizeHint().height());

        connect(noSplash_, &QCheckBox::clicked, this, [this] {
            take();
            draw();
        });
        connect(save, &QPushButton::clicked, this, [this] {
            take();
            draw();
            saveSettings(settings_, messages_, path_);
            // Closes even when the file could not be written: the values stay in effect.
            accept();
        });
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        draw();
    }

private:
    QLineEdit* addFileSetting(const char* caption, const char* editId, const char* browseId,
                              const char* explanation, std::string* setting)
    {
        auto* frame = new QGroupBox(this);
        auto* edit = new QLineEdit(frame);
        edit->setObjectName(editId);
        edit->setMaxLength(static_cast<int>(kMaxTextLength));
        auto* label = new QLabel(caption, frame);
        label->setBuddy(edit);
        auto* browse = new QPushButton("Browse", frame);
        browse->setObjectName(browseId);
        browse->setAccessibleDescription(caption);
        auto* note = new QLabel(explanation, frame);
        note->setWordWrap(true);
        auto* grid = new QGridLayout(frame);
        // The path on a line of its own, as wide as the frame: a long path
        // stays readable instead of sharing the line with its label.
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 30);
        grid->addWidget(label, 0, 0, 1, 2);
        grid->addWidget(edit, 1, 0, 1, 2);
        grid->addWidget(browse, 1, 2);
        grid->addWidget(note, 2, 0, 1, 3);
        grid->setColumnStretch(0, 1);
        layout_->addWidget(frame);
        connect(browse, &QPushButton::clicked, this, [this, setting] {
            take();
            FileDialogRequest request{"PDF file", {"*.pdf", "All Files *.*"}, "PDF", true, ""};
            if (auto path = files_.openFile(request)) {
                *setting = *path;
                draw();
            }
        });
        return edit;
    }

    // The controls become the settings.
    void take()
    {
        settings_.oddEveryFile = oddEvery_->text().toStdString();
        settings_.oddFinalFile = oddFinal_->text().toStdString();
        settings_.noSplash = noSplash_->isChecked();
    }

    void draw()
    {
        oddEvery_->setText(QString::fromStdString(settings_.oddEveryFile));
        oddFinal_->setText(QString::fromStdString(settings_.oddFinalFile));
        noSplash_->setChecked(settings_.noSplash);
    }

    Settings& settings_;
    FileDialogs& files_;
    MessageBoxes& messages_;
    std::string path_;
    QVBoxLayout* layout_ = nullptr;
    QLineEdit* oddEvery_ = nullptr;
    QLineEdit* oddFinal_ = nullptr;
    QCheckBox* noSplash_ = nullptr;
};

} // namespace

bool runSetupDialog(QWidget* parent, Settings& settings, FileDialogs& files, MessageBoxes& messages,
                    const std::string& settingsPath)
{
    SetupDialog dialog(parent, settings, files, messages, settingsPath);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace fb
