// The front panel's controls bound to the meter's state.
#include "view_panel.h"

#include <QAbstractItemView>
#include <QTimer>

#include "event_hooks.h"

// Resources of a static library are registered by name, outside any namespace.
static void InitPanelResources() { Q_INIT_RESOURCE(panel); }

namespace zt {

namespace {

// A clickable setting label shows a raised bevel only while the pointer is on it.
void SetBevel(QLabel* l, bool raised) {
  l->setFrameShape(raised ? QFrame::Panel : QFrame::NoFrame);
  l->setFrameShadow(QFrame::Raised);
}

}  // namespace

FrontPanelView::FrontPanelView(const ViewContext& v) : QObject(v.window), v_(v) {
  InitPanelResources();
  for (const char* name :
       {":/panel/imlist1_diode_up.png", ":/panel/imlist1_diode_down.png", ":/panel/imlist1_resistor.png"})
    ImList1.append(QPixmap(QString::fromLatin1(name)));
  bindMenus();
  bindButtons();
  bindModelChooser();

  MeterState& meter = v_.session->meter();
  connect(&meter, &MeterState::panelChanged, this, &FrontPanelView::render);
  // Every displayed RLC reading gives the hold button back, as the panel
  // shows it, even when the reading changed nothing else.
  connect(&meter, &MeterState::rlcReading, this,
          [this] { v_.ui->SP3->setEnabled(v_.session->meter().view().holdEnabled); });
  render(meter.view());
}

QListWidget* FrontPanelView::listOf(Menu m) const {
  const FormControls& c = *v_.ui;
  switch (m) {
    case Menu::Primary: return c.ListBox_prim_RLC;
    case Menu::Secondary: return c.ListBox_sec_RLC;
    case Menu::Circuit: return c.ListBox_ser_per;
    case Menu::Level: return c.ListBox_Level_RLC;
    case Menu::Frequency: return c.ListBox_freq_RLC;
    case Menu::Source: return c.ListBox_Source_RLC;
  }
  return nullptr;
}

QFrame* FrontPanelView::panelOf(Menu m) const {
  const FormControls& c = *v_.ui;
  switch (m) {
    case Menu::Primary: return c.P_prim_RLC;
    case Menu::Secondary: return c.P_sec_RLC;
    case Menu::Circuit: return c.P_ser_per;
    case Menu::Level: return c.P_level_RLC;
    case Menu::Frequency: return c.P_freq_RLC;
    case Menu::Source: return c.P_Source_RLC;
  }
  return nullptr;
}

void FrontPanelView::bindMenus() {
  FormControls& c = *v_.ui;
  MeterState* meter = &v_.session->meter();
  // A menu opens on a left click on its label.
  const std::pair<QLabel*, Menu> openers[] = {{c.L_freq_RLC, Menu::Frequency}, {c.L_Level_RLC, Menu::Level},
                                              {c.L_Prim_RLC, Menu::Primary},   {c.L_RLC_avto, Menu::Primary},
                                              {c.L_Sec_RLC, Menu::Secondary},  {c.L_SER_PER, Menu::Circuit},
                                              {c.L_SER_PER1, Menu::Circuit},   {c.L_Source_RLC, Menu::Source}};
  for (const auto& [label, menu] : openers) OnLeftClick(label, [meter, m = menu] { meter->openMenu(m); });

  for (std::size_t i = 0; i < kMenuCount; ++i) {
    const Menu m = static_cast<Menu>(i);
    QListWidget* list = listOf(m);
    connect(list, &QListWidget::itemClicked, meter,
            [meter, m, list](QListWidgetItem* item) { meter->chooseMenuItem(m, list->row(item)); });
    // The keyboard chooses as a click does.
    OnKeyboardChoice(list, [meter, m](int row) { meter->chooseMenuItem(m, row); });
    // Where the pointer goes decides when the menus close.
    OnWidgetEvent(list, QEvent::Leave, [meter, m] { meter->menuListLeft(m); });
  }
  OnWidgetEvent(c.ListBox_freq_RLC, QEvent::Enter, [meter] { meter->frequencyListEntered(); });
  OnWidgetEvent(c.Panel_RLCD, QEvent::Enter, [meter] { meter->displayPanelEntered(DisplayPanel::Rlc); });
  OnWidgetEvent(c.Panel_RD, QEvent::Enter, [meter] { meter->displayPanelEntered(DisplayPanel::Rd); });
  OnWidgetEvent(c.Panel_U, QEvent::Enter, [meter] { meter->displayPanelEntered(DisplayPanel::U); });

  // Bevel cosmetics of the clickable labels.
  for (QLabel* l :
       {c.L_freq_RLC, c.L_Level_RLC, c.L_Sec_RLC, c.L_SER_PER, c.L_SER_PER1, c.L_Source_RLC, c.RD_prim_R, c.RD_V}) {
    SetBevel(l, false);
    OnWidgetEvent(l, QEvent::Enter, [l] { SetBevel(l, true); });
    OnWidgetEvent(l, QEvent::Leave, [l] { SetBevel(l, false); });
  }
  QLabel* letter = c.L_Prim_RLC;
  SetBevel(letter, false);
  for (QLabel* l : {c.L_Prim_RLC, c.L_RLC_avto}) {
    OnWidgetEvent(l, QEvent::Enter, [letter] { SetBevel(letter, true); });
    OnWidgetEvent(l, QEvent::Leave, [letter] { SetBevel(letter, false); });
  }
}

void FrontPanelView::bindButtons() {
  FormControls& c = *v_.ui;
  MeterState* meter = &v_.session->meter();
  // The toggles pass the state the click gave them.
  connect(c.SP4, &QPushButton::clicked, meter, &MeterState::setBrightness);
  connect(c.SP3, &QPushButton::clicked, meter, &MeterState::setHold);
  connect(c.SP2, &QPushButton::clicked, meter, &MeterState::setSound);
  connect(c.SBe1, &QPushButton::clicked, meter, &MeterState::loadDefaults);
  connect(c.SB4, &QPushButton::clicked, meter,
          [meter](bool down) { meter->setMode(down ? WorkMode::EditingProfile : WorkMode::Measuring); });
  const std::pair<QPushButton*, std::uint8_t> specials[] = {
      {c.Button2, kCmdModeRlc}, {c.Button1, kCmdModeRd}, {c.Button3, kCmdModeU}, {c.SP5, kCmdPowerOff}};
  for (const auto& [button, code] : specials)
    connect(button, &QPushButton::clicked, meter, [meter, code = code] { meter->sendSpecial(code); });

  // The interval box: its drop-down tells when it opens and closes.
  connect(c.CB1, &QComboBox::activated, meter, &MeterState::chooseInterval);
  QWidget* popup = c.CB1->view()->window();
  OnWidgetEvent(popup, QEvent::Show, [meter] { meter->intervalDropDown(); });
  OnWidgetEvent(popup, QEvent::Hide, [meter] {
    // A pick is reported after the popup hides; decide once events settle.
    QTimer::singleShot(0, meter, &MeterState::intervalClosed);
  });
}

void FrontPanelView::bindModelChooser() {
  FormControls& c = *v_.ui;
  MeterState* meter = &v_.session->meter();
  const std::pair<QRadioButton*, std::uint8_t> models[] = {{c.RB1, kZT40}, {c.RB2, kZT41}, {c.RB3, kZT42}};
  for (const auto& [button, model] : models)
    connect(button, &QRadioButton::clicked, meter, [meter, m = model] { meter->setModel(m); });
  // The memo opens the chooser (until a first link), leaving it closes it.
  OnLeftClick(c.Memo1->viewport(), [meter] { meter->openModelChooser(); });
  OnWidgetEvent(c.P16, QEvent::Leave, [meter] { meter->closeModelChooser(); });
}

}  // namespace zt
