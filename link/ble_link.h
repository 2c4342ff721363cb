#pragma once
// The Bluetooth LE component `BLE`: scans for the meter, connects, subscribes
// to the characteristic that carries its frames and writes commands to it.
//
// `Ble` is the interface the window talks to. Its events are Qt signals that
// arrive on the thread that owns the object (the window's thread) and only
// while the component is enabled. `QtBle` (ble_qt.h) drives the platform
// stack; `FakeBle` (ble_fake.h, test library) stands in for the radio.
#include <QBluetoothUuid>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include "command.h"
#include "link_tap.h"

namespace zt {

// The meter advertises this name; only an exact, case-sensitive match counts.
inline constexpr char kBleMeterName[] = "ZT40B1";
inline constexpr int kBleDiscoveryTimeoutMs = 1900;
// A notification carries one Measurement frame; a command is written as the
// 6-byte Command frame followed by two zero bytes.
inline constexpr int kBleNotificationSize = 18;
inline constexpr int kBleCommandValueSize = 8;

// 0000FFE0-0000-1000-8000-00805F9B34FB and 0000FFE1-..., the 16-bit UUIDs
// 0xFFE0 / 0xFFE1 on the Bluetooth base UUID.
QBluetoothUuid BleMeterServiceUuid();
QBluetoothUuid BleMeterCharacteristicUuid();

bool IsBleMeterName(const QString& name);

// The value written to the characteristic for one Command frame.
QByteArray BleCommandValue(const CommandFrame& frame);

// One device seen by a scan. `id` identifies it to the backend (the address,
// or the platform's device UUID where addresses are hidden).
struct BleDevice {
  QString name;
  QString id;
};

// Outcome of a discovery request.
enum class BleRequest {
  Started,  // the scan runs; one DiscoveryFinished follows
  Refused,  // the adapter cannot scan now (powered off, busy): try later
  Error,    // no usable adapter at all (missing, unsupported, no permission)
};

class Ble : public QObject {
  Q_OBJECT
 public:
  explicit Ble(QObject* parent = nullptr) : QObject(parent) {}
  ~Ble() override = default;

  // Disabling stops a running scan and drops the connection, silently: no
  // event is delivered while the component is disabled.
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }

  // Starts a low-energy scan that ends by itself after `timeoutMs`. A request
  // while disabled is refused.
  virtual BleRequest DiscoverDevices(int timeoutMs) = 0;
  // Stops the running scan (DiscoveryFinished still follows once).
  virtual void CancelDiscovery() = 0;
  virtual bool Discovering() const = 0;
  // Devices seen by the current or last scan, in the order they were seen.
  virtual QList<BleDevice> DiscoveredDevices() const = 0;

  // Connects to `device` and enumerates its services: Connected, then
  // ServicesDiscovered; ConnectFailed when the connection never comes up.
  // Ignored while a connection to the same device is under way or up.
  virtual void DiscoverServices(const BleDevice& device) = 0;

  // Looks up `service` on the connected device and `characteristic` in it,
  // remembers both and enables notifications through the characteristic's
  // client configuration descriptor. When either is missing nothing is
  // subscribed and no notification will arrive.
  virtual void SubscribeToCharacteristic(const QBluetoothUuid& service, const QBluetoothUuid& characteristic) = 0;

  // Writes `value` to the remembered characteristic, without response when the
  // characteristic allows it. False when there is nothing to write to.
  virtual bool WriteCharacteristic(const QByteArray& value) = 0;

  // Every notification delivered and every value written go to the tap too,
  // named by the connected meter's id; null: none.
  void SetTap(LinkTap* tap) { tap_ = tap; }

 signals:
  void DeviceFound(const zt::BleDevice& device);
  void DiscoveryFinished();
  void Connected();
  void Disconnected();
  void ConnectFailed();
  void ServicesDiscovered(const QList<QBluetoothUuid>& services);
  void CharacteristicChanged(const QByteArray& value);

 protected:
  // Called when the component is disabled: stop scanning, drop the link.
  virtual void Shutdown() = 0;

  // Backends report through these so that nothing leaves a disabled component.
  void ReportDeviceFound(const BleDevice& device);
  void ReportDiscoveryFinished();
  void ReportConnected();
  void ReportDisconnected();
  void ReportConnectFailed();
  void ReportServicesDiscovered(const QList<QBluetoothUuid>& services);
  void ReportCharacteristicChanged(const QByteArray& value);
  // Backends name the meter they connect to and report each value written.
  void SetTapPort(const QString& meterId) { tapPort_ = meterId; }
  void TapWritten(const QByteArray& value) {
    if (tap_) tap_->tapped(TapTransport::Ble, TapDirection::Sent, tapPort_, value);
  }

 private:
  bool enabled_ = false;
  LinkTap* tap_ = nullptr;
  QString tapPort_;
};

}  // namespace zt

Q_DECLARE_METATYPE(zt::BleDevice)
