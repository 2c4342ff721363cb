#include "ble_link.h"

namespace zt {

QBluetoothUuid BleMeterServiceUuid() { return QBluetoothUuid(QStringLiteral("0000FFE0-0000-1000-8000-00805F9B34FB")); }

QBluetoothUuid BleMeterCharacteristicUuid() {
  return QBluetoothUuid(QStringLiteral("0000FFE1-0000-1000-8000-00805F9B34FB"));
}

bool IsBleMeterName(const QString& name) { return name == QLatin1String(kBleMeterName); }

QByteArray BleCommandValue(const CommandFrame& frame) {
  QByteArray value(kBleCommandValueSize, '\0');
  for (std::size_t i = 0; i < frame.size(); ++i) value[int(i)] = char(frame[i]);
  return value;
}

void Ble::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  if (!on) Shutdown();
}

void Ble::ReportDeviceFound(const BleDevice& device) {
  if (enabled_) emit DeviceFound(device);
}

void Ble::ReportDiscoveryFinished() {
  if (enabled_) emit DiscoveryFinished();
}

void Ble::ReportConnected() {
  if (enabled_) emit Connected();
}

void Ble::ReportDisconnected() {
  if (enabled_) emit Disconnected();
}

void Ble::ReportConnectFailed() {
  if (enabled_) emit ConnectFailed();
}

void Ble::ReportServicesDiscovered(const QList<QBluetoothUuid>& services) {
  if (enabled_) emit ServicesDiscovered(services);
}

void Ble::ReportCharacteristicChanged(const QByteArray& value) {
  if (!enabled_) return;
  if (tap_) tap_->tapped(TapTransport::Ble, TapDirection::Received, tapPort_, value);
  emit CharacteristicChanged(value);
}

}  // namespace zt
