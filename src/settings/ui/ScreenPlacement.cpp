#include "settings/ui/ScreenPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace {

// Enough of the title bar to grab the window with the mouse.
constexpr int kGrabWidth = 80;
constexpr int kGrabHeight = 12;
constexpr int kTitleBar = 24;

// The usable area of the screen showing most of the title bar, or an empty rectangle.
QRect screenOfTitleBar(const QRect& frame) {
    const QRect titleBar(frame.left(), frame.top(), frame.width(), kTitleBar);
    QRect best;
    long bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        const QRect visible = titleBar.intersected(area);
        const long visibleArea = long(visible.width()) * visible.height();
        if (visible.width() >= std::min(kGrabWidth, frame.width()) &&
            visible.height() >= kGrabHeight && visibleArea > bestArea) {
            best = area;
            bestArea = visibleArea;
        }
    }
    return best;
}

} // namespace

QRect keepOnScreen(const QRect& frame, const QPoint& fallback) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) {
        return frame;
    }
    QRect area = screenOfTitleBar(frame);
    QRect placed = frame;
    if (area.isEmpty()) {
        area = primary->availableGeometry();
        placed.moveTopLeft(area.topLeft() + fallback);
    }
    placed.setWidth(std::max(1, std::min(placed.width(), area.width())));
    placed.setHeight(std::max(1, std::min(placed.height(), area.height())));
    if (placed.right() > area.right() && !area.contains(frame.topLeft())) {
        placed.moveLeft(std::max(area.left(), area.right() - placed.width() + 1));
    }
    if (placed.bottom() > area.bottom() && !area.contains(frame.topLeft())) {
        placed.moveTop(std::max(area.top(), area.bottom() - placed.height() + 1));
    }
    return placed;
}
