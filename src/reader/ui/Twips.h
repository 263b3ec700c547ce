#pragma once

#include <cmath>

// Window coordinates are kept in twips (1/1440 inch), the unit the settings
// store holds; they become pixels only here, with the screen's logical DPI.
struct Twips {
    double dpi = 96.0;

    int toPixels(double twips) const { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }
    double fromPixels(int pixels) const { return pixels * 1440.0 / dpi; }
};
