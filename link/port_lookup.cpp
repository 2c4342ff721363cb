#include "port_lookup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include "data_folder.h"

namespace zt {
namespace {

// A path is short; anything longer than this in a port file is not one.
constexpr qint64 kMaxPortFileBytes = 4096;

QList<SerialPortEntry> SystemPorts() {
  QList<SerialPortEntry> out;
  const auto ports = QSerialPortInfo::availablePorts();
  for (const QSerialPortInfo& info : ports) {
    SerialPortEntry e;
    e.portName = info.portName();
    e.systemLocation = info.systemLocation();
    e.description = info.description();
    e.hasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
    e.vendorId = info.vendorIdentifier();
    e.productId = info.productIdentifier();
    out.append(e);
  }
  return out;
}

// udev hands out product strings with '_' for blanks ("TI_CC2540_USB_CDC").
QString NormalisedProduct(const QString& text) {
  QString s = text;
  s.replace(QLatin1Char('_'), QLatin1Char(' '));
  return s.simplified();
}

}  // namespace

const std::array<KnownUsbDevice, 2>& KnownUsbDevices() {
  static const std::array<KnownUsbDevice, 2> devices{{
      {kDongleFriendlyName, 0x0451, 0x16AA},
      {kUartBridgeFriendlyName, 0x10C4, 0xEA60},
  }};
  return devices;
}

MatchRule NativeMatchRule() {
#ifdef Q_OS_WIN
  return MatchRule::FriendlyName;
#else
  return MatchRule::UsbIdentity;
#endif
}

bool PortMatches(const SerialPortEntry& port, const KnownUsbDevice& device, MatchRule rule) {
  const QString name = QString::fromLatin1(device.friendlyName);
  if (rule == MatchRule::FriendlyName) {
    // Windows names the port "<friendly name> Serial Port (COM5)" or
    // "<friendly name> (COM5)"; the description is that name without the port.
    return port.description.startsWith(name, Qt::CaseInsensitive);
  }
  if (port.hasUsbIds && port.vendorId == device.vendorId && port.productId == device.productId) return true;
  return NormalisedProduct(port.description).compare(name, Qt::CaseInsensitive) == 0;
}

QString VirtualPortPath(const QString& friendlyName) {
  if (friendlyName.isEmpty() || friendlyName.contains(QLatin1Char('/')) || friendlyName.contains(QLatin1Char('\\')))
    return {};
  QFile file(QDir(VirtualPortsFolder()).filePath(friendlyName));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.read(kMaxPortFileBytes + 1);
  if (bytes.size() > kMaxPortFileBytes) return {};
  const QString path = QString::fromLocal8Bit(bytes).trimmed();
  if (path.isEmpty() || path.contains(QLatin1Char('\n')) || path.contains(QChar(0)) || !QFileInfo::exists(path))
    return {};
  return path;
}

PortLookup::PortLookup() : PortLookup(&SystemPorts, NativeMatchRule()) {}

PortLookup::PortLookup(PortLister lister, MatchRule rule) : lister_(std::move(lister)), rule_(rule) {}

const QList<SerialPortEntry>& PortLookup::ports() const {
  if (!portsAge_.isValid() || portsAge_.elapsed() > kPortListReuseMs) {
    ports_ = lister_();
    portsAge_.start();
  }
  return ports_;
}

void PortLookup::gets(PortQuery& query) const {
  query.found = 0;
  const QString simulated = VirtualPortPath(query.deviceName);
  if (!simulated.isEmpty()) {
    query.found = 1;
    query.portName = simulated;
    return;
  }
  const KnownUsbDevice* known = nullptr;
  for (const KnownUsbDevice& d : KnownUsbDevices()) {
    if (query.deviceName == QLatin1String(d.friendlyName)) known = &d;
  }
  if (!known || !lister_) return;
  for (const SerialPortEntry& port : ports()) {
    if (!PortMatches(port, *known, rule_)) continue;
    query.found = 1;
#ifdef Q_OS_WIN
    query.portName = port.portName;
#else
    query.portName = port.systemLocation.isEmpty() ? port.portName : port.systemLocation;
#endif
    return;
  }
}

}  // namespace zt
