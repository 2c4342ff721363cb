// Writes exports and reads them back with readers that are not ours
// (openpyxl and Python's csv module), so a file another program cannot read
// fails here.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

#include "export_runner.h"
#include "export_snapshot.h"
#include "export_writer.h"
#include "recorder.h"

using namespace zt;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

const char* const kHeaders[ExportSnapshot::kColumns] = {"Позиция",       "Время",        "Основной", "Дополнительн.",
                                                        "Схема",         "Частота",      "Уровень",  "Брак",
                                                        "Основ.% откл.", "Допол.% откл."};

// A reading row as the grid shows it: position, timestamp, Cyrillic and Greek
// units, decimal commas, reject marks and sometimes empty deviation cells.
QString Reading(int r, int c, bool multi) {
  switch (c) {
    case 0: return QString::number(r);
    case 1:
      if (multi) return r % 2 ? QStringLiteral("Резистор \"A\";1,5") : QStringLiteral("две\nстроки, μ");
      return QStringLiteral("12.03.24 14:%1:05").arg(r % 60, 2, 10, QChar(u'0'));
    case 2: return QStringLiteral("Rs %1,%2 кΩ").arg(r).arg(r % 1000, 3, 10, QChar(u'0'));
    case 3: return r % 2 ? QStringLiteral("Ls 4,70 μH") : QStringLiteral("Q 12,3");
    case 4: return r % 2 ? QStringLiteral("S") : QStringLiteral("P");
    case 5: return r % 3 ? QStringLiteral("10кГц") : QStringLiteral("A");
    case 6: return QStringLiteral("1,0Вскз");
    case 7: return r % 2 ? QStringLiteral("+") : QStringLiteral("-");
    case 8: return r % 3 ? QStringLiteral("-0,50") : QString();
    default: return r % 3 ? QStringLiteral("12,00") : QString();
  }
}

// The log grid as the export sees it.
struct Grid {
  int rows = 16;
  int filledFrom = 1;
  int filledTo = 0;
  bool multi = false;
  QString cell(int r, int c) const {
    if (r == 0) return QString::fromUtf8(kHeaders[c]);
    if (r >= rows || r < filledFrom || r > filledTo) return QString();
    return Reading(r, c, multi);
  }
};

ExportSnapshot Snap(const Grid& g, int n) {
  ExportSnapshot s = ExportSnapshot::Capture(n, [&](int r, int c) { return g.cell(r, c); });
  s.setDecimalSeparator(u',');  // as the grid's texts are written
  return s;
}

// What a worksheet cell of the log's sheet holds for a grid text: the
// position and the deviations that are plain numbers as numbers, the rest
// as text.
bool NumberCell(int row, int col, const QString& text, double& value) {
  if (row == 0 || (col != 0 && col != 8 && col != 9)) return false;
  static const QRegularExpression plain(QStringLiteral("^-?[0-9]+(,[0-9]+)?$"));
  if (!plain.match(text).hasMatch()) return false;
  value = QString(text).replace(u',', u'.').toDouble();
  return true;
}

// The grid the files under fixtures/ were written from before the workbook
// had a statistics sheet: quotes, Cyrillic and Greek texts, empty cells and
// an empty row.
QString Fixed(int r, int c) {
  static const char* const kFixtureHeaders[ExportSnapshot::kColumns] = {
      "Позиция", "Время",   "Основной", "Дополнительн.", "Схема",
      "Частота", "Уровень", "Брак",     "Основ.% откл.", "Допол.% откл."};
  if (r == 0) return QString::fromUtf8(kFixtureHeaders[c]);
  if (r == 4) return QString();
  switch (c) {
    case 0: return QString::number(r);
    case 1: return QStringLiteral("12.03.24 14:%1:05").arg(r % 60, 2, 10, QChar(u'0'));
    case 2: return QStringLiteral("Rs %1,%2 кΩ").arg(r).arg(r % 1000, 3, 10, QChar(u'0'));
    case 3: return r % 2 ? QStringLiteral("Ls 4,70 μH") : QStringLiteral("Q \"12\",3");
    case 4: return r % 2 ? QStringLiteral("S") : QStringLiteral("P");
    case 5: return r % 3 ? QStringLiteral("10кГц") : QStringLiteral("A");
    case 6: return QStringLiteral("1,0Вскз");
    case 7: return r % 2 ? QStringLiteral("+") : QStringLiteral("-");
    case 8: return r % 3 ? QStringLiteral("-0,50") : QString();
    default: return r % 3 ? QStringLiteral("12,00") : QString();
  }
}

// Statistics of two groups, one of them without values.
StatsTable Statistics() {
  BatchSummary a;
  a.count = 5;
  a.sorted = 5;
  a.passed = 4;
  a.rejectedPrimary = 1;
  a.values = 5;
  a.kind = Quantity::Resistance;
  a.yield = 80;
  a.mean = 1003;
  a.sd = 6.5;
  a.min = 995;
  a.max = 1011;
  a.limits.kind = Quantity::Resistance;
  a.limits.lower = 990;
  a.limits.upper = 1010;
  a.cp = 0.51;
  a.cpk = 0.36;
  BatchSummary b;
  b.count = 2;
  return MakeStatsTable({{QStringLiteral("1 R1"), a}, {QStringLiteral("2 \"R2\""), b}}, Lexicons::russian(),
                        Separators{QStringLiteral(","), QStringLiteral(" ")});
}

bool ReadBack(const QStringList& args, QJsonObject& out) {
  QProcess p;
  p.start(kPython, QStringList{QStringLiteral(ZT_READ_BACK_SCRIPT)} + args);
  if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    qWarning() << "reader failed:" << p.readAllStandardError();
    return false;
  }
  out = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
  return !out.isEmpty();
}

QByteArray ZipMember(const QString& path, const QString& member) {
  QProcess p;
  p.start(kPython, {QStringLiteral(ZT_READ_BACK_SCRIPT), QStringLiteral("member"), path, member});
  if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
  return p.readAllStandardOutput();
}

QStringList Entries(const QString& dir) {
  return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(data);
}

struct Format {
  const char* name;
  ExportFormat format;
  const char* decimal;  // the system's decimal separator, for CSV
};
const Format kFormats[] = {
    {"xlsx", ExportFormat::Xlsx, ","},
    {"csv, decimal comma", ExportFormat::Csv, ","},
    {"csv, decimal point", ExportFormat::Csv, "."},
};

ExportOptions Options(ExportFormat f, const QString& decimal) {
  ExportOptions o;
  o.format = f;
  o.csvSeparator = CsvSeparatorFor(decimal);
  return o;
}

QString Suffix(ExportFormat f) { return f == ExportFormat::Xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".csv"); }

}  // namespace

class TestExportWriter : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (!QFile::exists(kPython)) QSKIP("no system Python to read the files back");
    QProcess p;
    p.start(kPython, {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
  }

  // The row count rule and the cell mapping, checked in the written file.
  void roundTrip_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("gridRows");
    QTest::addColumn<int>("filledFrom");
    QTest::addColumn<int>("filledTo");
    QTest::addColumn<bool>("logReady");
    QTest::addColumn<bool>("multi");
    QTest::addColumn<int>("logPosition");
    QTest::addColumn<int>("profileCount");
    QTest::addColumn<int>("expectedRows");
    for (int f = 0; f < int(std::size(kFormats)); ++f) {
      auto row = [&](const char* name) -> QTestData& { return QTest::addRow("%s: %s", kFormats[f].name, name) << f; };
      row("single part, rows 1-5") << 16 << 1 << 5 << true << false << 6 << 0 << 6;
      row("start position moved back from 20 to 3, one row logged") << 21 << 1 << 19 << true << false << 4 << 0 << 4;
      row("nothing logged") << 16 << 1 << 0 << true << false << 0 << 0 << 0;
      row("cleared log keeps its position, rows beyond the grid") << 16 << 1 << 0 << true << false << 20 << 0 << 20;
      row("multi part, 4 profiles") << 5 << 1 << 4 << true << true << 17 << 4 << 5;
      row("log not ready") << 16 << 1 << 5 << false << false << 6 << 0 << 0;
      row("log not ready, multi part") << 5 << 1 << 4 << false << true << 0 << 4 << 0;
    }
  }

  void roundTrip() {
    QFETCH(int, format);
    QFETCH(int, gridRows);
    QFETCH(int, filledFrom);
    QFETCH(int, filledTo);
    QFETCH(bool, logReady);
    QFETCH(bool, multi);
    QFETCH(int, logPosition);
    QFETCH(int, profileCount);
    QFETCH(int, expectedRows);
    const Format& fmt = kFormats[format];

    const Grid grid{gridRows, filledFrom, filledTo, multi};
    const int n = ExportRowCount(logReady, multi, logPosition, profileCount);
    QCOMPARE(n, expectedRows);
    const ExportSnapshot snap = Snap(grid, n);
    QCOMPARE(snap.rowCount(), n);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Журнал") + Suffix(fmt.format));
    WriteFile(path, "an older file of that name");  // must be replaced

    const ExportOptions opts = Options(fmt.format, QString::fromLatin1(fmt.decimal));
    const ExportResult r = WriteExport(snap, path, opts);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.path, path);
    QCOMPARE(Entries(dir.path()), QStringList{QFileInfo(path).fileName()});

    QJsonObject back;
    if (fmt.format == ExportFormat::Xlsx) {
      QVERIFY(ReadBack({QStringLiteral("xlsx"), path}, back));
      QCOMPARE(back.value("sheets").toInt(), 1);
      QHash<QPair<int, int>, QJsonArray> cells;
      for (const QJsonValue& v : back.value("cells").toArray()) {
        const QJsonArray a = v.toArray();
        cells.insert({a.at(0).toInt(), a.at(1).toInt()}, a);
      }
      int expectedCells = 0;
      for (int i = 0; i < n; ++i) {
        for (int c = 0; c < ExportSnapshot::kColumns; ++c) {
          const QString want = grid.cell(i, c);
          if (want.isEmpty()) {
            QVERIFY(!cells.contains({i + 1, c + 1}));
            continue;
          }
          ++expectedCells;
          const QJsonArray got = cells.value({i + 1, c + 1});
          double number = 0;
          if (NumberCell(i, c, want, number)) {
            QCOMPARE(got.at(3).toString(), QStringLiteral("n"));
            QCOMPARE(got.at(2).toDouble(), number);
            // Shown with the grid's decimals: "-0,50" stays two decimals.
            QCOMPARE(got.at(4).toString(), want.contains(u',') ? QStringLiteral("0.00") : QStringLiteral("General"));
          } else {
            QCOMPARE(got.at(3).toString(), QStringLiteral("s"));
            QCOMPARE(got.at(2).toString(), want);
          }
        }
      }
      QCOMPARE(cells.size(), expectedCells);  // nothing outside rows 1..N, columns 1..10
    } else {
      const QString sep(opts.csvSeparator);
      QVERIFY(ReadBack({QStringLiteral("csv"), path, sep}, back));
      QVERIFY(back.value("bom").toBool());
      QVERIFY(back.value("crlf").toBool());
      const QJsonArray rows = back.value("rows").toArray();
      QCOMPARE(rows.size(), n);
      for (int i = 0; i < n; ++i) {
        const QJsonArray fields = rows.at(i).toArray();
        QCOMPARE(fields.size(), ExportSnapshot::kColumns);
        for (int c = 0; c < ExportSnapshot::kColumns; ++c) QCOMPARE(fields.at(c).toString(), grid.cell(i, c));
      }
      // A file written a row at a time (the headless recorder's) is this file.
      QByteArray streamed(kCsvFileStart);
      for (int i = 0; i < n; ++i) {
        std::array<QString, ExportSnapshot::kColumns> cells;
        for (int c = 0; c < ExportSnapshot::kColumns; ++c) cells[c] = grid.cell(i, c);
        streamed += CsvLine(cells, opts.csvSeparator);
      }
      QCOMPARE(Contents(path), streamed);
    }
  }

  // The statistics sheet: names down column A, groups across row 1,
  // numbers as numbers.
  void statisticsSheet() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.xlsx"));
    ExportSnapshot snap = Snap(Grid{16, 1, 3}, 4);
    const StatsTable t = Statistics();
    snap.setStatistics(t);
    const ExportResult r = WriteExport(snap, path, Options(ExportFormat::Xlsx, ","));
    QVERIFY2(r.ok(), qPrintable(r.error));
    QJsonObject back;
    QVERIFY(ReadBack({QStringLiteral("xlsx"), path}, back));
    QCOMPARE(back.value("sheets").toInt(), 2);
    QCOMPARE(back.value("names").toArray().at(1).toString(), QStringLiteral("Statistics"));
    int gridCells = 0;  // the grid's sheet as before
    for (int i = 0; i < 4; ++i)
      for (int c = 0; c < ExportSnapshot::kColumns; ++c) gridCells += Grid{16, 1, 3}.cell(i, c).isEmpty() ? 0 : 1;
    QCOMPARE(back.value("cells").toArray().size(), gridCells);
    QHash<QPair<int, int>, QJsonArray> cells;
    for (const QJsonValue& v : back.value("others").toArray().at(0).toArray()) {
      const QJsonArray a = v.toArray();
      cells.insert({a.at(0).toInt(), a.at(1).toInt()}, a);
    }
    QVERIFY(!cells.contains({1, 1}));
    QCOMPARE(cells.value({1, 2}).at(2).toString(), QStringLiteral("1 R1"));
    QCOMPARE(cells.value({1, 3}).at(2).toString(), QStringLiteral("2 \"R2\""));
    for (int row = 0; row < kStatsRows; ++row) {
      QCOMPARE(cells.value({row + 2, 1}).at(2).toString(), t.rowNames.at(row));
      for (int col = 0; col < 2; ++col) {
        const StatsCell& want = t.cell(row, col);
        const QJsonArray got = cells.value({row + 2, col + 2});
        if (want.numeric()) {
          QCOMPARE(got.at(3).toString(), QStringLiteral("n"));
          QCOMPARE(got.at(2).toDouble(), want.number);
        } else if (want.text.isEmpty()) {
          QVERIFY2(got.isEmpty(), qPrintable(t.rowNames.at(row)));
        } else {
          QCOMPARE(got.at(2).toString(), want.text);
        }
      }
    }
    QCOMPARE(cells.value({2 + int(StatsRow::Mean), 2}).at(2).toDouble(), 1003.0);
    QCOMPARE(cells.value({2 + int(StatsRow::Unit), 2}).at(2).toString(), QStringLiteral("Ом"));
    QVERIFY(!cells.contains({2 + int(StatsRow::Mean), 3}));  // no values, no mean
  }

  // Which texts of the numeric columns become numbers: only what the grid
  // writes as a plain number with the separator it used.
  void plainNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("number");
    QTest::addColumn<double>("value");
    QTest::addRow("decimal comma") << "-0,50" << true << -0.5;
    QTest::addRow("whole") << "12" << true << 12.0;
    QTest::addRow("zero") << "0,00" << true << 0.0;
    QTest::addRow("the other separator") << "0.43" << false << 0.0;
    QTest::addRow("exponent (the grid's very large deviations)") << "1,2E5" << false << 0.0;
    QTest::addRow("not a number") << "NAN" << false << 0.0;
    QTest::addRow("infinite") << "-INF" << false << 0.0;
    QTest::addRow("sign alone") << "-" << false << 0.0;
    QTest::addRow("separator without decimals") << "5," << false << 0.0;
    QTest::addRow("separator without an integer part") << ",5" << false << 0.0;
    QTest::addRow("grouped") << "1 000" << false << 0.0;
    QTest::addRow("with a unit") << "5 %" << false << 0.0;
  }
  void plainNumbers() {
    QFETCH(QString, text);
    QFETCH(bool, number);
    QFETCH(double, value);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.xlsx"));
    ExportSnapshot snap;
    std::array<QString, ExportSnapshot::kColumns> cells;
    cells[8] = QStringLiteral("heading");
    snap.appendRow(cells);
    cells[8] = text;
    cells[2] = QStringLiteral("12");  // not a numeric column: stays text
    snap.appendRow(cells);
    snap.setDecimalSeparator(u',');
    QVERIFY(WriteExport(snap, path, Options(ExportFormat::Xlsx, ",")).ok());
    QJsonObject back;
    QVERIFY(ReadBack({QStringLiteral("xlsx"), path}, back));
    QHash<QPair<int, int>, QJsonArray> got;
    for (const QJsonValue& v : back.value("cells").toArray()) got.insert({v[0].toInt(), v[1].toInt()}, v.toArray());
    QCOMPARE(got.value({1, 9}).at(3).toString(), QStringLiteral("s"));
    QCOMPARE(got.value({2, 3}).at(3).toString(), QStringLiteral("s"));
    QCOMPARE(got.value({2, 9}).at(3).toString(), number ? QStringLiteral("n") : QStringLiteral("s"));
    if (number)
      QCOMPARE(got.value({2, 9}).at(2).toDouble(), value);
    else
      QCOMPARE(got.value({2, 9}).at(2).toString(), text);
  }

  // The "Values" sheet: after the statistics, the rows as numbers in SI
  // units with their units, the time as a date, empty where there is no
  // number.
  void valuesSheet() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("v.xlsx"));
    ExportSnapshot snap = Snap(Grid{16, 1, 3}, 4);
    snap.setStatistics(Statistics());
    ExportValues values = MakeExportValues(Lexicons::russian());
    const QDateTime when(QDate(2024, 3, 12), QTime(14, 5, 9, 500));
    MeterReading m;
    m.testFreqHz = 10000;
    m.primary = {Quantity::Capacitance, 100.2e-9, QStringLiteral("F"), Bound::Exact};
    m.secondary = {Quantity::DissipationFactor, 0.0012, QString(), Bound::Exact};
    m.level.volts = 0.5;
    Verdict pass;
    pass.primaryOn = true;
    values.rows.push_back(ValueRowOf(SampleOf(1, when, 0, m, pass)));
    // Over range on the primary side, no test frequency, no tolerance on.
    m.primary = {Quantity::Resistance, 20e6, QStringLiteral("Ω"), Bound::Above};
    m.secondary = {Quantity::PhaseAngle, -89.5, QStringLiteral("°"), Bound::Exact};
    m.noTestFrequency = true;
    m.level.volts = 1.0;
    values.rows.push_back(ValueRowOf(SampleOf(2, when.addSecs(60), 0, m, Verdict{})));
    Verdict reject;
    reject.primaryOn = true;
    reject.SortResult = kSortPrimaryOut;
    m.noTestFrequency = false;
    m.testFreqHz = 100000;
    m.primary = {Quantity::Inductance, 4.7e-6, QStringLiteral("H"), Bound::Exact};
    m.secondary = {Quantity::QualityFactor, 2.7e41, QString(), Bound::Exact};
    values.rows.push_back(ValueRowOf(SampleOf(3, when.addSecs(120), 0, m, reject)));
    snap.setValues(values);

    QVERIFY(WriteExport(snap, path, Options(ExportFormat::Xlsx, ",")).ok());
    QJsonObject back;
    QVERIFY(ReadBack({QStringLiteral("xlsx"), path}, back));
    QCOMPARE(back.value("names").toArray(),
             QJsonArray({back.value("names").toArray().at(0), QStringLiteral("Statistics"), QStringLiteral("Values")}));
    QHash<QPair<int, int>, QJsonArray> got;
    for (const QJsonValue& v : back.value("others").toArray().at(1).toArray())
      got.insert({v[0].toInt(), v[1].toInt()}, v.toArray());
    const auto cell = [&](int row, ValueColumn c) { return got.value({row, int(c) + 1}); };
    for (int c = 0; c < kValueColumns; ++c) QCOMPARE(got.value({1, c + 1}).at(2).toString(), values.headings[c]);
    QCOMPARE(cell(1, ValueColumn::Frequency).at(2).toString(), QStringLiteral("Частота, Гц"));

    const auto number = [&](int row, ValueColumn c, double want) {
      const QJsonArray a = cell(row, c);
      QCOMPARE(a.at(3).toString(), QStringLiteral("n"));
      QCOMPARE(a.at(2).toDouble(), want);
    };
    const auto text = [&](int row, ValueColumn c, const QString& want) {
      const QJsonArray a = cell(row, c);
      QCOMPARE(a.at(3).toString(), QStringLiteral("s"));
      QCOMPARE(a.at(2).toString(), want);
    };
    // Row 1: a passed capacitor.
    number(2, ValueColumn::Position, 1);
    QCOMPARE(cell(2, ValueColumn::Time).at(2).toString(), QStringLiteral("2024-03-12T14:05:09.500000"));
    QCOMPARE(cell(2, ValueColumn::Time).at(3).toString(), QStringLiteral("d"));
    text(2, ValueColumn::Primary, QStringLiteral("C"));
    number(2, ValueColumn::PrimaryValue, 100.2e-9);
    text(2, ValueColumn::PrimaryUnit, QStringLiteral("Ф"));
    text(2, ValueColumn::Secondary, QStringLiteral("D"));
    number(2, ValueColumn::SecondaryValue, 0.0012);
    QVERIFY(cell(2, ValueColumn::SecondaryUnit).isEmpty());  // D has no unit
    number(2, ValueColumn::Frequency, 10000);
    number(2, ValueColumn::Level, 0.5);
    number(2, ValueColumn::Reject, 0);
    // Row 2: over range, no frequency, not sorted.
    QCOMPARE(cell(3, ValueColumn::Time).at(2).toString(), QStringLiteral("2024-03-12T14:06:09.500000"));
    text(3, ValueColumn::Primary, QStringLiteral("R"));
    QVERIFY(cell(3, ValueColumn::PrimaryValue).isEmpty());  // the panel showed a limit
    text(3, ValueColumn::PrimaryUnit, QStringLiteral("Ом"));
    number(3, ValueColumn::SecondaryValue, -89.5);
    text(3, ValueColumn::SecondaryUnit, QStringLiteral("°"));
    QVERIFY(cell(3, ValueColumn::Frequency).isEmpty());
    number(3, ValueColumn::Level, 1.0);
    QVERIFY(cell(3, ValueColumn::Reject).isEmpty());
    // Row 3: a rejected inductor with a huge Q.
    number(4, ValueColumn::PrimaryValue, 4.7e-6);
    text(4, ValueColumn::PrimaryUnit, QStringLiteral("Гн"));
    number(4, ValueColumn::SecondaryValue, 2.7e41);
    number(4, ValueColumn::Frequency, 100000);
    number(4, ValueColumn::Reject, 1);
    QVERIFY(!got.contains({5, 1}));
  }

  // The CSV file is byte for byte what it was before the workbook had more
  // sheets and numbers; the log's sheet (fixtures/log_sheet1.xml: the same
  // texts, with the position and the deviations as numbers since then) is
  // the same whatever sheets follow it.
  void firstSheetAndCsvUnchanged_data() {
    QTest::addColumn<bool>("withStatistics");
    QTest::newRow("snapshot with statistics and values") << true;
    QTest::newRow("snapshot without") << false;
  }

  void firstSheetAndCsvUnchanged() {
    QFETCH(bool, withStatistics);
    QTemporaryDir dir;
    ExportSnapshot snap = ExportSnapshot::Capture(7, Fixed);
    snap.setDecimalSeparator(u',');
    if (withStatistics) {
      snap.setStatistics(Statistics());
      snap.setValues(MakeExportValues(Lexicons::russian()));
    }
    const QString xlsx = dir.filePath(QStringLiteral("log.xlsx"));
    const QString csv = dir.filePath(QStringLiteral("log.csv"));
    QVERIFY(WriteExport(snap, xlsx, Options(ExportFormat::Xlsx, ",")).ok());
    QVERIFY(WriteExport(snap, csv, Options(ExportFormat::Csv, ",")).ok());
    const QByteArray sheet = ZipMember(xlsx, QStringLiteral("xl/worksheets/sheet1.xml"));
    QVERIFY(!sheet.isEmpty());
    QCOMPARE(sheet, Contents(QStringLiteral(ZT_FIXTURES) + QStringLiteral("/log_sheet1.xml")));
    QCOMPARE(Contents(csv), Contents(QStringLiteral(ZT_FIXTURES) + QStringLiteral("/log.csv")));
    QCOMPARE(ZipMember(xlsx, QStringLiteral("xl/worksheets/sheet2.xml")).isEmpty(), !withStatistics);
  }

  void margins() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.xlsx"));
    const ExportResult r = WriteExport(Snap(Grid{16, 1, 2}, 3), path, Options(ExportFormat::Xlsx, "."));
    QVERIFY2(r.ok(), qPrintable(r.error));
    QJsonObject back;
    QVERIFY(ReadBack({QStringLiteral("xlsx"), path}, back));
    const QJsonObject m = back.value("margins").toObject();
    QCOMPARE(qRound64(m.value("left").toDouble() * 72 * 1e6), qint64(30e6));  // points
    QCOMPARE(qRound64(m.value("right").toDouble() * 72 * 1e6), qint64(10e6));
    QCOMPARE(m.value("top").toDouble(), 0.75);  // untouched defaults, inches
    QCOMPARE(m.value("bottom").toDouble(), 0.75);
  }

  // A failed export says why and where, and leaves no file behind.
  void failure_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("relPath");
    QTest::addColumn<bool>("longCell");
    for (int f = 0; f < 2; ++f) {
      auto row = [&](const char* name) -> QTestData& { return QTest::addRow("%s: %s", kFormats[f].name, name) << f; };
      row("parent is a regular file") << QStringLiteral("plain.txt/out") << false;
      row("folder does not exist") << QStringLiteral("no/such/folder/out") << false;
      row("target is a folder") << QStringLiteral("adir") << false;
    }
    QTest::addRow("xlsx: cell longer than a worksheet cell holds") << 0 << QStringLiteral("out") << true;
  }

  void failure() {
    QFETCH(int, format);
    QFETCH(QString, relPath);
    QFETCH(bool, longCell);
    const Format& fmt = kFormats[format];
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("plain.txt")), "x");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("adir")));
    const QStringList before = Entries(dir.path());

    ExportSnapshot snap = Snap(Grid{16, 1, 3}, 4);
    if (longCell) {
      std::array<QString, ExportSnapshot::kColumns> cells;
      cells[2] = QString(40000, u'Ω');
      snap.appendRow(cells);
    }
    QString path = dir.filePath(relPath);
    if (relPath != QLatin1String("adir")) path += Suffix(fmt.format);
    const ExportResult r = WriteExport(snap, path, Options(fmt.format, ","));
    QCOMPARE(r.status, ExportResult::Status::Failed);
    QVERIFY(!r.error.isEmpty());
    QVERIFY2(r.error.contains(QDir::toNativeSeparators(path)), qPrintable(r.error));
    QCOMPARE(Entries(dir.path()), before);
    QVERIFY(Entries(dir.filePath(QStringLiteral("adir"))).isEmpty());
  }

  void emptyPathFails() {
    const ExportResult r = WriteExport(Snap(Grid{}, 2), QString(), ExportOptions{});
    QCOMPARE(r.status, ExportResult::Status::Failed);
    QVERIFY(!r.error.isEmpty());
  }

  // Cancelled before or during the write: no new file, an old one untouched.
  void cancel_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("cancelAtRow");
    for (int f = 0; f < 2; ++f) {
      QTest::addRow("%s: before start", kFormats[f].name) << f << 0;
      QTest::addRow("%s: while writing", kFormats[f].name) << f << 1;
    }
  }

  void cancel() {
    QFETCH(int, format);
    QFETCH(int, cancelAtRow);
    const Format& fmt = kFormats[format];
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log") + Suffix(fmt.format));
    WriteFile(path, "old");

    std::atomic<bool> stop{cancelAtRow == 0};
    int lastDone = 0;
    const ExportResult r =
        WriteExport(Snap(Grid{5000, 1, 4999}, 5000), path, Options(fmt.format, "."), &stop, [&](int done, int) {
          lastDone = done;
          if (done >= cancelAtRow) stop = true;
        });
    QCOMPARE(r.status, ExportResult::Status::Cancelled);
    QVERIFY(lastDone < 5000);
    QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("log") + Suffix(fmt.format)});
    QCOMPARE(Contents(path), QByteArray("old"));
  }

  void snapshotKeepsColumnsApart_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addRow("empty") << QString() << QString();
    QTest::addRow("Cyrillic and signs") << QStringLiteral("Cs 1,5 мкФ Ω μ") << QStringLiteral("Cs 1,5 мкФ Ω μ");
    QTest::addRow("embedded NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << QStringLiteral("ab");
  }

  void snapshotKeepsColumnsApart() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    ExportSnapshot s;
    std::array<QString, ExportSnapshot::kColumns> cells;
    for (int c = 0; c < ExportSnapshot::kColumns; ++c) cells[c] = QString::number(c);
    cells[4] = text;
    s.appendRow(cells);
    s.appendRow(cells);
    for (int r = 0; r < 2; ++r) {
      for (int c = 0; c < ExportSnapshot::kColumns; ++c) QCOMPARE(s.text(r, c), c == 4 ? expected : QString::number(c));
    }
    QCOMPARE(s.text(2, 0), QString());  // out of range reads as empty
    QCOMPARE(s.text(0, ExportSnapshot::kColumns), QString());
  }

  void defaultName_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    QTest::addRow("plain title") << QStringLiteral("Резисторы 1%") << QStringLiteral("Резисторы 1%");
    QTest::addRow("unsafe characters") << QStringLiteral(" a/b\\c:d*e?f\"g<h>i|j\tk. ")
                                       << QStringLiteral("a_b_c_d_e_f_g_h_i_j_k");
    QTest::addRow("no title") << QString() << QStringLiteral("log 2024-03-12 14-05-09");
    QTest::addRow("only unusable characters") << QStringLiteral("../..") << QStringLiteral("log 2024-03-12 14-05-09");
  }

  void defaultName() {
    QFETCH(QString, title);
    QFETCH(QString, expected);
    const QDateTime now(QDate(2024, 3, 12), QTime(14, 5, 9));
    QCOMPARE(DefaultExportName(title, now), expected);
  }

  // The runner writes off the calling thread and reports there.
  void runnerWritesAndReports() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.csv"));
    const int n = 20000;
    ExportRunner runner;
    QList<int> done;
    bool allOnThisThread = true;
    connect(&runner, &ExportRunner::progress, this, [&](int d, int total) {
      allOnThisThread = allOnThisThread && QThread::currentThread() == thread();
      QCOMPARE(total, n);
      done << d;
    });
    QSignalSpy finished(&runner, &ExportRunner::finished);
    QVERIFY(runner.start(Snap(Grid{n, 1, n - 1}, n), path, Options(ExportFormat::Csv, ",")));
    QVERIFY(runner.isRunning());
    QVERIFY(
        !runner.start(Snap(Grid{}, 1), dir.filePath(QStringLiteral("second.csv")), Options(ExportFormat::Csv, ",")));
    QVERIFY(finished.wait(60000));
    const auto r = finished.first().first().value<ExportResult>();
    QVERIFY2(r.ok(), qPrintable(r.error));
    QVERIFY(!runner.isRunning());
    QCoreApplication::processEvents();
    QVERIFY(allOnThisThread);
    QVERIFY(!done.isEmpty());
    QVERIFY(std::is_sorted(done.begin(), done.end()));
    QVERIFY(done.last() <= n);
    QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("big.csv")});
    QJsonObject back;
    QVERIFY(ReadBack({QStringLiteral("csv"), path, QStringLiteral(";")}, back));
    QCOMPARE(back.value("rows").toArray().size(), n);
  }

  void runnerCancelLeavesNothing_data() {
    QTest::addColumn<bool>("destroy");
    QTest::addRow("cancel") << false;
    QTest::addRow("runner destroyed while writing") << true;
  }

  void runnerCancelLeavesNothing() {
    QFETCH(bool, destroy);
    QTemporaryDir dir;
    const int n = 100000;
    auto runner = std::make_unique<ExportRunner>();
    QSignalSpy finished(runner.get(), &ExportRunner::finished);
    QVERIFY(runner->start(Snap(Grid{n, 1, n - 1}, n), dir.filePath(QStringLiteral("big.xlsx")),
                          Options(ExportFormat::Xlsx, ",")));
    if (destroy) {
      runner.reset();
    } else {
      runner->cancel();
      QVERIFY(finished.wait(60000));
      QCOMPARE(finished.first().first().value<ExportResult>().status, ExportResult::Status::Cancelled);
    }
    QVERIFY(Entries(dir.path()).isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestExportWriter)
#include "test_export_writer.moc"
