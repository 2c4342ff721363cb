// Measurement frames in, Command frames out.
#include "main.h"

namespace zt {

void TForm1::ConnectProtocolSignals() { connect(Timer_TX, &QTimer::timeout, this, &TForm1::Timer_TXTimer); }

void TForm1::ProcessFrame(Frame frame) {
  const FrameStatus st = ValidateFrame(frame);
  if (!st.accepted) return;  // bad terminator, sleep layout or checksum

  MeterModel = st.model;
  if (st.displayMode != 0) DisplayMode = st.displayMode;
  T34->stop();

  MeterAsleep = st.asleep ? 128 : 0;
  if (st.asleep) {
    QString caption;
    if (st.deepSleep) {
      caption = lex().Dlang_connect[8];
      T34->start();
    } else {
      caption = lex().Dlang_connect[7];
    }
    JP5->setText(caption + QLatin1Char(' ') + QString::number(st.sleepSeconds) + lex().D3[5]);
    JP5->show();
    JP5->raise();
  } else {
    JP5->hide();
  }

  if (MeterModel <= kZT42) {
    Button3->setVisible(MeterModel != kZT41);
    SelectModelButton(MeterModel);
  }
  SP4->setChecked(st.brightness);  // no click behaviour

  // While a profile is being edited the panel keeps what the operator set.
  if (SB4->isChecked()) return;

  T33->stop();
  T33->start();
  ApplyModel();
  switch (DisplayMode) {
    case 1: ShowRlcReading(frame); break;
    case 2: ShowRdReading(frame); break;
    case 3: ShowUReading(frame); break;
    default: break;
  }
}

void TForm1::SelectModelButton(std::uint8_t model) {
  QRadioButton* rb = model == kZT40 ? RB1 : model == kZT41 ? RB2 : model == kZT42 ? RB3 : nullptr;
  if (!rb || rb->isChecked()) return;
  rb->setChecked(true);
  if (rb == RB1)
    RB1Click();
  else if (rb == RB2)
    RB2Click();
  else
    RB3Click();
}

void TForm1::ApplyModel() {
  P16->hide();
  RebuildModelLists();  // main_panel.cpp
}

bool TForm1::SendSettingsCommand() {
  if (LinkUp == 0 || SB4->isChecked()) {  // no meter, or profile editing: the meter is left alone
    // Nothing went out, so no Timer_TX will end the wait the caller began:
    // left raised, the flag would drop every frame (sleep, model,
    // brightness) until some menu happened to close.
    if (!Timer_TX->isActive()) SettingsBusy = 0;
    return false;
  }
  Command = BuildSettingsCommand(meterSettings, SP4->isChecked());
  TransmitCommand();
  return true;
}

void TForm1::SendSpecialCommand(std::uint8_t code) {
  Command = BuildSpecialCommand(code, SP4->isChecked());
  TransmitCommand();
}

void TForm1::TransmitCommand() {
  Command[4] = kCommandFixedByte4;
  if (!Timer_TX->isActive()) Timer_TX->start();
  const QByteArray six(reinterpret_cast<const char*>(Command.data()), static_cast<int>(Command.size()));
  if (PortQueryFound == 1) {
    // A serial device was found: it carries the command whatever else is up.
    if (serialTransport && serialTransport->isOpen()) serialTransport->write(six);
    return;
  }
  // Otherwise the meter's Bluetooth LE characteristic, as 8 bytes. With no
  // connected meter there is no target and the command is dropped, as a
  // settings command is while no link is up.
  if (bleTransport && bleTransport->isOpen()) bleTransport->write(six + QByteArray(2, '\0'));
}

void TForm1::Timer_TXTimer() {
  Timer_TX->stop();
  SettingsBusy = 0;
}

}  // namespace zt
