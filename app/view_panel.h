#pragma once
// The on-screen front panel over the meter's state: the menus, function
// buttons, model buttons and interval box bound to MeterState's slots, and
// every label, menu list, display panel and button state rendered from the
// PanelView it publishes. The hover bevels of the clickable labels are the
// view's own.
#include <QList>
#include <QObject>
#include <QPixmap>

#include "view_context.h"

namespace zt {

class FrontPanelView : public QObject {
 public:
  explicit FrontPanelView(const ViewContext& v);

  // Renders a published panel (view_panel_render.cpp). Texts and states are
  // compared with what the controls show before they are set, so a steady
  // reading costs no repaint; nothing shown is read back as state.
  void render(const PanelView& p);

 private:
  void bindMenus();
  void bindButtons();
  void bindModelChooser();
  void renderDisplays(const PanelView& p);
  void renderMenus(const PanelView& p);
  void renderButtons(const PanelView& p);
  QListWidget* listOf(Menu m) const;
  QFrame* panelOf(Menu m) const;

  ViewContext v_;
  QList<QPixmap> ImList1;  // diode up, diode down, resistor
  PanelView shown_;        // what render() last put on the controls
  bool rendered_ = false;
};

}  // namespace zt
