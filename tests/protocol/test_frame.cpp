#include <QByteArray>
#include <QtTest>

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>

#include "frame.h"
#include "protocol_tests.h"

using namespace zt;

namespace {

Frame FromHex(const char* hex) {
  const QByteArray b = QByteArray::fromHex(hex);
  Frame f{};
  for (int i = 0; i < b.size() && i < int(kFrameSize); ++i) f[std::size_t(i)] = std::uint8_t(b[i]);
  return f;
}

// A frame with the given status and leading bytes, terminator 10 and the
// checksum byte set to the plain sum plus `checksumOffset`.
Frame MakeFrame(std::uint8_t status, std::uint8_t b0 = 0x12, std::uint8_t b1 = 0x34, std::uint8_t b2 = 0x56,
                std::uint8_t variant = 0, int checksumOffset = 0, std::uint8_t terminator = kFrameTerminator) {
  Frame f = FromHex("000000003f8001020304aa00005500000000");
  f[0] = b0;
  f[1] = b1;
  f[2] = b2;
  f[frame_offset::kChecksumVariant] = variant;
  f[frame_offset::kStatus] = status;
  f[frame_offset::kTerminator] = terminator;
  unsigned sum = 0;
  for (std::size_t i = 0; i < 16; ++i) sum += f[i];
  f[frame_offset::kChecksum] = std::uint8_t(sum + unsigned(checksumOffset));
  return f;
}

}  // namespace

Q_DECLARE_METATYPE(Frame)

class FrameTest : public QObject {
  Q_OBJECT
 private slots:
  void decode_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("expected");
    QTest::newRow("one") << QByteArray::fromHex("0000803f") << 1.0;
    QTest::newRow("minus ten") << QByteArray::fromHex("000020c1") << -10.0;
    QTest::newRow("pi-ish") << QByteArray::fromHex("db0f4940") << double(std::bit_cast<float>(0x40490FDBu));
    QTest::newRow("zero bytes are 2^-127") << QByteArray::fromHex("00000000") << std::ldexp(1.0, -127);
    QTest::newRow("negative zero bytes") << QByteArray::fromHex("00000080") << -std::ldexp(1.0, -127);
    QTest::newRow("field 0 with fraction")
        << QByteArray::fromHex("01000000") << std::ldexp(1.0 + std::ldexp(1.0, -23), -127);
    QTest::newRow("smallest normal") << QByteArray::fromHex("00008000") << std::ldexp(1.0, -126);
    QTest::newRow("largest normal") << QByteArray::fromHex("ffff7f7f") << double(FLT_MAX);
    QTest::newRow("infinity pattern is finite") << QByteArray::fromHex("0000807f") << std::ldexp(1.0, 128);
    QTest::newRow("nan pattern is finite") << QByteArray::fromHex("0000c0ff") << -1.5 * std::ldexp(1.0, 128);
    QTest::newRow("all ones") << QByteArray::fromHex("ffffffff")
                              << -(2.0 - std::ldexp(1.0, -23)) * std::ldexp(1.0, 128);
  }
  void decode() {
    QFETCH(QByteArray, bytes);
    QFETCH(double, expected);
    // The same four bytes at each value offset; the other slots hold a
    // different value so a wrong offset shows.
    for (std::size_t k : {frame_offset::kValueA, frame_offset::kValueB, frame_offset::kValueC}) {
      Frame f = FromHex("0000c0400000c0400000c04000000000000a");
      for (int i = 0; i < 4; ++i) f[k + std::size_t(i)] = std::uint8_t(bytes[i]);
      QCOMPARE(DecodeFrameFloat(f, k), expected);
    }
  }

  // Every exponent field decodes to a finite, non-zero value; fields 1 to 254
  // agree with IEEE single precision.
  void decodeEveryExponentField() {
    for (std::uint32_t top = 0; top < 256; ++top) {
      for (std::uint32_t hi : {0x00u, 0x80u, 0x7Fu, 0xFFu}) {
        for (std::uint32_t lo : {0x0000u, 0x0001u, 0xA5C3u, 0xFFFFu}) {
          const std::uint32_t bits = (top << 24) | (hi << 16) | lo;
          Frame f{};
          f[0] = std::uint8_t(bits);
          f[1] = std::uint8_t(bits >> 8);
          f[2] = std::uint8_t(bits >> 16);
          f[3] = std::uint8_t(bits >> 24);
          const double v = DecodeFrameFloat(f, 0);
          QVERIFY2(std::isfinite(v) && v != 0.0, qPrintable(QString::number(bits, 16)));
          QCOMPARE(std::signbit(v), (top & 0x80) != 0);
          const std::uint32_t field = (bits >> 23) & 0xFF;
          if (field >= 1 && field <= 254) QCOMPARE(v, double(std::bit_cast<float>(bits)));
        }
      }
    }
  }

  void encodeRoundTrip_data() {
    QTest::addColumn<float>("value");
    QTest::newRow("one") << 1.0f;
    QTest::newRow("minus ten") << -10.0f;
    QTest::newRow("fraction") << 3.14159f;
    QTest::newRow("tiny") << 1.0e-30f;
    QTest::newRow("huge negative") << -2.5e20f;
    QTest::newRow("float max") << FLT_MAX;
    QTest::newRow("float min") << FLT_MIN;
    QTest::newRow("subnormal 2^-127") << std::ldexp(1.0f, -127);
    QTest::newRow("subnormal 1.75*2^-127") << -1.75f * std::ldexp(1.0f, -127);
  }
  void encodeRoundTrip() {
    QFETCH(float, value);
    const auto bytes = EncodeFrameFloat(value);
    Frame f{};
    std::copy(bytes.begin(), bytes.end(), f.begin() + 4);
    QCOMPARE(DecodeFrameFloat(f, 4), double(value));
  }

  // Values the format cannot hold encode to the nearest it can: never to a
  // pattern that decodes as zero or non-finite.
  void encodeUnrepresentable_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<double>("expected");
    const double tiny = std::ldexp(1.0, -127);
    const double largest = (2.0 - std::ldexp(1.0, -23)) * std::ldexp(1.0, 128);
    QTest::newRow("zero") << 0.0f << tiny;
    QTest::newRow("negative zero") << -0.0f << -tiny;
    QTest::newRow("smallest subnormal") << std::numeric_limits<float>::denorm_min() << tiny;
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << largest;
    QTest::newRow("minus infinity") << -std::numeric_limits<float>::infinity() << -largest;
  }
  void encodeUnrepresentable() {
    QFETCH(float, value);
    QFETCH(double, expected);
    const auto bytes = EncodeFrameFloat(value);
    Frame f{};
    std::copy(bytes.begin(), bytes.end(), f.begin());
    QCOMPARE(DecodeFrameFloat(f, 0), expected);
  }
  void encodeNanIsFinite() {
    const auto bytes = EncodeFrameFloat(std::numeric_limits<float>::quiet_NaN());
    Frame f{};
    std::copy(bytes.begin(), bytes.end(), f.begin());
    const double v = DecodeFrameFloat(f, 0);
    QVERIFY(std::isfinite(v) && v != 0.0);
  }

  // The panel's numbers sit where the layout puts them: each value at its
  // offset, the function byte, the sleep bit alone of the status byte.
  void numbers() {
    Frame f{};
    const float values[3] = {1.5f, -250.0f, 3e-6f};
    for (std::size_t i = 0; i < 3; ++i) {
      const auto bytes = EncodeFrameFloat(values[i]);
      std::copy(bytes.begin(), bytes.end(), f.begin() + std::ptrdiff_t(4 * i));
    }
    f[frame_offset::kFunction] = 0xA3;
    f[frame_offset::kStatus] = 0x7F;
    FrameNumbers n = DecodeFrameNumbers(f);
    QCOMPARE(n.a, double(values[0]));
    QCOMPARE(n.b, double(values[1]));
    QCOMPARE(n.c, double(values[2]));
    QCOMPARE(n.function, std::uint8_t(0xA3));
    QVERIFY(!n.asleep);
    f[frame_offset::kStatus] = 0x80;
    n = DecodeFrameNumbers(f);
    QVERIFY(n.asleep);
  }

  void fromBytes() {
    std::array<std::uint8_t, 20> buf{};
    for (std::size_t i = 0; i < buf.size(); ++i) buf[i] = std::uint8_t(i + 1);
    Frame out{};
    out.fill(0xEE);
    QVERIFY(!FrameFromBytes(std::span(buf).first(17), out));
    QCOMPARE(out[0], std::uint8_t(0xEE));  // untouched
    QVERIFY(!FrameFromBytes({}, out));
    QVERIFY(FrameFromBytes(buf, out));
    for (std::size_t i = 0; i < kFrameSize; ++i) QCOMPARE(out[i], std::uint8_t(i + 1));
  }

  void acceptance_data() {
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<bool>("accepted");
    // Plain sum: accepted whatever byte 13 says.
    QTest::newRow("plain sum, variant 0") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0x00) << 3 << true;
    QTest::newRow("plain sum, variant 1") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0x01) << 3 << true;
    QTest::newRow("plain sum, byte 13 ff") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0xFF) << 3 << true;
    // Sum + 5: bits 0-1 of byte 13 decide.
    QTest::newRow("sum+5, variant 0") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0x00, 5) << 0 << false;
    QTest::newRow("sum+5, variant 1") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0x01, 5) << 1 << false;
    QTest::newRow("sum+5, variant 2") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0x02, 5) << 2 << true;
    QTest::newRow("sum+5, variant 3") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0x03, 5) << 3 << true;
    QTest::newRow("sum+5, high bits ignored, 2") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0xFE, 5) << 2 << true;
    QTest::newRow("sum+5, high bits ignored, 0") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0xFC, 5) << 0 << false;
    // The +5 wraps modulo 256 (the plain sum here is 0xFD).
    QTest::newRow("sum+5 wraps") << MakeFrame(0x01, 0xFD, 0x34, 0x56, 0x02, 5) << 2 << true;
    QTest::newRow("sum+1") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0x03, 1) << 0 << false;
    QTest::newRow("sum-5") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0x03, -5) << 0 << false;
    // Terminator.
    QTest::newRow("terminator 13") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0, 0, 13) << 3 << false;
    QTest::newRow("terminator 0") << MakeFrame(0x01, 0x12, 0x34, 0x56, 0, 0, 0) << 3 << false;
    // Sleep layout: bits 5-6 of byte 0 must be clear while asleep.
    QTest::newRow("asleep, byte0 20") << MakeFrame(0x80, 0x20, 0, 0) << 3 << false;
    QTest::newRow("asleep, byte0 40") << MakeFrame(0x80, 0x40, 0, 0) << 3 << false;
    QTest::newRow("asleep, byte0 00") << MakeFrame(0x80, 0x00, 0, 0) << 3 << true;
    QTest::newRow("asleep, byte0 01") << MakeFrame(0x80, 0x01, 0, 0) << 3 << true;
    QTest::newRow("asleep, byte0 9f") << MakeFrame(0x80, 0x9F, 0, 0) << 3 << true;
    QTest::newRow("awake, byte0 60") << MakeFrame(0x01, 0x60, 0, 0) << 3 << true;
  }
  void acceptance() {
    QFETCH(Frame, frame);
    QFETCH(int, verdict);
    QFETCH(bool, accepted);
    QCOMPARE(ChecksumVerdict(frame), verdict);
    QCOMPARE(ValidateFrame(frame).accepted, accepted);
  }

  void status_data() {
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("brightness");
    QTest::addColumn<bool>("asleep");
    QTest::addColumn<bool>("deepSleep");
    QTest::addColumn<int>("seconds");
    QTest::newRow("RLC, ZT40") << MakeFrame(0x01) << 1 << 0 << false << false << false << 0;
    QTest::newRow("RD, ZT41") << MakeFrame(0x0A) << 2 << 1 << false << false << false << 0;
    QTest::newRow("U, ZT42, bright") << MakeFrame(0x53) << 3 << 2 << true << false << false << 0;
    QTest::newRow("keep mode, model 7") << MakeFrame(0x38) << 0 << 7 << false << false << false << 0;
    QTest::newRow("economy 300 s") << MakeFrame(0x80, 0x00, 0x2C, 0x01) << 0 << 0 << false << true << false << 300;
    QTest::newRow("sleep 120 s") << MakeFrame(0xC9, 0x01, 0x78, 0x00) << 1 << 1 << true << true << true << 120;
    QTest::newRow("sleep code 3, max time")
        << MakeFrame(0x80, 0x03, 0xFF, 0xFF) << 0 << 0 << false << true << true << 65535;
    // Awake: bytes 0-2 are a float, not a countdown.
    QTest::newRow("awake ignores sleep bytes")
        << MakeFrame(0x01, 0x01, 0x2C, 0x01) << 1 << 0 << false << false << false << 0;
  }
  void status() {
    QFETCH(Frame, frame);
    const FrameStatus st = ValidateFrame(frame);
    QVERIFY(st.accepted);
    QTEST(int(st.displayMode), "mode");
    QTEST(int(st.model), "model");
    QTEST(st.brightness, "brightness");
    QTEST(st.asleep, "asleep");
    QTEST(st.deepSleep, "deepSleep");
    QTEST(int(st.sleepSeconds), "seconds");
  }

  void sum() {
    Frame f{};
    f.fill(0xFF);  // bytes 16 and 17 must not count
    QCOMPARE(FrameSum(f), std::uint8_t((16 * 0xFF) & 0xFF));
  }
};

int RunFrameTests(int argc, char** argv) {
  FrameTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_frame.moc"
