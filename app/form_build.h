#pragma once
// The window's controls with their design-time captions, initial states,
// sizes and fonts, built region by region (one build_*.cpp per region). The
// captions are the design texts the language client captures, so they are
// set here and nowhere else before it attaches.
#include <QBoxLayout>
#include <QFont>
#include <QGridLayout>
#include <QString>
#include <QStringList>

#include "form_controls.h"

namespace zt::form {

// ---- the pieces every region uses (build_widgets.cpp)
QFont PixelFont(int px, bool bold);

template <typename W>
W* Make(QWidget* parent, const char* name) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QFrame* MakePanel(QWidget* parent, const char* name, bool bevelled = false);
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, bool toggle = false);
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = {});
QComboBox* MakeCombo(QWidget* parent, const char* name, const QStringList& items, bool editable = false);

// The whole window: its properties and the two regions' frames, filled by
// the region builders below (build_window.cpp).
void BuildWindow(FormControls& c, QWidget* window);

// ---- the regions, top to bottom. Each builds its panel under `parent` and
// adds it to `layout`.
// The left column Panel3: display-mode buttons, work mode, profile caption
// and the profile file buttons.
void BuildLeftColumn(FormControls& c, QWidget* parent, QBoxLayout* layout);
// The function strip JvPanel5: meter buttons, language picker / power off,
// the connect panel.
void BuildFunctionStrip(FormControls& c, QWidget* parent, QBoxLayout* layout);
// The display area JvPanel3: the three display panels in one place and the
// status memo (build_display.cpp).
void BuildDisplayPanels(FormControls& c, QWidget* parent, QBoxLayout* layout);
// Over the display panels: the sleep indicator and the six menus (build_menus.cpp).
void BuildMenus(FormControls& c);
// The profile editor Panel7, in the band's grid cell (1, 0).
void BuildProfileEditor(FormControls& c, QWidget* parent, QGridLayout* band);
// The recording controls Panel2, in the band's grid cell (1, 1).
void BuildRecordingBand(FormControls& c, QWidget* parent, QGridLayout* band);
// The log grid SG in Panel10.
void BuildGrid(FormControls& c, QWidget* parent, QBoxLayout* layout);
// The floating model chooser P16 over the window.
void BuildModelPanel(FormControls& c, QWidget* window);

}  // namespace zt::form
