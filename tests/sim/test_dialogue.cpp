#include <QTest>
#include <random>

#include "meter_model.h"
#include "sim_test_support.h"
#include "sim_tests.h"

using namespace zt::sim;
using simtest::Burst;
using simtest::U;

namespace {

// The dialogue as the lenient dongle reads it: texts picked out of the byte
// stream however they arrive. The strict reading has its own table below.
Options Dongle() {
  Options o;
  o.mode = LinkMode::Dongle;
  o.noise = 0;
  o.lenient = true;
  return o;
}

QList<QByteArray> Texts(const QList<Burst>& bursts) {
  QList<QByteArray> t;
  for (const auto& b : bursts) t.append(b.bytes);
  return t;
}

// Gaps between consecutive bursts, in ms.
QList<qint64> Gaps(const QList<Burst>& bursts) {
  QList<qint64> g;
  for (int i = 1; i < bursts.size(); ++i) g.append(bursts[i].at - bursts[i - 1].at);
  return g;
}

// Brings a dongle's link up; returns the time it came up.
qint64 Connect(MeterModel& m, qint64& now) {
  m.receive("AT+CONNL", now);
  const auto b = simtest::RunUntil(m, now, now + m.options().connectDelayMs + 50);
  return b.isEmpty() ? -1 : b.last().at;
}

const QByteArray kFrameCmdRd = QByteArray::fromHex("820101010A01");

}  // namespace

class DialogueTest : public QObject {
  Q_OBJECT
 private slots:
  void textsSplitOrMixed_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");   // received 1 ms apart
    QTest::addColumn<QList<QByteArray>>("answers");  // within 100 ms
    QTest::newRow("AT") << QList<QByteArray>{"AT"} << QList<QByteArray>{"OK"};
    QTest::newRow("AT in two reads") << QList<QByteArray>{"A", "T"} << QList<QByteArray>{"OK"};
    QTest::newRow("AT+CONNL in two reads") << QList<QByteArray>{"AT+CO", "NNL"} << QList<QByteArray>{"OK+CONNL"};
    QTest::newRow("AT twice") << QList<QByteArray>{"AT", "AT"} << QList<QByteArray>{"OK", "OK"};
    QTest::newRow("noise before AT") << QList<QByteArray>{"\x01\xFFxAT"} << QList<QByteArray>{"OK"};
    QTest::newRow("lone A") << QList<QByteArray>{"A"} << QList<QByteArray>{};
    QTest::newRow("AT+CONN is not AT+CONNL") << QList<QByteArray>{"AT+CONN"} << QList<QByteArray>{"OK"};
    QTest::newRow("command while not linked") << QList<QByteArray>{kFrameCmdRd} << QList<QByteArray>{};
  }
  void textsSplitOrMixed() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QList<QByteArray>, answers);
    MeterModel m(Dongle(), 0);
    QList<QByteArray> heard;
    m.onCommand = [&](const QByteArray& c) { heard.append(c); };
    qint64 now = 0;
    for (const auto& c : chunks) m.receive(c, ++now);
    QCOMPARE(Texts(simtest::RunUntil(m, now, 100)), answers);
    QVERIFY(heard.isEmpty());
    QCOMPARE(int(m.displayMode()), 1);
  }

  // The strict dongle reads one text per burst (bytes without kRxGapMs of
  // silence between them): a burst that is not exactly "AT" or "AT+CONNL"
  // gets no answer. What the lenient reading makes of the same bytes is in
  // the table above.
  void strictDongleReadsOneTextPerBurst_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");  // each: bytes, then a gap of `gapMs`
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::addColumn<QList<bool>>("taken");  // per burst the dongle delimited
    using B = QList<QByteArray>;
    using T = QList<bool>;
    QTest::newRow("AT") << B{"AT"} << 50 << B{"OK"} << T{true};
    QTest::newRow("AT+CONNL") << B{"AT+CONNL"} << 50 << B{"OK+CONNL", "OK+CONNF"} << T{true};
    QTest::newRow("AT in two reads, 1 ms apart") << B{"A", "T"} << 1 << B{"OK"} << T{true};
    QTest::newRow("AT, then AT+CONNL 50 ms later")
        << B{"AT", "AT+CONNL"} << 50 << B{"OK", "OK+CONNL", "OK+CONNF"} << T{true, true};
    QTest::newRow("ATAT+CONNL in one burst") << B{"ATAT+CONNL"} << 50 << B{} << T{false};
    QTest::newRow("AT and AT+CONNL 1 ms apart") << B{"AT", "AT+CONNL"} << 1 << B{} << T{false};
    QTest::newRow("ATAT") << B{"ATAT"} << 50 << B{} << T{false};
    QTest::newRow("noise before AT") << B{"\x01xAT"} << 50 << B{} << T{false};
    QTest::newRow("AT+CONN") << B{"AT+CONN"} << 50 << B{} << T{false};
    QTest::newRow("AT with a line end") << B{"AT\r\n"} << 50 << B{} << T{false};
  }
  void strictDongleReadsOneTextPerBurst() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(int, gapMs);
    QFETCH(QList<QByteArray>, answers);
    QFETCH(QList<bool>, taken);
    Options o = Dongle();
    o.lenient = false;
    o.connectFailure = ConnectFailure::F;  // the attempt ends in an answer of its own
    MeterModel m(o, 0);
    QList<bool> bursts;
    m.onBurst = [&](const QByteArray&, bool text) { bursts.append(text); };
    qint64 now = 0;
    QList<Burst> out;
    for (const auto& c : chunks) {
      m.receive(c, now);
      out += simtest::RunUntil(m, now, now + gapMs);
    }
    out += simtest::RunUntil(m, now, now + 2000);
    QCOMPARE(Texts(out), answers);
    QCOMPARE(bursts, taken);
    QVERIFY(!m.linked());
  }

  // Linked, the strict dongle still drops the link on an "AT" of its own and
  // passes commands on at once; an "AT" glued to a command goes to the meter.
  void strictDongleWhileLinked() {
    Options o = Dongle();
    o.lenient = false;
    MeterModel m(o, 0);
    qint64 now = 0;
    m.receive("AT+CONNL", now);
    simtest::RunUntil(m, now, 1000);
    QVERIFY(m.linked());
    m.receive(kFrameCmdRd, now);
    QCOMPARE(int(m.displayMode()), 2);
    m.receive(QByteArray::fromHex("810101010A01") + "AT", now);
    QCOMPARE(int(m.displayMode()), 1);
    simtest::RunUntil(m, now, now + 100);
    QVERIFY(m.linked());
    m.receive("AT", now);
    QVERIFY(Texts(simtest::RunUntil(m, now, now + 100)).contains("OK+LOST"));
    QVERIFY(!m.linked());
  }

  void connectsAndForwardsFrames() {
    MeterModel m(Dongle(), 0);
    QList<QByteArray> texts;
    QList<bool> links;
    m.onText = [&](const QByteArray& t) { texts.append(t); };
    m.onLinkChanged = [&](bool up) { links.append(up); };
    qint64 now = 0;
    QVERIFY(simtest::RunUntil(m, now, 3000).isEmpty());  // no frames before the radio link
    m.receive("AT+CONNL", now);
    const auto bursts = simtest::RunUntil(m, now, now + 3100);
    QCOMPARE(texts, QList<QByteArray>{"AT+CONNL"});
    QVERIFY(bursts.size() >= 4);
    QCOMPARE(bursts[0].bytes, QByteArray("OK+CONNL"));
    QCOMPARE(bursts[0].at, 3000);
    QCOMPARE(bursts[1].bytes, QByteArray("OK+CONN"));
    QCOMPARE(bursts[1].at, 3000 + m.options().connectDelayMs);
    for (int i = 2; i < bursts.size(); ++i) QVERIFY(simtest::ChecksumOk(bursts[i].bytes));
    QCOMPARE(links, QList<bool>{true});
    QVERIFY(m.linked());

    // A command now reaches the meter.
    m.receive(kFrameCmdRd, now);
    QCOMPARE(int(m.displayMode()), 2);

    // "AT" drops the radio link: "OK+LOST" and no more frames; then "OK" again.
    m.receive("AT", now);
    QCOMPARE(Texts(simtest::RunUntil(m, now, now + 3000)), QList<QByteArray>{"OK+LOST"});
    QCOMPARE(links, (QList<bool>{true, false}));
    m.receive("AT", now);
    QCOMPARE(Texts(simtest::RunUntil(m, now, now + 3000)), QList<QByteArray>{"OK"});
  }

  void connectFailures_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("F") << int(ConnectFailure::F) << QByteArray("OK+CONNF");
    QTest::newRow("E") << int(ConnectFailure::E) << QByteArray("OK+CONNE");
    QTest::newRow("N") << int(ConnectFailure::N) << QByteArray("OK+CONNN");
    QTest::newRow("E and F in one burst") << int(ConnectFailure::EF) << QByteArray("OK+CONNEOK+CONNF");
  }
  void connectFailures() {
    QFETCH(int, kind);
    QFETCH(QByteArray, result);
    Options o = Dongle();
    o.connectFailure = ConnectFailure(kind);
    o.connectFailures = 1;  // the second attempt succeeds
    MeterModel m(o, 0);
    qint64 now = 0;
    m.receive("AT+CONNL", now);
    QCOMPARE(Texts(simtest::RunUntil(m, now, 2500)), (QList<QByteArray>{"OK+CONNL", result}));
    QVERIFY(!m.linked());
    m.receive("AT+CONNL", now);
    const auto second = Texts(simtest::RunUntil(m, now, 2500 + 1500));
    QCOMPARE(second.mid(0, 2), (QList<QByteArray>{"OK+CONNL", "OK+CONN"}));
    QVERIFY(m.linked());
  }

  void everyAttemptFailsByDefault() {
    Options o = Dongle();
    o.connectFailure = ConnectFailure::N;
    MeterModel m(o, 0);
    qint64 now = 0;
    for (int i = 0; i < 3; ++i) {
      m.receive("AT+CONNL", now);
      QCOMPARE(Texts(simtest::RunUntil(m, now, now + 2500)), (QList<QByteArray>{"OK+CONNL", "OK+CONNN"}));
    }
    QVERIFY(!m.linked());
  }

  void connectAnswerWithLineEnd() {
    Options o = Dongle();
    o.connCrLf = true;
    MeterModel m(o, 0);
    qint64 now = 0;
    m.receive("AT+CONNL", now);
    QCOMPARE(Texts(simtest::RunUntil(m, now, 500)), (QList<QByteArray>{"OK+CONNL", "OK+CONN\r\n"}));
  }

  void powerOffDropsTheRadioLink() {
    MeterModel m(Dongle(), 0);
    qint64 now = 0;
    QVERIFY(Connect(m, now) > 0);
    m.receive(QByteArray::fromHex("890101010A01"), now);
    const qint64 off = now;
    const auto lost = simtest::RunUntil(m, now, now + 3000);
    QCOMPARE(Texts(lost), QList<QByteArray>{"OK+LOST"});
    QCOMPARE(lost.first().at - off, MeterModel::kLostDelayMs);
    QVERIFY(!m.linked());
    m.receive("AT+CONNL", now);
    QCOMPARE(Texts(simtest::RunUntil(m, now, now + 3000)), (QList<QByteArray>{"OK+CONNL", "OK+CONNF"}));
  }

  void mergedBurstsFault() {
    Options o = Dongle();
    o.faults.merge = true;
    MeterModel m(o, 0);
    qint64 now = 0;
    m.receive("AT+CONNL", now);
    const auto bursts = simtest::RunUntil(m, now, 8000);
    QVERIFY(!bursts.isEmpty());
    // The dongle's two answers and the first frame in one burst.
    const QByteArray first = bursts.first().bytes;
    QCOMPARE(first.size(), 17 + 18);
    QVERIFY(first.startsWith("OK+CONNLOK+CONN\r\n"));
    QVERIFY(simtest::ChecksumOk(first.mid(17)));
    int doubles = 0;
    for (const auto& b : bursts.mid(1)) {
      QVERIFY(b.bytes.size() == 18 || b.bytes.size() == 36);
      if (b.bytes.size() == 36) {
        ++doubles;
        QVERIFY(simtest::ChecksumOk(b.bytes.left(18)));
        QVERIFY(simtest::ChecksumOk(b.bytes.mid(18)));
      }
    }
    QVERIFY(doubles >= 2);
  }

  void splitBurstsFault() {
    Options o = Dongle();
    o.mode = LinkMode::Bridge;
    o.faults.split = true;
    MeterModel m(o, 0);
    qint64 now = 0;
    const auto bursts = simtest::RunUntil(m, now, 9000);
    int splits = 0;
    for (int i = 0; i < bursts.size(); ++i) {
      if (bursts[i].bytes.size() == 18) {
        QVERIFY(simtest::ChecksumOk(bursts[i].bytes));
        continue;
      }
      QVERIFY(i + 1 < bursts.size());
      QCOMPARE(bursts[i + 1].at - bursts[i].at, MeterModel::kSplitGapMs);  // > the logger's 10 ms
      QVERIFY(simtest::ChecksumOk(bursts[i].bytes + bursts[i + 1].bytes));
      ++splits;
      ++i;
    }
    QCOMPARE(splits, 3);
  }

  void garbageFault() {
    Options o = Dongle();
    o.mode = LinkMode::Bridge;
    o.faults.garbage = true;
    MeterModel m(o, 0);
    qint64 now = 0;
    const auto bursts = simtest::RunUntil(m, now, 9000);
    int junk = 0;
    for (const auto& b : bursts) {
      if (b.bytes.size() == 18)
        QVERIFY(simtest::ChecksumOk(b.bytes));
      else
        ++junk;
    }
    QCOMPARE(simtest::Frames(bursts).size(), 9);
    QCOMPARE(junk, 3);
    for (qint64 g : Gaps(bursts)) QVERIFY(g >= MeterModel::kMinBurstGapMs);
  }

  void silentDevice_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("dongle") << int(LinkMode::Dongle);
    QTest::newRow("bridge") << int(LinkMode::Bridge);
  }
  void silentDevice() {
    QFETCH(int, mode);
    Options o = Dongle();
    o.mode = LinkMode(mode);
    o.faults.silent = true;
    MeterModel m(o, 0);
    QList<QByteArray> heard;
    m.onCommand = [&](const QByteArray& c) { heard.append(c); };
    qint64 now = 0;
    m.receive("AT", now);
    m.receive("AT+CONNL", now + 100);
    m.receive(kFrameCmdRd, now + 500);
    QVERIFY(simtest::RunUntil(m, now, 10000).isEmpty());
    QCOMPARE(heard.size(), mode == int(LinkMode::Bridge) ? 1 : 0);
  }

  // Answers and frames that fall due together still go out 20 ms apart.
  void burstsKeepTheirSpacing() {
    Options o = Dongle();
    o.connectDelayMs = 0;
    MeterModel m(o, 0);
    qint64 now = 0;
    m.receive("AT+CONNL", 0);
    auto bursts = simtest::RunUntil(m, now, 995);
    m.receive("AT", 995);  // its "OK+LOST" falls due with the frame tick at 1000
    bursts += simtest::RunUntil(m, now, 3000);
    QCOMPARE(Texts(bursts).mid(0, 2), (QList<QByteArray>{"OK+CONNL", "OK+CONN"}));
    QVERIFY(Texts(bursts).contains("OK+LOST"));
    for (qint64 g : Gaps(bursts)) QVERIFY2(g >= MeterModel::kMinBurstGapMs, qPrintable(QString::number(g)));
  }

  void injectedBurstsKeepTheSpacing() {
    MeterModel m(Dongle(), 0);
    qint64 now = 0;
    m.inject(QByteArray(17, 'x'), 0);
    m.inject(QByteArray(19, 'y'), 0);
    const auto bursts = simtest::RunUntil(m, now, 100);
    QCOMPARE(Texts(bursts), (QList<QByteArray>{QByteArray(17, 'x'), QByteArray(19, 'y')}));
    QCOMPARE(Gaps(bursts), QList<qint64>{MeterModel::kMinBurstGapMs});
  }

  // Whatever arrives, the device neither crashes nor hangs, and every burst
  // it writes is one of its texts or a well-formed frame.
  void arbitraryInput_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("dongle") << int(LinkMode::Dongle);
    QTest::newRow("bridge") << int(LinkMode::Bridge);
  }
  void arbitraryInput() {
    QFETCH(int, mode);
    Options o = Dongle();
    o.mode = LinkMode(mode);
    MeterModel m(o, 0);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255), len(1, 12), step(0, 40);
    static const QByteArray kPieces[] = {"AT", "AT+CONNL", QByteArray::fromHex("010380210A01"),
                                         QByteArray::fromHex("C00101010A01")};
    qint64 now = 0;
    QList<Burst> bursts;
    for (int i = 0; i < 3000; ++i) {
      QByteArray chunk;
      if (i % 5 == 0)
        chunk = kPieces[i / 5 % 4];
      else
        for (int k = len(rng); k > 0; --k) chunk.append(char(byte(rng)));
      m.receive(chunk, now);
      bursts += simtest::RunUntil(m, now, now + step(rng));
    }
    static const QList<QByteArray> kTexts = {"OK", "OK+CONNL", "OK+CONN", "OK+LOST", "OK+CONNF"};
    QVERIFY(!bursts.isEmpty());
    for (const auto& b : bursts)
      QVERIFY2(kTexts.contains(b.bytes) || simtest::ChecksumOk(b.bytes), b.bytes.toHex(' ').constData());
  }
};

int RunDialogueTests(int argc, char** argv) {
  DialogueTest t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_dialogue.moc"
