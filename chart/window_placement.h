#pragma once
// Where the chart window opens, as a rule over rectangles in screen pixels
// (window frames, title bar included): inside the screen's available area,
// beside the main window where there is room for it, never off the screen.
#include <QRect>
#include <QSize>

namespace zt {

// The chart window's frame. `available`: the available area of the main
// window's screen; `mainFrame`: the main window's frame (empty when it is not
// shown); `preferred`: the frame the window would like; `narrowest`: the
// narrowest frame worth putting beside the main window.
// - The size is the preferred one, cut down to the area where it is larger.
// - To the right of the main window when it fits there, else to its left;
//   else in the wider of the two gaps, made narrower, when that gap is at
//   least `narrowest` wide; else against the screen edge on the side with
//   more room, covering as little of the main window as it can. Its top is
//   level with the main window's where the area lets it be.
// - Without a main window, centred in the area.
QRect ChartPlacement(const QRect& available, const QRect& mainFrame, const QSize& preferred, const QSize& narrowest);

// `frame` brought inside `available`: no larger than it, moved no further
// than needed. A frame already inside comes back unchanged.
QRect FitInside(const QRect& available, const QRect& frame);

}  // namespace zt
