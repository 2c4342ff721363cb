// The logger as a process, killed with SIGKILL while it records from the
// simulated meter at two rows a second: after the restart at most the row in
// flight is missing, every other row is back in the grid with its texts and
// colours, and the log goes on at the next position.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

#include "journal_format.h"
#include "simulated_meter.h"

using namespace zt;

namespace {

const QString kProgram = QStringLiteral(ZT_LOGGER_UNDER_TEST);

// 1.dat with automatic connection on (byte 204), nothing else chosen.
void WriteSettings(const QString& folder) {
  QByteArray dat(206, '\0');
  dat[204] = 1;
  QFile f(folder + QStringLiteral("/1.dat"));
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(dat);
}

struct Logger {
  QProcess p;
  explicit Logger(const QString& data) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("RLC_DATA_DIR"), data);
    env.insert(QStringLiteral("ZT_DISMISS_MESSAGES_MS"), QStringLiteral("100"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QStringLiteral(ZT_SOURCE_DIR));  // lang/eng.lng
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(kProgram, {});
  }
  ~Logger() {
    if (p.state() != QProcess::NotRunning) {
      p.kill();
      p.waitForFinished(5000);
    }
  }
};

}  // namespace

class TestJournalProcess : public QObject {
  Q_OBJECT

 private slots:
  void killedWhileRecordingLosesAtMostTheRowInFlight() {
    QTemporaryDir data;
    WriteSettings(data.path());
    qputenv("RLC_DATA_DIR", data.path().toLocal8Bit());  // the simulator registers there
    const QString journal = data.filePath(QStringLiteral("journal/current.journal"));
    const auto read = [&] {
      QFile f(journal);
      return ParseJournal(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray());
    };

    sim::Options o;
    o.hold = true;       // the meter logs by its hold: no one presses "Пуск"
    o.intervalCode = 3;  // two frames a second
    o.connectDelayMs = 30;
    sim::SimulatedMeter meter(o);
    QVERIFY(meter.start());
    // A command holds the logger's input for 50 ms (the wake-up after the link
    // comes up): frames are counted from after the last one.
    QElapsedTimer sinceCommand;
    connect(&meter, &sim::SimulatedMeter::commandReceived, this, [&] { sinceCommand.start(); });

    auto logger = std::make_unique<Logger>(data.path());
    QVERIFY(logger->p.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(sinceCommand.isValid() && sinceCommand.elapsed() > 200 && read().rows.size() >= 2, 20000);
    // A quiet moment: right after a row was journaled, the next frame half a
    // second away.
    const std::size_t before = read().rows.size();
    QTRY_VERIFY_WITH_TIMEOUT(read().rows.size() > before, 3000);
    const JournalLog base = read();
    const std::uint64_t frames0 = meter.framesWritten();
    const qsizetype rows0 = qsizetype(base.rows.size());

    // Killed the moment a frame is on its way: that row may be lost, no other.
    std::uint64_t framesAtKill = 0;
    bool armed = false;
    const pid_t pid = pid_t(logger->p.processId());
    connect(&meter, &sim::SimulatedMeter::burstWritten, this, [&](const QByteArray& burst) {
      if (!armed || burst.size() != 18) return;
      armed = false;
      ::kill(pid, SIGKILL);
      framesAtKill = meter.framesWritten();
    });
    QTRY_VERIFY_WITH_TIMEOUT(qsizetype(read().rows.size()) >= rows0 + 6, 8000);
    armed = true;
    // The event loop keeps running: the simulator lives in this process.
    QTRY_VERIFY_WITH_TIMEOUT(logger->p.state() == QProcess::NotRunning, 5000);
    QCOMPARE(logger->p.exitStatus(), QProcess::CrashExit);
    logger.reset();

    const JournalLog killed = read();
    QCOMPARE(killed.damage.lines, 0);
    const qsizetype rows = qsizetype(killed.rows.size());
    const qsizetype sent = qsizetype(framesAtKill - frames0);
    QVERIFY2(rows - rows0 >= sent - 1 && rows - rows0 <= sent,
             qPrintable(QStringLiteral("%1 frames sent, %2 rows journaled").arg(sent).arg(rows - rows0)));
    QCOMPARE(killed.lastPosition, int(rows));  // rows 1..n, none missing between
    QCOMPARE(killed.rows.rbegin()->first, int(rows));
    RowsDigest digest;
    for (const auto& [pos, r] : killed.rows) digest.add(r.row);

    // Started again: the rows come back into the grid, and the log goes on
    // after them as the meter keeps sending.
    Logger again(data.path());
    QVERIFY(again.p.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(qsizetype(read().rows.size()) >= rows + 2, 20000);
    const JournalLog after = read();
    const auto restored = std::find_if(after.events.begin(), after.events.end(),
                                       [](const JournalEvent& e) { return e.kind == JournalEvent::Kind::Restored; });
    QVERIFY(restored != after.events.end());
    QCOMPARE(restored->value, int(rows));
    QCOMPARE(restored->skipped, 0);
    // The digest the restarted program took of its own grid is the digest of
    // the rows the killed one had journaled: same positions, texts, colours.
    QCOMPARE(restored->digest, digest.value());
    for (const auto& [pos, r] : killed.rows) QCOMPARE(after.rows.at(pos).row, r.row);
    QCOMPARE(after.rows.at(int(rows) + 1).line > restored->line, true);
    QCOMPARE(after.rows.at(int(rows) + 1).row.texts[0], QString::number(rows + 1));
    QCOMPARE(after.damage.lines, 0);
    qunsetenv("RLC_DATA_DIR");
  }
};

QTEST_GUILESS_MAIN(TestJournalProcess)
#include "test_journal_process.moc"
