// The Bluetooth LE link of the window, driven through a fake radio: finding
// the meter, the link coming up and going down, notifications in, commands
// out, and the refused and failing discovery requests.
#include <QBluetoothLocalDevice>
#include <QDir>
#include <QFile>
#include <QtTest>

#include "ble_fake.h"
#include "data_folder.h"
#include "port_lookup.h"
#include "pty_pair.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::WindowFixture;

Q_DECLARE_METATYPE(zt::BleRequest)

namespace {

const QString kConnect = QStringLiteral("Подключить");
const QString kDisconnect = QStringLiteral("Отключить");
const QString kConnected = QStringLiteral("Подключено");
const QString kDisconnected = QStringLiteral("Отключено");
const QString kScanError = QStringLiteral("Ошибка сканирования!!");

// A valid frame from a ZT41 (status 0x09): taking it sets MeterModel to 1.
Frame Zt41Frame() {
  Frame f{};
  f[3] = 0x3F;
  f[15] = 0x09;
  f[17] = kFrameTerminator;
  f[16] = FrameSum(f);
  return f;
}

QByteArray Bytes(const Frame& f) { return QByteArray(reinterpret_cast<const char*>(f.data()), int(f.size())); }

// The window with the fake radio and no serial device but what a test puts
// into the virtual-ports folder.
struct BleWindow {
  FakeBle ble;
  PortLookup lookup{[] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity};
  std::unique_ptr<WindowFixture> fx;
  TForm1* f = nullptr;

  BleWindow() {
    TForm1Deps deps;
    deps.ble = &ble;
    deps.portLookup = &lookup;
    fx = std::make_unique<WindowFixture>(deps);
    f = fx->form.get();
  }
  QStringList memo() const { return f->Memo1->toPlainText().split('\n', Qt::SkipEmptyParts); }
  void setAuto(bool on) { f->CheckBox_connect_auto->setChecked(on); }
  // The operator presses "Подключить" and the meter is in range.
  void pressConnect() {
    QCOMPARE(f->B2->text(), kConnect);
    f->B2Click();
  }
  void connectMeter() {
    pressConnect();
    ble.SeeDevice(QStringLiteral("ZT40B1"), QStringLiteral("meter"));
    ble.AcceptConnection();
    QCOMPARE(f->BleLinkUp, std::uint8_t(1));
  }
};

}  // namespace

class TestBle : public QObject {
  Q_OBJECT

 private slots:
  void startsEnabledAndIdle() {
    BleWindow w;
    QVERIFY(w.ble.Enabled());
    QVERIFY(!w.f->Scanning);
    QCOMPARE(w.ble.discoveryRequests, 0);
  }

  void meterIsFoundByExactName_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("taken");  // id of the device connected, or empty
    QTest::newRow("one more character") << QStringList{"ZT40B1x"} << QString();
    QTest::newRow("other letter case") << QStringList{"zt40b1"} << QString();
    QTest::newRow("near misses only") << QStringList{"ZT40B", " ZT40B1", "", "ZT40B1 "} << QString();
    QTest::newRow("meter after others") << QStringList{"Phone", "ZT40B1x", "ZT40B1"} << "d2";
    QTest::newRow("meter before others") << QStringList{"ZT40B1", "Phone"} << "d0";
    QTest::newRow("two meters: the last") << QStringList{"ZT40B1", "Phone", "ZT40B1"} << "d2";
  }
  void meterIsFoundByExactName() {
    QFETCH(QStringList, names);
    QFETCH(QString, taken);
    BleWindow w;
    w.pressConnect();
    QVERIFY(w.f->Scanning);
    QCOMPARE(w.ble.lastTimeoutMs, 1900);
    QVERIFY(w.f->T3->isActive());
    // One burst of results, reported once: the whole list is looked at.
    QList<BleDevice> devices;
    for (int i = 0; i < names.size(); ++i) devices.append({names[i], QStringLiteral("d%1").arg(i)});
    w.ble.SeeDevices(devices);
    if (taken.isEmpty()) {
      QVERIFY(w.ble.connectRequests.isEmpty());
      QVERIFY(w.f->Scanning);
      QVERIFY(w.f->T3->isActive());
      QCOMPARE(w.ble.cancelCount, 0);
    } else {
      QCOMPARE(w.ble.connectRequests, QStringList{taken});
      QVERIFY(!w.f->Scanning);
      QVERIFY(!w.f->T3->isActive());
      QCOMPARE(w.ble.cancelCount, 1);
      QVERIFY(!w.ble.Discovering());
    }
  }

  void linkUpAndDown_data() {
    QTest::addColumn<bool>("byButton");  // else the radio loses the meter
    QTest::newRow("B2 while connected") << true;
    QTest::newRow("meter goes away") << false;
  }
  void linkUpAndDown() {
    QFETCH(bool, byButton);
    BleWindow w;
    w.connectMeter();
    QCOMPARE(w.f->LinkUp, std::uint8_t(1));
    QCOMPARE(w.f->B2->text(), kDisconnect);
    QCOMPARE(w.memo().last(), kConnected);
    QVERIFY(w.ble.subscribed);

    if (byButton)
      w.f->B2Click();
    else
      w.ble.DropLink();
    // At once, without waiting for the radio.
    QCOMPARE(w.f->BleLinkUp, std::uint8_t(0));
    QCOMPARE(w.f->LinkUp, std::uint8_t(0));
    QCOMPARE(w.f->B2->text(), kConnect);
    QCOMPARE(w.memo().last(), kDisconnected);
    QCOMPARE(w.memo().count(kDisconnected), 1);
    QVERIFY(!w.f->Scanning);
    QVERIFY(!w.ble.Enabled());
    QVERIFY(!w.ble.LinkUp());
    QVERIFY(w.f->T3->isActive());
    // The next poll enables the component again and, with auto-connect on,
    // scans anew.
    w.setAuto(true);
    w.f->T3Timer();
    QVERIFY(w.ble.Enabled());
    QVERIFY(w.f->Scanning);
  }

  void notifications_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("taken");
    const QByteArray frame = Bytes(Zt41Frame());
    QTest::newRow("18 bytes") << frame << false << true;
    QTest::newRow("18 bytes while settings busy") << frame << true << false;
    QTest::newRow("20 bytes holding a frame") << frame + QByteArray(2, '\0') << false << false;
    QTest::newRow("17 bytes") << frame.left(17) << false << false;
    QTest::newRow("empty") << QByteArray() << false << false;
  }
  void notifications() {
    QFETCH(QByteArray, value);
    QFETCH(bool, busy);
    QFETCH(bool, taken);
    BleWindow w;
    w.connectMeter();
    w.f->SettingsBusy = busy ? 1 : 0;
    const QStringList memoBefore = w.memo();
    w.ble.Notify(value);
    QCOMPARE(int(w.f->MeterModel), taken ? 1 : 0);
    QCOMPARE(w.f->T33->isActive(), taken);
    QCOMPARE(w.memo(), memoBefore);  // dropped values leave no trace
  }

  void missingServiceOrCharacteristic_data() {
    QTest::addColumn<bool>("service");
    QTest::addColumn<bool>("characteristic");
    QTest::newRow("no service") << false << true;
    QTest::newRow("no characteristic") << true << false;
  }
  void missingServiceOrCharacteristic() {
    QFETCH(bool, service);
    QFETCH(bool, characteristic);
    BleWindow w;
    if (!service) w.ble.offeredServices = {QBluetoothUuid(quint16(0x180F))};
    if (!characteristic) w.ble.offeredCharacteristics = {QBluetoothUuid(quint16(0xFFE2))};
    w.connectMeter();
    // The link is up, but nothing flows either way.
    QCOMPARE(w.f->LinkUp, std::uint8_t(1));
    QCOMPARE(w.f->B2->text(), kDisconnect);
    QVERIFY(!w.ble.subscribed);
    w.ble.Notify(Bytes(Zt41Frame()));
    QCOMPARE(int(w.f->MeterModel), 0);
    w.f->SendSpecialCommand(kCmdWakeUp);
    QVERIFY(w.ble.writes.isEmpty());
  }

  void noSecondScanWhileOneRuns() {
    BleWindow w;
    w.pressConnect();
    QCOMPARE(w.ble.discoveryRequests, 1);
    w.setAuto(true);
    for (int i = 0; i < 3; ++i) w.f->T3Timer();
    QCOMPARE(w.ble.discoveryRequests, 1);
    QVERIFY(w.memo().isEmpty());
    // Once it ends the poll scans again.
    w.ble.EndScan();
    QVERIFY(!w.f->Scanning);
    w.f->T3Timer();
    QCOMPARE(w.ble.discoveryRequests, 2);
  }

  void scanWithoutMeterGivesTheButtonBack() {
    BleWindow w;
    w.pressConnect();
    QVERIFY(!w.f->B2->isEnabled());
    QCOMPARE(w.f->B2->text(), QStringLiteral(" "));
    w.ble.SeeDevice(QStringLiteral("Phone"), QStringLiteral("p"));
    w.ble.EndScan();
    QCOMPARE(w.f->B2->text(), kConnect);
    QVERIFY(w.f->T2->isActive());
    w.f->T2Timer();
    QVERIFY(w.f->B2->isEnabled());
    QVERIFY(w.memo().isEmpty());
  }

  void meterThatNeverConnectsIsRetried() {
    BleWindow w;
    w.pressConnect();
    w.ble.SeeDevice(QStringLiteral("ZT40B1"), QStringLiteral("meter"));
    QVERIFY(!w.f->T3->isActive());
    w.ble.RefuseConnection();
    QCOMPARE(w.f->LinkUp, std::uint8_t(0));
    QCOMPARE(w.f->B2->text(), kConnect);
    QVERIFY(w.f->T3->isActive());
    QVERIFY(w.f->T2->isActive());
    QVERIFY(w.memo().isEmpty());
    // A new scan finds and connects it.
    w.setAuto(true);
    w.f->T3Timer();
    w.ble.SeeDevice(QStringLiteral("ZT40B1"), QStringLiteral("meter"));
    QCOMPARE(w.ble.connectRequests.size(), 2);
    w.ble.AcceptConnection();
    QCOMPARE(w.f->LinkUp, std::uint8_t(1));
  }

  void failedDiscoveryRequests_data() {
    QTest::addColumn<bool>("byButton");  // else the auto-connect poll
    QTest::addColumn<BleRequest>("answer");
    QTest::addColumn<QStringList>("memo");
    QTest::addColumn<int>("useBle");
    QTest::addColumn<bool>("polling");
    QTest::newRow("button, no adapter") << true << BleRequest::Error << QStringList{} << 0 << true;
    QTest::newRow("poll, no adapter") << false << BleRequest::Error << QStringList{} << 0 << true;
    QTest::newRow("button, refused") << true << BleRequest::Refused << QStringList{kScanError} << 1 << false;
    QTest::newRow("poll, refused") << false << BleRequest::Refused << QStringList{kScanError} << 1 << false;
  }
  void failedDiscoveryRequests() {
    QFETCH(bool, byButton);
    QFETCH(BleRequest, answer);
    QFETCH(QStringList, memo);
    QFETCH(int, useBle);
    QFETCH(bool, polling);
    BleWindow w;
    w.ble.nextDiscovery = answer;
    if (byButton) {
      w.pressConnect();
    } else {
      w.setAuto(true);
      w.f->T3Timer();
    }
    QCOMPARE(w.ble.discoveryRequests, 1);
    QCOMPARE(int(w.f->UseBle), useBle);
    QCOMPARE(w.memo(), memo);
    QCOMPARE(w.f->T3->isActive(), polling);
    QVERIFY(!w.f->Scanning);
    QCOMPARE(w.f->B2->text(), kConnect);
    // Further polls with auto-connect on: no scan after an error, and never
    // another memo line without a new request.
    w.setAuto(true);
    for (int i = 0; i < 5; ++i) w.f->T3Timer();
    if (answer == BleRequest::Error) {
      QCOMPARE(w.ble.discoveryRequests, 1);
      QCOMPARE(w.memo(), memo);
      // With nothing left to connect through, the button still comes back.
      w.f->T2->stop();
      w.f->B2Click();
      QCOMPARE(w.f->B2->text(), kConnect);
      QVERIFY(w.f->T2->isActive());
      QCOMPARE(w.ble.discoveryRequests, 1);
      QCOMPARE(w.memo(), memo);
    }
  }

  void commandsGoToTheCharacteristic() {
    BleWindow w;
    w.connectMeter();
    w.f->SendSpecialCommand(kCmdWakeUp);
    w.f->SendSettingsCommand();
    QCOMPARE(w.ble.writes.size(), 2);
    const QByteArray settings(reinterpret_cast<const char*>(w.f->Command.data()), int(kCommandSize));
    QCOMPARE(w.ble.writes[1], settings + QByteArray(2, '\0'));
    const QByteArray special = w.ble.writes[0];
    QCOMPARE(special.size(), 8);
    QCOMPARE(std::uint8_t(special[0]) & 0xBF, int(kCmdWakeUp));
    QCOMPARE(special.mid(1), QByteArray::fromHex("0101010a010000"));
  }

  // A dongle that appears during a Bluetooth LE link is noticed once that
  // link is down; from then on commands take the serial port, 6 bytes each.
  void commandsGoToSerialOnceFound() {
    PtyPair pty;
    if (!pty.ok()) QSKIP("no pseudo-terminals here");
    BleWindow w;
    w.connectMeter();
    QDir().mkpath(VirtualPortsFolder());
    QFile dongle(QDir(VirtualPortsFolder()).filePath(QString::fromLatin1(kDongleFriendlyName)));
    QVERIFY(dongle.open(QIODevice::WriteOnly));
    dongle.write(pty.slavePath().toLocal8Bit());
    dongle.close();

    w.f->SendSpecialCommand(kCmdWakeUp);
    QCOMPARE(w.ble.writes.size(), 1);  // no poll has run yet: still Bluetooth LE

    w.f->B2Click();  // link down, the poll restarts
    w.f->T3Timer();
    QVERIFY(w.f->comPort->isOpen());
    pty.received();  // whatever opening the port produced
    w.f->SendSpecialCommand(kCmdWakeUp);
    QByteArray got;
    QTRY_VERIFY((got += pty.received()).size() >= 6);
    QCOMPARE(got.size(), 6);
    QCOMPARE(got.mid(1), QByteArray::fromHex("0101010a01"));
    QCOMPARE(w.ble.writes.size(), 1);
  }

  // The platform's own stack on this machine, which has no adapter: the
  // window gives the Bluetooth LE path up quietly and keeps polling.
  void realStackWithoutAdapter() {
    if (!QBluetoothLocalDevice::allDevices().isEmpty()) QSKIP("a Bluetooth adapter is present");
    PortLookup lookup{[] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity};
    TForm1Deps deps;
    deps.portLookup = &lookup;
    WindowFixture fx(deps);
    TForm1& f = *fx.form;
    f.B2Click();
    QCOMPARE(int(f.UseBle), 0);
    f.CheckBox_connect_auto->setChecked(true);
    for (int i = 0; i < 3; ++i) f.T3Timer();
    QTest::qWait(300);
    QVERIFY(f.T3->isActive());
    QVERIFY(!f.Scanning);
    QVERIFY(f.Memo1->toPlainText().isEmpty());
    QCOMPARE(f.B2->text(), kConnect);
  }
};

QTEST_MAIN(TestBle)
#include "test_ble.moc"
