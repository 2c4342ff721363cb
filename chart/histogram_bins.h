#pragma once
// Counts of values in fixed bins over a range. Adding a value inside the
// range costs O(1); a value outside it asks for a wider range, and the
// caller counts its values again into the new bins (rare: each widening at
// least doubles the range).
#include <cstddef>
#include <utility>
#include <vector>

namespace zt {

class HistogramBins {
 public:
  static constexpr int kDefaultBins = 30;

  // Empty bins over [lo, hi).
  void setRange(double lo, double hi, int bins = kDefaultBins);
  void clear();
  // Counts v; false (nothing counted) when v lies outside the range.
  bool add(double v);

  double lo() const { return lo_; }
  double hi() const { return hi_; }
  int bins() const { return static_cast<int>(counts_.size()); }
  int count(int bin) const { return counts_[static_cast<size_t>(bin)]; }
  double edge(int i) const { return lo_ + (hi_ - lo_) * i / bins(); }
  int maxCount() const { return max_; }
  long long total() const { return total_; }
  // The bin of v, or -1 outside the range.
  int binOf(double v) const;

  // A first range for values around a band [lower, upper] (either may be
  // NaN) or, without a band, around the first value.
  static std::pair<double, double> InitialRange(double lower, double upper, double firstValue);
  // [lo, hi) widened to take v, at least doubled in width so that
  // widenings stay rare.
  static std::pair<double, double> Widened(double lo, double hi, double v);

 private:
  double lo_ = 0, hi_ = 1;
  std::vector<int> counts_ = std::vector<int>(kDefaultBins, 0);
  int max_ = 0;
  long long total_ = 0;
};

}  // namespace zt
