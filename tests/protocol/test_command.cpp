#include <QByteArray>
#include <QtTest>

#include "command.h"
#include "protocol_tests.h"

using namespace zt;

namespace {

// The logger's start-up settings.
MeterSettings Defaults() {
  MeterSettings s{};
  s.FreqAuto = 1;
  s.FreqCode = 4;
  s.PrimaryAuto = 1;
  s.PrimaryCode = 2;
  s.SecondaryAuto = 1;
  s.SecondaryCode = 1;
  s.LevelAuto = 0;
  s.LevelCode = 1;
  s.CircuitAuto = 1;
  s.CircuitSeries = 0;
  s.IntervalCode = 2;
  s.Hold = 0;
  s.NegativeSign = 0;
  s.Sound = 1;
  s.SourceCode = 0;
  return s;
}

QByteArray Bytes(const MeterSettings& s) {
  const auto b = s.toBytes();
  return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size()));
}

QByteArray Bytes(const CommandFrame& c) { return QByteArray(reinterpret_cast<const char*>(c.data()), int(c.size())); }

MeterSettings FromBytes(const QByteArray& b) {
  std::array<std::uint8_t, MeterSettings::kSize> a{};
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = std::uint8_t(b[qsizetype(i)]);
  return MeterSettings::fromBytes(a);
}

}  // namespace

class CommandTest : public QObject {
  Q_OBJECT
 private slots:
  void settingsCommand_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<bool>("brightnessDown");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("storedAfter");  // MeterSettings after building
    auto row = [](const char* name, bool down, const char* hex, auto&& change, auto&& after) {
      MeterSettings s = Defaults();
      change(s);
      MeterSettings expected = s;
      after(expected);
      QTest::newRow(name) << Bytes(s) << down << QByteArray::fromHex(hex) << Bytes(expected);
    };
    auto same = [](MeterSettings&) {};
    row("defaults, manual source, brightness down", true, "012480210a01", same, same);
    row(
        "defaults, auto source, brightness up", false, "412480210a00", [](MeterSettings& s) { s.SourceAuto = 1; },
        same);
    row(
        "auto frequency overrides the code", true, "01a480210a01",
        [](MeterSettings& s) {
          s.FreqCode = 9;
          s.CircuitAuto = 0;
          s.CircuitSeries = 1;
        },
        [](MeterSettings& s) { s.FreqCode = 4; });
    row(
        "manual frequency and parallel circuit", true, "014e80210a01",
        [](MeterSettings& s) {
          s.FreqAuto = 0;
          s.FreqCode = 14;
          s.CircuitAuto = 0;
        },
        same);
    row(
        "interval 5 is sent and kept as 3", true, "012480310a01", [](MeterSettings& s) { s.IntervalCode = 5; },
        [](MeterSettings& s) { s.IntervalCode = 3; });
    row(
        "interval 255 is clamped", true, "012480310a01", [](MeterSettings& s) { s.IntervalCode = 255; },
        [](MeterSettings& s) { s.IntervalCode = 3; });
    row(
        "auto level still sends the level code", true, "0124801a0a00",
        [](MeterSettings& s) {
          s.LevelAuto = 1;
          s.LevelCode = 2;
          s.IntervalCode = 1;
          s.SourceAuto = 1;
        },
        same);
    row(
        "everything manual", true, "0183439c0a02",
        [](MeterSettings& s) {
          s.FreqAuto = 0;
          s.FreqCode = 3;
          s.CircuitAuto = 0;
          s.CircuitSeries = 1;
          s.PrimaryAuto = 0;
          s.PrimaryCode = 3;
          s.SecondaryAuto = 0;
          s.SecondaryCode = 4;
          s.Sound = 0;
          s.Hold = 1;
          s.IntervalCode = 1;
          s.LevelAuto = 1;
          s.LevelCode = 4;
          s.SourceCode = 1;
        },
        same);
    // Status fields are never sent.
    row(
        "status fields are not sent", true, "012480210a01",
        [](MeterSettings& s) {
          s.NegativeSign = 1;
          s.LogReady = 1;
          s.Reserved = 0x77;
        },
        same);
    // A damaged record (say from a profile file) must not flip neighbouring
    // fields: each value stays inside its own bits, and an "auto" flag
    // counts only when it is exactly 1.
    row(
        "out-of-range codes stay in their fields", true, "015ff7270a04",
        [](MeterSettings& s) {
          s.FreqAuto = 0;
          s.FreqCode = 0xFF;
          s.CircuitAuto = 2;
          s.CircuitSeries = 0xFE;
          s.PrimaryAuto = 0;
          s.PrimaryCode = 0xF7;
          s.SecondaryAuto = 0;
          s.SecondaryCode = 0x0F;
          s.LevelCode = 0x0F;
          s.SourceCode = 0xFF;
        },
        same);
    row(
        "auto flag 2 counts as manual", true, "010380210a01",
        [](MeterSettings& s) {
          s.FreqAuto = 2;
          s.FreqCode = 3;
        },
        same);
  }
  void settingsCommand() {
    QFETCH(QByteArray, settings);
    QFETCH(bool, brightnessDown);
    MeterSettings s = FromBytes(settings);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, storedAfter);
    const CommandFrame c = BuildSettingsCommand(s, brightnessDown);
    QCOMPARE(Bytes(c).toHex(' '), frame.toHex(' '));
    QCOMPARE(Bytes(s).toHex(' '), storedAfter.toHex(' '));
  }

  void specialCommand_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("brightnessDown");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("RD, brightness up") << int(kCmdModeRd) << false << QByteArray::fromHex("c20101010a01");
    QTest::newRow("RD, brightness down") << int(kCmdModeRd) << true << QByteArray::fromHex("820101010a01");
    QTest::newRow("wake-up, down") << int(kCmdWakeUp) << true << QByteArray::fromHex("800101010a01");
    QTest::newRow("wake-up, up") << int(kCmdWakeUp) << false << QByteArray::fromHex("c00101010a01");
    QTest::newRow("RLC, up") << int(kCmdModeRlc) << false << QByteArray::fromHex("c10101010a01");
    QTest::newRow("U, down") << int(kCmdModeU) << true << QByteArray::fromHex("830101010a01");
    QTest::newRow("power off, up") << int(kCmdPowerOff) << false << QByteArray::fromHex("c90101010a01");
  }
  void specialCommand() {
    QFETCH(int, code);
    QFETCH(bool, brightnessDown);
    QFETCH(QByteArray, frame);
    QCOMPARE(Bytes(BuildSpecialCommand(std::uint8_t(code), brightnessDown)).toHex(' '), frame.toHex(' '));
  }
};

int RunCommandTests(int argc, char** argv) {
  CommandTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_command.moc"
