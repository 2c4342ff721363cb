#pragma once
// The window in the language in use: the language client translates every
// caption and list item (the design texts are captured when it attaches, so
// this view is made right after the controls and before anything is
// rendered), the picker LangCombo1 asks the engine for a switch, the
// positions and typed texts of the combo boxes survive the switch, and the
// band captions follow it.
#include <QObject>
#include <array>
#include <optional>

#include "lang_client.h"
#include "qt_translations.h"
#include "view_context.h"

namespace zt {

class LanguageView : public QObject {
 public:
  explicit LanguageView(const ViewContext& v);

  // The band captions JvP1 and JvP11 in the language in use.
  void showBandCaptions();

 private:
  static constexpr std::size_t kKeptCombos = 11;
  std::array<QComboBox*, kKeptCombos> keptCombos() const;
  void keepComboPositions();
  void restoreComboPositions();

  ViewContext v_;
  LangManClient* client_;
  QtTranslations* qt_;  // Qt's own dialogues in the language in use
  std::array<int, kKeptCombos> savedIndices_{};
  // Texts typed into the editable ones that are not their current item (a
  // tolerance of "15%"); none where the box shows its item.
  std::array<std::optional<QString>, kKeptCombos> savedTexts_{};
  bool saved_ = false;
};

}  // namespace zt
