#include "window_placement.h"

#include <algorithm>

namespace zt {

namespace {

// One past the last pixel (QRect::right() is the last pixel itself).
int End(const QRect& r) { return r.x() + r.width(); }
int Bottom(const QRect& r) { return r.y() + r.height(); }

}  // namespace

QRect FitInside(const QRect& available, const QRect& frame) {
  if (available.isEmpty()) return frame;
  const int w = std::clamp(frame.width(), 1, available.width());
  const int h = std::clamp(frame.height(), 1, available.height());
  const int x = std::clamp(frame.x(), available.x(), End(available) - w);
  const int y = std::clamp(frame.y(), available.y(), Bottom(available) - h);
  return {x, y, w, h};
}

QRect ChartPlacement(const QRect& available, const QRect& mainFrame, const QSize& preferred, const QSize& narrowest) {
  if (available.isEmpty()) return {QPoint(0, 0), preferred};
  const QSize size = preferred.boundedTo(available.size());
  if (mainFrame.isEmpty()) {
    const QPoint centre(available.x() + (available.width() - size.width()) / 2,
                        available.y() + (available.height() - size.height()) / 2);
    return FitInside(available, {centre, size});
  }
  // The gaps between the main window and the area's edges (a main window
  // partly off the screen leaves no gap on that side).
  const int right = std::max(0, End(available) - End(mainFrame));
  const int left = std::max(0, mainFrame.x() - available.x());
  int w = size.width();
  int x;
  if (right >= w) {
    x = End(mainFrame);
  } else if (left >= w) {
    x = mainFrame.x() - w;
  } else if (std::max(right, left) >= std::min(narrowest.width(), w)) {
    w = std::max(right, left);
    x = right >= left ? End(mainFrame) : mainFrame.x() - w;
  } else {
    x = right >= left ? End(available) - w : available.x();
  }
  return FitInside(available, {x, mainFrame.y(), w, size.height()});
}

}  // namespace zt
