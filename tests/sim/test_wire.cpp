#include <QTest>
#include <cmath>
#include <limits>

#include "sim_test_support.h"
#include "sim_tests.h"
#include "wire.h"

using namespace zt::sim;

namespace {
QByteArray Bytes(const std::array<std::uint8_t, 4>& a) {
  return QByteArray(reinterpret_cast<const char*>(a.data()), 4);
}
QByteArray Bytes(const FrameBytes& f) { return QByteArray(reinterpret_cast<const char*>(f.data()), 18); }
std::span<const std::uint8_t> Span(const QByteArray& b) {
  return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}
}  // namespace

class WireTest : public QObject {
  Q_OBJECT
 private slots:
  void encodeKnownValues_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("bytes");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("one") << 1.0 << QByteArray::fromHex("0000803F");
    QTest::newRow("minus ten") << -10.0 << QByteArray::fromHex("000020C1");
    QTest::newRow("half") << 0.5 << QByteArray::fromHex("0000003F");
    QTest::newRow("1000") << 1000.0 << QByteArray::fromHex("00007A44");
    QTest::newRow("zero") << 0.0 << QByteArray::fromHex("00000000");
    QTest::newRow("minus zero") << -0.0 << QByteArray::fromHex("00000080");
    QTest::newRow("below normal floats") << 1e-40 << QByteArray::fromHex("00000000");
    QTest::newRow("infinity") << inf << QByteArray::fromHex("FFFF7F7F");
    QTest::newRow("beyond float range, negative") << -1e39 << QByteArray::fromHex("FFFF7FFF");
    QTest::newRow("nan") << std::nan("") << QByteArray::fromHex("FFFF7F7F");
  }
  void encodeKnownValues() {
    QFETCH(double, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Bytes(EncodeFloat(value)).toHex(' '), bytes.toHex(' '));
  }

  // Whatever is encoded must read back as (nearly) the same value by the
  // receiver's rule, which is not the IEEE one at its two ends.
  void encodeReadsBack_data() {
    QTest::addColumn<double>("value");
    for (double v : {1e-30, 2.5e-12, 1e-7, 0.2, 1.0, 3.14159, 499.0, 1591.55, -1591.55, 2e7, 3.3e38, -7.0})
      QTest::newRow(qPrintable(QString::number(v))) << v;
  }
  void encodeReadsBack() {
    QFETCH(double, value);
    const QByteArray b = Bytes(EncodeFloat(value));
    const double back = simtest::DecodeValue(b, 0);
    QVERIFY2(std::abs(back - value) <= std::abs(value) * 1e-7, qPrintable(QString::number(back)));
  }

  void zeroReadsAsTinyNonZero() {
    const double back = simtest::DecodeValue(Bytes(EncodeFloat(0.0)), 0);
    QVERIFY(back != 0.0);
    QVERIFY(std::abs(back) < 1e-37);
  }

  void sealFrame_data() {
    QTest::addColumn<QByteArray>("body");  // bytes 0..15
    QTest::addColumn<bool>("plus5");
    QTest::addColumn<int>("checksum");
    QTest::addColumn<int>("byte13");
    QTest::newRow("all zero") << QByteArray(16, '\0') << false << 0x00 << 0x00;
    QTest::newRow("wraps modulo 256") << QByteArray(16, '\xFF') << false << 0xF0 << 0xFF;
    QTest::newRow("typical") << QByteArray::fromHex("0000803F000020C1832A21050000000041").left(16) << false
                             << ((0x80 + 0x3F + 0x20 + 0xC1 + 0x83 + 0x2A + 0x21 + 0x05) & 0xFF) << 0x00;
    QTest::newRow("sum plus five sets the variant bits")
        << QByteArray(16, '\x01') << true << ((15 + 3 + 5) & 0xFF) << 0x03;
  }
  void sealFrame() {
    QFETCH(QByteArray, body);
    QFETCH(bool, plus5);
    QFETCH(int, checksum);
    QFETCH(int, byte13);
    FrameBytes f{};
    std::memcpy(f.data(), body.constData(), 16);
    SealFrame(f, plus5);
    QCOMPARE(int(f[16]), checksum);
    QCOMPARE(int(f[17]), 0x0A);
    QCOMPARE(int(f[13]), byte13);
    QCOMPARE(simtest::ChecksumOk(Bytes(f)), !plus5);
  }

  void packSettings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("which");
    // which: 0 = everything off/zero, 1 = every flag set, 2 = a mixed, typical record
    QTest::newRow("empty") << QByteArray::fromHex("00000000") << 0;
    QTest::newRow("all flags and widest codes") << QByteArray::fromHex("FFFFFFBF") << 1;
    QTest::newRow("series 1 kHz, L with Q, 0.5 s, hold, 1.6k") << QByteArray::fromHex("43A3BA0D") << 2;
  }
  void packSettings() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, which);
    ReportedSettings s{};
    s = ReportedSettings{0,     false, false, false, 0,     false, 0, false, 0,
                         false, 0,     false, false, false, false, 0, false, false};
    if (which == 1) {
      s = ReportedSettings{31, true, true, true, 7, true, 7, true, 7, true, 7, true, true, true, true, 3, true, true};
    } else if (which == 2) {
      s.freqCode = 3;
      s.circuitSeries = true;
      s.primaryCode = 3;
      s.secondaryCode = 2;
      s.secondaryAuto = true;
      s.levelCode = 2;
      s.levelAuto = true;
      s.intervalCode = 3;
      s.hold = true;
      s.sound = true;
      s.logReady = true;
      s.sourceCode = 1;
    }
    const auto packed = PackSettings(s);
    QCOMPARE(Bytes(packed).toHex(), bytes.toHex());
    QVERIFY(UnpackSettings(std::span<const std::uint8_t, 4>(packed)) == s);
  }

  void statusByte_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("bright");
    QTest::addColumn<bool>("asleep");
    QTest::addColumn<int>("byte");
    QTest::newRow("RLC, ZT40, bright") << 1 << 0 << true << false << 0x41;
    QTest::newRow("RD, ZT41, dim") << 2 << 1 << false << false << 0x0A;
    QTest::newRow("U, ZT42, asleep") << 3 << 2 << true << true << 0xD3;
  }
  void statusByte() {
    QFETCH(int, mode);
    QFETCH(int, model);
    QFETCH(bool, bright);
    QFETCH(bool, asleep);
    QFETCH(int, byte);
    QCOMPARE(int(StatusByte(std::uint8_t(mode), std::uint8_t(model), bright, asleep)), byte);
  }

  void decodeSettingsCommand_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("bright");
    QTest::addColumn<int>("freq");
    QTest::addColumn<bool>("freqAuto");
    QTest::addColumn<int>("circuit");
    QTest::addColumn<int>("primary");
    QTest::addColumn<int>("secondary");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("levelAuto");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("hold");
    QTest::addColumn<int>("source");
    QTest::newRow("defaults, brightness down") << QByteArray::fromHex("012480210A01") << true << 4 << true << 0 << 0
                                               << 0 << true << 1 << false << 2 << false << 1;
    QTest::newRow("defaults, brightness up, auto source") << QByteArray::fromHex("412480210A00") << false << 4 << true
                                                          << 0 << 0 << 0 << true << 1 << false << 2 << false << 0;
    QTest::newRow("series 150 kHz, L, D, 0.1 V auto, 0.5 s, hold, 1.6k")
        << QByteArray::fromHex("018E33BB0A02") << true << 14 << false << 2 << 3 << 3 << false << 3 << true << 3 << true
        << 2;
  }
  void decodeSettingsCommand() {
    QFETCH(QByteArray, bytes);
    const auto c = DecodeCommand(Span(bytes));
    QVERIFY(c.has_value());
    QCOMPARE(c->kind, Command::Kind::Settings);
    QTEST(c->brightnessOn, "bright");
    QTEST(int(c->freqCode), "freq");
    QTEST(c->freqAuto, "freqAuto");
    QTEST(int(c->circuit), "circuit");
    QTEST(int(c->primary), "primary");
    QTEST(int(c->secondary), "secondary");
    QTEST(c->sound, "sound");
    QTEST(int(c->levelCode), "level");
    QTEST(c->levelAuto, "levelAuto");
    QTEST(int(c->intervalCode), "interval");
    QTEST(c->hold, "hold");
    QTEST(int(c->source), "source");
  }

  void decodeOtherCommands_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("kind");  // Command::Kind
    QTest::addColumn<int>("special");
    QTest::addColumn<bool>("bright");
    QTest::newRow("wake-up, brightness down")
        << QByteArray::fromHex("800101010A01") << true << int(Command::Kind::Special) << 0x80 << true;
    QTest::newRow("RD, brightness up") << QByteArray::fromHex("C20101010A01") << true << int(Command::Kind::Special)
                                       << 0x82 << false;
    QTest::newRow("power off") << QByteArray::fromHex("890101010A01") << true << int(Command::Kind::Special) << 0x89
                               << true;
    QTest::newRow("unknown command type")
        << QByteArray::fromHex("020101010A01") << true << int(Command::Kind::Unknown) << 0 << true;
    QTest::newRow("byte 4 not 0x0A") << QByteArray::fromHex("800101010B01") << false << 0 << 0 << true;
    QTest::newRow("too short") << QByteArray::fromHex("8001010A") << false << 0 << 0 << true;
    QTest::newRow("text") << QByteArray("AT+CONNL") << false << 0 << 0 << true;
  }
  void decodeOtherCommands() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    const auto c = DecodeCommand(Span(bytes));
    QCOMPARE(c.has_value(), valid);
    if (!valid) return;
    QTEST(int(c->kind), "kind");
    QTEST(int(c->special), "special");
    QTEST(c->brightnessOn, "bright");
  }
};

int RunWireTests(int argc, char** argv) {
  WireTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_wire.moc"
