// Sequences of received frames, menu picks and mode switches through the
// meter's state. Input: records of 19 bytes, a control byte and a frame.
// Control bit 0: give the frame a correct checksum and terminator (else it
// goes as it is); bit 1: switch between measuring and profile editing;
// bit 2: pick row (frame byte 1 - 2) of menu (control >> 5) % 6 first.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "panel_state.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckState(const zt::PanelState& s) {
  Check(s.displayMode <= 7 && s.model <= 7);
  for (const zt::MenuView& m : s.view.menus) Check(m.selected >= -1 && m.selected < m.items.size());
  Check(s.view.rdPicture >= -1 && s.view.rdPicture <= 2);
  Check(s.view.modelButton >= -1 && s.view.modelButton <= 2);
  Check(s.view.menu(zt::Menu::Frequency).items.size() >= 6 && s.view.menu(zt::Menu::Level).items.size() >= 3);
}

void CheckQuantity(const zt::QuantityValue& q) {
  if (q.kind == zt::Quantity::None) return;
  Check(std::isnan(q.value) || std::isfinite(q.value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const zt::Lexicons& lex = zt::Lexicons::russian();
  const zt::PanelContext ctx{zt::TextEnv{lex, zt::Separators{}}, nullptr};
  zt::PanelState s;
  zt::BuildMenus(s, ctx);
  zt::LoadDefaultSettings(s, lex);
  zt::ApplyModel(s, ctx);
  s.mode = zt::WorkMode::Measuring;

  for (std::size_t at = 0; at + 19 <= size; at += 19) {
    const std::uint8_t control = data[at];
    zt::Frame frame{};
    for (std::size_t i = 0; i < zt::kFrameSize; ++i) frame[i] = data[at + 1 + i];
    if (control & 0x01) {
      frame[zt::frame_offset::kTerminator] = zt::kFrameTerminator;
      frame[zt::frame_offset::kChecksum] = zt::FrameSum(frame);
    }
    if (control & 0x02)
      s.mode = s.mode == zt::WorkMode::Measuring ? zt::WorkMode::EditingProfile : zt::WorkMode::Measuring;
    if (control & 0x04) {
      const auto menu = static_cast<zt::Menu>((control >> 5) % 6);
      const zt::PanelState before = s;
      if (!zt::ChooseMenuItem(s, menu, int(frame[1]) - 2, lex)) Check(s == before);
    }

    const zt::FrameOutcome o = zt::ProcessFrame(s, frame, ctx);
    if (!o.accepted) {
      Check(o.state == s);
      continue;
    }
    const bool shown = s.mode == zt::WorkMode::Measuring;
    Check(o.displayed == shown);
    if (o.reading) {
      Check(shown && o.state.displayMode == 1 && !o.state.asleep);
      const zt::RlcValues& v = o.reading->values;
      Check(std::isfinite(v.ReadingR) && v.ReadingR > 0 && std::isfinite(v.ImpedanceAbs));
      CheckQuantity(o.reading->primary);
      CheckQuantity(o.reading->secondary);
    }
    s = o.state;
    CheckState(s);
  }
  return 0;
}
