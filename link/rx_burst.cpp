#include "rx_burst.h"

#include <string_view>

namespace zt {
namespace {

bool Is(std::span<const std::uint8_t> burst, std::string_view text) {
  if (burst.size() != text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (burst[i] != static_cast<std::uint8_t>(text[i])) return false;
  }
  return true;
}

bool StartsWith(std::span<const std::uint8_t> burst, std::string_view text) {
  return burst.size() >= text.size() && Is(burst.first(text.size()), text);
}

}  // namespace

RxBurstKind ClassifyRxBurst(std::span<const std::uint8_t> burst, bool settingsBusy) {
  if (Is(burst, "OK+CONNL")) return RxBurstKind::Connecting;
  if (Is(burst, "OK+CONNE") || Is(burst, "OK+CONNF") || Is(burst, "OK+CONNEOK+CONNF"))
    return RxBurstKind::ConnectFailed;
  if (Is(burst, "OK+CONNN")) return RxBurstKind::NoConnection;
  // The dongle may glue its "connecting" and "connected" answers into one
  // burst; only a burst longer than those 17 characters counts as that case.
  if (Is(burst, "OK+CONN") || Is(burst, "OK+CONN\r\n") ||
      (burst.size() >= 18 && StartsWith(burst, "OK+CONNLOK+CONN\r\n")))
    return RxBurstKind::Connected;
  if (Is(burst, "OK+LOST")) return RxBurstKind::Lost;
  if (Is(burst, "OK")) return RxBurstKind::Ok;
  if (burst.size() != 18) return RxBurstKind::Purge;
  return settingsBusy ? RxBurstKind::DroppedWhileBusy : RxBurstKind::MeterFrame;
}

const char* RxBurstKindName(RxBurstKind kind) {
  switch (kind) {
    case RxBurstKind::Connecting: return "Connecting";
    case RxBurstKind::ConnectFailed: return "ConnectFailed";
    case RxBurstKind::NoConnection: return "NoConnection";
    case RxBurstKind::Connected: return "Connected";
    case RxBurstKind::Lost: return "Lost";
    case RxBurstKind::Ok: return "Ok";
    case RxBurstKind::Purge: return "Purge";
    case RxBurstKind::MeterFrame: return "Frame";
    case RxBurstKind::DroppedWhileBusy: return "DroppedWhileBusy";
  }
  return "?";
}

}  // namespace zt
