// Port lookup: which system ports count as the dongle or the UART bridge, and
// simulated devices registered as files in the virtual-ports folder.
#include <QtTest>

#include "data_folder.h"
#include "port_lookup.h"

using zt::MatchRule;
using zt::SerialPortEntry;
Q_DECLARE_METATYPE(MatchRule)
Q_DECLARE_METATYPE(SerialPortEntry)

namespace {

SerialPortEntry Usb(const QString& description, quint16 vid, quint16 pid) {
  SerialPortEntry e;
  e.portName = QStringLiteral("ttyACM3");
  e.systemLocation = QStringLiteral("/dev/ttyACM3");
  e.description = description;
  e.hasUsbIds = true;
  e.vendorId = vid;
  e.productId = pid;
  return e;
}

SerialPortEntry Plain(const QString& description) {
  SerialPortEntry e;
  e.portName = QStringLiteral("COM5");
  e.systemLocation = QStringLiteral("\\\\.\\COM5");
  e.description = description;
  return e;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(f.write(bytes), bytes.size());
}

}  // namespace

class PortLookupTest : public QObject {
  Q_OBJECT

 private slots:
  void knownDevicesInQueryOrder() {
    const auto& d = zt::KnownUsbDevices();
    QCOMPARE(QString::fromLatin1(d[0].friendlyName), QStringLiteral("TI CC2540 USB CDC"));
    QCOMPARE(QString::fromLatin1(d[1].friendlyName), QStringLiteral("Silicon Labs CP210x USB to UART Bridge"));
  }

  void matches_data() {
    QTest::addColumn<SerialPortEntry>("port");
    QTest::addColumn<int>("device");
    QTest::addColumn<MatchRule>("rule");
    QTest::addColumn<bool>("match");
    const auto ids = MatchRule::UsbIdentity;
    const auto win = MatchRule::FriendlyName;
    QTest::newRow("dongle by ids") << Usb({}, 0x0451, 0x16AA) << 0 << ids << true;
    QTest::newRow("dongle ids, bridge asked") << Usb({}, 0x0451, 0x16AA) << 1 << ids << false;
    QTest::newRow("TI CC2531 is not the dongle") << Usb("CC2531 USB Dongle", 0x0451, 0x16A8) << 0 << ids << false;
    QTest::newRow("dongle by udev product") << Plain("TI_CC2540_USB_CDC") << 0 << ids << true;
    QTest::newRow("dongle by product, other case") << Plain("ti cc2540 usb cdc") << 0 << ids << true;
    QTest::newRow("product must be whole") << Plain("TI CC2540 USB CDC v2") << 0 << ids << false;
    QTest::newRow("bridge by ids") << Usb("CP2102 USB to UART Bridge Controller", 0x10C4, 0xEA60) << 1 << ids << true;
    QTest::newRow("bridge, dongle asked")
        << Usb("CP2102 USB to UART Bridge Controller", 0x10C4, 0xEA60) << 0 << ids << false;
    QTest::newRow("other CP210x product") << Usb("CP2105 Dual", 0x10C4, 0xEA70) << 1 << ids << false;
    QTest::newRow("no ids, no name") << Plain("ttyS0") << 1 << ids << false;
    QTest::newRow("windows dongle") << Plain("TI CC2540 USB CDC Serial Port") << 0 << win << true;
    QTest::newRow("windows bridge") << Plain("Silicon Labs CP210x USB to UART Bridge") << 1 << win << true;
    QTest::newRow("windows by ids only") << Usb("USB Serial Device", 0x0451, 0x16AA) << 0 << win << false;
    QTest::newRow("windows other device") << Plain("USB Serial Port") << 1 << win << false;
  }

  void matches() {
    QFETCH(SerialPortEntry, port);
    QFETCH(int, device);
    QFETCH(MatchRule, rule);
    QFETCH(bool, match);
    QCOMPARE(zt::PortMatches(port, zt::KnownUsbDevices()[std::size_t(device)], rule), match);
  }

  void virtualPort_data() {
    QTest::addColumn<QByteArray>("content");  // "@" stands for an existing path
    QTest::addColumn<bool>("asDirectory");
    QTest::addColumn<bool>("found");
    QTest::newRow("existing path") << QByteArray("@") << false << true;
    QTest::newRow("path with line end") << QByteArray("  @\n") << false << true;
    QTest::newRow("missing path") << QByteArray("/nonexistent/pts/99") << false << false;
    QTest::newRow("empty file") << QByteArray() << false << false;
    QTest::newRow("two lines") << QByteArray("@\n@") << false << false;
    QTest::newRow("oversized file") << QByteArray(70000, '/') << false << false;
    QTest::newRow("binary junk") << QByteArray("\0\xff\x01", 3) << false << false;
    QTest::newRow("a folder, not a file") << QByteArray() << true << false;
  }

  void virtualPort() {
    QFETCH(QByteArray, content);
    QFETCH(bool, asDirectory);
    QFETCH(bool, found);
    QTemporaryFile device;
    QVERIFY(device.open());
    const QString devicePath = device.fileName();
    QVERIFY(QDir().mkpath(zt::VirtualPortsFolder()));
    const QString file = QDir(zt::VirtualPortsFolder()).filePath(zt::kDongleFriendlyName);
    if (asDirectory) {
      QVERIFY(QDir().mkpath(file));
    } else {
      content.replace('@', devicePath.toLocal8Bit());
      WriteFile(file, content);
    }
    // No real device of that kind: only the file can answer.
    zt::PortLookup lookup([] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity);
    zt::PortQuery q;
    q.deviceName = QString::fromLatin1(zt::kDongleFriendlyName);
    lookup.gets(q);
    QCOMPARE(q.found, found ? 1 : 0);
    if (found) QCOMPARE(q.portName, devicePath);
    if (asDirectory)
      QVERIFY(QDir(file).removeRecursively());
    else
      QVERIFY(QFile::remove(file));
    // The file gone, the device is gone too.
    lookup.gets(q);
    QCOMPARE(q.found, 0);
  }

  void realPortsAnswerEachName() {
    QList<SerialPortEntry> ports{Usb("Some modem", 0x1234, 0x0001),
                                 Usb("CP2102 USB to UART Bridge Controller", 0x10C4, 0xEA60)};
    ports[1].systemLocation = QStringLiteral("/dev/ttyUSB1");
    int listed = 0;
    zt::PortLookup lookup(
        [&] {
          ++listed;
          return ports;
        },
        MatchRule::UsbIdentity);

    zt::PortQuery q;
    q.deviceName = QString::fromLatin1(zt::kDongleFriendlyName);
    lookup.gets(q);
    QCOMPARE(q.found, 0);
    q.deviceName = QString::fromLatin1(zt::kUartBridgeFriendlyName);
    lookup.gets(q);
    QCOMPARE(q.found, 1);
    QCOMPARE(q.portName, QStringLiteral("/dev/ttyUSB1"));
    // Found always tells the latest answer, never an earlier one.
    q.deviceName = QStringLiteral("Unknown device");
    lookup.gets(q);
    QCOMPARE(q.found, 0);
    // The queries of one discovery share one listing of the system's ports;
    // an unknown name does not even ask for one.
    QCOMPARE(listed, 1);
    // A later discovery sees what is plugged in by then.
    QTest::qWait(int(zt::kPortListReuseMs) + 20);
    ports.removeLast();
    q.deviceName = QString::fromLatin1(zt::kUartBridgeFriendlyName);
    lookup.gets(q);
    QCOMPARE(q.found, 0);
    QCOMPARE(listed, 2);
  }

  void fileNameCannotEscapeTheFolder() {
    QTemporaryFile device;
    QVERIFY(device.open());
    QTemporaryDir outside;
    WriteFile(outside.filePath("x"), device.fileName().toLocal8Bit());
    const QString sneaky = QDir(zt::VirtualPortsFolder()).relativeFilePath(outside.filePath("x"));
    QVERIFY(zt::VirtualPortPath(sneaky).isEmpty());
  }
};

#include "test_port_lookup.moc"

int RunPortLookupTests(int argc, char** argv) {
  PortLookupTest t;
  return QTest::qExec(&t, argc, argv);
}
