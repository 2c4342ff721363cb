#pragma once
// The Bluetooth LE component over QtBluetooth (BlueZ, Windows Runtime or Core
// Bluetooth underneath). Everything is asynchronous on the owning thread.
#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothDeviceInfo>
#include <QLowEnergyCharacteristic>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QPointer>

#include "ble_link.h"

namespace zt {

class QtBle : public Ble {
  Q_OBJECT
 public:
  explicit QtBle(QObject* parent = nullptr);
  ~QtBle() override;

  BleRequest DiscoverDevices(int timeoutMs) override;
  void CancelDiscovery() override;
  bool Discovering() const override { return scanning_; }
  QList<BleDevice> DiscoveredDevices() const override;
  void DiscoverServices(const BleDevice& device) override;
  void SubscribeToCharacteristic(const QBluetoothUuid& service, const QBluetoothUuid& characteristic) override;
  bool WriteCharacteristic(const QByteArray& value) override;

  // How a failed start of the scan is reported. `adapterPresent` tells an
  // I/O error on a real adapter (busy: refused) from one without any.
  static BleRequest ClassifyStartError(QBluetoothDeviceDiscoveryAgent::Error error, bool adapterPresent);

 protected:
  void Shutdown() override;

 private:
  void OnAgentDeviceDiscovered(const QBluetoothDeviceInfo& info);
  void OnAgentStopped();
  void OnAgentError(QBluetoothDeviceDiscoveryAgent::Error error);
  void DropController();
  void DropService();
  void OnServiceStateChanged(QLowEnergyService::ServiceState state);

  QBluetoothDeviceDiscoveryAgent* agent_ = nullptr;
  bool scanning_ = false;
  bool inStart_ = false;
  QBluetoothDeviceDiscoveryAgent::Error startError_ = QBluetoothDeviceDiscoveryAgent::NoError;
  QList<QBluetoothDeviceInfo> seen_;

  QPointer<QLowEnergyController> controller_;
  QString controllerId_;
  bool linkUp_ = false;
  QPointer<QLowEnergyService> service_;
  QBluetoothUuid characteristicUuid_;
  QLowEnergyCharacteristic characteristic_;
};

}  // namespace zt
