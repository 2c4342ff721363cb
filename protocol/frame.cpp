#include "frame.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace zt {

bool FrameFromBytes(std::span<const std::uint8_t> bytes, Frame& out) {
  if (bytes.size() < kFrameSize) return false;
  std::copy_n(bytes.begin(), kFrameSize, out.begin());
  return true;
}

double DecodeFrameFloat(const Frame& frame, std::size_t k) {
  // Only offsets 0, 4 and 8 carry values; anything else would read past the
  // payload, so it is pinned to the nearest valid offset instead.
  if (k > frame_offset::kValueC) k = frame_offset::kValueC;
  const std::uint32_t m =
      std::uint32_t(frame[k]) | (std::uint32_t(frame[k + 1]) << 8) | (std::uint32_t(frame[k + 2]) << 16);
  const std::uint8_t top = frame[k + 3];
  const std::uint32_t f = m & 0x7FFFFFu;
  const int b = int(m >> 23);
  const int e = int(top & 0x7F);
  // (2 + f / 2^22) * 4^(e - 64) * (1 + b) == (1 + f / 2^23) * 2^(2e + b - 127):
  // the IEEE single layout, except that the exponent field's two ends stay
  // ordinary finite numbers (0 -> 2^-127 scale, 255 -> 2^128 scale).
  const double mantissa = 1.0 + double(f) / 8388608.0;
  const double value = std::ldexp(mantissa, 2 * e + b - 127);
  return (top & 0x80) ? -value : value;
}

FrameNumbers DecodeFrameNumbers(const Frame& frame) {
  FrameNumbers n;
  n.a = DecodeFrameFloat(frame, frame_offset::kValueA);
  n.b = DecodeFrameFloat(frame, frame_offset::kValueB);
  n.c = DecodeFrameFloat(frame, frame_offset::kValueC);
  n.function = frame[frame_offset::kFunction];
  n.asleep = (frame[frame_offset::kStatus] & 0x80) != 0;
  return n;
}

std::array<std::uint8_t, 4> EncodeFrameFloat(float value) {
  const bool negative = std::signbit(value);
  std::uint32_t field = 0;  // exponent field (8 bits)
  std::uint32_t f = 0;      // fraction (23 bits)
  const double mag = std::fabs(double(value));
  if (std::isnan(value) || std::isinf(value)) {
    // Not representable: the largest magnitude the format has.
    field = 255;
    f = 0x7FFFFF;
  } else if (mag >= double(std::numeric_limits<float>::min())) {
    // Normal float: the same bits as IEEE single precision.
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    field = (bits >> 23) & 0xFF;
    f = bits & 0x7FFFFF;
  } else if (mag >= std::ldexp(1.0, -127)) {
    // [2^-127, 2^-126): a subnormal float, exact with exponent field 0.
    field = 0;
    f = std::uint32_t(std::ldexp(mag, 150)) - 0x800000u;
  } else {
    // Zero and tiny subnormals have no encoding; the smallest magnitude
    // (four zero bytes, 2^-127) is the closest one.
    field = 0;
    f = 0;
  }
  const std::uint32_t bits = (negative ? 0x80000000u : 0u) | (field << 23) | f;
  return {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16), std::uint8_t(bits >> 24)};
}

std::uint8_t FrameSum(const Frame& frame) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < frame_offset::kChecksum; ++i) sum += frame[i];
  return std::uint8_t(sum);
}

int ChecksumVerdict(const Frame& frame) {
  const std::uint8_t sum = FrameSum(frame);
  const std::uint8_t check = frame[frame_offset::kChecksum];
  if (check == sum) return 3;
  if (check == std::uint8_t(sum + 5)) return frame[frame_offset::kChecksumVariant] & 0x03;
  return 0;
}

FrameStatus ValidateFrame(const Frame& frame) {
  FrameStatus st;
  if (frame[frame_offset::kTerminator] != kFrameTerminator) return st;
  const std::uint8_t status = frame[frame_offset::kStatus];
  const bool asleep = (status & 0x80) != 0;
  if (asleep && (frame[0] & 0x60) != 0) return st;
  if (ChecksumVerdict(frame) < 2) return st;

  st.accepted = true;
  st.displayMode = status & 0x07;
  st.model = (status >> 3) & 0x07;
  st.brightness = (status & 0x40) != 0;
  st.asleep = asleep;
  if (asleep) {
    st.deepSleep = (frame[0] & 0x03) != 0;
    st.sleepSeconds = std::uint16_t(frame[1] | (frame[2] << 8));
  }
  return st;
}

}  // namespace zt
