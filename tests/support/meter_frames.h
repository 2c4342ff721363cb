#pragma once
// Measurement frames as the meter sends them, for tests: three floats, the
// function and status bytes, a plain checksum and the terminator.
#include <algorithm>
#include <array>
#include <cstdint>

#include "frame.h"

namespace zt::test {

inline void PutFloat(Frame& fr, std::size_t at, float v) {
  const auto b = EncodeFrameFloat(v);
  std::copy(b.begin(), b.end(), fr.begin() + std::ptrdiff_t(at));
}

inline void Seal(Frame& fr) {
  fr[frame_offset::kTerminator] = kFrameTerminator;
  fr[frame_offset::kChecksum] = FrameSum(fr);
}

inline Frame MakeFrame(float a, float b, float c, std::uint8_t function, std::uint8_t status) {
  Frame fr{};
  PutFloat(fr, 0, a);
  PutFloat(fr, 4, b);
  PutFloat(fr, 8, c);
  fr[frame_offset::kFunction] = function;
  fr[frame_offset::kStatus] = status;
  Seal(fr);
  return fr;
}

// An RLC frame (status 0x01: ZT40, RLC mode, awake, brightness off) with R,
// X and settings bytes 1-4.
inline Frame MakeRlcFrame(float R, float X, std::array<std::uint8_t, 4> settings, std::uint8_t status = 0x01) {
  Frame fr = MakeFrame(R, X, 0, 0, status);
  std::copy(settings.begin(), settings.end(), fr.begin() + frame_offset::kSettings1);
  Seal(fr);
  return fr;
}

// A status-only frame; bytes 0-2 carry the sleep information.
inline Frame MakeStatusFrame(std::uint8_t status, std::uint8_t b0 = 0, std::uint8_t b1 = 0, std::uint8_t b2 = 0) {
  Frame fr{};
  fr[0] = b0;
  fr[1] = b1;
  fr[2] = b2;
  fr[3] = 0x3F;
  fr[frame_offset::kStatus] = status;
  Seal(fr);
  return fr;
}

}  // namespace zt::test
