#pragma once
// Number texts of the front panel: fixed significant digits, metric prefix by
// magnitude, fixed over-range texts. Separators come from the system's
// regional settings, words and prefixes from the lexicons.
#include <QString>

#include "lexicons.h"

namespace zt {

struct Separators {
  QString decimal = QStringLiteral(".");  // DS
  QString group = QStringLiteral(",");    // TS
  static Separators system();             // from QLocale::system()
};

// Everything a text builder needs besides the value itself.
struct TextEnv {
  const Lexicons& lex;
  Separators sep;
};

// x rounded half away from zero to P significant digits (P clamped to 2..18)
// and at most D decimals; scientific form when the integer part needs more
// than P digits.
QString FormatFixed(double x, int P, int D, bool grouped, const Separators& sep);

// kind 0: resistances, capacitances, currents; kind 1: inductances.
// Returns number + blank + prefix (or number + blank); the caller adds the unit.
QString FormatPrefixed(double x, int kind, double testFreqHz, const TextEnv& env);

// Complete resistance text including the ohm sign.
QString FormatOhms(double x, double testFreqHz, const TextEnv& env);

}  // namespace zt
