#include "dut.h"

#include <cmath>
#include <numbers>

namespace zt::sim {

std::complex<double> Part::Impedance(double hz) const {
  const double w = 2.0 * std::numbers::pi * hz;
  switch (kind) {
    case Kind::Resistor: return {value, 0.0};
    case Kind::Capacitor: {
      std::complex<double> z{0.0, -1.0 / (w * value)};
      if (rp > 0) z = (z * rp) / (z + rp);
      return z + esr;
    }
    case Kind::Inductor: return {esr, w * value};
    case Kind::Diode:
    case Kind::Voltage:
      // Reverse-biased junction or a source's input: a small capacitance in
      // parallel with a very large resistance.
      break;
  }
  const std::complex<double> c{0.0, -1.0 / (w * 10e-12)};
  return (c * 1e7) / (c + 1e7);
}

std::optional<double> ParseSiValue(const QString& text) {
  QString t = text.trimmed();
  if (t.isEmpty()) return std::nullopt;
  double scale = 1.0;
  const QChar last = t.back();
  static const struct {
    QChar c;
    double f;
  } kSuffixes[] = {{u'p', 1e-12}, {u'n', 1e-9}, {u'u', 1e-6}, {u'µ', 1e-6}, {u'μ', 1e-6},
                   {u'm', 1e-3},  {u'k', 1e3},  {u'K', 1e3},  {u'M', 1e6},  {u'G', 1e9}};
  for (const auto& s : kSuffixes) {
    if (last == s.c) {
      scale = s.f;
      t.chop(1);
      break;
    }
  }
  bool ok = false;
  const double v = t.toDouble(&ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v * scale;
}

std::optional<Part> ParsePart(const QString& text, QString* error) {
  auto fail = [&](const QString& why) -> std::optional<Part> {
    if (error) *error = why;
    return std::nullopt;
  };
  const QStringList fields = text.trimmed().split(u',', Qt::SkipEmptyParts);
  if (fields.isEmpty()) return fail(QStringLiteral("empty part"));
  Part p;
  for (int i = 0; i < fields.size(); ++i) {
    const QString f = fields[i].trimmed();
    const qsizetype eq = f.indexOf(u'=');
    if (eq <= 0) return fail(QStringLiteral("expected key=value in \"%1\"").arg(f));
    const QString key = f.left(eq).trimmed();
    const auto value = ParseSiValue(f.mid(eq + 1));
    if (!value) return fail(QStringLiteral("bad value in \"%1\"").arg(f));
    if (i == 0) {
      if (key.compare(u"R", Qt::CaseInsensitive) == 0)
        p.kind = Part::Kind::Resistor;
      else if (key.compare(u"C", Qt::CaseInsensitive) == 0)
        p.kind = Part::Kind::Capacitor;
      else if (key.compare(u"L", Qt::CaseInsensitive) == 0)
        p.kind = Part::Kind::Inductor;
      else if (key.compare(u"D", Qt::CaseInsensitive) == 0)
        p.kind = Part::Kind::Diode;
      else if (key.compare(u"U", Qt::CaseInsensitive) == 0)
        p.kind = Part::Kind::Voltage;
      else
        return fail(QStringLiteral("unknown part \"%1\" (use R, C, L, D or U)").arg(key));
      const bool mustBePositive = p.kind != Part::Kind::Voltage;
      if (mustBePositive && !(*value > 0)) return fail(QStringLiteral("\"%1\" must be positive").arg(f));
      p.value = *value;
    } else if (key.compare(u"esr", Qt::CaseInsensitive) == 0 || key.compare(u"r", Qt::CaseInsensitive) == 0) {
      if (*value < 0) return fail(QStringLiteral("\"%1\" must not be negative").arg(f));
      p.esr = *value;
    } else if (key.compare(u"rp", Qt::CaseInsensitive) == 0) {
      if (!(*value > 0)) return fail(QStringLiteral("\"%1\" must be positive").arg(f));
      p.rp = *value;
    } else {
      return fail(QStringLiteral("unknown key \"%1\"").arg(key));
    }
  }
  return p;
}

std::optional<std::vector<Part>> ParseDut(const QString& text, QString* error) {
  std::vector<Part> parts;
  for (const QString& piece : text.split(u';', Qt::SkipEmptyParts)) {
    if (piece.trimmed().isEmpty()) continue;
    auto p = ParsePart(piece, error);
    if (!p) return std::nullopt;
    parts.push_back(*p);
  }
  if (parts.empty()) {
    if (error) *error = QStringLiteral("no part given");
    return std::nullopt;
  }
  return parts;
}

}  // namespace zt::sim
