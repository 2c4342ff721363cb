#include <QByteArray>
#include <QtTest>

#include "meter_settings.h"
#include "protocol_tests.h"

using namespace zt;

namespace {

QByteArray Bytes(const MeterSettings& s) {
  const auto b = s.toBytes();
  return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size()));
}

// Every field holds a value no frame can report, so each field that the
// unpacking forgets shows up.
MeterSettings Poisoned() {
  std::array<std::uint8_t, MeterSettings::kSize> b;
  b.fill(0xEE);
  return MeterSettings::fromBytes(b);
}

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT
 private slots:
  void byteOrder() {
    std::array<std::uint8_t, MeterSettings::kSize> b;
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::uint8_t(i + 1);
    const MeterSettings s = MeterSettings::fromBytes(b);
    QCOMPARE(s.FreqAuto, 1);
    QCOMPARE(s.FreqCode, 2);
    QCOMPARE(s.PrimaryCode, 4);
    QCOMPARE(s.LevelCode, 8);
    QCOMPARE(s.IntervalCode, 11);
    QCOMPARE(s.Sound, 14);
    QCOMPARE(s.LogReady, 15);
    QCOMPARE(s.SourceAuto, 16);
    QCOMPARE(s.SourceCode, 17);
    QCOMPARE(s.Reserved, 18);
    QVERIFY(s.toBytes() == b);
  }

  void unpack_data() {
    QTest::addColumn<QByteArray>("settingsBytes");  // frame bytes 8-11
    QTest::addColumn<QByteArray>("expected");       // all 18 settings bytes
    auto row = [](const char* name, const char* hex, auto&& change) {
      MeterSettings s{};
      s.Reserved = 0xEE;  // never written by the unpacking
      change(s);
      QTest::newRow(name) << QByteArray::fromHex(hex) << Bytes(s);
    };
    row("all clear", "00000000", [](MeterSettings&) {});
    row("frequency code", "1f000000", [](MeterSettings& s) { s.FreqCode = 31; });
    row("frequency auto", "20000000", [](MeterSettings& s) { s.FreqAuto = 1; });
    row("series circuit", "40000000", [](MeterSettings& s) { s.CircuitSeries = 1; });
    row("circuit auto", "80000000", [](MeterSettings& s) { s.CircuitAuto = 1; });
    row("primary code", "00070000", [](MeterSettings& s) { s.PrimaryCode = 7; });
    row("primary auto", "00080000", [](MeterSettings& s) { s.PrimaryAuto = 1; });
    row("secondary code", "00700000", [](MeterSettings& s) { s.SecondaryCode = 7; });
    row("secondary auto", "00800000", [](MeterSettings& s) { s.SecondaryAuto = 1; });
    row("level code", "00000700", [](MeterSettings& s) { s.LevelCode = 7; });
    row("level auto", "00000800", [](MeterSettings& s) { s.LevelAuto = 1; });
    row("interval code", "00007000", [](MeterSettings& s) { s.IntervalCode = 7; });
    row("hold", "00008000", [](MeterSettings& s) { s.Hold = 1; });
    row("sound", "00000001", [](MeterSettings& s) { s.Sound = 1; });
    row("negative sign", "00000002", [](MeterSettings& s) { s.NegativeSign = 1; });
    row("log ready", "00000004", [](MeterSettings& s) { s.LogReady = 1; });
    row("source code", "00000018", [](MeterSettings& s) { s.SourceCode = 3; });
    row("bits 5 and 6 of byte 4 not stored", "00000060", [](MeterSettings&) {});
    row("source auto", "00000080", [](MeterSettings& s) { s.SourceAuto = 1; });
    row("typical RLC frame", "a4a92185", [](MeterSettings& s) {
      s.FreqCode = 4;
      s.FreqAuto = 1;
      s.CircuitAuto = 1;
      s.PrimaryCode = 1;
      s.PrimaryAuto = 1;
      s.SecondaryCode = 2;
      s.SecondaryAuto = 1;
      s.LevelCode = 1;
      s.IntervalCode = 2;
      s.Sound = 1;
      s.LogReady = 1;
      s.SourceAuto = 1;
    });
  }
  void unpack() {
    QFETCH(QByteArray, settingsBytes);
    QFETCH(QByteArray, expected);
    Frame f{};
    f.fill(0xFF);  // neighbouring bytes must not leak in
    for (int i = 0; i < 4; ++i) f[frame_offset::kSettings1 + std::size_t(i)] = std::uint8_t(settingsBytes[i]);
    MeterSettings s = Poisoned();
    UnpackSettings(f, s);
    QCOMPARE(Bytes(s).toHex(' '), expected.toHex(' '));
  }
};

int RunSettingsTests(int argc, char** argv) {
  SettingsTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_settings.moc"
