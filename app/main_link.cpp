// Link manager and serial link: finding and driving the serial device, the
// connection state shown by B2 and Memo1, and the timers that follow a link.
#include <QPalette>

#include "data_folder.h"
#include "main.h"
#include "rx_burst.h"
#include "settings_file.h"
#include "ui_constants.h"

namespace zt {
namespace {

const char* const kSerialDeviceNames[] = {kDongleFriendlyName, kUartBridgeFriendlyName};

// How long a press waits for the serial device to answer before the button
// comes back. A dongle answers "AT+CONNL" within a few milliseconds at 9600
// baud and reports the outcome of its radio attempt within a second or two;
// 5 s (two poll periods) is well past both, yet short enough that the
// operator is not left before a blank button wondering whether the program
// hangs. A late answer still counts: "OK+CONN" brings the link up whatever
// the button shows.
constexpr int kConnectAnswerWaitMs = 5000;

std::span<const std::uint8_t> BytesOf(const QByteArray& b) {
  return {reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())};
}

}  // namespace

void TForm1::ConnectLinkSignals() {
  comPort = new ComPort(this);
  serialTransport = comPort;
  connect(comPort, &ComPort::burstReceived, this, &TForm1::ComPortRxChar);
  connect(comPort, &ComPort::afterOpen, this, &TForm1::ComPortAfterOpen);
  connect(comPort, &ComPort::beforeClose, this, &TForm1::ComPortBeforeClose);
  connect(comPort, &ComPort::exception, this, [this](QSerialPort::SerialPortError kind, const QString& message) {
    ComPortException(static_cast<int>(kind), message);
  });
  connect(comPort, &ComPort::deviceGone, this, &TForm1::ComPortDeviceGone);
  // Once per port, not at every poll: what keeps the port shut and the cure.
  connect(comPort, &ComPort::accessDenied, this, [this](const QString& port, const QString& group) {
    Memo1->appendPlainText(lex().D4[msg::kPortNoAccess].arg(port, group));
  });
  m_modemProbe = new ModemProbe(comPort, this);
  connect(m_modemProbe, &ModemProbe::finished, this,
          [this](bool answered, const QByteArray&) { StartupProbeDone(answered); });

  connect(B2, &QPushButton::clicked, this, &TForm1::B2Click);
  // Also runs when the box is set from 1.dat, as a click would.
  connect(CheckBox_connect_auto, &QCheckBox::toggled, this, &TForm1::CheckBox_connect_autoClick);
  connect(T2, &QTimer::timeout, this, &TForm1::T2Timer);
  connect(T3, &QTimer::timeout, this, &TForm1::T3Timer);
  connect(T4, &QTimer::timeout, this, &TForm1::T4Timer);
  connect(T33, &QTimer::timeout, this, &TForm1::T33Timer);
  connect(T34, &QTimer::timeout, this, &TForm1::T34Timer);
  connect(T50, &QTimer::timeout, this, &TForm1::T50Timer);
  ConnectWait = new QTimer(this);
  ConnectWait->setObjectName(QStringLiteral("ConnectWait"));
  ConnectWait->setSingleShot(true);
  ConnectWait->setInterval(kConnectAnswerWaitMs);
  connect(ConnectWait, &QTimer::timeout, this, &TForm1::ConnectWaitTimer);
}

void TForm1::LoadPortLookup() {
  if (m_portLookup) return;  // injected
  m_ownPortLookup = std::make_unique<PortLookup>();
  m_portLookup = m_ownPortLookup.get();
}

void TForm1::ShutdownLinks() {
  if (m_modemProbe) m_modemProbe->disconnect(this);
  // Closing says "AT" to a dongle that is still there, so it drops the radio link.
  if (comPort) comPort->close();
  serialTransport = nullptr;
}

// ---- Serial link ----

bool TForm1::DiscoverSerialPort() {
  if (!m_portLookup) return false;
  for (const char* name : kSerialDeviceNames) {
    portQuery.deviceName = QString::fromLatin1(name);
    portQuery.portName.clear();
    m_portLookup->gets(portQuery);
    PortQueryFound = portQuery.found;
    if (portQuery.found != 1) continue;
    if (PortOpened == 0) {
      comPort->close();
      comPort->setPortName(portQuery.portName);
      comPort->open();
      P5->setEnabled(true);
      // A port that did not open is not counted as opened: the next poll
      // tries again under the name the lookup gives then.
      PortOpened = comPort->isOpen() ? 1 : 0;
    }
    return true;
  }
  return false;
}

void TForm1::StartupProbe() {
  if (!DiscoverSerialPort()) return;
  comPort->close();
  comPort->open();
  // "AT" twice and a look for "OK", on timers: the window keeps running and
  // a silent device costs about one second at most.
  m_modemProbe->start();
}

void TForm1::StartupProbeDone(bool answered) {
  if (answered) return;
  const QString name = comPort->portName();
  comPort->close();
  prompts().message(this, QStringLiteral("Test"), QStringLiteral("No modem responding on ") + name,
                    Prompts::Icon::Information);
}

void TForm1::ComPortRxChar(const QByteArray& burst) {
  const Lexicon& c = lex().Dlang_connect;
  switch (ClassifyRxBurst(BytesOf(burst), SettingsBusy == 1)) {
    case RxBurstKind::Connecting:
      LinkUp = 0;
      B2->setEnabled(false);
      SP1->setEnabled(false);
      Memo1->appendPlainText(c[2]);
      // The dongle has taken the request: its radio attempt gets a full wait.
      if (linkState == LinkState::Connecting) SetLinkState(LinkState::Connecting, LinkVia::Serial);
      break;
    case RxBurstKind::ConnectFailed:
      LinkUp = 0;
      SP1->setEnabled(false);
      T2->start();
      ConnectAttemptFailed();
      break;
    case RxBurstKind::NoConnection:
      LinkUp = 0;
      SP1->setEnabled(false);
      T2->start();
      Memo1->appendPlainText(QStringLiteral("NN ") + c[3]);
      ConnectAttemptFailed();
      break;
    case RxBurstKind::Connected: OnLinkUp(); break;
    case RxBurstKind::Lost: OnLinkDown(); break;
    case RxBurstKind::Ok: Memo1->appendPlainText(QStringLiteral("OK")); break;
    case RxBurstKind::Purge: comPort->purge(); break;
    case RxBurstKind::DroppedWhileBusy: break;
    case RxBurstKind::Frame: {
      Frame frame{};
      if (!FrameFromBytes(BytesOf(burst), frame)) break;
      try {
        ProcessFrame(frame);
      } catch (...) {
        // A frame that upsets the display must not take the link down.
      }
      break;
    }
  }
}

void TForm1::ComPortAfterOpen() {
  // With automatic connection the poll owns the button; it stays disabled.
  // So it does while a press waits for its outcome (the press itself may
  // have opened the port).
  if (!CheckBox_connect_auto->isChecked() && !LinkActionPending()) B2->setEnabled(true);
}

void TForm1::ComPortBeforeClose() {
  LinkUp = 0;
  PortOpened = 0;
  try {
    if (comPort->isOpen()) comPort->writeText(QStringLiteral("AT"));
    B2->setEnabled(false);
    SP1->setEnabled(false);
    T2->start();
    SetLinkState(LinkState::Idle);
    Memo1->appendPlainText(lex().Dlang_connect[5]);
    T3->start();
    // The wake-up sequence of a link that is going away has nothing to wake.
    T4->stop();
    T34->stop();
    for (QLabel* l : {L_prim_n, L_sec_n, L_righ1, L_righ2, L_righ3, L_righ4, L_righ5, L_righ6}) l->clear();
  } catch (...) {
  }
}

void TForm1::ComPortException(int kind, const QString& message) {
  (void)kind;
  (void)message;
  L_righ4->clear();
}

void TForm1::ComPortDeviceGone() {
  // The port's device is gone (unplugged). Whatever name it comes back
  // under, the next poll opens it afresh.
  PortOpened = 0;
  if (LinkUp == 1 || linkState != LinkState::Idle) OnLinkDown();
}

// ---- Link manager ----

void TForm1::SetLinkState(LinkState state, LinkVia via) {
  linkState = state;
  linkVia = state == LinkState::Idle ? LinkVia::None : via;
  const Lexicon& c = lex().Dlang_connect;
  switch (state) {
    case LinkState::Idle: B2->setText(c[0]); break;
    case LinkState::Up: B2->setText(c[1]); break;
    case LinkState::Connecting:
    case LinkState::Disconnecting:
      // Blank and disabled until the outcome: a press now could only
      // contradict the one before.
      B2->setText(QStringLiteral(" "));
      B2->setEnabled(false);
      break;
  }
  // Only the serial device can leave a press unanswered for good: a
  // Bluetooth LE attempt always ends in an event (scan over, connection
  // refused, connected).
  if (LinkActionPending() && linkVia == LinkVia::Serial)
    ConnectWait->start();
  else
    ConnectWait->stop();
}

bool TForm1::LinkActionPending() const {
  return linkState == LinkState::Connecting || linkState == LinkState::Disconnecting;
}

void TForm1::ConnectAttemptFailed() {
  SetLinkState(LinkState::Idle);
  // Auto-connect tries again (the poll may have been stopped by a link that
  // was up).
  if (!T3->isActive()) T3->start();
}

void TForm1::ConnectWaitTimer() {
  ConnectWait->stop();
  if (linkState == LinkState::Disconnecting) {
    // The dongle never confirmed the drop: the link is not to be relied on.
    OnLinkDown();
    return;
  }
  if (linkState != LinkState::Connecting) return;
  ConnectAttemptFailed();
  Memo1->appendPlainText(lex().Dlang_connect[9]);
  if (!CheckBox_connect_auto->isChecked()) B2->setEnabled(true);
}

void TForm1::B2Click() {
  B2->setEnabled(false);
  QPalette pal = Panel_RLCD->palette();
  pal.setColor(QPalette::Window, ui::DisplayColour());
  Panel_RLCD->setPalette(pal);
  const Lexicon& c = lex().Dlang_connect;
  switch (linkState) {
    case LinkState::Connecting:
    case LinkState::Disconnecting: return;  // the press before is still waiting for its outcome
    case LinkState::Idle: {
      SetLinkState(LinkState::Connecting);
      if (DiscoverSerialPort()) {
        comPort->writeText(QStringLiteral("AT+CONNL"));
        UseBle = 0;
        SetLinkState(LinkState::Connecting, LinkVia::Serial);
      } else if (UseBle == 1) {
        SetLinkState(LinkState::Connecting, LinkVia::Ble);
        BleSetEnabled(true);
        if (!Scanning && bleStartDiscovery) {
          // A request that does not start gives the button back itself.
          switch (bleStartDiscovery()) {
            case BleRequest::Started: break;
            case BleRequest::Refused:
              Memo1->appendPlainText(c[6]);
              T3->stop();
              break;
            case BleRequest::Error:
              // No usable adapter: the poll goes on looking for a serial device.
              UseBle = 0;
              break;
          }
        }
      }
      if (linkState == LinkState::Connecting && linkVia == LinkVia::None) {
        // Nothing to connect through (no serial device, Bluetooth LE given up):
        // give the button back rather than leave it blank and disabled.
        SetLinkState(LinkState::Idle);
        T2->start();
      }
      return;
    }
    case LinkState::Up:
      if (BleLinkUp == 0) {
        // The dongle drops its radio link and answers "OK+LOST".
        SetLinkState(LinkState::Disconnecting, LinkVia::Serial);
        comPort->writeText(QStringLiteral("AT"));
      } else {
        SetLinkState(LinkState::Disconnecting, LinkVia::Ble);
        if (UseBle == 1) BleSetEnabled(false);
        if (bleDisconnect) bleDisconnect();
      }
      return;
  }
}

void TForm1::T3Timer() {
  const bool autoConnect = CheckBox_connect_auto->isChecked();
  if (!DiscoverSerialPort()) {
    if (comPort->isOpen()) comPort->close();
  } else {
    if (!comPort->isOpen()) comPort->open();
    if (autoConnect) {
      B2->setEnabled(false);
      if (linkState == LinkState::Idle) {
        comPort->writeText(QStringLiteral("AT+CONNL"));
        UseBle = 0;
      }
    }
  }
  if (UseBle == 1) {
    BleSetEnabled(true);
    if (!Scanning && autoConnect && bleStartDiscovery) {
      switch (bleStartDiscovery()) {
        case BleRequest::Started: break;
        case BleRequest::Refused:
          Memo1->appendPlainText(lex().Dlang_connect[6]);
          T3->stop();
          break;
        case BleRequest::Error:
          UseBle = 0;
          if (comPort->isOpen()) T3->stop();
          break;
      }
    }
  }
}

void TForm1::OnLinkUp() {
  LinkUp = 1;
  SP1->setEnabled(true);
  T2->start();
  T3->stop();
  SetLinkState(LinkState::Up, BleLinkUp == 1 ? LinkVia::Ble : LinkVia::Serial);
  Memo1->appendPlainText(lex().Dlang_connect[4]);
  SB4->setChecked(false);
  UnbindMemo1Click();
  Button_Add->setEnabled(false);
  Button_DEL->setEnabled(false);
  BB1->setEnabled(false);
  T4->start();
}

void TForm1::OnLinkDown() {
  Memo1->show();
  L_righ5->hide();
  L_righ6->hide();
  T50->stop();
  LangCombo1->show();
  SP5->hide();
  LinkUp = 0;
  SB4->setChecked(true);
  SP1->setEnabled(false);
  T2->start();
  SetLinkState(LinkState::Idle);
  Memo1->appendPlainText(lex().Dlang_connect[5]);
  T3->start();
  for (QLabel* l : {L_prim_n, L_sec_n, L_righ1, L_righ2, L_righ3, L_righ4}) l->clear();
  Button_Add->setEnabled(true);
  Button_DEL->setEnabled(true);
  BB1->setEnabled(true);
  // A link that went down has no meter to wake: a pending wake-up from a
  // quick link loss must not fire, nor keep firing every 2 s.
  T4->stop();
  T34->stop();
}

void TForm1::CheckBox_connect_autoClick() {
  const bool on = CheckBox_connect_auto->isChecked();
  // A blank button waiting for the outcome of a press is not handed back.
  B2->setEnabled(!on && !LinkActionPending());
  const SettingsWrite w = SaveAutoConnect(DataFolder(), on);
  if (!w.ok) ReportError(w.message);
}

void TForm1::T2Timer() {
  T2->stop();
  if (!CheckBox_connect_auto->isChecked() && !LinkActionPending()) B2->setEnabled(true);
}

void TForm1::T4Timer() {
  T4->stop();
  T34->start();
  SettingsBusy = 1;
  LangCombo1->hide();
  SP5->show();
  T50->start();
  SendSpecialCommand(kCmdWakeUp);
}

void TForm1::T50Timer() {
  T50->stop();
  Memo1->hide();
  L_righ5->show();
  L_righ6->show();
}

void TForm1::T33Timer() {
  // No frame for 3 s: the readings are stale. Keeps repeating until frames return.
  JP5->hide();
  for (QLabel* l : {L_sec_n, L_prim_n, L_righ1, L_righ2, L_righ3, L_righ4, L_righ5, L_righ6}) l->clear();
}

void TForm1::T34Timer() { SendSpecialCommand(kCmdWakeUp); }

}  // namespace zt
