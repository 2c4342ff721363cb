// The capture file (writer and parser) and the capture thread: lines as
// written, every refusal with its line, a capture cut short, the records a
// tap takes reaching the file in order, and a full disk ending the capture
// with a reason.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "capture_file.h"
#include "link_capture.h"

Q_DECLARE_METATYPE(zt::CaptureRecord)

using namespace zt;

namespace {

CaptureRecord Rec(std::int64_t us, TapDirection d, TapTransport t, const QString& port, const QByteArray& bytes) {
  return CaptureRecord{us, d, t, port, bytes};
}

const QByteArray kHead = QByteArray(kCaptureMagic) + "\n";

}  // namespace

class CaptureTest : public QObject {
  Q_OBJECT

 private slots:
  void lines_data() {
    QTest::addColumn<CaptureRecord>("record");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("text sent") << Rec(3020, TapDirection::Sent, TapTransport::Serial, "/dev/ttyUSB0", "AT+CONNL")
                               << QByteArray("0.003020 tx serial /dev/ttyUSB0 41542b434f4e4e4c\n");
    QTest::newRow("frame received, after an hour")
        << Rec(3600123456, TapDirection::Received, TapTransport::Serial, "COM5", QByteArray::fromHex("00ff0a"))
        << QByteArray("3600.123456 rx serial COM5 00ff0a\n");
    QTest::newRow("notification") << Rec(0, TapDirection::Received, TapTransport::Ble, "AA:BB:CC:DD:EE:FF", "\x01")
                                  << QByteArray("0.000000 rx ble AA:BB:CC:DD:EE:FF 01\n");
    QTest::newRow("port with a space and a percent")
        << Rec(1, TapDirection::Sent, TapTransport::Serial, "My Port%1", "A")
        << QByteArray("0.000001 tx serial My%20Port%251 41\n");
    QTest::newRow("no port, no bytes") << Rec(2, TapDirection::Sent, TapTransport::Ble, "", "")
                                       << QByteArray("0.000002 tx ble - -\n");
    QTest::newRow("a port named -") << Rec(2, TapDirection::Sent, TapTransport::Ble, "-", "A")
                                    << QByteArray("0.000002 tx ble %2d 41\n");
    QTest::newRow("non-ASCII port") << Rec(5, TapDirection::Received, TapTransport::Serial, u"порт"_qs, "B")
                                    << QByteArray("0.000005 rx serial %d0%bf%d0%be%d1%80%d1%82 42\n");
  }

  // Each record gives its line, and the line reads back as the record.
  void lines() {
    QFETCH(CaptureRecord, record);
    QFETCH(QByteArray, line);
    QCOMPARE(CaptureLine(record), line);
    const CaptureParse p = ParseCapture(kHead + line);
    QVERIFY2(p.ok(), qPrintable(p.error));
    QCOMPARE(p.records.size(), 1);
    QVERIFY(p.records[0] == record);
  }

  void header() {
    const QByteArray h = CaptureHeader(QStringLiteral("2026-12-11T15:00:00.000Z"), QStringLiteral("zt-record 1.6"));
    QCOMPARE(h, QByteArray("# zt-capture 1\n# started 2026-12-11T15:00:00.000Z by zt-record 1.6\n"));
    const CaptureParse p = ParseCapture(h);
    QVERIFY(p.ok());
    QVERIFY(p.records.isEmpty());
  }

  void refusals_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << QByteArray() << 1 << "not a capture";
    QTest::newRow("another file") << QByteArray("Position,Time\n") << 1 << "not a capture";
    QTest::newRow("other version") << QByteArray("# zt-capture 2\n") << 1 << "not a capture";
    const QByteArray h = kHead + "# a comment\n\n0.000001 rx serial p 41\n";
    QTest::newRow("four fields") << h + "0.1 rx serial 41\n" << 5 << "five fields";
    QTest::newRow("six fields") << h + "0.000002 rx serial p 41 42\n" << 5 << "more than five";
    QTest::newRow("two spaces") << h + "0.000002 rx  serial p 41\n" << 5 << "";
    QTest::newRow("time without decimals") << h + "2 rx serial p 41\n" << 5 << "six decimals";
    QTest::newRow("time with a sign") << h + "-0.000002 rx serial p 41\n" << 5 << "six decimals";
    QTest::newRow("time backwards") << h + "0.000000 rx serial p 41\n" << 5 << "backwards";
    QTest::newRow("direction") << h + "0.000002 in serial p 41\n" << 5 << "direction";
    QTest::newRow("transport") << h + "0.000002 rx usb p 41\n" << 5 << "transport";
    QTest::newRow("odd hex") << h + "0.000002 rx serial p 414\n" << 5 << "odd number";
    QTest::newRow("not hex") << h + "0.000002 rx serial p 4g\n" << 5 << "hex digits";
    QTest::newRow("broken escape") << h + "0.000002 rx serial p%2 41\n" << 5 << "escape";
    QTest::newRow("too long") << h + "0.000002 rx serial p " + QByteArray((kCaptureMaxRecordBytes + 1) * 2, 'a') + "\n"
                              << 5 << "longer than";
  }

  // A text that is not a capture, or a bad line, is refused with its line
  // number; nothing of it is taken.
  void refusals() {
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, reason);
    const CaptureParse p = ParseCapture(text);
    QVERIFY(!p.ok());
    QCOMPARE(p.errorLine, line);
    QVERIFY2(p.error.contains(reason), qPrintable(p.error));
    QVERIFY(p.records.isEmpty());
  }

  // A capture cut short (a crash, a full disk) keeps every whole line; CR LF
  // line ends (a file that went through a mail program) read the same.
  void cutShortAndCrLf() {
    const QByteArray lines = "0.000001 rx serial p 41\n0.000002 tx serial p 4154\n";
    CaptureParse p = ParseCapture(kHead + lines + "0.000003 rx ser");
    QVERIFY(p.ok());
    QVERIFY(p.truncated);
    QCOMPARE(p.records.size(), 2);
    p = ParseCapture(kHead + lines + "0.000003 rx serial p 42");  // whole, only the line end is missing
    QVERIFY(p.ok());
    QVERIFY(!p.truncated);
    QCOMPARE(p.records.size(), 3);
    QByteArray crlf = kHead + lines;
    crlf.replace("\n", "\r\n");
    p = ParseCapture(crlf);
    QVERIFY(p.ok());
    QCOMPARE(p.records.size(), 2);
    QCOMPARE(p.records[1].bytes, QByteArray("AT"));
  }

  // What the tap takes reaches the file in order, timed from the start and
  // never backwards; a stopped capture takes nothing more.
  void captureWritesWhatTheTapTakes() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.ztcap"));
    LinkCapture capture;
    QString error;
    QVERIFY(capture.start(path, QStringLiteral("test"), &error));
    QVERIFY(capture.active());
    const int n = 5000;
    for (int i = 0; i < n; ++i)
      capture.tapped(i % 2 ? TapTransport::Ble : TapTransport::Serial,
                     i % 3 ? TapDirection::Received : TapDirection::Sent, QStringLiteral("/dev/pts/9"),
                     QByteArray::number(i));
    capture.stop();
    QVERIFY(!capture.active());
    capture.tapped(TapTransport::Serial, TapDirection::Sent, QStringLiteral("x"), "late");
    QCOMPARE(capture.recordsWritten(), std::uint64_t(n));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const CaptureParse p = ParseCapture(f.readAll());
    QVERIFY2(p.ok(), qPrintable(p.error));
    QCOMPARE(p.records.size(), n);
    for (int i = 0; i < n; ++i) {
      QCOMPARE(p.records[i].bytes, QByteArray::number(i));
      QCOMPARE(p.records[i].transport, i % 2 ? TapTransport::Ble : TapTransport::Serial);
      QCOMPARE(p.records[i].direction, i % 3 ? TapDirection::Received : TapDirection::Sent);
      QCOMPARE(p.records[i].port, QStringLiteral("/dev/pts/9"));
    }
  }

  // A file that cannot be made is refused at the start with the reason; a
  // disk that fills up ends the capture once, with the reason, and the
  // tap goes on taking calls without effect.
  void fullDiskEndsTheCapture() {
    LinkCapture capture;
    QString error;
    QVERIFY(!capture.start(QStringLiteral("/nonexistent-folder/c.ztcap"), QStringLiteral("test"), &error));
    QVERIFY(!error.isEmpty());
    if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full");
    QSignalSpy failed(&capture, &LinkCapture::failed);
    QVERIFY(capture.start(QStringLiteral("/dev/full"), QStringLiteral("test"), &error));
    for (int i = 0; i < 100; ++i) capture.tapped(TapTransport::Serial, TapDirection::Received, "p", "frame");
    QVERIFY(failed.wait(5000));
    QVERIFY2(failed.at(0).at(0).toString().contains(QStringLiteral("space"), Qt::CaseInsensitive),
             qPrintable(failed.at(0).at(0).toString()));
    QVERIFY(!capture.active());
    capture.tapped(TapTransport::Serial, TapDirection::Received, "p", "frame");
    QTest::qWait(2 * LinkCapture::kWriteEveryMs);
    QCOMPARE(failed.size(), 1);
  }
};

QTEST_GUILESS_MAIN(CaptureTest)
#include "test_capture.moc"
