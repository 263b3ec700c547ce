#pragma once

#include <QHash>
#include <QRectF>
#include <cmath>

class QWidget;

// Window coordinates are kept in twips (1/1440 inch), the unit the settings
// store holds; they become pixels only here, with the screen's logical DPI.
struct Twips {
    double dpi = 96.0;

    int toPixels(double twips) const { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }
    double fromPixels(int pixels) const { return pixels * 1440.0 / dpi; }

    // The conversion for the screen a window is on.
    static Twips of(const QWidget& window);
};

namespace platform {

// Places a window's controls in twips. The twips values are kept, so that
// layout arithmetic never accumulates pixel rounding.
class TwipsPlacement {
public:
    explicit TwipsPlacement(QWidget& window) : window(window) {}

    Twips twips() const { return Twips::of(window); }
    void place(QWidget* control, double left, double top, double width, double height);
    QRectF placement(QWidget* control) const;
    // The window's outer position and its size, as the settings store keeps them.
    QRectF windowTwips() const;
    void setWindowTwips(const QRectF& rect);

private:
    QWidget& window;
    QHash<QWidget*, QRectF> placements;
};

} // namespace platform
