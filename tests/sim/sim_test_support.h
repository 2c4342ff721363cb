#pragma once
// Helpers that drive the simulator's core on a virtual clock.
#include <QByteArray>
#include <QList>
#include <cmath>
#include <cstring>

#include "meter_model.h"

namespace simtest {

struct Burst {
  qint64 at;
  QByteArray bytes;
};

// Runs the core's clock from its current time to `until`, collecting every
// burst at the moment it would be written.
inline QList<Burst> RunUntil(zt::sim::MeterModel& m, qint64& now, qint64 until) {
  QList<Burst> out;
  for (int guard = 0; guard < 100000; ++guard) {
    if (auto b = m.takeDue(now)) {
      out.append({now, *b});
      continue;
    }
    const qint64 next = m.nextEventMs();
    if (next > until) break;
    now = std::max(now, next);
  }
  now = std::max(now, until);
  m.advance(now);
  return out;
}

inline QList<QByteArray> Frames(const QList<Burst>& bursts) {
  QList<QByteArray> frames;
  for (const auto& b : bursts)
    if (b.bytes.size() == 18) frames.append(b.bytes);
  return frames;
}

inline std::uint8_t U(const QByteArray& b, int i) { return static_cast<std::uint8_t>(b.at(i)); }

// The receiver's reading of a 4-byte value: mantissa h in [2, 4), base-4
// exponent, the low exponent bit folded in as a factor (1 + b).
inline double DecodeValue(const QByteArray& f, int k) {
  const std::uint32_t m = U(f, k) | (U(f, k + 1) << 8) | (U(f, k + 2) << 16);
  const int e = U(f, k + 3) & 0x7F;
  const double h = 2.0 + double(m & 0x7FFFFF) / double(1 << 22);
  double v = h * std::pow(4.0, e - 64) * (1 + ((m >> 23) & 1));
  return (U(f, k + 3) & 0x80) ? -v : v;
}

inline bool ChecksumOk(const QByteArray& f) {
  unsigned sum = 0;
  for (int i = 0; i < 16; ++i) sum += U(f, i);
  return f.size() == 18 && U(f, 17) == 0x0A && U(f, 16) == (sum & 0xFF);
}

inline zt::sim::ReportedSettings SettingsOf(const QByteArray& f) {
  const std::uint8_t b[4] = {U(f, 8), U(f, 9), U(f, 10), U(f, 11)};
  return zt::sim::UnpackSettings(std::span<const std::uint8_t, 4>(b, 4));
}

}  // namespace simtest
