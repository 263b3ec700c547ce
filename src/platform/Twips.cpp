#include "platform/Twips.h"

#include <QWidget>
#include <algorithm>

Twips Twips::of(const QWidget& window) {
    return Twips{window.logicalDpiY() > 0 ? double(window.logicalDpiY()) : 96.0};
}

namespace platform {

void TwipsPlacement::place(QWidget* control, double left, double top, double width, double height) {
    placements[control] = QRectF(left, top, width, height);
    const Twips t = twips();
    control->setGeometry(t.toPixels(left), t.toPixels(top), std::max(0, t.toPixels(width)),
                         std::max(0, t.toPixels(height)));
}

QRectF TwipsPlacement::placement(QWidget* control) const {
    const auto it = placements.constFind(control);
    if (it != placements.constEnd()) {
        return *it;
    }
    const Twips t = twips();
    const QRect g = control->geometry();
    return QRectF(t.fromPixels(g.x()), t.fromPixels(g.y()), t.fromPixels(g.width()),
                  t.fromPixels(g.height()));
}

QRectF TwipsPlacement::windowTwips() const {
    const Twips t = twips();
    const QRect frame = window.frameGeometry();
    return QRectF(t.fromPixels(frame.x()), t.fromPixels(frame.y()), t.fromPixels(window.width()),
                  t.fromPixels(window.height()));
}

void TwipsPlacement::setWindowTwips(const QRectF& rect) {
    const Twips t = twips();
    window.move(t.toPixels(rect.left()), t.toPixels(rect.top()));
    window.resize(t.toPixels(rect.width()), t.toPixels(rect.height()));
}

} // namespace platform
