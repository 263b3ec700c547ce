#pragma once

#include <QRect>

// A stored geometry may belong to a screen that is no longer there. A window
// whose title bar would not be on any screen is moved to fallback (a point on
// the primary screen, relative to its usable area); in any case the window is
// made no larger than the usable area of the screen it ends up on.
QRect keepOnScreen(const QRect& frame, const QPoint& fallback);
