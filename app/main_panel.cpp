// Front panel: display modes, settings menus, function buttons, meter model.
// The texts come from panel/ (display.h, menus.h); this file puts them on the
// controls and wires the controls' events.
#include <QAbstractItemView>
#include <QLocale>

#include "data_folder.h"
#include "display.h"
#include "event_hooks.h"
#include "main.h"
#include "menus.h"
#include "settings_file.h"
#include "ui_constants.h"

// Resources of a static library are registered by name, outside any namespace.
static void InitPanelResources() { Q_INIT_RESOURCE(panel); }

namespace zt {

namespace {

// Text setters that leave a label alone when nothing changes, so a steady
// reading costs no repaint.
void Put(QLabel* l, const QString& text) {
  if (l->text() != text) l->setText(text);
}
void Put(QLabel* l, const std::optional<QString>& text) {
  if (text) Put(l, *text);
}

void SelectRow(QListWidget* list, int row) {
  if (row >= 0 && row < list->count()) {
    if (list->currentRow() != row) list->setCurrentRow(row);
  } else if (list->currentRow() != -1) {
    list->setCurrentRow(-1);  // an index beyond the list selects nothing
  }
}

void SetPanelColour(QWidget* panel, const QColor& c) {
  if (panel->palette().color(QPalette::Window) == c) return;
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, c);
  panel->setPalette(pal);
}

// A clickable setting label shows a raised bevel only while the pointer is on it.
void SetBevel(QLabel* l, bool raised) {
  l->setFrameShape(raised ? QFrame::Panel : QFrame::NoFrame);
  l->setFrameShadow(QFrame::Raised);
}

}  // namespace

void TForm1::ConnectPanelSignals() {
  InitPanelResources();
  for (const char* name :
       {":/panel/imlist1_diode_up.png", ":/panel/imlist1_diode_down.png", ":/panel/imlist1_resistor.png"})
    ImList1.append(QPixmap(QString::fromLatin1(name)));

  const QLocale sys = QLocale::system();
  DecimalSeparator = sys.decimalPoint().isEmpty() ? QStringLiteral(".") : sys.decimalPoint();
  GroupSeparator = sys.groupSeparator();

  connect(RB1, &QRadioButton::clicked, this, &TForm1::RB1Click);
  connect(RB2, &QRadioButton::clicked, this, &TForm1::RB2Click);
  connect(RB3, &QRadioButton::clicked, this, &TForm1::RB3Click);

  // Menus open on a left click on their label.
  const std::pair<QLabel*, void (TForm1::*)()> openers[] = {
      {L_freq_RLC, &TForm1::L_freq_RLCClick}, {L_Level_RLC, &TForm1::L_Level_RLCClick},
      {L_Prim_RLC, &TForm1::L_Prim_nClick},   {L_RLC_avto, &TForm1::L_Prim_nClick},
      {L_Sec_RLC, &TForm1::L_Sec_RLCClick},   {L_SER_PER, &TForm1::L_SER_PERClick},
      {L_SER_PER1, &TForm1::L_SER_PERClick},  {L_Source_RLC, &TForm1::L_Source_RLCClick}};
  for (const auto& [label, handler] : openers) OnLeftClick(label, [this, h = handler] { (this->*h)(); });

  connect(ListBox_freq_RLC, &QListWidget::itemClicked, this, &TForm1::ListBox_freq_RLCClick);
  connect(ListBox_Level_RLC, &QListWidget::itemClicked, this, &TForm1::ListBox_Level_RLCClick);
  connect(ListBox_prim_RLC, &QListWidget::itemClicked, this, &TForm1::ListBox_prim_RLCClick);
  connect(ListBox_sec_RLC, &QListWidget::itemClicked, this, &TForm1::ListBox_sec_RLCClick);
  connect(ListBox_ser_per, &QListWidget::itemClicked, this, &TForm1::ListBox_ser_perClick);
  connect(ListBox_Source_RLC, &QListWidget::itemClicked, this, &TForm1::ListBox_Source_RLCClick);

  // Closing: leaving any list but the frequency list, or entering a display
  // panel. The frequency list arms the RLC panel's enter instead.
  for (QListWidget* l : {ListBox_Level_RLC, ListBox_prim_RLC, ListBox_sec_RLC, ListBox_ser_per, ListBox_Source_RLC})
    OnWidgetEvent(l, QEvent::Leave, [this] { Panel_RLCDMouseEnter(); });
  OnWidgetEvent(ListBox_freq_RLC, QEvent::Enter, [this] { ListBox_freq_RLCMouseEnter(); });
  OnWidgetEvent(Panel_RLCD, QEvent::Enter, [this] {
    if (!RlcPanelEnterBound) return;
    RlcPanelEnterBound = false;  // it detaches itself from the RLC panel
    Panel_RLCDMouseEnter();
  });
  OnWidgetEvent(Panel_RD, QEvent::Enter, [this] { Panel_RLCDMouseEnter(); });
  OnWidgetEvent(Panel_U, QEvent::Enter, [this] { Panel_RLCDMouseEnter(); });

  // Bevel cosmetics of the clickable labels.
  for (QLabel* l : {L_freq_RLC, L_Level_RLC, L_Sec_RLC, L_SER_PER, L_SER_PER1, L_Source_RLC, RD_prim_R, RD_V}) {
    SetBevel(l, false);
    OnWidgetEvent(l, QEvent::Enter, [l] { SetBevel(l, true); });
    OnWidgetEvent(l, QEvent::Leave, [l] { SetBevel(l, false); });
  }
  SetBevel(L_Prim_RLC, false);
  for (QLabel* l : {L_Prim_RLC, L_RLC_avto}) {
    OnWidgetEvent(l, QEvent::Enter, [this] { SetBevel(L_Prim_RLC, true); });
    OnWidgetEvent(l, QEvent::Leave, [this] { SetBevel(L_Prim_RLC, false); });
  }

  // Function buttons.
  connect(SP2, &QPushButton::clicked, this, &TForm1::SP2Click);
  connect(SP3, &QPushButton::clicked, this, &TForm1::SP3Click);
  connect(SP4, &QPushButton::clicked, this, &TForm1::SP4Click);
  connect(SP5, &QPushButton::clicked, this, &TForm1::SP5Click);
  connect(SBe1, &QPushButton::clicked, this, &TForm1::SBe1Click);
  connect(SB4, &QPushButton::clicked, this, &TForm1::SB4Click);
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(CB1, &QComboBox::activated, this, &TForm1::CB1Click);
  // The drop-down's popup window tells when it opens and closes.
  QWidget* popup = CB1->view()->window();
  OnWidgetEvent(popup, QEvent::Show, [this] { CB1DropDown(); });
  OnWidgetEvent(popup, QEvent::Hide, [this] {
    // A pick is reported after the popup hides; decide once events settle.
    QTimer::singleShot(0, this, &TForm1::CB1CloseUp);
  });

  Memo1ClickHook = OnLeftClick(Memo1->viewport(), [this] { Memo1Click(); });
  OnWidgetEvent(P16, QEvent::Leave, [this] { P16MouseLeave(); });
}

// ---------------------------------------------------------------- displays

void TForm1::ShowRlcReading(const Frame& frame) {
  Panel_U->hide();
  Panel_RD->hide();
  Panel_RLCD->show();
  SP3->setEnabled(true);

  const TextEnv env{lex(), Separators{DecimalSeparator, GroupSeparator}};
  const RlcReading r = ComputeRlcReading(frame, meterSettings, MeterModel, env);
  meterSettings = r.settings;
  ShowSettingsInLists();
  TestFreqHz = r.freq.hz;
  NoTestFrequency = r.freq.none;
  if (r.values) {
    ReadingR = r.values->ReadingR;
    ReadingX = r.values->ReadingX;
    ParallelR = r.values->ParallelR;
    ParallelX = r.values->ParallelX;
    PhaseDeg = r.values->PhaseDeg;
    ImpedanceAbs = r.values->ImpedanceAbs;
    DutVoltage = r.values->DutVoltage;
  }

  Put(L_Source_RLC, r.source);
  Put(L_SER_PER1, r.serPer1);
  Put(L_prim_n, r.primary);
  Put(L_SER_PER, r.serPer);
  Put(L_sec_n, r.secondary);
  ApplySettingsToPanel(meterSettings);
  QLabel* right[] = {L_righ1, L_righ2, L_righ3, L_righ4, L_righ5, L_righ6};
  for (int i = 0; i < 6; ++i) Put(right[i], r.right[std::size_t(i)]);

  if (r.asleep) return;  // no verdict and no log row without a reading
  const std::int32_t verdict = CheckTolerance();
  SetPanelColour(Panel_RLCD, verdict != 0 ? ui::RejectColour() : ui::DisplayColour());
  if (OfferReadingToLog(SP1->isChecked(), meterSettings.Hold)) AppendLogRow();
}

void TForm1::ShowRdReading(const Frame& frame) {
  Panel_U->hide();
  Panel_RLCD->hide();
  Panel_RD->show();
  SP3->setEnabled(false);

  const RdReading r = ComputeRdReading(frame, TextEnv{lex(), Separators{DecimalSeparator, GroupSeparator}});
  Put(RD_Auto, r.autoMark);
  Put(RD_J1, r.secondCurrent);
  Put(RD_V, r.voltage);
  Put(RD_prim_R, r.functionLetter);
  if (r.picture && *r.picture >= 0 && *r.picture < ImList1.size()) {
    Im_Diod->hide();
    Im_Diod->show();
    Im_Diod->setPixmap(ImList1.at(*r.picture));
  }
  Put(RD_Prim, r.main);
  Put(Joo, r.subscript);
  Put(RD_J, r.current);
  Put(J_prim, r.letter);
}

void TForm1::ShowUReading(const Frame& frame) {
  Panel_U->show();
  Panel_RLCD->hide();
  Panel_RD->hide();
  SP3->setEnabled(false);

  const UReading u = ComputeUReading(frame, TextEnv{lex(), Separators{DecimalSeparator, GroupSeparator}});
  Put(U_Prim, u.main);
  Put(U_vrm, u.upper);
  Put(U_pp, u.lower);
}

// ---------------------------------------------------------------- settings on the controls

void TForm1::ShowSettingsInLists() {
  const ListSelection s = SelectionOfSettings(meterSettings);
  SelectRow(ListBox_freq_RLC, s.freq);
  SelectRow(ListBox_prim_RLC, s.primary);
  SelectRow(ListBox_sec_RLC, s.secondary);
  SelectRow(ListBox_Level_RLC, s.level);
  SelectRow(ListBox_ser_per, s.circuit);
}

void TForm1::ApplySettingsToPanel(const MeterSettings& settings) {
  const SettingsView v = ViewOfSettings(settings, TestFreqHz, MeterModel, lex(), FreqText, LevelText);
  Put(L_RLC_avto, v.primaryAuto);
  if (v.hold) {
    SP1->setEnabled(false);
    SP3->setChecked(true);
  } else {
    SP1->setEnabled(!SB4->isChecked());
    SP3->setChecked(false);
  }
  SP2->setChecked(v.sound);
  if (v.intervalItem && CB1->currentIndex() != *v.intervalItem) CB1->setCurrentIndex(*v.intervalItem);
  Put(L_freq_RLC, v.freqLabel);
  FreqText = v.freqText;
  Put(L_Level_RLC, v.levelLabel);
  LevelText = v.levelText;
  Put(L_Prim_RLC, v.primaryLetter);
  Put(L_RQD_avto, v.secondaryAuto);
  Put(L_Sec_RLC, v.secondaryLetter);
}

void TForm1::ShowCircuit() {
  const auto c = CircuitViewOf(meterSettings);
  if (!c) return;
  SelectRow(ListBox_ser_per, c->item);
  Put(L_SER_PER, c->mark);
  Put(L_SER_PER1, c->mark);
}

void TForm1::LoadDefaultSettings() {
  ApplyDefaultSettings(meterSettings);
  const TestFrequency f = FrequencyOfIndex(4, meterSettings.FreqCode, MeterModel);
  TestFreqHz = f.hz;
  NoTestFrequency = f.none;
  ApplySettingsToPanel(meterSettings);
  ShowCircuit();
}

// ---------------------------------------------------------------- settings menus

namespace {

void OpenMenu(QFrame* panel, QListWidget* list) {
  list->show();
  panel->show();
  panel->raise();
}

}  // namespace

void TForm1::L_freq_RLCClick() {
  OpenMenu(P_freq_RLC, ListBox_freq_RLC);
  SettingsBusy = 1;
}
void TForm1::L_Level_RLCClick() {
  OpenMenu(P_level_RLC, ListBox_Level_RLC);
  SettingsBusy = 1;
}
void TForm1::L_Prim_nClick() {
  OpenMenu(P_prim_RLC, ListBox_prim_RLC);
  SettingsBusy = 1;
}
void TForm1::L_Sec_RLCClick() {
  OpenMenu(P_sec_RLC, ListBox_sec_RLC);
  SettingsBusy = 1;
}
void TForm1::L_SER_PERClick() {
  OpenMenu(P_ser_per, ListBox_ser_per);
  SettingsBusy = 1;
}
void TForm1::L_Source_RLCClick() {
  OpenMenu(P_Source_RLC, ListBox_Source_RLC);
  SettingsBusy = 1;
}

namespace {

// Stores the clicked item and rewrites the labels it names. Returns false
// when the click landed on no item.
bool ApplyChoice(TForm1& f, Menu m, QListWidget* list) {
  f.SettingsBusy = 1;
  const MenuChoice c = ApplyMenuChoice(m, list->currentRow(), f.meterSettings, f.MeterModel, f.lex());
  if (!c.applied) return false;
  switch (m) {
    case Menu::Frequency: Put(f.L_freq_RLC, c.label); break;
    case Menu::Level: Put(f.L_Level_RLC, c.label); break;
    case Menu::Primary:
      Put(f.L_Prim_RLC, c.label);
      Put(f.L_RLC_avto, c.autoMark);
      break;
    case Menu::Secondary:
      Put(f.L_Sec_RLC, c.label);
      Put(f.L_RQD_avto, c.autoMark);
      Put(f.L_SER_PER, c.circuitMark);
      break;
    case Menu::Circuit:
      Put(f.L_SER_PER, c.circuitMark);
      Put(f.L_SER_PER1, c.circuitMark1);
      break;
    case Menu::Source: Put(f.L_Source_RLC, c.label); break;
  }
  f.SendSettingsCommand();
  return true;
}

}  // namespace

void TForm1::ListBox_freq_RLCClick() { ApplyChoice(*this, Menu::Frequency, ListBox_freq_RLC); }
void TForm1::ListBox_Level_RLCClick() { ApplyChoice(*this, Menu::Level, ListBox_Level_RLC); }
void TForm1::ListBox_prim_RLCClick() { ApplyChoice(*this, Menu::Primary, ListBox_prim_RLC); }
void TForm1::ListBox_sec_RLCClick() { ApplyChoice(*this, Menu::Secondary, ListBox_sec_RLC); }
void TForm1::ListBox_ser_perClick() { ApplyChoice(*this, Menu::Circuit, ListBox_ser_per); }
void TForm1::ListBox_Source_RLCClick() { ApplyChoice(*this, Menu::Source, ListBox_Source_RLC); }

void TForm1::ListBox_freq_RLCMouseEnter() { RlcPanelEnterBound = true; }

void TForm1::Panel_RLCDMouseEnter() {
  const std::pair<QFrame*, QListWidget*> menus[] = {{P_Source_RLC, ListBox_Source_RLC}, {P_prim_RLC, ListBox_prim_RLC},
                                                    {P_ser_per, ListBox_ser_per},       {P_sec_RLC, ListBox_sec_RLC},
                                                    {P_level_RLC, ListBox_Level_RLC},   {P_freq_RLC, ListBox_freq_RLC}};
  for (const auto& [panel, list] : menus) {
    panel->hide();
    list->hide();
  }
  SettingsBusy = 0;
}

// ---------------------------------------------------------------- function buttons

void TForm1::SP4Click() {
  SettingsBusy = 1;
  SendSettingsCommand();  // the button's new state travels in byte 0
}

void TForm1::SP3Click() {
  SettingsBusy = 1;
  if (SP3->isChecked()) {
    meterSettings.Hold = 1;
    SP1->setEnabled(false);
  } else {
    meterSettings.Hold = 0;
    SP1->setEnabled(!SB4->isChecked());
  }
  SendSettingsCommand();
}

void TForm1::SP2Click() {
  SettingsBusy = 1;
  meterSettings.Sound = SP2->isChecked() ? 1 : 0;
  SendSettingsCommand();
}

void TForm1::SBe1Click() {
  SettingsBusy = 1;
  LoadDefaultSettings();
  SendSettingsCommand();
}

void TForm1::SP5Click() { SendSpecialCommand(kCmdPowerOff); }
void TForm1::Button2Click() { SendSpecialCommand(kCmdModeRlc); }
void TForm1::Button1Click() { SendSpecialCommand(kCmdModeRd); }
void TForm1::Button3Click() {
  if (MeterModel == kZT40 || MeterModel == kZT42) SendSpecialCommand(kCmdModeU);
}

void TForm1::SB4Click() {
  SetPanelColour(Panel_RLCD, ui::DisplayColour());
  const bool editing = SB4->isChecked();
  Button_Add->setEnabled(editing);
  Button_DEL->setEnabled(editing);
  BB1->setEnabled(editing);
  if (editing) {
    SP3->setEnabled(false);
    SP1->setEnabled(false);
    return;  // the meter is left alone while a profile is edited
  }
  SP3->setEnabled(true);
  if (!SP3->isChecked()) SP1->setEnabled(true);
  SendSettingsCommand();
}

void TForm1::CB1DropDown() {
  SettingsBusy = 1;
  CB1Picked = false;
}

void TForm1::CB1Click() {
  CB1Picked = true;
  SettingsBusy = 1;
  if (auto code = IntervalCodeOfItem(CB1->currentIndex())) meterSettings.IntervalCode = *code;
  SendSettingsCommand();
}

void TForm1::CB1CloseUp() {
  // Closed without a pick: nothing goes to the meter, so nothing would ever
  // clear the flag, and every later frame would be dropped.
  if (!CB1Picked) SettingsBusy = 0;
  CB1Picked = false;
}

void TForm1::RB1Click() {
  MeterModel = kZT40;
  ApplyModel();
  SaveModelByte();
}
void TForm1::RB2Click() {
  MeterModel = kZT41;
  ApplyModel();
  SaveModelByte();
}
void TForm1::RB3Click() {
  MeterModel = kZT42;
  ApplyModel();
  SaveModelByte();
}

void TForm1::SaveModelByte() {
  const SettingsWrite w = SaveMeterModel(DataFolder(), MeterModel);
  if (!w.ok) ReportError(w.message);
}

namespace {

QStringList ItemTexts(const QListWidget* list) {
  QStringList s;
  s.reserve(list->count());
  for (int i = 0; i < list->count(); ++i) s.append(list->item(i)->text());
  return s;
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

}  // namespace

void TForm1::RebuildModelLists() {
  const ModelLists m = ApplyModelToLists(ItemTexts(ListBox_freq_RLC), ItemTexts(ListBox_Level_RLC), MeterModel, lex());
  SyncItems(ListBox_freq_RLC, m.freq);
  SyncItems(ListBox_Level_RLC, m.level);
  Put(L_Level_RLC, m.levelCaption);
  if (m.sourceVisible) L_Source_RLC->setVisible(*m.sourceVisible);
}

void TForm1::Memo1Click() {
  P16->show();
  P16->raise();
}

void TForm1::UnbindMemo1Click() {
  delete Memo1ClickHook;
  Memo1ClickHook = nullptr;
}

void TForm1::P16MouseLeave() { P16->hide(); }

}  // namespace zt
