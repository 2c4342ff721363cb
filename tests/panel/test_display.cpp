#include <QtTest>

#include <cmath>

#include "display.h"

using namespace zt;

namespace {

// Separator systems the texts are checked under. The comma system groups
// with a point, so a decimal/group mix-up cannot go unnoticed.
struct SeparatorSet {
  const char* name;
  Separators sep;
};
const SeparatorSet kSeparatorSets[] = {
    {"point", {QStringLiteral("."), QStringLiteral(",")}},
    {"comma", {QStringLiteral(","), QStringLiteral(".")}},
};

// Expected texts write "{.}" for the system decimal separator and "{,}" for
// the group separator; plain points are fixed design text (" 3.2В").
QString Localise(QString text, const Separators& sep) {
  return text.replace(QStringLiteral("{.}"), sep.decimal).replace(QStringLiteral("{,}"), sep.group);
}

const QString kUnchanged = QStringLiteral("<unchanged>");
QString Text(const std::optional<QString>& t) { return t ? *t : kUnchanged; }

void PutFloat(Frame& f, std::size_t at, float v) {
  const auto b = EncodeFrameFloat(v);
  std::copy(b.begin(), b.end(), f.begin() + at);
}

Frame MakeFrame(float a, float b, float c, std::uint8_t fn, std::uint8_t status) {
  Frame f{};
  PutFloat(f, frame_offset::kValueA, a);
  PutFloat(f, frame_offset::kValueB, b);
  PutFloat(f, frame_offset::kValueC, c);
  f[frame_offset::kFunction] = fn;
  f[frame_offset::kStatus] = status;
  f[frame_offset::kTerminator] = kFrameTerminator;
  f[frame_offset::kChecksum] = FrameSum(f);
  return f;
}

Frame MakeRlcFrame(float R, float X, std::array<std::uint8_t, 4> settings, std::uint8_t status) {
  Frame f = MakeFrame(R, X, 0, 0, status);
  std::copy(settings.begin(), settings.end(), f.begin() + frame_offset::kSettings1);
  f[frame_offset::kChecksum] = FrameSum(f);
  return f;
}

// Settings bytes 1-4 of an RLC frame from their fields.
std::array<std::uint8_t, 4> RlcBytes(int freq, bool series, int prim, int sec, int level, int source,
                                     bool negative = false, bool below40 = false) {
  return {std::uint8_t(freq | (series ? 0x40 : 0)), std::uint8_t(prim | (sec << 4)), std::uint8_t(level),
          std::uint8_t((negative ? 0x02 : 0) | (source << 3) | (below40 ? 0x20 : 0))};
}

QString RlcField(const RlcReading& r, const QString& name) {
  if (name == "Vt") return r.Vt;
  if (name == "Jt") return r.Jt;
  if (name == "At") return r.At;
  if (name == "Qt") return r.Qt;
  if (name == "Dt") return r.Dt;
  if (name == "Zt") return r.Zt;
  if (name == "Rt") return r.Rt;
  if (name == "Lt") return r.Lt;
  if (name == "Ct") return r.Ct;
  if (name == "primary") return Text(r.primary);
  if (name == "secondary") return Text(r.secondary);
  if (name == "serPer") return r.serPer;
  if (name == "serPer1") return r.serPer1;
  if (name == "source") return Text(r.source);
  if (name.startsWith("right")) return r.right.at(name.mid(5).toInt() - 1);
  qFatal("unknown field %s", qPrintable(name));
}

using Expect = QList<QPair<QString, QString>>;

}  // namespace

Q_DECLARE_METATYPE(Separators)
Q_DECLARE_METATYPE(Frame)
Q_DECLARE_METATYPE(Expect)

class DisplayTest : public QObject {
  Q_OBJECT
 private slots:
  void frequencyOfIndex_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("live");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("hz");
    QTest::addColumn<bool>("none");
    QTest::newRow("live 0 decides, whatever the index") << 3 << 0 << 0 << 120 << true;
    QTest::newRow("index 0 with a live frequency") << 0 << 3 << 0 << 120 << false;
    QTest::newRow("100 Hz") << 1 << 1 << 0 << 100 << false;
    QTest::newRow("1 kHz") << 3 << 5 << 2 << 1000 << false;
    QTest::newRow("item 6 on ZT41") << 6 << 6 << 1 << 250000 << false;
    QTest::newRow("item 6 on ZT40") << 6 << 6 << 0 << 20000 << false;
    QTest::newRow("item 6 on ZT42") << 6 << 6 << 2 << 20000 << false;
    QTest::newRow("90 kHz") << 13 << 13 << 0 << 90000 << false;
    QTest::newRow("150 kHz") << 14 << 14 << 0 << 150000 << false;
    QTest::newRow("unused code 15") << 15 << 15 << 0 << 50 << false;
    QTest::newRow("unused code 31") << 31 << 31 << 0 << 50 << false;
    QTest::newRow("file index beyond the codes") << 200 << 4 << 0 << 50 << false;
    QTest::newRow("negative index") << -1 << 4 << 0 << 50 << false;
  }
  void frequencyOfIndex() {
    QFETCH(int, index);
    QFETCH(int, live);
    QFETCH(int, model);
    const TestFrequency t = FrequencyOfIndex(index, std::uint8_t(live), std::uint8_t(model));
    QFETCH(int, hz);
    QFETCH(bool, none);
    QCOMPARE(t.hz, hz);
    QCOMPARE(t.none, none);
  }

  void rlcTexts_data() {
    QTest::addColumn<Separators>("sep");
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<int>("model");
    QTest::addColumn<Expect>("expect");
    for (const auto& set : kSeparatorSets) {
      auto row = [&](const char* what) -> QTestData& {
        return QTest::newRow(qPrintable(QString(set.name) + ": " + what));
      };
      // ZT40, 1 kHz, level 1, 100 ohm source, series, L primary, Q secondary.
      row("R 1 X 10 at 1 kHz") << set.sep << MakeRlcFrame(1, 10, RlcBytes(3, true, 3, 2, 1, 0), 0x01) << 0
                               << Expect{{"Vt", "91{.}3мВскз"},        {"Jt", "9{.}1мAскз"},
                                         {"At", "84{.}2900°"},         {"Qt", "10{.}000"},
                                         {"Dt", "0{.}1000"},           {"Zt", "10{.}050 Ом"},
                                         {"primary", " 1{.}5915 мГн"}, {"serPer1", "S"},
                                         {"secondary", "10{.}000"},    {"serPer", " "},
                                         {"source", "100Ом"},          {"right1", "Z 10{.}050 Ом"},
                                         {"right2", "D 0{.}1000"},     {"right3", "Q 10{.}000"},
                                         {"right4", "Ɵ 84{.}2900°"},   {"right5", "V 91{.}3мВскз"},
                                         {"right6", "J 9{.}1мAскз"}};
      row("negative inductance") << set.sep << MakeRlcFrame(1, 10, RlcBytes(3, true, 3, 3, 1, 0, true), 0x01) << 0
                                 << Expect{{"primary", "-1{.}5915 мГн"}, {"secondary", "0{.}1000"}};
      row("negative sign only in front of L and C")
          << set.sep << MakeRlcFrame(1, 10, RlcBytes(3, true, 1, 4, 1, 0, true), 0x01) << 0
          << Expect{{"primary", "1{.}000 Ом"}, {"secondary", "84{.}2900°"}};
      row("1.59 F series capacitance grouped")
          << set.sep << MakeRlcFrame(100, 0.0001f, RlcBytes(3, true, 2, 1, 1, 0), 0x01) << 0
          << Expect{{"Ct", "1{,}591{,}549 мкФ"},
                    {"primary", " 1{,}591{,}549 мкФ"},
                    {"secondary", "100{.}00 Ом"},
                    {"serPer", "S"}};
      row("parallel R = X = 1000")
          << set.sep << MakeRlcFrame(1000, 1000, RlcBytes(3, false, 1, 1, 1, 0), 0x01) << 0
          << Expect{{"primary", "2{.}0000 кОм"}, {"secondary", "2{.}0000 кОм"}, {"serPer", "P"},       {"serPer1", "P"},
                    {"Ct", "79{.}577 нФ"},       {"Vt", "0{.}930Вскз"},         {"Zt", "1{.}4142 кОм"}};
      row("Z primary has no circuit letter")
          << set.sep << MakeRlcFrame(1000, 1000, RlcBytes(3, false, 4, 1, 1, 0), 0x01) << 0
          << Expect{{"primary", "1{.}4142 кОм"}, {"serPer1", ""}, {"serPer", ""}, {"secondary", "2{.}0000 кОм"}};
      row("no test frequency, series, over range")
          << set.sep << MakeRlcFrame(2e6f, 1e7f, RlcBytes(0, true, 1, 3, 1, 0), 0x01) << 0
          << Expect{{"primary", ">1{.}000 MОм"},
                    {"Ct", "<0{.}50 мкФ"},
                    {"secondary", ""},
                    {"Zt", ""},
                    {"Dt", ""},
                    {"Qt", ""},
                    {"At", ""},
                    {"right1", ""},
                    {"right4", ""},
                    {"right6", ""}};
      row("no test frequency, Z primary is empty")
          << set.sep << MakeRlcFrame(2e6f, 1e7f, RlcBytes(0, true, 4, 4, 1, 0), 0x01) << 0
          << Expect{{"primary", ""}, {"serPer1", ""}, {"secondary", ""}};
      row("no test frequency, parallel has no fixed texts")
          << set.sep << MakeRlcFrame(2e6f, 2e6f, RlcBytes(0, false, 1, 0, 1, 0), 0x01) << 0
          << Expect{{"primary", "4{.}0000 МОм"}, {"Ct", "331{.}57 пФ"}, {"secondary", " "}};
      row("capacitance below 40 mF flag")
          << set.sep << MakeRlcFrame(100, 0.0001f, RlcBytes(3, true, 2, 0, 1, 0, false, true), 0x01) << 0
          << Expect{{"primary", " <40{.}00 мФ"}};
      row("inductance over range") << set.sep << MakeRlcFrame(1, 1e7f, RlcBytes(1, true, 3, 0, 1, 0), 0x01) << 0
                                   << Expect{{"primary", " >500 Гн"}};
      row("ZT41 1.6 k source and 0.5 V level")
          << set.sep << MakeRlcFrame(1600, 0.0001f, RlcBytes(3, true, 1, 0, 2, 1), 0x09) << 1
          << Expect{{"Vt", "0{.}250Вскз"}, {"Jt", "0{.}2мAскз"}, {"source", "1.6кОм"}};
      row("ZT42 499 ohm source, 71 mV level")
          << set.sep << MakeRlcFrame(499, 0.0001f, RlcBytes(3, true, 1, 0, 3, 1), 0x11) << 2
          << Expect{{"Vt", "35{.}5мВскз"}, {"source", "1.6кОм"}};
      row("level without a factor keeps the bare ratio")
          << set.sep << MakeRlcFrame(100, 0.0001f, RlcBytes(3, true, 1, 0, 6, 0), 0x01) << 0
          << Expect{{"Vt", "0{.}5мВскз"}};
      row("unknown source code leaves the caption")
          << set.sep << MakeRlcFrame(100, 1, RlcBytes(3, true, 1, 0, 1, 2), 0x01) << 0
          << Expect{{"source", kUnchanged}};
      row("unknown primary and secondary codes leave the readings")
          << set.sep << MakeRlcFrame(100, 1, RlcBytes(3, true, 6, 5, 1, 0), 0x01) << 0
          << Expect{{"primary", kUnchanged}, {"secondary", kUnchanged}, {"serPer", " "}};
    }
  }
  void rlcTexts() {
    QFETCH(Separators, sep);
    QFETCH(Frame, frame);
    QFETCH(int, model);
    QFETCH(Expect, expect);
    const TextEnv env{Lexicons::russian(), sep};
    const RlcReading r = ComputeRlcReading(frame, MeterSettings{}, std::uint8_t(model), env);
    QVERIFY(!r.asleep);
    QVERIFY(r.values.has_value());
    for (const auto& [field, text] : expect) QCOMPARE(RlcField(r, field), Localise(text, sep));
  }

  void rlcValues() {
    const TextEnv env{Lexicons::russian(), {}};
    struct Case {
      float R, X;
      bool series;
      double parallelR, parallelX, phase, absZ, mv;
    };
    const Case cases[] = {
        {1, 10, true, 101, 10.1, 84.2894, std::sqrt(101.0), 91.322},
        {-1, -10, true, 101, 10.1, -84.2894, std::sqrt(101.0), 91.322},
        {1000, 1000, false, 2000, 2000, 45, std::sqrt(2e6), 933.96},
    };
    for (const Case& c : cases) {
      const RlcReading r =
          ComputeRlcReading(MakeRlcFrame(c.R, c.X, RlcBytes(3, c.series, 1, 0, 1, 0), 0x01), {}, kZT40, env);
      QVERIFY(r.values);
      QCOMPARE(r.values->ReadingR, std::abs(double(c.R)));
      QCOMPARE(r.values->ReadingX, std::abs(double(c.X)));
      QVERIFY(std::abs(r.values->ParallelR - c.parallelR) < 1e-6 * c.parallelR);
      QVERIFY(std::abs(r.values->ParallelX - c.parallelX) < 1e-6 * c.parallelX);
      QVERIFY(std::abs(r.values->PhaseDeg - c.phase) < 1e-3);
      QVERIFY(std::abs(r.values->ImpedanceAbs - c.absZ) < 1e-6 * c.absZ);
      QVERIFY(std::abs(r.values->DutVoltage - c.mv) < 0.01);
    }
  }

  void rlcFrameSettings() {
    // The frame's settings replace the mirrored ones; Reserved is the logger's own.
    const TextEnv env{Lexicons::russian(), {}};
    MeterSettings before;
    before.Reserved = 9;
    before.PrimaryCode = 4;
    const Frame f = MakeRlcFrame(1, 10, {0xE3, 0x9A, 0xAB, 0x9D}, 0x01);
    const RlcReading r = ComputeRlcReading(f, before, kZT40, env);
    MeterSettings expected;
    UnpackSettings(f, expected);
    expected.Reserved = 9;
    QCOMPARE(r.settings, expected);
    QCOMPARE(r.freq.hz, 1000);
  }

  void rlcSleep_data() {
    QTest::addColumn<Separators>("sep");
    for (const auto& set : kSeparatorSets) QTest::newRow(set.name) << set.sep;
  }
  void rlcSleep() {
    QFETCH(Separators, sep);
    const TextEnv env{Lexicons::russian(), sep};
    const Frame f = MakeRlcFrame(1, 10, RlcBytes(3, true, 2, 1, 1, 0, true), 0x81);
    const RlcReading r = ComputeRlcReading(f, MeterSettings{}, kZT40, env);
    QVERIFY(r.asleep);
    QVERIFY(!r.values);  // the last reading's values stay in force
    QCOMPARE(r.settings.NegativeSign, std::uint8_t(0));
    QCOMPARE(r.settings.PrimaryCode, std::uint8_t(2));
    QCOMPARE(Text(r.primary), QStringLiteral("  "));
    QCOMPARE(Text(r.secondary), QStringLiteral(" "));
    QCOMPARE(r.Vt, QStringLiteral(" "));
    QCOMPARE(r.Jt, QString());
    for (const QString& t : r.right) QCOMPARE(t, QString());
    QCOMPARE(Text(r.source), QStringLiteral("100Ом"));
  }

  void rlcOtherLanguageSigns() {
    Lexicons other = Lexicons::russian();
    other.Dlang1.items = {"M", "k", "m", "mc", "n", "p"};
    other.Dlang3.items = {"Hz", "Vrms", "V", "Ohm", "H", "F", "rms", "p-p", "max", "min"};
    const TextEnv env{other, {}};
    const RlcReading r = ComputeRlcReading(MakeRlcFrame(2e6f, 1e7f, RlcBytes(0, true, 1, 0, 1, 1), 0x01), {}, 0, env);
    QCOMPARE(Text(r.primary), QStringLiteral(">1.000 MΩ"));
    QCOMPARE(r.Ct, QStringLiteral("<0.50 μF"));
    QCOMPARE(Text(r.source), QStringLiteral("1.6kΩ"));
  }

  void offerToLog_data() {
    QTest::addColumn<bool>("recording");
    QTest::addColumn<int>("hold");
    QTest::addColumn<bool>("offered");
    QTest::newRow("recording only") << true << 0 << true;
    QTest::newRow("hold only") << false << 1 << true;
    QTest::newRow("both") << true << 1 << false;
    QTest::newRow("neither") << false << 0 << false;
  }
  void offerToLog() {
    QFETCH(bool, recording);
    QFETCH(int, hold);
    QFETCH(bool, offered);
    QCOMPARE(OfferReadingToLog(recording, std::uint8_t(hold)), offered);
  }

  void rdTexts_data() {
    QTest::addColumn<Separators>("sep");
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<Expect>("expect");
    for (const auto& set : kSeparatorSets) {
      auto row = [&](const char* what) -> QTestData& {
        return QTest::newRow(qPrintable(QString(set.name) + ": " + what));
      };
      row("diode 3.2 V range") << set.sep << MakeFrame(652.3f, 1000, 0, 0x20, 0x02)
                               << Expect{{"main", "  V=0{.}652 В"},  {"letter", "I"},  {"subscript", "п"},
                                         {"current", "=1{.}000 мA"}, {"picture", "0"}, {"voltage", " 3.2В"},
                                         {"function", "D"},          {"auto", " "},    {"second", " "}};
      row("diode, small current hides the line")
          << set.sep << MakeFrame(652.3f, 150, 0, 0x21, 0x02)
          << Expect{{"letter", " "}, {"subscript", " "}, {"current", " "}, {"picture", "1"}};
      row("diode, automatic range") << set.sep << MakeFrame(-400, 5, 0, 0x00, 0x02)
                                    << Expect{{"main", "  V=0{.}400 В"},
                                              {"voltage", "A3.2В"},
                                              {"auto", "A"},
                                              {"subscript", "о"},
                                              {"current", "=5{.}000 мкA"}};
      row("open junction") << set.sep << MakeFrame(1, 500, 0, 0x23, 0x02)
                           << Expect{{"main", "ПН"}, {"picture", "1"}, {"function", "D"}, {"voltage", " 3.2В"}};
      row("open junction, even function") << set.sep << MakeFrame(1, 500, 0, 0x24, 0x02) << Expect{{"picture", "0"}};
      row("resistance, automatic") << set.sep << MakeFrame(4700, 100, 0, 0x02, 0x02)
                                   << Expect{{"main", "4{.}7000 кОм"},  {"voltage", "A1.3В"}, {"auto", "A"},
                                             {"function", "R"},         {"picture", "2"},     {"subscript", "о"},
                                             {"current", "=0{.}100 мA"}};
      row("resistance, 1.3 V with second current") << set.sep << MakeFrame(-12, 2500, -7.5f, 0x52, 0x02)
                                                   << Expect{{"main", "12{.}000 Ом"},
                                                             {"voltage", " 1.3В"},
                                                             {"subscript", "п"},
                                                             {"second", "Iп=7{.}500 мкA"},
                                                             {"current", "=2{.}500 мA"}};
      row("resistance, 0.1 V over range")
          << set.sep << MakeFrame(3e7f, 1, 0, 0x62, 0x02) << Expect{{"main", ">20{.}00 МОм"}, {"voltage", " 0.1В"}};
      row("resistance, unknown range keeps the voltage")
          << set.sep << MakeFrame(100, 1, 0, 0xE2, 0x02) << Expect{{"voltage", kUnchanged}, {"function", "R"}};
      row("sleep") << set.sep << MakeFrame(100, 1, 0, 0x02, 0x82)
                   << Expect{{"main", ""},         {"letter", " "},         {"subscript", " "},
                             {"current", " "},     {"picture", kUnchanged}, {"voltage", kUnchanged},
                             {"auto", kUnchanged}, {"second", kUnchanged},  {"function", kUnchanged}};
    }
  }
  void rdTexts() {
    QFETCH(Separators, sep);
    QFETCH(Frame, frame);
    QFETCH(Expect, expect);
    const RdReading r = ComputeRdReading(frame, TextEnv{Lexicons::russian(), sep});
    for (const auto& [field, text] : expect) {
      QString got;
      if (field == "main")
        got = r.main;
      else if (field == "letter")
        got = r.letter;
      else if (field == "subscript")
        got = r.subscript;
      else if (field == "current")
        got = r.current;
      else if (field == "picture")
        got = r.picture ? QString::number(*r.picture) : kUnchanged;
      else if (field == "voltage")
        got = Text(r.voltage);
      else if (field == "function")
        got = Text(r.functionLetter);
      else if (field == "auto")
        got = Text(r.autoMark);
      else if (field == "second")
        got = Text(r.secondCurrent);
      else
        QFAIL(qPrintable("unknown field " + field));
      QCOMPARE(got, Localise(text, sep));
    }
  }

  void uTexts_data() {
    QTest::addColumn<Separators>("sep");
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
    for (const auto& set : kSeparatorSets) {
      auto row = [&](const char* what) -> QTestData& {
        return QTest::newRow(qPrintable(QString(set.name) + ": " + what));
      };
      row("millivolts rms and peak-to-peak")
          << set.sep << MakeFrame(-3.2f, 9.04f, -12.345f, 0x20, 0x03) << "V -12{.}350мВ"
          << "Vскз=3{.}2мВ"
          << "Vп-п=9{.}0мВ";
      row("volts maximum and minimum keep signs")
          << set.sep << MakeFrame(-1.5f, -2.25f, 1234.5f, 0x40, 0x03) << "V 1{,}235{.}000В"
          << "Vмак=-1{.}500В"
          << "Vмин=-2{.}250В";
      row("amperes rms") << set.sep << MakeFrame(-0.5f, 1.25f, 0.75f, 0x01, 0x03) << "I 0{.}750A"
                         << "Iскз=0{.}50A"
                         << "Iп-п=1{.}25A";
      row("milliamperes maximum and minimum") << set.sep << MakeFrame(3, -4, 2, 0x61, 0x03) << "I 2{.}000мA"
                                              << "Iмак=3{.}000мA"
                                              << "Iмин=-4{.}000мA";
      row("current with resistance") << set.sep << MakeFrame(7, -1234.5678f, 12.5f, 0xA1, 0x03) << "I=12{.}500мA"
                                     << ""
                                     << "R=1{,}235{.}0000 Ом";
      row("voltage ignores the resistance bit") << set.sep << MakeFrame(1, 2, 3, 0x80, 0x03) << "V 3{.}000В"
                                                << "Vскз=1{.}00В"
                                                << "Vп-п=2{.}00В";
      row("sleep") << set.sep << MakeFrame(1, 2, 3, 0xA1, 0x83) << "V"
                   << ""
                   << "";
    }
  }
  void uTexts() {
    QFETCH(Separators, sep);
    QFETCH(Frame, frame);
    QFETCH(QString, main);
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    const UReading u = ComputeUReading(frame, TextEnv{Lexicons::russian(), sep});
    QCOMPARE(u.main, Localise(main, sep));
    QCOMPARE(u.upper, Localise(upper, sep));
    QCOMPARE(u.lower, Localise(lower, sep));
  }
};

QTEST_GUILESS_MAIN(DisplayTest)
#include "test_display.moc"
