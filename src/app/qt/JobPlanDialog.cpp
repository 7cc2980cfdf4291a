#include "app/qt/JobPlanDialog.h"

#include "app/ExitCodes.h"
#include "app/MainWindowModel.h"
#include "common/Files.h"
#include "pages/qt/ThumbnailRenderer.h"

#include <poppler-qt6.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace fb {

namespace {
constexpr int kThumbWidth = 80;
// Pages drawn per turn of the event loop, so the dialog stays alive.
constexpr int kPerTurn = 4;

QImage placeholder(const QString& text)
{
    QImage image(kThumbWidth, kThumbWidth * 13 / 10, QImage::Format_RGB32);
    image.fill(QColor(225, 225, 225));
    QPainter p(&image);
    p.drawText(image.rect().adjusted(4, 4, -4, -4), Qt::AlignCenter | Qt::TextWordWrap, text);
    return image;
}
} // namespace

struct JobPlanDialog::Documents {
    std::map<std::string, std::unique_ptr<Poppler::Document>> open;
    Poppler::Document* get(const std::string& path)
    {
        auto it = open.find(path);
        if (it != open.end()) return it->second.get();
        QString reason;
        return (open[path] = openForPreview(path, reason)).get();
    }
};

JobPlanDialog::JobPlanDialog(QWidget* parent, JobPlan plan)
    : QDialog(parent), plan_(std::move(plan)), text_(new QPlainTextEdit(this)), outputs_(new QComboBox(this)),
      pages_(new QListWidget(this)), drawer_(new QTimer(this)), docs_(std::make_unique<Documents>())
{
    setWindowTitle("Preview Job");
    setObjectName("jobPlan");
    text_->setObjectName("jobPlanText");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setPlainText(QString::fromStdString(plan_.text()));
    outputs_->setObjectName("jobPlanOutputs");
    for (std::size_t i = 0; i < plan_.outputs.size(); ++i) {
        const PlannedOutput& o = plan_.outputs[i];
        outputs_->addItem(QString("%1. %2 %3 (%4 pages)")
                              .arg(i + 1)
                              .arg(o.created ? "create" : "append")
                              .arg(QString::fromStdString(o.path))
                              .arg(o.pages.size()));
    }
    auto* show = new QPushButton("Show &Pages", this);
    show->setObjectName("jobPlanShowPages");
    show->setEnabled(!plan_.outputs.empty());
    pages_->setObjectName("jobPlanPages");
    pages_->setViewMode(QListView::IconMode);
    pages_->setResizeMode(QListView::Adjust);
    pages_->setMovement(QListView::Static);
    pages_->setIconSize(QSize(kThumbWidth, kThumbWidth * 13 / 10));
    pages_->setMinimumHeight(kThumbWidth * 2);
    pages_->hide();
    auto* close = new QPushButton("&Close", this);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(show, &QPushButton::clicked, this, [this] { showPages(outputs_->currentIndex()); });
    drawer_->setInterval(0);
    connect(drawer_, &QTimer::timeout, this, [this] { drawSome(); });

    auto* pick = new QHBoxLayout;
    pick->addWidget(new QLabel("Output:", this));
    pick->addWidget(outputs_, 1);
    pick->addWidget(show);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QString("Exit code the run would give: %1").arg(plan_.exitCode), this));
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(pick);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);
    resize(720, 560);
}

JobPlanDialog::~JobPlanDialog() = default;

void JobPlanDialog::showPages(int output)
{
    pages_->clear();
    queue_.clear();
    if (output < 0 || output >= static_cast<int>(plan_.outputs.size())) return;
    pages_->show();
    const auto& pages = plan_.outputs[static_cast<std::size_t>(output)].pages;
    // One card for every page still to be drawn: an output of thousands of
    // pages would otherwise paint thousands of identical images first.
    const QIcon waiting(QPixmap::fromImage(placeholder("…")));
    for (std::size_t i = 0; i < pages.size(); ++i) {
        auto* item = new QListWidgetItem(QString("%1\n%2:%3")
                                             .arg(i + 1)
                                             .arg(QString::fromStdString(fileTitle(pages[i].file)))
                                             .arg(pages[i].page));
        item->setIcon(waiting);
        pages_->addItem(item);
        queue_.push_back({static_cast<int>(i), pages[i]});
    }
    std::reverse(queue_.begin(), queue_.end());
    drawer_->start();
}

void JobPlanDialog::drawSome()
{
    for (int n = 0; n < kPerTurn && !queue_.empty(); ++n) {
        auto [row, page] = queue_.back();
        queue_.pop_back();
        QImage image;
        if (Poppler::Document* doc = docs_->get(page.file)) {
            if (auto p = doc->page(static_cast<int>(page.page - 1))) {
                const QSizeF size = p->pageSizeF();
                const double dpi = size.width() > 0 ? 72.0 * kThumbWidth / size.width() : 72.0;
                image = p->renderToImage(dpi, dpi);
            }
        }
        if (image.isNull()) {
            image = placeholder("can't be drawn");
        } else {
            image = image.convertToFormat(QImage::Format_RGB32);
            QPainter frame(&image);
            frame.setPen(QColor(150, 150, 150));
            frame.drawRect(image.rect().adjusted(0, 0, -1, -1));
        }
        if (QListWidgetItem* item = pages_->item(row)) item->setIcon(QIcon(QPixmap::fromImage(image)));
    }
    if (queue_.empty()) drawer_->stop();
}

JobPlan planJobList(MainWindowModel& model)
{
    std::vector<JobEntry> rows;
    for (int i = 0; i < model.jobs().rowCount(); ++i)
        rows.push_back(model.jobs().entry(i));
    JobPlan plan = planRows(rows, model.settings(), model.options(), model.log().path());
    // The same code as the process's own, so the dialog and --dry-run agree.
    plan.end(runExitCode(plan.leftProcessing, plan.incomplete));
    return plan;
}

void showJobPlan(QWidget* parent, MainWindowModel& model)
{
    JobPlanDialog dialog(parent, planJobList(model));
    dialog.exec();
}

} // namespace fb
