#pragma once
// The meter's 18-byte Measurement frame: layout, float decoding, validation.
// Pure functions over bytes; no Qt widgets, no state.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zt {

inline constexpr std::size_t kFrameSize = 18;
using Frame = std::array<std::uint8_t, kFrameSize>;

// Byte offsets inside a Measurement frame.
namespace frame_offset {
inline constexpr std::size_t kValueA = 0;  // float: R / resistance / rms
inline constexpr std::size_t kValueB = 4;  // float: X / current / p-p
inline constexpr std::size_t kValueC = 8;  // float (modes 2, 3) or settings bytes 1-4 (mode 1)
inline constexpr std::size_t kSettings1 = 8;
inline constexpr std::size_t kSettings2 = 9;
inline constexpr std::size_t kSettings3 = 10;
inline constexpr std::size_t kSettings4 = 11;
inline constexpr std::size_t kChecksumVariant = 13;
inline constexpr std::size_t kFunction = 14;
inline constexpr std::size_t kStatus = 15;
inline constexpr std::size_t kChecksum = 16;
inline constexpr std::size_t kTerminator = 17;
}  // namespace frame_offset

inline constexpr std::uint8_t kFrameTerminator = 0x0A;

// Copies the first 18 bytes of `bytes` into a Frame. Returns false (and leaves
// `out` untouched) when fewer than 18 bytes are given.
bool FrameFromBytes(std::span<const std::uint8_t> bytes, Frame& out);

// Decodes the 4-byte value at offset k (0, 4 or 8). Never returns exactly 0,
// never an infinity or NaN: the exponent field's two ends are finite values.
double DecodeFrameFloat(const Frame& frame, std::size_t k);

// What a frame carries for the front panel, decoded in one place: the three
// values at their offsets (in RLC mode R and X; the third holds the settings
// bytes there), the function byte (the resistance and voltage modes' range
// and flags) and the sleep bit of the status byte.
struct FrameNumbers {
  double a = 0;  // offset 0
  double b = 0;  // offset 4
  double c = 0;  // offset 8
  std::uint8_t function = 0;
  bool asleep = false;
};
FrameNumbers DecodeFrameNumbers(const Frame& frame);

// The encoder used by tests and the simulated meter: the inverse of
// DecodeFrameFloat for every finite non-zero float.
std::array<std::uint8_t, 4> EncodeFrameFloat(float value);

// What the status byte and the sleep bytes of an accepted frame say.
struct FrameStatus {
  bool accepted = false;           // false: discard, nothing else is valid
  std::uint8_t displayMode = 0;    // bits 0-2 of byte 15 (0 = keep current)
  std::uint8_t model = 0;          // bits 3-5 of byte 15
  bool brightness = false;         // bit 6 of byte 15
  bool asleep = false;             // bit 7 of byte 15 (economy or sleep state)
  bool deepSleep = false;          // asleep and bits 0-1 of byte 0 non-zero ("Сон")
  std::uint16_t sleepSeconds = 0;  // byte 1 + 256 * byte 2, while asleep
};

// Checksum verdict: 3 when byte 16 is the plain sum of bytes 0-15, bits 0-1 of
// byte 13 when it is that sum + 5, else 0. A verdict below 2 rejects.
int ChecksumVerdict(const Frame& frame);

// Terminator, sleep layout and checksum tests, then the status fields.
FrameStatus ValidateFrame(const Frame& frame);

// Sum of bytes 0..15 modulo 256 (what byte 16 carries in a plain frame).
std::uint8_t FrameSum(const Frame& frame);

}  // namespace zt
