#include "axis_scale.h"

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

QString AxisTitle(const QString& letter, Quantity kind, const AxisScale& scale, const Lexicons& lex) {
  const QString unit = scale.prefix + QuantityUnit(kind, lex);
  if (unit.isEmpty()) return letter;
  if (letter.isEmpty()) return unit;
  return letter + QStringLiteral(", ") + unit;
}

}  // namespace zt
