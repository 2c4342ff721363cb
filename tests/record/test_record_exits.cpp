// zt-record as a program: the exit status of each way a run can fail (and
// that the refusals before a run leave the meter untouched), the port
// listing, --help and --version, and that it loads no display library.
#include <QStandardPaths>

#include "record_child.h"
#include "zt_version.h"

using namespace zt;
using namespace zt::test;

namespace {

enum Device { None, Dongle, Refusing, UnpluggedOnceRecording };

}  // namespace

class RecordExitsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY2(QFile::exists(kRecorder), qPrintable(kRecorder)); }

  // %D is a fresh folder; in it, "file" is a regular file, "folder.csv" and
  // "book.xlsx" are folders, "one.hex1" a profile file with one profile,
  // "passwd" a text file like /etc/passwd, "damaged.hex1" a profile file of
  // three whose profile 2 is damaged, and "full.jsonl" a link to /dev/full.
  void failing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("device");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("err");
    QTest::addColumn<bool>("untouched");  // the meter must not have heard a word
    QTest::newRow("unknown option") << QStringList{"--bogus"} << int(None) << 2 << "unknown option '--bogus'" << true;
    QTest::newRow("interval not offered")
        << QStringList{"--interval", "3"} << int(Dongle) << 2 << "0.5, 1 or 2" << true;
    QTest::newRow("profile file missing")
        << QStringList{"--profile", "%D/none.hex1"} << int(Dongle) << 2 << "no such file" << true;
    QTest::newRow("profile number past the file")
        << QStringList{"--profile", "%D/one.hex1", "--index", "3"} << int(Dongle) << 2 << "holds 1 profile(s)" << true;
    QTest::newRow("not a profile file") << QStringList{"--profile", "%D/passwd"} << int(Dongle) << 2
                                        << "passwd is not a profile file: the header counts 1953460082 profiles, "
                                           "outside 0-99999"
                                        << true;
    QTest::newRow("damaged profile file, the profile chosen damaged")
        << QStringList{"--profile", "%D/damaged.hex1", "--index", "2"} << int(Dongle) << 2
        << "damaged.hex1 is damaged and profile 2 does not read as written:\nprofile 2, field meter settings, byte 12: "
           "value 111 is out of range"
        << true;
    // Past the profile to the search for a meter: the clean profile is used.
    QTest::newRow("damaged profile file, the profile chosen clean")
        << QStringList{"--profile", "%D/damaged.hex1", "--index", "3", "--wait", "1"} << int(None) << 3
        << "profile 2, field meter settings, byte 12" << true;
    QTest::newRow("unknown language") << QStringList{"--lang", "Klingon"} << int(Dongle) << 2
                                      << "no language 'Klingon' (there are: Русский, English)" << true;
    QTest::newRow("no device") << QStringList{"--wait", "1"} << int(None) << 3
                               << "no meter within 1 s: no meter bridge found" << true;
    QTest::newRow("named port missing") << QStringList{"--port", "%D/ttyNone", "--wait", "1"} << int(Dongle) << 3
                                        << "ttyNone does not exist" << true;
    QTest::newRow("dongle never reaches the meter")
        << QStringList{"--wait", "1.5"} << int(Refusing) << 3 << "is there, but no meter answered" << false;
    QTest::newRow("link lost and not back")
        << QStringList{"--wait", "1", "--out", "%D/lost.csv"} << int(UnpluggedOnceRecording) << 4
        << "did not come back within 1 s" << false;
    QTest::newRow("output folder is a file (CSV)")
        << QStringList{"--out", "%D/file/log.csv"} << int(Dongle) << 5 << "cannot write" << true;
    QTest::newRow("output folder is a file (workbook)")
        << QStringList{"--out", "%D/file/log.xlsx"} << int(Dongle) << 5 << "cannot write" << true;
    QTest::newRow("output folder is a file (JSON lines)")
        << QStringList{"--out", "%D/file/log.jsonl"} << int(Dongle) << 5 << "cannot write" << true;
    QTest::newRow("output is a folder") << QStringList{"--out", "%D/folder.csv"} << int(Dongle) << 5
                                        << "folder.csv is a folder" << true;
    QTest::newRow("workbook named as a folder")
        << QStringList{"--out", "%D/book.xlsx"} << int(Dongle) << 5 << "book.xlsx: it is a folder" << true;
    QTest::newRow("disk full while recording") << QStringList{"--out", "%D/full.jsonl", "--wait", "10"} << int(Dongle)
                                               << 5 << "No space left on device" << false;
  }

  void failing() {
    QFETCH(QStringList, args);
    QFETCH(int, device);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    QFETCH(bool, untouched);
    DataFolder data;
    const QString d = data.dir.path();
    QVERIFY(QDir(d).mkpath(QStringLiteral("folder.csv")) && QDir(d).mkpath(QStringLiteral("book.xlsx")));
    {
      QFile f(data.path(QStringLiteral("file")));
      QVERIFY(f.open(QIODevice::WriteOnly));
      QFile p(data.path(QStringLiteral("one.hex1")));
      QVERIFY(p.open(QIODevice::WriteOnly));
      QByteArray profile(100 + 72, '\0');
      profile[0] = 1;
      profile[100] = 2;
      profile[101] = 'R';
      profile[102] = '1';
      p.write(profile);
      QFile passwd(data.path(QStringLiteral("passwd")));
      QVERIFY(passwd.open(QIODevice::WriteOnly));
      for (int i = 0; i < 20; ++i) passwd.write("root:x:0:0:root:/root:/bin/bash\n");
      // Three profiles; a stray byte in profile 2 would switch the hold on.
      QFile damaged(data.path(QStringLiteral("damaged.hex1")));
      QVERIFY(damaged.open(QIODevice::WriteOnly));
      QByteArray three(100 + 3 * 72, '\0');
      three[0] = 3;
      for (int n = 0; n < 3; ++n) {
        three[100 + 72 * n] = 1;
        three[101 + 72 * n] = char('A' + n);
        three[100 + 72 * n + 12] = 1;  // start position
      }
      three[100 + 72 + 54 + 11] = char(0x6f);
      damaged.write(three);
    }
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), data.path(QStringLiteral("full.jsonl"))));
    for (QString& a : args) a.replace(QStringLiteral("%D"), d);

    sim::Options o = FastMeter();
    if (device == Refusing) o.connectFailure = sim::ConnectFailure::F;
    sim::SimulatedMeter meter(o);
    QStringList heard;
    connect(&meter, &sim::SimulatedMeter::textReceived, this,
            [&](const QByteArray& t) { heard << QString::fromLatin1(t); });
    connect(&meter, &sim::SimulatedMeter::commandReceived, this,
            [&](const QByteArray&) { heard << QStringLiteral("command"); });
    if (device != None) QVERIFY(meter.start());

    Child rec(args, d);
    if (device == UnpluggedOnceRecording) {
      QVERIFY2(rec.stderrSays(QStringLiteral("recording into")), qPrintable(rec.err()));
      QVERIFY(
          QTest::qWaitFor([&] { return FileBytes(data.path(QStringLiteral("lost.csv"))).count('\n') >= 2; }, 10000));
      meter.unplug();
    }
    QVERIFY(rec.finish());
    QVERIFY2(rec.exitCode() == exitCode, qPrintable(rec.report()));
    QVERIFY2(rec.err().contains(err), qPrintable(rec.err()));
    QVERIFY(rec.out().isEmpty() || exitCode != 2);
    if (untouched) QVERIFY2(heard.isEmpty(), qPrintable(heard.join(u' ')));
    if (device == UnpluggedOnceRecording) {
      // What was recorded before the loss stays a complete file.
      const QByteArray csv = FileBytes(data.path(QStringLiteral("lost.csv")));
      QVERIFY(csv.startsWith("\xEF\xBB\xBFPosition,"));
      QVERIFY(csv.endsWith("\r\n"));
    }
  }

  void listPorts() {
    DataFolder data;
    {
      Child none({"--list-ports"}, data.dir.path());
      QVERIFY(none.finish());
      QCOMPARE(none.exitCode(), 3);
      QVERIFY(none.out().isEmpty());
      QVERIFY2(none.err().contains(QStringLiteral("no meter bridge found")), qPrintable(none.err()));
    }
    sim::SimulatedMeter meter(FastMeter());
    QVERIFY(meter.start());
    Child found({"--list-ports"}, data.dir.path());
    QVERIFY(found.finish());
    QCOMPARE(found.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(found.out()), QStringLiteral("TI CC2540 USB CDC\t%1\n").arg(meter.portPath()));
    Child named({"--list-ports", "--port", data.path(QStringLiteral("none"))}, data.dir.path());
    QVERIFY(named.finish());
    QCOMPARE(named.exitCode(), 3);
  }

  // Both answer without a display and without the language files.
  void helpAndVersion() {
    DataFolder data;
    Child help({"--help"}, data.dir.path());
    QVERIFY(help.finish());
    QCOMPARE(help.exitCode(), 0);
    QVERIFY(help.out().startsWith("Usage: zt-record [--port PATH]"));
    QVERIFY(help.err().isEmpty());
    Child version({"--version"}, data.dir.path());
    QVERIFY(version.finish());
    QCOMPARE(version.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(version.out()), QStringLiteral("zt-record %1\n").arg(QLatin1String(kVersion)));
  }

  // Qt Core and the serial port only: no Qt Gui, no widgets, no window
  // system or GL library is loaded, directly or through another library.
  void loadsNoDisplayLibrary() {
    const QString ldd = QStandardPaths::findExecutable(QStringLiteral("ldd"));
    if (ldd.isEmpty()) QSKIP("no ldd");
    QProcess p;
    p.start(ldd, {kRecorder});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    const QString libs = QString::fromLocal8Bit(p.readAllStandardOutput());
    QVERIFY(libs.contains(QStringLiteral("libQt6Core")));
    const QRegularExpression display(
        QStringLiteral("lib(Qt6Gui|Qt6Widgets|Qt6OpenGL|X11|xcb|GL|EGL|GLX|wayland-[a-z]+|xkbcommon)\\.so"));
    const QRegularExpressionMatch m = display.match(libs);
    QVERIFY2(!m.hasMatch(), qPrintable(m.captured(0)));
  }
};

QTEST_GUILESS_MAIN(RecordExitsTest)
#include "test_record_exits.moc"
