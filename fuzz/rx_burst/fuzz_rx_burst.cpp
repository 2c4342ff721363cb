// Input: byte 0 bit 0 = a settings change in flight; then bursts, each as a
// 2-byte little-endian length (capped at the 1000 bytes one read takes)
// followed by that many bytes (fewer at the end of the input).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "frame.h"
#include "meter_settings.h"
#include "rx_burst.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void OneBurst(std::span<const std::uint8_t> burst, bool busy) {
  const zt::RxBurstKind kind = zt::ClassifyRxBurst(burst, busy);
  switch (kind) {
    case zt::RxBurstKind::MeterFrame:
    case zt::RxBurstKind::DroppedWhileBusy:
      Check(burst.size() == zt::kFrameSize);
      Check((kind == zt::RxBurstKind::DroppedWhileBusy) == busy);
      break;
    case zt::RxBurstKind::Connected: Check(burst.size() == 7 || burst.size() == 9 || burst.size() >= 18); break;
    case zt::RxBurstKind::Purge: break;
    default: Check(burst.size() <= 16); break;
  }
  if (kind != zt::RxBurstKind::MeterFrame) return;
  zt::Frame frame{};
  Check(zt::FrameFromBytes(burst, frame));
  const zt::FrameStatus st = zt::ValidateFrame(frame);
  if (!st.accepted) return;
  for (std::size_t k : {std::size_t{0}, std::size_t{4}, std::size_t{8}}) {
    const double v = zt::DecodeFrameFloat(frame, k);
    Check(std::isfinite(v) && v != 0.0);
  }
  zt::MeterSettings s{};
  zt::UnpackSettings(frame, s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool busy = data[0] & 1;
  std::size_t pos = 1;
  while (pos < size) {
    std::size_t len = data[pos];
    if (pos + 1 < size) len |= std::size_t(data[pos + 1]) << 8;
    pos += 2;
    if (len > zt::kMaxBurstBytes) len = zt::kMaxBurstBytes;
    if (pos > size) break;
    if (len > size - pos) len = size - pos;
    OneBurst(std::span<const std::uint8_t>(data + pos, len), busy);
    pos += len;
  }
  return 0;
}
