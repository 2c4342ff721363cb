#pragma once
// Byte layouts the simulated meter speaks: the 18-byte frame it sends and the
// 6-byte command it receives. Written independently of the logger's own
// protocol code on purpose, so that each side checks the other.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zt::sim {

inline constexpr std::size_t kFrameBytes = 18;
inline constexpr std::size_t kCommandBytes = 6;
inline constexpr std::uint8_t kTerminator = 0x0A;
using FrameBytes = std::array<std::uint8_t, kFrameBytes>;

// The meter's 4-byte value: little-endian single precision for every normal
// number. Zero and values too small for a normal float go out as the
// all-zero pattern (with the sign bit), which the logger reads as a tiny
// non-zero value; infinities, NaN and values beyond the float range go out as
// the largest finite float of that sign.
std::array<std::uint8_t, 4> EncodeFloat(double value);

// Writes a value at offset k (0, 4 or 8).
void PutFloat(FrameBytes& frame, std::size_t k, double value);

// 8-bit sum of bytes 0..15.
std::uint8_t Sum8(const FrameBytes& frame);

// Sets the terminator and the checksum. With `plus5` the checksum is the sum
// plus 5 and bits 0-1 of byte 13 are set to 3, the meter's second variant.
void SealFrame(FrameBytes& frame, bool plus5 = false);

// Settings bytes 8..11 of a display-mode-1 frame, field by field.
struct ReportedSettings {
  std::uint8_t freqCode = 3;  // 0..31
  bool freqAuto = false;
  bool circuitSeries = false;
  bool circuitAuto = true;
  std::uint8_t primaryCode = 1;  // 0..7
  bool primaryAuto = true;
  std::uint8_t secondaryCode = 3;  // 0..7
  bool secondaryAuto = true;
  std::uint8_t levelCode = 1;  // 0..7
  bool levelAuto = false;
  std::uint8_t intervalCode = 2;  // 0..7
  bool hold = false;
  bool sound = true;
  bool negativeSign = false;
  bool logReady = true;
  std::uint8_t sourceCode = 0;  // 0..3
  bool below40m = false;
  bool sourceAuto = false;

  bool operator==(const ReportedSettings&) const = default;
};

std::array<std::uint8_t, 4> PackSettings(const ReportedSettings& s);
ReportedSettings UnpackSettings(std::span<const std::uint8_t, 4> bytes);

// Status byte 15.
std::uint8_t StatusByte(std::uint8_t displayMode, std::uint8_t model, bool brightness, bool asleep);

// A received 6-byte command, decoded.
struct Command {
  enum class Kind { Settings, Special, Unknown };
  Kind kind = Kind::Unknown;
  bool brightnessOn = true;  // bit 6 of byte 0 clear: the brightness button is down
  std::uint8_t special = 0;  // Special: byte 0 without bit 6 (0x80, 0x81, ...)
  // Settings fields as sent; 0 in circuit, primary, secondary or source means
  // "automatic".
  std::uint8_t freqCode = 0;  // 0..31
  bool freqAuto = false;
  std::uint8_t circuit = 0;    // 0 auto, 1 parallel, 2 series, 3 invalid
  std::uint8_t primary = 0;    // 0 auto, 1..15
  std::uint8_t secondary = 0;  // 0 auto, 1..7
  bool sound = false;
  std::uint8_t levelCode = 0;  // 0..7
  bool levelAuto = false;
  std::uint8_t intervalCode = 0;  // 0..3
  bool hold = false;
  std::uint8_t source = 0;  // 0 auto, 1 = 100 ohm, 2 = 1.6 kohm, other invalid
};

// True when six bytes look like a command: byte 4 is 0x0A.
bool LooksLikeCommand(std::span<const std::uint8_t> bytes);

// Decodes six bytes; nullopt when fewer than six are given or byte 4 is not
// 0x0A.
std::optional<Command> DecodeCommand(std::span<const std::uint8_t> bytes);

}  // namespace zt::sim
