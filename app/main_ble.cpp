// Bluetooth LE link: scanning for the meter, connecting, notifications in,
// commands out.
#include <QBluetoothUuid>

#include "ble_link.h"
#include "ble_qt.h"
#include "main.h"

namespace zt {
namespace {

// TransmitCommand's view of the meter's characteristic.
class BleCharacteristicTransport : public Transport {
 public:
  explicit BleCharacteristicTransport(TForm1* form) : form_(form) {}
  bool isOpen() const override { return form_->BleLinkUp == 1 && form_->BLE; }
  qint64 write(const QByteArray& bytes) override { return form_->BLE->WriteCharacteristic(bytes) ? bytes.size() : -1; }

 private:
  TForm1* form_;
};

}  // namespace

void TForm1::ApplyBleDeps(Ble* injected) {
  BLE = injected ? injected : new QtBle(this);
  m_bleTransport = std::make_unique<BleCharacteristicTransport>(this);
  bleTransport = m_bleTransport.get();
}

void TForm1::ConnectBleSignals() {
  bleStartDiscovery = [this] { return RequestBleDiscovery(); };
  bleDisconnect = [this] { BLEDisconnect(); };
  connect(BLE, &Ble::DeviceFound, this, [this](const BleDevice& d) { BLEDiscoverLEDevice(d); });
  connect(BLE, &Ble::DiscoveryFinished, this, [this] { BLEEndDiscoverDevices(); });
  connect(BLE, &Ble::Connected, this, [this] { BLEConnect(); });
  connect(BLE, &Ble::Disconnected, this, [this] { BLEDisconnect(); });
  connect(BLE, &Ble::ConnectFailed, this, [this] { BLEConnectFailed(); });
  connect(BLE, &Ble::ServicesDiscovered, this,
          [this](const QList<QBluetoothUuid>& services) { BLEServicesDiscovered(services); });
  connect(BLE, &Ble::CharacteristicChanged, this, [this](const QByteArray& value) { BLECharacteristicRead(value); });
}

void TForm1::BleSetEnabled(bool on) { BLE->SetEnabled(on); }

BleRequest TForm1::RequestBleDiscovery() {
  BLE->SetEnabled(true);
  if (Scanning) return BleRequest::Started;  // one scan at a time
  const BleRequest r = BLE->DiscoverDevices(kBleDiscoveryTimeoutMs);
  if (r == BleRequest::Started) {
    Scanning = true;
    m_bleMeterFound = false;
  } else if (linkState == LinkState::Connecting) {
    // The button started this attempt and nothing will follow it: give the
    // button back (T2 re-enables it unless auto-connect is on) rather than
    // leave it blank and disabled for good.
    SetLinkState(LinkState::Idle);
    T2->start();
  }
  return r;
}

void TForm1::BLEDiscoverLEDevice(const BleDevice& device) {
  (void)device;  // the whole list is looked at, not just the newcomer
  bool found = false;
  for (const BleDevice& d : BLE->DiscoveredDevices()) {
    if (!IsBleMeterName(d.name)) continue;
    m_bleMeter = d;  // several meters: the last one seen is taken
    found = true;
  }
  if (!found) return;
  m_bleMeterFound = true;
  Scanning = false;
  T3->stop();
  BLE->CancelDiscovery();
  BLE->DiscoverServices(m_bleMeter);
}

void TForm1::BLEEndDiscoverDevices() {
  Scanning = false;
  if (m_bleMeterFound || LinkUp == 1) return;
  // A scan started by the button found nothing: give the button back (after
  // T2's pause, and only without auto-connect) instead of leaving it blank and
  // disabled for good.
  if (linkState == LinkState::Connecting) {
    SetLinkState(LinkState::Idle);
    T2->start();
  }
}

void TForm1::BLEConnect() {
  BleLinkUp = 1;
  OnLinkUp();
}

void TForm1::BLEConnectFailed() {
  // The meter was found but the connection never came up. Back to the no-link
  // state without a memo line (a meter out of reach would flood the memo), so
  // the poll and the button can try again.
  m_bleMeterFound = false;
  Scanning = false;
  if (LinkUp == 1) return;
  SetLinkState(LinkState::Idle);
  T2->start();
  T3->start();
}

void TForm1::BLEServicesDiscovered(const QList<QBluetoothUuid>& services) {
  // Without the service the link stays up but carries no data.
  if (!services.contains(BleMeterServiceUuid())) return;
  BLE->SubscribeToCharacteristic(BleMeterServiceUuid(), BleMeterCharacteristicUuid());
}

void TForm1::BLECharacteristicRead(const QByteArray& value) {
  if (SettingsBusy == 1 || value.size() != kBleNotificationSize) return;
  Frame frame{};
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = std::uint8_t(value[int(i)]);
  ProcessFrame(frame);
}

void TForm1::BLEDisconnect() {
  BleLinkUp = 0;
  OnLinkDown();
  Scanning = false;
  BLE->SetEnabled(false);
}

}  // namespace zt
