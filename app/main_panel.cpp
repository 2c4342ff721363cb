// Front panel: display modes, settings menus, function buttons, meter model.
#include "main.h"

namespace zt {

void TForm1::ConnectPanelSignals() {
  connect(RB1, &QRadioButton::clicked, this, &TForm1::RB1Click);
  connect(RB2, &QRadioButton::clicked, this, &TForm1::RB2Click);
  connect(RB3, &QRadioButton::clicked, this, &TForm1::RB3Click);
}

void TForm1::ShowRlcReading(const Frame& frame) { (void)frame; }
void TForm1::ShowRdReading(const Frame& frame) { (void)frame; }
void TForm1::ShowUReading(const Frame& frame) { (void)frame; }
void TForm1::LoadDefaultSettings() {}
void TForm1::ShowSettingsInLists() {}

void TForm1::RB1Click() {
  MeterModel = kZT40;
  ApplyModel();
}
void TForm1::RB2Click() {
  MeterModel = kZT41;
  ApplyModel();
}
void TForm1::RB3Click() {
  MeterModel = kZT42;
  ApplyModel();
}

}  // namespace zt
