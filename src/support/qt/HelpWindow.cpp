#include "support/qt/HelpWindow.h"

#include "support/Help.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPointer>
#include <QApplication>
#include <QPushButton>
#include <QShortcut>
#include <QWindow>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

static void initHelpResources()
{
    Q_INIT_RESOURCE(help);
}

namespace fb {

namespace {
const QString kGuideUrl = QStringLiteral("qrc:/help/guide.html");
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this))
{
    initHelpResources();
    setWindowTitle(tr("Folioband Batch Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    // Links within the guide stay here; the web site opens in the browser.
    browser_->setOpenExternalLinks(true);

    auto* back = new QPushButton(tr("&Back"), this);
    auto* forward = new QPushButton(tr("&Forward"), this);
    auto* contents = new QPushButton(tr("&Contents"), this);
    auto* close = new QPushButton(tr("&Close"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(contents, &QPushButton::clicked, this, [this] { showTopic(QStringLiteral("contents")); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(contents);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_, 1);
    resize(760, 600);
}

void HelpWindow::showTopic(const QString& anchor)
{
    QUrl url(kGuideUrl);
    url.setFragment(anchor);
    browser_->setSource(url);
}

HelpWindow* ShowHelp(int context, QWidget* parent)
{
    static QPointer<HelpWindow> window;
    if (!window) window = new HelpWindow(parent);
    window->showTopic(QString::fromStdString(helpTopicForContext(context)));
    window->show();
    // Opened from a modal dialog, the guide belongs to that dialog's window,
    // so the dialog's modality does not block it: it scrolls, follows links
    // and closes while the dialog stays open.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal != window && modal->windowHandle() && window->windowHandle())
            window->windowHandle()->setTransientParent(modal->windowHandle());
    }
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace fb
