#include "axis_scale.h"

#include <algorithm>
#include <cmath>

#include "stats_table.h"

namespace zt {

AxisScale ScaleFor(double magnitude, Quantity kind, const Lexicons& lex) {
  switch (kind) {
    case Quantity::Resistance:
    case Quantity::Impedance:
    case Quantity::Inductance:
    case Quantity::Capacitance: break;
    default: return {};
  }
  const double x = std::fabs(magnitude);
  if (!std::isfinite(x) || x == 0) return {};
  if (x >= 1e6) return {1e6, lex.Dlang1[0]};
  if (x >= 1e3) return {1e3, lex.Dlang1[1]};
  if (x >= 1) return {};
  if (x >= 1e-3) return {1e-3, lex.Dlang1[2]};
  if (x >= 1e-6) return {1e-6, MicroSign(lex)};
  if (x >= 1e-9) return {1e-9, lex.Dlang1[4]};
  return {1e-12, lex.Dlang1[5]};
}

namespace {

// The round number (1, 2 or 5 times a power of ten) nearest x, or the
// smallest not below it.
double Round(double x, bool nearest) {
  const double e = std::floor(std::log10(x));
  const double f = x / std::pow(10.0, e);
  double r;
  if (nearest)
    r = f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10;
  else
    r = f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10;
  return r * std::pow(10.0, e);
}

}  // namespace

NiceRange NiceRangeOf(double lo, double hi, int ticks) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) return {};
  if (hi < lo) std::swap(lo, hi);
  if (hi == lo) {
    const double pad = lo != 0 ? std::fabs(lo) * 0.01 : 1;
    lo -= pad;
    hi += pad;
  }
  ticks = std::max(ticks, 2);
  const double step = Round(Round(hi - lo, false) / (ticks - 1), true);
  NiceRange r;
  r.lo = std::floor(lo / step) * step;
  r.hi = std::ceil(hi / step) * step;
  r.ticks = static_cast<int>(std::lround((r.hi - r.lo) / step)) + 1;
  return r;
}

QString AxisLabelFormat(double lo, double hi, int ticks) {
  const double top = std::max(std::fabs(lo), std::fabs(hi));
  if (!std::isfinite(top) || top == 0) return QStringLiteral("%.0f");
  const double span = std::fabs(hi - lo);
  const double step = ticks > 1 && span > 0 ? span / (ticks - 1) : top;
  // Powers of ten of the largest number and of the step (a hair added so
  // that a step of exactly 0.1 counts as 10^-1).
  const int topExp = static_cast<int>(std::floor(std::log10(top) + 1e-9));
  const int stepExp = static_cast<int>(std::floor(std::log10(step) + 1e-9));
  const int decimals = std::max(0, -stepExp);
  // Sign, integer digits, point and decimals.
  const int fixedChars = 1 + std::max(topExp, 0) + 1 + (decimals > 0 ? decimals + 1 : 0);
  if (topExp < 5 && topExp >= -3 && fixedChars <= kAxisLabelMaxChars) return QStringLiteral("%.%1f").arg(decimals);
  // "-d.ddde+41": as many digits as tell the ticks apart, within the width.
  const int digits = std::clamp(topExp - stepExp, 1, kAxisLabelMaxChars - 7);
  return QStringLiteral("%.%1e").arg(digits);
}

std::pair<double, double> ReadableRange(double lo, double hi) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) return {lo, hi};
  if (hi < lo) std::swap(lo, hi);
  const double top = std::max(std::fabs(lo), std::fabs(hi));
  const double want = 0.2 * top;
  if (top < 1e5 || hi - lo >= want) return {lo, hi};
  const double mid = lo / 2 + hi / 2;
  return {mid - want / 2, mid + want / 2};
}

QString AxisTitle(const QString& letter, Quantity kind, const AxisScale& scale, const Lexicons& lex) {
  const QString unit = scale.prefix + QuantityUnit(kind, lex);
  if (unit.isEmpty()) return letter;
  if (letter.isEmpty()) return unit;
  return letter + QStringLiteral(", ") + unit;
}

}  // namespace zt
