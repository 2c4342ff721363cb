// Replay of a capture, on the pure core's clock: the dongle's answers to the
// program's texts in turn, a burst of two texts unanswered, the stream with
// its spacing divided by the speed (never closer than the logger can tell
// apart), the wait at a captured command, a link dropped and taken up again,
// and a USB-UART bridge's stream.
#include <QtTest>

#include "replay_script.h"

using namespace zt;
using namespace zt::sim;

namespace {

constexpr qint64 kMs = 1000;

struct Sent {
  qint64 atMs;
  QByteArray bytes;
};

CaptureRecord Rx(qint64 ms, const QByteArray& b) {
  return {ms * kMs, TapDirection::Received, TapTransport::Serial, QStringLiteral("p"), b};
}
CaptureRecord Tx(qint64 ms, const QByteArray& b) {
  return {ms * kMs, TapDirection::Sent, TapTransport::Serial, QStringLiteral("p"), b};
}

QByteArray Frame(char tag) {
  QByteArray f(18, tag);
  f[17] = '\n';
  return f;
}

const QByteArray kCmd = QByteArray::fromHex("800101010a01");

// A dongle session: a failed attempt, a good one, four frames 500 ms apart
// with the program's wake-up between the second and the third, then the
// program's "AT" and the dongle's "OK+LOST".
QList<CaptureRecord> DongleCapture() {
  return {Tx(0, "AT"),          Rx(5, "OK"),          Tx(300, "AT+CONNL"),  Rx(310, "OK+CONNL"),  Rx(610, "OK+CONNF"),
          Tx(2800, "AT+CONNL"), Rx(2810, "OK+CONNL"), Rx(3110, "OK+CONN"),  Rx(3500, Frame('a')), Rx(4000, Frame('b')),
          Tx(4110, kCmd),       Rx(4200, Frame('c')), Rx(4700, Frame('d')), Tx(5000, "AT"),       Rx(5010, "OK+LOST")};
}

ReplayScript Script(const QList<CaptureRecord>& records) {
  ReplayScript s;
  QString error;
  if (!BuildReplayScript(records, &s, &error)) qWarning() << error;
  return s;
}

// Runs the core from `fromMs` to `toMs`, the program writing `input` at
// its times; returns what the device wrote.
QList<Sent> Run(ReplayModel& m, qint64 fromMs, qint64 toMs, QList<Sent> input = {}) {
  QList<Sent> out;
  qint64 now = fromMs * kMs;
  while (now <= toMs * kMs) {
    while (!input.isEmpty() && input.first().atMs * kMs <= now) {
      m.receive(input.first().bytes, now);
      input.removeFirst();
    }
    while (auto b = m.takeDue(now)) out.append({now / kMs, *b});
    qint64 next = std::max(m.nextEventUs(), now + 1);
    if (!input.isEmpty()) next = std::min(next, input.first().atMs * kMs);
    if (next <= now) next = now + 1;
    now = next;
  }
  return out;
}

QList<QByteArray> Bytes(const QList<Sent>& sent) {
  QList<QByteArray> b;
  for (const Sent& s : sent) b.append(s.bytes);
  return b;
}

}  // namespace

class ReplayTest : public QObject {
  Q_OBJECT

 private slots:
  void scriptOfADongleCapture() {
    const ReplayScript s = Script(DongleCapture());
    QVERIFY(s.dongle);
    QCOMPARE(s.frames, 4);
    QCOMPARE(s.sessions.size(), 1);
    const ReplaySession& session = s.sessions[0];
    QCOMPARE(session.exchanges.size(), 3);
    QCOMPARE(session.exchanges[2].answers.size(), 2);
    QVERIFY(session.exchanges[2].answers[1].linkUp);
    QCOMPARE(session.originUs, 3110 * kMs);
    QCOMPARE(session.stream.size(), 5);  // four frames and the command between them
    QVERIFY(session.stream[2].command);
    QVERIFY(session.closing.has_value());
    QCOMPARE(session.closing->answers.first().bytes, QByteArray("OK+LOST"));
  }

  void nothingToPlay() {
    ReplayScript s;
    QString error;
    QVERIFY(!BuildReplayScript({Tx(0, "AT+CONNL"), Tx(10, "AT")}, &s, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!BuildReplayScript({}, &s, &error));
  }

  // Each text gets the capture's answers in turn, with their delays; the
  // last attempt's answers once the capture's are used up.
  void dialogueInTurn() {
    ReplayModel m(Script(DongleCapture()), 1.0);
    const QList<Sent> out = Run(m, 0, 1000, {{0, "AT"}, {100, "AT+CONNL"}});
    QCOMPARE(Bytes(out), (QList<QByteArray>{"OK", "OK+CONNL", "OK+CONNF"}));
    QCOMPARE(out[0].atMs, 5);
    QCOMPARE(out[1].atMs, 110);
    QCOMPARE(out[2].atMs, 410);
    QVERIFY(!m.streaming());
    const QList<Sent> next = Run(m, 1000, 1400, {{1000, "AT+CONNL"}});
    QCOMPARE(Bytes(next), (QList<QByteArray>{"OK+CONNL", "OK+CONN"}));
    QCOMPARE(next[1].atMs, 1310);  // the second attempt's answers
    QVERIFY(m.streaming());
  }

  // A burst that is not exactly one text or whole commands gets nothing, as
  // from a real dongle; an "AT" the capture never saw gets the dongle's "OK".
  void strictBursts() {
    ReplayModel m(Script({Tx(0, "AT+CONNL"), Rx(10, "OK+CONNL"), Rx(300, "OK+CONN"), Rx(700, Frame('a'))}), 1.0);
    QVERIFY(Run(m, 0, 1000, {{0, "ATAT+CONNL"}, {100, "AT+CONNL\r"}, {200, "A"}}).isEmpty());
    QCOMPARE(Bytes(Run(m, 1000, 1100, {{1000, "AT"}})), QList<QByteArray>{"OK"});
  }

  // The stream keeps its spacing divided by the speed, waits at the
  // captured command for the program's, and goes on timed from it.
  void streamWaitsForTheCommand() {
    ReplayModel m(Script(DongleCapture()), 1.0);
    Run(m, 0, 900, {{0, "AT+CONNL"}, {300, "AT+CONNL"}});  // the failed one, then the link
    const QList<Sent> out = Run(m, 1000, 6000, {{3000, kCmd}});
    QCOMPARE(Bytes(out), (QList<QByteArray>{Frame('a'), Frame('b'), Frame('c'), Frame('d')}));
    // Link up at 610 ms: frames 390 and 890 ms after it; then the command,
    // 110 ms after the second frame in the capture, comes at 3000 ms here.
    QCOMPARE(out[0].atMs, 1000);  // due at 1000: 610 + 390
    QCOMPARE(out[1].atMs, 1500);
    QCOMPARE(out[2].atMs, 3090);
    QCOMPARE(out[3].atMs, 3590);
    QVERIFY(m.streamEnded());
  }

  void streamGoesOnWithoutTheCommand() {
    ReplayModel m(Script(DongleCapture()), 1.0);
    Run(m, 0, 900, {{0, "AT+CONNL"}, {300, "AT+CONNL"}});
    const QList<Sent> out = Run(m, 1000, 9000);
    QCOMPARE(out.size(), 4);
    // Reached at 1500 + 110 ms; the wait ends 3 s later.
    QCOMPARE(out[2].atMs, 1610 + ReplayModel::kCommandWaitMs + 90);
  }

  // A text while the stream runs drops the link with the capture's closing
  // answer; the next connection goes on where the stream stopped.
  void dropAndReconnect() {
    ReplayModel m(Script(DongleCapture()), 1.0);
    Run(m, 0, 900, {{0, "AT+CONNL"}, {300, "AT+CONNL"}});
    QList<Sent> out = Run(m, 1000, 1200, {{1100, "AT"}});
    QCOMPARE(Bytes(out), (QList<QByteArray>{Frame('a'), "OK+LOST"}));
    QVERIFY(!m.streaming());
    out = Run(m, 2000, 3000, {{2000, "AT+CONNL"}});
    QCOMPARE(Bytes(out), (QList<QByteArray>{"OK+CONNL", "OK+CONN", Frame('b')}));
  }

  // Faster, but never closer than 20 ms: the logger ends a burst after 10 ms
  // of silence.
  void speedAndTheGapFloor() {
    QList<CaptureRecord> c{Tx(0, "AT+CONNL"), Rx(10, "OK+CONNL"), Rx(300, "OK+CONN")};
    for (int i = 0; i < 10; ++i) c.append(Rx(800 + 500 * i, Frame(char('a' + i))));
    ReplayModel fast(Script(c), 10.0);
    QList<Sent> out = Run(fast, 0, 2000, {{0, "AT+CONNL"}});
    QCOMPARE(out.size(), 12);
    QCOMPARE(out[0].atMs, 1);
    QCOMPARE(out[1].atMs, 30);
    QCOMPARE(out[3].atMs - out[2].atMs, 50);
    ReplayModel faster(Script(c), 1000.0);
    out = Run(faster, 0, 2000, {{0, "AT+CONNL"}});
    QCOMPARE(out.size(), 12);
    for (int i = 1; i < out.size(); ++i) QCOMPARE(out[i].atMs - out[i - 1].atMs, ReplayModel::kMinGapMs);
    QCOMPARE(faster.framesWritten(), std::uint64_t(10));
  }

  // Fast, the frames after the program's command keep clear of the logger's
  // hold on frames after a command (a meter's next frame comes much later).
  void framesClearOfTheCommand() {
    ReplayModel m(Script(DongleCapture()), 1000.0);
    Run(m, 0, 20, {{0, "AT+CONNL"}, {5, "AT+CONNL"}});
    QList<Sent> out;
    for (const Sent& s : Run(m, 21, 500, {{100, kCmd}}))
      if (s.bytes.size() == 18) out.append(s);
    QCOMPARE(Bytes(out), (QList<QByteArray>{Frame('a'), Frame('b'), Frame('c'), Frame('d')}));
    QCOMPARE(out[2].atMs, 100 + ReplayModel::kAfterCommandMs);
    QCOMPARE(out[3].atMs, out[2].atMs + ReplayModel::kMinGapMs);
  }

  // A USB-UART bridge (no dialogue), and Bluetooth LE notifications, are one
  // stream that starts when the program first writes.
  void bridgeStream() {
    QList<CaptureRecord> c{Tx(0, "AT+CONNL"), Rx(400, Frame('a')), Rx(900, Frame('b'))};
    ReplayModel m(Script(c), 1.0);
    QVERIFY(!m.script().dongle);
    QVERIFY(Run(m, 0, 1000).isEmpty());
    const QList<Sent> out = Run(m, 1000, 2000, {{1000, "AT+CONNL"}});
    QCOMPARE(Bytes(out), (QList<QByteArray>{Frame('a'), Frame('b')}));
    QCOMPARE(out[0].atMs, 1020);
    QCOMPARE(out[1].atMs, 1520);

    QList<CaptureRecord> ble;
    for (const CaptureRecord& r : c) {
      CaptureRecord b = r;
      b.transport = TapTransport::Ble;
      ble.append(b);
    }
    ReplayModel viaBle(Script(ble), 1.0);
    QCOMPARE(Bytes(Run(viaBle, 0, 1000, {{0, "x"}})), (QList<QByteArray>{Frame('a'), Frame('b')}));
  }
};

QTEST_GUILESS_MAIN(ReplayTest)
#include "test_replay.moc"
