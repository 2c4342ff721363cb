#include "meter_link.h"

#include "ble_qt.h"
#include "com_port.h"
#include "dongle_texts.h"
#include "modem_probe.h"
#include "rx_burst.h"

#include <utility>

namespace zt {
namespace {

const char* const kSerialDeviceNames[] = {kDongleFriendlyName, kUartBridgeFriendlyName};

std::span<const std::uint8_t> BytesOf(const QByteArray& b) {
  return {reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())};
}

void SetUp(QTimer& timer, int ms, bool singleShot) {
  timer.setInterval(ms);
  timer.setSingleShot(singleShot);
}

}  // namespace

MeterLink::MeterLink(MeterLinkDeps deps, QObject* parent) : QObject(parent), timings_(deps.timings) {
  qRegisterMetaType<LinkState>();
  qRegisterMetaType<LinkTransport>();
  qRegisterMetaType<ConnectCaption>();
  qRegisterMetaType<LinkEvent>();

  portLookup_ = deps.portLookup;
  if (!portLookup_) {
    ownPortLookup_ = std::make_unique<PortLookup>();
    portLookup_ = ownPortLookup_.get();
  }
  ble_ = deps.ble ? deps.ble : new QtBle(this);

  comPort_ = new ComPort(this);
  connect(comPort_, &ComPort::burstReceived, this, &MeterLink::ComPortRxChar);
  connect(comPort_, &ComPort::afterOpen, this, &MeterLink::ComPortAfterOpen);
  connect(comPort_, &ComPort::beforeClose, this, &MeterLink::ComPortBeforeClose);
  connect(comPort_, &ComPort::exception, this, &MeterLink::ComPortException);
  connect(comPort_, &ComPort::deviceGone, this, &MeterLink::ComPortDeviceGone);
  connect(comPort_, &ComPort::accessDenied, this, &MeterLink::portAccessDenied);
  texts_ = new DongleTexts(comPort_, this);
  probe_ = new ModemProbe(comPort_, this);
  probe_->setTexts(texts_);
  connect(probe_, &ModemProbe::finished, this,
          [this](bool answered, const QByteArray&) { StartupProbeDone(answered); });

  SetUp(t2_, timings_.t2Ms, true);
  SetUp(t3_, timings_.t3Ms, false);
  SetUp(t4_, timings_.t4Ms, true);
  SetUp(tx_, timings_.txMs, true);
  SetUp(connectWait_, timings_.connectWaitMs, true);
  connect(&t2_, &QTimer::timeout, this, &MeterLink::T2Timer);
  connect(&t3_, &QTimer::timeout, this, &MeterLink::T3Timer);
  connect(&t4_, &QTimer::timeout, this, &MeterLink::T4Timer);
  connect(&tx_, &QTimer::timeout, this, &MeterLink::Timer_TXTimer);
  connect(&connectWait_, &QTimer::timeout, this, &MeterLink::ConnectWaitTimer);

  connect(ble_, &Ble::DeviceFound, this, &MeterLink::BLEDiscoverLEDevice);
  connect(ble_, &Ble::DiscoveryFinished, this, &MeterLink::BLEEndDiscoverDevices);
  connect(ble_, &Ble::Connected, this, &MeterLink::BLEConnect);
  connect(ble_, &Ble::Disconnected, this, &MeterLink::BLEDisconnect);
  connect(ble_, &Ble::ConnectFailed, this, &MeterLink::BLEConnectFailed);
  connect(ble_, &Ble::ServicesDiscovered, this, &MeterLink::BLEServicesDiscovered);
  connect(ble_, &Ble::CharacteristicChanged, this, &MeterLink::BLECharacteristicRead);

  connectEnabled_ = true;  // the button is usable before anything is found
}

MeterLink::~MeterLink() {
  const QSignalBlocker quiet(this);
  shutdown();
  // An injected component outlives the link; it must not call back into it.
  if (ble_ && ble_->parent() != this) ble_->disconnect(this);
}

bool MeterLink::portOpen() const { return comPort_->isOpen(); }

QString MeterLink::portName() const { return comPort_->portName(); }

bool MeterLink::probing() const { return probe_->isRunning(); }

void MeterLink::setTap(LinkTap* tap) {
  comPort_->setTap(tap);
  ble_->SetTap(tap);
}

// ---- Life cycle ----

void MeterLink::start() {
  if (shutDown_) return;
  useBle_ = true;
  ble_->SetEnabled(true);
  t3_.start();
}

void MeterLink::startupProbe() {
  if (shutDown_ || probe_->isRunning()) return;
  if (!DiscoverSerialPort()) return;
  comPort_->close();
  comPort_->open();
  // "AT" twice and a look for "OK", on timers: the program keeps running and
  // a silent device costs about one second at most.
  probe_->start();
}

void MeterLink::StartupProbeDone(bool answered) {
  if (!answered) {
    const QString name = comPort_->portName();
    comPort_->close();
    emit probeFailed(name);
  }
  // A poll tick or a press that came while the check ran is handled once the
  // check has let go of the port, in that order.
  QMetaObject::invokeMethod(
      this,
      [this] {
        const unsigned held = std::exchange(afterProbe_, 0u);
        if (held & kPollAfterProbe) T3Timer();
        if (held & kPressAfterProbe) connectOrDisconnect();
      },
      Qt::QueuedConnection);
}

void MeterLink::shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  t2_.stop();
  t3_.stop();
  t4_.stop();
  connectWait_.stop();
  if (useBle_) ble_->SetEnabled(false);
  probe_->disconnect(this);
  // Closing says "AT" to a dongle that is still there, so it drops the radio link.
  comPort_->close();
}

// ---- Serial link ----

bool MeterLink::DiscoverSerialPort() {
  for (const char* name : kSerialDeviceNames) {
    portQuery_.deviceName = QString::fromLatin1(name);
    portQuery_.portName.clear();
    portLookup_->gets(portQuery_);
    if (portQuery_.found != 1) continue;
    if (portPhase_ != PortPhase::Discovered) {
      comPort_->close();
      comPort_->setPortName(portQuery_.portName);
      comPort_->open();
      // A port that did not open is not counted as opened: the next poll
      // tries again under the name the lookup gives then.
      if (comPort_->isOpen()) {
        portPhase_ = PortPhase::Discovered;
        emit portOpened();
      }
    }
    return true;
  }
  return false;
}

void MeterLink::ComPortRxChar(const QByteArray& burst) {
  switch (ClassifyRxBurst(BytesOf(burst), settingsBusy_)) {
    case RxBurstKind::Connecting:
      emit linkCleared();
      setConnectEnabled(false);
      emit linkEvent(LinkEvent::Connecting);
      change({LinkState::Connecting, LinkTransport::Serial, now_.press, now_.scan});
      // The dongle has taken the request: its radio attempt gets a full wait.
      connectWait_.start();
      break;
    case RxBurstKind::ConnectFailed: DongleAnswered(false); break;
    case RxBurstKind::NoConnection: DongleAnswered(true); break;
    case RxBurstKind::Connected: OnLinkUp(LinkTransport::Serial); break;
    case RxBurstKind::Lost: OnLinkDown(); break;
    case RxBurstKind::Ok: emit linkEvent(LinkEvent::Ok); break;
    case RxBurstKind::Purge: comPort_->purge(); break;
    case RxBurstKind::DroppedWhileBusy: break;
    case RxBurstKind::MeterFrame: deliverFrame(burst); break;
  }
}

void MeterLink::DongleAnswered(bool noConnection) {
  // The attempt is over without a link: the button reads "connect" again and
  // comes back with T2; the poll (with "Авто") asks anew at its next tick.
  emit linkCleared();
  attemptOver(true, Poll::Resume);
  emit linkEvent(noConnection ? LinkEvent::NoConnection : LinkEvent::ConnectFailed);
}

void MeterLink::ComPortAfterOpen() {
  // With automatic connection the poll owns the button, and a press waiting
  // for its outcome keeps it; otherwise it is usable now.
  if (!autoConnect_ && now_.press == Press::None) setConnectEnabled(true);
  if (now_.state == LinkState::NoDevice) change({LinkState::Idle, LinkTransport::Serial, now_.press, now_.scan});
}

void MeterLink::ComPortBeforeClose() {
  // The port is still open: the dongle is told to drop its radio link.
  portPhase_ = PortPhase::Closing;
  if (comPort_->isOpen()) texts_->sendNow(QStringLiteral("AT"));
  emit linkCleared();
  setConnectEnabled(false);
  // The wake-up of a link that is going away has nothing to wake.
  t4_.stop();
  attemptOver(true, Poll::Restart);
  emit linkEvent(LinkEvent::Disconnected);
  emit portClosing();
  portPhase_ = PortPhase::Undiscovered;
}

void MeterLink::ComPortException(QSerialPort::SerialPortError kind, const QString& message) {
  emit portError(kind, message);
}

void MeterLink::ComPortDeviceGone() {
  // The port's device is gone (unplugged). Whatever name it comes back
  // under, the next poll opens it afresh.
  portPhase_ = PortPhase::Undiscovered;
  texts_->clear();
  const bool serialLink =
      now_.transport == LinkTransport::Serial && (now_.state == LinkState::Up || now_.press != Press::None);
  if (serialLink) {
    OnLinkDown();
    return;
  }
  if (now_.transport == LinkTransport::Serial) {
    connectWait_.stop();
    change(idleCondition());
  }
}

void MeterLink::SendConnectRequest() {
  // After the answer to the text before (the "AT" of a close and reopen
  // just now, say): a dongle still busy with that one would not take it.
  texts_->send(QStringLiteral("AT+CONNL"), DongleTexts::After::Answer);
  useBle_ = false;
  change({LinkState::Connecting, LinkTransport::Serial, now_.press, now_.scan});
  connectWait_.start();
}

void MeterLink::deliverFrame(const QByteArray& bytes) {
  Frame frame{};
  if (!FrameFromBytes(BytesOf(bytes), frame)) return;
  emit frameReceived(frame);
}

// ---- Link manager ----

void MeterLink::connectOrDisconnect() {
  if (shutDown_) return;
  if (probe_->isRunning()) {
    afterProbe_ |= kPressAfterProbe;
    return;
  }
  if (now_.press != Press::None) return;  // the press before still waits for its outcome
  setConnectEnabled(false);

  if (now_.state == LinkState::Up) {
    setPress(Press::Disconnect);
    if (!bleLinkUp()) {
      // The dongle drops its radio link and answers "OK+LOST" (OnLinkDown);
      // with the port closed the write does nothing and the wait ends it.
      texts_->send(QStringLiteral("AT"));
      connectWait_.start();
    } else {
      if (useBle_) ble_->SetEnabled(false);
      BLEDisconnect();
    }
    return;
  }

  setPress(Press::Connect);
  if (DiscoverSerialPort()) {
    // Opening may have closed the port first, and its before-close ends any
    // press: this one goes on, and the button stays blank and disabled.
    setPress(Press::Connect);
    setConnectEnabled(false);
    SendConnectRequest();
    return;
  }
  if (useBle_) {
    ble_->SetEnabled(true);
    if (!scanning()) {
      const BleRequest r = RequestBleDiscovery();
      if (r != BleRequest::Started) DiscoveryRequestFailed(r, false);
    }
    if (useBle_ && scanning()) {
      change({LinkState::Connecting, LinkTransport::Ble, now_.press, now_.scan});
      return;
    }
  }
  if (now_.press == Press::Connect) {
    // Nothing to connect through (no serial device, Bluetooth LE given up):
    // give the button back rather than leave it blank and disabled.
    giveButtonBack();
  }
}

void MeterLink::setAutoConnect(bool on) {
  if (autoConnect_ == on) return;
  autoConnect_ = on;
  // A blank button waiting for the outcome of a press is not handed back.
  setConnectEnabled(!on && now_.press == Press::None);
  emit autoConnectChanged(on);
}

void MeterLink::languageChanged() {
  if (shutDown_) return;
  // The dongle drops its radio link; the poll looks for the meter again.
  if (comPort_->isOpen()) texts_->send(QStringLiteral("AT"));
  t3_.start();
}

void MeterLink::T3Timer() {
  if (shutDown_) return;
  if (probe_->isRunning()) {
    afterProbe_ |= kPollAfterProbe;
    return;
  }
  if (!DiscoverSerialPort()) {
    if (comPort_->isOpen()) comPort_->close();
  } else {
    if (!comPort_->isOpen()) comPort_->open();
    if (autoConnect_) {
      setConnectEnabled(false);
      if (now_.state != LinkState::Up && now_.press == Press::None) SendConnectRequest();
    }
  }
  if (useBle_) {
    ble_->SetEnabled(true);
    if (!scanning() && autoConnect_) {
      const BleRequest r = RequestBleDiscovery();
      if (r == BleRequest::Started) {
        if (now_.state != LinkState::Up) change({LinkState::Connecting, LinkTransport::Ble, now_.press, now_.scan});
      } else {
        DiscoveryRequestFailed(r, true);
      }
    }
  }
}

void MeterLink::OnLinkUp(LinkTransport via) {
  connectWait_.stop();
  t2_.start();
  t3_.stop();
  change({LinkState::Up, via, Press::None, now_.scan});
  emit linkEvent(LinkEvent::Connected);
  emit linkCameUp();
  t4_.start();
}

void MeterLink::OnLinkDown() {
  // A link that went down has no meter to wake: a pending wake-up from a
  // quick link loss must not fire.
  t4_.stop();
  emit linkCleared();
  attemptOver(true, Poll::Restart);
  emit linkEvent(LinkEvent::Disconnected);
  emit linkWentDown();
}

void MeterLink::T2Timer() {
  t2_.stop();
  if (!autoConnect_ && now_.press == Press::None) setConnectEnabled(true);
}

void MeterLink::T4Timer() {
  t4_.stop();
  holdInput();
  emit settled();
  // The wake-up sent on settled() started Timer_TX; should nothing have been
  // sent, the hold still ends on time.
  if (!tx_.isActive()) tx_.start();
}

void MeterLink::Timer_TXTimer() {
  tx_.stop();
  releaseInput();
}

void MeterLink::ConnectWaitTimer() {
  connectWait_.stop();
  if (now_.press == Press::Disconnect) {
    // The dongle never confirmed the drop: the link is not to be relied on.
    OnLinkDown();
    return;
  }
  if (now_.state != LinkState::Connecting || now_.transport != LinkTransport::Serial) return;
  attemptOver(false, Poll::Resume);
  emit linkEvent(LinkEvent::ConnectTimeout);
  // The operator has waited long enough: no T2 pause on top.
  if (!autoConnect_) setConnectEnabled(true);
}

bool MeterLink::transmit(const CommandFrame& frame) {
  CommandFrame out = frame;
  out[4] = kCommandFixedByte4;
  if (!tx_.isActive()) tx_.start();
  if (serialDeviceFound()) {
    // A serial device was found: it carries the command whatever else is up.
    if (!comPort_->isOpen()) return false;
    const QByteArray six(reinterpret_cast<const char*>(out.data()), static_cast<int>(out.size()));
    return comPort_->write(six) == six.size();
  }
  // Otherwise the meter's Bluetooth LE characteristic, as 8 bytes. With no
  // connected meter there is no target and the command is dropped, as a
  // settings command is while no link is up.
  if (!bleLinkUp()) return false;
  return ble_->WriteCharacteristic(BleCommandValue(out));
}

// ---- Bluetooth LE link ----

BleRequest MeterLink::RequestBleDiscovery() {
  ble_->SetEnabled(true);
  if (scanning()) return BleRequest::Started;  // one scan at a time
  const BleRequest r = ble_->DiscoverDevices(timings_.bleScanMs);
  if (r == BleRequest::Started) {
    setScan(BleScan::Scanning);
  } else if (now_.press == Press::Connect) {
    // The button started this attempt and nothing will follow it.
    giveButtonBack();
  }
  return r;
}

void MeterLink::DiscoveryRequestFailed(BleRequest answer, bool fromPoll) {
  if (answer == BleRequest::Refused) {
    emit linkEvent(LinkEvent::ScanError);
    t3_.stop();
    return;
  }
  // No usable adapter: Bluetooth LE is given up; the poll goes on looking for
  // a serial device unless one is open already.
  useBle_ = false;
  if (fromPoll && comPort_->isOpen()) t3_.stop();
}

void MeterLink::BLEDiscoverLEDevice(const BleDevice& device) {
  (void)device;  // the whole list is looked at, not just the newcomer
  bool found = false;
  for (const BleDevice& d : ble_->DiscoveredDevices()) {
    if (!IsBleMeterName(d.name)) continue;
    bleMeter_ = d;  // several meters: the last one seen is taken
    found = true;
  }
  if (!found) return;
  setScan(BleScan::MeterFound);
  t3_.stop();
  ble_->CancelDiscovery();
  if (now_.state != LinkState::Up) change({LinkState::Connecting, LinkTransport::Ble, now_.press, now_.scan});
  ble_->DiscoverServices(bleMeter_);
}

void MeterLink::BLEEndDiscoverDevices() {
  if (now_.scan == BleScan::MeterFound || now_.state == LinkState::Up) {
    if (now_.scan == BleScan::Scanning) setScan(BleScan::None);
    return;
  }
  setScan(BleScan::None);
  if (now_.state == LinkState::Connecting && now_.transport == LinkTransport::Ble) change(idleCondition());
  // A scan started by the button found nothing: the button comes back (after
  // T2's pause, and only without auto-connect).
  if (now_.press == Press::Connect) giveButtonBack();
}

void MeterLink::BLEConnect() { OnLinkUp(LinkTransport::Ble); }

void MeterLink::BLEConnectFailed() {
  // The meter was found but the connection never came up. Back to no link
  // without a status line (a meter out of reach would flood the memo), so the
  // poll and the button can try again.
  setScan(BleScan::None);
  if (now_.state == LinkState::Up) return;
  attemptOver(true, Poll::Restart);
}

void MeterLink::BLEServicesDiscovered(const QList<QBluetoothUuid>& services) {
  // Without the service the link stays up but carries no data.
  if (!services.contains(BleMeterServiceUuid())) return;
  ble_->SubscribeToCharacteristic(BleMeterServiceUuid(), BleMeterCharacteristicUuid());
}

void MeterLink::BLECharacteristicRead(const QByteArray& value) {
  if (settingsBusy_ || value.size() != kBleNotificationSize) return;
  deliverFrame(value);
}

void MeterLink::BLEDisconnect() {
  OnLinkDown();
  setScan(BleScan::None);
  ble_->SetEnabled(false);
}

// ---- State keeping ----

ConnectCaption MeterLink::CaptionOf(const Condition& c) {
  if (c.press != Press::None) return ConnectCaption::Blank;
  return c.state == LinkState::Up ? ConnectCaption::Disconnect : ConnectCaption::Connect;
}

void MeterLink::change(Condition next) {
  const Condition before = std::exchange(now_, next);
  if (before.state != next.state || before.transport != next.transport) emit stateChanged(next.state, next.transport);
  if (CaptionOf(before) != CaptionOf(next)) emit connectCaptionChanged(CaptionOf(next));
}

void MeterLink::setPress(Press press) { change({now_.state, now_.transport, press, now_.scan}); }

void MeterLink::setScan(BleScan scan) {
  Condition next = now_;
  next.scan = scan;
  change(next);
}

MeterLink::Condition MeterLink::idleCondition() const {
  Condition c = now_;
  if (comPort_->isOpen() && portPhase_ != PortPhase::Closing) {
    c.state = LinkState::Idle;
    c.transport = LinkTransport::Serial;
  } else {
    c.state = LinkState::NoDevice;
    c.transport = LinkTransport::None;
  }
  return c;
}

void MeterLink::attemptOver(bool pauseButton, Poll poll) {
  connectWait_.stop();
  Condition c = idleCondition();
  c.press = Press::None;
  change(c);
  if (shutDown_) return;
  if (pauseButton) t2_.start();
  if (poll == Poll::Restart)
    t3_.start();
  else if (!t3_.isActive())
    t3_.start();
}

void MeterLink::setConnectEnabled(bool on) {
  if (connectEnabled_ == on) return;
  connectEnabled_ = on;
  emit connectEnabledChanged(on);
}

void MeterLink::giveButtonBack() {
  setPress(Press::None);
  t2_.start();
}

}  // namespace zt
