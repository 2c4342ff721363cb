// zt-record run as a program against the simulated meter: every output
// format read back by an independent reader, the exact row count, a
// profile's settings reaching the meter and its verdicts matching the
// window's sorting of the same readings, a signal during a workbook
// recording, a lost link that comes back, and a plain USB-UART bridge.
#include <QJsonArray>
#include <QSignalSpy>

#include <csignal>
#include <sys/types.h>

#include "fake_channel.h"
#include "meter_state.h"
#include "profile_file.h"
#include "record_child.h"
#include "reference.h"
#include "row_json.h"

using namespace zt;
using namespace zt::test;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");
const QStringList kEnglishHeadings{"Position",  "Time",  "Primary", "Secondary",    "Circuit",
                                   "Frequency", "Level", "Reject",  "Prim. % dev.", "Sec. % dev."};

// The file as an independent reader sees it (tests/export/read_back.py).
QJsonObject ReadBack(const QStringList& args) {
  QProcess p;
  p.start(kPython, QStringList{QStringLiteral(ZT_READ_BACK_SCRIPT)} + args);
  if (!p.waitForFinished(60000) || p.exitCode() != 0) {
    qWarning() << "reader failed:" << p.readAllStandardError();
    return {};
  }
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// Workbook cells as rows of texts (row 1 = headings).
QList<QStringList> WorkbookRows(const QString& path) {
  QList<QStringList> rows;
  for (const QJsonValue& v : ReadBack({QStringLiteral("xlsx"), path}).value(QStringLiteral("cells")).toArray()) {
    const QJsonArray c = v.toArray();
    const int r = c.at(0).toInt();
    const int col = c.at(1).toInt();
    while (rows.size() < r) rows << QStringList(10);
    rows[r - 1][col - 1] = c.at(2).toString();
  }
  return rows;
}

QList<QStringList> CsvRows(const QString& path, bool* bomAndCrLf) {
  const QJsonObject back = ReadBack({QStringLiteral("csv"), path, QStringLiteral(",")});
  *bomAndCrLf = back.value(QStringLiteral("bom")).toBool() && back.value(QStringLiteral("crlf")).toBool();
  QList<QStringList> rows;
  for (const QJsonValue& r : back.value(QStringLiteral("rows")).toArray()) {
    QStringList row;
    for (const QJsonValue& f : r.toArray()) row << f.toString();
    rows << row;
  }
  return rows;
}

// A profile file of `records`, as the window writes one.
void WriteProfileFile(const QString& path, const QList<ProfileRecord>& records) {
  QByteArray bytes(kProfileHeaderSize, '\0');
  const qint32 n = qint32(records.size());
  memcpy(bytes.data(), &n, 4);
  for (const ProfileRecord& r : records) bytes += EncodeProfileRecord(r);
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  QCOMPARE(f.write(bytes), bytes.size());
}

}  // namespace

class RecordProcessTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(QFile::exists(kRecorder), qPrintable(kRecorder));
    if (!QFile::exists(kPython)) QSKIP("no system Python to read the files back");
  }

  // Each format, read back; --count gives exactly that many rows.
  void outputFormats_data() {
    QTest::addColumn<QString>("out");
    QTest::newRow("CSV") << "log.csv";
    QTest::newRow("workbook") << "log.xlsx";
    QTest::newRow("JSON lines file") << "log.jsonl";
    QTest::newRow("JSON lines on standard output") << "-";
  }

  void outputFormats() {
    QFETCH(QString, out);
    DataFolder data;
    sim::SimulatedMeter meter(FastMeter());
    QVERIFY(meter.start());
    const QString path = out == QLatin1String("-") ? out : data.path(out);
    Child rec({"--count", "4", "--wait", "10", "--out", path}, data.dir.path());
    QVERIFY(rec.finish());
    QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
    QVERIFY2(rec.err().contains(QStringLiteral("4 row(s) written")), qPrintable(rec.err()));

    QList<QStringList> grid;  // the headings, then one row of texts per reading
    if (out.endsWith(QLatin1String(".csv"))) {
      bool bomAndCrLf = false;
      grid = CsvRows(path, &bomAndCrLf);
      QVERIFY(bomAndCrLf);  // the export's CSV
    } else if (out.endsWith(QLatin1String(".xlsx"))) {
      grid = WorkbookRows(path);
    } else {
      const QList<QJsonObject> rows = JsonLines(out == QLatin1String("-") ? rec.out() : FileBytes(path));
      grid << kEnglishHeadings;
      for (const QJsonObject& o : rows) {
        QCOMPARE(o.value(QStringLiteral("position")).toInt(), int(grid.size()));
        const QJsonObject primary = o.value(QStringLiteral("primary")).toObject();
        QCOMPARE(primary.value(QStringLiteral("kind")).toString(), QStringLiteral("resistance"));
        QVERIFY(qAbs(primary.value(QStringLiteral("value")).toDouble() - 1000.0) < 1.0);
        QCOMPARE(primary.value(QStringLiteral("unit")).toString(), QStringLiteral("Ω"));
        QVERIFY(QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs).isValid());
        QStringList texts;
        const QJsonObject t = o.value(QStringLiteral("texts")).toObject();
        for (int c = 0; c < kLogColumns; ++c) texts << t.value(RowTextKey(c)).toString();
        grid << texts;
      }
    }
    QCOMPARE(grid.size(), 5);
    QCOMPARE(grid.first(), kEnglishHeadings);
    for (int r = 1; r < grid.size(); ++r) {
      QCOMPARE(grid[r][0], QString::number(r));
      QVERIFY2(grid[r][2].startsWith(QStringLiteral("R ")) && grid[r][2].endsWith(QStringLiteral("Ω")),
               qPrintable(grid[r][2]));
      QCOMPARE(grid[r][6], QStringLiteral("1.0Vrms"));
    }
    if (out != QLatin1String("-")) QVERIFY(rec.out().isEmpty());
  }

  // The profile's settings (and --interval over the profile's own) reach the
  // meter before the first row, and every row's verdict and deviations are
  // what the window's sorting makes of the same reading.
  void profileSettingsAndVerdicts() {
    DataFolder data;
    sim::Options o = FastMeter();
    o.intervalCode = 2;
    o.dut = QStringLiteral("R=1k;R=1.05k;R=0.97k");
    sim::SimulatedMeter meter(o);

    ProfileRecord other;
    other.ProfileName = QStringLiteral("other");
    other.Settings.FreqCode = 3;
    ProfileRecord parts;
    parts.ProfileName = QStringLiteral("R1k");
    parts.PrimaryTolerance = QStringLiteral("2%");
    parts.PrimaryKind = 0;  // R
    parts.PrimaryUnit = 1;  // kΩ
    parts.PrimaryNominal = QStringLiteral("1");
    MeterSettings& s = parts.Settings;
    s.FreqCode = 5;
    s.PrimaryCode = 1;
    s.SecondaryCode = 2;
    s.LevelCode = 2;
    s.CircuitSeries = 1;
    s.IntervalCode = 2;  // 1 s; --interval asks for 0.5 s
    s.Sound = 1;
    const QString profile = data.path(QStringLiteral("parts.hex1"));
    WriteProfileFile(profile, {other, parts});

    // The frames the meter sends, shown by the window's own meter state.
    FakeChannel channel;
    MeterState shown(&channel, &Lexicons::russian());
    shown.linkUp();
    QList<MeterReading> readings;
    connect(&shown, &MeterState::rlcReading, this, [&](const MeterReading& r) { readings << r; });
    connect(&meter, &sim::SimulatedMeter::burstWritten, this, [&](const QByteArray& b) {
      Frame f{};
      if (b.size() == kFrameSize && FrameFromBytes({reinterpret_cast<const std::uint8_t*>(b.constData()), 18}, f))
        shown.processFrame(f);
    });

    QVERIFY(meter.start());
    const QString out = data.path(QStringLiteral("sorted.jsonl"));
    Child rec({"--profile", profile, "--index", "2", "--interval", "0.5", "--count", "6", "--wait", "10", "--out", out},
              data.dir.path());
    QVERIFY(rec.finish());
    QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));

    const sim::ReportedSettings m = meter.settings();
    QVERIFY(!m.freqAuto && !m.levelAuto && !m.primaryAuto && !m.secondaryAuto && !m.circuitAuto);
    QCOMPARE(int(m.freqCode), 5);
    QCOMPARE(int(m.levelCode), 2);
    QCOMPARE(int(m.primaryCode), 1);
    QCOMPARE(int(m.secondaryCode), 2);
    QVERIFY(m.circuitSeries);
    QCOMPARE(int(m.intervalCode), 3);

    const Reference ref = ReferenceOfRecord(parts, u'.');
    const QList<QJsonObject> rows = JsonLines(FileBytes(out));
    QCOMPARE(rows.size(), 6);
    int passed = 0;
    int rejected = 0;
    Verdict last;
    for (const QJsonObject& row : rows) {
      // Not one row from before the meter took the settings.
      QCOMPARE(row.value(QStringLiteral("frequency_hz")).toInt(), int(sim::FreqHz(sim::Model::ZT40, 5)));
      QCOMPARE(row.value(QStringLiteral("level")).toObject().value(QStringLiteral("volts")).toDouble(), 0.5);
      QCOMPARE(row.value(QStringLiteral("circuit")).toString(), QStringLiteral("series"));
      // Reading the profile file keeps the language asked for (English).
      QCOMPARE(row.value(QStringLiteral("texts")).toObject().value(QStringLiteral("level")).toString(),
               QStringLiteral("0.5Vrms"));

      const double value = row.value(QStringLiteral("primary")).toObject().value(QStringLiteral("value")).toDouble();
      const auto same = std::find_if(readings.cbegin(), readings.cend(),
                                     [&](const MeterReading& r) { return r.primary.value == value; });
      QVERIFY2(same != readings.cend(), "a row with no reading the meter sent");
      const Verdict v = SortReading(ref, *same, u'.', last);
      last = v;
      QCOMPARE(row.value(QStringLiteral("sort_result")).toInt(), v.SortResult);
      QCOMPARE(row.value(QStringLiteral("verdict")).toString(), VerdictWord(v));
      QCOMPARE(row.value(QStringLiteral("deviations")).toObject().value(QStringLiteral("primary")).toDouble(),
               v.PrimaryDeviation);
      QCOMPARE(row.value(QStringLiteral("texts")).toObject().value(QStringLiteral("reject")).toString(),
               v.rejected() ? QStringLiteral("+") : QStringLiteral("-"));
      (v.rejected() ? rejected : passed) += 1;
    }
    QVERIFY(passed >= 1);
    QVERIFY(rejected >= 2);
  }

  // A signal ends a workbook recording with a complete workbook holding every
  // row recorded, and nothing else left in the folder.
  void signalLeavesValidWorkbook_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("name");
    QTest::newRow("SIGINT") << int(SIGINT) << "SIGINT";
    QTest::newRow("SIGTERM") << int(SIGTERM) << "SIGTERM";
  }

  void signalLeavesValidWorkbook() {
    QFETCH(int, signal);
    QFETCH(QString, name);
    DataFolder data;
    sim::SimulatedMeter meter(FastMeter());
    QVERIFY(meter.start());
    QTemporaryDir outDir;
    const QString out = outDir.filePath(QStringLiteral("burn-in.xlsx"));
    QSignalSpy commands(&meter, &sim::SimulatedMeter::commandReceived);
    QSignalSpy frames(&meter, &sim::SimulatedMeter::burstWritten);
    Child rec({"--wait", "10", "--out", out}, data.dir.path());
    QVERIFY2(rec.stderrSays(QStringLiteral("recording into")), qPrintable(rec.err()));
    // Rows are logged from the wake-up the recorder sends once the link has
    // settled: frames counted from there (a loaded machine may take a while
    // to get there, and the frames before it are not rows).
    QVERIFY2(QTest::qWaitFor([&] { return !commands.isEmpty(); }, 20000), qPrintable(rec.err()));
    const qsizetype woken = frames.size();
    QVERIFY(QTest::qWaitFor([&] { return frames.size() >= woken + 4; }, 10000));
    QCOMPARE(::kill(pid_t(rec.pid()), signal), 0);
    QVERIFY(rec.finish());
    QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
    QVERIFY2(rec.err().contains(QStringLiteral("stopped by ") + name), qPrintable(rec.err()));

    const QRegularExpressionMatch said =
        QRegularExpression(QStringLiteral("(\\d+) row\\(s\\) written")).match(rec.err());
    QVERIFY(said.hasMatch());
    const int n = said.captured(1).toInt();
    QVERIFY(n >= 2);
    const QList<QStringList> grid = WorkbookRows(out);
    QCOMPARE(grid.size(), n + 1);
    QCOMPARE(grid.first(), kEnglishHeadings);
    for (int r = 1; r <= n; ++r) QCOMPARE(grid[r][0], QString::number(r));
    QCOMPARE(QDir(outDir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("burn-in.xlsx")});
  }

  // Killed outright: every row written so far is in the file, whole.
  void killedRecorderKeepsItsRows() {
    DataFolder data;
    sim::SimulatedMeter meter(FastMeter());
    QVERIFY(meter.start());
    const QString out = data.path(QStringLiteral("killed.csv"));
    Child rec({"--wait", "10", "--out", out}, data.dir.path());
    QVERIFY2(QTest::qWaitFor([&] { return FileBytes(out).count('\n') >= 3; }, 15000), qPrintable(rec.err()));
    QCOMPARE(::kill(pid_t(rec.pid()), SIGKILL), 0);
    QVERIFY(rec.finish());
    bool bomAndCrLf = false;
    const QList<QStringList> grid = CsvRows(out, &bomAndCrLf);
    QVERIFY(bomAndCrLf);
    QVERIFY(FileBytes(out).endsWith("\r\n"));
    QVERIFY(grid.size() >= 3);
    QCOMPARE(grid.first(), kEnglishHeadings);
    for (int r = 1; r < grid.size(); ++r) {
      QCOMPARE(grid[r].size(), kLogColumns);
      QCOMPARE(grid[r][0], QString::number(r));
    }
  }

  // The device goes away and comes back (a new terminal, as a replugged
  // bridge gets): the recorder says so and goes on at the next position.
  // Rows are on disk while it runs.
  void lostLinkComesBack() {
    DataFolder data;
    sim::SimulatedMeter meter(FastMeter());
    QVERIFY(meter.start());
    const QString out = data.path(QStringLiteral("rack.jsonl"));
    Child rec({"--count", "6", "--wait", "15", "--out", out}, data.dir.path());
    QVERIFY2(QTest::qWaitFor([&] { return JsonLines(FileBytes(out)).size() >= 2; }, 15000), qPrintable(rec.err()));
    meter.unplug();
    QVERIFY2(rec.stderrSays(QStringLiteral("link to the meter lost")), qPrintable(rec.err()));
    const int before = int(JsonLines(FileBytes(out)).size());
    QVERIFY(meter.start());
    QVERIFY(rec.finish());
    QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
    QVERIFY2(rec.err().contains(QStringLiteral("link back")), qPrintable(rec.err()));
    const QList<QJsonObject> rows = JsonLines(FileBytes(out));
    QCOMPARE(rows.size(), 6);
    QVERIFY(before < 6);
    for (int i = 0; i < rows.size(); ++i) QCOMPARE(rows[i].value(QStringLiteral("position")).toInt(), i + 1);
  }

  // A plain USB-UART bridge: frames without the dongle's dialogue. It is
  // recorded; settings cannot travel that way and the recorder says so.
  void plainBridge() {
    DataFolder data;
    sim::SimulatedMeter meter(FastMeter(sim::LinkMode::Bridge));
    QVERIFY(meter.start());
    Child rec({"--interval", "2", "--count", "3", "--wait", "10", "--out", "-"}, data.dir.path());
    QVERIFY(rec.finish());
    QVERIFY2(rec.exitCode() == 0, qPrintable(rec.report()));
    QVERIFY2(rec.err().contains(QStringLiteral("carries no settings")), qPrintable(rec.err()));
    const QList<QJsonObject> rows = JsonLines(rec.out());
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.last().value(QStringLiteral("position")).toInt(), 3);
    QVERIFY(meter.receivedCommands().isEmpty());
    QCOMPARE(int(meter.settings().intervalCode), 3);
  }
};

QTEST_GUILESS_MAIN(RecordProcessTest)
#include "test_record_process.moc"
