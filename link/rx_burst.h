#pragma once
// What one received serial burst means. The dongle speaks short "AT" answers;
// the meter sends fixed 18-byte frames; anything else is noise to be purged.
// Pure: no Qt, no state, any bytes of any length.
#include <cstddef>
#include <cstdint>
#include <span>

namespace zt {

// Longest burst one receive event takes; the rest waits for the next event.
inline constexpr std::size_t kMaxBurstBytes = 1000;

enum class RxBurstKind {
  Connecting,        // "OK+CONNL": the dongle starts connecting
  ConnectFailed,     // "OK+CONNE", "OK+CONNF", "OK+CONNEOK+CONNF"
  NoConnection,      // "OK+CONNN"
  Connected,         // "OK+CONN", "OK+CONN\r\n", "OK+CONNLOK+CONN\r\n" + more
  Lost,              // "OK+LOST"
  Ok,                // "OK"
  Purge,             // anything else not 18 bytes long: empty both buffers
  MeterFrame,        // 18 bytes to hand to the frame decoder
  DroppedWhileBusy,  // 18 bytes arriving while a settings change is in flight
};

// Compares the whole burst against the dongle's texts (exact, case-sensitive)
// in the fixed order; an 18-byte burst that is none of them is a frame.
RxBurstKind ClassifyRxBurst(std::span<const std::uint8_t> burst, bool settingsBusy);

const char* RxBurstKindName(RxBurstKind kind);

}  // namespace zt
