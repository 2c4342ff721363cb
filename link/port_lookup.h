#pragma once
// Finds the serial port of the meter's USB device by the device's friendly
// name: the Bluetooth LE bridge dongle or the USB-UART bridge.
//
// Real devices come from QSerialPortInfo. Simulated devices are files in
// VirtualPortsFolder() named exactly after the friendly name, holding the
// path of the device (for example /dev/pts/7); such a device is present
// while its file exists and names an existing path.
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <array>
#include <functional>

namespace zt {

inline constexpr char kDongleFriendlyName[] = "TI CC2540 USB CDC";
inline constexpr char kUartBridgeFriendlyName[] = "Silicon Labs CP210x USB to UART Bridge";

// A device the lookup knows: its friendly name (also the USB product string
// or the start of the Windows device description) and its USB identity.
struct KnownUsbDevice {
  const char* friendlyName;
  quint16 vendorId;
  quint16 productId;
};

// In the order they are looked for: 0451:16AA, 10C4:EA60.
const std::array<KnownUsbDevice, 2>& KnownUsbDevices();

// What the system says about one serial port; a plain copy of QSerialPortInfo
// so that matching can be tested without hardware.
struct SerialPortEntry {
  QString portName;        // "COM5", "ttyACM0"
  QString systemLocation;  // "\\.\COM5", "/dev/ttyACM0"
  QString description;     // Windows: device description; elsewhere: USB product string
  bool hasUsbIds = false;
  quint16 vendorId = 0;
  quint16 productId = 0;
};

enum class MatchRule {
  FriendlyName,  // Windows: the description starts with the friendly name
  UsbIdentity,   // Linux, macOS: the USB IDs, or the product string equals it
};

MatchRule NativeMatchRule();

bool PortMatches(const SerialPortEntry& port, const KnownUsbDevice& device, MatchRule rule);

// The answer to one query: Found and PortName of the port query record.
// How long one listing of the system's ports answers further queries.
inline constexpr qint64 kPortListReuseMs = 100;

struct PortQuery {
  QString deviceName;
  int found = 0;
  QString portName;
};

class PortLookup {
 public:
  using PortLister = std::function<QList<SerialPortEntry>()>;

  // The system's ports through QSerialPortInfo, matched by NativeMatchRule().
  PortLookup();
  // For tests: the given ports and rule instead of the system's.
  PortLookup(PortLister lister, MatchRule rule);
  virtual ~PortLookup() = default;

  // Fills query.found (1 or 0) and, when found, query.portName for
  // query.deviceName. A simulated device is looked for first.
  virtual void gets(PortQuery& query) const;

 private:
  const QList<SerialPortEntry>& ports() const;

  PortLister lister_;
  MatchRule rule_;
  // Listing the system's ports costs milliseconds; the queries of one
  // discovery (one per device name) share one listing.
  mutable QList<SerialPortEntry> ports_;
  mutable QElapsedTimer portsAge_;
};

// The port a simulated device file names, or an empty text when the file is
// missing, unreadable, empty or names a path that does not exist.
QString VirtualPortPath(const QString& friendlyName);

}  // namespace zt
