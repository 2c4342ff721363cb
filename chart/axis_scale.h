#pragma once
// Axis texts of the charts: values shown with a metric prefix and a unit,
// as the front panel shows them ("R, кОм" with 10.05 on the axis rather than
// 10050 Ом).
#include <QString>

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

// "<letter>, <prefix><unit>", or just the letter when there is nothing to add.
QString AxisTitle(const QString& letter, Quantity kind, const AxisScale& scale, const Lexicons& lex);

}  // namespace zt
