#pragma once
#include <QWidget>

class QTextBrowser;
class QPushButton;

namespace fb {

// The user guide, compiled into the program, in a window of its own.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    void showTopic(const QString& anchor);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

// "HTML Help": opens (or raises) the guide at the topic of the help context.
HelpWindow* ShowHelp(int context, QWidget* parent = nullptr);

} // namespace fb
