#include "command.h"

namespace zt {

namespace {
// "Auto" flags count only when exactly 1.
constexpr std::uint8_t Flag(std::uint8_t v) { return v == 1 ? 1 : 0; }
}  // namespace

// Every field is masked to its width before it is shifted into place, so a
// stray value (a damaged profile record, say) cannot spill into the
// neighbouring field and change a setting nobody asked for. Values in range
// give exactly the plain shifted sums.
CommandFrame BuildSettingsCommand(MeterSettings& s, bool brightnessDown) {
  CommandFrame c{};
  c[0] = brightnessDown ? 0x01 : 0x41;

  const std::uint8_t circuit = Flag(s.CircuitAuto) ? 0 : std::uint8_t((s.CircuitSeries & 1) + 1);
  if (Flag(s.FreqAuto)) s.FreqCode = 4;
  c[1] = std::uint8_t((circuit << 6) | (Flag(s.FreqAuto) << 5) | (s.FreqCode & 0x1F));

  const std::uint8_t primary = Flag(s.PrimaryAuto) ? 0 : (s.PrimaryCode & 0x0F);
  const std::uint8_t secondary = Flag(s.SecondaryAuto) ? 0 : (s.SecondaryCode & 0x07);
  c[2] = std::uint8_t(((s.Sound & 1) << 7) | (secondary << 4) | primary);

  if (s.IntervalCode > 3) s.IntervalCode = 3;
  c[3] = std::uint8_t(((s.Hold & 1) << 7) | (s.IntervalCode << 4) | (Flag(s.LevelAuto) << 3) | (s.LevelCode & 0x07));

  c[4] = kCommandFixedByte4;
  c[5] = Flag(s.SourceAuto) ? 0 : std::uint8_t((s.SourceCode & 0x03) + 1);
  return c;
}

CommandFrame BuildSpecialCommand(std::uint8_t code, bool brightnessDown) {
  return {std::uint8_t(brightnessDown ? code : (code | 0x40)), 1, 1, 1, kCommandFixedByte4, 1};
}

}  // namespace zt
