#include "ble_qt.h"

#include <QBluetoothLocalDevice>
#include <QLowEnergyDescriptor>
#include <QMetaObject>
#include <memory>

namespace zt {
namespace {

QString DeviceId(const QBluetoothDeviceInfo& info) {
  if (!info.address().isNull()) return info.address().toString();
  return info.deviceUuid().toString();
}

bool IsLowEnergy(const QBluetoothDeviceInfo& info) {
  return info.coreConfigurations() & QBluetoothDeviceInfo::LowEnergyCoreConfiguration;
}

}  // namespace

QtBle::QtBle(QObject* parent) : Ble(parent) {
  agent_ = new QBluetoothDeviceDiscoveryAgent(this);
  // Without an adapter the agent reports its error from inside start(), so
  // every signal is connected before the first request.
  connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, this, &QtBle::OnAgentDeviceDiscovered);
  connect(agent_, &QBluetoothDeviceDiscoveryAgent::deviceUpdated, this,
          [this](const QBluetoothDeviceInfo& info, QBluetoothDeviceInfo::Fields) { OnAgentDeviceDiscovered(info); });
  connect(agent_, &QBluetoothDeviceDiscoveryAgent::finished, this, &QtBle::OnAgentStopped);
  connect(agent_, &QBluetoothDeviceDiscoveryAgent::canceled, this, &QtBle::OnAgentStopped);
  connect(agent_, &QBluetoothDeviceDiscoveryAgent::errorOccurred, this, &QtBle::OnAgentError);
}

QtBle::~QtBle() {
  // Children die after this body; none of their last signals may reach us.
  QObject::disconnect(agent_, nullptr, this, nullptr);
  if (controller_) QObject::disconnect(controller_, nullptr, this, nullptr);
  if (service_) QObject::disconnect(service_, nullptr, this, nullptr);
  if (agent_->isActive()) agent_->stop();
}

BleRequest QtBle::ClassifyStartError(QBluetoothDeviceDiscoveryAgent::Error error, bool adapterPresent) {
  switch (error) {
    case QBluetoothDeviceDiscoveryAgent::PoweredOffError:
    case QBluetoothDeviceDiscoveryAgent::LocationServiceTurnedOffError: return BleRequest::Refused;
    case QBluetoothDeviceDiscoveryAgent::InvalidBluetoothAdapterError:
    case QBluetoothDeviceDiscoveryAgent::UnsupportedPlatformError:
    case QBluetoothDeviceDiscoveryAgent::UnsupportedDiscoveryMethod:
    case QBluetoothDeviceDiscoveryAgent::MissingPermissionsError: return BleRequest::Error;
    default:
      // An I/O or unknown error: a busy adapter can try again later; without
      // any adapter it never will.
      return adapterPresent ? BleRequest::Refused : BleRequest::Error;
  }
}

BleRequest QtBle::DiscoverDevices(int timeoutMs) {
  if (!Enabled() || scanning_ || agent_->isActive()) return BleRequest::Refused;
  seen_.clear();
  startError_ = QBluetoothDeviceDiscoveryAgent::NoError;
  agent_->setLowEnergyDiscoveryTimeout(timeoutMs);
  inStart_ = true;
  agent_->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
  inStart_ = false;
  if (startError_ == QBluetoothDeviceDiscoveryAgent::NoError && agent_->isActive()) {
    scanning_ = true;
    return BleRequest::Started;
  }
  auto error = startError_ != QBluetoothDeviceDiscoveryAgent::NoError ? startError_ : agent_->error();
  if (error == QBluetoothDeviceDiscoveryAgent::NoError) error = QBluetoothDeviceDiscoveryAgent::UnknownError;
  return ClassifyStartError(error, !QBluetoothLocalDevice::allDevices().isEmpty());
}

void QtBle::CancelDiscovery() {
  if (!scanning_) return;
  // The end is reported here, once; the agent's own canceled() is then
  // ignored because scanning_ is already false.
  scanning_ = false;
  if (agent_->isActive()) agent_->stop();
  ReportDiscoveryFinished();
}

QList<BleDevice> QtBle::DiscoveredDevices() const {
  QList<BleDevice> out;
  out.reserve(seen_.size());
  for (const auto& info : seen_) out.append({info.name(), DeviceId(info)});
  return out;
}

void QtBle::OnAgentDeviceDiscovered(const QBluetoothDeviceInfo& info) {
  if (!scanning_ || !IsLowEnergy(info)) return;
  const QString id = DeviceId(info);
  for (auto& known : seen_) {
    if (DeviceId(known) != id) continue;
    // Updates come with every signal-strength change; only a new name is news.
    const bool renamed = known.name() != info.name();
    known = info;
    if (renamed) ReportDeviceFound({info.name(), id});
    return;
  }
  seen_.append(info);
  ReportDeviceFound({info.name(), id});
}

void QtBle::OnAgentStopped() {
  if (!scanning_) return;
  scanning_ = false;
  ReportDiscoveryFinished();
}

void QtBle::OnAgentError(QBluetoothDeviceDiscoveryAgent::Error error) {
  if (inStart_) {
    startError_ = error;
    return;
  }
  OnAgentStopped();
}

void QtBle::DiscoverServices(const BleDevice& device) {
  if (controller_ && controllerId_ == device.id && controller_->state() != QLowEnergyController::UnconnectedState)
    return;
  const QBluetoothDeviceInfo* info = nullptr;
  for (const auto& known : seen_)
    if (DeviceId(known) == device.id) info = &known;
  SetTapPort(device.id);
  DropController();
  if (!info) {
    // Reported later so that the caller's handler is not re-entered.
    QMetaObject::invokeMethod(this, &QtBle::ReportConnectFailed, Qt::QueuedConnection);
    return;
  }
  auto* controller = QLowEnergyController::createCentral(*info, this);
  controller_ = controller;
  controllerId_ = device.id;
  linkUp_ = false;
  auto pending = std::make_shared<bool>(true);
  connect(controller, &QLowEnergyController::connected, this, [this, controller, pending] {
    *pending = false;
    linkUp_ = true;
    ReportConnected();
    if (controller_ == controller) controller->discoverServices();
  });
  connect(controller, &QLowEnergyController::disconnected, this, [this, pending] {
    if (linkUp_) {
      linkUp_ = false;
      ReportDisconnected();
    } else if (*pending) {
      *pending = false;
      ReportConnectFailed();
    }
  });
  connect(controller, &QLowEnergyController::errorOccurred, this, [this, pending](QLowEnergyController::Error) {
    if (linkUp_ || !*pending) return;
    *pending = false;
    ReportConnectFailed();
  });
  connect(controller, &QLowEnergyController::discoveryFinished, this,
          [this, controller] { ReportServicesDiscovered(controller->services()); });
  controller->connectToDevice();
}

void QtBle::SubscribeToCharacteristic(const QBluetoothUuid& service, const QBluetoothUuid& characteristic) {
  DropService();
  characteristicUuid_ = characteristic;
  if (!controller_ || !linkUp_ || !controller_->services().contains(service)) return;
  service_ = controller_->createServiceObject(service, this);
  if (!service_) return;
  connect(service_, &QLowEnergyService::stateChanged, this, &QtBle::OnServiceStateChanged);
  connect(service_, &QLowEnergyService::characteristicChanged, this,
          [this](const QLowEnergyCharacteristic& c, const QByteArray& value) {
            if (c.uuid() == characteristicUuid_) ReportCharacteristicChanged(value);
          });
  service_->discoverDetails();
}

void QtBle::OnServiceStateChanged(QLowEnergyService::ServiceState state) {
  if (state != QLowEnergyService::RemoteServiceDiscovered || !service_) return;
  const QLowEnergyCharacteristic c = service_->characteristic(characteristicUuid_);
  if (!c.isValid()) return;
  characteristic_ = c;
  const QLowEnergyDescriptor cccd = c.descriptor(QBluetoothUuid::DescriptorType::ClientCharacteristicConfiguration);
  if (!cccd.isValid()) return;
  const bool notify = c.properties() & QLowEnergyCharacteristic::Notify;
  service_->writeDescriptor(
      cccd, notify ? QLowEnergyCharacteristic::CCCDEnableNotification : QLowEnergyCharacteristic::CCCDEnableIndication);
}

bool QtBle::WriteCharacteristic(const QByteArray& value) {
  if (!service_ || !linkUp_ || !characteristic_.isValid()) return false;
  const bool noResponse = characteristic_.properties() & QLowEnergyCharacteristic::WriteNoResponse;
  service_->writeCharacteristic(
      characteristic_, value,
      noResponse ? QLowEnergyService::WriteWithoutResponse : QLowEnergyService::WriteWithResponse);
  TapWritten(value);
  return true;
}

void QtBle::DropService() {
  if (service_) {
    QObject::disconnect(service_, nullptr, this, nullptr);
    service_->deleteLater();
  }
  service_ = nullptr;
  characteristic_ = QLowEnergyCharacteristic();
}

void QtBle::DropController() {
  DropService();
  if (controller_) {
    QObject::disconnect(controller_, nullptr, this, nullptr);
    controller_->disconnectFromDevice();
    controller_->deleteLater();
  }
  controller_ = nullptr;
  controllerId_.clear();
  linkUp_ = false;
}

void QtBle::Shutdown() {
  if (scanning_) {
    scanning_ = false;
    if (agent_->isActive()) agent_->stop();
  }
  DropController();
}

}  // namespace zt
