// The export button of the window: recording stops, the save dialogue, the
// row count rule, the file read back, failures told, the button enabled
// again in every case.
#include <QAbstractTableModel>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QtTest>

#include "export_writer.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::WindowFixture;

namespace {

// A log grid of any length that costs nothing to build: row 0 is the
// heading row (the view's header), grid row p is model row p - 1.
class GeneratedGrid : public QAbstractTableModel {
 public:
  explicit GeneratedGrid(int gridRows) : gridRows_(gridRows) {}
  int rowCount(const QModelIndex& = {}) const override { return gridRows_ - 1; }
  int columnCount(const QModelIndex& = {}) const override { return 10; }
  QVariant headerData(int s, Qt::Orientation o, int role) const override {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return Lexicons::russian().D2[s + 1];
  }
  QVariant data(const QModelIndex& i, int role) const override {
    if (role != Qt::DisplayRole) return {};
    return Text(i.row() + 1, i.column());
  }
  static QString Text(int gridRow, int col) {
    if (gridRow == 0) return Lexicons::russian().D2[col + 1];
    return QStringLiteral("%1 Ω μ кГц %2,5").arg(gridRow).arg(col);
  }

 private:
  int gridRows_;
};

// The CSV file as Python's csv module reads it.
bool ReadCsv(const QString& path, QJsonArray& rows) {
  QProcess p;
  p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(ZT_READ_BACK_SCRIPT), QStringLiteral("csv"), path,
                                               QString(CsvSeparatorFor(QLocale::system().decimalPoint()))});
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return false;
  rows = QJsonDocument::fromJson(p.readAllStandardOutput()).object().value("rows").toArray();
  return true;
}

bool ReadXlsxCells(const QString& path, QJsonArray& cells) {
  QProcess p;
  p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(ZT_READ_BACK_SCRIPT), QStringLiteral("xlsx"), path});
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return false;
  cells = QJsonDocument::fromJson(p.readAllStandardOutput()).object().value("cells").toArray();
  return true;
}

struct ExportFixture : WindowFixture {
  GeneratedGrid* grid = nullptr;
  QStringList opened;
  bool openSucceeds = true;

  explicit ExportFixture(int gridRows = 26) {
    grid = new GeneratedGrid(gridRows);
    grid->setParent(form->SG);
    form->SG->setModel(grid);
    form->OpenExportedFile = [this](const QString& path) {
      opened << path;
      return openSucceeds;
    };
  }
  QString exportFolder() const { return dataDir.filePath(QStringLiteral("Export")); }
  // Clicks the button and waits until the export has ended.
  bool exportNow() {
    form->Button4->setEnabled(true);
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    return QTest::qWaitFor([&] { return form->Button4->isEnabled(); }, 60000);
  }
};

}  // namespace

class TestExport : public QObject {
  Q_OBJECT

 private slots:
  void stopsRecordingAndProposesDefaults() {
    ExportFixture fx;
    TForm1& f = *fx.form;
    f.SP1->setEnabled(true);
    f.SP1->setChecked(true);
    f.SP1->setText(QStringLiteral("Стоп"));
    f.ProfileTitle = QStringLiteral(" Резисторы");
    QVERIFY(fx.exportNow());  // the dialogue is cancelled
    QVERIFY(!f.SP1->isChecked());
    QCOMPARE(f.SP1->text(), QStringLiteral("Пуск"));
    QCOMPARE(fx.prompts.saveDirs, QStringList{fx.exportFolder() + QStringLiteral("/Резисторы.xlsx")});
    QVERIFY(QFileInfo(fx.exportFolder()).isDir());
    QVERIFY(fx.prompts.saveFilters.first().contains(QLatin1String("*.xlsx")));
    QVERIFY(fx.prompts.saveFilters.first().contains(QLatin1String("*.csv")));
    QVERIFY(QDir(fx.exportFolder()).isEmpty());  // cancelled: nothing written
    QVERIFY(fx.prompts.messages.isEmpty());

    f.ProfileTitle.clear();
    QVERIFY(fx.exportNow());
    const QRegularExpression dated(QStringLiteral("/log \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.xlsx$"));
    QVERIFY2(dated.match(fx.prompts.saveDirs.last()).hasMatch(), qPrintable(fx.prompts.saveDirs.last()));
  }

  // The row count rule and the file type, seen in the written file.
  void writesRows_data() {
    QTest::addColumn<bool>("logReady");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("logPosition");
    QTest::addColumn<int>("profileCount");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("expectedRows");
    const QString xlsx = Lexicons::russian().D4[msg::kExportFilterXlsx];
    const QString csv = Lexicons::russian().D4[msg::kExportFilterCsv];
    QTest::addRow("single part, rows 1-5, workbook") << true << 0 << 6 << 0 << "a.xlsx" << xlsx << 6;
    QTest::addRow("single part, CSV by name") << true << 0 << 4 << 0 << "a.csv" << xlsx << 4;
    QTest::addRow("multi part, 4 profiles, CSV by type") << true << 1 << 17 << 4 << "a" << csv << 5;
    QTest::addRow("log not ready") << false << 0 << 6 << 0 << "a.csv" << csv << 0;
  }

  void writesRows() {
    QFETCH(bool, logReady);
    QFETCH(int, mode);
    QFETCH(int, logPosition);
    QFETCH(int, profileCount);
    QFETCH(QString, answer);
    QFETCH(QString, filter);
    QFETCH(int, expectedRows);
    ExportFixture fx;
    TForm1& f = *fx.form;
    f.meterSettings.LogReady = logReady ? 1 : 0;
    {
      const QSignalBlocker b(f.CBox10);
      f.CBox10->setCurrentIndex(mode);
    }
    f.LogPosition = logPosition;
    f.ProfileCount = profileCount;
    fx.prompts.saveAnswers << QDir(fx.exportFolder()).filePath(answer);
    fx.prompts.saveFilterAnswer = filter;
    QVERIFY(fx.exportNow());
    QVERIFY(fx.prompts.messages.isEmpty());
    QCOMPARE(fx.opened.size(), 1);
    const QString path = fx.opened.first();
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(QDir(fx.exportFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    if (path.endsWith(QLatin1String(".csv"))) {
      QJsonArray rows;
      QVERIFY(ReadCsv(path, rows));
      QCOMPARE(rows.size(), expectedRows);
      for (int i = 0; i < rows.size(); ++i)
        for (int c = 0; c < 10; ++c) QCOMPARE(rows.at(i).toArray().at(c).toString(), GeneratedGrid::Text(i, c));
    } else {
      QVERIFY(path.endsWith(QLatin1String(".xlsx")));
      QJsonArray cells;
      QVERIFY(ReadXlsxCells(path, cells));
      QCOMPARE(cells.size(), expectedRows * 10);
      for (const QJsonValue& v : cells) {
        const QJsonArray a = v.toArray();
        QCOMPARE(a.at(2).toString(), GeneratedGrid::Text(a.at(0).toInt() - 1, a.at(1).toInt() - 1));
      }
    }
  }

  void failureIsTold() {
    ExportFixture fx;
    TForm1& f = *fx.form;
    f.meterSettings.LogReady = 1;
    f.LogPosition = 6;
    QFile plain(fx.dataDir.filePath(QStringLiteral("plain.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString path = fx.dataDir.filePath(QStringLiteral("plain.txt/out.xlsx"));
    fx.prompts.saveAnswers << path;
    QVERIFY(fx.exportNow());
    QCOMPARE(fx.prompts.messages.size(), 1);
    const auto& m = fx.prompts.messages.first();
    QCOMPARE(m.icon, Prompts::Icon::Critical);
    QCOMPARE(m.caption, QStringLiteral("Неудача!"));
    QVERIFY2(m.text.contains(QDir::toNativeSeparators(path)), qPrintable(m.text));
    QCOMPARE(f.LogPosition, 6);
    QVERIFY(fx.opened.isEmpty());
    QVERIFY(!QFileInfo::exists(path));
  }

  void noDefaultApplicationSaysWhere() {
    ExportFixture fx;
    fx.form->meterSettings.LogReady = 1;
    fx.form->LogPosition = 3;
    fx.openSucceeds = false;
    const QString path = QDir(fx.exportFolder()).filePath(QStringLiteral("x.xlsx"));
    fx.prompts.saveAnswers << path;
    QVERIFY(fx.exportNow());
    QCOMPARE(fx.opened, QStringList{path});
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages.first().icon, Prompts::Icon::Information);
    QVERIFY(fx.prompts.messages.first().text.contains(QDir::toNativeSeparators(path)));
  }

  // A long log shows a progress dialogue whose cancel leaves no file.
  void cancelFromProgress() {
    ExportFixture fx(100001);
    TForm1& f = *fx.form;
    f.meterSettings.LogReady = 1;
    f.LogPosition = 100001;
    fx.prompts.saveAnswers << QDir(fx.exportFolder()).filePath(QStringLiteral("big.xlsx"));
    QTest::mouseClick(f.Button4, Qt::LeftButton);
    QVERIFY(!f.Button4->isEnabled());
    auto* progress = f.findChild<QProgressDialog*>(QStringLiteral("ExportProgress"));
    QVERIFY(progress);
    auto* cancel = progress->findChild<QPushButton*>();
    QVERIFY(cancel);
    cancel->click();
    QTRY_VERIFY_WITH_TIMEOUT(f.Button4->isEnabled(), 60000);
    QVERIFY(fx.prompts.messages.isEmpty());
    QVERIFY(fx.opened.isEmpty());
    QVERIFY(QDir(fx.exportFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  }
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
