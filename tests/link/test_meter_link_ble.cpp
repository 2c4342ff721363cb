// The meter link over Bluetooth LE, through the fake radio: finding the meter,
// the link coming up and going down, notifications in, commands out, and the
// refused and failing discovery requests. No serial device is present unless a
// test registers one.
#include <QBluetoothLocalDevice>
#include <QSignalSpy>
#include <QtTest>

#include "command.h"
#include "meter_link_rig.h"

using namespace zt;
using zt::test::CountingLookup;
using zt::test::FastTimings;
using zt::test::LinkRig;
using zt::test::PtyDongle;

Q_DECLARE_METATYPE(zt::BleRequest)

namespace {

QByteArray FrameBytes() {
  QByteArray b(18, '\0');
  for (int i = 0; i < 18; ++i) b[i] = char(0x41 + i);
  return b;
}

// The radio keeps reporting after it was switched off, as a real stack's late
// events do.
class LateBle : public FakeBle {
 public:
  void lateEvents() {
    ReportDeviceFound({QStringLiteral("ZT40B1"), QStringLiteral("meter")});
    ReportConnected();
    ReportServicesDiscovered({BleMeterServiceUuid()});
    ReportCharacteristicChanged(FrameBytes());
    ReportDisconnected();
    ReportConnectFailed();
    ReportDiscoveryFinished();
  }
};

struct BleRig : LinkRig {
  BleRig() { link.start(); }
  void connectMeter() {
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
    link.connectOrDisconnect();
    ble.SeeDevice(QStringLiteral("ZT40B1"), QStringLiteral("meter"));
    ble.AcceptConnection();
    QVERIFY(link.linkUp());
  }
};

}  // namespace

class MeterLinkBleTest : public QObject {
  Q_OBJECT

 private slots:
  void startsEnabledAndIdle() {
    BleRig rig;
    QVERIFY(rig.ble.Enabled());
    QVERIFY(!rig.link.scanning());
    QCOMPARE(rig.ble.discoveryRequests, 0);
    QCOMPARE(rig.link.state(), LinkState::NoDevice);
    QCOMPARE(rig.link.connectCaption(), ConnectCaption::Connect);
    QVERIFY(rig.link.connectEnabled());
    QVERIFY(rig.link.polling());
    // Without "Авто" the poll keeps the component on but does not scan.
    QVERIFY(rig.waitTicks(2));
    QCOMPARE(rig.ble.discoveryRequests, 0);
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
    BleRig rig;
    rig.link.connectOrDisconnect();
    QVERIFY(rig.link.scanning());
    QCOMPARE(rig.ble.lastTimeoutMs, 1900);
    QCOMPARE(rig.link.state(), LinkState::Connecting);
    QCOMPARE(rig.link.transport(), LinkTransport::Ble);
    QCOMPARE(rig.link.connectCaption(), ConnectCaption::Blank);
    QVERIFY(rig.link.polling());
    // One burst of results, reported once: the whole list is looked at.
    QList<BleDevice> devices;
    for (int i = 0; i < names.size(); ++i) devices.append({names[i], QStringLiteral("d%1").arg(i)});
    rig.ble.SeeDevices(devices);
    if (taken.isEmpty()) {
      QVERIFY(rig.ble.connectRequests.isEmpty());
      QVERIFY(rig.link.scanning());
      QVERIFY(rig.link.polling());
      QCOMPARE(rig.ble.cancelCount, 0);
    } else {
      QCOMPARE(rig.ble.connectRequests, QStringList{taken});
      QVERIFY(!rig.link.scanning());
      QVERIFY(!rig.link.polling());
      QCOMPARE(rig.ble.cancelCount, 1);
      QVERIFY(!rig.ble.Discovering());
      QCOMPARE(rig.link.state(), LinkState::Connecting);
    }
  }

  void linkUpAndDown_data() {
    QTest::addColumn<bool>("byButton");  // else the radio loses the meter
    QTest::newRow("button while connected") << true;
    QTest::newRow("meter goes away") << false;
  }
  void linkUpAndDown() {
    QFETCH(bool, byButton);
    BleRig rig;
    MeterLink& link = rig.link;
    rig.connectMeter();
    QCOMPARE(link.state(), LinkState::Up);
    QCOMPARE(link.transport(), LinkTransport::Ble);
    QCOMPARE(link.connectCaption(), ConnectCaption::Disconnect);
    QCOMPARE(rig.log.last(), LinkEvent::Connected);
    QCOMPARE(rig.log.cameUp, 1);
    QVERIFY(rig.ble.subscribed);
    QVERIFY(!link.polling());

    if (byButton)
      link.connectOrDisconnect();
    else
      rig.ble.DropLink();
    // At once, without waiting for the radio.
    QVERIFY(!link.linkUp());
    QCOMPARE(link.state(), LinkState::NoDevice);
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
    QCOMPARE(rig.log.last(), LinkEvent::Disconnected);
    QCOMPARE(rig.log.count(LinkEvent::Disconnected), 1);
    QCOMPARE(rig.log.wentDown, 1);
    QVERIFY(!link.scanning());
    QVERIFY(!rig.ble.Enabled());
    QVERIFY(!rig.ble.LinkUp());
    QVERIFY(link.polling());
    // The next poll switches the component on again and, with "Авто", scans.
    link.setAutoConnect(true);
    QTRY_VERIFY_WITH_TIMEOUT(rig.ble.Enabled() && link.scanning(), 2000);
  }

  void notifications_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("taken");
    const QByteArray frame = FrameBytes();
    QTest::newRow("18 bytes") << frame << false << true;
    QTest::newRow("18 bytes while the input is held") << frame << true << false;
    QTest::newRow("20 bytes holding a frame") << frame + QByteArray(2, '\0') << false << false;
    QTest::newRow("17 bytes") << frame.left(17) << false << false;
    QTest::newRow("empty") << QByteArray() << false << false;
  }
  void notifications() {
    QFETCH(QByteArray, value);
    QFETCH(bool, held);
    QFETCH(bool, taken);
    BleRig rig;
    rig.connectMeter();
    if (held) rig.link.holdInput();
    const int events = int(rig.log.events.size());
    rig.ble.Notify(value);
    QCOMPARE(rig.log.frames.size(), taken ? 1 : 0);
    if (taken) QCOMPARE(QByteArray(reinterpret_cast<const char*>(rig.log.frames[0].data()), 18), value);
    QCOMPARE(rig.log.events.size(), events);  // dropped values leave no trace
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
    BleRig rig;
    if (!service) rig.ble.offeredServices = {QBluetoothUuid(quint16(0x180F))};
    if (!characteristic) rig.ble.offeredCharacteristics = {QBluetoothUuid(quint16(0xFFE2))};
    rig.connectMeter();
    // The link is up, but nothing flows either way.
    QCOMPARE(rig.link.connectCaption(), ConnectCaption::Disconnect);
    QVERIFY(!rig.ble.subscribed);
    rig.ble.Notify(FrameBytes());
    QVERIFY(rig.log.frames.isEmpty());
    QVERIFY(!rig.link.transmit(BuildSpecialCommand(kCmdWakeUp, true)));
    QVERIFY(rig.ble.writes.isEmpty());
  }

  void noSecondScanWhileOneRuns() {
    BleRig rig;
    rig.link.connectOrDisconnect();
    QCOMPARE(rig.ble.discoveryRequests, 1);
    rig.link.setAutoConnect(true);
    rig.link.connectOrDisconnect();  // a press while the first waits: nothing
    QVERIFY(rig.waitTicks(3));
    QCOMPARE(rig.ble.discoveryRequests, 1);
    QVERIFY(rig.log.events.isEmpty());
    // Once it ends the poll scans again.
    rig.ble.EndScan();
    QVERIFY(!rig.link.scanning());
    QVERIFY(rig.waitTicks(1));
    QCOMPARE(rig.ble.discoveryRequests, 2);
  }

  void scanWithoutMeterGivesTheButtonBack() {
    BleRig rig;
    MeterLink& link = rig.link;
    link.connectOrDisconnect();
    QVERIFY(!link.connectEnabled());
    QCOMPARE(link.connectCaption(), ConnectCaption::Blank);
    rig.ble.SeeDevice(QStringLiteral("Phone"), QStringLiteral("p"));
    rig.ble.EndScan();
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
    QCOMPARE(link.state(), LinkState::NoDevice);
    QVERIFY(!link.connectEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);  // after T2
    QVERIFY(rig.log.events.isEmpty());
  }

  // A press's scan is still running when "Авто" is ticked and unticked: the
  // blank button is not handed back until the scan has ended.
  void pendingPressKeepsTheButton() {
    BleRig rig;
    MeterLink& link = rig.link;
    link.connectOrDisconnect();
    link.setAutoConnect(true);
    link.setAutoConnect(false);
    QVERIFY(!link.connectEnabled());
    rig.ble.EndScan();
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);
  }

  void meterThatNeverConnectsIsRetried() {
    BleRig rig;
    MeterLink& link = rig.link;
    link.connectOrDisconnect();
    rig.ble.SeeDevice(QStringLiteral("ZT40B1"), QStringLiteral("meter"));
    QVERIFY(!link.polling());
    rig.ble.RefuseConnection();
    QVERIFY(!link.linkUp());
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
    QCOMPARE(link.state(), LinkState::NoDevice);
    QVERIFY(link.polling());
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);
    QVERIFY(rig.log.events.isEmpty());
    // A new scan finds and connects it.
    link.setAutoConnect(true);
    QTRY_VERIFY_WITH_TIMEOUT(link.scanning(), 2000);
    rig.ble.SeeDevice(QStringLiteral("ZT40B1"), QStringLiteral("meter"));
    QCOMPARE(rig.ble.connectRequests.size(), 2);
    rig.ble.AcceptConnection();
    QVERIFY(link.linkUp());
  }

  void failedDiscoveryRequests_data() {
    QTest::addColumn<bool>("byButton");  // else the auto-connect poll
    QTest::addColumn<BleRequest>("answer");
    QTest::addColumn<QList<LinkEvent>>("events");
    QTest::addColumn<bool>("bleInUse");
    QTest::addColumn<bool>("polling");
    const QList<LinkEvent> scanError{LinkEvent::ScanError};
    QTest::newRow("button, no adapter") << true << BleRequest::Error << QList<LinkEvent>{} << false << true;
    QTest::newRow("poll, no adapter") << false << BleRequest::Error << QList<LinkEvent>{} << false << true;
    QTest::newRow("button, refused") << true << BleRequest::Refused << scanError << true << false;
    QTest::newRow("poll, refused") << false << BleRequest::Refused << scanError << true << false;
  }
  void failedDiscoveryRequests() {
    QFETCH(bool, byButton);
    QFETCH(BleRequest, answer);
    QFETCH(QList<LinkEvent>, events);
    QFETCH(bool, bleInUse);
    QFETCH(bool, polling);
    BleRig rig;
    MeterLink& link = rig.link;
    rig.ble.nextDiscovery = answer;
    if (byButton) {
      link.connectOrDisconnect();
    } else {
      link.setAutoConnect(true);
      QTRY_COMPARE_WITH_TIMEOUT(rig.ble.discoveryRequests, 1, 2000);
    }
    QCOMPARE(rig.ble.discoveryRequests, 1);
    QCOMPARE(link.bleInUse(), bleInUse);
    QCOMPARE(rig.log.events, events);
    QCOMPARE(link.polling(), polling);
    QVERIFY(!link.scanning());
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
    QCOMPARE(link.state(), LinkState::NoDevice);
    if (answer == BleRequest::Refused) {
      // The poll rests until something starts it again.
      link.languageChanged();
      QVERIFY(link.polling());
      return;
    }
    // Further polls with "Авто" on: no scan after an error, and never another
    // line without a new request.
    link.setAutoConnect(true);
    QVERIFY(rig.waitTicks(3));
    QCOMPARE(rig.ble.discoveryRequests, 1);
    QCOMPARE(rig.log.events, events);
    // With nothing left to connect through, a press gives the button back.
    link.connectOrDisconnect();
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
    QCOMPARE(rig.ble.discoveryRequests, 1);
    QCOMPARE(rig.log.events, events);
  }

  void commandsGoToTheCharacteristic() {
    BleRig rig;
    rig.connectMeter();
    CommandFrame c = BuildSpecialCommand(kCmdWakeUp, false);
    c[4] = 0;
    QVERIFY(rig.link.transmit(c));
    MeterSettings s;
    const CommandFrame settings = BuildSettingsCommand(s, true);
    QVERIFY(rig.link.transmit(settings));
    QCOMPARE(rig.ble.writes.size(), 2);
    QCOMPARE(rig.ble.writes[0], QByteArray::fromHex("c00101010a010000"));
    QCOMPARE(rig.ble.writes[1],
             QByteArray(reinterpret_cast<const char*>(settings.data()), int(settings.size())) + QByteArray(2, '\0'));
  }

  // A dongle that appears during a Bluetooth LE link is noticed once that
  // link is down; from then on commands take the serial port, 6 bytes each.
  void commandsGoToSerialOnceFound() {
    BleRig rig;
    MeterLink& link = rig.link;
    rig.connectMeter();
    PtyDongle dongle;
    if (!dongle.ok()) QSKIP("no pseudo-terminals here");
    const CommandFrame c = BuildSpecialCommand(kCmdWakeUp, true);
    QVERIFY(link.transmit(c));
    QCOMPARE(rig.ble.writes.size(), 1);  // no poll has run while up: still Bluetooth LE

    link.connectOrDisconnect();  // link down, the poll restarts
    QTRY_VERIFY_WITH_TIMEOUT(link.portOpen(), 2000);
    QCOMPARE(link.state(), LinkState::Idle);
    QCOMPARE(link.transport(), LinkTransport::Serial);
    dongle.pty().received();  // whatever opening the port produced
    QVERIFY(link.transmit(c));
    QByteArray got;
    QTRY_VERIFY((got += dongle.pty().received()).size() >= 6);
    QCOMPARE(got, QByteArray::fromHex("800101010a01"));
    QCOMPARE(rig.ble.writes.size(), 1);
  }

  // Once the component is switched off at a disconnect, whatever the radio
  // still reports goes nowhere.
  void lateRadioEventsAreDropped() {
    LateBle late;
    LinkRig rig(FastTimings(), &late);
    MeterLink& link = rig.link;
    link.start();
    link.connectOrDisconnect();
    late.SeeDevice(QStringLiteral("ZT40B1"), QStringLiteral("meter"));
    late.AcceptConnection();
    QVERIFY(link.linkUp());
    link.connectOrDisconnect();
    QVERIFY(!late.Enabled());
    const QList<LinkEvent> events = rig.log.events;
    late.lateEvents();
    QCOMPARE(rig.log.events, events);
    QVERIFY(rig.log.frames.isEmpty());
    QCOMPARE(rig.log.cameUp, 1);
    QVERIFY(!link.linkUp());
    QCOMPARE(late.connectRequests.size(), 1);
  }

  // The platform's own stack on this machine, which has no adapter: the link
  // gives the Bluetooth LE path up quietly and keeps polling.
  void realStackWithoutAdapter() {
    if (!QBluetoothLocalDevice::allDevices().isEmpty()) QSKIP("a Bluetooth adapter is present");
    CountingLookup lookup;
    MeterLink link(MeterLinkDeps{&lookup, nullptr, FastTimings()});
    zt::test::LinkLog log;
    log.attach(link);
    link.start();
    link.connectOrDisconnect();
    QVERIFY(!link.bleInUse());
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
    link.setAutoConnect(true);
    const int target = lookup.queries + 6;
    QTRY_VERIFY_WITH_TIMEOUT(lookup.queries >= target, 3000);
    QVERIFY(link.polling());
    QVERIFY(!link.scanning());
    QVERIFY(log.events.isEmpty());
  }
};

#include "test_meter_link_ble.moc"

int RunMeterLinkBleTests(int argc, char** argv) {
  MeterLinkBleTest t;
  return QTest::qExec(&t, argc, argv);
}
