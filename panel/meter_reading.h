#pragma once
// One displayed RLC reading as a plain value: what the recorder, the journal,
// the headless recorder and the publisher take from the meter's state. Texts
// are those the panel shows for this reading; numbers are in SI units so that
// programs reading our files need not parse display texts.
#include <QDateTime>
#include <QMetaType>
#include <QString>

#include <cmath>
#include <cstdint>
#include <limits>

#include "display.h"
#include "meter_settings.h"

namespace zt {

// What a number measures. The primary parameter is R, C, L or Z; the
// secondary R, Q, D or the phase angle.
enum class Quantity {
  None,
  Resistance,
  Capacitance,
  Inductance,
  Impedance,
  QualityFactor,
  DissipationFactor,
  PhaseAngle
};

// Where the panel shows a limit instead of a number (">20.00 MΩ", "<40.00 mF",
// ">500 H"), the value is that limit and the bound says which side of it the
// reading lies.
enum class Bound { Exact, Below, Above };

struct QuantityValue {
  Quantity kind = Quantity::None;
  double value = std::numeric_limits<double>::quiet_NaN();  // SI units (ohm, farad, henry, degree, plain ratio)
  QString unit;                                             // "Ω", "F", "H", "°", or empty for Q and D
  Bound bound = Bound::Exact;
  // False when the panel shows no number for it (no quantity, or no test frequency for Z, Q, D, θ).
  bool valid() const { return kind != Quantity::None && std::isfinite(value); }
};

// The test signal's level as a number: an AC level in volts RMS, or a DC
// level in volts.
struct TestLevel {
  double volts = std::numeric_limits<double>::quiet_NaN();
  bool rms = true;
  // False when the level code means nothing on the model (the panel then keeps its last text).
  bool valid() const { return std::isfinite(volts); }
};

struct MeterReading {
  QDateTime time;          // when the frame was shown (local time with its offset)
  MeterSettings settings;  // the meter's settings after the frame
  std::uint8_t model = 0;  // MeterModel
  std::int32_t testFreqHz = 0;
  bool noTestFrequency = false;
  RlcValues values;  // R and X and what follows from them

  // As the panel shows them for this reading; where a frame leaves a label
  // unchanged these carry the text an earlier frame wrote.
  QString primaryLetter;    // L_Prim_RLC
  QString primaryText;      // L_prim_n: value with prefix and unit
  QString secondaryLetter;  // L_Sec_RLC
  QString secondaryText;    // L_sec_n
  QString freqText;         // frequency without the auto mark ("10кГц")
  QString levelText;        // level without the auto mark ("1.0Вскз")

  // The same readings as numbers.
  QuantityValue primary;
  QuantityValue secondary;
  TestLevel level;
};

}  // namespace zt

Q_DECLARE_METATYPE(zt::MeterReading)
