#pragma once

#include <string_view>

// The stored position and size of a window, in twips, and the rules that turn
// stored text into a usable geometry.
namespace settings {

struct WindowGeometry {
    double Top = 0;
    double Left = 0;
    double Height = 0;
    double Width = 0;
};

struct GeometryLimits {
    double MinHeight = 0;
    double MinWidth = 0;
};

// The reader window is never smaller than 3000 wide and 6000 high.
inline constexpr GeometryLimits kMainWindowLimits{6000, 3000};
// The debug and quoted-text windows.
inline constexpr GeometryLimits kBufferWindowLimits{4500, 5500};

// Each value is the LeadingNumber of its text. Top below 2000 becomes 100, Left
// below 2000 becomes 200 (2000 itself is kept); Height and Width below their
// minimum become the minimum. Text that reads as infinity or NaN counts as 0.
WindowGeometry GeometryFromText(std::string_view top, std::string_view left,
                                std::string_view height, std::string_view width,
                                GeometryLimits limits);

// A position without rules (the setup dialog): each value is LeadingNumber of
// its text, non-finite values 0.
double CoordinateFromText(std::string_view text);

} // namespace settings
