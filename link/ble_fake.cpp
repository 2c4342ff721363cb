#include "ble_fake.h"

namespace zt {

BleRequest FakeBle::DiscoverDevices(int timeoutMs) {
  ++discoveryRequests;
  lastTimeoutMs = timeoutMs;
  if (!Enabled() || scanning_) return BleRequest::Refused;
  if (nextDiscovery != BleRequest::Started) return nextDiscovery;
  devices_.clear();
  scanning_ = true;
  return BleRequest::Started;
}

void FakeBle::CancelDiscovery() {
  if (!scanning_) return;
  ++cancelCount;
  EndScan();
}

void FakeBle::DiscoverServices(const BleDevice& device) {
  if (pending_ || linkUp_) return;
  connectRequests.append(device.id);
  SetTapPort(device.id);
  pending_ = true;
}

void FakeBle::SubscribeToCharacteristic(const QBluetoothUuid& service, const QBluetoothUuid& characteristic) {
  subscribed = linkUp_ && offeredServices.contains(service) && offeredCharacteristics.contains(characteristic);
}

bool FakeBle::WriteCharacteristic(const QByteArray& value) {
  if (!linkUp_ || !subscribed) return false;
  writes.append(value);
  TapWritten(value);
  return true;
}

void FakeBle::SeeDevice(const QString& name, const QString& id) {
  if (!scanning_) return;
  devices_.append({name, id});
  ReportDeviceFound(devices_.last());
}

void FakeBle::SeeDevices(const QList<BleDevice>& devices) {
  if (!scanning_ || devices.isEmpty()) return;
  devices_.append(devices);
  ReportDeviceFound(devices_.last());
}

void FakeBle::EndScan() {
  if (!scanning_) return;
  scanning_ = false;
  ReportDiscoveryFinished();
}

void FakeBle::AcceptConnection() {
  if (!pending_) return;
  pending_ = false;
  linkUp_ = true;
  ReportConnected();
  if (linkUp_) ReportServicesDiscovered(offeredServices);
}

void FakeBle::RefuseConnection() {
  if (!pending_) return;
  pending_ = false;
  ReportConnectFailed();
}

void FakeBle::DropLink() {
  if (!linkUp_) return;
  linkUp_ = false;
  subscribed = false;
  ReportDisconnected();
}

void FakeBle::Notify(const QByteArray& value) {
  if (linkUp_ && subscribed) ReportCharacteristicChanged(value);
}

void FakeBle::Shutdown() {
  scanning_ = false;
  pending_ = false;
  linkUp_ = false;
  subscribed = false;
}

}  // namespace zt
