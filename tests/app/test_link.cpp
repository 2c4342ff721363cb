// The serial link and the link manager in the window, over real
// pseudo-terminals against the simulated meter.
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include "file_modes.h"
#include "pty_pair.h"
#include "simulated_meter.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::WindowFixture;

namespace {

const QByteArray kWakeUp("\x80\x01\x01\x01\x0A\x01", 6);
const QByteArray kGlued("OK+CONNLOK+CONN\r\n");

// A frame from a ZT42 in the RLC mode with a plain checksum.
QByteArray Zt42Frame() {
  Frame f{};
  f[3] = 0x3F;
  f[15] = std::uint8_t(1 | (kZT42 << 3) | 0x40);
  f[17] = kFrameTerminator;
  f[16] = FrameSum(f);
  return QByteArray(reinterpret_cast<const char*>(f.data()), int(f.size()));
}

// The window with its data folder, an empty 1.dat in it, and a simulated
// meter registered there.
struct Rig {
  WindowFixture fx;
  TForm1& form = *fx.form;
  sim::SimulatedMeter meter;

  explicit Rig(sim::Options o) : meter(o) {
    QDir().mkpath(fx.dataDir.path());
    QFile dat(QDir(fx.dataDir.path()).filePath("1.dat"));
    dat.open(QIODevice::WriteOnly);
  }

  bool startMeter() {
    QString why;
    const bool ok = meter.start(&why);
    if (!ok) qWarning("simulator: %s", qPrintable(why));
    return ok;
  }
  QStringList memo() const { return form.Memo1->toPlainText().split('\n', Qt::SkipEmptyParts); }
  bool probing() const { return form.m_modemProbe->isRunning(); }
};

sim::Options Dongle() {
  sim::Options o;
  o.mode = sim::LinkMode::Dongle;
  return o;
}

}  // namespace

class TestLink : public QObject {
  Q_OBJECT

 private slots:
  void startupProbe_data() {
    QTest::addColumn<int>("mode");  // 0 answering dongle, 1 silent dongle, 2 bridge with frames
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
    Rig rig(o);
    QVERIFY(rig.startMeter());
    QElapsedTimer clock;
    clock.start();
    rig.form.show();
    QVERIFY(rig.probing());
    QTRY_VERIFY_WITH_TIMEOUT(!rig.probing(), 2000);
    // Bounded, so a silent device never holds the window for long.
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    const auto& msgs = rig.fx.prompts.messages;
    if (!warned) {
      QVERIFY(msgs.isEmpty());
      QVERIFY(rig.form.comPort->isOpen());
      return;
    }
    QCOMPARE(msgs.size(), 1);
    QCOMPARE(msgs.first().caption, QStringLiteral("Test"));
    QCOMPARE(msgs.first().text, QStringLiteral("No modem responding on ") + rig.meter.portPath());
    QVERIFY(!rig.form.comPort->isOpen());
  }

  void autoConnectPollsUntilConnected() {
    sim::Options o = Dongle();
    o.connectFailure = sim::ConnectFailure::F;
    o.connectFailures = 2;
    Rig rig(o);
    TForm1& f = rig.form;
    f.CheckBox_connect_auto->setChecked(true);
    QVERIFY(!f.B2->isEnabled());

    QList<qint64> connlAt;
    QList<qint64> wakeAt;
    QElapsedTimer clock;
    clock.start();
    connect(&rig.meter, &sim::SimulatedMeter::textReceived, this, [&](const QByteArray& t) {
      if (t == "AT+CONNL") connlAt << clock.elapsed();
    });
    connect(&rig.meter, &sim::SimulatedMeter::commandReceived, this, [&](const QByteArray& c) {
      if (c == kWakeUp) wakeAt << clock.elapsed();
    });
    bool b2EverEnabled = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] { b2EverEnabled |= f.B2->isEnabled(); });
    watch.start(10);

    QVERIFY(rig.startMeter());
    f.show();
    QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(1), 12000);
    const qint64 upAt = clock.elapsed();
    watch.stop();
    QVERIFY(!b2EverEnabled);
    QCOMPARE(connlAt.size(), 3);  // two refused attempts, the third connects
    for (int i = 1; i < connlAt.size(); ++i) {
      const qint64 gap = connlAt[i] - connlAt[i - 1];
      QVERIFY2(gap > 2200 && gap < 2900, qPrintable(QString::number(gap)));
    }
    QCOMPARE(f.B2->text(), QStringLiteral("Отключить"));
    QVERIFY(rig.memo().contains(QStringLiteral("Подключаемся...")));
    QVERIFY(rig.memo().contains(QStringLiteral("Подключено")));
    QVERIFY(!f.T3->isActive());

    // About a second later the meter is woken (brightness button down: 0x80).
    QTRY_VERIFY_WITH_TIMEOUT(!wakeAt.isEmpty(), 3000);
    const qint64 after = wakeAt.first() - upAt;
    QVERIFY2(after > 800 && after < 1600, qPrintable(QString::number(after)));
    QVERIFY(!f.LangCombo1->isVisible());
    QVERIFY(f.SP5->isVisible());
    // The meter's frames reach the frame routine: it takes their display mode.
    QTRY_COMPARE_WITH_TIMEOUT(f.DisplayMode, std::uint8_t(1), 4000);
    QVERIFY(f.T33->isActive());
  }

  void bursts_data() {
    QTest::addColumn<QList<QByteArray>>("bursts");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("model");  // MeterModel afterwards
    QTest::addColumn<bool>("linkUp");
    QTest::addColumn<QString>("memo");  // last memo line afterwards
    const QByteArray frame = Zt42Frame();
    QTest::newRow("frame") << QList<QByteArray>{frame} << false << 2 << false << QString();
    QTest::newRow("17 bytes purged, next frame taken")
        << QList<QByteArray>{frame.left(17), frame} << false << 2 << false << QString();
    QTest::newRow("19 bytes purged, next frame taken")
        << QList<QByteArray>{frame + 'x', frame} << false << 2 << false << QString();
    QTest::newRow("frame while a change is in flight") << QList<QByteArray>{frame} << true << 0 << false << QString();
    QTest::newRow("glued texts + one byte")
        << QList<QByteArray>{kGlued + 'x'} << false << 0 << true << QStringLiteral("Подключено");
    QTest::newRow("glued texts alone") << QList<QByteArray>{kGlued} << false << 0 << false << QString();
    QTest::newRow("no connection") << QList<QByteArray>{"OK+CONNN"} << false << 0 << false
                                   << QStringLiteral("NN Нет подключения");
    QTest::newRow("connecting") << QList<QByteArray>{"OK+CONNL"} << false << 0 << false
                                << QStringLiteral("Подключаемся...");
    QTest::newRow("OK") << QList<QByteArray>{"OK"} << false << 0 << false << QStringLiteral("OK");
  }

  void bursts() {
    QFETCH(QList<QByteArray>, bursts);
    QFETCH(bool, busy);
    QFETCH(int, model);
    QFETCH(bool, linkUp);
    QFETCH(QString, memo);
    Rig rig(Dongle());
    TForm1& f = rig.form;
    QVERIFY(rig.startMeter());
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.probing(), 2000);
    // The poll's reopen would add its own lines ("Отключено", the dongle's
    // "OK"); keep it out of the way of the bursts under test.
    f.T3->stop();
    QCOMPARE(f.MeterModel, std::uint8_t(kZT40));
    const QStringList before = rig.memo();
    f.SettingsBusy = busy ? 1 : 0;

    QSignalSpy written(&rig.meter, &sim::SimulatedMeter::burstWritten);
    for (const QByteArray& b : bursts) rig.meter.inject(b);
    QTRY_COMPARE_WITH_TIMEOUT(written.size(), bursts.size(), 4000);
    QTest::qWait(100);  // burst gap + handling

    QCOMPARE(int(f.MeterModel), model);
    QCOMPARE(f.LinkUp, std::uint8_t(linkUp ? 1 : 0));
    QCOMPARE(f.B2->text(), linkUp ? QStringLiteral("Отключить") : QStringLiteral("Подключить"));
    const QStringList after = rig.memo();
    if (memo.isEmpty())
      QCOMPARE(after, before);
    else
      QCOMPARE(after.last(), memo);
  }

  void failedConnectGivesTheButtonBack() {
    Rig rig(Dongle());
    TForm1& f = rig.form;
    QVERIFY(rig.startMeter());
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.probing(), 2000);
    f.B2->setEnabled(false);
    rig.meter.inject("OK+CONNN");
    QTRY_VERIFY_WITH_TIMEOUT(f.T2->isActive(), 1000);
    QVERIFY(!f.B2->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);  // T2, manual mode
  }

  // However a connect attempt ends without a link (each failure text of the
  // dongle, or no answer at all), the button works again: a second press asks
  // anew, and so does the auto-connect poll.
  void buttonWorksAfterAFailedAttempt_data() {
    QTest::addColumn<QString>("device");
    // The line the failed attempt leaves: a prefix and a connection lexicon item.
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("item");
    QTest::newRow("OK+CONNF") << "F" << QString() << 2;  // "Подключаемся...", nothing after it
    QTest::newRow("OK+CONNE") << "E" << QString() << 2;
    QTest::newRow("OK+CONNEOK+CONNF") << "EF" << QString() << 2;
    QTest::newRow("OK+CONNN") << "N" << QStringLiteral("NN ") << 3;
    QTest::newRow("silent device") << "silent" << QString() << 9;  // no answer
  }
  void buttonWorksAfterAFailedAttempt() {
    QFETCH(QString, device);
    QFETCH(QString, prefix);
    QFETCH(int, item);
    const bool answers = device.size() <= 2;
    sim::Options o = Dongle();
    if (device == u"F") o.connectFailure = sim::ConnectFailure::F;
    if (device == u"E") o.connectFailure = sim::ConnectFailure::E;
    if (device == u"EF") o.connectFailure = sim::ConnectFailure::EF;
    if (device == u"N") o.connectFailure = sim::ConnectFailure::N;
    if (device == u"silent") o.faults.silent = true;
    o.connectFailures = 2;  // a dongle connects at the third attempt
    Rig rig(o);
    TForm1& f = rig.form;
    int connl = 0;
    connect(&rig.meter, &sim::SimulatedMeter::textReceived, this, [&](const QByteArray& t) {
      if (t == "AT+CONNL") ++connl;
    });
    QVERIFY(rig.startMeter());
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.probing(), 2000);
    // The poll's first tick reopens the port the start-up check left; run it
    // now so that it does not fall in the middle of an attempt.
    f.T3Timer();
    QVERIFY(f.comPort->isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);
    const Lexicon& c = f.lex().Dlang_connect;
    const QString idle = c[0];
    const QString memo = prefix + c[item];

    for (int press = 1; press <= 2; ++press) {
      if (press > 1) QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);  // T2, or at once after the wait
      QTest::mouseClick(f.B2, Qt::LeftButton);
      QTRY_COMPARE_WITH_TIMEOUT(connl, press, 1000);
      QCOMPARE(f.B2->text(), QStringLiteral(" "));
      // A silent device gets a bounded wait; a refusal ends the attempt at once.
      QTRY_COMPARE_WITH_TIMEOUT(f.B2->text(), idle, answers ? 2000 : 8000);
      QCOMPARE(f.LinkUp, std::uint8_t(0));
      QCOMPARE(rig.memo().last(), memo);
    }
    QCOMPARE(rig.memo().count(c[9]), answers ? 0 : 2);

    // With "Авто" ticked the poll asks again within one period.
    f.CheckBox_connect_auto->setChecked(true);
    QVERIFY(!f.B2->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(connl, 3, 4000);
    if (answers) {
      QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(1), 2000);
      QCOMPARE(f.B2->text(), c[1]);
    }
    QVERIFY(!f.B2->isEnabled());
  }

  // "Отключить" asks the dongle to drop its link; a dongle that never says
  // "OK+LOST" (here an idle one, which only answers "OK") must not leave the
  // button blank for good.
  void unconfirmedDisconnectEnds() {
    Rig rig(Dongle());
    TForm1& f = rig.form;
    QVERIFY(rig.startMeter());
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.probing(), 2000);
    f.T3Timer();  // the poll's reopen of the checked port, done now
    rig.meter.inject("OK+CONN");
    QTRY_COMPARE(f.LinkUp, std::uint8_t(1));
    const Lexicon& c = f.lex().Dlang_connect;
    QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);
    QTest::mouseClick(f.B2, Qt::LeftButton);
    QCOMPARE(f.B2->text(), QStringLiteral(" "));
    QTRY_COMPARE_WITH_TIMEOUT(rig.memo().last(), QStringLiteral("OK"), 1000);
    QCOMPARE(f.LinkUp, std::uint8_t(1));
    QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(0), 8000);
    QCOMPARE(f.B2->text(), c[0]);
    QCOMPARE(rig.memo().last(), c[5]);
    QVERIFY(f.T3->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);
  }

  void linkDownStopsTheWakeUp() {
    Rig rig(Dongle());
    TForm1& f = rig.form;
    QVERIFY(rig.startMeter());
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.probing(), 2000);
    QSignalSpy commands(&rig.meter, &sim::SimulatedMeter::commandReceived);
    rig.meter.inject("OK+CONN");
    QTRY_COMPARE(f.LinkUp, std::uint8_t(1));
    QVERIFY(f.T4->isActive());
    rig.meter.inject("OK+LOST");
    QTRY_COMPARE(f.LinkUp, std::uint8_t(0));
    QVERIFY(!f.T4->isActive());
    QVERIFY(!f.T34->isActive());
    QTest::qWait(1500);
    QCOMPARE(commands.size(), 0);
    QVERIFY(f.LangCombo1->isVisibleTo(&f));
    QCOMPARE(rig.memo().last(), QStringLiteral("Отключено"));
  }

  void unplugAndReplugWithAutoConnect() {
    Rig rig(Dongle());
    TForm1& f = rig.form;
    f.CheckBox_connect_auto->setChecked(true);
    QVERIFY(rig.startMeter());
    f.show();
    QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(1), 8000);
    QVERIFY(!f.T3->isActive());

    rig.meter.unplug();
    // The hang-up closes the port at once (no busy loop on a dead device) and
    // brings the link down, so the poll runs again.
    QTRY_VERIFY_WITH_TIMEOUT(!f.comPort->isOpen(), 1000);
    QCOMPARE(f.LinkUp, std::uint8_t(0));
    QCOMPARE(f.B2->text(), QStringLiteral("Подключить"));
    QCOMPARE(rig.memo().last(), QStringLiteral("Отключено"));
    QVERIFY(f.T3->isActive());

    // Plugged back in (a new terminal): found, opened and connected again.
    QVERIFY(rig.startMeter());
    QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(1), 8000);
    QVERIFY(f.comPort->isOpen());
    QCOMPARE(f.comPort->portName(), rig.meter.portPath());
  }

  void unplugWithoutAutoConnectReenablesTheButton() {
    Rig rig(Dongle());
    TForm1& f = rig.form;
    QVERIFY(rig.startMeter());
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.probing(), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);
    QTest::mouseClick(f.B2, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(1), 3000);
    rig.meter.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(f.B2->text(), QStringLiteral("Подключить"), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);
    // One press connects again once the device is back.
    QVERIFY(rig.startMeter());
    QTest::mouseClick(f.B2, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(1), 3000);
  }

  void pollClosesThePortOfAVanishedDevice() {
    Rig rig(Dongle());
    TForm1& f = rig.form;
    QVERIFY(rig.startMeter());
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.probing(), 2000);
    QVERIFY(f.comPort->isOpen());
    const QString reg = rig.meter.registrationPath();
    QVERIFY(QFile::remove(reg));
    QTRY_VERIFY_WITH_TIMEOUT(!f.comPort->isOpen(), 4000);
    QCOMPARE(f.PortQueryFound, 0);
    QFile back(reg);
    QVERIFY(back.open(QIODevice::WriteOnly));
    back.write(rig.meter.portPath().toLocal8Bit());
    back.close();
    QTRY_VERIFY_WITH_TIMEOUT(f.comPort->isOpen(), 4000);
    QCOMPARE(f.PortQueryFound, 1);
  }

  // A dongle whose port this user may not open: one line in the memo with
  // the group to join, not one per poll.
  void portWithoutAccessIsReportedOnce() {
    FileModesEnforced enforced;
    if (!enforced.ok()) QSKIP("root that cannot give up overriding file modes: a mode 000 port opens anyway");
    PtyPair pty;
    QVERIFY(pty.ok());
    NoAccess locked(pty.slavePath());
    WindowFixture fx;
    const QDir ports(QDir(fx.dataDir.path()).filePath(QStringLiteral("virtual-ports")));
    QVERIFY(ports.mkpath(QStringLiteral(".")));
    QFile reg(ports.filePath(QString::fromLatin1(kDongleFriendlyName)));
    QVERIFY(reg.open(QIODevice::WriteOnly));
    reg.write(pty.slavePath().toLocal8Bit());
    reg.close();

    QSignalSpy failedOpens(fx.form->comPort, &ComPort::exception);
    fx.form->show();
    // The start-up probe, then each poll of T3, tries the port again.
    QTRY_VERIFY_WITH_TIMEOUT(failedOpens.size() >= 4, 15000);
    const QString expected =
        fx.form->lex().D4[msg::kPortNoAccess].arg(pty.slavePath(), QFileInfo(pty.slavePath()).group());
    QVERIFY(expected.contains(pty.slavePath()));
    const QStringList memo = fx.form->Memo1->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(memo.count(expected) == 1, qPrintable(memo.join(u'|')));
    QCOMPARE(fx.form->PortOpened, std::uint8_t(0));
  }

  void autoConnectBoxIsStored() {
    WindowFixture fx;
    TForm1& f = *fx.form;
    const QString dat = QDir(fx.dataDir.path()).filePath("1.dat");
    {
      QFile d(dat);
      QVERIFY(d.open(QIODevice::WriteOnly));
    }
    auto byte204 = [&] {
      QFile d(dat);
      if (!d.open(QIODevice::ReadOnly)) return -1;
      const QByteArray b = d.readAll();
      return b.size() == 205 ? int(std::uint8_t(b[204])) : -2;
    };
    f.CheckBox_connect_auto->setChecked(true);
    QVERIFY(!f.B2->isEnabled());
    QCOMPARE(byte204(), 1);
    f.CheckBox_connect_auto->setChecked(false);
    QVERIFY(f.B2->isEnabled());
    QCOMPARE(byte204(), 0);
    QVERIFY(fx.prompts.messages.isEmpty());
  }
};

QTEST_MAIN(TestLink)
#include "test_link.moc"
