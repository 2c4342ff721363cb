#pragma once
// A radio-free stand-in for the Bluetooth LE component, for tests. The test
// plays the remote side (devices appearing, connection, services,
// notifications) and reads back what the program asked for.
#include "ble_link.h"

namespace zt {

class FakeBle : public Ble {
  Q_OBJECT
 public:
  explicit FakeBle(QObject* parent = nullptr) : Ble(parent) {}

  // What the next DiscoverDevices answers (a running scan is always refused).
  BleRequest nextDiscovery = BleRequest::Started;
  // What the meter offers once connected.
  QList<QBluetoothUuid> offeredServices = {BleMeterServiceUuid()};
  QList<QBluetoothUuid> offeredCharacteristics = {BleMeterCharacteristicUuid()};

  // Observations.
  int discoveryRequests = 0;
  int lastTimeoutMs = 0;
  int cancelCount = 0;
  QStringList connectRequests;  // device ids passed to DiscoverServices
  bool subscribed = false;
  QList<QByteArray> writes;

  BleRequest DiscoverDevices(int timeoutMs) override;
  void CancelDiscovery() override;
  bool Discovering() const override { return scanning_; }
  QList<BleDevice> DiscoveredDevices() const override { return devices_; }
  void DiscoverServices(const BleDevice& device) override;
  void SubscribeToCharacteristic(const QBluetoothUuid& service, const QBluetoothUuid& characteristic) override;
  bool WriteCharacteristic(const QByteArray& value) override;

  // The remote side. Each does nothing when its precondition does not hold
  // (no scan, no pending connection, no link, no subscription).
  void SeeDevice(const QString& name, const QString& id);
  // Several devices come in at once; one report, for the last of them.
  void SeeDevices(const QList<BleDevice>& devices);
  void EndScan();
  void AcceptConnection();  // Connected, then ServicesDiscovered
  void RefuseConnection();  // ConnectFailed
  void DropLink();          // Disconnected
  void Notify(const QByteArray& value);

  bool Connecting() const { return pending_; }
  bool LinkUp() const { return linkUp_; }

 protected:
  void Shutdown() override;

 private:
  bool scanning_ = false;
  bool pending_ = false;
  bool linkUp_ = false;
  QList<BleDevice> devices_;
};

}  // namespace zt
