#include "serial_only.h"

#include <QFileInfo>

namespace zt {

SinglePortLookup::SinglePortLookup(QString path)
    : PortLookup([] { return QList<SerialPortEntry>{}; }, NativeMatchRule()), path_(std::move(path)) {}

void SinglePortLookup::gets(PortQuery& query) const {
  query.found = 0;
  if (query.deviceName != QLatin1String(kDongleFriendlyName)) return;
  // A device node that is not there (yet) is not offered: the link asks
  // again at its next poll, so a bridge plugged in later is taken.
  if (!QFileInfo::exists(path_)) return;
  query.found = 1;
  query.portName = path_;
}

QList<FoundPort> FindMeterPorts(const PortLookup& lookup) {
  QList<FoundPort> found;
  for (const KnownUsbDevice& d : KnownUsbDevices()) {
    PortQuery q;
    q.deviceName = QString::fromLatin1(d.friendlyName);
    lookup.gets(q);
    if (q.found == 1) found.append({q.deviceName, q.portName});
  }
  return found;
}

}  // namespace zt
