#pragma once
// The three display modes of the front panel as plain computations: a frame
// (plus the settings and model it is read with) in, every value and label text
// out. The window only copies the results onto its labels, so everything that
// decides what the operator reads is here and testable without widgets.
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

#include "format.h"
#include "frame.h"
#include "meter_settings.h"

namespace zt {

// ---------------------------------------------------------------- RLC mode

struct TestFrequency {
  std::int32_t hz = 0;
  bool none = false;  // NoTestFrequency: the meter reports no AC test signal
};

// Hertz of a frequency index. The "no test frequency" case is decided on the
// live FreqCode (the settings the meter last reported), not on `index`, so an
// index read from a file still follows what the meter is doing now. Indices
// outside 0..31 read as 50 Hz like the unused codes 15..31.
TestFrequency FrequencyOfIndex(int index, std::uint8_t liveFreqCode, std::uint8_t model);

// Generator source resistance in ohms for the model and SourceCode.
double SourceResistanceOhms(std::uint8_t model, std::uint8_t sourceCode);

// Test level in millivolts rms for LevelCode on the model, or nothing when the
// code has no level (the voltage then stays the bare divider ratio).
std::optional<double> TestLevelMillivolts(std::uint8_t model, std::uint8_t levelCode);

// What the settings' codes mean on the RLC display (the items of the
// tolerance are another numbering: tolerance.h).
namespace rlc_code {
// MeterSettings::PrimaryCode
inline constexpr std::uint8_t kPrimaryR = 1;
inline constexpr std::uint8_t kPrimaryC = 2;
inline constexpr std::uint8_t kPrimaryL = 3;
inline constexpr std::uint8_t kPrimaryZ = 4;
// MeterSettings::SecondaryCode
inline constexpr std::uint8_t kSecondaryNone = 0;
inline constexpr std::uint8_t kSecondaryR = 1;
inline constexpr std::uint8_t kSecondaryQ = 2;
inline constexpr std::uint8_t kSecondaryD = 3;
inline constexpr std::uint8_t kSecondaryAngle = 4;
// MeterSettings::SourceCode
inline constexpr std::uint8_t kSource100Ohm = 0;
inline constexpr std::uint8_t kSource1600Ohm = 1;
// MeterSettings::CircuitSeries; anything else is the parallel circuit
inline constexpr std::uint8_t kCircuitSeries = 1;
}  // namespace rlc_code

// Values computed from one awake RLC frame.
struct RlcValues {
  double ReadingR = 0;
  double ReadingX = 0;
  double ParallelR = 0;
  double ParallelX = 0;
  double PhaseDeg = 0;
  double ImpedanceAbs = 0;
  double DutVoltage = 0;  // millivolts rms across the part
  bool operator==(const RlcValues&) const = default;
};

// The physics of one awake RLC frame, before any text: the values above and
// what the panel derives from them for the circuit in use.
struct RlcPhysics {
  RlcValues values;
  double omega = 0;         // 2 pi f
  double inductanceH = 0;   // of the series or parallel circuit, as set
  double capacitanceF = 0;  // likewise
  double currentMa = 0;     // through the part
  double dissipation = 0;   // D = R / X (series)
  double quality = 0;       // Q = X / R (series)
};

// From the frame's R and X (signed, as decoded), the model and the settings
// the frame carries, at the test frequency `hz`.
RlcPhysics ComputeRlcPhysics(double r, double x, std::uint8_t model, const MeterSettings& settings, double hz);

// Everything one RLC frame puts on the panel. An empty optional means "leave
// that label as the previous frame wrote it".
struct RlcReading {
  MeterSettings settings;  // the frame's settings unpacked over the previous ones
  TestFrequency freq;
  bool asleep = false;
  bool below40 = false;             // bit 5 of byte 11: capacitance below 40 mF
  std::optional<RlcValues> values;  // nothing while asleep: keep the last reading
  // Intermediate texts (also what the log and tests look at).
  QString Rt, Lt, Ct, Zt, Dt, Qt, At, Vt, Jt;
  std::optional<QString> source;     // L_Source_RLC
  QString serPer1;                   // L_SER_PER1
  std::optional<QString> primary;    // L_prim_n
  QString serPer;                    // L_SER_PER
  std::optional<QString> secondary;  // L_sec_n
  std::array<QString, 6> right;      // L_righ1 .. L_righ6
};

// Decodes and formats one RLC frame. `previous` is MeterSettings before the
// frame (Reserved and anything the frame does not carry survive).
RlcReading ComputeRlcReading(const Frame& frame, const MeterSettings& previous, std::uint8_t model, const TextEnv& env);

// A reading is offered to the log when exactly one of recording and hold is on.
bool OfferReadingToLog(bool recordingDown, std::uint8_t hold);

// ---------------------------------------------------------------- RD mode

// Pictures of the resistance/diode display, in image list order.
enum RdPicture : int { kPictureDiodeUp = 0, kPictureDiodeDown = 1, kPictureResistor = 2 };

struct RdReading {
  bool asleep = false;
  QString main;                           // RD_Prim
  QString letter;                         // J_prim
  QString subscript;                      // Joo
  QString current;                        // RD_J
  std::optional<QString> autoMark;        // RD_Auto
  std::optional<QString> secondCurrent;   // RD_J1
  std::optional<QString> voltage;         // RD_V
  std::optional<QString> functionLetter;  // RD_prim_R
  std::optional<int> picture;             // Im_Diod (RdPicture)
};

RdReading ComputeRdReading(const Frame& frame, const TextEnv& env);

// Current text for a current in microamperes.
QString RdCurrentText(double microamps, const TextEnv& env);

// ---------------------------------------------------------------- U mode

struct UReading {
  QString main;   // U_Prim
  QString upper;  // U_vrm
  QString lower;  // U_pp
};

UReading ComputeUReading(const Frame& frame, const TextEnv& env);

}  // namespace zt
