#include <QTest>
#include <cmath>
#include <QSet>
#include <map>

#include "meter_model.h"
#include "sim_test_support.h"
#include "sim_tests.h"

using namespace zt::sim;
using simtest::U;

namespace {

Options Bridge(Model model, const QString& dut) {
  Options o;
  o.mode = LinkMode::Bridge;
  o.model = model;
  o.dut = dut;
  o.noise = 0;
  return o;
}

Model ModelOf(const QString& name) {
  return name == u"ZT41" ? Model::ZT41 : name == u"ZT42" ? Model::ZT42 : Model::ZT40;
}

// Applies "field=value,field=value" to a settings record.
void ApplyChanges(ReportedSettings& s, const QString& changes) {
  const std::map<QString, std::uint8_t ReportedSettings::*> codes = {
      {"freqCode", &ReportedSettings::freqCode},           {"primaryCode", &ReportedSettings::primaryCode},
      {"secondaryCode", &ReportedSettings::secondaryCode}, {"levelCode", &ReportedSettings::levelCode},
      {"intervalCode", &ReportedSettings::intervalCode},   {"sourceCode", &ReportedSettings::sourceCode}};
  const std::map<QString, bool ReportedSettings::*> flags = {{"freqAuto", &ReportedSettings::freqAuto},
                                                             {"circuitSeries", &ReportedSettings::circuitSeries},
                                                             {"circuitAuto", &ReportedSettings::circuitAuto},
                                                             {"primaryAuto", &ReportedSettings::primaryAuto},
                                                             {"secondaryAuto", &ReportedSettings::secondaryAuto},
                                                             {"levelAuto", &ReportedSettings::levelAuto},
                                                             {"hold", &ReportedSettings::hold},
                                                             {"sound", &ReportedSettings::sound},
                                                             {"sourceAuto", &ReportedSettings::sourceAuto},
                                                             {"negativeSign", &ReportedSettings::negativeSign},
                                                             {"below40m", &ReportedSettings::below40m}};
  for (const QString& item : changes.split(u',', Qt::SkipEmptyParts)) {
    const QString key = item.section(u'=', 0, 0);
    const int value = item.section(u'=', 1).toInt();
    if (codes.count(key))
      s.*codes.at(key) = std::uint8_t(value);
    else if (flags.count(key))
      s.*flags.at(key) = value != 0;
    else
      qFatal("unknown field %s", qPrintable(key));
  }
}

QString Describe(const ReportedSettings& s) {
  const auto b = PackSettings(s);
  return QByteArray(reinterpret_cast<const char*>(b.data()), 4).toHex(' ');
}

// The next frame the meter writes after `now`.
QByteArray NextFrame(MeterModel& m, qint64& now) {
  for (int i = 0; i < 20; ++i) {
    const auto frames = simtest::Frames(simtest::RunUntil(m, now, now + 600));
    if (!frames.isEmpty()) return frames.first();
  }
  return {};
}

}  // namespace

class MeterTest : public QObject {
  Q_OBJECT
 private slots:
  void framesAtTheInterval_data() {
    QTest::addColumn<int>("intervalCode");
    QTest::addColumn<int>("periodMs");
    QTest::newRow("0.5 s") << 3 << 500;
    QTest::newRow("1 s") << 2 << 1000;
    QTest::newRow("2 s") << 1 << 2000;
  }
  void framesAtTheInterval() {
    QFETCH(int, intervalCode);
    QFETCH(int, periodMs);
    Options o = Bridge(Model::ZT42, "C=100n,esr=0.5");
    o.intervalCode = intervalCode;
    MeterModel m(o, 0);
    qint64 now = 0;
    const auto bursts = simtest::RunUntil(m, now, 8000);
    QCOMPARE(bursts.size(), 8000 / periodMs);
    for (int i = 0; i < bursts.size(); ++i) {
      const QByteArray& f = bursts[i].bytes;
      QCOMPARE(bursts[i].at, qint64(periodMs) * (i + 1));
      QVERIFY(simtest::ChecksumOk(f));
      QCOMPARE(U(f, 15), 0x51);  // RLC, ZT42, brightness on, awake
      const auto s = simtest::SettingsOf(f);
      QVERIFY(s.logReady);
      QCOMPARE(int(s.intervalCode), intervalCode);
    }
  }

  void settingsAppliedWithinLimits_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("changes");
    // The base command "01 03 80 21 0A 01" restates the meter's own start
    // settings; each row changes one thing.
    auto cmd = [](const char* hex) { return QByteArray::fromHex(hex); };
    QTest::newRow("no change") << "ZT40" << cmd("010380210A01") << "";
    QTest::newRow("ZT40 takes 150 kHz") << "ZT40" << cmd("010E80210A01") << "freqCode=14";
    QTest::newRow("ZT41 takes code 6 (250 kHz)") << "ZT41" << cmd("010680210A01") << "freqCode=6";
    QTest::newRow("ZT41 refuses code 7") << "ZT41" << cmd("010780210A01") << "";
    QTest::newRow("ZT42 refuses code 6") << "ZT42" << cmd("010680210A01") << "";
    QTest::newRow("ZT42 takes 100 kHz") << "ZT42" << cmd("010580210A01") << "freqCode=5";
    QTest::newRow("DC is never taken") << "ZT40" << cmd("010080210A01") << "";
    QTest::newRow("automatic frequency") << "ZT40" << cmd("012480210A01") << "freqAuto=1";
    QTest::newRow("series circuit") << "ZT40" << cmd("018380210A01") << "circuitAuto=0,circuitSeries=1";
    QTest::newRow("parallel circuit") << "ZT40" << cmd("014380210A01") << "circuitAuto=0,circuitSeries=0";
    QTest::newRow("circuit value 3 refused") << "ZT40" << cmd("01C380210A01") << "";
    QTest::newRow("primary L, secondary Q")
        << "ZT40" << cmd("0103A3210A01") << "primaryAuto=0,primaryCode=3,secondaryAuto=0,secondaryCode=2";
    QTest::newRow("primary 7 refused") << "ZT40" << cmd("010387210A01") << "";
    QTest::newRow("secondary 5 refused") << "ZT40" << cmd("0103D0210A01") << "";
    QTest::newRow("sound off") << "ZT40" << cmd("010300210A01") << "sound=0";
    QTest::newRow("ZT40 takes 0.1 V") << "ZT40" << cmd("010380230A01") << "levelCode=3";
    QTest::newRow("ZT42 refuses level 3") << "ZT42" << cmd("010380230A01") << "";
    QTest::newRow("ZT42 takes 0.1 V (code 2)") << "ZT42" << cmd("010380220A01") << "levelCode=2";
    QTest::newRow("automatic level") << "ZT40" << cmd("0103802A0A01") << "levelAuto=1,levelCode=1";
    QTest::newRow("0.5 s and hold") << "ZT40" << cmd("010380B10A01") << "intervalCode=3,hold=1";
    QTest::newRow("interval 0 refused") << "ZT40" << cmd("010380010A01") << "";
    QTest::newRow("ZT41 source 1.6 k") << "ZT41" << cmd("010380210A02") << "sourceCode=1";
    QTest::newRow("ZT41 automatic source") << "ZT41" << cmd("010380210A00") << "sourceAuto=1";
    QTest::newRow("ZT40 has no source choice") << "ZT40" << cmd("010380210A02") << "";
  }
  void settingsAppliedWithinLimits() {
    QFETCH(QString, model);
    QFETCH(QByteArray, command);
    QFETCH(QString, changes);
    MeterModel m(Bridge(ModelOf(model), "R=100"), 0);
    qint64 now = 0;
    ReportedSettings expected = simtest::SettingsOf(NextFrame(m, now));
    ApplyChanges(expected, changes);
    m.receive(command, now + 10);
    now += 10;
    const QByteArray after = NextFrame(m, now);
    QVERIFY(simtest::ChecksumOk(after));
    const ReportedSettings got = simtest::SettingsOf(after);
    QCOMPARE(Describe(got), Describe(expected));
    QCOMPARE(Describe(m.settings()), Describe(expected));
  }

  void brightnessFollowsEveryCommand_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("bright");
    QTest::newRow("settings, button down") << QByteArray::fromHex("010380210A01") << true;
    QTest::newRow("settings, button up") << QByteArray::fromHex("410380210A01") << false;
    QTest::newRow("wake-up, button up") << QByteArray::fromHex("C00101010A01") << false;
    QTest::newRow("RLC mode, button down") << QByteArray::fromHex("810101010A01") << true;
  }
  void brightnessFollowsEveryCommand() {
    QFETCH(QByteArray, command);
    QFETCH(bool, bright);
    MeterModel m(Bridge(Model::ZT40, "R=1k"), 0);
    qint64 now = 0;
    m.receive(QByteArray::fromHex("410380210A01"), 0);  // dim first
    m.receive(command, 50);
    now = 50;
    QCOMPARE(bool(U(NextFrame(m, now), 15) & 0x40), bright);
  }

  void displayModes_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("dut");
    QTest::addColumn<QByteArray>("codes");  // special codes sent in turn
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("function");  // byte 14, -1 = not checked
    QTest::newRow("RD with a resistor") << "ZT40"
                                        << "R=4.7k" << QByteArray("\x82") << 2 << 0x02;
    QTest::newRow("RD with a diode") << "ZT40"
                                     << "D=0.65" << QByteArray("\x82") << 2 << 0x20;
    QTest::newRow("U on ZT40") << "ZT40"
                               << "U=5" << QByteArray("\x83") << 3 << 0x00;
    QTest::newRow("U in millivolts") << "ZT42"
                                     << "U=0.2" << QByteArray("\x83") << 3 << 0x20;
    QTest::newRow("ZT41 has no U mode") << "ZT41"
                                        << "U=5" << QByteArray("\x83") << 1 << -1;
    QTest::newRow("back to RLC") << "ZT40"
                                 << "R=1k" << QByteArray("\x82\x81") << 1 << -1;
  }
  void displayModes() {
    QFETCH(QString, model);
    QFETCH(QString, dut);
    QFETCH(QByteArray, codes);
    QFETCH(int, mode);
    QFETCH(int, function);
    MeterModel m(Bridge(ModelOf(model), dut), 0);
    qint64 now = 0;
    for (char code : codes) {
      QByteArray cmd = QByteArray::fromHex("000101010A01");
      cmd[0] = code;
      m.receive(cmd, ++now);
    }
    QCOMPARE(int(m.displayMode()), mode);
    const QByteArray f = NextFrame(m, now);
    QVERIFY(simtest::ChecksumOk(f));
    QCOMPARE(U(f, 15) & 0x07, mode);
    if (function >= 0) QCOMPARE(int(U(f, 14)), function);
  }

  void secondaryReadings_data() {
    QTest::addColumn<QString>("dut");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("offset");
    QTest::addColumn<double>("value");
    QTest::newRow("resistance") << "R=4.7k" << 2 << 0 << 4700.0;
    QTest::newRow("diode millivolts") << "D=0.65" << 2 << 0 << 650.0;
    QTest::newRow("diode test current") << "D=0.65" << 2 << 4 << 1000.0;
    QTest::newRow("voltage main reading") << "U=-5" << 3 << 8 << -5.0;
    QTest::newRow("millivolts main reading") << "U=0.2" << 3 << 8 << 200.0;
  }
  void secondaryReadings() {
    QFETCH(QString, dut);
    QFETCH(int, mode);
    QFETCH(int, offset);
    QFETCH(double, value);
    Options o = Bridge(Model::ZT40, dut);
    MeterModel m(o, 0);
    QByteArray cmd = QByteArray::fromHex("800101010A01");
    cmd[0] = char(0x80 | mode);
    m.receive(cmd, 1);
    qint64 now = 1;
    const QByteArray f = NextFrame(m, now);
    QVERIFY(std::abs(simtest::DecodeValue(f, offset) - value) < std::abs(value) * 1e-3 + 0.1);
  }

  void rlcReadings_data() {
    QTest::addColumn<QString>("dut");
    QTest::addColumn<QByteArray>("command");  // empty = keep the start settings (1 kHz)
    QTest::addColumn<double>("r");
    QTest::addColumn<double>("x");
    const double w1k = 2 * M_PI * 1000, w10k = 2 * M_PI * 10000;
    const double xc = -1 / (w1k * 1e-6), rp = 10e3;
    QTest::newRow("resistor") << "R=1k" << QByteArray() << 1000.0 << 0.0;
    QTest::newRow("capacitor with ESR") << "C=100n,esr=0.5" << QByteArray() << 0.5 << -1 / (w1k * 100e-9);
    QTest::newRow("inductor at 10 kHz") << "L=100u,esr=0.2" << QByteArray::fromHex("010480210A01") << 0.2
                                        << w10k * 100e-6;
    QTest::newRow("leaky capacitor") << "C=1u,rp=10k" << QByteArray() << rp * xc * xc / (rp * rp + xc * xc)
                                     << rp * rp * xc / (rp * rp + xc * xc);
    QTest::newRow("ZT41 at 250 kHz") << "L=10u" << QByteArray::fromHex("010680210A01") << 0.0
                                     << 2 * M_PI * 250e3 * 10e-6;
  }
  void rlcReadings() {
    QFETCH(QString, dut);
    QFETCH(QByteArray, command);
    QFETCH(double, r);
    QFETCH(double, x);
    MeterModel m(Bridge(Model::ZT41, dut), 0);
    qint64 now = 0;
    if (!command.isEmpty()) m.receive(command, 0);
    const QByteArray f = NextFrame(m, now);
    QVERIFY(std::abs(simtest::DecodeValue(f, 0) - r) <= std::abs(r) * 1e-5 + 1e-30);
    QVERIFY(std::abs(simtest::DecodeValue(f, 4) - x) <= std::abs(x) * 1e-5 + 1e-30);
  }

  void readingsCarryNoise() {
    Options o = Bridge(Model::ZT40, "R=1k");
    o.noise = 1e-4;
    MeterModel m(o, 0);
    qint64 now = 0;
    const auto frames = simtest::Frames(simtest::RunUntil(m, now, 5000));
    QCOMPARE(frames.size(), 5);
    QSet<double> values;
    for (const auto& f : frames) {
      const double r = simtest::DecodeValue(f, 0);
      QVERIFY(std::abs(r - 1000) < 1.0);
      values.insert(r);
    }
    QVERIFY(values.size() > 1);
  }

  void partsTakenInTurn_data() {
    QTest::addColumn<int>("partFrames");
    QTest::addColumn<QList<double>>("readings");
    QTest::newRow("one frame each") << 1 << QList<double>{1, 2, 3, 1, 2};
    QTest::newRow("two frames each") << 2 << QList<double>{1, 1, 2, 2, 3};
  }
  void partsTakenInTurn() {
    QFETCH(int, partFrames);
    QFETCH(QList<double>, readings);
    Options o = Bridge(Model::ZT40, "R=1;R=2;R=3");
    o.partFrames = partFrames;
    MeterModel m(o, 0);
    qint64 now = 0;
    const auto frames = simtest::Frames(simtest::RunUntil(m, now, 1000 * readings.size()));
    QCOMPARE(frames.size(), readings.size());
    for (int i = 0; i < frames.size(); ++i) QCOMPARE(simtest::DecodeValue(frames[i], 0), readings[i]);
  }

  void holdFreezesTheReading() {
    MeterModel m(Bridge(Model::ZT40, "R=1;R=2;R=3"), 0);
    qint64 now = 0;
    m.receive(QByteArray::fromHex("010380A10A01"), 0);
    const auto frames = simtest::Frames(simtest::RunUntil(m, now, 4000));
    QCOMPARE(frames.size(), 4);
    for (const auto& f : frames) {
      QVERIFY(simtest::SettingsOf(f).hold);
      QCOMPARE(simtest::DecodeValue(f, 0), 1.0);
    }
    m.receive(QByteArray::fromHex("010380210A01"), now);
    QCOMPARE(simtest::DecodeValue(NextFrame(m, now), 0), 2.0);
  }

  // Started with hold on, the meter holds from its first frame.
  void holdFromTheStart() {
    Options o = Bridge(Model::ZT40, "R=1;R=2");
    o.hold = true;
    MeterModel m(o, 0);
    qint64 now = 0;
    const auto frames = simtest::Frames(simtest::RunUntil(m, now, 3000));
    QCOMPARE(frames.size(), 3);
    for (const auto& f : frames) {
      QVERIFY(simtest::SettingsOf(f).hold);
      QVERIFY(simtest::SettingsOf(f).logReady);
      QCOMPARE(simtest::DecodeValue(f, 0), 1.0);
    }
  }

  // Frames written are counted once each, whether merged with the next one
  // or split in two bursts; frames dropped with an unplug are not.
  void framesWrittenAreCounted_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("plain") << "";
    QTest::newRow("merged") << "merge";
    QTest::newRow("split") << "split";
  }
  void framesWrittenAreCounted() {
    QFETCH(QString, fault);
    Options o = Bridge(Model::ZT40, "R=1k");
    o.faults.merge = fault == u"merge";
    o.faults.split = fault == u"split";
    MeterModel m(o, 0);
    qint64 now = 0;
    const auto bursts = simtest::RunUntil(m, now, 6000);
    qsizetype bytes = 0;
    for (const auto& b : bursts) bytes += b.bytes.size();
    QCOMPARE(qsizetype(m.framesWritten()) * 18, bytes);
    QVERIFY(m.framesWritten() >= 5);
    m.restartClock(now);  // plugged in again: the count goes on
    simtest::RunUntil(m, now, now + 1000);
    QCOMPARE(qsizetype(m.framesWritten()) * 18, bytes + 18);
  }

  void statusFlagsOfTheReading_data() {
    QTest::addColumn<QString>("dut");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<bool>("below40m");
    QTest::newRow("inductor read as C is negative") << "L=1m" << QByteArray::fromHex("010382210A01") << true << false;
    QTest::newRow("capacitor read as C") << "C=1u" << QByteArray::fromHex("010382210A01") << false << false;
    QTest::newRow("capacitor read as L is negative") << "C=1u" << QByteArray::fromHex("010383210A01") << true << false;
    QTest::newRow("small C on the 40 mF range") << "C=1u" << QByteArray::fromHex("010386210A01") << false << true;
    QTest::newRow("100 mF on the 40 mF range") << "C=0.1" << QByteArray::fromHex("010386210A01") << false << false;
  }
  void statusFlagsOfTheReading() {
    QFETCH(QString, dut);
    QFETCH(QByteArray, command);
    MeterModel m(Bridge(Model::ZT40, dut), 0);
    m.receive(command, 0);
    qint64 now = 0;
    const auto s = simtest::SettingsOf(NextFrame(m, now));
    QTEST(s.negativeSign, "negative");
    QTEST(s.below40m, "below40m");
  }

  void economySleepAndWake() {
    Options o = Bridge(Model::ZT40, "R=1k");
    o.sleepAfterS = 2;
    MeterModel m(o, 0);
    qint64 now = 0;
    auto bursts = simtest::RunUntil(m, now, 10000);
    QList<int> sleepByte0, seconds;
    QList<qint64> sleepTimes;
    for (const auto& b : bursts) {
      const QByteArray& f = b.bytes;
      QVERIFY(simtest::ChecksumOk(f));
      const bool asleep = U(f, 15) & 0x80;
      QCOMPARE(asleep, b.at >= 2000);
      if (!asleep) continue;
      QCOMPARE(U(f, 0) & 0x60, 0);  // the bits the logger requires clear
      sleepByte0.append(U(f, 0) & 0x03);
      seconds.append(U(f, 1) + 256 * U(f, 2));
      if (U(f, 0) & 0x03) sleepTimes.append(b.at);
    }
    // Economy at 2 s and 3 s counting down to sleep, then sleep at a slow pace.
    QCOMPARE(sleepByte0.mid(0, 2), (QList<int>{0, 0}));
    QCOMPARE(seconds.mid(0, 2), (QList<int>{2, 1}));
    QVERIFY(sleepTimes.size() >= 2);
    QCOMPARE(sleepTimes[1] - sleepTimes[0], MeterModel::kSleepFramePeriodMs);
    QCOMPARE(m.powerState(now), PowerState::Sleep);

    // Asleep, the mode switch is ignored; the wake-up brings prompt frames.
    m.receive(QByteArray::fromHex("820101010A01"), now);
    QCOMPARE(int(m.displayMode()), 1);
    m.receive(QByteArray::fromHex("800101010A01"), now);
    const qint64 woke = now;
    const auto after = simtest::RunUntil(m, now, now + 1500);
    QVERIFY(!after.isEmpty());
    QVERIFY(after.first().at - woke <= 200);
    QCOMPARE(U(after.first().bytes, 15) & 0x80, 0);
    QCOMPARE(m.powerState(now), PowerState::Active);
  }

  void powerOffStopsFrames() {
    MeterModel m(Bridge(Model::ZT40, "R=1k"), 0);
    qint64 now = 0;
    QCOMPARE(simtest::RunUntil(m, now, 2000).size(), 2);
    m.receive(QByteArray::fromHex("890101010A01"), now);
    QCOMPARE(m.powerState(now), PowerState::Off);
    QVERIFY(simtest::RunUntil(m, now, 10000).isEmpty());
    m.receive(QByteArray::fromHex("800101010A01"), now);  // a switched-off meter hears nothing
    QVERIFY(simtest::RunUntil(m, now, 12000).isEmpty());
    m.powerOn(now);
    QCOMPARE(simtest::RunUntil(m, now, 14000).size(), 2);
  }
};

int RunMeterTests(int argc, char** argv) {
  MeterTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_meter.moc"
