#include "column_decimator.h"

#include <algorithm>
#include <cmath>

namespace zt {

void ColumnDecimator::setFrame(double x0, double x1, int columns) {
  x0_ = x0;
  x1_ = x1 > x0 ? x1 : x0 + 1;
  columns_.assign(static_cast<size_t>(std::max(1, columns)), Column{});
  clear();
}

void ColumnDecimator::clear() {
  std::fill(columns_.begin(), columns_.end(), Column{});
  out_.clear();
  lastCol_ = -1;
  tailStart_ = 0;
  taken_ = 0;
  missed_ = false;
}

int ColumnDecimator::columnOf(double x) const {
  const double f = (x - x0_) / (x1_ - x0_) * static_cast<double>(columns_.size());
  return std::clamp(static_cast<int>(std::floor(f)), 0, static_cast<int>(columns_.size()) - 1);
}

int ColumnDecimator::output(const Column& c, std::vector<QPointF>& out) const {
  if (c.n == 0) return 0;
  if (c.n == 1) {
    out.push_back(c.lo);
    return 1;
  }
  // In x order, so that the line runs through the column once.
  if (c.lo.x() <= c.hi.x()) {
    out.push_back(c.lo);
    out.push_back(c.hi);
  } else {
    out.push_back(c.hi);
    out.push_back(c.lo);
  }
  return 2;
}

void ColumnDecimator::rebuildFrom(int col, int& firstChanged) {
  int start = 0;
  for (int i = 0; i < col; ++i) start += std::min(columns_[static_cast<size_t>(i)].n, 2);
  out_.resize(static_cast<size_t>(start));
  firstChanged = start;
  for (int i = col; i < static_cast<int>(columns_.size()); ++i) {
    const int before = static_cast<int>(out_.size());
    if (output(columns_[static_cast<size_t>(i)], out_) > 0 && i == lastCol_) tailStart_ = before;
  }
}

int ColumnDecimator::add(double x, double y) {
  if (!(x >= x0_ && x <= x1_) || !std::isfinite(y)) {
    missed_ = true;
    return -1;
  }
  ++taken_;
  const int col = columnOf(x);
  Column& c = columns_[static_cast<size_t>(col)];
  const QPointF p(x, y);
  if (c.n == 0) {
    c.lo = c.hi = p;
  } else {
    if (y < c.lo.y()) c.lo = p;
    if (y > c.hi.y()) c.hi = p;
  }
  ++c.n;
  if (col < lastCol_) {
    int first = 0;
    rebuildFrom(col, first);
    return first;
  }
  if (col > lastCol_) {
    lastCol_ = col;
    tailStart_ = static_cast<int>(out_.size());
  } else {
    out_.resize(static_cast<size_t>(tailStart_));
  }
  output(c, out_);
  return tailStart_;
}

}  // namespace zt
