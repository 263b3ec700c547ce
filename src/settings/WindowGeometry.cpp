#include "settings/WindowGeometry.h"

#include "settings/Numbers.h"

#include <cmath>

namespace settings {

double CoordinateFromText(std::string_view text) {
    const double v = LeadingNumber(text);
    return std::isfinite(v) ? v : 0.0;
}

WindowGeometry GeometryFromText(std::string_view top, std::string_view left,
                                std::string_view height, std::string_view width,
                                GeometryLimits limits) {
    constexpr double kEdge = 2000;
    const double t = CoordinateFromText(top);
    const double l = CoordinateFromText(left);
    const double h = CoordinateFromText(height);
    const double w = CoordinateFromText(width);
    WindowGeometry g;
    g.Top = t >= kEdge ? t : 100;
    g.Left = l >= kEdge ? l : 200;
    g.Height = h >= limits.MinHeight ? h : limits.MinHeight;
    g.Width = w >= limits.MinWidth ? w : limits.MinWidth;
    return g;
}

} // namespace settings
