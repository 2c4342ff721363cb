// The serial port over a real pseudo-terminal: burst assembly, the close rule,
// a device that hangs up, the start-up modem check, and the texts to the
// dongle each on its own.
#include <QtTest>

#include <QThread>
#include <memory>
#include <thread>

#include "com_port.h"
#include "dongle_texts.h"
#include "file_modes.h"
#include "modem_probe.h"
#include "pty_pair.h"

using Chunks = QList<QPair<QByteArray, int>>;  // bytes, then pause in ms
Q_DECLARE_METATYPE(Chunks)

namespace {

struct Recorder {
  QList<QByteArray> bursts;
  QList<QSerialPort::SerialPortError> errors;
  int afterOpen = 0;
  int beforeClose = 0;
  int gone = 0;
  bool openDuringBeforeClose = false;

  void attach(zt::ComPort& port) {
    QObject::connect(&port, &zt::ComPort::burstReceived, [this](const QByteArray& b) { bursts << b; });
    QObject::connect(&port, &zt::ComPort::exception,
                     [this](QSerialPort::SerialPortError e, const QString&) { errors << e; });
    QObject::connect(&port, &zt::ComPort::afterOpen, [this] { ++afterOpen; });
    QObject::connect(&port, &zt::ComPort::deviceGone, [this] { ++gone; });
    QObject::connect(&port, &zt::ComPort::beforeClose, [this, &port] {
      ++beforeClose;
      openDuringBeforeClose = port.isOpen();
      port.writeText(QStringLiteral("AT"));
    });
  }
};

QByteArray Sequence(int n) {
  QByteArray b;
  for (int i = 0; i < n; ++i) b.append(char(i * 7 + 1));
  return b;
}

}  // namespace

class ComPortTest : public QObject {
  Q_OBJECT

 private slots:
  void bursts_data() {
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QList<int>>("sizes");
    const QByteArray f = Sequence(18);
    QTest::newRow("one frame") << Chunks{{f, 0}} << QList<int>{18};
    QTest::newRow("frame in pieces 1 ms apart")
        << Chunks{{f.left(5), 1}, {f.mid(5, 6), 1}, {f.mid(11), 0}} << QList<int>{18};
    QTest::newRow("two frames 40 ms apart") << Chunks{{f, 40}, {f, 0}} << QList<int>{18, 18};
    QTest::newRow("frame then text 30 ms apart") << Chunks{{f, 30}, {"OK", 0}} << QList<int>{18, 2};
    QTest::newRow("long stream cut at 1000") << Chunks{{Sequence(2500), 0}} << QList<int>{1000, 1000, 500};
    QTest::newRow("exactly 1000") << Chunks{{Sequence(1000), 0}} << QList<int>{1000};
  }

  void bursts() {
    QFETCH(Chunks, chunks);
    QFETCH(QList<int>, sizes);
    PtyPair pty;
    QVERIFY(pty.ok());
    zt::ComPort port;
    Recorder r;
    r.attach(port);
    port.setPortName(pty.slavePath());
    QVERIFY(port.open());
    QCOMPARE(r.afterOpen, 1);
    QVERIFY2(r.errors.isEmpty(), "DTR/RTS on a pseudo-terminal must not count as a port error");

    QByteArray all;
    std::thread writer([&] {
      for (const auto& [bytes, pause] : chunks) {
        pty.send(bytes);
        if (pause) QThread::msleep(pause);
      }
    });
    for (const auto& c : chunks) all += c.first;
    QTRY_COMPARE_WITH_TIMEOUT(r.bursts.size(), sizes.size(), 3000);
    writer.join();
    QTest::qWait(50);  // nothing further trickles in
    QCOMPARE(r.bursts.size(), sizes.size());
    QList<int> got;
    QByteArray joined;
    for (const auto& b : r.bursts) {
      got << int(b.size());
      joined += b;
    }
    QCOMPARE(got, sizes);
    QCOMPARE(joined, all);  // nothing lost, nothing reordered
  }

  void heldBytesGoToOneReadThenToBursts() {
    PtyPair pty;
    QVERIFY(pty.ok());
    zt::ComPort port;
    Recorder r;
    r.attach(port);
    port.setPortName(pty.slavePath());
    QVERIFY(port.open());

    port.setHeld(true);
    pty.send(Sequence(50));
    QTest::qWait(60);
    QVERIFY(r.bursts.isEmpty());
    QByteArray read;
    bool done = false;
    port.readBurst(40, 500, [&](const QByteArray& b) {
      read = b;
      done = true;
    });
    QTRY_VERIFY(done);
    QCOMPARE(read, Sequence(50).left(40));
    port.setHeld(false);
    QTRY_COMPARE(r.bursts.size(), 1);
    QCOMPARE(r.bursts.first(), Sequence(50).mid(40));
  }

  void purgeDropsHeldBytes() {
    PtyPair pty;
    QVERIFY(pty.ok());
    zt::ComPort port;
    Recorder r;
    r.attach(port);
    port.setPortName(pty.slavePath());
    QVERIFY(port.open());
    port.setHeld(true);
    pty.send("noise");
    QTest::qWait(40);
    port.purge();
    port.setHeld(false);
    QTest::qWait(40);
    QVERIFY(r.bursts.isEmpty());
    pty.send("OK");
    QTRY_COMPARE(r.bursts.size(), 1);
    QCOMPARE(r.bursts.first(), QByteArray("OK"));
  }

  void readWithoutAnswerEndsEmpty() {
    PtyPair pty;
    QVERIFY(pty.ok());
    zt::ComPort port;
    port.setPortName(pty.slavePath());
    QVERIFY(port.open());
    bool done = false;
    QByteArray read("x");
    port.readBurst(40, 100, [&](const QByteArray& b) {
      read = b;
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 1000);
    QVERIFY(read.isEmpty());
  }

  void writesReachTheDevice() {
    PtyPair pty;
    QVERIFY(pty.ok());
    zt::ComPort port;
    port.setPortName(pty.slavePath());
    QCOMPARE(port.write("AT"), -1);  // closed: no effect, no error
    QVERIFY(port.open());
    QCOMPARE(port.writeText(QStringLiteral("AT+CONNL")), 8);
    // Characters above 255 keep their low 8 bits.
    QCOMPARE(port.writeText(QString(QChar(0x141))), 1);
    const QByteArray cmd("\x80\x01\x01\x01\x0A\x01", 6);
    QCOMPARE(port.write(cmd), 6);
    QByteArray got;
    QTRY_VERIFY((got += pty.received()).size() >= 15);
    QCOMPARE(got, QByteArray("AT+CONNL") + 'A' + cmd);
  }

  void openFailureIsReported() {
    zt::ComPort port;
    Recorder r;
    r.attach(port);
    port.setPortName(QStringLiteral("/nonexistent/ttyZT0"));
    QVERIFY(!port.open());
    QVERIFY(!port.isOpen());
    QCOMPARE(r.afterOpen, 0);
    QCOMPARE(r.errors.size(), 1);
    QCOMPARE(r.errors.first(), QSerialPort::DeviceNotFoundError);
  }

  // Only a device file the user may not read and write is an access
  // problem; a busy or missing port fails to open all the same but is not.
  void accessDeniedOnlyForMissingRights_data() {
    QTest::addColumn<QString>("why");
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::addColumn<bool>("denied");
    QTest::newRow("no read or write permission") << "mode 000" << QSerialPort::PermissionError << true;
    QTest::newRow("held by another port") << "busy" << QSerialPort::PermissionError << false;
    QTest::newRow("device missing") << "missing" << QSerialPort::DeviceNotFoundError << false;
  }

  void accessDeniedOnlyForMissingRights() {
    QFETCH(QString, why);
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(bool, denied);
    FileModesEnforced enforced;
    if (!enforced.ok()) QSKIP("root that cannot give up overriding file modes: a mode 000 port opens anyway");
    PtyPair pty;
    QVERIFY(pty.ok());
    std::unique_ptr<NoAccess> noAccess;
    zt::ComPort holder;
    QString path = pty.slavePath();
    if (why == "mode 000") noAccess = std::make_unique<NoAccess>(path);
    if (why == "busy") {
      holder.setPortName(path);
      QVERIFY(holder.open());
    }
    if (why == "missing") path = QStringLiteral("/nonexistent/ttyZT0");

    zt::ComPort port;
    Recorder r;
    r.attach(port);
    QSignalSpy reports(&port, &zt::ComPort::accessDenied);
    port.setPortName(path);
    // The link manager retries at every poll; the user hears of it once.
    for (int i = 0; i < 3; ++i) QVERIFY(!port.open());
    QCOMPARE(r.errors, QList<QSerialPort::SerialPortError>(3, error));
    QCOMPARE(reports.size(), denied ? 1 : 0);
    if (denied) {
      QCOMPARE(reports.at(0).at(0).toString(), path);
      QCOMPARE(reports.at(0).at(1).toString(), QFileInfo(path).group());
    }
  }

  void accessDeniedOncePerPortUntilItOpens() {
    FileModesEnforced enforced;
    if (!enforced.ok()) QSKIP("root that cannot give up overriding file modes: a mode 000 port opens anyway");
    PtyPair a, b;
    QVERIFY(a.ok() && b.ok());
    NoAccess lockedA(a.slavePath()), lockedB(b.slavePath());
    zt::ComPort port;
    QSignalSpy reports(&port, &zt::ComPort::accessDenied);
    port.setPortName(a.slavePath());
    QVERIFY(!port.open());
    QVERIFY(!port.open());
    QCOMPARE(reports.size(), 1);
    // Another port is news of its own.
    port.setPortName(b.slavePath());
    QVERIFY(!port.open());
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports.at(1).at(0).toString(), b.slavePath());
    // Access granted, the port opens; losing access again is reported again.
    QVERIFY(lockedA.release());
    port.setPortName(a.slavePath());
    QVERIFY(port.open());
    port.close();
    QVERIFY(lockedA.lock());
    QVERIFY(!port.open());
    QCOMPARE(reports.size(), 3);
    QCOMPARE(reports.at(2).at(0).toString(), a.slavePath());
  }

  void closeWithDevicePresentRunsBeforeClose() {
    PtyPair pty;
    QVERIFY(pty.ok());
    zt::ComPort port;
    Recorder r;
    r.attach(port);
    port.setPortName(pty.slavePath());
    QVERIFY(port.open());
    port.close();
    QVERIFY(!port.isOpen());
    QCOMPARE(r.beforeClose, 1);
    QVERIFY(r.openDuringBeforeClose);
    QCOMPARE(r.gone, 0);
    QByteArray got;
    QTRY_COMPARE((got += pty.received()), QByteArray("AT"));  // the goodbye was not lost
    // Closing a closed port does nothing.
    port.close();
    QCOMPARE(r.beforeClose, 1);
  }

  void closeWithDeviceGoneSkipsBeforeClose() {
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->ok());
    zt::ComPort port;
    Recorder r;
    r.attach(port);
    port.setPortName(pty->slavePath());
    QVERIFY(port.open());
    pty.reset();
    port.close();  // before the event loop has even seen the hang-up
    QVERIFY(!port.isOpen());
    QCOMPARE(r.beforeClose, 0);
    QCOMPARE(r.gone, 1);
  }

  void hangUpClosesThePortOnce() {
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->ok());
    zt::ComPort port;
    Recorder r;
    r.attach(port);
    port.setPortName(pty->slavePath());
    QVERIFY(port.open());
    pty->send("OK");
    QTRY_COMPARE(r.bursts.size(), 1);
    pty.reset();
    QTRY_COMPARE(r.gone, 1);
    QVERIFY(!port.isOpen());
    QTest::qWait(100);
    // One report of the hang-up, not a stream of them from a spinning loop.
    QCOMPARE(r.errors.size(), 1);
    QCOMPARE(r.beforeClose, 0);
    QCOMPARE(r.gone, 1);
  }

  void reopensWhenTheDeviceReturns() {
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->ok());
    zt::ComPort port;
    Recorder r;
    r.attach(port);
    port.setPortName(pty->slavePath());
    QVERIFY(port.open());
    pty.reset();
    QTRY_COMPARE(r.gone, 1);
    PtyPair again;
    QVERIFY(again.ok());
    port.setPortName(again.slavePath());
    QVERIFY(port.open());
    again.send("OK+CONN");
    QTRY_COMPARE(r.bursts.size(), 1);
    QCOMPARE(r.bursts.first(), QByteArray("OK+CONN"));
  }

  void probe_data() {
    QTest::addColumn<QList<QByteArray>>("replies");  // answer to the 1st, 2nd "AT"
    QTest::addColumn<bool>("answered");
    QTest::newRow("dongle answers both") << QList<QByteArray>{"OK", "OK"} << true;
    QTest::newRow("answer inside a longer reply") << QList<QByteArray>{"", "xxOK+LOST"} << true;
    QTest::newRow("silent device") << QList<QByteArray>{"", ""} << false;
    QTest::newRow("only the first answer (purged)") << QList<QByteArray>{"OK", ""} << false;
    QTest::newRow("frames, no modem") << QList<QByteArray>{Sequence(18), Sequence(18)} << false;
  }

  void probe() {
    QFETCH(QList<QByteArray>, replies);
    QFETCH(bool, answered);
    PtyPair pty;
    QVERIFY(pty.ok());
    zt::ComPort port;
    Recorder r;
    r.attach(port);
    port.setPortName(pty.slavePath());
    QVERIFY(port.open());

    // The device side: answer each "AT" as it comes.
    QTimer device;
    int ats = 0;
    QByteArray seen;
    QObject::connect(&device, &QTimer::timeout, [&] {
      seen += pty.received();
      while (seen.contains("AT") && ats < replies.size()) {
        seen.remove(0, seen.indexOf("AT") + 2);
        if (!replies[ats].isEmpty()) pty.send(replies[ats]);
        ++ats;
      }
    });
    device.start(5);

    zt::ModemProbe probe(&port);
    bool finished = false;
    bool result = !answered;
    QObject::connect(&probe, &zt::ModemProbe::finished, [&](bool ok, const QByteArray&) {
      finished = true;
      result = ok;
    });
    QElapsedTimer clock;
    clock.start();
    probe.start();
    QVERIFY(probe.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(finished, 3000);
    QCOMPARE(result, answered);
    QCOMPARE(ats, 2);
    // Bounded: a silent device does not hold the start-up for long.
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    // The probe's own traffic does not leak into the ordinary bursts.
    QTest::qWait(30);
    QVERIFY(r.bursts.isEmpty());
  }

  // Texts keep their order, one still waiting is not queued twice, a connect
  // request waits for the device's answer to the "AT" before it, and what
  // still waits when the device goes is dropped with its caller told.
  void dongleTexts() {
    PtyPair pty;
    QVERIFY(pty.ok());
    zt::ComPort port;
    port.setPortName(pty.slavePath());
    QVERIFY(port.open());
    zt::DongleTexts texts(&port);
    QList<QPair<QString, bool>> done;
    auto note = [&](const QString& t) { return [&done, t](bool written) { done << qMakePair(t, written); }; };
    using After = zt::DongleTexts::After;
    texts.send(QStringLiteral("AT"), After::Quiet, note(QStringLiteral("AT")));
    texts.send(QStringLiteral("AT+CONNL"), After::Answer, note(QStringLiteral("AT+CONNL")));
    texts.send(QStringLiteral("AT+CONNL"), After::Answer, note(QStringLiteral("again")));
    QVERIFY(texts.pending());
    QByteArray got;
    QTRY_COMPARE((got += pty.received()), QByteArray("AT"));
    QVERIFY(pty.send("OK"));  // the answer lets the connect request go
    QTRY_COMPARE((got += pty.received()), QByteArray("ATAT+CONNL"));
    QTRY_VERIFY(!texts.pending());
    QCOMPARE(done, (QList<QPair<QString, bool>>{{"AT", true}, {"AT+CONNL", true}}));

    // Unanswered, the next request is held back; the device goes first.
    texts.send(QStringLiteral("AT+CONNL"), After::Answer, note(QStringLiteral("held")));
    QTRY_VERIFY(texts.pending() || !pty.received().isEmpty());
    texts.clear();
    QCOMPARE(done.last(), qMakePair(QStringLiteral("held"), false));
    QTest::qWait(zt::kDongleAnswerWaitMs + 200);
    QCOMPARE(pty.received(), QByteArray());

    // A closed port takes nothing: the caller hears so.
    port.close();
    texts.send(QStringLiteral("AT"), After::Quiet, note(QStringLiteral("closed")));
    QTRY_COMPARE(done.last(), qMakePair(QStringLiteral("closed"), false));
  }
};

#include "test_com_port.moc"

int RunComPortTests(int argc, char** argv) {
  ComPortTest t;
  return QTest::qExec(&t, argc, argv);
}
