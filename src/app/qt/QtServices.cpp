#include "app/qt/QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace fb {

QString qtFileFilter(const std::string& filter)
{
    QString text = QString::fromStdString(filter).trimmed();
    int blank = text.lastIndexOf(' ');
    QString pattern = blank < 0 ? text : text.mid(blank + 1);
    QString label = blank < 0 ? QString() : text.left(blank);
    if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    if (label.isEmpty()) return pattern;
    return label + QStringLiteral(" (") + pattern + QLatin1Char(')');
}

std::optional<std::string> QtFileDialogs::run(const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(parent_, QString::fromStdString(request.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !request.mustExist ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const auto& f : request.filters)
        filters << qtFileFilter(f);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    // A typed name without extension gets the selected filter's extension when
    // it names one (".app"), else the request's default.
    auto suffixFor = [&request](const QString& filter) {
        int star = filter.indexOf(QStringLiteral("*."));
        QString ext = star < 0 ? QString() : filter.mid(star + 2).section(QLatin1Char(')'), 0, 0);
        if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char(' ')))
            return QString::fromStdString(request.defaultExtension);
        return ext;
    };
    dialog.setDefaultSuffix(suffixFor(dialog.selectedNameFilter()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&](const QString& f) { dialog.setDefaultSuffix(suffixFor(f)); });
    if (!request.startPath.empty()) dialog.setDirectory(QString::fromStdString(request.startPath));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first().toStdString();
}

std::optional<std::string> QtFileDialogs::openFile(const FileDialogRequest& request)
{
    return run(request, false);
}

std::optional<std::string> QtFileDialogs::saveFile(const FileDialogRequest& request)
{
    return run(request, true);
}

QtConnectionWindow::~QtConnectionWindow()
{
    delete window_;
}

void QtConnectionWindow::show()
{
    if (!window_) {
        window_ = new QDialog(parent_);
        window_->setObjectName(QStringLiteral("AcrobatConnection"));
        window_->setWindowTitle(QStringLiteral("Acrobat Connection"));
        auto* layout = new QVBoxLayout(window_);
        layout->addWidget(new QLabel(QStringLiteral("Connecting to Adobe Acrobat"), window_));
        layout->addWidget(new QLabel(
            QStringLiteral("If this takes a while please check acrobat isn't waiting for a user prompt."),
            window_));
        auto* close = new QPushButton(QStringLiteral("CLOSE"), window_);
        close->setObjectName(QStringLiteral("CLOSE"));
        close->hide();
        layout->addWidget(close);
    }
    window_->setModal(false);
    window_->show();
    window_->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtConnectionWindow::hide()
{
    if (window_) window_->hide();
}

void QtRunHost::dispatchOnePending()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtRunHost::dispatchAllPending()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtRunHost::repaintNow()
{
    if (window_ && window_->isVisible()) window_->repaint();
}

void QtRunHost::beep(int, int)
{
    QApplication::beep();
}

QString appendButtonText(const std::string& caption)
{
    if (caption == "Append Files") return QStringLiteral("A&ppend Files");
    if (caption == "Stop") return QStringLiteral("Sto&p");
    return QString::fromStdString(caption);
}

void QtRunHost::captionChanged(const std::string& caption)
{
    if (button_) button_->setText(appendButtonText(caption));
}

void QtRunHost::runProgress(bool running, int done, int total)
{
    if (!progress_) return;
    progress_->setRange(0, std::max(total, 1));
    progress_->setValue(done);
    progress_->setFormat(QStringLiteral("%v of %m"));
    progress_->setVisible(running);
}

bool QtBusyPromptPresser::pressRetryOnServerBusy()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    QMetaObject::invokeMethod(
        app, [] { pressNow(); }, Qt::QueuedConnection);
    return true;
}

bool QtBusyPromptPresser::pressNow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w->windowTitle() != QLatin1String("Server Busy")) continue;
        if (auto* retry = w->findChild<QAbstractButton*>(kServerBusyRetry)) {
            retry->click();
            return true;
        }
    }
    return false;
}

} // namespace fb
