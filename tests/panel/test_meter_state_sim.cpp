// The meter's state against the simulated meter's core, the logger's
// independent peer: what the controls send must be what the meter takes,
// and the meter's next frame must show it on the panel.
#include <QtTest>

#include "meter_model.h"
#include "meter_state.h"
#include "panel_labels.h"

using namespace zt;

namespace {

// Commands reach the simulated meter at once; its release of the input hold
// is immediate, since the test hands over frames itself.
class SimChannel : public MeterChannel {
 public:
  explicit SimChannel(sim::MeterModel& m) : meter(m) {}
  sim::MeterModel& meter;
  qint64 nowMs = 1000;
  int sent = 0;
  bool held = false;
  bool linkUp() const override { return true; }
  bool inputHeld() const override { return held; }
  void holdInput() override { held = true; }
  void releaseInput() override { held = false; }
  bool transmit(const CommandFrame& frame) override {
    meter.receive(QByteArray(reinterpret_cast<const char*>(frame.data()), int(frame.size())), nowMs);
    ++sent;
    return true;
  }
};

struct Bench {
  sim::MeterModel meter;
  SimChannel ch{meter};
  MeterState ms{&ch, &Lexicons::russian()};
  explicit Bench(sim::Options o) : meter(std::move(o), 0) {
    ms.setSeparators(Separators{QStringLiteral("."), QStringLiteral(",")});
    ms.setTimings({60000, 60000, 0});
    ms.linkUp();
  }
  // The meter's next frame on the panel, a second later.
  void nextFrame(qint64 afterMs = 1000) {
    ch.nowMs += afterMs;
    meter.advance(ch.nowMs);
    const sim::FrameBytes b = meter.buildFrame(ch.nowMs);
    Frame f{};
    std::copy(b.begin(), b.end(), f.begin());
    ms.processFrame(f);
  }
};

sim::Options Bridge(sim::Model model = sim::Model::ZT40) {
  sim::Options o;
  o.mode = sim::LinkMode::Bridge;
  o.model = model;
  o.dut = QStringLiteral("C=100n,esr=0.5");
  return o;
}

}  // namespace

class MeterStateSimTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsReachTheMeter_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("label");  // objectName=text on the next frame
    QTest::newRow("frequency 100 Hz") << 0 << "freq 1"
                                      << "L_freq_RLC= 100Гц";
    QTest::newRow("frequency 1 kHz") << 0 << "freq 3"
                                     << "L_freq_RLC= 1кГц";
    QTest::newRow("ZT41 frequency 250 kHz") << 1 << "freq 6"
                                            << "L_freq_RLC= 250кГц";
    QTest::newRow("ZT42 level 0.1") << 2 << "level 2"
                                    << "L_Level_RLC= 0.1Вскз";
    QTest::newRow("primary R") << 0 << "prim 1"
                               << "L_Prim_RLC=R";
    QTest::newRow("secondary D") << 0 << "sec 3"
                                 << "L_Sec_RLC=D";
    QTest::newRow("parallel") << 0 << "circuit 1"
                              << "L_SER_PER1=P";
    QTest::newRow("ZT41 source 1.6 k") << 1 << "source 2"
                                       << "L_Source_RLC=1.6кОм";
  }
  void controlsReachTheMeter() {
    QFETCH(int, model);
    QFETCH(QString, action);
    QFETCH(QString, label);
    Bench b(Bridge(sim::Model(model)));
    b.nextFrame();
    QCOMPARE(int(b.ms.model()), model);
    const QStringList a = action.split(' ');
    const QHash<QString, Menu> menus = {{"freq", Menu::Frequency},  {"level", Menu::Level},
                                        {"prim", Menu::Primary},    {"sec", Menu::Secondary},
                                        {"circuit", Menu::Circuit}, {"source", Menu::Source}};
    if (menus.contains(a[0])) {
      b.ms.openMenu(menus.value(a[0]));
      b.ms.chooseMenuItem(menus.value(a[0]), a[1].toInt());
      b.ms.closeMenus();
    }
    QCOMPARE(b.ch.sent, 1);
    b.nextFrame();
    const QStringList kv = label.split('=');
    QCOMPARE(test::PanelLabel(b.ms.view(), kv[0]), kv[1]);
  }

  void buttonsReachTheMeter() {
    Bench b(Bridge());
    b.nextFrame();
    QVERIFY(b.ms.view().brightness == b.meter.brightness());
    b.ms.setBrightness(!b.ms.view().brightness);
    b.ms.setHold(true);
    b.ms.setSound(false);
    b.nextFrame();
    QCOMPARE(b.ms.view().brightness, b.meter.brightness());
    QVERIFY(b.ms.view().hold && !b.ms.view().recordEnabled);
    QVERIFY(!b.ms.view().sound);
    b.ms.loadDefaults();
    b.nextFrame();
    QVERIFY(!b.ms.view().hold && b.ms.view().sound);
    QVERIFY(b.ms.view().freq.startsWith(QLatin1Char('A')));
    b.ms.chooseInterval(0);  // 0.5 s
    b.nextFrame();
    QCOMPARE(b.ms.settings().IntervalCode, std::uint8_t(3));
    QCOMPARE(b.ms.view().intervalItem, 0);

    // The display modes.
    b.ms.sendSpecial(kCmdModeRd);
    b.nextFrame();
    QCOMPARE(b.ms.view().display, DisplayPanel::Rd);
    QVERIFY(!b.ms.view().rdMain.isEmpty());
    b.ms.sendSpecial(kCmdModeU);
    b.nextFrame();
    QCOMPARE(b.ms.view().display, DisplayPanel::U);
    b.ms.sendSpecial(kCmdModeRlc);
    b.nextFrame();
    QCOMPARE(b.ms.view().display, DisplayPanel::Rlc);
  }

  // A meter that has gone to sleep is woken by the repeated wake-up.
  void sleepingMeterIsWoken() {
    sim::Options o = Bridge();
    o.sleepAfterS = 1;
    Bench b(o);
    b.ms.setTimings({60000, 10, 0});
    b.ch.nowMs = 5000;  // economy after 1 s, sleep after 2 s of no activity
    b.nextFrame();
    QVERIFY(b.ms.asleep());
    QVERIFY(b.ms.view().sleepVisible);
    QVERIFY(b.ms.wakeRepeatActive());
    QTRY_VERIFY_WITH_TIMEOUT(b.ch.sent > 0, 5000);
    b.nextFrame(100);
    QVERIFY(!b.ms.asleep());
    QVERIFY(!b.ms.view().sleepVisible);
    QVERIFY(!b.ms.wakeRepeatActive());
    QVERIFY(!b.ms.view().primaryReading.trimmed().isEmpty());
  }
};

QTEST_GUILESS_MAIN(MeterStateSimTest)
#include "test_meter_state_sim.moc"
