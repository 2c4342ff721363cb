#pragma once
// How zt-record reaches the meter: through a USB serial bridge only, found by
// the window's port lookup or named on the command line. A recorder on a
// server or a test station has no Bluetooth LE stack to ask, and one meter
// per bridge is what a rack wires up.
#include <QList>
#include <QString>

#include "ble_link.h"
#include "port_lookup.h"

namespace zt {

// The lookup for --port: the given device stands for the meter's bridge
// (answered under the dongle's name, the first one the link asks for) while
// it exists; nothing else is offered.
class SinglePortLookup : public PortLookup {
 public:
  explicit SinglePortLookup(QString path);
  void gets(PortQuery& query) const override;

 private:
  QString path_;
};

// A Bluetooth LE component with no adapter behind it: the link's first scan
// request is answered "no usable adapter", and the link gives Bluetooth LE up
// for the run without touching the system's radio stack.
class NoBle : public Ble {
  Q_OBJECT
 public:
  using Ble::Ble;
  BleRequest DiscoverDevices(int) override { return BleRequest::Error; }
  void CancelDiscovery() override {}
  bool Discovering() const override { return false; }
  QList<BleDevice> DiscoveredDevices() const override { return {}; }
  void DiscoverServices(const BleDevice&) override {}
  void SubscribeToCharacteristic(const QBluetoothUuid&, const QBluetoothUuid&) override {}
  bool WriteCharacteristic(const QByteArray&) override { return false; }

 protected:
  void Shutdown() override {}
};

// A meter bridge the lookup knows about.
struct FoundPort {
  QString friendlyName;
  QString path;
};

// Every bridge `lookup` finds, in the order the link asks for them.
QList<FoundPort> FindMeterPorts(const PortLookup& lookup);

}  // namespace zt
