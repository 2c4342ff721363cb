#include "meter_settings.h"

namespace zt {

std::array<std::uint8_t, MeterSettings::kSize> MeterSettings::toBytes() const {
  return {FreqAuto,     FreqCode,  PrimaryAuto, PrimaryCode,   SecondaryAuto, SecondaryCode,
          LevelAuto,    LevelCode, CircuitAuto, CircuitSeries, IntervalCode,  Hold,
          NegativeSign, Sound,     LogReady,    SourceAuto,    SourceCode,    Reserved};
}

MeterSettings MeterSettings::fromBytes(const std::array<std::uint8_t, kSize>& b) {
  MeterSettings s;
  s.FreqAuto = b[0];
  s.FreqCode = b[1];
  s.PrimaryAuto = b[2];
  s.PrimaryCode = b[3];
  s.SecondaryAuto = b[4];
  s.SecondaryCode = b[5];
  s.LevelAuto = b[6];
  s.LevelCode = b[7];
  s.CircuitAuto = b[8];
  s.CircuitSeries = b[9];
  s.IntervalCode = b[10];
  s.Hold = b[11];
  s.NegativeSign = b[12];
  s.Sound = b[13];
  s.LogReady = b[14];
  s.SourceAuto = b[15];
  s.SourceCode = b[16];
  s.Reserved = b[17];
  return s;
}

void UnpackSettings(const Frame& frame, MeterSettings& s) {
  const std::uint8_t b1 = frame[frame_offset::kSettings1];
  const std::uint8_t b2 = frame[frame_offset::kSettings2];
  const std::uint8_t b3 = frame[frame_offset::kSettings3];
  const std::uint8_t b4 = frame[frame_offset::kSettings4];

  s.FreqCode = b1 & 0x1F;
  s.FreqAuto = (b1 >> 5) & 1;
  s.CircuitSeries = (b1 >> 6) & 1;
  s.CircuitAuto = (b1 >> 7) & 1;

  s.PrimaryCode = b2 & 0x07;
  s.PrimaryAuto = (b2 >> 3) & 1;
  s.SecondaryCode = (b2 >> 4) & 0x07;
  s.SecondaryAuto = (b2 >> 7) & 1;

  s.LevelCode = b3 & 0x07;
  s.LevelAuto = (b3 >> 3) & 1;
  s.IntervalCode = (b3 >> 4) & 0x07;
  s.Hold = (b3 >> 7) & 1;

  s.Sound = b4 & 1;
  s.NegativeSign = (b4 >> 1) & 1;
  s.LogReady = (b4 >> 2) & 1;
  s.SourceCode = (b4 >> 3) & 0x03;
  s.SourceAuto = (b4 >> 7) & 1;
}

}  // namespace zt
