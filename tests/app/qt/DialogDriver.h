#pragma once
#include "common/FileDialogs.h"
#include "common/FolderChooser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QObject>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fb::test {

// Runs a step on the modal dialog that the code under test opens next. A step
// that leaves the dialog open is a failure, and the dialog is closed so the
// test cannot hang. Going out of scope cancels a step that never ran.
class ModalStep {
public:
    explicit ModalStep(std::function<void(QDialog*)> step) : step_(std::move(step))
    {
        timer_.setInterval(0);
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] { fire(); });
        timer_.start();
    }
    bool ran() const { return ran_; }

private:
    void fire()
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            // Not open yet (or never): look again a little later, for a while.
            if (++tries_ < 300) timer_.start(10);
            return;
        }
        ran_ = true;
        step_(dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the step left " << dialog->windowTitle().toStdString() << " open";
            dialog->reject();
        }
    }
    std::function<void(QDialog*)> step_;
    QTimer timer_;
    int tries_ = 0;
    bool ran_ = false;
};

template <class W> W* control(QWidget* dialog, const char* id)
{
    W* w = dialog->findChild<W*>(id);
    EXPECT_NE(w, nullptr) << "no control " << id;
    return w;
}

// Real keys: select everything, delete it, type the new text.
inline void retype(QLineEdit* edit, const QString& text)
{
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

inline void click(QAbstractButton* button)
{
    QPoint at = button->rect().center();
    // A check box or radio button only answers a click on its box or text.
    QStyleOptionButton option;
    option.initFrom(button);
    if (qobject_cast<QCheckBox*>(button))
        at = button->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, button).center();
    else if (button->inherits("QRadioButton"))
        at = button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button).center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

// FB_SCREENSHOT_DIR set: save what the dialog looks like now.
inline void screenshot(QWidget* dialog, const char* name)
{
    QByteArray dir = qgetenv("FB_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QTest::qWait(500); // let folder listings arrive and sort
    dialog->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
}

struct ScriptedFolderChooser : FolderChooser {
    std::optional<std::string> chooseFolder(const FolderRequest& request) override
    {
        asked.push_back(request);
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<FolderRequest> asked;
    std::deque<std::optional<std::string>> answers;
};

struct ScriptedFileDialogs : FileDialogs {
    std::optional<std::string> openFile(const FileDialogRequest& request) override { return answer(request); }
    std::optional<std::string> saveFile(const FileDialogRequest& request) override { return answer(request); }
    std::optional<std::string> answer(const FileDialogRequest& request)
    {
        asked.push_back(request);
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<FileDialogRequest> asked;
    std::deque<std::optional<std::string>> answers;
};

} // namespace fb::test
