// The connection controls over the meter link: what B2 and "Авто" reach,
// what the link's reports put on B2, Memo1 and the message boxes, the memo
// swap and the picker/"Выключить" exchange; and a run against the simulated
// meter from the first poll to the unplugged device. The link's own table is
// tests/link/test_meter_link_serial.cpp (and _ble.cpp).
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include "controls.h"
#include "simulated_meter.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::Control;
using zt::test::Lines;
using zt::test::WindowFixture;

namespace {

sim::Options Dongle() {
  sim::Options o;
  o.mode = sim::LinkMode::Dongle;
  o.connectDelayMs = 30;
  o.intervalCode = 3;  // a frame every 0.5 s once linked
  return o;
}

int SettingsByte(const WindowFixture& fx, int at) {
  QFile d(fx.dataDir.filePath(QStringLiteral("1.dat")));
  if (!d.open(QIODevice::ReadOnly)) return -1;
  const QByteArray b = d.readAll();
  return at < b.size() ? int(std::uint8_t(b[at])) : -2;
}

// The window and a simulated meter registered as its serial device (the
// window first: it names the data folder the meter registers in).
struct Rig {
  WindowFixture fx;
  sim::SimulatedMeter meter;
  TForm1& f = fx.window();
  explicit Rig(sim::Options o = Dongle()) : meter(o) {}
  bool startMeter() {
    QString why;
    const bool ok = meter.start(&why);
    if (!ok) qWarning("simulator: %s", qPrintable(why));
    return ok;
  }
  QPushButton* b2() const { return Control<QPushButton>(f, "B2"); }
  QStringList memo() const { return Lines(Control<QPlainTextEdit>(f, "Memo1")); }
};

}  // namespace

class TestWindowLink : public QObject {
  Q_OBJECT

 private slots:
  // With "Авто" ticked the poll connects; the wake-up swaps the picker for
  // "Выключить" and, a little later, the memo for the derived lines; frames
  // fill the panel; an unplugged device puts everything back.
  void connectedToTheSimulatedMeter() {
    Rig rig;
    const Lexicon& c = rig.fx.lex().Dlang_connect;
    QTest::mouseClick(Control(rig.f, "CheckBox_connect_auto"), Qt::LeftButton);
    QVERIFY(rig.fx.link().autoConnect());
    QCOMPARE(SettingsByte(rig.fx, 204), 1);
    QVERIFY(!rig.b2()->isEnabled());
    QVERIFY(rig.startMeter());
    rig.f.show();
    QTRY_VERIFY_WITH_TIMEOUT(rig.fx.link().linkUp(), 5000);
    QCOMPARE(rig.b2()->text(), c[1]);
    QVERIFY(rig.memo().contains(c[2]));
    QCOMPARE(rig.memo().last(), c[4]);
    QVERIFY(!Control<QPushButton>(rig.f, "SB4")->isChecked());  // measuring
    QVERIFY(!Control(rig.f, "BB1")->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(Control(rig.f, "SP5")->isVisible(), 3000);
    QVERIFY(!Control(rig.f, "LangCombo1")->isVisible());
    auto* prim = Control<QLabel>(rig.f, "L_prim_n");
    QTRY_VERIFY_WITH_TIMEOUT(!prim->text().trimmed().isEmpty(), 5000);
    QCOMPARE(prim->text(), rig.fx.meter().view().primaryReading);
    QVERIFY(Control(rig.f, "SP1")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!Control(rig.f, "Memo1")->isVisible(), 4000);  // T50
    QVERIFY(Control(rig.f, "L_righ5")->isVisible() && Control(rig.f, "L_righ6")->isVisible());

    rig.meter.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.fx.link().linkUp(), 3000);
    QCOMPARE(rig.b2()->text(), c[0]);
    QCOMPARE(rig.memo().last(), c[5]);
    QVERIFY(Control(rig.f, "Memo1")->isVisible());
    QVERIFY(!Control(rig.f, "L_righ5")->isVisible() && !Control(rig.f, "L_righ6")->isVisible());
    QVERIFY(Control(rig.f, "LangCombo1")->isVisible());
    QVERIFY(!Control(rig.f, "SP5")->isVisible());
    QVERIFY(Control<QPushButton>(rig.f, "SB4")->isChecked());
    QVERIFY(Control(rig.f, "BB1")->isEnabled());
    QVERIFY(!Control(rig.f, "SP1")->isEnabled());
  }

  // The button connects and disconnects through the link, blank and
  // disabled while a press waits for its outcome.
  void connectButton() {
    Rig rig;
    QStringList texts;
    connect(&rig.meter, &sim::SimulatedMeter::textReceived, this,
            [&](const QByteArray& t) { texts << QString::fromLatin1(t); });
    const Lexicon& c = rig.fx.lex().Dlang_connect;
    QVERIFY(rig.startMeter());
    rig.f.show();
    QTRY_VERIFY_WITH_TIMEOUT(rig.fx.link().portOpen() && !rig.fx.link().probing(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(rig.b2()->isEnabled(), 3000);
    QTest::mouseClick(rig.b2(), Qt::LeftButton);
    QCOMPARE(rig.b2()->text(), QStringLiteral(" "));
    QVERIFY(!rig.b2()->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(rig.fx.link().linkUp(), 3000);
    QCOMPARE(rig.b2()->text(), c[1]);
    QTRY_VERIFY_WITH_TIMEOUT(rig.b2()->isEnabled(), 3000);  // T2
    QTest::mouseClick(rig.b2(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.fx.link().linkUp(), 3000);
    QCOMPARE(rig.b2()->text(), c[0]);
    QCOMPARE(texts.count(QStringLiteral("AT+CONNL")), 1);
    QCOMPARE(texts.last(), QStringLiteral("AT"));
    QTRY_VERIFY_WITH_TIMEOUT(rig.b2()->isEnabled(), 3000);
  }

  // First shown, the window has the link check the dongle; a device that
  // does not answer is told in a box.
  void startupCheck() {
    sim::Options silent = Dongle();
    silent.faults.silent = true;
    Rig rig(silent);
    QVERIFY(rig.startMeter());
    rig.f.show();
    QVERIFY(rig.fx.link().probing());
    QTRY_COMPARE_WITH_TIMEOUT(rig.fx.prompts.messages.size(), 1, 3000);
    QCOMPARE(rig.fx.prompts.messages[0].caption, QStringLiteral("Test"));
    QCOMPARE(rig.fx.prompts.messages[0].text, QStringLiteral("No modem responding on ") + rig.meter.portPath());
    QCOMPARE(rig.fx.prompts.messages[0].icon, Prompts::Icon::Information);
  }

  // Each status the link reports is one line of the memo, in the language in use.
  void statusLines_data() {
    QTest::addColumn<LinkEvent>("event");
    QTest::addColumn<QString>("line");  // empty: none
    QTest::newRow("connecting") << LinkEvent::Connecting << QStringLiteral("Подключаемся...");
    QTest::newRow("no connection") << LinkEvent::NoConnection << QStringLiteral("NN Нет подключения");
    QTest::newRow("connected") << LinkEvent::Connected << QStringLiteral("Подключено");
    QTest::newRow("disconnected") << LinkEvent::Disconnected << QStringLiteral("Отключено");
    QTest::newRow("scan error") << LinkEvent::ScanError << QStringLiteral("Ошибка сканирования!!");
    QTest::newRow("OK") << LinkEvent::Ok << QStringLiteral("OK");
    QTest::newRow("no answer") << LinkEvent::ConnectTimeout << Lexicons::russian().Dlang_connect[9];
    QTest::newRow("refused") << LinkEvent::ConnectFailed << QString();
  }
  void statusLines() {
    QFETCH(LinkEvent, event);
    QFETCH(QString, line);
    WindowFixture fx;
    auto* memo = Control<QPlainTextEdit>(fx.window(), "Memo1");
    emit fx.link().linkEvent(event);
    QCOMPARE(Lines(memo), line.isEmpty() ? QStringList{} : QStringList{line});
  }

  // A port the user may not open: the line names the port and the group.
  void noAccessLine() {
    WindowFixture fx;
    emit fx.link().portAccessDenied(QStringLiteral("/dev/ttyACM0"), QStringLiteral("dialout"));
    const QStringList memo = Lines(Control<QPlainTextEdit>(fx.window(), "Memo1"));
    QCOMPARE(memo, QStringList{
                       fx.lex().D4[msg::kPortNoAccess].arg(QStringLiteral("/dev/ttyACM0"), QStringLiteral("dialout"))});
    QVERIFY(memo.first().contains(QStringLiteral("dialout")));
  }

  void connectButtonRendering_data() {
    QTest::addColumn<ConnectCaption>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("connect") << ConnectCaption::Connect << QStringLiteral("Подключить");
    QTest::newRow("disconnect") << ConnectCaption::Disconnect << QStringLiteral("Отключить");
    QTest::newRow("waiting") << ConnectCaption::Blank << QStringLiteral(" ");
  }
  void connectButtonRendering() {
    QFETCH(ConnectCaption, caption);
    QFETCH(QString, text);
    WindowFixture fx;
    auto* b2 = Control<QPushButton>(fx.window(), "B2");
    emit fx.link().connectCaptionChanged(caption);
    QCOMPARE(b2->text(), text);
    emit fx.link().connectEnabledChanged(false);
    QVERIFY(!b2->isEnabled());
    emit fx.link().connectEnabledChanged(true);
    QVERIFY(b2->isEnabled());
  }

  // The box is the link's automatic connection both ways, and 1.dat keeps it.
  void autoConnectBox() {
    WindowFixture fx;
    auto* box = Control<QCheckBox>(fx.window(), "CheckBox_connect_auto");
    auto* b2 = Control<QPushButton>(fx.window(), "B2");
    box->click();
    QVERIFY(fx.link().autoConnect());
    QVERIFY(!b2->isEnabled());
    QCOMPARE(SettingsByte(fx, 204), 1);
    box->click();
    QVERIFY(!fx.link().autoConnect());
    QVERIFY(b2->isEnabled());
    QCOMPARE(SettingsByte(fx, 204), 0);
    fx.link().setAutoConnect(true);
    QVERIFY(box->isChecked());
    QVERIFY(fx.prompts.messages.isEmpty());
  }
};

QTEST_MAIN(TestWindowLink)
#include "test_link.moc"
