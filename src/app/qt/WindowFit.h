#pragma once
#include <QRect>
#include <QSize>

class QWidget;

namespace fb {

// Every top-level window the program shows opens inside its screen's available
// area, whatever the scale: one application-wide watcher, installed once,
// shrinks (down to the window's minimum) and moves each window as it is shown.
void installWindowFit();

// The geometry a window of the given size takes on a screen whose available
// area is available: no larger than that area, and wholly inside it.
QRect fittedGeometry(const QRect& wanted, const QSize& minimum, const QRect& available);

// Fits one window now (the watcher calls this on every show).
void fitToScreen(QWidget* window);

} // namespace fb
