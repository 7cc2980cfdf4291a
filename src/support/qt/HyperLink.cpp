#include "support/qt/HyperLink.h"

#include "common/qt/QtMessageBoxes.h"
#include "common/Desktop.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace fb {

namespace {

int desktopGotoUrl(const std::string& url)
{
    static XdgOpener opener;
    static SpawnProgramStarter starter;
    LinkServices services{opener, starter, XdgDirs::fromEnvironment()};
    return GotoUrl(url, services);
}

} // namespace

HyperLink::HyperLink(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setAutoFillBackground(false);
    // Reachable without a mouse: Tab to it, Enter or Space follows it.
    setFocusPolicy(Qt::TabFocus);
    setUnderline(true);
    attach();
}

void HyperLink::attach()
{
    if (url_.empty()) url_ = text().toStdString();
    if (text().isEmpty()) setText(QString::fromStdString(url_));
    setToolTip(QString::fromStdString(url_));
    setAccessibleName(text());
    setAccessibleDescription(QString::fromStdString(url_));
    updateColour();
    fitToText();
}

void HyperLink::setUrl(const std::string& url)
{
    url_ = url;
    attach();
}

void HyperLink::setUnderline(bool underline)
{
    underline_ = underline;
    QFont f = font();
    f.setUnderline(underline);
    setFont(f);
    fitToText();
}

void HyperLink::setVisited(bool visited)
{
    visited_ = visited;
    updateColour();
}

QColor HyperLink::hoverColour() const
{
    return QApplication::palette().color(QPalette::Highlight);
}

QColor HyperLink::textColour() const
{
    if (overControl_) return hoverColour();
    return visited_ ? visitedColour() : linkColour();
}

void HyperLink::updateColour()
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, textColour());
    setPalette(p);
    update();
}

// Resized to its text, keeping its place: centred labels stay centred,
// right-aligned ones keep their right edge, others their left.
void HyperLink::fitToText()
{
    if (!adjustToFit_) return;
    QRect old = geometry();
    QSize size = sizeHint();
    QRect fitted(old.topLeft(), size);
    Qt::Alignment a = alignment();
    if (a & Qt::AlignHCenter)
        fitted.moveLeft(old.center().x() - size.width() / 2);
    else if (a & Qt::AlignRight)
        fitted.moveRight(old.right());
    if (a & Qt::AlignVCenter) fitted.moveTop(old.center().y() - size.height() / 2);
    setGeometry(fitted);
}

int HyperLink::follow()
{
    int result = gotoUrl_ ? gotoUrl_(url_) : desktopGotoUrl(url_);
    if (result > 32) {
        setVisited(true);
    } else {
        QApplication::beep();
        if (messages_) {
            ReportLinkError(result, *messages_, url_);
        } else if (runningHeadless()) {
            StderrMessageBoxes boxes;
            ReportLinkError(result, boxes, url_);
        } else {
            QtMessageBoxes boxes;
            ReportLinkError(result, boxes, url_);
        }
    }
    emit followed(result);
    return result;
}

void HyperLink::enterEvent(QEnterEvent* event)
{
    overControl_ = true;
    updateColour();
    QLabel::enterEvent(event);
}

void HyperLink::leaveEvent(QEvent* event)
{
    overControl_ = false;
    updateColour();
    QLabel::leaveEvent(event);
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) follow();
    QLabel::mouseReleaseEvent(event);
}

void HyperLink::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        follow();
        return;
    }
    QLabel::keyPressEvent(event);
}

void HyperLink::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    // A label draws no focus of its own: without this, a keyboard user who
    // tabs to the link cannot see that it is where Enter will go.
    QStylePainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.backgroundColor = palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}

void HyperLink::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) fitToText();
}

} // namespace fb
