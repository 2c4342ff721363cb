// The chart button over the window's session: the chart window opens beside
// the main window (not modal, made once), follows the rows the window logs
// and the profile it reads, keeps its geometry in the data folder; and the
// workbook the export button writes carries the statistics sheet beside the
// log's. The chart window's own drawing is tested in tests/chart.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineSeries>
#include <QProcess>
#include <QScatterSeries>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include "chart_window.h"
#include "export_writer.h"
#include "stats_table.h"
#include "window_profiles.h"

using namespace zt;
using zt::test::Control;
using zt::test::OpenProfiles;
using zt::test::ResistorReading;
using zt::test::WindowFixture;

namespace {

ChartWindow* OpenChart(WindowFixture& fx) {
  QTest::mouseClick(Control(fx.window(), "BChart"), Qt::LeftButton);
  return fx.window().findChild<ChartWindow*>(QStringLiteral("ChartWindow"));
}

void Log(WindowFixture& fx, std::initializer_list<double> ohms) {
  fx.recorder().setRecording(true);
  for (double r : ohms) {
    MeterReading m = ResistorReading(r, QStringLiteral("%1 Ом").arg(r));
    m.primary = {Quantity::Resistance, r, QStringLiteral("Ω"), Bound::Exact};
    fx.recorder().takeReading(m);
  }
}

double Upper(const ChartWindow& w) { return w.bandUpper()->at(0).y() * w.valueScale().factor; }

bool ReadXlsx(const QString& path, QJsonObject& out) {
  QProcess p;
  p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(ZT_READ_BACK_SCRIPT), QStringLiteral("xlsx"), path});
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return false;
  out = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
  return true;
}

}  // namespace

class TestChartButton : public QObject {
  Q_OBJECT

 private slots:
  void opensBesideTheWindowAndFollowsTheLog() {
    WindowFixture fx;
    fx.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
    // R1: 100 Ом at 2 %, R2: 200 Ом at 2 %.
    OpenProfiles(fx, {QStringLiteral("R1"), QStringLiteral("R2")}, QStringLiteral("parts.hex1"), QStringLiteral("2%"));
    QVERIFY(!fx.window().findChild<ChartWindow*>());  // made on the first click only

    ChartWindow* w = OpenChart(fx);
    QVERIFY(w);
    QVERIFY(w->isWindow());
    QCOMPARE(w->windowModality(), Qt::NonModal);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(fx.window().isEnabled());
    QVERIFY(!QApplication::activeModalWidget());  // the main window stays in use

    Log(fx, {100.5, 103.0, 99.0, 97.0});
    w->flush();
    QCOMPARE(w->plottedRows(), qint64(4));
    QCOMPARE(w->trendSeries()->count(), 4);
    QCOMPARE(w->rejectedSeries()->count(), 2);
    const QTableWidget* t = w->statsTable();
    QCOMPARE(t->item(int(StatsRow::Count), 0)->text(), QStringLiteral("4"));
    QCOMPARE(t->item(int(StatsRow::RejectedPrimary), 0)->text(), QStringLiteral("2"));
    QCOMPARE(Upper(*w), 102.0);

    // The next profile read with the editor's arrows moves the band.
    QTest::keyClick(Control<QSpinBox>(fx.window(), "SE2"), Qt::Key_Up);
    QCOMPARE(fx.book().reference().primary.nominalText, QStringLiteral("200"));
    QTRY_COMPARE_WITH_TIMEOUT(Upper(*w), 204.0, 2000);

    // Closed and opened again: the same window, its geometry written to the
    // data folder for the next run.
    // (Inside the offscreen screen, 800 x 600: a larger one is brought inside.)
    const QRect placed(w->x() + 10, w->y() + 10, 700, 500);
    w->setGeometry(placed);
    w->close();
    QVERIFY(!w->isVisible());
    QCOMPARE(OpenChart(fx), w);
    QTRY_VERIFY(w->isVisible());
    QCOMPARE(w->size(), placed.size());
    w->close();
    QSettings state(fx.dataDir.filePath(QStringLiteral("chart.ini")), QSettings::IniFormat);
    QVERIFY(state.contains(QStringLiteral("geometry")));
    ChartWindow again(&fx.recorder(), &fx.book(), state.fileName());
    QCOMPARE(again.size(), placed.size());
  }

  // "Сохранить снимок" proposes its picture in the data folder, not in
  // whatever folder the program was started from.
  void pictureProposedInTheDataFolder() {
    WindowFixture fx;
    ChartWindow* w = OpenChart(fx);
    QVERIFY(w);
    Control<QPushButton>(*w, "BSaveImage")->click();  // and cancelled
    QCOMPARE(fx.prompts.saveDirs.size(), 1);
    const QFileInfo proposed(fx.prompts.saveDirs.first());
    QCOMPARE(proposed.absolutePath(), QFileInfo(fx.dataDir.path()).absoluteFilePath());
    QVERIFY(proposed.fileName().endsWith(QLatin1String(".png")));
  }

  // The workbook the export button writes: the log's sheet, then the
  // statistics of the same rows.
  void workbookCarriesTheStatistics() {
    WindowFixture fx;
    OpenProfiles(fx, {QStringLiteral("R1")}, QStringLiteral("parts.hex1"), QStringLiteral("2%"));
    Log(fx, {100.5, 103.0, 99.0});
    const QString path = fx.dataDir.filePath(QStringLiteral("Export/batch.xlsx"));
    fx.prompts.saveAnswers << path;
    auto* button = Control<QPushButton>(fx.window(), "Button4");
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return button->isEnabled(); }, 60000));
    QVERIFY(fx.prompts.messages.isEmpty());
    QJsonObject back;
    QVERIFY(ReadXlsx(path, back));
    QCOMPARE(back.value("sheets").toInt(), 3);  // and "Values" (tests/app/test_export.cpp)
    QCOMPARE(back.value("names").toArray().at(1).toString(), QStringLiteral("Statistics"));
    // The log's sheet: headings and three rows.
    int lastRow = 0;
    for (const QJsonValue& v : back.value("cells").toArray()) lastRow = qMax(lastRow, v.toArray().at(0).toInt());
    QCOMPARE(lastRow, 4);
    // The statistics sheet: row names in column 1, the log's figures in column 2.
    const StatsTable want = fx.recorder().statisticsTable();
    QHash<QPair<int, int>, QJsonArray> cells;
    for (const QJsonValue& v : back.value("others").toArray().at(0).toArray()) {
      const QJsonArray a = v.toArray();
      cells.insert({a.at(0).toInt(), a.at(1).toInt()}, a);
    }
    const auto at = [&](StatsRow r) { return cells.value({2 + int(r), 2}).at(2); };
    QCOMPARE(cells.value({2 + int(StatsRow::Count), 1}).at(2).toString(), want.rowNames.at(int(StatsRow::Count)));
    QCOMPARE(at(StatsRow::Count).toDouble(), 3.0);
    QCOMPARE(at(StatsRow::Passed).toDouble(), 2.0);
    QCOMPARE(at(StatsRow::RejectedPrimary).toDouble(), 1.0);
    QVERIFY(qAbs(at(StatsRow::Mean).toDouble() - 302.5 / 3) < 1e-9);
    QCOMPARE(at(StatsRow::Min).toDouble(), 99.0);
    QCOMPARE(at(StatsRow::Max).toDouble(), 103.0);
  }
};

QTEST_MAIN(TestChartButton)
#include "test_chart_button.moc"
