// Captures as tests: every NAME.ztcap in tests/captures, with NAME.jsonl
// beside it (the rows zt-record wrote in the run that made the capture) and
// NAME.args if that run had arguments (files in them are named relative to
// the folder), is replayed on a pseudo-terminal and recorded again:
// - by zt-record, which must write the same rows (everything but the clock
//   time);
// - through the window's controllers (a Session wired as the window wires
//   it, recording from the link-up as the record button does), whose rows
//   must hold the same readings, texts and verdicts in the same order.
// A capture that a user sends becomes a test by dropping it there with the
// rows its run logged. ZT_MAKE_CAPTURES=1 makes the folder's own captures
// again with the simulated meter (see tests/captures/README.md).
#include <QDir>
#include <QJsonArray>
#include <QProcess>

#include "ble_fake.h"
#include "headless_recorder.h"
#include "profile_file.h"
#include "record_child.h"
#include "replay_device.h"
#include "row_json.h"
#include "session.h"

using namespace zt;
using namespace zt::test;

namespace {

const QString kFolder = QStringLiteral(ZT_CAPTURES_DIR);

// A row without what differs between two runs of the same readings: the
// clock time, and (for the window's run, which starts at the link-up) the
// position.
QJsonObject Comparable(QJsonObject row, bool withPosition) {
  row.remove(QStringLiteral("time"));
  QJsonObject texts = row.value(QStringLiteral("texts")).toObject();
  texts.remove(QStringLiteral("time"));
  if (!withPosition) {
    row.remove(QStringLiteral("position"));
    texts.remove(QStringLiteral("position"));
  }
  row.insert(QStringLiteral("texts"), texts);
  return row;
}

QStringList ArgsOf(const QString& base) {
  QStringList args;
  const QByteArray text = FileBytes(base + QStringLiteral(".args")).trimmed();
  if (text.isEmpty()) return args;
  const QStringList words = QString::fromUtf8(text).split(QRegularExpression(QStringLiteral("\\s+")));
  for (int i = 0; i < words.size(); ++i) {
    args << words[i];
    if (words[i] == QLatin1String("--profile") && i + 1 < words.size()) args << QDir(kFolder).filePath(words[++i]);
  }
  return args;
}

QString ValueOf(const QStringList& args, const QString& option) {
  const qsizetype i = args.indexOf(option);
  return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

// `row` with only the fields that `expected` has, at every depth: a capture's
// first run, logged by an older version, still tells the rows apart when a
// newer version adds fields to every row.
QJsonObject FieldsOf(const QJsonObject& row, const QJsonObject& expected) {
  QJsonObject kept;
  for (auto it = expected.begin(); it != expected.end(); ++it) {
    if (!row.contains(it.key())) continue;
    const QJsonValue v = row.value(it.key());
    kept.insert(it.key(), v.isObject() && it.value().isObject() ? FieldsOf(v.toObject(), it.value().toObject()) : v);
  }
  return kept;
}

// `expected` as a run of `rows`, in order (the window records from the
// link-up, zt-record from when the meter has taken the settings).
bool HoldsRun(const QList<QJsonObject>& rows, const QList<QJsonObject>& expected) {
  for (qsizetype start = 0; start + expected.size() <= rows.size(); ++start) {
    bool all = true;
    for (qsizetype i = 0; i < expected.size() && all; ++i) all = FieldsOf(rows[start + i], expected[i]) == expected[i];
    if (all) return true;
  }
  return false;
}

struct Recipe {
  const char* name;
  sim::Options options;
  QStringList args;  // with the profile file's plain name
  int rows;
};

void WriteProfileFile(const QString& path, const QList<ProfileRecord>& records) {
  QByteArray bytes(kProfileHeaderSize, '\0');
  const qint32 n = qint32(records.size());
  memcpy(bytes.data(), &n, 4);
  for (const ProfileRecord& r : records) bytes += EncodeProfileRecord(r);
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

}  // namespace

class CapturesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY2(QFile::exists(kRecorder), qPrintable(kRecorder)); }

  void replayed_data() {
    QTest::addColumn<QString>("base");
    const QStringList captures = QDir(kFolder).entryList({QStringLiteral("*.ztcap")}, QDir::Files, QDir::Name);
    for (const QString& c : captures) {
      const QString base = QDir(kFolder).filePath(QFileInfo(c).completeBaseName());
      QTest::newRow(qPrintable(c)) << base;
    }
    if (captures.isEmpty()) QSKIP("no captures in tests/captures");
  }

  void replayed() {
    QFETCH(QString, base);
    const QList<QJsonObject> logged = JsonLines(FileBytes(base + QStringLiteral(".jsonl")));
    QVERIFY2(!logged.isEmpty(), qPrintable(base + QStringLiteral(".jsonl: no rows")));
    const QStringList args = ArgsOf(base);
    sim::ReplayScript script;
    QString error;
    QVERIFY2(sim::ReplayDevice::Load(base + QStringLiteral(".ztcap"), &script, &error), qPrintable(error));

    // zt-record: the same rows.
    {
      DataFolder data;
      sim::ReplayDevice device(script, 1.0);
      QVERIFY2(device.start(&error), qPrintable(error));
      const QString out = data.path(QStringLiteral("again.jsonl"));
      Child rec(args + QStringList{"--count", QString::number(logged.size()), "--wait", "15", "--out", out},
                data.dir.path());
      QVERIFY(rec.finish(60000));
      QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
      const QList<QJsonObject> again = JsonLines(FileBytes(out));
      QCOMPARE(again.size(), logged.size());
      for (qsizetype i = 0; i < logged.size(); ++i)
        QCOMPARE(FieldsOf(Comparable(again[i], true), Comparable(logged[i], true)), Comparable(logged[i], true));
    }

    // The window's controllers: the same readings and verdicts in order.
    {
      DataFolder data;
      sim::ReplayDevice device(script, 1.0);
      QVERIFY2(device.start(&error), qPrintable(error));
      FakeBle ble;
      QTemporaryDir session;
      SessionDeps deps;
      deps.ble = &ble;
      deps.dataFolder = session.path();
      deps.langDir = QStringLiteral(ZT_SOURCE_DIR "/lang");
      Session s(deps);
      s.start();
      const int english = FindLanguage(s.lang(), QStringLiteral("English"));
      QVERIFY(english > 0);
      s.settings().SaveLanguageIndex(1);
      s.lang().switchTo(english);
      const QString profile = ValueOf(args, QStringLiteral("--profile"));
      if (!profile.isEmpty()) {
        QVERIFY(s.book().open(profile));
        const QString index = ValueOf(args, QStringLiteral("--index"));
        QVERIFY(s.book().ReadProfile(index.isEmpty() ? 1 : index.toInt()));
      }
      if (s.meter().mode() == WorkMode::EditingProfile) s.meter().setMode(WorkMode::Measuring);
      QList<QJsonObject> rows;
      connect(&s.recorder(), &Recorder::rowWritten, this,
              [&rows](const LogRow& row) { rows << Comparable(RowToJson(row), false); });
      connect(&s.link(), &MeterLink::linkCameUp, this, [&s] { s.recorder().setRecording(true); });
      if (!script.dongle) s.recorder().setRecording(true);
      s.link().setAutoConnect(true);
      s.link().connectOrDisconnect();
      QList<QJsonObject> expected;
      for (const QJsonObject& o : logged) expected << Comparable(o, false);
      const bool held = QTest::qWaitFor([&] { return HoldsRun(rows, expected); }, 30000);
      if (!held)
        for (const QJsonObject& r : rows) qWarning().noquote() << QJsonDocument(r).toJson(QJsonDocument::Compact);
      QVERIFY2(held, "the window's rows do not hold the logged ones in order");
      s.link().shutdown();
    }
  }

  // zt-record --capture, then zt-meter-sim --replay of that capture, then
  // zt-record again: the same readings in the same order, with verdicts.
  void captureReplayRecord() {
    DataFolder data;
    sim::Options o = FastMeter();
    o.dut = QStringLiteral("R=1k;C=100n,esr=0.5;L=100u,esr=0.2;R=4.7k");
    const QString capture = data.path(QStringLiteral("run.ztcap"));
    const QString first = data.path(QStringLiteral("first.jsonl"));
    {
      sim::SimulatedMeter meter(o);
      QVERIFY(meter.start());
      Child rec({"--count", "8", "--wait", "10", "--capture", capture, "--out", first}, data.dir.path());
      QVERIFY(rec.finish());
      QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
      QVERIFY2(rec.err().contains(QStringLiteral("captured into")), qPrintable(rec.err()));
    }
    QProcess replay;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RLC_DATA_DIR"), data.dir.path());
    replay.setProcessEnvironment(env);
    replay.start(QStringLiteral(ZT_METER_SIM_PATH), {"--replay", capture, "--print-port"});
    QVERIFY(replay.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return replay.canReadLine(); }, 10000));
    const QString again = data.path(QStringLiteral("again.jsonl"));
    Child rec({"--count", "8", "--wait", "10", "--out", again}, data.dir.path());
    QVERIFY(rec.finish());
    replay.terminate();
    replay.waitForFinished(5000);
    QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
    const QList<QJsonObject> a = JsonLines(FileBytes(first));
    const QList<QJsonObject> b = JsonLines(FileBytes(again));
    QCOMPARE(a.size(), 8);
    QCOMPARE(b.size(), 8);
    for (int i = 0; i < 8; ++i) QCOMPARE(Comparable(b[i], true), Comparable(a[i], true));
  }

  // Makes the folder's own captures again (ZT_MAKE_CAPTURES=1): the
  // simulated meter, and zt-record capturing while it logs.
  void makeCaptures() {
    if (qEnvironmentVariable("ZT_MAKE_CAPTURES") != QLatin1String("1")) QSKIP("set ZT_MAKE_CAPTURES=1 to make them");
    sim::Options resistors = FastMeter();
    resistors.dut = QStringLiteral("R=1k;R=2.2k;R=470");
    sim::Options sorted = FastMeter();
    sorted.intervalCode = 2;
    sorted.dut = QStringLiteral("R=1k;R=1.05k;R=0.97k");
    sim::Options bridge = FastMeter(sim::LinkMode::Bridge);
    bridge.dut = QStringLiteral("C=100n,esr=0.5;C=220n,esr=0.3;L=100u,esr=0.2");
    const QList<Recipe> recipes{
        {"dongle-resistors", resistors, {}, 6},
        {"dongle-sorted", sorted, {"--profile", "dongle-sorted.hex1", "--index", "2", "--interval", "0.5"}, 6},
        {"bridge-parts", bridge, {}, 5},
    };
    ProfileRecord other;
    other.ProfileName = QStringLiteral("other");
    ProfileRecord parts;
    parts.ProfileName = QStringLiteral("R1k");
    parts.PrimaryTolerance = QStringLiteral("2%");
    parts.PrimaryKind = 0;
    parts.PrimaryUnit = 1;
    parts.PrimaryNominal = QStringLiteral("1");
    parts.Settings.FreqCode = 5;
    parts.Settings.PrimaryCode = 1;
    parts.Settings.SecondaryCode = 2;
    parts.Settings.LevelCode = 2;
    parts.Settings.CircuitSeries = 1;
    parts.Settings.IntervalCode = 2;
    WriteProfileFile(QDir(kFolder).filePath(QStringLiteral("dongle-sorted.hex1")), {other, parts});
    for (const Recipe& r : recipes) {
      DataFolder data;
      sim::SimulatedMeter meter(r.options);
      QVERIFY(meter.start());
      const QString base = QDir(kFolder).filePath(QString::fromLatin1(r.name));
      QStringList args;
      for (int i = 0; i < r.args.size(); ++i) {
        args << r.args[i];
        if (r.args[i] == QLatin1String("--profile")) args << QDir(kFolder).filePath(r.args[++i]);
      }
      QFile::remove(base + QStringLiteral(".args"));
      if (!r.args.isEmpty()) {
        QFile f(base + QStringLiteral(".args"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(r.args.join(u' ').toUtf8() + "\n");
      }
      Child rec(args + QStringList{"--count", QString::number(r.rows), "--wait", "10", "--capture",
                                   base + QStringLiteral(".ztcap"), "--out", base + QStringLiteral(".jsonl")},
                data.dir.path());
      QVERIFY(rec.finish(60000));
      QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
    }
  }
};

QTEST_GUILESS_MAIN(CapturesTest)
#include "test_captures.moc"
