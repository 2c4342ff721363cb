// The program as a process: its command-line options, one copy per program
// path, the language file check, and a lock that does not outlive a killed
// copy.
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

#include "zt_version.h"

namespace {

const QString kProgram = QStringLiteral(ZT_LOGGER_PATH);

// <folder>/lang/eng.lng, the mark of a complete installation.
void WriteLanguageMarker(const QString& folder) {
  QDir(folder).mkpath(QStringLiteral("lang"));
  QFile f(folder + QStringLiteral("/lang/eng.lng"));
  if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write eng.lng");
  f.write("[LANGUAGE_FILE]\r\n");
}

// A working directory holding lang/eng.lng (or not).
QString MakeWorkDir(QTemporaryDir& dir, bool withLang) {
  if (withLang) WriteLanguageMarker(dir.path());
  return dir.path();
}

struct Logger {
  QProcess p;
  Logger(const QString& program, const QString& workDir, const QString& dataDir, const QStringList& args = {},
         bool withDisplay = true) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (withDisplay) {
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
      // Anything that needed a window would fail here.
      for (const char* v : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QString::fromLatin1(v));
    }
    env.insert(QStringLiteral("RLC_DATA_DIR"), dataDir);
    env.insert(QStringLiteral("ZT_DISMISS_MESSAGES_MS"), QStringLiteral("100"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
    p.start(program, args);
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

  // One copy per user: another user's running copy of the same program file
  // (an installed program has one path for everybody), and the lock it
  // holds, do not turn this user away.
  void otherUsersCopyDoesNotCount() {
    if (::geteuid() != 0) QSKIP("starting a copy as another user needs root");
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty()) QSKIP("setpriv (util-linux) missing");
    const QStringList asNobody{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                               QStringLiteral("--clear-groups"), kProgram};
    {
      QProcess probe;
      probe.start(setpriv, asNobody + QStringList{QStringLiteral("--version")});
      if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        QSKIP("the other user cannot run the program from this build folder (a parent folder is closed to others)");
    }
    QTemporaryDir work, theirData;
    MakeWorkDir(work, true);
    // Readable, and their data folder writable, for the other user.
    const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                      QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(work.path(), open));
    QVERIFY(QFile::setPermissions(work.filePath(QStringLiteral("lang")), open));
    QVERIFY(QFile::setPermissions(theirData.path(), open | QFile::WriteGroup | QFile::WriteOther));

    Logger mine(kProgram, work.path(), data.path());
    QVERIFY(mine.runsFor(1000));
    Logger theirs(setpriv, work.path(), theirData.path(), asNobody);
    const bool runs = theirs.runsFor(1500);
    QVERIFY2(runs, qPrintable(QString::fromUtf8(theirs.p.readAllStandardError())));
    QCOMPARE(mine.p.state(), QProcess::Running);
  }

  void missingLanguageFileEndsSayingWhy() {
    QTemporaryDir work;
    MakeWorkDir(work, false);
    Logger l(kProgram, work.path(), data.path());
    QVERIFY(l.p.waitForFinished(10000));
    QCOMPARE(l.p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(l.p.exitCode(), 1);
    // No window and no box: one line on standard error naming where it looked.
    const QString err = QString::fromUtf8(l.p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("lang/eng.lng")), qPrintable(err));
    QVERIFY2(err.contains(QDir::toNativeSeparators(QDir(work.path()).canonicalPath())), qPrintable(err));
    QVERIFY(!err.contains(QStringLiteral("Вы пытаетесь")));
    QVERIFY(l.p.readAllStandardOutput().isEmpty());
  }

  // An installed copy (bin/zt-logger beside share/zt-logger/lang) starts
  // from any working folder, as from a desktop menu or a terminal.
  void installedCopyStartsAnywhere() {
    QTemporaryDir work, prefix;
    MakeWorkDir(work, false);
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    const QString copy = prefix.filePath(QStringLiteral("bin/zt-logger"));
    QVERIFY(QFile::copy(kProgram, copy));
    QFile::setPermissions(copy, QFile::permissions(kProgram));
    const QString share =
        QDir::cleanPath(prefix.filePath(QStringLiteral("bin")) + u'/' + QLatin1String(zt::kInstalledDataFromBin));
    QVERIFY2(share.startsWith(QDir::cleanPath(prefix.path()) + u'/'), qPrintable(share));
    {
      // The data folder not installed: it says where it looked.
      Logger l(copy, work.path(), data.path());
      QVERIFY(l.p.waitForFinished(10000));
      QCOMPARE(l.p.exitCode(), 1);
      const QString err = QString::fromUtf8(l.p.readAllStandardError());
      QVERIFY2(err.contains(QDir::toNativeSeparators(share)), qPrintable(err));
    }
    WriteLanguageMarker(share);
    Logger l(copy, work.path(), data.path());
    QVERIFY(l.runsFor(1500));
  }

  // --help and --version answer before the single-copy guard and without a
  // display; anything else is a usage error.
  void commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");  // the start of standard output
    QTest::addColumn<QString>("err");  // a part of standard error
    const QString usage = QStringLiteral("Usage: zt-logger [--help | --version]\n");
    const QString version = QStringLiteral("zt-logger %1\n").arg(QLatin1String(zt::kVersion));
    QTest::newRow("version") << QStringList{"--version"} << 0 << version << QString();
    QTest::newRow("help") << QStringList{"--help"} << 0 << usage << QString();
    QTest::newRow("short help") << QStringList{"-h"} << 0 << usage << QString();
    QTest::newRow("help wins over version") << QStringList{"--version", "--help"} << 0 << usage << QString();
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QString()
                                    << "unknown argument '--bogus'\n" + usage;
    QTest::newRow("a file name") << QStringList{"parts.hex1"} << 2 << QString() << "'parts.hex1'";
    QTest::newRow("unknown beside help") << QStringList{"--help", "-x"} << 2 << QString() << "'-x'";
  }

  void commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir work;
    MakeWorkDir(work, true);
    // A running copy of the same program does not stand in the way.
    Logger first(kProgram, work.path(), data.path());
    QVERIFY(first.runsFor(1000));
    Logger l(kProgram, work.path(), data.path(), args, false);
    QVERIFY(l.p.waitForFinished(10000));
    QCOMPARE(l.p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(l.p.exitCode(), exitCode);
    const QString stdOut = QString::fromLocal8Bit(l.p.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(l.p.readAllStandardError());
    if (out.isEmpty())
      QVERIFY2(stdOut.isEmpty(), qPrintable(stdOut));
    else
      QVERIFY2(stdOut.startsWith(out), qPrintable(stdOut));
    if (err.isEmpty())
      QVERIFY2(stdErr.isEmpty(), qPrintable(stdErr));
    else
      QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
    if (exitCode == 0 && out == QStringLiteral("Usage: zt-logger [--help | --version]\n")) {
      QVERIFY(stdOut.contains(QStringLiteral("--version")));
      QVERIFY(stdOut.contains(QStringLiteral("RLC_DATA_DIR")));
    }
  }
};

QTEST_GUILESS_MAIN(TestProcess)
#include "test_process.moc"
