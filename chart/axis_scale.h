#pragma once
// Axis texts of the charts: values shown with a metric prefix and a unit,
// as the front panel shows them ("R, кОм" with 10.05 on the axis rather than
// 10050 Ом).
#include <QString>

#include <utility>

#include "lexicons.h"
#include "meter_reading.h"

namespace zt {

struct AxisScale {
  double factor = 1;  // the axis shows SI value / factor
  QString prefix;     // from the prefixes lexicon ("к", "мк" or "μ", ...)
};

// The prefix for an axis whose largest absolute value is `magnitude`, chosen
// as the panel chooses it (М from 10^6, к from 10^3, none from 1, м, micro,
// н, п below). Quantities without a unit of their own (Q, D, the phase
// angle) take none.
AxisScale ScaleFor(double magnitude, Quantity kind, const Lexicons& lex);

// A range with round ends that takes [lo, hi], and the number of ticks
// (both ends included) at a round step between them: about `ticks` of them.
struct NiceRange {
  double lo = 0, hi = 1;
  int ticks = 2;
  bool operator==(const NiceRange&) const = default;
};
NiceRange NiceRangeOf(double lo, double hi, int ticks = 6);

// The printf format of the labels of a value axis from lo to hi with `ticks`
// ticks at even steps: fixed decimals, as few as tell neighbouring ticks
// apart, while the numbers stay short; scientific notation ("2.70e+41")
// from 10^5 up and below 10^-3, where a prefix does not help (Q, D, or
// beyond the prefixes), so that no label is longer than the axis has room
// for.
QString AxisLabelFormat(double lo, double hi, int ticks);
inline constexpr int kAxisLabelMaxChars = 8;

// The value range an axis shows for values from lo to hi: the same, except
// that numbers of 10^5 and more (written in scientific notation) get a span
// of at least a fifth of their size, so that ticks a label's two digits can
// tell apart exist (a Q of 1.069e37 that wanders in its fifth digit would
// otherwise label every tick alike).
std::pair<double, double> ReadableRange(double lo, double hi);

// "<letter>, <prefix><unit>", or just the letter when there is nothing to add.
QString AxisTitle(const QString& letter, Quantity kind, const AxisScale& scale, const Lexicons& lex);

}  // namespace zt
