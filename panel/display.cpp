#include "display.h"

#include <cmath>
#include <numbers>

namespace zt {

namespace {

QString Pfx(const TextEnv& env, int i) { return env.lex.Dlang1[i]; }
QString Unit(const TextEnv& env, int i) { return env.lex.Dlang3[i]; }

// Loss factor and quality factor share one format: the fewer digits the
// integer part needs, the more decimals, five digits in all.
QString RatioText(double v, const TextEnv& env) {
  const int n = v >= 1000 ? 4 : v >= 100 ? 3 : v >= 10 ? 2 : 1;
  return FormatFixed(v, n, 5 - n, false, env.sep);
}

QString InductanceText(double henry, double hz, const TextEnv& env) {
  if (henry > 500) return QStringLiteral(">500 ") + Unit(env, 4);
  return FormatPrefixed(henry, 1, hz, env) + Unit(env, 4);
}

QString LargeOrPrefixedCapacitance(double farad, double hz, const TextEnv& env) {
  if (farad >= 0.001)
    return FormatFixed(farad * 1e6, 7, 0, true, env.sep) + QLatin1Char(' ') + MicroSign(env.lex) + Unit(env, 5);
  return FormatPrefixed(farad, 0, hz, env) + Unit(env, 5);
}

}  // namespace

TestFrequency FrequencyOfIndex(int index, std::uint8_t liveFreqCode, std::uint8_t model) {
  TestFrequency t;
  t.none = liveFreqCode == 0;
  if (t.none) {
    t.hz = 120;
    return t;
  }
  static constexpr std::int32_t kHz[15] = {120,   100,   120,   1000,  10000, 100000, 20000, 30000,
                                           40000, 50000, 60000, 70000, 80000, 90000,  150000};
  if (index == 6 && model == kZT41)
    t.hz = 250000;
  else if (index >= 0 && index < 15)
    t.hz = kHz[index];
  else
    t.hz = 50;
  return t;
}

double SourceResistanceOhms(std::uint8_t model, std::uint8_t sourceCode) {
  if (model == kZT42) return 499;
  return sourceCode == 1 ? 1600 : 100;
}

std::optional<double> TestLevelMillivolts(std::uint8_t model, std::uint8_t levelCode) {
  if (model == kZT40 || model == kZT41) {
    static constexpr double kMv[5] = {1000, 1000, 500, 100, 71};
    if (levelCode < 5) return kMv[levelCode];
    return std::nullopt;
  }
  if (model == kZT42) {
    // Code 4 is never offered on this model; its label reads 0.5 Vrms, so the
    // voltage follows the label.
    static constexpr double kMv[5] = {700, 700, 100, 71, 500};
    if (levelCode < 5) return kMv[levelCode];
  }
  return std::nullopt;
}

RlcPhysics ComputeRlcPhysics(double r, double x, std::uint8_t model, const MeterSettings& s, double hz) {
  RlcPhysics p;
  RlcValues& v = p.values;
  v.ReadingR = std::abs(r);
  v.PhaseDeg = std::atan(x / v.ReadingR) / std::numbers::pi * 180.0;
  v.ReadingX = std::abs(x);
  const double sum = v.ReadingR * v.ReadingR + v.ReadingX * v.ReadingX;
  v.ParallelR = sum / v.ReadingR;
  v.ParallelX = sum / v.ReadingX;
  v.ImpedanceAbs = std::sqrt(sum);
  v.DutVoltage = v.ImpedanceAbs / (v.ImpedanceAbs + SourceResistanceOhms(model, s.SourceCode));
  if (auto mv = TestLevelMillivolts(model, s.LevelCode)) v.DutVoltage *= *mv;
  p.currentMa = v.DutVoltage / v.ImpedanceAbs;
  p.omega = 2 * std::numbers::pi * hz;
  const double reactance = s.CircuitSeries == rlc_code::kCircuitSeries ? v.ReadingX : v.ParallelX;
  p.inductanceH = reactance / p.omega;
  p.capacitanceF = 1 / (p.omega * reactance);
  p.dissipation = v.ReadingR / v.ReadingX;
  p.quality = v.ReadingX / v.ReadingR;
  return p;
}

namespace {

// The texts of the quantities (Rt .. Jt) of an awake frame.
void FormatRlcQuantities(const RlcPhysics& p, const MeterSettings& s, TestFrequency freq, bool below40,
                         const TextEnv& env, RlcReading& r) {
  const RlcValues& v = p.values;
  const QString ohm = OhmSign(env.lex);
  const QString& ds = env.sep.decimal;
  const double hz = freq.hz;

  if (v.DutVoltage < 100)
    r.Vt = FormatFixed(v.DutVoltage, 4, 1, true, env.sep) + Pfx(env, 2);
  else
    r.Vt = FormatFixed(v.DutVoltage / 1000, 1, 3, true, env.sep);
  r.Vt += Unit(env, 1);
  r.Jt = FormatFixed(p.currentMa, 4, 1, true, env.sep) + Pfx(env, 2) + QLatin1Char('A') + Unit(env, 6);

  if (s.CircuitSeries == rlc_code::kCircuitSeries) {
    if (freq.none && v.ReadingR > 1e6)
      r.Rt = QStringLiteral(">1") + ds + QStringLiteral("000 M") + ohm;
    else
      r.Rt = FormatOhms(v.ReadingR, hz, env);
    r.Lt = InductanceText(p.inductanceH, hz, env);
    if (below40)
      r.Ct = QStringLiteral("<40") + ds + QStringLiteral("00 ") + Pfx(env, 2) + Unit(env, 5);
    else if (freq.none && p.capacitanceF < 4.5e-7)
      r.Ct = QStringLiteral("<0") + ds + QStringLiteral("50 ") + MicroSign(env.lex) + Unit(env, 5);
    else
      r.Ct = LargeOrPrefixedCapacitance(p.capacitanceF, hz, env);
  } else {
    r.Rt = FormatOhms(v.ParallelR, hz, env);
    r.Lt = InductanceText(p.inductanceH, hz, env);
    r.Ct = LargeOrPrefixedCapacitance(p.capacitanceF, hz, env);
  }

  if (!freq.none) {
    r.Zt = FormatOhms(v.ImpedanceAbs, hz, env);
    r.Dt = RatioText(p.dissipation, env);
    r.Qt = RatioText(p.quality, env);
    r.At = FormatFixed(v.PhaseDeg, 4, 4, true, env.sep) + QChar(0x00B0);
  }
}

}  // namespace

RlcReading ComputeRlcReading(const Frame& frame, const MeterSettings& previous, std::uint8_t model,
                             const TextEnv& env) {
  RlcReading r;
  r.settings = previous;
  UnpackSettings(frame, r.settings);
  MeterSettings& s = r.settings;
  r.below40 = (frame[frame_offset::kSettings4] & 0x20) != 0;
  r.freq = FrequencyOfIndex(s.FreqCode, s.FreqCode, model);
  const FrameNumbers n = DecodeFrameNumbers(frame);
  r.asleep = n.asleep;
  const QString blank = QStringLiteral(" ");
  const QString ohm = OhmSign(env.lex);

  if (r.asleep) {
    s.NegativeSign = 0;
    r.Rt = r.Lt = r.Ct = r.Zt = r.Dt = r.Qt = r.At = r.Vt = blank;
  } else {
    const RlcPhysics p = ComputeRlcPhysics(n.a, n.b, model, s, r.freq.hz);
    FormatRlcQuantities(p, s, r.freq, r.below40, env, r);
    r.values = p.values;
  }

  // Source resistance caption.
  if (s.SourceCode == rlc_code::kSource100Ohm || s.SourceCode == rlc_code::kSource1600Ohm) {
    QString src = s.SourceAuto == 1 ? QStringLiteral("A") : QString();
    src += s.SourceCode == rlc_code::kSource100Ohm ? QStringLiteral("100") + ohm
                                                   : QStringLiteral("1.6") + Pfx(env, 1) + ohm;
    r.source = src;
  }

  // Primary reading with its circuit letter.
  QString circ;
  if (s.PrimaryCode == rlc_code::kPrimaryZ) {
    r.serPer1 = QString();
    r.primary = r.Zt;
  } else {
    circ = s.CircuitSeries == rlc_code::kCircuitSeries ? QStringLiteral("S") : QStringLiteral("P");
    r.serPer1 = circ;
    const QString sign = s.NegativeSign == 1 ? QStringLiteral("-") : blank;
    switch (s.PrimaryCode) {
      case rlc_code::kPrimaryR: r.primary = r.Rt; break;
      case rlc_code::kPrimaryC: r.primary = sign + r.Ct; break;
      case rlc_code::kPrimaryL: r.primary = sign + r.Lt; break;
      default: break;
    }
  }

  // Secondary reading.
  r.serPer = blank;
  switch (s.SecondaryCode) {
    case rlc_code::kSecondaryNone: r.secondary = blank; break;
    case rlc_code::kSecondaryR:
      r.serPer = circ;
      r.secondary = r.Rt;
      break;
    case rlc_code::kSecondaryQ: r.secondary = r.Qt; break;
    case rlc_code::kSecondaryD: r.secondary = r.Dt; break;
    case rlc_code::kSecondaryAngle: r.secondary = r.At; break;
    default: break;
  }

  // Right-hand column of derived quantities.
  if (s.FreqCode != 0 && !r.asleep) {
    r.right = {QStringLiteral("Z ") + r.Zt,           QStringLiteral("D ") + r.Dt, QStringLiteral("Q ") + r.Qt,
               QString(QChar(0x019F)) + blank + r.At, QStringLiteral("V ") + r.Vt, QStringLiteral("J ") + r.Jt};
  }
  return r;
}

bool OfferReadingToLog(bool recordingDown, std::uint8_t hold) { return recordingDown != (hold == 1); }

// ---------------------------------------------------------------- RD mode

QString RdCurrentText(double microamps, const TextEnv& env) {
  if (microamps < 10)
    return FormatFixed(microamps, 4, 3, true, env.sep) + QLatin1Char(' ') + MicroSign(env.lex) + QLatin1Char('A');
  return FormatFixed(microamps / 1000, 4, 3, true, env.sep) + QLatin1Char(' ') + Pfx(env, 2) + QLatin1Char('A');
}

RdReading ComputeRdReading(const Frame& frame, const TextEnv& env) {
  RdReading r;
  const QString blank = QStringLiteral(" ");
  const FrameNumbers n = DecodeFrameNumbers(frame);
  if (n.asleep) {
    r.asleep = true;
    r.letter = r.subscript = r.current = blank;
    return r;
  }
  const double a = std::abs(n.a);
  const double b = std::abs(n.b);
  const double c = std::abs(n.c);
  const std::uint8_t fnByte = n.function;
  const int fn = fnByte & 0x0F;
  const bool second = (fnByte & 0x10) != 0;
  const int range = fnByte >> 5;
  const QString volt = Unit(env, 2);

  r.autoMark = range == 0 ? QStringLiteral("A") : blank;

  if (range == 1 && b < 200) {
    r.letter = r.subscript = r.current = blank;
  } else {
    r.letter = QStringLiteral("I");
    r.subscript = range == 0 ? env.lex.D3[1] : env.lex.D3[0];
    r.current = QLatin1Char('=') + RdCurrentText(b, env);
  }

  r.secondCurrent = second ? QStringLiteral("I") + env.lex.D3[0] + QLatin1Char('=') + RdCurrentText(c, env) : blank;

  if (fn <= 1) {
    r.voltage = (range == 1 ? QStringLiteral(" 3.2") : QStringLiteral("A3.2")) + volt;
    r.functionLetter = QStringLiteral("D");
    r.main = QStringLiteral("  V=") + FormatFixed(a / 1000, 4, 3, true, env.sep) + QLatin1Char(' ') + volt;
    r.picture = fn;
  } else if (range == 1) {
    r.voltage = QStringLiteral(" 3.2") + volt;
    r.functionLetter = QStringLiteral("D");
    r.main = env.lex.D3[2];
    r.picture = fn & 1;
  } else {
    switch (range) {
      case 0: r.voltage = QStringLiteral("A1.3") + volt; break;
      case 2: r.voltage = QStringLiteral(" 1.3") + volt; break;
      case 3: r.voltage = QStringLiteral(" 0.1") + volt; break;
      default: break;
    }
    r.picture = kPictureResistor;
    r.functionLetter = QStringLiteral("R");
    r.main = FormatOhms(a, 0, env);
  }
  return r;
}

// ---------------------------------------------------------------- U mode

UReading ComputeUReading(const Frame& frame, const TextEnv& env) {
  UReading u;
  const FrameNumbers n = DecodeFrameNumbers(frame);
  if (n.asleep) {
    u.main = QStringLiteral("V");
    return u;
  }
  double first = n.a;
  double second = n.b;
  const double main = n.c;
  const std::uint8_t fnByte = n.function;
  const bool current = (fnByte & 0x01) != 0;
  const bool milli = (fnByte & 0x20) != 0;
  const bool extremes = (fnByte & 0x40) != 0;
  const bool withResistance = current && (fnByte & 0x80) != 0;

  const QString pfx = milli ? Pfx(env, 2) : QString();
  const int D = milli ? 1 : 2;
  if (!extremes) {
    first = std::abs(first);
    second = std::abs(second);
  }
  const QString unit = current ? QStringLiteral("A") : Unit(env, 2);
  const QString letter = current ? QStringLiteral("I") : QStringLiteral("V");

  if (withResistance) {
    u.main = QStringLiteral("I=") + FormatFixed(main, 4, 3, true, env.sep) + pfx + QLatin1Char('A');
    u.upper = QString();
    u.lower = QStringLiteral("R=") + FormatFixed(second, 4, 4, true, env.sep) + QLatin1Char(' ') + OhmSign(env.lex);
    return u;
  }
  u.main = letter + QLatin1Char(' ') + FormatFixed(main, 4, 3, true, env.sep) + pfx + unit;
  if (!extremes) {
    u.upper = letter + Unit(env, 6) + QLatin1Char('=') + FormatFixed(first, 4, D, true, env.sep) + pfx + unit;
    u.lower = letter + Unit(env, 7) + QLatin1Char('=') + FormatFixed(second, 4, D, true, env.sep) + pfx + unit;
  } else {
    u.upper = letter + Unit(env, 8) + QLatin1Char('=') + FormatFixed(first, 4, 3, true, env.sep) + pfx + unit;
    u.lower = letter + Unit(env, 9) + QLatin1Char('=') + FormatFixed(second, 4, 3, true, env.sep) + pfx + unit;
  }
  return u;
}

}  // namespace zt
