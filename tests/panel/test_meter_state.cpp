// The meter's state without any widget: frames in, what the panel shows and
// what goes to the meter out. The channel is a fake that records commands;
// the hold on incoming frames is read from it.
#include <QSignalSpy>
#include <QtTest>

#include <numbers>

#include "fake_channel.h"
#include "lang_man.h"
#include "meter_frames.h"
#include "panel_labels.h"
#include "meter_state.h"

using namespace zt;
using zt::test::FakeChannel;
using zt::test::MakeFrame;
using zt::test::MakeRlcFrame;
using zt::test::MakeStatusFrame;

namespace {

QString Label(const PanelView& v, const QString& name) { return zt::test::PanelLabel(v, name); }

// Another language: its own units and prefixes, and its own menu items.
const Lexicons& English() {
  static const Lexicons l = [] {
    Lexicons e = Lexicons::russian();
    e.Dlang1.items = {"M", "k", "m", "mc", "n", "p"};
    e.Dlang3.items = {"Hz", "Vrms", "V", "Ohm", "H", "F", "rms", "p-p", "max", "min"};
    e.Dlang_connect.items[7] = "Eco.";
    e.Dlang_connect.items[8] = "Sleep";
    e.D3.items[5] = "s";
    return e;
  }();
  return l;
}
QString EnglishItem(Menu m, int item, const QString& design) {
  static const QStringList freq = {"Auto", "100 Hz", "120 Hz", "1 kHz", "10 kHz", "100 kHz"};
  if (item == 0) return QStringLiteral("Auto");
  if (m == Menu::Frequency && item < freq.size()) return freq.at(item);
  return QStringLiteral("en ") + design;
}

// A meter's state on a fake channel with a link up, measuring (unless told
// otherwise), "." and "," as separators and timers that never fire by
// themselves within a test.
struct Rig {
  FakeChannel ch;
  MeterState ms;
  QList<MeterReading> readings;
  QList<QPair<int, bool>> storedModels;
  QList<WorkMode> modes;
  int panelSignals = 0;

  explicit Rig(bool measuring = true, const Lexicons* lex = &Lexicons::russian()) : ms(&ch, lex) {
    ms.setSeparators(Separators{QStringLiteral("."), QStringLiteral(",")});
    ms.setTimings({60000, 60000, 60000});
    QObject::connect(&ms, &MeterState::rlcReading, [this](const MeterReading& r) { readings.append(r); });
    QObject::connect(&ms, &MeterState::modelChanged, [this](std::uint8_t m, bool byUser) {
      storedModels.append({int(m), byUser});
    });
    QObject::connect(&ms, &MeterState::modeChanged, [this](WorkMode m) { modes.append(m); });
    QObject::connect(&ms, &MeterState::panelChanged, [this](const PanelView&) { ++panelSignals; });
    if (measuring) ms.linkUp();
    forget();
  }
  void forget() {
    ch.frames.clear();
    readings.clear();
    storedModels.clear();
    modes.clear();
    panelSignals = 0;
  }
  const PanelView& view() const { return ms.view(); }
};

// The meter last said: 1 kHz, L primary, Q secondary, series, level 1.
Frame InductorFrame(std::uint8_t status = 0x01) { return MakeRlcFrame(1, 10, {0x43, 0x23, 0x01, 0x00}, status); }

}  // namespace

Q_DECLARE_METATYPE(zt::Menu)

class MeterStateTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    qRegisterMetaType<PanelView>();
    qRegisterMetaType<MeterReading>();
    qRegisterMetaType<WorkMode>();
  }

  // As the window starts: the defaults on the panel, ZT40's menus, profile
  // editing, nothing sent and nothing held.
  void startState() {
    Rig r(false);
    const PanelView& v = r.view();
    QCOMPARE(r.ms.mode(), WorkMode::EditingProfile);
    QVERIFY(v.profileEditing && !v.recordEnabled);
    QCOMPARE(v.freq, QStringLiteral("A10кГц"));
    QCOMPARE(v.level, QStringLiteral("1.0Вскз"));
    QCOMPARE(v.primaryLetter, QStringLiteral("C"));
    QCOMPARE(v.secondaryLetter, QStringLiteral("R"));
    QCOMPARE(v.circuit + v.circuit1, QStringLiteral("AA"));
    QCOMPARE(v.menu(Menu::Frequency).items.size(), 15);
    QCOMPARE(v.menu(Menu::Level).items.size(), 4);
    QCOMPARE(v.menu(Menu::Level).selected, 1);
    QCOMPARE(v.intervalItem, 1);
    QVERIFY(v.brightness && v.sound && !v.hold && !v.sourceVisible && !v.sleepVisible);
    QCOMPARE(r.ms.testFreqHz(), 10000);
    QVERIFY(!r.ms.noDataTimerActive() && !r.ms.wakeRepeatActive());
    QVERIFY(r.ch.frames.isEmpty() && !r.ch.held);
  }

  // ---------------------------------------------------------------- frames

  void frameStatus_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("b0");
    QTest::addColumn<QString>("jp5");  // empty: hidden
    QTest::addColumn<bool>("wakeRepeat");
    QTest::addColumn<bool>("uVisible");
    QTest::addColumn<int>("modelButton");
    QTest::addColumn<bool>("brightness");
    QTest::newRow("awake ZT40") << 0x01 << 0x00 << QString() << false << true << 0 << false;
    QTest::newRow("economy") << 0x81 << 0x00 << QStringLiteral("Экон. 300сек") << false << true << 0 << false;
    QTest::newRow("sleep") << 0x81 << 0x01 << QStringLiteral("Сон 300сек") << true << true << 0 << false;
    QTest::newRow("sleep, other bits of byte 0")
        << 0x81 << 0x03 << QStringLiteral("Сон 300сек") << true << true << 0 << false;
    QTest::newRow("ZT41 hides U") << 0x09 << 0x00 << QString() << false << false << 1 << false;
    QTest::newRow("ZT42 bright") << 0x51 << 0x00 << QString() << false << true << 2 << true;
    QTest::newRow("model 5 changes no button") << 0x29 << 0x00 << QString() << false << true << 0 << false;
  }
  void frameStatus() {
    QFETCH(int, status);
    QFETCH(int, b0);
    QFETCH(QString, jp5);
    QFETCH(bool, wakeRepeat);
    QFETCH(bool, uVisible);
    QFETCH(int, modelButton);
    QFETCH(bool, brightness);
    for (bool measuring : {false, true}) {
      Rig r(measuring);
      r.ms.processFrame(MakeStatusFrame(std::uint8_t(status), std::uint8_t(b0), 0x2C, 0x01));
      const PanelView& v = r.view();
      QCOMPARE(v.sleepVisible, !jp5.isEmpty());
      if (!jp5.isEmpty()) QCOMPARE(v.sleep, jp5);
      QCOMPARE(r.ms.asleep(), !jp5.isEmpty());
      QCOMPARE(r.ms.wakeRepeatActive(), wakeRepeat);
      QCOMPARE(v.uButtonVisible, uVisible);
      QCOMPARE(v.modelButton, modelButton);
      QCOMPARE(v.brightness, brightness);
      QCOMPARE(int(r.ms.model()), (status >> 3) & 7);
      // Only a newly selected button stores the model.
      QCOMPARE(r.storedModels.size(), modelButton == 0 ? 0 : 1);
      QCOMPARE(r.ms.noDataTimerActive(), measuring);
      QVERIFY(r.ch.frames.isEmpty());
    }
  }

  void rejectedFrameChangesNothing_data() {
    QTest::addColumn<int>("change");  // 0 checksum off by one, 1 terminator 13, 2 sleep layout, 3 sum+5 variant 1
    QTest::newRow("checksum") << 0;
    QTest::newRow("terminator 13") << 1;
    QTest::newRow("sleep bits 5-6 of byte 0") << 2;
    QTest::newRow("sum plus 5, variant 1") << 3;
  }
  void rejectedFrameChangesNothing() {
    QFETCH(int, change);
    Rig r;
    r.ms.processFrame(InductorFrame());
    r.forget();
    const PanelState before = r.ms.state();
    // Would select ZT41, put the meter to sleep and show another reading.
    Frame fr = MakeRlcFrame(5, 50, {0x44, 0x12, 0x02, 0x00}, 0x89);
    switch (change) {
      case 0: fr[16] ^= 0x01; break;
      case 1:
        fr[17] = 13;
        fr[16] = FrameSum(fr);
        break;
      case 2:
        fr[0] = 0x20;
        fr[16] = FrameSum(fr);
        break;
      case 3:
        fr[13] = 0x01;
        fr[16] = std::uint8_t(FrameSum(fr) + 5);
        break;
    }
    r.ms.processFrame(fr);
    QVERIFY(r.ms.state() == before);
    QVERIFY(r.readings.isEmpty() && r.storedModels.isEmpty());
    QCOMPARE(r.panelSignals, 0);
    QVERIFY(!r.ms.wakeRepeatActive());

    // The same frame with the sum + 5 and variant 3 is taken.
    fr = MakeRlcFrame(5, 50, {0x44, 0x12, 0x02, 0x00}, 0x09);
    fr[13] = 0x03;
    fr[16] = std::uint8_t(FrameSum(fr) + 5);
    r.ms.processFrame(fr);
    QCOMPARE(int(r.ms.model()), 1);
  }

  // Frames name the model: the lists follow, the model button is selected
  // and stored once per change; models without a button change neither.
  void modelFrames_data() {
    QTest::addColumn<QList<int>>("models");  // frames in order
    QTest::addColumn<int>("freqItems");
    QTest::addColumn<int>("levelItems");
    QTest::addColumn<int>("modelButton");
    QTest::addColumn<QList<int>>("stored");
    QTest::addColumn<bool>("uVisible");
    QTest::addColumn<bool>("sourceVisible");
    QTest::newRow("ZT40") << QList<int>{0} << 15 << 4 << 0 << QList<int>{} << true << false;
    QTest::newRow("ZT41") << QList<int>{0, 1, 1} << 7 << 4 << 1 << QList<int>{1} << false << true;
    QTest::newRow("ZT42") << QList<int>{2} << 6 << 3 << 2 << QList<int>{2} << true << false;
    QTest::newRow("ZT41 then model 5 trims") << QList<int>{1, 5} << 6 << 3 << 1 << QList<int>{1} << false << true;
    QTest::newRow("model 6 then ZT40, button never left")
        << QList<int>{6, 0} << 15 << 4 << 0 << QList<int>{} << true << false;
    QTest::newRow("ZT42 then ZT40 rebuilds") << QList<int>{2, 0} << 15 << 4 << 0 << QList<int>{2, 0} << true << false;
  }
  void modelFrames() {
    QFETCH(QList<int>, models);
    QFETCH(int, freqItems);
    QFETCH(int, levelItems);
    QFETCH(int, modelButton);
    QFETCH(QList<int>, stored);
    QFETCH(bool, uVisible);
    QFETCH(bool, sourceVisible);
    Rig r;
    for (int m : models) r.ms.processFrame(MakeStatusFrame(std::uint8_t(0x01 | (m << 3))));
    const PanelView& v = r.view();
    QCOMPARE(v.menu(Menu::Frequency).items.size(), freqItems);
    QCOMPARE(v.menu(Menu::Level).items.size(), levelItems);
    QCOMPARE(v.modelButton, modelButton);
    QList<int> got;
    for (const auto& [m, byUser] : r.storedModels) {
      QVERIFY(!byUser);
      got.append(m);
    }
    QCOMPARE(got, stored);
    QCOMPARE(v.uButtonVisible, uVisible);
    QCOMPARE(v.sourceVisible, sourceVisible);
  }

  // While a profile is edited accepted frames update the model, sleep and
  // brightness, but nothing is displayed and the no-data wait goes on.
  void profileEditingHoldsThePanel() {
    Rig r(false);
    const PanelState before = r.ms.state();
    r.ms.processFrame(MakeRlcFrame(5, 50, {0x44, 0x12, 0x02, 0x00}, 0x09));
    QCOMPARE(int(r.ms.model()), 1);
    QVERIFY(!r.view().brightness);
    QVERIFY(!r.view().uButtonVisible);
    QVERIFY(!r.ms.noDataTimerActive());
    QVERIFY(r.readings.isEmpty());
    QVERIFY(r.ms.settings() == before.settings);
    QCOMPARE(r.view().primaryReading, before.view.primaryReading);
    QCOMPARE(r.view().freq, before.view.freq);
  }

  void displayModes() {
    Rig r;
    r.ms.processFrame(InductorFrame());
    QCOMPARE(r.view().display, DisplayPanel::Rlc);
    QVERIFY(r.view().holdEnabled);
    QCOMPARE(r.view().primaryReading, QStringLiteral(" 1.5915 мГн"));
    QCOMPARE(r.view().secondaryReading, QStringLiteral("10.000"));
    QCOMPARE(r.view().right[4], QStringLiteral("V 91.3мВскз"));
    QCOMPARE(r.view().circuit1, QStringLiteral("S"));
    QCOMPARE(r.ms.testFreqHz(), 1000);
    QVERIFY(std::abs(r.ms.values().PhaseDeg - 84.289) < 0.01);

    r.ms.setSeparators(Separators{QStringLiteral(","), QStringLiteral(" ")});
    r.ms.processFrame(MakeFrame(652.3f, 1000, 0, 0x20, 0x02));
    QCOMPARE(r.view().display, DisplayPanel::Rd);
    QVERIFY(!r.view().holdEnabled);
    QCOMPARE(r.view().rdMain, QStringLiteral("  V=0,652 В"));
    QCOMPARE(r.view().rdPicture, int(kPictureDiodeUp));
    r.ms.processFrame(MakeFrame(4700, 100, 0, 0x02, 0x00));  // mode bits 0: still RD
    QCOMPARE(r.view().display, DisplayPanel::Rd);
    QCOMPARE(r.view().rdPicture, int(kPictureResistor));

    r.ms.processFrame(MakeFrame(-3.2f, 9.04f, -12.345f, 0x20, 0x03));
    QCOMPARE(r.view().display, DisplayPanel::U);
    QCOMPARE(r.view().uMain, QStringLiteral("V -12,350мВ"));
    QVERIFY(r.readings.size() == 1);  // only the RLC frame is a reading

    // Asleep in RLC: blanks, the last reading's values stay, no reading.
    r.ms.setSeparators(Separators{QStringLiteral("."), QStringLiteral(",")});
    r.ms.processFrame(MakeRlcFrame(1, 10, {0x43, 0x23, 0x01, 0x02}));
    const double before = r.ms.values().ReadingX;
    r.readings.clear();
    r.ms.processFrame(MakeRlcFrame(5, 50, {0x43, 0x23, 0x01, 0x02}, 0x81));
    QCOMPARE(r.view().primaryReading, QStringLiteral("  "));
    QCOMPARE(r.view().right[0], QString());
    QCOMPARE(r.ms.values().ReadingX, before);
    QCOMPARE(r.ms.settings().NegativeSign, std::uint8_t(0));
    QVERIFY(r.readings.isEmpty());
  }

  // ---------------------------------------------------------------- readings

  void readingOfAFrame() {
    Rig r;
    r.ms.processFrame(InductorFrame());
    QCOMPARE(r.readings.size(), 1);
    const MeterReading& m = r.readings.first();
    QVERIFY(m.time.isValid());
    QCOMPARE(m.primaryLetter, QStringLiteral("L"));
    QCOMPARE(m.primaryText, QStringLiteral(" 1.5915 мГн"));
    QCOMPARE(m.secondaryLetter, QStringLiteral("Q"));
    QCOMPARE(m.secondaryText, QStringLiteral("10.000"));
    QCOMPARE(m.freqText, QStringLiteral("1кГц"));
    QCOMPARE(m.levelText, QStringLiteral("1.0Вскз"));
    QCOMPARE(m.testFreqHz, 1000);
    QCOMPARE(m.settings.CircuitSeries, std::uint8_t(1));
    QCOMPARE(m.model, std::uint8_t(kZT40));
    QCOMPARE(m.primary.kind, Quantity::Inductance);
    QCOMPARE(m.primary.unit, QStringLiteral("H"));
    QVERIFY(std::abs(m.primary.value - 10 / (2000 * std::numbers::pi)) < 1e-9);
    QCOMPARE(m.secondary.kind, Quantity::QualityFactor);
    QVERIFY(std::abs(m.secondary.value - 10) < 1e-6);
    QVERIFY(m.values == r.ms.values());
  }

  // The numbers behind the texts: signed where the panel shows a sign,
  // the limit where it shows one.
  void quantities_data() {
    QTest::addColumn<float>("R");
    QTest::addColumn<float>("X");
    QTest::addColumn<QList<int>>("settings");
    QTest::addColumn<int>("primaryKind");
    QTest::addColumn<double>("primary");  // NaN: no number
    QTest::addColumn<int>("primaryBound");
    QTest::addColumn<int>("secondaryKind");
    QTest::addColumn<double>("secondary");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const int exact = int(Bound::Exact), below = int(Bound::Below), above = int(Bound::Above);
    const int R = int(Quantity::Resistance), C = int(Quantity::Capacitance), L = int(Quantity::Inductance),
              Z = int(Quantity::Impedance), D = int(Quantity::DissipationFactor), A = int(Quantity::PhaseAngle),
              none = int(Quantity::None);
    // Settings bytes: 0x43 = 1 kHz series, 0x03 = 1 kHz parallel, 0x40 = no frequency series.
    QTest::newRow("series R, D") << 100.f << -1.f << QList<int>{0x43, 0x31, 0x01, 0x00} << R << 100.0 << exact << D
                                 << 100.0;
    QTest::newRow("parallel R, phase") << 1000.f << -1000.f << QList<int>{0x03, 0x41, 0x01, 0x00} << R << 2000.0
                                       << exact << A << -45.0;
    QTest::newRow("negative C") << 1.f << -1591.549f << QList<int>{0x43, 0x02, 0x01, 0x02} << C << -1e-7 << exact
                                << none << nan;
    QTest::newRow("C below 40 mF") << 1.f << 0.001f << QList<int>{0x43, 0x02, 0x01, 0x20} << C << 0.04 << below << none
                                   << nan;
    QTest::newRow("C below 0.5 uF, no frequency")
        << 1.f << 1e7f << QList<int>{0x40, 0x02, 0x01, 0x00} << C << 5e-7 << below << none << nan;
    QTest::newRow("L above 500 H") << 1.f << 1e7f << QList<int>{0x43, 0x03, 0x01, 0x00} << L << 500.0 << above << none
                                   << nan;
    QTest::newRow("R over range") << 3e7f << 1.f << QList<int>{0x43, 0x01, 0x01, 0x00} << R << 2e7 << above << none
                                  << nan;
    QTest::newRow("R above 1 MOhm, no frequency")
        << 2e6f << 1.f << QList<int>{0x40, 0x01, 0x01, 0x00} << R << 1e6 << above << none << nan;
    QTest::newRow("Z and Q without frequency") << 10.f << 10.f << QList<int>{0x40, 0x24, 0x01, 0x00} << Z << nan
                                               << exact << int(Quantity::QualityFactor) << nan;
    QTest::newRow("large-C choice shows no number")
        << 10.f << 10.f << QList<int>{0x43, 0x05, 0x01, 0x00} << none << nan << exact << none << nan;
  }
  void quantities() {
    QFETCH(float, R);
    QFETCH(float, X);
    QFETCH(QList<int>, settings);
    QFETCH(int, primaryKind);
    QFETCH(double, primary);
    QFETCH(int, primaryBound);
    QFETCH(int, secondaryKind);
    QFETCH(double, secondary);
    const Frame fr = MakeRlcFrame(
        R, X,
        {std::uint8_t(settings[0]), std::uint8_t(settings[1]), std::uint8_t(settings[2]), std::uint8_t(settings[3])});
    const RlcReading rr = ComputeRlcReading(fr, MeterSettings{}, kZT40, TextEnv{Lexicons::russian(), {}});
    auto same = [](double got, double want) {
      if (std::isnan(want)) return std::isnan(got);
      return std::abs(got - want) <= 1e-6 * std::abs(want);
    };
    const QuantityValue p = PrimaryQuantity(rr);
    QCOMPARE(int(p.kind), primaryKind);
    QVERIFY2(same(p.value, primary), qPrintable(QString::number(p.value)));
    QCOMPARE(int(p.bound), primaryBound);
    const QuantityValue s = SecondaryQuantity(rr);
    QCOMPARE(int(s.kind), secondaryKind);
    QVERIFY2(same(s.value, secondary), qPrintable(QString::number(s.value)));
  }

  // The recorder's verdict colours the panel of the same frame; profile
  // editing and the connect button put the normal colour back.
  void verdictColour() {
    Rig r;
    QObject::connect(&r.ms, &MeterState::rlcReading, &r.ms, [&r](const MeterReading&) { r.ms.setVerdict(2); });
    r.ms.processFrame(InductorFrame());
    QVERIFY(r.view().reject);
    QCOMPARE(r.panelSignals, 1);
    r.ms.setMode(WorkMode::EditingProfile);
    QVERIFY(!r.view().reject);
    r.ms.setVerdict(1);
    r.ms.setVerdict(0);
    QVERIFY(!r.view().reject);
  }

  // ---------------------------------------------------------------- timers

  void noDataBlanksTheReadings() {
    Rig r;
    r.ms.setTimings({40, 60000, 60000});
    QSignalSpy stale(&r.ms, &MeterState::readingsStale);
    r.ms.processFrame(InductorFrame());
    QVERIFY(r.ms.noDataTimerActive());
    QVERIFY(!r.view().primaryReading.isEmpty() && !r.view().right[5].isEmpty());
    QVERIFY(stale.wait(5000));
    const PanelView& v = r.view();
    QVERIFY(v.primaryReading.isEmpty() && v.secondaryReading.isEmpty());
    for (const QString& t : v.right) QVERIFY(t.isEmpty());
    QCOMPARE(v.freq, QStringLiteral(" 1кГц"));  // the settings stay

    // It repeats until frames come back; the sleep indicator goes too.
    r.ms.processFrame(InductorFrame(0x81));
    QVERIFY(r.view().sleepVisible);
    QVERIFY(stale.wait(5000));
    QVERIFY(!r.view().sleepVisible);
    QVERIFY(r.view().primaryReading.isEmpty());
    QVERIFY(stale.wait(5000));
  }

  // While a profile is edited frames are not displayed, so they do not
  // put off the blanking however often they come.
  void noDataWaitGoesOnWhileEditing() {
    Rig r;
    r.ms.setTimings({100, 60000, 60000});
    r.ms.processFrame(InductorFrame());
    r.ms.setMode(WorkMode::EditingProfile);
    QSignalSpy stale(&r.ms, &MeterState::readingsStale);
    QElapsedTimer clock;
    clock.start();
    while (stale.isEmpty() && clock.elapsed() < 10000) {
      r.ms.processFrame(InductorFrame());
      QTest::qWait(5);
    }
    QVERIFY(!stale.isEmpty());
  }

  // Asleep ("Сон"), the wake-up goes out again and again until an awake
  // frame arrives; the economy state needs none.
  void wakeUpsWhileAsleep() {
    Rig r;
    r.ms.setTimings({60000, 20, 60000});
    r.ms.processFrame(MakeStatusFrame(0x81, 0x00, 5, 0));  // economy
    QVERIFY(!r.ms.wakeRepeatActive());
    r.ms.processFrame(MakeStatusFrame(0xC1, 0x01, 5, 0));  // sleep, brightness on
    QVERIFY(r.ms.wakeRepeatActive());
    QTRY_VERIFY_WITH_TIMEOUT(r.ch.frames.size() >= 2, 5000);
    for (const QString& f : r.ch.sent()) QCOMPARE(f, QStringLiteral("80 01 01 01 0a 01"));
    r.ms.processFrame(MakeStatusFrame(0x01));  // awake, brightness off
    QVERIFY(!r.ms.wakeRepeatActive());
    r.ms.processFrame(MakeStatusFrame(0x81, 0x02, 5, 0));
    QTRY_VERIFY_WITH_TIMEOUT(r.ch.last() == QStringLiteral("c0 01 01 01 0a 01"), 5000);
  }

  // One second after link-up: hold the input, wake the meter, keep waking
  // it; the link going down stops that and blanks the readings.
  void linkUpAndDown() {
    Rig r(false);
    r.ms.linkUp();
    QCOMPARE(r.ms.mode(), WorkMode::Measuring);
    QCOMPARE(r.modes, QList<WorkMode>{WorkMode::Measuring});
    QVERIFY(r.ch.frames.isEmpty());  // measuring, nothing sent
    QVERIFY(r.view().recordEnabled && !r.view().profileEditing);

    r.ms.wakeUp();
    QVERIFY(r.ch.held);
    QCOMPARE(r.ch.sent(), QStringList{"80 01 01 01 0a 01"});
    QVERIFY(r.ms.wakeRepeatActive());

    r.ms.processFrame(InductorFrame());
    r.ms.linkDown();
    QVERIFY(!r.ms.wakeRepeatActive());
    QCOMPARE(r.ms.mode(), WorkMode::EditingProfile);
    QVERIFY(r.view().profileEditing && !r.view().recordEnabled);
    for (const char* l : {"L_prim_n", "L_sec_n", "L_righ1", "L_righ2", "L_righ3", "L_righ4"})
      QVERIFY2(Label(r.view(), l).isEmpty(), l);
    QVERIFY(!r.view().right[4].isEmpty() && !r.view().right[5].isEmpty());

    Rig s;
    s.ms.processFrame(InductorFrame());
    s.ms.wakeUp();
    s.ms.portClosing();
    QVERIFY(!s.ms.wakeRepeatActive());
    for (const QString& t : s.view().right) QVERIFY(t.isEmpty());
    QVERIFY(s.view().primaryReading.isEmpty() && !s.view().recordEnabled);
    s.ms.processFrame(InductorFrame());
    s.ms.portError();
    QVERIFY(s.view().right[3].isEmpty() && !s.view().right[2].isEmpty());
  }

  // ---------------------------------------------------------------- menus and buttons

  void menuChoiceSends_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<Menu>("menu");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("label");  // objectName=text
    // Defaults are 01 24 80 21 0A 01; each choice changes its own bits.
    QTest::newRow("auto frequency") << 0 << Menu::Frequency << 0 << "01 24 80 21 0a 01"
                                    << "L_freq_RLC=A10кГц";
    QTest::newRow("ZT41 frequency item 6") << 1 << Menu::Frequency << 6 << "01 06 80 21 0a 01"
                                           << "L_freq_RLC=250кГц";
    QTest::newRow("ZT40 150 kHz") << 0 << Menu::Frequency << 14 << "01 0e 80 21 0a 01"
                                  << "L_freq_RLC=150кГц";
    QTest::newRow("ZT42 level item 2") << 2 << Menu::Level << 2 << "01 24 80 22 0a 01"
                                       << "L_Level_RLC=0.1Вскз";
    QTest::newRow("ZT40 level 0.1") << 0 << Menu::Level << 3 << "01 24 80 23 0a 01"
                                    << "L_Level_RLC=0.1Вскз";
    QTest::newRow("primary R") << 0 << Menu::Primary << 1 << "01 24 81 21 0a 01"
                               << "L_Prim_RLC=R";
    QTest::newRow("secondary Q") << 0 << Menu::Secondary << 2 << "01 24 a0 21 0a 01"
                                 << "L_Sec_RLC=Q";
    QTest::newRow("series circuit") << 0 << Menu::Circuit << 2 << "01 a4 80 21 0a 01"
                                    << "L_SER_PER1=S";
    QTest::newRow("parallel circuit") << 0 << Menu::Circuit << 1 << "01 64 80 21 0a 01"
                                      << "L_SER_PER=P";
    QTest::newRow("ZT41 source 1.6 k") << 1 << Menu::Source << 2 << "01 24 80 21 0a 02"
                                       << "L_Source_RLC=1.6кОм";
    QTest::newRow("ZT41 automatic source") << 1 << Menu::Source << 0 << "01 24 80 21 0a 00"
                                           << "L_Source_RLC=A";
  }
  void menuChoiceSends() {
    QFETCH(int, model);
    QFETCH(Menu, menu);
    QFETCH(int, item);
    QFETCH(QString, command);
    QFETCH(QString, label);
    Rig r;
    r.ms.setModel(std::uint8_t(model));
    if (menu == Menu::Frequency) {
      // A frequency chosen earlier must not survive the automatic choice.
      r.ms.chooseMenuItem(Menu::Frequency, 5);
      r.ch.settle();
    }
    r.forget();
    r.ms.openMenu(menu);
    QVERIFY(r.view().menu(menu).open);
    QVERIFY(r.ch.held);
    r.ms.chooseMenuItem(menu, item);
    QCOMPARE(r.ch.sent(), QStringList{command});
    const QStringList kv = label.split('=');
    QCOMPARE(Label(r.view(), kv[0]), kv[1]);
    QCOMPARE(r.view().menu(menu).selected, item);
    QVERIFY(r.view().menu(menu).open);  // a choice does not close the menu
    QVERIFY(r.ch.held && r.ch.releaseDue);
  }

  void clickOnNoItem_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<Menu>("menu");
    QTest::addColumn<int>("item");
    QTest::newRow("no row") << 0 << Menu::Primary << -1;
    QTest::newRow("past the list") << 0 << Menu::Secondary << 4;
    QTest::newRow("ZT42 frequency item 6") << 2 << Menu::Frequency << 6;
    QTest::newRow("ZT42 level item 3") << 2 << Menu::Level << 3;
  }
  void clickOnNoItem() {
    QFETCH(int, model);
    QFETCH(Menu, menu);
    QFETCH(int, item);
    Rig r;
    r.ms.setModel(std::uint8_t(model));
    r.ms.openMenu(menu);
    r.forget();
    const PanelState before = r.ms.state();
    r.ms.chooseMenuItem(menu, item);
    QVERIFY(r.ms.state() == before);
    QVERIFY(r.ch.frames.isEmpty());
    QVERIFY(r.ch.held);  // the open menu still holds
  }

  void buttons_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("brightnessDown");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("command");  // empty: nothing sent
    QTest::newRow("defaults") << 0 << true << "SBe1"
                              << "01 24 80 21 0a 01";
    QTest::newRow("defaults, brightness up") << 0 << false << "SBe1"
                                             << "41 24 80 21 0a 01";
    QTest::newRow("RD, brightness up") << 0 << false << "Button1"
                                       << "c2 01 01 01 0a 01";
    QTest::newRow("RD, brightness down") << 0 << true << "Button1"
                                         << "82 01 01 01 0a 01";
    QTest::newRow("RLCD") << 2 << true << "Button2"
                          << "81 01 01 01 0a 01";
    QTest::newRow("U on ZT40") << 0 << true << "Button3"
                               << "83 01 01 01 0a 01";
    QTest::newRow("U on ZT42") << 2 << true << "Button3"
                               << "83 01 01 01 0a 01";
    QTest::newRow("U on ZT41") << 1 << true << "Button3"
                               << "";
    QTest::newRow("power off") << 0 << true << "SP5"
                               << "89 01 01 01 0a 01";
    QTest::newRow("sound off") << 0 << true << "SP2"
                               << "01 24 00 21 0a 01";
    QTest::newRow("hold") << 0 << true << "SP3"
                          << "01 24 80 a1 0a 01";
    QTest::newRow("brightness released") << 0 << true << "SP4"
                                         << "41 24 80 21 0a 01";
    QTest::newRow("brightness pressed") << 0 << false << "SP4"
                                        << "01 24 80 21 0a 01";
    QTest::newRow("interval 0.5 s") << 0 << true << "CB1"
                                    << "01 24 80 31 0a 01";
  }
  void buttons() {
    QFETCH(int, model);
    QFETCH(bool, brightnessDown);
    QFETCH(QString, button);
    QFETCH(QString, command);
    Rig r;
    r.ms.setModel(std::uint8_t(model));
    if (!brightnessDown) r.ms.setBrightness(false);
    if (button == "SBe1") {
      // Something other than the defaults, so the button has work to do.
      r.ms.chooseMenuItem(Menu::Frequency, 1);
      r.ms.setSound(false);
      QCOMPARE(r.view().freq, QStringLiteral("100Гц"));
    }
    r.forget();
    if (button == "SBe1") r.ms.loadDefaults();
    if (button == "Button1") r.ms.sendSpecial(kCmdModeRd);
    if (button == "Button2") r.ms.sendSpecial(kCmdModeRlc);
    if (button == "Button3") r.ms.sendSpecial(kCmdModeU);
    if (button == "SP5") r.ms.sendSpecial(kCmdPowerOff);
    if (button == "SP2") r.ms.setSound(false);
    if (button == "SP3") r.ms.setHold(true);
    if (button == "SP4") r.ms.setBrightness(!brightnessDown);
    if (button == "CB1") r.ms.chooseInterval(0);
    QCOMPARE(r.ch.sent(), command.isEmpty() ? QStringList{} : QStringList{command});
    if (button == "SBe1") {
      QCOMPARE(r.view().freq, QStringLiteral("A10кГц"));
      QVERIFY(r.view().sound);
    }
    if (button == "SP3") {
      QCOMPARE(r.ms.settings().Hold, std::uint8_t(1));
      QVERIFY(r.view().hold && !r.view().recordEnabled);
    }
    if (button == "CB1") QCOMPARE(r.view().intervalItem, 0);
  }

  void profileEditingToggle() {
    Rig r;
    r.ms.setVerdict(1);
    r.ms.setMode(WorkMode::EditingProfile);
    QVERIFY(r.ch.frames.isEmpty());
    QVERIFY(!r.view().holdEnabled && !r.view().recordEnabled && r.view().profileEditing);
    QVERIFY(!r.view().reject);
    QCOMPARE(r.modes, QList<WorkMode>{WorkMode::EditingProfile});
    // Hold released from the panel cannot enable recording while editing.
    r.ms.setHold(false);
    r.ms.loadDefaults();
    QVERIFY(!r.view().recordEnabled);
    QVERIFY(r.ch.frames.isEmpty());

    r.ms.setMode(WorkMode::Measuring);  // the meter gets the settings
    QCOMPARE(r.ch.sent(), QStringList{"01 24 80 21 0a 01"});
    QVERIFY(r.view().holdEnabled && r.view().recordEnabled && !r.view().profileEditing);

    r.ch.up = false;
    r.forget();
    r.ms.setMode(WorkMode::EditingProfile);
    r.ms.setMode(WorkMode::Measuring);
    QVERIFY(r.ch.frames.isEmpty());  // releasing sends only with a link up
  }

  void nothingSentYetPanelChanges_data() {
    QTest::addColumn<bool>("profileEditing");  // else: no link
    QTest::newRow("profile editing") << true;
    QTest::newRow("no link") << false;
  }
  void nothingSentYetPanelChanges() {
    QFETCH(bool, profileEditing);
    Rig r;
    const Frame frame = MakeRlcFrame(100, 1, {0x43, 0x01, 0x01, 0x00});  // 1 kHz, R, series
    r.ms.processFrame(frame);
    QCOMPARE(r.view().freq, QStringLiteral(" 1кГц"));
    if (profileEditing)
      r.ms.setMode(WorkMode::EditingProfile);
    else
      r.ch.up = false;
    r.forget();

    r.ms.openMenu(Menu::Frequency);
    r.ms.chooseMenuItem(Menu::Frequency, 5);
    r.ms.openMenu(Menu::Primary);
    r.ms.chooseMenuItem(Menu::Primary, 3);
    QVERIFY(r.ch.frames.isEmpty());
    QCOMPARE(r.view().freq, QStringLiteral("100кГц"));
    QCOMPARE(r.view().primaryLetter, QStringLiteral("L"));
    QCOMPARE(r.ms.settings().FreqCode, std::uint8_t(5));
    QCOMPARE(r.ms.settings().PrimaryCode, std::uint8_t(3));

    // The next displayed frame puts back what the meter reports.
    r.ch.up = true;
    r.ms.linkUp();
    r.ms.processFrame(frame);
    QCOMPARE(r.view().freq, QStringLiteral(" 1кГц"));
    QCOMPARE(r.view().primaryLetter, QStringLiteral("R"));
    QCOMPARE(r.ms.settings().FreqCode, std::uint8_t(3));
    QCOMPARE(r.view().menu(Menu::Frequency).selected, 3);
    QVERIFY(r.ch.frames.isEmpty());
  }

  // A change that goes nowhere (no link, or a profile being edited) must
  // not leave incoming frames shut out: sleep, model and brightness would
  // stop following the meter.
  void nothingSentReleasesTheHold_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("profileEditing");  // else: no link
    for (const char* a : {"sound", "brightness", "defaults", "menu pick", "interval", "profile"}) {
      QTest::addRow("%s, no link", a) << QString::fromLatin1(a) << false;
      QTest::addRow("%s, profile editing", a) << QString::fromLatin1(a) << true;
    }
    QTest::addRow("hold, no link") << "hold" << false;  // disabled while editing
    QTest::addRow("measuring again, no link") << "measuring" << false;
  }
  void nothingSentReleasesTheHold() {
    QFETCH(QString, action);
    QFETCH(bool, profileEditing);
    Rig r;
    if (profileEditing)
      r.ms.setMode(WorkMode::EditingProfile);
    else
      r.ch.up = false;
    r.ch.held = true;  // as a menu or the drop-down left it
    if (action == "sound") r.ms.setSound(false);
    if (action == "brightness") r.ms.setBrightness(false);
    if (action == "hold") r.ms.setHold(true);
    if (action == "defaults") r.ms.loadDefaults();
    if (action == "menu pick") {
      r.ms.openMenu(Menu::Level);
      r.ms.chooseMenuItem(Menu::Level, 2);
      QVERIFY(r.view().menu(Menu::Level).open);
    }
    if (action == "interval") {
      r.ms.intervalDropDown();
      r.ms.chooseInterval(2);
      r.ms.intervalClosed();
    }
    if (action == "profile") {
      MeterSettings s = r.ms.settings();
      s.FreqCode = 7;
      r.ms.applyProfileSettings(s);
      QCOMPARE(r.ms.settings().FreqCode, std::uint8_t(7));
    }
    if (action == "measuring") {
      r.ms.setMode(WorkMode::EditingProfile);
      r.ms.setMode(WorkMode::Measuring);
    }
    QVERIFY(r.ch.frames.isEmpty());
    QVERIFY(!r.ch.held);
  }

  // An earlier command still in flight keeps its short hold; once it has
  // settled a change that goes nowhere releases at once.
  void nothingSentKeepsAPendingHold_data() {
    QTest::addColumn<int>("settleMs");
    QTest::addColumn<bool>("heldAfter");
    QTest::newRow("within the settling time") << 60000 << true;
    QTest::newRow("after it") << 0 << false;
  }
  void nothingSentKeepsAPendingHold() {
    QFETCH(int, settleMs);
    QFETCH(bool, heldAfter);
    Rig r;
    r.ms.setTimings({60000, 60000, settleMs});
    r.ms.setSound(false);
    QCOMPARE(r.ch.frames.size(), 1);
    QVERIFY(r.ch.held);
    r.ch.up = false;
    r.ms.setSound(true);
    QCOMPARE(r.ch.frames.size(), 1);
    QCOMPARE(r.ch.held, heldAfter);
    r.ch.settle();
    QVERIFY(!r.ch.held);
  }

  void intervalDropDown() {
    Rig r;
    // Closed without a pick: nothing sent, frames are let in again.
    r.ms.intervalDropDown();
    QVERIFY(r.ch.held);
    r.ms.intervalClosed();
    QVERIFY(!r.ch.held);
    QVERIFY(r.ch.frames.isEmpty());
    // A pick sends the interval and keeps frames out until the send settles.
    r.ms.intervalDropDown();
    r.ms.chooseInterval(0);
    r.ms.intervalClosed();
    QCOMPARE(r.ms.settings().IntervalCode, std::uint8_t(3));
    QCOMPARE(r.ch.sent(), QStringList{"01 24 80 31 0a 01"});
    QVERIFY(r.ch.held);
    r.ch.settle();
    QVERIFY(!r.ch.held);
  }

  void menusClose() {
    Rig r;
    // Leaving the level list closes every open menu and lets frames in.
    r.ms.openMenu(Menu::Level);
    r.ms.openMenu(Menu::Secondary);
    QVERIFY(r.view().menu(Menu::Level).open && r.view().menu(Menu::Secondary).open);
    r.ms.menuListLeft(Menu::Level);
    QVERIFY(!r.view().menu(Menu::Level).open && !r.view().menu(Menu::Secondary).open);
    QVERIFY(!r.ch.held);

    // The frequency list has no leave rule; it closes when the pointer comes
    // back onto the RLC panel after having been in the list.
    r.ms.displayPanelEntered(DisplayPanel::Rlc);  // the first entry uses up the start arming
    r.ms.openMenu(Menu::Frequency);
    r.ms.menuListLeft(Menu::Frequency);
    r.ms.displayPanelEntered(DisplayPanel::Rlc);
    QVERIFY(r.view().menu(Menu::Frequency).open);
    QVERIFY(r.ch.held);
    r.ms.frequencyListEntered();
    r.ms.menuListLeft(Menu::Frequency);
    QVERIFY(r.view().menu(Menu::Frequency).open);
    r.ms.displayPanelEntered(DisplayPanel::Rlc);
    QVERIFY(!r.view().menu(Menu::Frequency).open);
    QVERIFY(!r.ch.held);
    // Disarmed again: another entry with a menu open leaves it open.
    r.ms.openMenu(Menu::Frequency);
    r.ms.displayPanelEntered(DisplayPanel::Rlc);
    QVERIFY(r.view().menu(Menu::Frequency).open);
    // The other display panels always close the menus.
    r.ms.displayPanelEntered(DisplayPanel::U);
    QVERIFY(!r.view().menu(Menu::Frequency).open);
  }

  // ---------------------------------------------------------------- model

  void modelButtonsAndSettingsFile() {
    Rig r(false);
    r.ms.setModel(kZT41);
    QCOMPARE(r.storedModels, (QList<QPair<int, bool>>{{1, true}}));
    QCOMPARE(r.view().menu(Menu::Frequency).items.size(), 7);
    QCOMPARE(r.view().modelButton, 1);
    r.forget();
    r.ms.restoreModel(kZT42);
    QCOMPARE(r.storedModels, (QList<QPair<int, bool>>{{2, false}}));
    QCOMPARE(r.view().level, QStringLiteral("0.7Вскз"));
    r.forget();
    r.ms.restoreModel(kZT42);  // its button is already selected
    QVERIFY(r.storedModels.isEmpty());
    r.ms.restoreModel(7);
    QVERIFY(r.storedModels.isEmpty());
    QCOMPARE(int(r.ms.model()), 7);
    QCOMPARE(r.view().modelButton, -1);
    QCOMPARE(r.view().menu(Menu::Level).items.size(), 3);

    // The chooser: opens until the first link, and a model closes it.
    r.ms.openModelChooser();
    QVERIFY(r.view().modelChooserOpen);
    r.ms.setModel(kZT40);
    QVERIFY(!r.view().modelChooserOpen);
    r.ms.openModelChooser();
    r.ms.closeModelChooser();
    QVERIFY(!r.view().modelChooserOpen);
    r.ms.linkUp();
    r.ms.openModelChooser();
    QVERIFY(!r.view().modelChooserOpen);
  }

  // ---------------------------------------------------------------- language

  // 1.dat read again with the model in use (profile commands re-read it):
  // the panel keeps what it shows, a level chosen while editing included.
  void sameModelReadAgainChangesNothing() {
    Rig r(false);
    r.ms.chooseMenuItem(Menu::Level, 2);
    QCOMPARE(r.view().level, QStringLiteral("0.5Вскз"));
    r.ms.openModelChooser();
    r.forget();
    r.ms.restoreModel(kZT40);
    QCOMPARE(r.view().level, QStringLiteral("0.5Вскз"));
    QVERIFY(r.view().modelChooserOpen);
    QCOMPARE(r.panelSignals, 0);
    r.ms.restoreModel(7);
    r.forget();
    r.ms.restoreModel(7);
    QCOMPARE(r.panelSignals, 0);
  }

  // The menus are built from the model and the language in use, whatever
  // they held before.
  void menusFollowModelAndLanguage_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("english");
    QTest::addColumn<QStringList>("freq");
    QTest::addColumn<QStringList>("level");
    QTest::addColumn<QString>("caption");
    const QStringList ruHead{"Автовыбор", "100 Гц", "120 Гц", "1кГц", "10кГц", "100кГц"};
    const QStringList enHead{"Auto", "100 Hz", "120 Hz", "1 kHz", "10 kHz", "100 kHz"};
    QTest::newRow("ZT40 Russian") << 0 << false << ruHead + QStringList{"20кГц", "30кГц", "40кГц", "50кГц", "60кГц",
                                                                        "70кГц", "80кГц", "90кГц", "150кГц"}
                                  << QStringList{"Автовыбор", "1.0Вскз", "0.5Вскз", "0.1Вскз"} << "1.0Вскз";
    QTest::newRow("ZT41 Russian") << 1 << false << ruHead + QStringList{"250кГц"}
                                  << QStringList{"Автовыбор", "1.0Вскз", "0.5Вскз", "0.1Вскз"} << "1.0Вскз";
    QTest::newRow("ZT42 Russian") << 2 << false << ruHead << QStringList{"Автовыбор", "0.7Вскз", "0.1Вскз"}
                                  << "0.7Вскз";
    QTest::newRow("ZT41 English") << 1 << true << enHead + QStringList{"250kHz"}
                                  << QStringList{"Auto", "1.0Vrms", "0.5Vrms", "0.1Vrms"} << "1.0Vrms";
    QTest::newRow("ZT42 English") << 2 << true << enHead << QStringList{"Auto", "0.7Vrms", "0.1Vrms"} << "0.7Vrms";
  }
  void menusFollowModelAndLanguage() {
    QFETCH(int, model);
    QFETCH(bool, english);
    QFETCH(QStringList, freq);
    QFETCH(QStringList, level);
    QFETCH(QString, caption);
    // Through every other model first, and through the other language.
    for (int before : {0, 1, 2, 5}) {
      Lexicons lex = english ? Lexicons::russian() : English();
      Rig r(false, &lex);
      if (!english) r.ms.setMenuItemTranslator(EnglishItem);
      r.ms.setModel(std::uint8_t(before));
      r.ms.setModel(std::uint8_t(model));
      // The engine switches language: same lexicons object, new content.
      lex = english ? English() : Lexicons::russian();
      r.ms.setMenuItemTranslator(english ? MenuItemTranslator(EnglishItem) : MenuItemTranslator());
      const PanelView& v = r.view();
      QCOMPARE(v.menu(Menu::Frequency).items, freq);
      QCOMPARE(v.menu(Menu::Level).items, level);
      QCOMPARE(v.level, caption);
      QCOMPARE(v.menu(Menu::Primary).items.first(), english ? QStringLiteral("Auto") : QStringLiteral("Автовыбор"));
      QCOMPARE(v.menu(Menu::Source).items.size(), 3);
    }
  }

  // The ohm sign follows the language: "Ом" only in the design language.
  void ohmSign_data() {
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("via");
    QTest::addColumn<QString>("source");
    QTest::newRow("start, Russian") << false << "start"
                                    << "100Ом";
    QTest::newRow("start, English") << true << "start"
                                    << "100Ω";
    QTest::newRow("frame, Russian") << false << "frame"
                                    << "A1.6кОм";
    QTest::newRow("frame, English") << true << "frame"
                                    << "A1.6kΩ";
    QTest::newRow("menu, English") << true << "menu"
                                   << "100Ω";
  }
  void ohmSign() {
    QFETCH(bool, english);
    QFETCH(QString, via);
    QFETCH(QString, source);
    Lexicons lex = Lexicons::russian();
    Rig r(true, &lex);
    r.ms.setModel(kZT41);
    // A language switch before anything else wrote the label.
    if (english) lex = English();
    r.ms.languageChanged();
    if (via == "frame") r.ms.processFrame(MakeRlcFrame(100, 1, {0x43, 0x01, 0x01, 0x88}, 0x09));
    if (via == "menu") r.ms.chooseMenuItem(Menu::Source, 1);
    QCOMPARE(r.view().source, source);
    QVERIFY(r.view().sourceVisible);
  }

  // With the language engine and the shipped English file: the menus take
  // the engine's items and lexicons, and follow it back to Russian.
  void shippedLanguageFile() {
    LangMan engine;
    engine.loadLanguages(QStringLiteral(ZT_LANG_DIR));
    QCOMPARE(engine.currentLanguageName(), QStringLiteral("English"));
    FakeChannel ch;
    MeterState ms(&ch, &engine.lexicons());
    ms.setMenuItemTranslator(MenuItemsOf(&engine));
    ms.setModel(kZT41);
    QCOMPARE(ms.view().menu(Menu::Frequency).items,
             (QStringList{"Auto", "100 Hz", "120 Hz", "1 kHz", "10 kHz", "100 kHz", "250kHz"}));
    QCOMPARE(ms.view().menu(Menu::Level).items, (QStringList{"Auto", "1.0Vrms", "0.5Vrms", "0.1Vrms"}));
    QCOMPARE(ms.view().menu(Menu::Source).items, (QStringList{"Auto", "100 Ω", "1.6 kΩ"}));
    QCOMPARE(ms.view().source, QStringLiteral("100Ω"));
    engine.switchTo(engine.indexOf(LangMan::designLanguageName()));
    ms.languageChanged();
    QCOMPARE(ms.view().menu(Menu::Frequency).items.last(), QStringLiteral("250кГц"));
    QCOMPARE(ms.view().menu(Menu::Source).items, MenuDesignItems(Menu::Source));
    QCOMPARE(ms.view().source, QStringLiteral("100Ом"));
  }

  // A switch draws the shown reading again in the new language without
  // waiting for a frame; a reading blanked since stays blank.
  void readingsFollowLanguage() {
    for (bool blanked : {false, true}) {
      Lexicons lex = Lexicons::russian();
      Rig r(true, &lex);
      r.ms.setModel(kZT41);
      r.ms.processFrame(MakeRlcFrame(100, 1, {0x43, 0x01, 0x01, 0x88}, 0x09));
      const PanelView russian = r.view();
      QVERIFY(russian.primaryReading.contains(QStringLiteral("Ом")));
      QVERIFY(russian.freq.contains(QStringLiteral("Гц")));
      if (blanked) r.ms.portClosing();
      lex = English();
      r.ms.languageChanged();
      const PanelView& v = r.view();
      QCOMPARE(v.primaryReading.isEmpty(), blanked);
      if (!blanked)
        QCOMPARE(v.primaryReading, QString(russian.primaryReading).replace(QStringLiteral("Ом"), QStringLiteral("Ω")));
      QVERIFY2(!v.freq.contains(QStringLiteral("Гц")) && v.freq.contains(QStringLiteral("Hz")), qPrintable(v.freq));
      QVERIFY2(v.source.contains(QStringLiteral("Ω")), qPrintable(v.source));
      lex = Lexicons::russian();
      r.ms.languageChanged();
      QCOMPARE(r.view().freq, russian.freq);
      if (!blanked) QCOMPARE(r.view().right, russian.right);
    }
  }

  void sleepTextFollowsLanguage() {
    Lexicons lex = Lexicons::russian();
    Rig r(false, &lex);
    r.ms.processFrame(MakeStatusFrame(0x81, 0x01, 120, 0));
    QCOMPARE(r.view().sleep, QStringLiteral("Сон 120сек"));
    lex = English();
    r.ms.languageChanged();
    QCOMPARE(r.view().sleep, QStringLiteral("Sleep 120s"));
  }
};

QTEST_GUILESS_MAIN(MeterStateTest)
#include "test_meter_state.moc"
