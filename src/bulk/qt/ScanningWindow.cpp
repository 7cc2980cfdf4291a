#include "bulk/qt/ScanningWindow.h"

#include "bulk/qt/BulkControlIds.h"
#include "bulk/qt/BulkLoadDialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace fb {

ScanningWindow::ScanningWindow(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Scanning");
    setModal(false);
    auto* text = new QLabel("Scanning disk, please wait.", this);
    text->setObjectName(bulkids::kScanningText);
    folder_ = new QLineEdit(this);
    folder_->setObjectName(bulkids::kScanningFolder);
    folder_->setReadOnly(true);
    folder_->setAlignment(Qt::AlignCenter);
    folder_->setAccessibleName("Folder");
    count_ = new QLabel("Files added: 0", this);
    count_->setObjectName(bulkids::kScanningCount);
    // A fixed size: a label that may change size lays the window out again at
    // every new count, which costs more than the file it counts.
    count_->setFixedSize(count_->fontMetrics().horizontalAdvance("Files added: 00000000") + 4,
                         count_->sizeHint().height());
    auto* stop = new QPushButton("&Stop", this);
    stop->setObjectName(bulkids::kScanningStop);
    connect(stop, &QPushButton::clicked, this, &ScanningWindow::requestStop);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(folder_);
    auto* row = new QHBoxLayout;
    row->addWidget(count_);
    row->addStretch();
    row->addWidget(stop);
    layout->addLayout(row);
    setMinimumWidth(320);
}

void ScanningWindow::showFolder(const std::string& folder)
{
    QString text = fromBytes(folder);
    if (folder_->text() != text) folder_->setText(text);
}

void ScanningWindow::showFilesAdded(int count)
{
    count_->setText(QString("Files added: %1").arg(count));
}

void ScanningWindow::requestStop()
{
    stop_ = true;
    hide();
}

void ScanningWindow::reject()
{
    requestStop();
}

ScanningProgress::ScanningProgress(QWidget* owner) : window_(new ScanningWindow(owner))
{
    window_->show();
}

ScanningProgress::~ScanningProgress()
{
    if (window_) {
        window_->hide();
        delete window_.data();
    }
}

void ScanningProgress::showFolder(const std::string& folder)
{
    if (window_) window_->showFolder(folder);
}

void ScanningProgress::showFilesAdded(int count)
{
    if (window_) window_->showFilesAdded(count);
}

bool ScanningProgress::stopRequested() const
{
    return stopped_ || !window_ || window_->stopRequested();
}

void ScanningProgress::requestStop()
{
    stopped_ = true;
    if (window_) window_->requestStop();
}

} // namespace fb
