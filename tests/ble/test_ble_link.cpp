#include <QBluetoothLocalDevice>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "ble_link.h"
#include "ble_qt.h"

using zt::BleRequest;
Q_DECLARE_METATYPE(zt::BleRequest)
Q_DECLARE_METATYPE(QBluetoothDeviceDiscoveryAgent::Error)

namespace {

// Counts every event of a component.
struct EventSpies {
  explicit EventSpies(zt::Ble* ble)
      : found(ble, &zt::Ble::DeviceFound),
        finished(ble, &zt::Ble::DiscoveryFinished),
        connected(ble, &zt::Ble::Connected),
        disconnected(ble, &zt::Ble::Disconnected),
        failed(ble, &zt::Ble::ConnectFailed),
        services(ble, &zt::Ble::ServicesDiscovered),
        changed(ble, &zt::Ble::CharacteristicChanged) {}
  int total() const {
    return found.count() + finished.count() + connected.count() + disconnected.count() + failed.count() +
           services.count() + changed.count();
  }
  QSignalSpy found, finished, connected, disconnected, failed, services, changed;
};

}  // namespace

class TestBleLink : public QObject {
  Q_OBJECT
 private slots:
  void meterName_data();
  void meterName();
  void uuidsAreTheShortFormsOnTheBaseUuid();
  void commandValue_data();
  void commandValue();
  void startErrorClassification_data();
  void startErrorClassification();
  void disabledComponentDeliversNothing();
  void realStackWithoutAdapterReportsError();
};

void TestBleLink::meterName_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("taken");
  QTest::newRow("exact") << "ZT40B1" << true;
  QTest::newRow("one more character") << "ZT40B1x" << false;
  QTest::newRow("lower case") << "zt40b1" << false;
  QTest::newRow("prefix only") << "ZT40B" << false;
  QTest::newRow("leading space") << " ZT40B1" << false;
  QTest::newRow("trailing NUL") << QString("ZT40B1") + QChar(0) << false;
  QTest::newRow("empty") << "" << false;
}

void TestBleLink::meterName() {
  QFETCH(QString, name);
  QFETCH(bool, taken);
  QCOMPARE(zt::IsBleMeterName(name), taken);
}

void TestBleLink::uuidsAreTheShortFormsOnTheBaseUuid() {
  QCOMPARE(zt::BleMeterServiceUuid(), QBluetoothUuid(quint16(0xFFE0)));
  QCOMPARE(zt::BleMeterCharacteristicUuid(), QBluetoothUuid(quint16(0xFFE1)));
  QCOMPARE(zt::BleMeterServiceUuid().toString(QUuid::WithoutBraces).toUpper(),
           QStringLiteral("0000FFE0-0000-1000-8000-00805F9B34FB"));
}

void TestBleLink::commandValue_data() {
  QTest::addColumn<QByteArray>("frame");
  QTest::newRow("settings command") << QByteArray::fromHex("012480210a01");
  QTest::newRow("special command, all bits") << QByteArray::fromHex("c2ffffff0aff");
}

void TestBleLink::commandValue() {
  QFETCH(QByteArray, frame);
  zt::CommandFrame cmd{};
  for (int i = 0; i < int(cmd.size()); ++i) cmd[i] = std::uint8_t(frame[i]);
  const QByteArray value = zt::BleCommandValue(cmd);
  QCOMPARE(value.size(), zt::kBleCommandValueSize);
  QCOMPARE(value.left(6), frame);
  QCOMPARE(value.mid(6), QByteArray(2, '\0'));
}

void TestBleLink::startErrorClassification_data() {
  using A = QBluetoothDeviceDiscoveryAgent;
  QTest::addColumn<A::Error>("error");
  QTest::addColumn<bool>("adapterPresent");
  QTest::addColumn<BleRequest>("expected");
  QTest::newRow("powered off") << A::PoweredOffError << true << BleRequest::Refused;
  QTest::newRow("busy adapter") << A::InputOutputError << true << BleRequest::Refused;
  QTest::newRow("io error, no adapter") << A::InputOutputError << false << BleRequest::Error;
  QTest::newRow("unknown, no adapter") << A::UnknownError << false << BleRequest::Error;
  QTest::newRow("invalid adapter") << A::InvalidBluetoothAdapterError << true << BleRequest::Error;
  QTest::newRow("unsupported platform") << A::UnsupportedPlatformError << true << BleRequest::Error;
  QTest::newRow("no permission") << A::MissingPermissionsError << true << BleRequest::Error;
}

void TestBleLink::startErrorClassification() {
  QFETCH(QBluetoothDeviceDiscoveryAgent::Error, error);
  QFETCH(bool, adapterPresent);
  QFETCH(BleRequest, expected);
  QCOMPARE(zt::QtBle::ClassifyStartError(error, adapterPresent), expected);
}

// A backend that keeps reporting after it was disabled, as a real stack's
// late events do: the component itself must hold them back.
class LateBle : public zt::Ble {
 public:
  zt::BleRequest DiscoverDevices(int) override { return BleRequest::Started; }
  void CancelDiscovery() override {}
  bool Discovering() const override { return false; }
  QList<zt::BleDevice> DiscoveredDevices() const override { return {}; }
  void DiscoverServices(const zt::BleDevice&) override {}
  void SubscribeToCharacteristic(const QBluetoothUuid&, const QBluetoothUuid&) override {}
  bool WriteCharacteristic(const QByteArray&) override { return false; }
  void ReportAll() {
    ReportDeviceFound({QStringLiteral("ZT40B1"), QStringLiteral("a")});
    ReportDiscoveryFinished();
    ReportConnected();
    ReportDisconnected();
    ReportConnectFailed();
    ReportServicesDiscovered({zt::BleMeterServiceUuid()});
    ReportCharacteristicChanged(QByteArray(18, 'x'));
  }
  int shutdowns = 0;

 protected:
  void Shutdown() override { ++shutdowns; }
};

void TestBleLink::disabledComponentDeliversNothing() {
  LateBle ble;
  EventSpies spies(&ble);
  ble.ReportAll();  // never enabled yet
  QCOMPARE(spies.total(), 0);
  ble.SetEnabled(true);
  ble.ReportAll();
  QCOMPARE(spies.total(), 7);
  ble.SetEnabled(false);
  ble.SetEnabled(false);
  QCOMPARE(ble.shutdowns, 1);
  ble.ReportAll();
  QCOMPARE(spies.total(), 7);
}

// This machine has no Bluetooth adapter: the real stack must report the
// request as an error at once, stay quiet afterwards and survive every other
// call.
void TestBleLink::realStackWithoutAdapterReportsError() {
  if (!QBluetoothLocalDevice::allDevices().isEmpty()) QSKIP("a Bluetooth adapter is present");
  zt::QtBle ble;
  ble.SetEnabled(true);
  EventSpies spies(&ble);

  QElapsedTimer clock;
  clock.start();
  for (int attempt = 0; attempt < 3; ++attempt) {
    QCOMPARE(ble.DiscoverDevices(zt::kBleDiscoveryTimeoutMs), BleRequest::Error);
    QVERIFY(!ble.Discovering());
  }
  QVERIFY2(clock.elapsed() < zt::kBleDiscoveryTimeoutMs, "the failed request must not wait for the scan time-out");

  ble.CancelDiscovery();
  QVERIFY(ble.DiscoveredDevices().isEmpty());
  ble.SubscribeToCharacteristic(zt::BleMeterServiceUuid(), zt::BleMeterCharacteristicUuid());
  QCOMPARE(ble.WriteCharacteristic(QByteArray(8, '\0')), false);
  QTest::qWait(zt::kBleDiscoveryTimeoutMs + 300);
  QCOMPARE(spies.total(), 0);

  // An unknown device cannot be connected: reported as a failed connection,
  // later, not from inside the call.
  ble.DiscoverServices({QStringLiteral("ZT40B1"), QStringLiteral("00:11:22:33:44:55")});
  QCOMPARE(spies.failed.count(), 0);
  QTRY_COMPARE(spies.failed.count(), 1);

  ble.SetEnabled(false);
  QCOMPARE(ble.DiscoverDevices(zt::kBleDiscoveryTimeoutMs), BleRequest::Refused);
}

QTEST_GUILESS_MAIN(TestBleLink)
#include "test_ble_link.moc"
