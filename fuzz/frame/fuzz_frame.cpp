// Arbitrary received bytes through everything that reads a Measurement frame.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "frame.h"
#include "meter_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  zt::Frame frame{};
  if (!zt::FrameFromBytes(bytes, frame)) {
    if (size >= zt::kFrameSize) std::abort();  // enough bytes must always do
    return 0;
  }
  for (std::size_t i = 0; i < zt::kFrameSize; ++i)
    if (frame[i] != data[i]) std::abort();

  const zt::FrameStatus st = zt::ValidateFrame(frame);
  const int verdict = zt::ChecksumVerdict(frame);
  if (verdict < 0 || verdict > 3) std::abort();
  if (st.accepted && (verdict < 2 || frame[zt::frame_offset::kTerminator] != zt::kFrameTerminator)) std::abort();
  if (st.displayMode > 7 || st.model > 7) std::abort();

  for (std::size_t k : {zt::frame_offset::kValueA, zt::frame_offset::kValueB, zt::frame_offset::kValueC}) {
    const double v = zt::DecodeFrameFloat(frame, k);
    // The display divides by these values.
    if (!std::isfinite(v) || v == 0.0) std::abort();
  }

  zt::MeterSettings s{};
  s.Reserved = 0x5A;
  zt::UnpackSettings(frame, s);
  if (s.Reserved != 0x5A || s.FreqCode > 31 || s.PrimaryCode > 7 || s.SecondaryCode > 7 || s.LevelCode > 7 ||
      s.IntervalCode > 7 || s.SourceCode > 3)
    std::abort();

  // Re-encoding a decoded value that fits a float gives the same bytes back.
  const double a = zt::DecodeFrameFloat(frame, 0);
  const float af = static_cast<float>(a);
  if (static_cast<double>(af) == a && std::isfinite(af)) {
    const auto enc = zt::EncodeFrameFloat(af);
    zt::Frame g{};
    for (int i = 0; i < 4; ++i) g[std::size_t(i)] = enc[std::size_t(i)];
    if (zt::DecodeFrameFloat(g, 0) != a) std::abort();
  }
  return 0;
}
