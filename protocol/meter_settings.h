#pragma once
// The logger's mirror of the meter's measurement settings. The 18 bytes are
// stored in this order in profile files, so the layout must never change.
#include <array>
#include <cstdint>

#include "frame.h"

namespace zt {

struct MeterSettings {
  std::uint8_t FreqAuto = 0;       // 0
  std::uint8_t FreqCode = 0;       // 1
  std::uint8_t PrimaryAuto = 0;    // 2
  std::uint8_t PrimaryCode = 0;    // 3
  std::uint8_t SecondaryAuto = 0;  // 4
  std::uint8_t SecondaryCode = 0;  // 5
  std::uint8_t LevelAuto = 0;      // 6
  std::uint8_t LevelCode = 0;      // 7
  std::uint8_t CircuitAuto = 0;    // 8
  std::uint8_t CircuitSeries = 0;  // 9
  std::uint8_t IntervalCode = 0;   // 10
  std::uint8_t Hold = 0;           // 11
  std::uint8_t NegativeSign = 0;   // 12
  std::uint8_t Sound = 0;          // 13
  std::uint8_t LogReady = 0;       // 14
  std::uint8_t SourceAuto = 0;     // 15
  std::uint8_t SourceCode = 0;     // 16
  std::uint8_t Reserved = 0;       // 17

  static constexpr std::size_t kSize = 18;
  std::array<std::uint8_t, kSize> toBytes() const;
  static MeterSettings fromBytes(const std::array<std::uint8_t, kSize>& b);
  bool operator==(const MeterSettings&) const = default;
};
static_assert(sizeof(MeterSettings) == MeterSettings::kSize);

// Meter models as reported in the status byte and stored in 1.dat.
enum MeterModelIndex : std::uint8_t { kZT40 = 0, kZT41 = 1, kZT42 = 2 };

// Unpacks settings bytes 1-4 (frame bytes 8-11) of an RLC frame into `s`.
// Reserved is left as it is.
void UnpackSettings(const Frame& frame, MeterSettings& s);

}  // namespace zt
