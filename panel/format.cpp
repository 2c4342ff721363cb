#include "format.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace zt {

Separators Separators::system() {
  const QLocale loc = QLocale::system();
  Separators s;
  s.decimal = loc.decimalPoint();
  s.group = loc.groupSeparator();
  if (s.decimal.isEmpty()) s.decimal = QStringLiteral(".");
  return s;
}

namespace {

// A magnitude as decimal digits: value = 0.d0 d1 d2 ... * 10^(exp10 + 1),
// i.e. digit i has the place value 10^(exp10 - i). No leading zeros; an
// empty digit string means zero.
struct Decimal {
  std::string digits;
  int exp10 = 0;
};

// The decimal digits the value was meant to have. Rounding is done on these
// digits, not on the binary value, so 2.675 or a scaled 0.0012345 * 1000
// rounds the way it reads. Up to 15 significant digits a double is faithful,
// so binary noise below that is dropped; beyond that the shortest exact
// representation is used.
Decimal ToDecimal(double mag, int precision) {
  Decimal d;
  if (mag == 0) return d;
  char buf[64];
  std::to_chars_result r = precision <= 15
                               ? std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::scientific, 14)
                               : std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::scientific);
  const std::string text(buf, r.ptr);
  const std::size_t e = text.find('e');
  for (std::size_t i = 0; i < e; ++i)
    if (text[i] != '.') d.digits.push_back(text[i]);
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(), exponent);
  d.exp10 = exponent;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Keeps `keep` leading digits, rounding half away from zero on the digit
// that follows. keep may be 0 or negative (the value may round up to one
// unit at the first dropped position, or to zero).
void RoundDigits(Decimal& d, int keep) {
  if (d.digits.empty()) return;
  if (keep >= int(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    return;
  }
  const bool up = d.digits[std::size_t(keep)] >= '5';
  d.digits.resize(std::size_t(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[std::size_t(i)] == '9') {
      d.digits[std::size_t(i)] = '0';
      --i;
    }
    if (i >= 0) {
      ++d.digits[std::size_t(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exp10;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
}

char DigitAt(const Decimal& d, long long i) {
  return (i >= 0 && i < static_cast<long long>(d.digits.size())) ? d.digits[std::size_t(i)] : '0';
}

}  // namespace

QString FormatFixed(double x, int P, int D, bool grouped, const Separators& sep) {
  if (std::isnan(x)) return QStringLiteral("NAN");
  if (std::isinf(x)) return x < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  P = std::clamp(P, 2, 18);

  Decimal d = ToDecimal(std::fabs(x), P);
  if (!d.digits.empty()) {
    // Digits down to the D-th decimal: those with place value >= 10^-D.
    // (Computed wide: D is the caller's and could be anything.)
    const long long keep = std::min<long long>(P, static_cast<long long>(d.exp10) + D + 1);
    RoundDigits(d, static_cast<int>(std::max<long long>(keep, -1)));
  }
  // A value that rounds to zero is written without a sign: "-0.00" would
  // claim a direction the reading does not have.
  const bool zero = d.digits.empty();
  const QString sign = (x < 0 && !zero) ? QStringLiteral("-") : QString();

  if (!zero && d.exp10 + 1 > P) {
    QString s = sign + QChar(d.digits[0]);
    if (d.digits.size() > 1)
      s += sep.decimal + QString::fromLatin1(d.digits.data() + 1, qsizetype(d.digits.size() - 1));
    return s + QStringLiteral("E") + QString::number(d.exp10);
  }

  QString intPart;
  if (zero || d.exp10 < 0) {
    intPart = QStringLiteral("0");
  } else {
    const int intDigits = d.exp10 + 1;
    for (int i = 0; i < intDigits; ++i) {
      if (grouped && i > 0 && (intDigits - i) % 3 == 0) intPart += sep.group;
      intPart += QChar(DigitAt(d, i));
    }
  }
  QString s = sign + intPart;
  if (D > 0) {
    s += sep.decimal;
    for (int j = 1; j <= D; ++j) s += QChar(zero ? '0' : DigitAt(d, static_cast<long long>(d.exp10) + j));
  }
  return s;
}

namespace {

struct Row {
  int power;  // the number shown is x * 10^power
  int decimals;
  QString prefix;  // after the blank
};

Row ChooseRow(double a, int kind, double f, const TextEnv& env) {
  const Lexicon& p = env.lex.Dlang1;
  if (a >= 1e7) return {-6, 3, p[0]};
  if (a >= 1e6) return {-6, 4, p[0]};
  if (a >= 1e5) return {-3, 2, p[1]};
  if (a >= 1e4) return {-3, 3, p[1]};
  if (a >= 1e3) return {-3, 4, p[1]};
  if (a >= 100) return {0, 2, QString()};
  if (a >= 10) return {0, 3, QString()};
  if (a >= 1) return {0, 4, QString()};
  if (a >= 0.1) return {3, 2, p[2]};
  if (a >= 0.01) return {3, 3, p[2]};
  if (a >= 0.001) return {3, 4, p[2]};

  const QString micro = MicroSign(env.lex);
  if (kind == 1) {
    if (f == 100) return {6, 2, micro};
    if (a >= 1e-4) return {6, 2, micro};
    if (f == 1000) return {6, 3, micro};
    if (a >= 1e-5) return {6, 3, micro};
    return {6, 4, micro};
  }
  if (a >= 1e-4) return {6, 2, micro};
  if (a >= 1e-5) return {6, 3, micro};
  if (a >= 1e-6) return {6, 4, micro};
  if (a >= 1e-7) return {9, 2, p[4]};
  if (a >= 1e-8) return {9, 3, p[4]};
  if (a >= 1e-9) return {9, 4, p[4]};
  if (a >= 1e-10) return {12, 2, p[5]};
  if (f == 100) return {12, 2, p[5]};
  if (a >= 1e-11) return {12, 3, p[5]};
  if (f == 1000) return {12, 3, p[5]};
  return {12, 4, p[5]};
}

}  // namespace

QString FormatPrefixed(double x, int kind, double testFreqHz, const TextEnv& env) {
  // The row is chosen by magnitude so that a negative value is written like
  // its positive counterpart, with a minus sign.
  const Row row = ChooseRow(std::fabs(x), kind, testFreqHz, env);
  // Powers of ten up to 10^12 are exact doubles; dividing by them avoids the
  // inexact reciprocals 10^-3 and 10^-6.
  const double factor = std::pow(10.0, std::abs(row.power));
  const double scaled = row.power < 0 ? x / factor : x * factor;
  return FormatFixed(scaled, 5, row.decimals, true, env.sep) + QLatin1Char(' ') + row.prefix;
}

QString FormatOhms(double x, double testFreqHz, const TextEnv& env) {
  QString s;
  if (x > 2e7)
    s = QStringLiteral(">20") + env.sep.decimal + QStringLiteral("00 ") + env.lex.Dlang1[0];
  else if (x < 1)
    s = FormatFixed(x, 5, 4, true, env.sep) + QLatin1Char(' ');
  else if (x < 10)
    s = FormatFixed(x, 5, 3, true, env.sep) + QLatin1Char(' ');
  else
    s = FormatPrefixed(x, 0, testFreqHz, env);
  return s + OhmSign(env.lex);
}

}  // namespace zt
