#include "app/qt/WindowFit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace fb {

namespace {

class WindowFitter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            // Menus, tool tips and the splash place themselves.
            const Qt::WindowType type = w->windowType();
            if (w->isWindow() && (type == Qt::Window || type == Qt::Dialog)) fitToScreen(w);
        }
        return false;
    }
};

} // namespace

QRect fittedGeometry(const QRect& wanted, const QSize& minimum, const QRect& available)
{
    QSize size = wanted.size().boundedTo(available.size()).expandedTo(minimum);
    QRect r(wanted.topLeft(), size);
    if (r.right() > available.right()) r.moveRight(available.right());
    if (r.bottom() > available.bottom()) r.moveBottom(available.bottom());
    if (r.left() < available.left()) r.moveLeft(available.left());
    if (r.top() < available.top()) r.moveTop(available.top());
    return r;
}

void fitToScreen(QWidget* window)
{
    QScreen* screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect available = screen->availableGeometry();
    // The frame the window manager adds, once it is known.
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    const int extraW = std::max(0, frame.width() - inner.width());
    const int extraH = std::max(0, frame.height() - inner.height());
    available.adjust(inner.left() - frame.left(), inner.top() - frame.top(),
                     -(extraW - (inner.left() - frame.left())), -(extraH - (inner.top() - frame.top())));
    QRect fitted =
        fittedGeometry(inner, window->minimumSize().expandedTo(window->minimumSizeHint()), available);
    if (fitted.size() != inner.size()) window->resize(fitted.size());
    if (fitted.topLeft() != inner.topLeft())
        window->move(fitted.topLeft() - (inner.topLeft() - frame.topLeft()));
}

void installWindowFit()
{
    static WindowFitter* fitter = nullptr;
    if (fitter || !qApp) return;
    fitter = new WindowFitter(qApp);
    qApp->installEventFilter(fitter);
}

} // namespace fb
