#include "common/qt/QtMessageBoxes.h"

#include "common/Text.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPushButton>

namespace fb {

MessageAnswer QtMessageBoxes::show(const std::string& text, const std::string& caption,
                                   MessageButtons buttons, MessageIcon icon)
{
    return showWithReason(text, caption, {}, buttons, icon);
}

MessageAnswer QtMessageBoxes::showWithReason(const std::string& text, const std::string& caption,
                                             const std::string& reason, MessageButtons buttons,
                                             MessageIcon icon)
{
    QMessageBox box(QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                      : QApplication::activeWindow());
    box.setObjectName(QStringLiteral("MessageBox"));
    // Names and job lines come from files: their control characters are shown, not obeyed.
    box.setWindowTitle(QString::fromStdString(escapeControls(caption)));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(escapeControls(text)));
    // Paths and addresses in a message can be copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    if (!reason.empty()) box.setDetailedText(QString::fromStdString(escapeControls(reason)));
    switch (icon) {
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    if (buttons == MessageButtons::YesNo) {
        // A Yes/No box presses its first button, Yes, on Enter; Escape answers No.
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

bool QtClipboard::setText(const std::string& text)
{
    QClipboard* clipboard = QApplication::clipboard();
    if (!clipboard) return false;
    clipboard->setText(QString::fromStdString(text));
    return true;
}

} // namespace fb
