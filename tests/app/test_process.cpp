// The program as a process: one copy per program path, the language file
// check, and a lock that does not outlive a killed copy.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QString kProgram = QStringLiteral(ZT_LOGGER_PATH);

// A working directory holding lang/eng.lng (or not).
QString MakeWorkDir(QTemporaryDir& dir, bool withLang) {
  if (withLang) {
    QDir(dir.path()).mkpath(QStringLiteral("lang"));
    QFile f(dir.filePath(QStringLiteral("lang/eng.lng")));
    if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write eng.lng");
    f.write("[LANGUAGE_FILE]\r\n");
  }
  return dir.path();
}

struct Logger {
  QProcess p;
  Logger(const QString& program, const QString& workDir, const QString& dataDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("RLC_DATA_DIR"), dataDir);
    env.insert(QStringLiteral("ZT_DISMISS_MESSAGES_MS"), QStringLiteral("100"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    p.start(program, {});
  }
  ~Logger() {
    if (p.state() != QProcess::NotRunning) {
      p.kill();
      p.waitForFinished(5000);
    }
  }
  // Still running after `ms`: it got past the guard and made its window.
  bool runsFor(int ms) { return p.waitForStarted(5000) && !p.waitForFinished(ms); }
};

}  // namespace

class TestProcess : public QObject {
  Q_OBJECT

  QTemporaryDir data;

 private slots:
  void secondCopyIsTurnedAway() {
    QTemporaryDir work;
    MakeWorkDir(work, true);
    Logger first(kProgram, work.path(), data.path());
    QVERIFY(first.runsFor(1500));
    Logger second(kProgram, work.path(), data.path());
    QVERIFY(second.p.waitForFinished(10000));
    QCOMPARE(second.p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.p.exitCode(), 0);
    const QString err = QString::fromUtf8(second.p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("Вы пытаетесь запустить программу повторно")), qPrintable(err));
    QVERIFY2(err.contains(QFileInfo(kProgram).canonicalFilePath()), qPrintable(err));
    QCOMPARE(first.p.state(), QProcess::Running);
  }

  void killedCopyDoesNotLockOut() {
    QTemporaryDir work;
    MakeWorkDir(work, true);
    {
      Logger first(kProgram, work.path(), data.path());
      QVERIFY(first.runsFor(1500));
      ::kill(pid_t(first.p.processId()), SIGKILL);
      QVERIFY(first.p.waitForFinished(5000));
    }
    Logger next(kProgram, work.path(), data.path());
    QVERIFY(next.runsFor(1500));
  }

  void copiesFromOtherPathsRunSideBySide() {
    QTemporaryDir work, bin;
    MakeWorkDir(work, true);
    const QString copy = bin.filePath(QStringLiteral("zt-logger"));
    QVERIFY(QFile::copy(kProgram, copy));
    QFile::setPermissions(copy, QFile::permissions(kProgram));
    Logger a(kProgram, work.path(), data.path());
    QVERIFY(a.runsFor(1000));
    Logger b(copy, work.path(), data.path());
    QVERIFY(b.runsFor(1000));
  }

  void missingLanguageFileEndsSilently() {
    QTemporaryDir work;
    MakeWorkDir(work, false);
    Logger l(kProgram, work.path(), data.path());
    QVERIFY(l.p.waitForFinished(10000));
    QCOMPARE(l.p.exitCode(), 0);
    // No message of its own (Qt itself may warn about the platform).
    QVERIFY(!QString::fromUtf8(l.p.readAllStandardError()).contains(QStringLiteral("Вы пытаетесь")));
    QVERIFY(l.p.readAllStandardOutput().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestProcess)
#include "test_process.moc"
