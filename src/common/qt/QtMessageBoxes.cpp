#include "common/qt/QtMessageBoxes.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>

namespace fb {

MessageAnswer QtMessageBoxes::show(const std::string& text, const std::string& caption,
                                   MessageButtons buttons, MessageIcon icon)
{
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
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
