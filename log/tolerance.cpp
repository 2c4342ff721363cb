#include "tolerance.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace zt {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Signals that the editor's values cannot be evaluated.
struct Unevaluable {};

double Number(const QString& text, QChar sep) {
  double v = 0;
  if (!ParseLocalNumber(text, sep, v)) throw Unevaluable{};
  return v;
}

// Division that refuses what floating point would turn into inf or NaN.
double Divide(double a, double b) {
  if (b == 0.0 || !std::isfinite(a) || !std::isfinite(b)) throw Unevaluable{};
  const double r = a / b;
  if (!std::isfinite(r)) throw Unevaluable{};
  return r;
}

// True when out of tolerance. A comparison that cannot be decided is out.
bool OutOf(const ToleranceLimitText& lim, double m, double n, double deviation) {
  switch (lim.kind) {
    case LimitKind::AtMost: return !(m <= n);
    case LimitKind::AtLeast: return !(m >= n);
    case LimitKind::Percent: return !(std::fabs(deviation) <= lim.percent);
  }
  return true;
}

}  // namespace

LimitTextError ParseToleranceLimit(const QString& boxText, QChar sep, ToleranceLimitText& out) {
  QString t = boxText.left(8);
  if (t.size() == 1) {
    if (t == QLatin1String("<")) {
      out = {LimitKind::AtMost, 0};
      return LimitTextError::None;
    }
    if (t == QLatin1String(">")) {
      out = {LimitKind::AtLeast, 0};
      return LimitTextError::None;
    }
    return LimitTextError::LoneCharacter;
  }
  if (t.endsWith(QLatin1Char('%'))) t[t.size() - 1] = QLatin1Char(' ');
  double percent = 0;
  if (!ParseLocalNumber(t, sep, percent)) return LimitTextError::NotANumber;
  out = {LimitKind::Percent, percent};
  return LimitTextError::None;
}

double ResistanceUnitFactor(int unitIndex) {
  switch (unitIndex) {
    case 1: return 1e3;
    case 2: return 1e6;
    default: return 1.0;
  }
}

double InductanceUnitFactor(int unitIndex) {
  switch (unitIndex) {
    case 0: return 1e-6;
    case 1: return 1e-3;
    default: return 1.0;
  }
}

double CapacitanceUnitFactor(int unitIndex) {
  switch (unitIndex) {
    case 0: return 1e-12;
    case 1: return 1e-9;
    case 2: return 1e-6;
    default: return 1.0;
  }
}

bool ParseLocalNumber(const QString& text, QChar sep, double& out) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return false;
  QString c;
  c.reserve(t.size());
  int separators = 0;
  for (QChar ch : t) {
    if (ch == sep) {
      ++separators;
      c += QLatin1Char('.');
    } else if ((ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) || ch == QLatin1Char('+') || ch == QLatin1Char('-') ||
               ch == QLatin1Char('e') || ch == QLatin1Char('E')) {
      c += ch;
    } else {
      return false;  // another separator, a letter, a group separator...
    }
  }
  if (separators > 1) return false;
  bool ok = false;
  const double v = QLocale::c().toDouble(c, &ok);
  if (!ok || !std::isfinite(v)) return false;
  out = v;
  return true;
}

std::int32_t CheckTolerance(const ToleranceInput& in, double& PrimaryDeviation, double& SecondaryDeviation) {
  const bool series = in.CircuitSeries == 1;
  std::int32_t result = kSortPass;
  try {
    if (in.primary.on) {
      double n = Number(in.primary.nominalText, in.decimalSeparator);
      double m = 0;
      switch (in.primary.kind) {
        case kPrimaryR:
          n *= ResistanceUnitFactor(in.primary.unitIndex);
          m = series ? in.ReadingR : in.ParallelR;
          break;
        case kPrimaryL:
          n = n * InductanceUnitFactor(in.primary.unitIndex) * (in.TestFreqHz * kTwoPi);
          m = series ? in.ReadingX : in.ParallelX;
          break;
        case kPrimaryC:
          n = -Divide(1.0, in.TestFreqHz * kTwoPi * n * CapacitanceUnitFactor(in.primary.unitIndex));
          m = series ? -in.ReadingX : -in.ParallelX;
          break;
        default: throw Unevaluable{};
      }
      PrimaryDeviation = Divide(m - n, std::fabs(n)) * 100.0;
      ToleranceLimitText lim;
      if (ParseToleranceLimit(in.primary.toleranceText, in.decimalSeparator, lim) != LimitTextError::None)
        return kSortInvalid;
      if (OutOf(lim, m, n, PrimaryDeviation)) result = kSortPrimaryOut;
    }

    if (in.secondary.on) {
      double n = Number(in.secondary.nominalText, in.decimalSeparator);
      double m = 0;
      switch (in.secondary.kind) {
        case kSecondaryR:
          n *= ResistanceUnitFactor(in.secondary.unitIndex);
          m = series ? in.ReadingR : in.ParallelR;
          break;
        case kSecondaryQ: m = Divide(in.ReadingX, in.ReadingR); break;
        case kSecondaryD: m = Divide(in.ReadingR, in.ReadingX); break;
        default: throw Unevaluable{};
      }
      SecondaryDeviation = Divide(m - n, n) * 100.0;
      ToleranceLimitText lim;
      switch (ParseToleranceLimit(in.secondary.toleranceText, in.decimalSeparator, lim)) {
        case LimitTextError::None: break;
        case LimitTextError::LoneCharacter: return kSortSecondaryOut;
        case LimitTextError::NotANumber: return kSortInvalid;
      }
      if (OutOf(lim, m, n, SecondaryDeviation)) result += kSortSecondaryOut;
    }
  } catch (const Unevaluable&) {
    return kSortInvalid;
  }
  return result;
}

FilteredText FilterNumberText(const QString& text, int caret, QChar sep) {
  FilteredText r;
  r.text.reserve(text.size());
  bool separatorKept = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text.at(i);
    if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')) {
      r.text += ch;
    } else if (ch == sep && !separatorKept && i > 0) {
      r.text += ch;
      separatorKept = true;
    }
  }
  r.caret = std::clamp<int>(caret, 0, static_cast<int>(r.text.size()));
  return r;
}

FilteredText FilterToleranceText(const QString& text, int caret, QChar sep) {
  FilteredText r = FilterNumberText(text, caret, sep);
  r.text += QLatin1Char('%');
  r.caret = std::clamp<int>(caret, 0, static_cast<int>(r.text.size()));
  return r;
}

}  // namespace zt
