#include "wire.h"

#include <bit>
#include <cmath>
#include <limits>

namespace zt::sim {

std::array<std::uint8_t, 4> EncodeFloat(double value) {
  const bool negative = std::signbit(value);
  std::uint32_t bits;
  const double magnitude = std::fabs(value);
  if (std::isnan(value) || magnitude > std::numeric_limits<float>::max()) {
    bits = std::bit_cast<std::uint32_t>(std::numeric_limits<float>::max());
  } else {
    const float f = static_cast<float>(magnitude);
    // A float below the normal range (or rounding to zero) has exponent field
    // 0, which the receiver does not read as IEEE: send the all-zero pattern.
    bits = (f < std::numeric_limits<float>::min()) ? 0u : std::bit_cast<std::uint32_t>(f);
  }
  if (negative) bits |= 0x80000000u;
  return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits >> 16),
          static_cast<std::uint8_t>(bits >> 24)};
}

void PutFloat(FrameBytes& frame, std::size_t k, double value) {
  const auto b = EncodeFloat(value);
  for (std::size_t i = 0; i < 4; ++i) frame[k + i] = b[i];
}

std::uint8_t Sum8(const FrameBytes& frame) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < 16; ++i) sum += frame[i];
  return static_cast<std::uint8_t>(sum);
}

void SealFrame(FrameBytes& frame, bool plus5) {
  frame[17] = kTerminator;
  if (plus5) {
    frame[13] = static_cast<std::uint8_t>(frame[13] | 0x03);
    frame[16] = static_cast<std::uint8_t>(Sum8(frame) + 5);
  } else {
    frame[16] = Sum8(frame);
  }
}

std::array<std::uint8_t, 4> PackSettings(const ReportedSettings& s) {
  std::array<std::uint8_t, 4> b{};
  b[0] = static_cast<std::uint8_t>((s.freqCode & 0x1F) | (s.freqAuto ? 0x20 : 0) | (s.circuitSeries ? 0x40 : 0) |
                                   (s.circuitAuto ? 0x80 : 0));
  b[1] = static_cast<std::uint8_t>((s.primaryCode & 0x07) | (s.primaryAuto ? 0x08 : 0) |
                                   ((s.secondaryCode & 0x07) << 4) | (s.secondaryAuto ? 0x80 : 0));
  b[2] = static_cast<std::uint8_t>((s.levelCode & 0x07) | (s.levelAuto ? 0x08 : 0) | ((s.intervalCode & 0x07) << 4) |
                                   (s.hold ? 0x80 : 0));
  b[3] = static_cast<std::uint8_t>((s.sound ? 0x01 : 0) | (s.negativeSign ? 0x02 : 0) | (s.logReady ? 0x04 : 0) |
                                   ((s.sourceCode & 0x03) << 3) | (s.below40m ? 0x20 : 0) | (s.sourceAuto ? 0x80 : 0));
  return b;
}

ReportedSettings UnpackSettings(std::span<const std::uint8_t, 4> b) {
  ReportedSettings s;
  s.freqCode = b[0] & 0x1F;
  s.freqAuto = b[0] & 0x20;
  s.circuitSeries = b[0] & 0x40;
  s.circuitAuto = b[0] & 0x80;
  s.primaryCode = b[1] & 0x07;
  s.primaryAuto = b[1] & 0x08;
  s.secondaryCode = (b[1] >> 4) & 0x07;
  s.secondaryAuto = b[1] & 0x80;
  s.levelCode = b[2] & 0x07;
  s.levelAuto = b[2] & 0x08;
  s.intervalCode = (b[2] >> 4) & 0x07;
  s.hold = b[2] & 0x80;
  s.sound = b[3] & 0x01;
  s.negativeSign = b[3] & 0x02;
  s.logReady = b[3] & 0x04;
  s.sourceCode = (b[3] >> 3) & 0x03;
  s.below40m = b[3] & 0x20;
  s.sourceAuto = b[3] & 0x80;
  return s;
}

std::uint8_t StatusByte(std::uint8_t displayMode, std::uint8_t model, bool brightness, bool asleep) {
  return static_cast<std::uint8_t>((displayMode & 0x07) | ((model & 0x07) << 3) | (brightness ? 0x40 : 0) |
                                   (asleep ? 0x80 : 0));
}

bool LooksLikeCommand(std::span<const std::uint8_t> bytes) { return bytes.size() >= kCommandBytes && bytes[4] == 0x0A; }

std::optional<Command> DecodeCommand(std::span<const std::uint8_t> b) {
  if (!LooksLikeCommand(b)) return std::nullopt;
  Command c;
  c.brightnessOn = !(b[0] & 0x40);
  if (b[0] & 0x80) {
    c.kind = Command::Kind::Special;
    c.special = static_cast<std::uint8_t>(b[0] & ~0x40);
    return c;
  }
  if ((b[0] & 0x3F) != 1) return c;  // Unknown
  c.kind = Command::Kind::Settings;
  c.freqCode = b[1] & 0x1F;
  c.freqAuto = b[1] & 0x20;
  c.circuit = (b[1] >> 6) & 0x03;
  c.primary = b[2] & 0x0F;
  c.secondary = (b[2] >> 4) & 0x07;
  c.sound = b[2] & 0x80;
  c.levelCode = b[3] & 0x07;
  c.levelAuto = b[3] & 0x08;
  c.intervalCode = (b[3] >> 4) & 0x03;
  c.hold = b[3] & 0x80;
  c.source = b[5];
  return c;
}

}  // namespace zt::sim
