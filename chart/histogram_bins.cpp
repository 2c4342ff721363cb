#include "histogram_bins.h"

#include <algorithm>
#include <cmath>

namespace zt {

void HistogramBins::setRange(double lo, double hi, int bins) {
  lo_ = lo;
  hi_ = hi > lo ? hi : lo + 1;
  counts_.assign(static_cast<size_t>(std::max(1, bins)), 0);
  max_ = 0;
  total_ = 0;
}

void HistogramBins::clear() { setRange(lo_, hi_, bins()); }

int HistogramBins::binOf(double v) const {
  if (!(v >= lo_ && v < hi_)) return -1;
  const int b = static_cast<int>(std::floor((v - lo_) / (hi_ - lo_) * bins()));
  return std::clamp(b, 0, bins() - 1);
}

bool HistogramBins::add(double v) {
  const int b = binOf(v);
  if (b < 0) return false;
  int& c = counts_[static_cast<size_t>(b)];
  max_ = std::max(max_, ++c);
  ++total_;
  return true;
}

std::pair<double, double> HistogramBins::InitialRange(double lower, double upper, double v) {
  const bool hasLower = std::isfinite(lower), hasUpper = std::isfinite(upper);
  if (hasLower && hasUpper && upper > lower) {
    const double w = upper - lower;
    return {lower - w / 2, upper + w / 2};
  }
  const double anchor = hasLower ? lower : hasUpper ? upper : v;
  if (!std::isfinite(anchor)) return {0, 1};
  const double room = anchor != 0 ? std::fabs(anchor) * 0.05 : 1;
  if (hasLower) return {anchor - room, anchor + 3 * room};
  if (hasUpper) return {anchor - 3 * room, anchor + room};
  return {anchor - room, anchor + room};
}

std::pair<double, double> HistogramBins::Widened(double lo, double hi, double v) {
  const double width = hi - lo;
  if (v < lo) {
    const double w = std::max(2 * width, (hi - v) * 1.25);
    return {hi - w, hi};
  }
  const double w = std::max(2 * width, (v - lo) * 1.25);
  return {lo, lo + w};
}

}  // namespace zt
