// The meter's published panel onto the front panel's controls.
#include <QSignalBlocker>

#include "ui_constants.h"
#include "view_panel.h"

namespace zt {

namespace {

void Put(QLabel* l, const QString& text) {
  if (l->text() != text) l->setText(text);
}

void Show(QWidget* w, bool visible) {
  if (w->isHidden() == visible) w->setVisible(visible);
}

void SetPanelColour(QWidget* panel, const QColor& c) {
  if (panel->palette().color(QPalette::Window) == c) return;
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, c);
  panel->setPalette(pal);
}

void SyncItems(QListWidget* list, const QStringList& items) {
  while (list->count() > items.size()) delete list->takeItem(list->count() - 1);
  for (int i = 0; i < items.size(); ++i) {
    if (i < list->count()) {
      if (list->item(i)->text() != items.at(i)) list->item(i)->setText(items.at(i));
    } else {
      list->addItem(items.at(i));
    }
  }
}

void SelectRow(QListWidget* list, int row) {
  if (row < 0 || row >= list->count()) row = -1;  // an index beyond the list selects nothing
  if (list->currentRow() != row) list->setCurrentRow(row);
}

template <typename B>
void Check(B* button, bool on) {
  if (button->isChecked() == on) return;
  const QSignalBlocker block(button);
  button->setChecked(on);
}

}  // namespace

void FrontPanelView::render(const PanelView& p) {
  renderDisplays(p);
  renderMenus(p);
  renderButtons(p);
  shown_ = p;
  rendered_ = true;
}

void FrontPanelView::renderDisplays(const PanelView& p) {
  FormControls& c = *v_.ui;
  Show(c.Panel_RLCD, p.display == DisplayPanel::Rlc);
  Show(c.Panel_RD, p.display == DisplayPanel::Rd);
  Show(c.Panel_U, p.display == DisplayPanel::U);
  SetPanelColour(c.Panel_RLCD, p.reject ? ui::RejectColour() : ui::DisplayColour());

  Put(c.L_Prim_RLC, p.primaryLetter);
  Put(c.L_RLC_avto, p.primaryAuto);
  Put(c.L_prim_n, p.primaryReading);
  Put(c.L_Sec_RLC, p.secondaryLetter);
  Put(c.L_RQD_avto, p.secondaryAuto);
  Put(c.L_sec_n, p.secondaryReading);
  QLabel* right[] = {c.L_righ1, c.L_righ2, c.L_righ3, c.L_righ4, c.L_righ5, c.L_righ6};
  for (std::size_t i = 0; i < p.right.size(); ++i) Put(right[i], p.right[i]);
  Put(c.L_freq_RLC, p.freq);
  Put(c.L_Level_RLC, p.level);
  Put(c.L_Source_RLC, p.source);
  Show(c.L_Source_RLC, p.sourceVisible);
  Put(c.L_SER_PER, p.circuit);
  Put(c.L_SER_PER1, p.circuit1);

  Put(c.RD_Prim, p.rdMain);
  Put(c.RD_prim_R, p.rdFunction);
  Put(c.RD_V, p.rdVoltage);
  Put(c.RD_Auto, p.rdAuto);
  Put(c.J_prim, p.rdLetter);
  Put(c.Joo, p.rdSubscript);
  Put(c.RD_J, p.rdCurrent);
  Put(c.RD_J1, p.rdSecondCurrent);
  if ((!rendered_ || p.rdPicture != shown_.rdPicture) && p.rdPicture >= 0 && p.rdPicture < ImList1.size())
    c.Im_Diod->setPixmap(ImList1.at(p.rdPicture));

  Put(c.U_Prim, p.uMain);
  Put(c.U_vrm, p.uUpper);
  Put(c.U_pp, p.uLower);

  Put(c.JP5, p.sleep);
  if (p.sleepVisible && (!rendered_ || !shown_.sleepVisible)) {
    c.JP5->show();
    c.JP5->raise();
  } else {
    Show(c.JP5, p.sleepVisible);
  }
}

void FrontPanelView::renderMenus(const PanelView& p) {
  for (std::size_t i = 0; i < kMenuCount; ++i) {
    const Menu m = static_cast<Menu>(i);
    const MenuView& menu = p.menu(m);
    QListWidget* list = listOf(m);
    QFrame* panel = panelOf(m);
    SyncItems(list, menu.items);
    SelectRow(list, menu.selected);
    if (menu.open && (!rendered_ || !shown_.menu(m).open)) {
      // Opened now: on top of whatever else is open.
      list->show();
      panel->show();
      panel->raise();
    } else if (!menu.open) {
      Show(panel, false);
      Show(list, false);
    }
  }
  QFrame* chooser = v_.ui->P16;
  if (p.modelChooserOpen && (!rendered_ || !shown_.modelChooserOpen)) {
    chooser->show();
    chooser->raise();
  } else if (!p.modelChooserOpen) {
    Show(chooser, false);
  }
}

void FrontPanelView::renderButtons(const PanelView& p) {
  FormControls& c = *v_.ui;
  Show(c.Button3, p.uButtonVisible);
  QRadioButton* models[] = {c.RB1, c.RB2, c.RB3};
  if (p.modelButton >= 0 && p.modelButton < 3) {
    Check(models[p.modelButton], true);
  } else {
    // A model the window has no button for: none is checked.
    for (QRadioButton* rb : models) {
      if (!rb->isChecked()) continue;
      const QSignalBlocker block(rb);
      rb->setAutoExclusive(false);
      rb->setChecked(false);
      rb->setAutoExclusive(true);
    }
  }
  Check(c.SP4, p.brightness);
  Check(c.SP3, p.hold);
  Check(c.SP2, p.sound);
  Check(c.SB4, p.profileEditing);
  // The hold button also follows the recording (the log's view); the panel
  // gives it back when its own state changes, and with every RLC reading.
  if (!rendered_ || p.holdEnabled != shown_.holdEnabled) c.SP3->setEnabled(p.holdEnabled);
  if (p.intervalItem >= 0 && c.CB1->currentIndex() != p.intervalItem) {
    const QSignalBlocker block(c.CB1);
    c.CB1->setCurrentIndex(p.intervalItem);
  }
}

}  // namespace zt
