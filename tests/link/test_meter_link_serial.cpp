// The meter link over the serial device, on real pseudo-terminals: against
// the simulated meter (dongle or bridge), or against a pseudo-terminal the
// test answers itself where the simulator cannot misbehave the right way.
#include <QSignalSpy>
#include <QtTest>

#include "command.h"
#include "file_modes.h"
#include "meter_link_rig.h"
#include "simulated_meter.h"

using namespace zt;
using zt::test::FastTimings;
using zt::test::LinkRig;
using zt::test::PtyDongle;

namespace {

const QByteArray kGlued("OK+CONNLOK+CONN\r\n");

// 18 bytes that no dongle text matches; the link does not judge frames.
QByteArray FrameBytes() {
  QByteArray b(18, '\0');
  for (int i = 0; i < 18; ++i) b[i] = char(0x30 + i);
  b[17] = '\n';
  return b;
}

QByteArray Bytes(const Frame& f) { return QByteArray(reinterpret_cast<const char*>(f.data()), int(f.size())); }

sim::Options Dongle() {
  sim::Options o;
  o.mode = sim::LinkMode::Dongle;
  o.connectDelayMs = 30;
  o.intervalCode = 3;  // a frame every 0.5 s once linked
  return o;
}

// The link and a simulated meter registered as the serial device.
struct SimRig : LinkRig {
  sim::SimulatedMeter meter;
  QStringList texts;  // "AT" texts the dongle took, in order

  explicit SimRig(sim::Options o = Dongle(), LinkTimings t = FastTimings()) : LinkRig(t), meter(o) {
    QObject::connect(&meter, &sim::SimulatedMeter::textReceived,
                     [this](const QByteArray& s) { texts << QString::fromLatin1(s); });
  }
  bool startMeter() {
    QString why;
    const bool ok = meter.start(&why);
    if (!ok) qWarning("simulator: %s", qPrintable(why));
    return ok;
  }
  // The program's start without the modem check: the poll opens the port.
  bool startOpen() {
    if (!startMeter()) return false;
    link.start();
    return QTest::qWaitFor([this] { return link.portOpen() && link.connectEnabled(); }, 3000);
  }
  int connl() const { return int(texts.count(QStringLiteral("AT+CONNL"))); }
};

}  // namespace

class MeterLinkSerialTest : public QObject {
  Q_OBJECT

 private slots:
  void startupProbe_data() {
    QTest::addColumn<int>("mode");  // 0 answering dongle, 1 silent device, 2 bridge sending frames
    QTest::addColumn<bool>("warned");
    QTest::newRow("dongle answers OK") << 0 << false;
    QTest::newRow("silent device") << 1 << true;
    QTest::newRow("UART bridge sending frames") << 2 << true;
  }
  void startupProbe() {
    QFETCH(int, mode);
    QFETCH(bool, warned);
    sim::Options o = Dongle();
    if (mode == 1) o.faults.silent = true;
    if (mode == 2) o.mode = sim::LinkMode::Bridge;
    SimRig rig(o);
    QVERIFY(rig.startMeter());
    QElapsedTimer clock;
    clock.start();
    rig.link.start();
    rig.link.startupProbe();
    QVERIFY(rig.link.probing());
    QTRY_VERIFY_WITH_TIMEOUT(!rig.link.probing(), 3000);
    // Bounded, so a silent device never holds the program for long.
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    if (mode != 2) QCOMPARE(rig.texts.mid(0, 2), (QStringList{"AT", "AT"}));
    if (!warned) {
      QVERIFY(rig.log.probeFailures.isEmpty());
      QVERIFY(rig.link.portOpen());
      // The check's reopen and the poll's first reopen each close the port
      // once, with "Отключено" and "AT" to the dongle.
      QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(LinkEvent::Disconnected), 2, 3000);
      QTRY_VERIFY(rig.link.portOpen());
      QCOMPARE(rig.link.state(), LinkState::Idle);
      return;
    }
    QCOMPARE(rig.log.probeFailures, QStringList{rig.meter.portPath()});
    // The poll, running on, opens the device again later.
    QTRY_VERIFY_WITH_TIMEOUT(rig.link.portOpen(), 3000);
  }

  // A press soon after the start-up check, before the poll's first tick: the
  // port is closed and reopened on the way (with its "Отключено"), and the
  // attempt still waits behind a blank, disabled button.
  void pressRightAfterTheStartupCheck() {
    LinkTimings t = FastTimings();
    t.t3Ms = 10000;
    SimRig rig(Dongle(), t);
    MeterLink& link = rig.link;
    QVERIFY(rig.startMeter());
    link.start();
    link.startupProbe();
    QTRY_VERIFY_WITH_TIMEOUT(!link.probing(), 3000);
    QCOMPARE(rig.log.count(LinkEvent::Disconnected), 1);
    link.connectOrDisconnect();
    QCOMPARE(rig.log.count(LinkEvent::Disconnected), 2);
    QCOMPARE(link.connectCaption(), ConnectCaption::Blank);
    QVERIFY(!link.connectEnabled());
    QCOMPARE(link.state(), LinkState::Connecting);
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 2000);
    QCOMPARE(rig.connl(), 1);
  }

  // A dongle reads a text as the bytes that arrive together. Through a
  // press right after the start-up check (the port closed and reopened on the
  // way), a press after a failed attempt, a disconnect, a language switch and
  // the close, every burst the dongle gets is exactly one text it takes, and
  // every attempt has its answer rather than running into the bounded wait.
  void everyTextReachesTheDongleOnItsOwn() {
    LinkTimings t = FastTimings();
    t.t3Ms = 10000;  // no poll in between: every text here is the test's doing
    t.connectWaitMs = 5000;
    sim::Options o = Dongle();
    o.connectFailure = sim::ConnectFailure::F;
    o.connectFailures = 1;  // the first attempt is refused
    SimRig rig(o, t);
    MeterLink& link = rig.link;
    QList<QByteArray> unread;  // bursts the dongle could not take as one text
    connect(&rig.meter, &sim::SimulatedMeter::burstReceived, this, [&](const QByteArray& b, bool text) {
      if (!text) unread << b;
    });
    QVERIFY(rig.startMeter());
    link.start();
    link.startupProbe();
    QTRY_VERIFY_WITH_TIMEOUT(!link.probing(), 3000);
    QVERIFY(rig.log.probeFailures.isEmpty());

    // A press at once: refused by the dongle, but answered.
    link.connectOrDisconnect();
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.count(LinkEvent::ConnectFailed), 1, 3000);
    QCOMPARE(rig.log.count(LinkEvent::Connecting), 1);
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);
    // A press after the failed attempt connects.
    link.connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);
    // Disconnect: the dongle confirms.
    link.connectOrDisconnect();
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.wentDown, 1, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);
    // Connect again, then the language switch drops the link.
    link.connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 3000);
    link.languageChanged();
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.wentDown, 2, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);
    // Connect once more, and a press on the heels of the link's own texts:
    // the close says goodbye right after the connect request.
    link.connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 3000);
    link.shutdown();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.meter.isLinked(), 3000);

    QCOMPARE(rig.log.count(LinkEvent::ConnectTimeout), 0);
    QCOMPARE(rig.log.count(LinkEvent::Connecting), 4);
    QCOMPARE(rig.log.count(LinkEvent::Connected), 3);
    QVERIFY2(unread.isEmpty(), unread.isEmpty() ? "" : unread.first().toHex(' ').constData());
    for (const QByteArray& b : rig.meter.receivedBursts())
      QVERIFY2(b == "AT" || b == "AT+CONNL", b.toHex(' ').constData());
    QCOMPARE(rig.connl(), 4);
    QCOMPARE(rig.texts.last(), QStringLiteral("AT"));  // the close's goodbye
  }

  // With "Авто" on, the poll asks the dongle every tick until it connects;
  // the button stays disabled throughout. A second after the link is up the
  // link settles: the input is held, the meter's state sends the wake-up
  // (here the test) and Timer_TX lets frames through again.
  void autoConnectPollsUntilConnected() {
    sim::Options o = Dongle();
    o.connectFailure = sim::ConnectFailure::F;
    o.connectFailures = 2;
    SimRig rig(o);
    MeterLink& link = rig.link;
    link.setAutoConnect(true);
    QVERIFY(!link.connectEnabled());
    QElapsedTimer clock;
    clock.start();
    QList<qint64> connlAt;
    connect(&rig.meter, &sim::SimulatedMeter::textReceived, this, [&](const QByteArray& t) {
      if (t == "AT+CONNL") connlAt << clock.elapsed();
    });
    qint64 upAt = -1, settledAt = -1;
    bool heldAtSettle = false;
    connect(&link, &MeterLink::linkCameUp, this, [&] { upAt = clock.elapsed(); });
    connect(&link, &MeterLink::settled, this, [&] {
      settledAt = clock.elapsed();
      heldAtSettle = link.inputHeld();
      link.transmit(BuildSpecialCommand(kCmdWakeUp, true));
    });
    QSignalSpy commands(&rig.meter, &sim::SimulatedMeter::commandReceived);

    QVERIFY(rig.startMeter());
    link.start();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 5000);
    QVERIFY2(!rig.log.enabled.contains(true), "the button came back under automatic connection");
    QCOMPARE(rig.connl(), 3);  // two refused attempts, the third connects
    for (int i = 1; i < connlAt.size(); ++i) {
      const qint64 gap = connlAt[i] - connlAt[i - 1];
      QVERIFY2(gap > FastTimings().t3Ms / 2 && gap < FastTimings().t3Ms + 1000, qPrintable(QString::number(gap)));
    }
    QCOMPARE(link.state(), LinkState::Up);
    QCOMPARE(link.transport(), LinkTransport::Serial);
    QCOMPARE(link.connectCaption(), ConnectCaption::Disconnect);
    QCOMPARE(rig.log.count(LinkEvent::Connecting), 3);
    QCOMPARE(rig.log.count(LinkEvent::ConnectFailed), 2);
    QCOMPARE(rig.log.last(), LinkEvent::Connected);
    QVERIFY(!link.polling());

    QTRY_VERIFY_WITH_TIMEOUT(settledAt >= 0, 3000);
    const qint64 after = settledAt - upAt;
    QVERIFY2(after >= FastTimings().t4Ms * 9 / 10 && after < FastTimings().t4Ms + 1000,
             qPrintable(QString::number(after)));
    QVERIFY(heldAtSettle);
    QTRY_COMPARE_WITH_TIMEOUT(commands.size(), 1, 2000);
    QCOMPARE(commands.first().first().toByteArray(), QByteArray::fromHex("800101010a01"));
    QTRY_VERIFY(!link.inputHeld());
    QCOMPARE(rig.log.settled, 1);
    // The meter's frames come through, whole.
    QTRY_VERIFY_WITH_TIMEOUT(!rig.log.frames.isEmpty(), 3000);
    QCOMPARE(rig.log.frames.first()[17], std::uint8_t(0x0A));
  }

  // What each received burst does. A sentinel "OK" follows the bursts under
  // test, so once its line is in, everything before it has been handled.
  void bursts_data() {
    QTest::addColumn<QList<QByteArray>>("bursts");
    QTest::addColumn<bool>("held");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QList<LinkEvent>>("events");
    QTest::addColumn<bool>("up");
    const QByteArray f = FrameBytes();
    using E = QList<LinkEvent>;
    QTest::newRow("frame") << QList<QByteArray>{f} << false << 1 << E{} << false;
    QTest::newRow("17 bytes purged, next frame taken")
        << QList<QByteArray>{f.left(17), f} << false << 1 << E{} << false;
    QTest::newRow("19 bytes purged, next frame taken") << QList<QByteArray>{f + 'x', f} << false << 1 << E{} << false;
    QTest::newRow("frame while the input is held") << QList<QByteArray>{f} << true << 0 << E{} << false;
    QTest::newRow("glued texts + one byte")
        << QList<QByteArray>{kGlued + 'x'} << false << 0 << E{LinkEvent::Connected} << true;
    QTest::newRow("glued texts + one byte, held")
        << QList<QByteArray>{kGlued + 'x'} << true << 0 << E{LinkEvent::Connected} << true;
    QTest::newRow("glued texts alone") << QList<QByteArray>{kGlued} << false << 0 << E{} << false;
    QTest::newRow("OK+CONN") << QList<QByteArray>{"OK+CONN"} << false << 0 << E{LinkEvent::Connected} << true;
    QTest::newRow("OK+CONN CR LF") << QList<QByteArray>{"OK+CONN\r\n"} << false << 0 << E{LinkEvent::Connected} << true;
    QTest::newRow("OK+CONNL") << QList<QByteArray>{"OK+CONNL"} << false << 0 << E{LinkEvent::Connecting} << false;
    QTest::newRow("OK+CONNN") << QList<QByteArray>{"OK+CONNN"} << false << 0 << E{LinkEvent::NoConnection} << false;
    for (const char* t : {"OK+CONNE", "OK+CONNF", "OK+CONNEOK+CONNF"})
      QTest::newRow(t) << QList<QByteArray>{t} << false << 0 << E{LinkEvent::ConnectFailed} << false;
    QTest::newRow("OK+LOST") << QList<QByteArray>{"OK+LOST"} << false << 0 << E{LinkEvent::Disconnected} << false;
    QTest::newRow("OK") << QList<QByteArray>{"OK"} << false << 0 << E{LinkEvent::Ok} << false;
    QTest::newRow("ok in lower case: purged") << QList<QByteArray>{"ok"} << false << 0 << E{} << false;
  }
  void bursts() {
    QFETCH(QList<QByteArray>, bursts);
    QFETCH(bool, held);
    QFETCH(int, frames);
    QFETCH(QList<LinkEvent>, events);
    QFETCH(bool, up);
    SimRig rig;
    QVERIFY(rig.startOpen());
    rig.log.events.clear();
    if (held) rig.link.holdInput();
    for (const QByteArray& b : bursts) rig.meter.inject(b);
    rig.meter.inject("OK");
    QTRY_VERIFY_WITH_TIMEOUT(rig.log.events.size() > events.size(), 3000);
    QCOMPARE(rig.log.events.takeLast(), LinkEvent::Ok);
    QCOMPARE(rig.log.events, events);
    QCOMPARE(rig.log.frames.size(), frames);
    if (frames) QCOMPARE(Bytes(rig.log.frames.first()), FrameBytes());
    QCOMPARE(rig.link.linkUp(), up);
    QCOMPARE(rig.link.connectCaption(), up ? ConnectCaption::Disconnect : ConnectCaption::Connect);
    QCOMPARE(rig.link.state(), up                                                  ? LinkState::Up
                               : events == QList<LinkEvent>{LinkEvent::Connecting} ? LinkState::Connecting
                                                                                   : LinkState::Idle);
  }

  // However a connect attempt ends without a link (each failure text of the
  // dongle, or no answer at all), the button reads "connect" again and comes
  // back; a second press asks the dongle anew ("AT+CONNL", never the "AT" of a
  // disconnect), and so does the poll once "Авто" is ticked.
  void failedAttemptGivesTheButtonBack_data() {
    QTest::addColumn<int>("failure");  // sim::ConnectFailure, or -1 for a silent device
    QTest::addColumn<LinkEvent>("event");
    QTest::newRow("OK+CONNF") << int(sim::ConnectFailure::F) << LinkEvent::ConnectFailed;
    QTest::newRow("OK+CONNE") << int(sim::ConnectFailure::E) << LinkEvent::ConnectFailed;
    QTest::newRow("OK+CONNEOK+CONNF") << int(sim::ConnectFailure::EF) << LinkEvent::ConnectFailed;
    QTest::newRow("OK+CONNN") << int(sim::ConnectFailure::N) << LinkEvent::NoConnection;
    QTest::newRow("no answer at all") << -1 << LinkEvent::ConnectTimeout;
  }
  void failedAttemptGivesTheButtonBack() {
    QFETCH(int, failure);
    QFETCH(LinkEvent, event);
    const bool silent = failure < 0;
    sim::Options o = Dongle();
    if (silent)
      o.faults.silent = true;
    else
      o.connectFailure = sim::ConnectFailure(failure);
    o.connectFailures = 2;  // the dongle connects at the third attempt
    SimRig rig(o);
    MeterLink& link = rig.link;
    QVERIFY(rig.startOpen());

    for (int press = 1; press <= 2; ++press) {
      link.connectOrDisconnect();
      QCOMPARE(link.connectCaption(), ConnectCaption::Blank);
      QVERIFY(!link.connectEnabled());
      QCOMPARE(link.state(), LinkState::Connecting);
      QTRY_COMPARE_WITH_TIMEOUT(rig.connl(), press, 1000);
      QTRY_COMPARE_WITH_TIMEOUT(link.connectCaption(), ConnectCaption::Connect, 3000);
      QCOMPARE(rig.log.last(), event);
      QVERIFY(!link.linkUp());
      QCOMPARE(link.state(), LinkState::Idle);
      QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);  // T2, or at once after the wait
      if (!silent) QCOMPARE(rig.log.count(LinkEvent::Connecting), press);
    }
    QCOMPARE(rig.texts, (QStringList{"AT+CONNL", "AT+CONNL"}));
    QCOMPARE(rig.log.count(LinkEvent::ConnectTimeout), silent ? 2 : 0);

    // With "Авто" ticked the poll asks again within one period.
    const int enabledChanges = int(rig.log.enabled.size());
    link.setAutoConnect(true);
    QVERIFY(!link.connectEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(rig.connl() >= 3, 2000);
    if (!silent) {
      QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 2000);
      QCOMPARE(link.connectCaption(), ConnectCaption::Disconnect);
    } else {
      QTRY_VERIFY_WITH_TIMEOUT(rig.connl() >= 5, 3000);  // it keeps trying
    }
    QVERIFY(!rig.log.enabled.mid(enabledChanges).contains(true));
  }

  // "Отключить" asks the dongle to drop the link; it answers "OK+LOST".
  void disconnectByButton() {
    SimRig rig;
    MeterLink& link = rig.link;
    QVERIFY(rig.startOpen());
    link.connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);
    link.connectOrDisconnect();
    QCOMPARE(link.connectCaption(), ConnectCaption::Blank);
    QVERIFY(link.linkUp());  // until the dongle confirms
    QTRY_COMPARE_WITH_TIMEOUT(rig.log.wentDown, 1, 2000);
    QCOMPARE(rig.texts, (QStringList{"AT+CONNL", "AT"}));
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
    QCOMPARE(link.state(), LinkState::Idle);
    QCOMPARE(rig.log.last(), LinkEvent::Disconnected);
    QVERIFY(link.polling());
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);
  }

  // A dongle that never confirms the drop: the link is taken down after the
  // bounded wait rather than left half up behind a blank button.
  void unconfirmedDisconnectEndsAfterTheWait() {
    PtyDongle dongle;
    if (!dongle.ok()) QSKIP("no pseudo-terminals here");
    LinkRig rig;
    MeterLink& link = rig.link;
    link.start();
    QTRY_VERIFY_WITH_TIMEOUT(link.portOpen(), 3000);
    link.connectOrDisconnect();
    QByteArray got;
    QTRY_VERIFY((got += dongle.pty().received()).contains("AT+CONNL"));
    QVERIFY(dongle.pty().send("OK+CONN"));
    QTRY_VERIFY(link.linkUp());
    QTRY_VERIFY(link.connectEnabled());
    got.clear();
    QElapsedTimer clock;
    clock.start();
    link.connectOrDisconnect();
    QTRY_COMPARE((got += dongle.pty().received()), QByteArray("AT"));
    QTRY_VERIFY_WITH_TIMEOUT(!link.linkUp(), 3000);
    QVERIFY2(clock.elapsed() >= FastTimings().connectWaitMs * 9 / 10, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(rig.log.wentDown, 1);
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
  }

  // A link that goes down before it settled has nothing to wake.
  void linkDownBeforeSettling() {
    SimRig rig;
    QVERIFY(rig.startOpen());
    QSignalSpy settled(&rig.link, &MeterLink::settled);
    rig.meter.inject("OK+CONN");
    QTRY_VERIFY(rig.link.linkUp());
    rig.meter.inject("OK+LOST");
    QTRY_VERIFY(!rig.link.linkUp());
    QVERIFY(!settled.wait(3 * FastTimings().t4Ms));
    QCOMPARE(rig.log.last(), LinkEvent::Disconnected);
    QCOMPARE(rig.log.wentDown, 1);
  }

  // Unplugged while linked, with "Авто": the hang-up closes the port at once
  // (no spinning on a dead device), the link goes down, and the poll connects
  // again once the device is back under its new name.
  void unplugAndReplugWithAutoConnect() {
    SimRig rig;
    MeterLink& link = rig.link;
    link.setAutoConnect(true);
    QVERIFY(rig.startMeter());
    link.start();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 3000);
    QVERIFY(!link.polling());

    rig.meter.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!link.portOpen(), 1000);
    QCOMPARE(rig.log.wentDown, 1);
    QCOMPARE(link.state(), LinkState::NoDevice);
    QCOMPARE(link.transport(), LinkTransport::None);
    QCOMPARE(link.connectCaption(), ConnectCaption::Connect);
    QCOMPARE(rig.log.last(), LinkEvent::Disconnected);
    QVERIFY(link.polling());

    QVERIFY(rig.startMeter());
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 3000);
    QCOMPARE(link.portName(), rig.meter.portPath());
    QVERIFY(!rig.log.enabled.contains(true));
  }

  void unplugWithoutAutoConnectGivesTheButtonBack() {
    SimRig rig;
    MeterLink& link = rig.link;
    QVERIFY(rig.startOpen());
    link.connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 2000);
    rig.meter.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(link.connectCaption(), ConnectCaption::Connect, 1000);
    QTRY_VERIFY_WITH_TIMEOUT(link.connectEnabled(), 2000);
    // One press connects again once the device is back.
    QVERIFY(rig.startMeter());
    link.connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 2000);
  }

  // The poll closes the port of a device that is no longer listed, and opens
  // it again once it is.
  void pollClosesThePortOfAVanishedDevice() {
    SimRig rig;
    MeterLink& link = rig.link;
    QVERIFY(rig.startOpen());
    QVERIFY(link.serialDeviceFound());
    const QString reg = rig.meter.registrationPath();
    QVERIFY(QFile::remove(reg));
    QTRY_VERIFY_WITH_TIMEOUT(!link.portOpen(), 2000);
    QVERIFY(!link.serialDeviceFound());
    QCOMPARE(link.state(), LinkState::NoDevice);
    // Still there, so the close told it "AT" and went the ordinary way.
    QCOMPARE(rig.log.portClosing, 1);
    QTRY_COMPARE(rig.texts, QStringList{"AT"});
    QFile back(reg);
    QVERIFY(back.open(QIODevice::WriteOnly));
    back.write(rig.meter.portPath().toLocal8Bit());
    back.close();
    QTRY_VERIFY_WITH_TIMEOUT(link.portOpen(), 2000);
    QVERIFY(link.serialDeviceFound());
    QCOMPARE(link.state(), LinkState::Idle);
  }

  // A language switch drops the dongle's link and restarts the poll.
  void languageSwitchDropsTheLink() {
    SimRig rig;
    MeterLink& link = rig.link;
    QVERIFY(rig.startOpen());
    link.connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 2000);
    QVERIFY(!link.polling());
    link.languageChanged();
    QVERIFY(link.polling());
    QTRY_VERIFY_WITH_TIMEOUT(!link.linkUp(), 2000);
    QCOMPARE(rig.texts, (QStringList{"AT+CONNL", "AT"}));
    QCOMPARE(rig.log.wentDown, 1);
  }

  // Commands over the serial device: exactly six bytes, byte 4 forced to
  // 0x0A, on the port whatever else is up; nothing and false without a device.
  void commandsOnTheSerialPort() {
    SimRig rig;
    MeterLink& link = rig.link;
    QVERIFY(rig.startOpen());
    link.connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(link.linkUp(), 2000);
    QSignalSpy commands(&rig.meter, &sim::SimulatedMeter::commandReceived);
    CommandFrame c = BuildSpecialCommand(kCmdModeRd, true);
    c[4] = 0;
    QVERIFY(link.transmit(c));
    QTRY_COMPARE(commands.size(), 1);
    QCOMPARE(commands.first().first().toByteArray(), QByteArray::fromHex("820101010a01"));

    rig.meter.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!link.portOpen(), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(!link.serialDeviceFound(), 2000);
    link.holdInput();
    QVERIFY(!link.transmit(c));  // no device, no Bluetooth LE link: dropped
    QVERIFY(rig.ble.writes.isEmpty());
    QTRY_VERIFY(!link.inputHeld());  // Timer_TX still lets go
  }

  // Timer_TX keeps its schedule when another command follows: the hold ends
  // one period after the first command, not after the last.
  void holdEndsOnePeriodAfterTheFirstCommand() {
    LinkTimings t = FastTimings();
    t.txMs = 1000;
    LinkRig rig(t);
    MeterLink& link = rig.link;
    QElapsedTimer clock;
    link.holdInput();
    clock.start();
    link.transmit(BuildSpecialCommand(kCmdWakeUp, false));
    QTest::qWait(500);
    link.transmit(BuildSpecialCommand(kCmdWakeUp, false));
    QVERIFY(link.inputHeld());
    QTRY_VERIFY_WITH_TIMEOUT(!link.inputHeld(), 3000);
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
  }

  // Closing: "AT" to the dongle, the port closed, nothing runs on.
  void shutdownSaysGoodbye_data() {
    QTest::addColumn<bool>("destroy");  // else shutdown()
    QTest::newRow("shutdown") << false;
    QTest::newRow("destroyed") << true;
  }
  void shutdownSaysGoodbye() {
    QFETCH(bool, destroy);
    sim::Options o = Dongle();
    sim::SimulatedMeter meter(o);
    QStringList texts;
    connect(&meter, &sim::SimulatedMeter::textReceived, this,
            [&](const QByteArray& s) { texts << QString::fromLatin1(s); });
    QVERIFY(meter.start());
    FakeBle ble;
    zt::test::CountingLookup lookup;
    auto link = std::make_unique<MeterLink>(MeterLinkDeps{&lookup, &ble, FastTimings()});
    link->start();
    QTRY_VERIFY_WITH_TIMEOUT(link->portOpen(), 3000);
    link->connectOrDisconnect();
    QTRY_VERIFY_WITH_TIMEOUT(link->linkUp(), 2000);
    if (destroy) {
      link.reset();
    } else {
      link->shutdown();
      QVERIFY(!link->portOpen());
      QVERIFY(!link->polling());
      link->connectOrDisconnect();  // nothing happens any more
    }
    QTRY_COMPARE(texts, (QStringList{"AT+CONNL", "AT"}));
    QTRY_VERIFY(!meter.isLinked());
  }

  // A dongle whose port this user may not open: told once with the group
  // that owns it, not at every poll that tries it again.
  void portWithoutAccessIsToldOnce() {
    FileModesEnforced enforced;
    if (!enforced.ok()) QSKIP("root that cannot give up overriding file modes: a mode 000 port opens anyway");
    PtyDongle dongle;
    QVERIFY(dongle.ok());
    NoAccess locked(dongle.portPath());
    LinkRig rig;
    QSignalSpy told(&rig.link, &MeterLink::portAccessDenied);
    QSignalSpy failedOpens(&rig.link, &MeterLink::portError);
    rig.link.start();
    QTRY_VERIFY_WITH_TIMEOUT(failedOpens.size() >= 4, 5000);
    QCOMPARE(told.size(), 1);
    QCOMPARE(told.first().at(0).toString(), dongle.portPath());
    QCOMPARE(told.first().at(1).toString(), QFileInfo(dongle.portPath()).group());
    QVERIFY(!rig.link.portOpen());
  }

  void autoConnectBox() {
    LinkRig rig;
    MeterLink& link = rig.link;
    QSignalSpy changed(&link, &MeterLink::autoConnectChanged);
    QVERIFY(link.connectEnabled());
    link.setAutoConnect(true);
    QVERIFY(!link.connectEnabled());
    link.setAutoConnect(true);
    QCOMPARE(changed.size(), 1);
    link.setAutoConnect(false);
    QVERIFY(link.connectEnabled());
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.last().first().toBool(), false);
  }
};

#include "test_meter_link_serial.moc"

int RunMeterLinkSerialTests(int argc, char** argv) {
  MeterLinkSerialTest t;
  return QTest::qExec(&t, argc, argv);
}
