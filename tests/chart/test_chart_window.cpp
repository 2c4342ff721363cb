// The chart window over a working session and the simulated meter on a real
// pseudo-terminal: rows the recorder logs appear in the trend, the histogram
// and the statistics; the tolerance band follows the reference; the view
// follows the log until the operator zooms; the picture and the window's
// state are saved.
//
// With ZT_SHOTS_DIR set, the window of a run is also saved there as a
// picture.
#include <QAreaSeries>
#include <QChart>
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QImage>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include <memory>

#include "ble_fake.h"
#include "chart_window.h"
#include "port_lookup.h"
#include "profile_file.h"
#include "session.h"
#include "simulated_meter.h"

using namespace zt;

namespace {

LinkTimings Fast() {
  LinkTimings t;
  t.t2Ms = 100;
  t.t3Ms = 200;
  t.t4Ms = 150;
  t.txMs = 50;
  t.connectWaitMs = 800;
  return t;
}

// A reel of 1 kΩ resistors, two of them outside 2 %.
const QString kReel = QStringLiteral("R=1k;R=1.006k;R=1.031k;R=0.994k;R=1.012k;R=0.962k;R=1.003k;R=0.998k");

// A session whose only serial device is the simulated dongle.
struct Rig {
  QString folder;
  FakeBle ble;
  std::unique_ptr<PortLookup> lookup;
  std::unique_ptr<Session> session;
  sim::SimulatedMeter meter;

  Rig(const QString& dataFolder, const QString& dut) : folder(dataFolder), meter(Options(dut)) {
    qputenv("RLC_DATA_DIR", folder.toLocal8Bit());
    lookup = std::make_unique<PortLookup>([] { return QList<SerialPortEntry>{}; }, MatchRule::UsbIdentity);
    SessionDeps deps;
    deps.portLookup = lookup.get();
    deps.ble = &ble;
    deps.linkTimings = Fast();
    deps.dataFolder = folder;
    deps.langDir = QStringLiteral(ZT_LANG_DIR);
    deps.separators = Separators{QStringLiteral("."), QStringLiteral(",")};
    session = std::make_unique<Session>(deps);
  }
  ~Rig() {
    session.reset();
    qunsetenv("RLC_DATA_DIR");
  }
  static sim::Options Options(const QString& dut) {
    sim::Options o;
    o.connectDelayMs = 30;
    o.intervalCode = 3;  // a frame every 0.5 s once linked
    o.dut = dut;
    return o;
  }
  bool connectAuto() {
    if (!meter.start()) return false;
    session->start();
    session->link().setAutoConnect(true);
    return QTest::qWaitFor([this] { return session->link().linkUp(); }, 5000) &&
           QTest::qWaitFor([this] { return session->meter().mode() == WorkMode::Measuring; }, 3000);
  }
  // The primary side sorted against `nominal` kΩ within `tolerance`.
  void sortAgainst(const QString& nominal, const QString& tolerance) {
    Reference ref = session->book().reference();
    ref.primary.kind = kPrimaryR;
    ref.primary.unitIndex = 1;  // kΩ
    ref.primary.nominalText = nominal;
    ref.primary.toleranceOn = true;
    ref.primary.toleranceText = tolerance;
    session->book().setReference(ref);
  }
  // Logs `rows` rows (recording on, then off again).
  bool record(int rows) {
    Recorder& rec = session->recorder();
    const int before = rec.batch().rowCount();
    rec.setRecording(true);
    const bool ok = QTest::qWaitFor([&] { return rec.batch().rowCount() >= before + rows; }, 20000);
    rec.setRecording(false);
    return ok;
  }
};

double Y(const QLineSeries* s, int i, const ChartWindow& w) { return s->at(i).y() * w.valueScale().factor; }

void Shoot(ChartWindow& w, const QString& name) {
  const QString dir = qEnvironmentVariable("ZT_SHOTS_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  w.flush();
  w.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

}  // namespace

class TestChartWindow : public QObject {
  Q_OBJECT

 private slots:
  // A reel from the simulator: every logged row is in the trend, the
  // rejects are marked, the histogram counts them, the statistics agree.
  void rowsFromTheMeterAppearEverywhere() {
    QTemporaryDir data;
    Rig rig(data.path(), kReel);
    QVERIFY(rig.connectAuto());
    Session& s = *rig.session;
    rig.sortAgainst(QStringLiteral("1"), QStringLiteral("2%"));
    ChartWindow w(&s.recorder(), &s.book(), data.filePath(QStringLiteral("chart.ini")));
    w.setLexicons(&s.lang().lexicons());
    w.resize(1000, 700);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    QVERIFY(rig.record(8));
    w.flush();
    const BatchStats& b = s.recorder().batch();
    const int rows = b.rowCount();
    QCOMPARE(w.plottedRows(), qint64(rows));
    QCOMPARE(w.trendSeries()->count(), rows);  // few rows: one point each, in position order
    int rejects = 0;
    for (int i = 0; i < rows; ++i) {
      const BatchSample* row = b.at(i + 1);
      QVERIFY(row);
      QCOMPARE(w.trendSeries()->at(i).x(), double(i + 1));
      QVERIFY(qAbs(Y(w.trendSeries(), i, w) - row->primary) < 1e-6 * row->primary);
      rejects += row->rejected() ? 1 : 0;
    }
    QVERIFY2(rejects >= 1, "the reel holds parts outside the tolerance");
    QCOMPARE(w.rejectedSeries()->count(), rejects);
    QCOMPARE(w.histogram().total(), qint64(rows));
    QCOMPARE(w.valueScale().factor, 1e3);  // kΩ on the axis

    // The band is 1 kΩ ± 2 %.
    QCOMPARE(w.bandUpper()->at(0).y() * 1e3, 1020.0);
    QCOMPARE(w.bandLower()->at(0).y() * 1e3, 980.0);

    // The statistics table: the log's column.
    const QTableWidget* t = w.statsTable();
    QCOMPARE(t->columnCount(), 1);
    const Lexicon& words = s.lang().lexicons().D5;
    QCOMPARE(t->horizontalHeaderItem(0)->text(), words[chart::kLog]);
    QCOMPARE(t->verticalHeaderItem(int(StatsRow::Count))->text(), words[chart::kCount]);
    QCOMPARE(t->item(int(StatsRow::Count), 0)->text(), QString::number(rows));
    QCOMPARE(t->item(int(StatsRow::RejectedPrimary), 0)->text(), QString::number(rejects));
    QCOMPARE(t->item(int(StatsRow::Mean), 0)->text(), s.recorder().statisticsTable().cell(int(StatsRow::Mean), 0).text);
    QVERIFY(t->item(int(StatsRow::Cp), 0)->text() != QStringLiteral("—"));  // two-sided: Cp is shown
    Shoot(w, QStringLiteral("chart-window-reel"));

    // More rows while the window is open follow live.
    QVERIFY(rig.record(2));
    QTRY_COMPARE_WITH_TIMEOUT(w.trendSeries()->count(), b.rowCount(), 2000);
    QVERIFY(w.following());
  }

  // Capacitors sorted at 5 %: the band in farads is wider above the nominal
  // than below (the sorting compares reactances), and the parts the sorting
  // rejected lie outside it.
  void capacitorsAgainstTheirBand() {
    QTemporaryDir data;
    Rig rig(data.path(), QStringLiteral("C=100n,esr=0.5;C=103n,esr=0.4;C=96n,esr=0.6;C=108n,esr=0.5;"
                                        "C=101n,esr=0.5;C=99n,esr=0.7;C=94n,esr=0.5;C=102n,esr=0.5;"
                                        "C=104.5n,esr=0.5;C=97n,esr=0.6;C=100.5n,esr=0.5;C=98n,esr=0.4"));
    QVERIFY(rig.connectAuto());
    Session& s = *rig.session;
    Reference ref = s.book().reference();
    ref.primary.kind = kPrimaryC;
    ref.primary.unitIndex = 1;  // nF
    ref.primary.nominalText = QStringLiteral("100");
    ref.primary.toleranceOn = true;
    ref.primary.toleranceText = QStringLiteral("5%");
    s.book().setReference(ref);
    ChartWindow w(&s.recorder(), &s.book(), data.filePath(QStringLiteral("chart.ini")));
    w.setLexicons(&s.lang().lexicons());
    w.resize(1100, 760);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.setSecondaryShown(true);
    QVERIFY(rig.record(12));
    w.flush();
    QCOMPARE(w.valueScale().factor, 1e-9);  // nF on the axis
    QVERIFY(qAbs(w.bandUpper()->at(0).y() - 100 / 0.95) < 1e-9);
    QVERIFY(qAbs(w.bandLower()->at(0).y() - 100 / 1.05) < 1e-9);
    const BatchStats& b = s.recorder().batch();
    int rejects = 0;
    for (int p = 1; p <= b.rowCount(); ++p) {
      const BatchSample* row = b.at(p);
      QCOMPARE(row->kind, Quantity::Capacitance);
      const double nF = row->primary * 1e9;
      const bool outside = nF < 100 / 1.05 || nF > 100 / 0.95;
      QCOMPARE(row->rejected(), outside);
      rejects += outside ? 1 : 0;
    }
    QVERIFY(rejects >= 1);
    QCOMPARE(w.rejectedSeries()->count(), rejects);
    QCOMPARE(w.secondarySeries()->count(), b.rowCount());
    Shoot(w, QStringLiteral("chart-window-capacitors"));
  }

  // The band follows the reference: edited, and a profile read from the file.
  void bandFollowsTheReference() {
    QTemporaryDir data;
    Rig rig(data.path(), QStringLiteral("R=1k"));
    Session& s = *rig.session;
    ChartWindow w(&s.recorder(), &s.book());
    w.show();
    QAbstractSeries* band = w.trendChart()->findChild<QAbstractSeries*>(QStringLiteral("BandSeries"));
    QVERIFY(band);
    QVERIFY(!band->isVisible());  // the tolerance is off to begin with
    rig.sortAgainst(QStringLiteral("1"), QStringLiteral("5%"));
    w.flush();
    QCOMPARE(w.bandUpper()->at(0).y() * w.valueScale().factor, 1050.0);
    QCOMPARE(w.bandLower()->at(0).y() * w.valueScale().factor, 950.0);

    // Two profiles in a file: 4.7 kΩ at 1 %, and "below 2.2 kΩ".
    const QString file = data.filePath(QStringLiteral("parts.hex1"));
    ProfileRecord r = s.book().EditorRecord();
    r.ProfileName = QStringLiteral("R4k7");
    r.PrimaryKind = kPrimaryR;
    r.PrimaryUnit = 1;
    r.PrimaryNominal = QStringLiteral("4.7");
    r.PrimaryTolerance = QStringLiteral("1%");
    QVERIFY(ProfileFile(file).create(r).ok);
    r.ProfileName = QStringLiteral("R2k2");
    r.PrimaryNominal = QStringLiteral("2.2");
    r.PrimaryTolerance = QStringLiteral("<");
    std::int32_t count = 1;
    QVERIFY(ProfileFile(file).store(count, 2, r).ok);
    QVERIFY(s.book().open(file));
    s.book().step(1);
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(w.bandUpper()->at(0).y() * w.valueScale().factor - 4747) < 1e-9, 2000);
    QCOMPARE(w.bandLower()->at(0).y() * w.valueScale().factor, 4653.0);
    s.book().step(2);
    QTRY_COMPARE_WITH_TIMEOUT(w.bandUpper()->at(0).y() * w.valueScale().factor, 2200.0, 2000);
    // No lower limit: the band runs below the bottom of the view.
    QVERIFY(w.bandLower()->at(0).y() < qobject_cast<QValueAxis*>(w.trendChart()->axes(Qt::Vertical).first())->min());
    // The tolerance switched off: no band.
    Reference off = s.book().reference();
    off.primary.toleranceOn = false;
    s.book().setReference(off);
    w.flush();
    QTRY_VERIFY_WITH_TIMEOUT(!band->isVisible(), 2000);
  }

  // Zoom stops following, the key or the button brings the newest rows
  // back; the time axis shows the rows' times; the secondary value comes on
  // request.
  void viewFollowsUntilTheOperatorZooms() {
    QTemporaryDir data;
    Rig rig(data.path(), kReel);
    QVERIFY(rig.connectAuto());
    Session& s = *rig.session;
    rig.sortAgainst(QStringLiteral("1"), QStringLiteral("2%"));
    ChartWindow w(&s.recorder(), &s.book());
    w.resize(900, 600);
    w.show();
    // The End key goes to the active window (on a real display too).
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY(rig.record(4));
    w.flush();
    auto* x = qobject_cast<QValueAxis*>(w.trendChart()->axes(Qt::Horizontal).first());
    QVERIFY(x);
    QVERIFY(w.following());
    QVERIFY(x->max() >= s.recorder().batch().rowCount());

    w.trendChart()->zoomIn();  // as the rubber band or the wheel does
    QVERIFY(!w.following());
    QVERIFY(w.findChild<QPushButton*>(QStringLiteral("BFollow"))->isEnabled());
    QVERIFY(rig.record(2));
    w.flush();
    QTest::keyClick(&w, Qt::Key_End);
    QVERIFY(w.following());
    w.flush();
    x = qobject_cast<QValueAxis*>(w.trendChart()->axes(Qt::Horizontal).first());
    QVERIFY(x->max() >= s.recorder().batch().rowCount());
    QCOMPARE(w.trendSeries()->count(), s.recorder().batch().rowCount());

    w.findChild<QCheckBox*>(QStringLiteral("CBTime"))->setChecked(true);
    QVERIFY(w.timeAxis());
    auto* t = qobject_cast<QDateTimeAxis*>(w.trendChart()->axes(Qt::Horizontal).first());
    QVERIFY(t);
    const BatchSample* first = s.recorder().batch().at(1);
    QCOMPARE(qint64(w.trendSeries()->at(0).x()), first->timeMs);
    QVERIFY(t->min().toMSecsSinceEpoch() <= first->timeMs);

    QVERIFY(!w.secondarySeries()->isVisible());
    w.findChild<QCheckBox*>(QStringLiteral("CBSecondary"))->setChecked(true);
    QVERIFY(w.secondarySeries()->isVisible());
    QCOMPARE(w.secondarySeries()->count(), s.recorder().batch().rowCount());
  }

  // The rows go, the drawing goes: a cleared log and a mode change.
  void followsTheLogBeingEmptied() {
    QTemporaryDir data;
    Rig rig(data.path(), kReel);
    QVERIFY(rig.connectAuto());
    Session& s = *rig.session;
    ChartWindow w(&s.recorder(), &s.book());
    QVERIFY(rig.record(3));
    w.flush();
    QVERIFY(w.trendSeries()->count() >= 3);
    s.recorder().clear();
    w.flush();
    QCOMPARE(w.trendSeries()->count(), 0);
    QCOMPARE(w.histogram().total(), 0LL);
    QCOMPARE(w.statsTable()->item(int(StatsRow::Count), 0)->text(), QStringLiteral("0"));
  }

  // "Save image" through the prompt writes a PNG; a failure is told.
  void savesAPicture() {
    QTemporaryDir data;
    Rig rig(data.path(), kReel);
    Session& s = *rig.session;
    ChartWindow w(&s.recorder(), &s.book());
    w.resize(800, 600);
    QString asked;
    QStringList errors;
    QString answer = data.filePath(QStringLiteral("trend"));
    w.setPrompts({[&](QWidget*, const QString&, const QString& suggested, const QString& filter) {
                    asked = suggested + QLatin1Char('|') + filter;
                    return answer;
                  },
                  [&](QWidget*, const QString&, const QString& text) { errors << text; }});
    auto* save = w.findChild<QPushButton*>(QStringLiteral("BSaveImage"));
    save->click();
    QVERIFY(asked.endsWith(QStringLiteral(".png|") + Lexicons::russian().D5[chart::kImageFilter]));
    const QImage picture(data.filePath(QStringLiteral("trend.png")));
    QVERIFY(!picture.isNull());
    QVERIFY(picture.width() > 300);
    QVERIFY(errors.isEmpty());

    answer = data.filePath(QStringLiteral("no/such/folder/x.png"));
    save->click();
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().contains(QStringLiteral("x.png")));
    answer.clear();  // cancelled: nothing happens
    save->click();
    QCOMPARE(errors.size(), 1);
  }

  // The window's size, splitters and choices come back in the next run.
  void remembersItsState() {
    QTemporaryDir data;
    Rig rig(data.path(), kReel);
    Session& s = *rig.session;
    const QString state = data.filePath(QStringLiteral("chart.ini"));
    {
      ChartWindow w(&s.recorder(), &s.book(), state);
      w.show();
      QVERIFY(QTest::qWaitForWindowExposed(&w));
      w.resize(760, 540);  // inside the offscreen screen (800 x 600), so it comes back as it was
      w.setTimeAxis(true);
      w.setSecondaryShown(true);
      QTest::qWait(50);
      w.close();
    }
    QVERIFY(QFile::exists(state));
    ChartWindow again(&s.recorder(), &s.book(), state);
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QCOMPARE(again.size(), QSize(760, 540));
    QVERIFY(again.timeAxis());
    QVERIFY(again.findChild<QCheckBox*>(QStringLiteral("CBSecondary"))->isChecked());
  }
};

QTEST_MAIN(TestChartWindow)
#include "test_chart_window.moc"
