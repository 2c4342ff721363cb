// The export button over the recorder: recording stops, the save dialogue
// proposes a file, the recorder's rows are written off the UI thread and read
// back, failures are told, the button comes back in every case. Which rows an
// export copies is the recorder's rule (tests/log/test_recorder.cpp).
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QtTest>

#include "export_writer.h"
#include "window_profiles.h"

using namespace zt;
using zt::test::Control;
using zt::test::ResistorReading;
using zt::test::WindowFixture;

namespace {

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

struct ExportWindow : WindowFixture {
  QPushButton* button = Control<QPushButton>(window(), "Button4");
  QString exportFolder() const { return dataDir.filePath(QStringLiteral("Export")); }
  // `rows` readings logged from position 1.
  void log(int rows) {
    recorder().setRecording(true);
    for (int i = 1; i <= rows; ++i)
      recorder().takeReading(ResistorReading(100 + i, QStringLiteral("%1 Ом").arg(100 + i)));
  }
  // The grid's text as the export writes it: row 0 is the headings.
  QString text(int row, int col) {
    return row == 0 ? recorder().model()->header(col) : recorder().model()->cell(row, col);
  }
  // Clicks the button and waits until the export has ended.
  bool exportNow() {
    QTest::mouseClick(button, Qt::LeftButton);
    return QTest::qWaitFor([&] { return button->isEnabled(); }, 60000);
  }
};

}  // namespace

class TestExport : public QObject {
  Q_OBJECT

 private slots:
  void stopsRecordingAndProposesDefaults() {
    ExportWindow fx;
    zt::test::OpenProfiles(fx, {QStringLiteral("R1")}, QStringLiteral("Резисторы.hex1"));
    auto* sp1 = Control<QPushButton>(fx.window(), "SP1");
    fx.log(1);
    QVERIFY(sp1->isChecked());
    QVERIFY(fx.exportNow());  // the dialogue is cancelled
    QVERIFY(!fx.recorder().recording());
    QVERIFY(!sp1->isChecked());
    QCOMPARE(sp1->text(), QStringLiteral("Пуск"));
    QCOMPARE(fx.prompts.dialogCaptions.last(), fx.button->text());
    QCOMPARE(fx.prompts.saveDirs, QStringList{fx.exportFolder() + QStringLiteral("/Резисторы.xlsx")});
    QVERIFY(QFileInfo(fx.exportFolder()).isDir());
    QVERIFY(fx.prompts.saveFilters.first().contains(QLatin1String("*.xlsx")));
    QVERIFY(fx.prompts.saveFilters.first().contains(QLatin1String("*.csv")));
    QVERIFY(QDir(fx.exportFolder()).isEmpty());  // cancelled: nothing written
    QVERIFY(fx.prompts.messages.isEmpty());

    ExportWindow untitled;
    QVERIFY(untitled.exportNow());
    const QRegularExpression dated(QStringLiteral("/log \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.xlsx$"));
    QVERIFY2(dated.match(untitled.prompts.saveDirs.last()).hasMatch(), qPrintable(untitled.prompts.saveDirs.last()));
  }

  // The recorder's rows, headings first, as the file type asks, read back.
  void writesRows_data() {
    QTest::addColumn<int>("logged");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("written");
    const QString xlsx = Lexicons::russian().D4[msg::kExportFilterXlsx];
    const QString csv = Lexicons::russian().D4[msg::kExportFilterCsv];
    QTest::addRow("workbook") << 5 << "a.xlsx" << xlsx << "a.xlsx";
    QTest::addRow("CSV by name") << 3 << "a.csv" << xlsx << "a.csv";
    QTest::addRow("CSV by type") << 4 << "a" << csv << "a.csv";
    QTest::addRow("workbook by type") << 2 << "a" << xlsx << "a.xlsx";
  }
  void writesRows() {
    QFETCH(int, logged);
    QFETCH(QString, answer);
    QFETCH(QString, filter);
    QFETCH(QString, written);
    ExportWindow fx;
    fx.log(logged);
    fx.prompts.saveAnswers << QDir(fx.exportFolder()).filePath(answer);
    fx.prompts.saveFilterAnswer = filter;
    QVERIFY(fx.exportNow());
    QVERIFY(fx.prompts.messages.isEmpty());
    const QString path = QDir(fx.exportFolder()).filePath(written);
    QCOMPARE(fx.opened, QStringList{path});
    QCOMPARE(QDir(fx.exportFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    const int rows = logged + 1;
    if (written.endsWith(QLatin1String(".csv"))) {
      QJsonArray read;
      QVERIFY(ReadCsv(path, read));
      QCOMPARE(read.size(), rows);
      for (int i = 0; i < rows; ++i)
        for (int c = 0; c < kLogColumns; ++c) QCOMPARE(read.at(i).toArray().at(c).toString(), fx.text(i, c));
    } else {
      QJsonArray cells;
      QVERIFY(ReadXlsxCells(path, cells));
      int filled = 0;
      for (int i = 0; i < rows; ++i)
        for (int c = 0; c < kLogColumns; ++c) filled += fx.text(i, c).isEmpty() ? 0 : 1;
      QCOMPARE(cells.size(), filled);
      for (const QJsonValue& v : cells) {
        const QJsonArray a = v.toArray();
        const int row = a.at(0).toInt() - 1, col = a.at(1).toInt() - 1;
        // The position and the deviations are numbers, the rest texts.
        const bool numeric = row > 0 && (col == 0 || col == 8 || col == 9);
        QCOMPARE(a.at(3).toString(), numeric ? QStringLiteral("n") : QStringLiteral("s"));
        if (numeric)
          QCOMPARE(a.at(2).toDouble(), fx.text(row, col).toDouble());
        else
          QCOMPARE(a.at(2).toString(), fx.text(row, col));
      }
    }
  }

  // The workbook's "Values" sheet holds the recorder's own readings as
  // numbers: what the panel showed as "100.5 Ом" is 100.5, in ohms.
  void valuesSheetFromTheRecordersReadings() {
    ExportWindow fx;
    zt::test::OpenProfiles(fx, {QStringLiteral("R1")}, QStringLiteral("parts.hex1"), QStringLiteral("2%"));
    fx.recorder().setRecording(true);
    const double ohms[] = {100.5, 103.25, 99.0};
    for (double r : ohms) {
      MeterReading m = ResistorReading(r, QStringLiteral("%1 Ом").arg(r));
      m.primary = {Quantity::Resistance, r, QStringLiteral("Ω"), Bound::Exact};
      m.secondary = {Quantity::QualityFactor, 0.01, QString(), Bound::Exact};
      m.level.volts = 1.0;
      fx.recorder().takeReading(m);
    }
    const QString path = QDir(fx.exportFolder()).filePath(QStringLiteral("v.xlsx"));
    fx.prompts.saveAnswers << path;
    QVERIFY(fx.exportNow());
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(ZT_READ_BACK_SCRIPT), QStringLiteral("xlsx"), path});
    QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
    const QJsonObject back = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    QCOMPARE(back.value("names").toArray().last().toString(), QStringLiteral("Values"));
    QHash<QPair<int, int>, QJsonArray> got;
    for (const QJsonValue& v : back.value("others").toArray().last().toArray())
      got.insert({v[0].toInt(), v[1].toInt()}, v.toArray());
    const auto at = [&](int row, ValueColumn c) { return got.value({row, int(c) + 1}).at(2); };
    for (int i = 0; i < 3; ++i) {
      const int row = i + 2;
      QCOMPARE(at(row, ValueColumn::Position).toDouble(), i + 1.0);
      QCOMPARE(at(row, ValueColumn::Primary).toString(), QStringLiteral("R"));
      QCOMPARE(at(row, ValueColumn::PrimaryValue).toDouble(), ohms[i]);
      QCOMPARE(at(row, ValueColumn::PrimaryUnit).toString(), QStringLiteral("Ом"));
      QCOMPARE(at(row, ValueColumn::Secondary).toString(), QStringLiteral("Q"));
      QCOMPARE(at(row, ValueColumn::SecondaryValue).toDouble(), 0.01);
      QCOMPARE(at(row, ValueColumn::Frequency).toDouble(), 1000.0);
      QCOMPARE(at(row, ValueColumn::Level).toDouble(), 1.0);
      QCOMPARE(at(row, ValueColumn::Reject).toDouble(), i == 1 ? 1.0 : 0.0);  // 103.25 is out of 2 %
      QVERIFY(!at(row, ValueColumn::Time).toString().isEmpty());
    }
    QVERIFY(!got.contains({5, 1}));
  }

  void failureIsTold() {
    ExportWindow fx;
    fx.log(5);
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
    QCOMPARE(fx.recorder().logPosition(), 6);
    QVERIFY(fx.opened.isEmpty());
    QVERIFY(!QFileInfo::exists(path));
  }

  void noDefaultApplicationSaysWhere() {
    ExportWindow fx;
    fx.log(2);
    fx.openSucceeds = false;
    const QString path = QDir(fx.exportFolder()).filePath(QStringLiteral("x.xlsx"));
    fx.prompts.saveAnswers << path;
    QVERIFY(fx.exportNow());
    QCOMPARE(fx.opened, QStringList{path});
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages.first().caption, fx.button->text());
    QCOMPARE(fx.prompts.messages.first().icon, Prompts::Icon::Information);
    QVERIFY(fx.prompts.messages.first().text.contains(QDir::toNativeSeparators(path)));
  }

  // The progress dialogue is off the screen before the file is opened or
  // any message shows: with no window manager to raise the message box, a
  // dialogue left up covers it, its "Отмена" where the box's OK is. The
  // memo says that the export ended the recording.
  void progressGoneBeforeTheMessage_data() {
    QTest::addColumn<bool>("recording");
    QTest::addRow("recording") << true;
    QTest::addRow("not recording: nothing for the memo") << false;
  }
  void progressGoneBeforeTheMessage() {
    QFETCH(bool, recording);
    ExportWindow fx;
    fx.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
    fx.log(3);
    if (!recording) fx.recorder().setRecording(false);
    auto* memo = Control<QPlainTextEdit>(fx.window(), "Memo1");
    const QString memoBefore = memo->toPlainText();
    fx.openSucceeds = false;  // the message telling where the file is
    const QString path = QDir(fx.exportFolder()).filePath(QStringLiteral("x.xlsx"));
    fx.prompts.saveAnswers << path;
    // What is on screen when the message box comes up.
    QStringList shownThen;
    const auto onScreen = [&] {
      QStringList shown;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && qobject_cast<QProgressDialog*>(w)) shown << w->objectName();
      return shown;
    };
    bool looked = false;
    fx.prompts.onMessage = [&](const auto&) {
      shownThen = onScreen();
      looked = true;
    };
    QTest::mouseClick(fx.button, Qt::LeftButton);
    QPointer<QProgressDialog> progress = fx.window().findChild<QProgressDialog*>(QStringLiteral("ExportProgress"));
    QVERIFY(progress);
    progress->show();  // as its timer shows it on a long export
    QVERIFY(progress->isVisible());
    QVERIFY(QTest::qWaitFor([&] { return fx.button->isEnabled(); }, 60000));
    QVERIFY(looked);
    QCOMPARE(shownThen, QStringList());
    QTRY_VERIFY(!fx.window().findChild<QProgressDialog*>());  // and gone for good
    const QString stopped = fx.lex().D4[msg::kExportStoppedRecording];
    const QString added = memo->toPlainText().mid(memoBefore.size());
    QCOMPARE(added.contains(stopped), recording);
    QVERIFY(!fx.recorder().recording());
  }

  // A long log shows a progress dialogue whose cancel leaves no file.
  void cancelFromProgress() {
    ExportWindow fx;
    fx.recorder().setRecording(true);
    fx.recorder().setStartPosition(Recorder::kMaxPosition);
    fx.recorder().takeReading(ResistorReading(100, QStringLiteral("100 Ом")));
    QCOMPARE(fx.recorder().logPosition(), Recorder::kMaxPosition + 1);
    GridRowTexts texts;
    for (int c = 0; c < kLogColumns; ++c) texts[c] = QStringLiteral("%1 Ω μ кГц").arg(c);
    for (int r = 1; r < Recorder::kMaxPosition; ++r) fx.recorder().model()->setRowTexts(r, texts);
    fx.prompts.messages.clear();  // the full log was told
    fx.prompts.saveAnswers << QDir(fx.exportFolder()).filePath(QStringLiteral("big.xlsx"));
    QTest::mouseClick(fx.button, Qt::LeftButton);
    QVERIFY(!fx.button->isEnabled());
    auto* progress = fx.window().findChild<QProgressDialog*>(QStringLiteral("ExportProgress"));
    QVERIFY(progress);
    auto* cancel = progress->findChild<QPushButton*>();
    QVERIFY(cancel);
    cancel->click();
    QTRY_VERIFY_WITH_TIMEOUT(fx.button->isEnabled(), 60000);
    QVERIFY(fx.prompts.messages.isEmpty());
    QVERIFY(fx.opened.isEmpty());
    QVERIFY(QDir(fx.exportFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  }
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
