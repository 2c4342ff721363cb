#pragma once
// The logger's 6-byte Command frame: settings command and special command.
#include <array>
#include <cstdint>

#include "meter_settings.h"

namespace zt {

inline constexpr std::size_t kCommandSize = 6;
using CommandFrame = std::array<std::uint8_t, kCommandSize>;

// Special command codes.
enum SpecialCode : std::uint8_t {
  kCmdWakeUp = 0x80,
  kCmdModeRlc = 0x81,
  kCmdModeRd = 0x82,
  kCmdModeU = 0x83,
  kCmdPowerOff = 0x89,
};

inline constexpr std::uint8_t kCommandFixedByte4 = 0x0A;

// Packs MeterSettings into a settings command. Writes back the two
// normalisations the meter expects: FreqCode := 4 under automatic frequency,
// IntervalCode clamped to 3. `brightnessDown` is the state of the "Яркость"
// button (bit 6 of byte 0 is set when it is up). Byte 4 is 0x0A.
CommandFrame BuildSettingsCommand(MeterSettings& s, bool brightnessDown);

// A special command: byte 0 = code (| 0x40 when the brightness button is up),
// bytes 1, 2, 3, 5 = 1, byte 4 = 0x0A.
CommandFrame BuildSpecialCommand(std::uint8_t code, bool brightnessDown);

}  // namespace zt
