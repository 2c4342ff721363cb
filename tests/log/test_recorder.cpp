// The recorder without widgets: rows built from reading values, positions
// and the start position, the full log, the space bar's conditions, the
// multi-part table and its names, the language switch keeping the log, and
// what the export copies; the question before logged rows are written over.
#include <QDateTime>
#include <QTest>

#include "lang_man.h"
#include "recorder_fixture.h"

Q_DECLARE_METATYPE(zt::WriteOverQuestion)

using namespace zt;
using namespace zt::test;

class TestRecorder : public QObject {
  Q_OBJECT
 private slots:
  void rowColumns_data();
  void rowColumns();
  void offeredWhenExactlyOneOfRecordingAndHold_data();
  void offeredWhenExactlyOneOfRecordingAndHold();
  void startPositionExtendsTheGrid();
  void lastPositionStopsRecording();
  void logOnDemand_data();
  void logOnDemand();
  void clearStopsAndEmpties();
  void multiPartTable();
  void multiPartRowsNamedFromTheCurrentFile();
  void multiPartStoreAfterADelete();
  void gridClickSelectsAProfile_data();
  void gridClickSelectsAProfile();
  void modeSwitchBackToSinglePart();
  void languageSwitchKeepsTheLog_data();
  void languageSwitchKeepsTheLog();
  void exportRows_data();
  void exportRows();
  void statisticsFollowTheLog();
  void statisticsPerProfile();
  void writingOverAsksOnce_data();
  void writingOverAsksOnce();
  void writingOverAskedOnlyWhereItApplies();
};

void TestRecorder::rowColumns_data() {
  QTest::addColumn<QString>("sep");
  QTest::addColumn<QString>("tolerance");  // empty: off
  QTest::addColumn<double>("readingR");
  QTest::addColumn<int>("series");
  QTest::addColumn<int>("freqCode");
  QTest::addColumn<QString>("mark");
  QTest::addColumn<QString>("deviation");
  QTest::addColumn<QString>("verdicts");  // columns 7-9: r reject, g pass, . none
  QTest::newRow("tolerance off") << "."
                                 << "" << 150.0 << 1 << 3 << "old"
                                 << ""
                                 << "...";
  QTest::newRow("pass, point") << "."
                               << "1%" << 100.5 << 1 << 3 << "-"
                               << "0.50"
                               << "g..";
  QTest::newRow("pass, comma") << ","
                               << "1%" << 100.5 << 1 << 3 << "-"
                               << "0,50"
                               << "g..";
  QTest::newRow("reject, comma") << ","
                                 << "1%" << 102.0 << 1 << 3 << "+"
                                 << "2,00"
                                 << "rr.";
  QTest::newRow("unreadable tolerance") << "."
                                        << "0,2%" << 100.0 << 1 << 3 << "+"
                                        << "0.00"
                                        << "r..";
  QTest::newRow("parallel, automatic frequency") << "."
                                                 << "" << 100.0 << 0 << 0 << "old"
                                                 << ""
                                                 << "...";
}

void TestRecorder::rowColumns() {
  QFETCH(QString, sep);
  QFETCH(QString, tolerance);
  QFETCH(double, readingR);
  QFETCH(int, series);
  QFETCH(int, freqCode);
  QFETCH(QString, mark);
  QFETCH(QString, deviation);
  QFETCH(QString, verdicts);
  RecorderFixture fx;
  fx.book.setSeparators(Separators{sep, QStringLiteral(" ")});
  fx.rec.setSeparators(Separators{sep, QStringLiteral(" ")});
  fx.setPrimary(tolerance, QStringLiteral("100"));
  fx.rec.model()->setCell(1, 7, QStringLiteral("old"));
  QSignalSpy verdict(&fx.rec, &Recorder::verdict);
  QSignalSpy written(&fx.rec, &Recorder::rowWritten);
  fx.rec.setRecording(true);
  MeterReading m = Reading(readingR);
  m.settings.CircuitSeries = static_cast<std::uint8_t>(series);
  m.settings.FreqCode = static_cast<std::uint8_t>(freqCode);
  fx.rec.takeReading(m);

  const LogModel& g = fx.grid();
  QCOMPARE(g.cell(1, 0), QStringLiteral("1"));
  QCOMPARE(g.cell(1, 1), QStringLiteral("01.02.24 10:11:12"));
  QCOMPARE(g.cell(1, 2), QStringLiteral("R 100.00 Ом"));
  QCOMPARE(g.cell(1, 3), QStringLiteral("Q 0.0100"));
  QCOMPARE(g.cell(1, 4), series == 1 ? QStringLiteral("S") : QStringLiteral("P"));
  QCOMPARE(g.cell(1, 5), freqCode == 0 ? QStringLiteral("A") : QStringLiteral("1кГц"));
  QCOMPARE(g.cell(1, 6), QStringLiteral("1.0Вскз"));
  QCOMPARE(g.cell(1, 7), mark);
  QCOMPARE(g.cell(1, 8), deviation);
  QCOMPARE(g.cell(1, 9), QString());
  QCOMPARE(Verdicts(g, 1), verdicts);
  QCOMPARE(fx.rec.startPosition(), 2);
  QCOMPARE(fx.rec.logPosition(), 2);
  // The panel's colour and the consumers of rows get the same verdict.
  QCOMPARE(verdict.size(), 1);
  const Verdict v = verdict.at(0).at(0).value<Verdict>();
  QCOMPARE(v.rejected(), mark == QLatin1String("+"));
  QCOMPARE(written.size(), 1);
  const LogRow row = written.at(0).at(0).value<LogRow>();
  QCOMPARE(row.position, 1);
  QCOMPARE(row.time, kFrameTime);
  QCOMPARE(row.texts[2], g.cell(1, 2));
  QCOMPARE(row.texts[7], mark);
  QCOMPARE(row.verdict, v);
  QCOMPARE(row.reading.values.ReadingR, readingR);
  QCOMPARE(row.profileNumber, 0);
}

void TestRecorder::offeredWhenExactlyOneOfRecordingAndHold_data() {
  QTest::addColumn<bool>("recording");
  QTest::addColumn<int>("hold");
  QTest::addColumn<int>("logReady");
  QTest::addColumn<bool>("written");
  QTest::newRow("recording") << true << 0 << 1 << true;
  QTest::newRow("hold logging") << false << 1 << 1 << true;
  QTest::newRow("both on") << true << 1 << 1 << false;
  QTest::newRow("neither") << false << 0 << 1 << false;
  QTest::newRow("frame without the log flag") << true << 0 << 0 << false;
}

void TestRecorder::offeredWhenExactlyOneOfRecordingAndHold() {
  QFETCH(bool, recording);
  QFETCH(int, hold);
  QFETCH(int, logReady);
  QFETCH(bool, written);
  RecorderFixture fx;
  QSignalSpy verdict(&fx.rec, &Recorder::verdict);
  if (recording) fx.rec.setRecording(true);
  fx.rec.setStartPosition(5);
  MeterReading m = Reading();
  m.settings.Hold = static_cast<std::uint8_t>(hold);
  m.settings.LogReady = static_cast<std::uint8_t>(logReady);
  fx.rec.takeReading(m);
  QCOMPARE(verdict.size(), 1);  // every reading is sorted
  QCOMPARE(!fx.grid().cell(5, 0).isEmpty(), written);
  QCOMPARE(fx.rec.startPosition(), written ? 6 : 5);
}

void TestRecorder::startPositionExtendsTheGrid() {
  RecorderFixture fx;
  QSignalSpy current(&fx.rec, &Recorder::currentRowChanged);
  QSignalSpy start(&fx.rec, &Recorder::startPositionChanged);
  fx.rec.setRecording(true);
  fx.rec.setStartPosition(15);
  fx.rec.takeReading(Reading());
  QCOMPARE(fx.grid().cell(15, 0), QStringLiteral("15"));
  QCOMPARE(fx.grid().gridRowCount(), 16);
  fx.rec.takeReading(Reading());
  QCOMPARE(fx.grid().gridRowCount(), 17);
  QCOMPARE(fx.rec.startPosition(), 17);
  QCOMPARE(start.last().at(0).toInt(), 17);
  // Recording follows each new row.
  QCOMPARE(current.size(), 2);
  QCOMPARE(current.last().at(0).toInt(), 16);
  // Hold logging writes, but an idle single-part grid does not move.
  fx.rec.setRecording(false);
  MeterReading held = Reading();
  held.settings.Hold = 1;
  fx.rec.takeReading(held);
  QCOMPARE(fx.grid().cell(17, 0), QStringLiteral("17"));
  QCOMPARE(current.size(), 2);
  QVERIFY(!fx.rec.cellSelectable());
  // The start position keeps within 1 to 100,000.
  fx.rec.setStartPosition(0);
  QCOMPARE(fx.rec.startPosition(), 1);
  fx.rec.setStartPosition(200000);
  QCOMPARE(fx.rec.startPosition(), Recorder::kMaxPosition);
  QCOMPARE(fx.book.reference().startPosition, Recorder::kMaxPosition);  // stored with a profile
}

void TestRecorder::lastPositionStopsRecording() {
  RecorderFixture fx;
  QSignalSpy recording(&fx.rec, &Recorder::recordingChanged);
  fx.rec.setRecording(true);
  fx.rec.setStartPosition(Recorder::kMaxPosition);
  fx.rec.takeReading(Reading());
  QCOMPARE(fx.grid().gridRowCount(), 100001);
  QCOMPARE(fx.grid().cell(100000, 2), QStringLiteral("R 100.00 Ом"));
  QVERIFY(fx.rec.logFull());
  QVERIFY(!fx.rec.recording());
  QCOMPARE(recording.last().at(0).toBool(), false);
  QCOMPARE(recording.last().at(1).toBool(), true);  // as if SP1 was clicked up
  QVERIFY(fx.rec.gridEnabled());
  QCOMPARE(fx.notices.size(), 1);
  QCOMPARE(fx.notices[0].level, NoticeLevel::Warning);
  QCOMPARE(fx.notices[0].text,
           QStringLiteral("Журнал заполнен: записана последняя позиция 100000. Запись остановлена."));
  QCOMPARE(fx.rec.startPosition(), Recorder::kMaxPosition);
  // Hold logging goes on offering readings: the full row is not overwritten.
  MeterReading held = Reading(999, QStringLiteral("999 Ом"));
  held.settings.Hold = 1;
  fx.rec.takeReading(held);
  QCOMPARE(fx.grid().cell(100000, 2), QStringLiteral("R 100.00 Ом"));
  QCOMPARE(fx.notices.size(), 1);
  // A new start position writes again.
  fx.rec.setStartPosition(5);
  QVERIFY(!fx.rec.logFull());
  fx.rec.takeReading(held);
  QCOMPARE(fx.grid().cell(5, 2), QStringLiteral("R 999 Ом"));
}

void TestRecorder::logOnDemand_data() {
  QTest::addColumn<QString>("condition");
  QTest::addColumn<bool>("written");
  QTest::newRow("all conditions hold") << "" << true;
  QTest::newRow("meter side refuses (input held, editing, no link, asleep)") << "gate" << false;
  QTest::newRow("recording") << "recording" << false;
  QTest::newRow("no reading yet") << "noreading" << false;
  QTest::newRow("last frame without the log flag") << "notready" << false;
}

void TestRecorder::logOnDemand() {
  QFETCH(QString, condition);
  QFETCH(bool, written);
  RecorderFixture fx;
  QSignalSpy current(&fx.rec, &Recorder::currentRowChanged);
  fx.setPrimary(QStringLiteral("1%"), QStringLiteral("100"));
  MeterReading m = Reading(102);
  if (condition == QLatin1String("notready")) m.settings.LogReady = 0;
  if (condition != QLatin1String("noreading")) fx.rec.takeReading(m);  // idle: sorted, not logged
  if (condition == QLatin1String("gate")) fx.gateOpen = false;
  if (condition == QLatin1String("recording")) fx.rec.setRecording(true);
  fx.rec.setStartPosition(5);
  fx.rec.logOnDemand();
  QCOMPARE(!fx.grid().cell(5, 0).isEmpty(), written);
  if (!written) return;
  QCOMPARE(fx.rec.startPosition(), 6);
  QCOMPARE(fx.grid().cell(5, 1), QStringLiteral("04.03.24 05:06:07"));  // when the key was pressed
  QCOMPARE(fx.grid().cell(5, 7), QStringLiteral("+"));                  // the verdict of that frame
  QVERIFY(current.isEmpty());  // idle: the row is written but the grid does not move to it
}

void TestRecorder::clearStopsAndEmpties() {
  RecorderFixture fx;
  QSignalSpy recording(&fx.rec, &Recorder::recordingChanged);
  QSignalSpy cleared(&fx.rec, &Recorder::cleared);
  fx.rec.setRecording(true);
  QVERIFY(!fx.rec.gridEnabled());
  fx.rec.setStartPosition(40);
  fx.rec.takeReading(Reading());
  fx.rec.clear();
  QVERIFY(!fx.rec.recording());
  QCOMPARE(recording.last().at(1).toBool(), false);  // stopped without SP1's click
  QVERIFY(!fx.rec.gridEnabled());                    // until recording is started and stopped again
  QCOMPARE(fx.grid().gridRowCount(), Recorder::kLogGridRows);
  QCOMPARE(fx.rec.startPosition(), 1);
  QCOMPARE(fx.rec.logPosition(), 41);  // the export still counts the old rows
  QCOMPARE(cleared.size(), 1);
  QCOMPARE(fx.grid().header(0), QStringLiteral("Позиция"));
  fx.rec.model()->setGridRowCount(41);
  QVERIFY(fx.grid().cell(40, 0).isEmpty());
  fx.rec.setRecording(true);
  fx.rec.setRecording(false);
  QVERIFY(fx.rec.gridEnabled());
  // "Очистка" belongs to the single-part log.
  fx.openProfiles({QStringLiteral("A")});
  fx.rec.setMode(1);
  fx.rec.clear();
  QCOMPARE(cleared.size(), 1);
  QCOMPARE(fx.grid().cell(1, 1), QStringLiteral("A"));
}

void TestRecorder::multiPartTable() {
  RecorderFixture fx;
  fx.openProfiles({QStringLiteral("R1"), QStringLiteral("R2"), QStringLiteral("R3")});
  QSignalSpy selected(&fx.rec, &Recorder::cellSelected);
  QSignalSpy locked(&fx.rec, &Recorder::profileEditingLocked);
  QSignalSpy written(&fx.rec, &Recorder::rowWritten);
  QSignalSpy ready(&fx.book, &ProfileBook::fileReady);
  fx.rec.setMode(1);
  // The grid lists the profiles.
  QCOMPARE(fx.grid().header(1), QStringLiteral("Наименование"));
  QCOMPARE(fx.grid().header(7), QStringLiteral("Интервал"));
  QCOMPARE(fx.grid().cell(2, 1), QStringLiteral("R2"));
  QCOMPARE(fx.grid().cell(2, 7), QStringLiteral("сек"));
  QCOMPARE(Verdicts(fx.grid(), 2), QStringLiteral("..."));
  QCOMPARE(selected.last().at(0).toInt(), 1);
  QCOMPARE(selected.last().at(1).toInt(), 1);
  QCOMPARE(ready.size(), 1);  // the table re-reads 1.dat: SB3, SB4
  QVERIFY(fx.rec.cellSelectable());

  // Recording clears the table to numbered, named, empty rows.
  fx.rec.setRecording(true);
  QCOMPARE(locked.size(), 1);
  QVERIFY(fx.rec.multiGridReady());
  QCOMPARE(fx.grid().gridRowCount(), 4);
  QCOMPARE(fx.grid().header(1), QStringLiteral("Наименование"));
  QCOMPARE(fx.grid().header(2), QStringLiteral("Основной"));
  QCOMPARE(fx.grid().header(7), QStringLiteral("Брак"));
  for (int r = 1; r <= 3; ++r) {
    QCOMPARE(fx.grid().cell(r, 0), QString::number(r));
    QCOMPARE(fx.grid().cell(r, 1), QStringLiteral("R%1").arg(r));
    for (int c = 2; c < kLogColumns; ++c) QVERIFY(fx.grid().cell(r, c).isEmpty());
  }

  // Each part against its own profile: 1 = 100 Ω, 2 = 200 Ω, both at 1 %.
  auto measure = [&](int profile, double ohms) {
    fx.book.step(profile);
    Reference ref = fx.book.reference();
    ref.primary.toleranceOn = true;
    ref.primary.toleranceText = QStringLiteral("1%");
    fx.book.setReference(ref);
    fx.rec.takeReading(Reading(ohms, QStringLiteral("%1 Ом").arg(ohms)));
  };
  measure(1, 100.5);
  measure(2, 210);
  QCOMPARE(fx.grid().cell(1, 2), QStringLiteral("R 100.5 Ом"));
  QCOMPARE(fx.grid().cell(1, 7), QStringLiteral("-"));
  QCOMPARE(fx.grid().cell(2, 1), QStringLiteral("R2"));  // the name stays, no time
  QCOMPARE(fx.grid().cell(2, 7), QStringLiteral("+"));
  QCOMPARE(fx.grid().cell(2, 8), QStringLiteral("5.00"));
  QCOMPARE(Verdicts(fx.grid(), 2), QStringLiteral("rr."));
  QCOMPARE(Verdicts(fx.grid(), 1), QStringLiteral("g.."));  // row 1 keeps its own verdict
  QVERIFY(fx.grid().cell(3, 2).isEmpty());
  QCOMPARE(written.last().at(0).value<LogRow>().profileNumber, 2);
  QCOMPARE(fx.rec.logPosition(), 3);
  // The free slot after the last profile has no row: nothing is written.
  fx.book.setCurrentNumber(4);
  fx.rec.takeReading(Reading());
  QCOMPARE(fx.grid().gridRowCount(), 4);
  QCOMPARE(written.size(), 2);
  // Stop and start again: measured rows stay.
  fx.rec.setRecording(false);
  fx.rec.setRecording(true);
  QCOMPARE(fx.grid().cell(2, 2), QStringLiteral("R 210 Ом"));
  QCOMPARE(locked.size(), 1);
}

// After a delete SE2 keeps its range, so it reaches one past the free slot
// (the table's re-read of 1.dat sets the range again only when 1.dat names
// the file: here it has gone): "Запись" there appends the profile, and the
// table shows it in its row without calling the file damaged.
void TestRecorder::multiPartStoreAfterADelete() {
  RecorderFixture fx;
  fx.openProfiles({QStringLiteral("R1"), QStringLiteral("R2"), QStringLiteral("R3")});
  fx.rec.setMode(1);
  QVERIFY(QFile::remove(fx.store.filePath()));
  fx.book.setCurrentNumber(2);
  QVERIFY(fx.book.remove());
  QCOMPARE(fx.book.profileCount(), 2);
  QCOMPARE(fx.book.maximumNumber(), 4);
  fx.book.setCurrentNumber(4);
  Reference ref = fx.book.reference();
  ref.name = QStringLiteral("NEW");
  fx.book.setReference(ref);
  QSignalSpy numbers(&fx.book, &ProfileBook::numberChanged);
  QVERIFY(fx.book.store());
  QVERIFY2(fx.notices.isEmpty(), qPrintable(fx.notices.value(0).text));
  QCOMPARE(fx.book.profileCount(), 3);
  QCOMPARE(fx.book.currentNumber(), 3);  // SE2 shows where it went
  QCOMPARE(numbers.last().at(0).toInt(), 3);
  QCOMPARE(numbers.last().at(1).toInt(), 4);
  QVERIFY(numbers.last().at(2).toBool());
  QCOMPARE(fx.grid().gridRowCount(), 4);  // the heading and three profiles
  QCOMPARE(fx.rowNames(), (QStringList{"R1", "R3", "NEW"}));
}

// The rows of the measurement table are named after the profiles of the file
// current when recording starts, as that file is then.
void TestRecorder::multiPartRowsNamedFromTheCurrentFile() {
  RecorderFixture fx;
  fx.openProfiles({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")}, QStringLiteral("a.hex1"));
  QCOMPARE(fx.book.names().value(2), QStringLiteral("A3"));
  fx.rec.setMode(1);
  fx.openProfiles({QStringLiteral("B1"), QStringLiteral("B2")}, QStringLiteral("b.hex1"));
  fx.rec.setRecording(true);
  QCOMPARE(fx.rowNames(), (QStringList{"B1", "B2"}));
  fx.book.setCurrentNumber(2);
  fx.rec.takeReading(Reading());
  QCOMPARE(fx.grid().cell(2, 1), QStringLiteral("B2"));

  // Profiles inserted and deleted: the next start names the rows after them,
  // under the measurement headings, with no text left from the profile table.
  auto edit = [&](const std::function<void()>& command) {
    fx.rec.setRecording(false);
    command();
    fx.rec.setRecording(true);
  };
  edit([&] {
    Reference ref = fx.book.reference();
    ref.name = QStringLiteral("NEW");
    fx.book.setReference(ref);
    fx.book.setCurrentNumber(1);
    QVERIFY(fx.book.insert());
  });
  QCOMPARE(fx.rowNames(), (QStringList{"NEW", "B1", "B2"}));
  QCOMPARE(fx.grid().header(1), QStringLiteral("Наименование"));
  QCOMPARE(fx.grid().header(2), QStringLiteral("Основной"));
  QCOMPARE(fx.grid().header(7), QStringLiteral("Брак"));
  for (int r = 1; r <= 3; ++r) QVERIFY2(fx.grid().cell(r, 7).isEmpty(), qPrintable(fx.grid().cell(r, 7)));
  edit([&] {
    fx.book.setCurrentNumber(2);
    QVERIFY(fx.book.remove());
  });
  QCOMPARE(fx.rowNames(), (QStringList{"NEW", "B2"}));
  // The name list offers the same names.
  QCOMPARE(fx.book.names(), (QStringList{"NEW", "B2"}));

  // A file changed behind the program's back: the table reads it as it is.
  fx.rec.setRecording(false);
  fx.rec.setMode(1);
  ProfileRecord r;
  QVERIFY(ProfileFile(fx.book.currentProfilePath()).readRecord(2, r).ok);
  r.ProfileName = QStringLiteral("OUTSIDE");
  QVERIFY(ProfileFile(fx.book.currentProfilePath()).writeRecord(2, r).ok);
  fx.rec.setRecording(true);
  QCOMPARE(fx.rowNames(), (QStringList{"NEW", "OUTSIDE"}));
}

void TestRecorder::gridClickSelectsAProfile_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("col");
  QTest::addColumn<int>("number");  // the profile number after the click
  QTest::newRow("name of profile 2") << 1 << 2 << 1 << 2;
  QTest::newRow("secondary column of profile 3") << 1 << 3 << 3 << 3;
  QTest::newRow("outside the columns") << 1 << 3 << -1 << 3;
  QTest::newRow("circuit column") << 1 << 2 << 4 << 1;
  QTest::newRow("below the profiles") << 1 << 4 << 1 << 1;
  QTest::newRow("single-part log") << 0 << 2 << 1 << 1;
}

void TestRecorder::gridClickSelectsAProfile() {
  QFETCH(int, mode);
  QFETCH(int, row);
  QFETCH(int, col);
  QFETCH(int, number);
  RecorderFixture fx;
  fx.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
  fx.rec.setMode(mode);
  QSignalSpy settings(&fx.book, &ProfileBook::settingsRead);
  fx.rec.gridClicked(row, col);
  QCOMPARE(fx.book.currentNumber(), number);
  QCOMPARE(settings.size(), number == row ? 1 : 0);  // the profile's settings go to the meter
  if (number == row) QCOMPARE(fx.book.reference().name, QStringList({"A", "B", "C"}).at(row - 1));
}

void TestRecorder::modeSwitchBackToSinglePart() {
  RecorderFixture fx;
  fx.openProfiles({QStringLiteral("A"), QStringLiteral("B")});
  fx.rec.setMode(1);
  fx.rec.setRecording(true);
  QSignalSpy recording(&fx.rec, &Recorder::recordingChanged);
  QSignalSpy selected(&fx.rec, &Recorder::cellSelected);
  QSignalSpy mode(&fx.rec, &Recorder::modeChanged);
  fx.rec.setMode(0);
  QVERIFY(!fx.rec.recording());
  QCOMPARE(recording.size(), 1);
  QVERIFY(fx.rec.gridEnabled());
  QCOMPARE(mode.last().at(0).toInt(), 0);
  QCOMPARE(fx.grid().gridRowCount(), Recorder::kLogGridRows);
  QCOMPARE(fx.grid().header(1), QStringLiteral("Время"));
  QCOMPARE(selected.last().at(0).toInt(), 1);
  QCOMPARE(selected.last().at(1).toInt(), 0);
  QVERIFY(!fx.rec.multiGridReady());
  fx.rec.setMode(7);  // not an item
  QCOMPARE(mode.size(), 1);
}

// A language switch keeps every row; the headings (and the profile table,
// which holds no readings) follow the new language.
void TestRecorder::languageSwitchKeepsTheLog_data() {
  QTest::addColumn<QString>("grid");
  QTest::addColumn<QStringList>("english");  // headings of columns 0, 1, 7 after the switch
  QTest::newRow("single-part log") << "log" << QStringList{"Position", "Time", "Reject"};
  QTest::newRow("measurement table") << "measure" << QStringList{"Position", "Name", "Reject"};
  QTest::newRow("profile table") << "profiles" << QStringList{"Position", "Name", "Interval"};
}

void TestRecorder::languageSwitchKeepsTheLog() {
  QFETCH(QString, grid);
  QFETCH(QStringList, english);
  RecorderFixture fx;
  LangMan lang;
  lang.loadLanguages(QStringLiteral(ZT_LANG_DIR));
  lang.switchTo(0);
  fx.book.setLexicons(&lang.lexicons());
  fx.rec.setLexicons(&lang.lexicons());
  fx.openProfiles({QStringLiteral("A"), QStringLiteral("B")});
  fx.setPrimary(QStringLiteral("1%"), QStringLiteral("100"));
  if (grid != QLatin1String("log")) fx.rec.setMode(1);
  if (grid != QLatin1String("profiles")) {
    fx.rec.setRecording(true);
    fx.book.setCurrentNumber(2);
    fx.rec.setStartPosition(20);
    fx.rec.takeReading(Reading(102));
    fx.rec.setRecording(false);
  }
  const int row = grid == QLatin1String("log") ? 20 : 2;
  QList<QStringList> before;
  for (int r = 1; r < fx.grid().gridRowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < kLogColumns; ++c) cells << fx.grid().cell(r, c);
    before << cells;
  }
  const int rows = fx.grid().gridRowCount();
  const int start = fx.rec.startPosition();
  const std::int32_t position = fx.rec.logPosition();

  lang.switchTo(lang.indexOf(QStringLiteral("English")));
  fx.rec.languageChanged();
  fx.book.languageChanged();

  const QStringList h = fx.headings();
  QCOMPARE((QStringList{h[0], h[1], h[7]}), english);
  QCOMPARE(fx.grid().gridRowCount(), rows);
  QCOMPARE(fx.rec.startPosition(), start);
  QCOMPARE(fx.rec.logPosition(), position);
  for (int r = 1; r < rows; ++r) {
    for (int c = 0; c < kLogColumns; ++c) {
      // The profile table's words are built again in the new language.
      if (grid == QLatin1String("profiles") && (c == 6 || c == 7)) continue;
      QCOMPARE(fx.grid().cell(r, c), before[r - 1][c]);
    }
  }
  if (grid == QLatin1String("profiles")) {
    QCOMPARE(fx.grid().cell(2, 6), QStringLiteral("1.0") + lang.lexicons().Dlang3[1]);
    QCOMPARE(fx.grid().cell(2, 7), lang.lexicons().D3[5]);
    QVERIFY(before[1][7] != fx.grid().cell(2, 7));
  }
  if (grid != QLatin1String("profiles")) {
    QCOMPARE(fx.grid().cell(row, 2), QStringLiteral("R 100.00 Ом"));
    QCOMPARE(Verdicts(fx.grid(), row), QStringLiteral("rr."));  // colours as before
  }
  QCOMPARE(fx.book.caption(), QStringLiteral("Profile parts"));
  QVERIFY(fx.notices.isEmpty());
}

// ExportRows and the copy handed to the writer.
void TestRecorder::exportRows_data() {
  QTest::addColumn<bool>("logReady");
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("written");    // rows logged from position 1
  QTest::addColumn<int>("startBack");  // start position moved back to this before one more row (0: not)
  QTest::addColumn<int>("rows");
  QTest::newRow("rows 1-5: headings and five rows") << true << 0 << 5 << 0 << 6;
  QTest::newRow("start moved back from 20 to 3") << true << 0 << 19 << 3 << 4;
  QTest::newRow("nothing logged") << true << 0 << 0 << 0 << 0;
  QTest::newRow("last frame not ready") << false << 0 << 5 << 0 << 0;
  QTest::newRow("multi part, 4 profiles") << true << 1 << 1 << 0 << 5;
}

void TestRecorder::exportRows() {
  QFETCH(bool, logReady);
  QFETCH(int, mode);
  QFETCH(int, written);
  QFETCH(int, startBack);
  QFETCH(int, rows);
  RecorderFixture fx;
  fx.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
  fx.rec.setMode(mode);
  fx.rec.setRecording(true);
  for (int i = 0; i < written; ++i) fx.rec.takeReading(Reading(100 + i, QStringLiteral("%1 Ом").arg(100 + i)));
  if (startBack > 0) {
    fx.rec.setStartPosition(startBack);
    fx.rec.takeReading(Reading());
  }
  fx.rec.stop();
  MeterReading last = Reading();  // the meter's last frame before the export
  last.settings.LogReady = logReady ? 1 : 0;
  fx.rec.takeReading(last);
  QCOMPARE(fx.rec.ExportRows(), rows);
  const ExportSnapshot snap = fx.rec.exportSnapshot();
  QCOMPARE(snap.rowCount(), rows);
  for (int i = 0; i < rows; ++i)
    for (int c = 0; c < kLogColumns; ++c)
      QCOMPARE(snap.text(i, c), i == 0 ? fx.grid().header(c) : fx.grid().cell(i, c));
  if (rows > 1) QCOMPARE(snap.text(1, 0), QStringLiteral("1"));
  if (mode == 1 && logReady) QCOMPARE(fx.rec.logPosition(), 5);
  // The statistics go with it, whatever the first sheet copies.
  QVERIFY(snap.statistics());
  QCOMPARE(snap.statistics()->columnNames, fx.rec.statisticsTable().columnNames);
  QCOMPARE(snap.statistics()->cell(int(StatsRow::Count), 0).number, double(fx.rec.batch().rowCount()));
}

// The statistics describe the rows the log holds: a row written again
// replaces the one before; emptying the log empties them.
void TestRecorder::statisticsFollowTheLog() {
  RecorderFixture fx;
  fx.setPrimary(QStringLiteral("1%"), QStringLiteral("100"));
  QSignalSpy reset(&fx.rec, &Recorder::rowsReset);
  fx.rec.setRecording(true);
  for (double ohms : {100.0, 100.5, 102.0}) fx.rec.takeReading(Reading(ohms));
  BatchSummary s = fx.rec.batch().summary(0);
  QCOMPARE(s.count, 3);
  QCOMPARE(s.rejectedPrimary, 1);
  QCOMPARE(s.mean, (100.0 + 100.5 + 102.0) / 3);
  QCOMPARE(s.limits.lower, 99.0);
  QCOMPARE(s.limits.upper, 101.0);

  // Position 2 measured again: 100.5 gives way to 101.
  fx.rec.setStartPosition(2);
  fx.rec.takeReading(Reading(101.0));
  s = fx.rec.batch().summary(0);
  QCOMPARE(s.count, 3);
  QCOMPARE(s.mean, 101.0);
  QCOMPARE(s.min, 100.0);
  QCOMPARE(fx.rec.batch().at(2)->primary, 101.0);

  // A reference read or typed later is the band of the rows logged after it.
  fx.setPrimary(QStringLiteral("5%"), QStringLiteral("100"));
  fx.rec.takeReading(Reading(104.0));
  QCOMPARE(fx.rec.batch().summary(0).limits.upper, 105.0);
  QCOMPARE(fx.rec.statisticsTable().columnNames, QStringList{QStringLiteral("Журнал")});

  QCOMPARE(reset.size(), 0);
  fx.rec.clear();
  QCOMPARE(reset.size(), 1);
  QCOMPARE(fx.rec.batch().rowCount(), 0);
  QCOMPARE(fx.rec.batch().summary(0).count, 0);
  fx.rec.setMode(1);  // another mode starts afresh too
  QCOMPARE(reset.size(), 2);
}

// In the multi-part table each profile's row is a group of its own; a
// profile measured again replaces its part.
void TestRecorder::statisticsPerProfile() {
  RecorderFixture fx;
  fx.openProfiles({QStringLiteral("R1"), QStringLiteral("R2"), QStringLiteral("R3")});
  fx.rec.setMode(1);
  fx.rec.setRecording(true);
  auto measure = [&](int profile, double ohms) {
    fx.book.step(profile);
    Reference ref = fx.book.reference();
    ref.primary.toleranceOn = true;
    ref.primary.toleranceText = QStringLiteral("1%");
    fx.book.setReference(ref);
    fx.rec.takeReading(Reading(ohms));
  };
  measure(1, 100.5);
  measure(2, 210);
  measure(1, 99.5);
  const BatchStats& b = fx.rec.batch();
  QCOMPARE(b.groups(), (std::vector<int>{1, 2}));
  QCOMPARE(b.summary(1).count, 1);
  QCOMPARE(b.summary(1).mean, 99.5);
  QCOMPARE(b.summary(2).rejectedPrimary, 1);
  QCOMPARE(b.summary(2).limits.lower, 198.0);  // profile 2's own nominal, 200 Ω
  const BatchSummary all = b.total();
  QCOMPARE(all.count, 2);
  QCOMPARE(all.passed, 1);
  QCOMPARE(all.yield, 50.0);
  const StatsTable t = fx.rec.statisticsTable();
  QCOMPARE(t.columnNames, (QStringList{QStringLiteral("Все профили"), QStringLiteral("1 R1"), QStringLiteral("2 R2")}));
  QCOMPARE(t.cell(int(StatsRow::Count), 0).number, 2.0);
  QCOMPARE(t.cell(int(StatsRow::Mean), 0).text, QString());  // the profiles' values are not one part's
  QCOMPARE(t.cell(int(StatsRow::Mean), 2).number, 210.0);
}

namespace {

// Column 2 of rows 1..n: "100" for "R 100 Ом", "" for an empty row.
QString Primaries(const LogModel& m, int n) {
  QStringList out;
  for (int r = 1; r <= n; ++r) out << m.cell(r, 2).remove(QStringLiteral("R ")).remove(QStringLiteral(" Ом"));
  return out.join(QLatin1Char(','));
}

MeterReading Ohms(double ohms) { return Reading(ohms, QStringLiteral("%1 Ом").arg(ohms)); }

}  // namespace

// Rows 1-3 logged, the start position set back to 2 (as reading a profile
// does): the first row asks, the rows that come while the question is open
// wait, and the answer decides where the row that asked goes; after it the
// recording is not asked again.
void TestRecorder::writingOverAsksOnce_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<QString>("rows");  // after one more reading
  QTest::addColumn<int>("start");
  QTest::addColumn<bool>("recording");
  QTest::addColumn<int>("questions");
  QTest::newRow("write over") << int(WriteOverAnswer::WriteOver) << "100,200,202,," << 4 << true << 1;
  QTest::newRow("go on") << int(WriteOverAnswer::GoOn) << "100,101,102,200,202" << 6 << true << 1;
  // Stopped as by "Стоп"; the next recording asks again.
  QTest::newRow("cancel") << int(WriteOverAnswer::Cancel) << "100,101,102,," << 2 << false << 2;
}

void TestRecorder::writingOverAsksOnce() {
  QFETCH(int, answer);
  RecorderFixture fx;
  fx.rec.setAskBeforeWritingOver(true);
  fx.rec.setRecording(true);
  for (double ohms : {100, 101, 102}) fx.rec.takeReading(Ohms(ohms));
  fx.rec.setRecording(false);
  fx.rec.setStartPosition(2);
  QSignalSpy asked(&fx.rec, &Recorder::writeOverAsked);
  QSignalSpy over(&fx.rec, &Recorder::writingOver);
  QSignalSpy written(&fx.rec, &Recorder::rowWritten);

  fx.rec.setRecording(true);
  fx.rec.takeReading(Ohms(200));
  fx.rec.takeReading(Ohms(201));  // the question is open: not logged
  QCOMPARE(asked.size(), 1);
  const auto q = asked.first().at(0).value<WriteOverQuestion>();
  QCOMPARE(q.position, 2);
  QCOMPARE(q.lastLogged, 3);
  QVERIFY(q.canGoOn);
  QCOMPARE(fx.rec.writeOver(), Recorder::WriteOver::Asking);
  QCOMPARE(written.size(), 0);
  QCOMPARE(Primaries(fx.grid(), 3), QStringLiteral("100,101,102"));

  fx.rec.answerWriteOver(static_cast<WriteOverAnswer>(answer));
  fx.rec.answerWriteOver(WriteOverAnswer::WriteOver);  // no question open: ignored
  if (!fx.rec.recording()) fx.rec.setRecording(true);
  fx.rec.takeReading(Ohms(202));
  QTEST(Primaries(fx.grid(), 5), "rows");
  QFETCH(int, questions);
  QCOMPARE(int(asked.size()), questions);
  QCOMPARE(over.size(), answer == int(WriteOverAnswer::WriteOver) ? 1 : 0);
  if (!over.isEmpty()) QCOMPARE(over.first().at(0).toInt(), 2);
  if (answer == int(WriteOverAnswer::Cancel)) {
    QCOMPARE(written.size(), 0);
    fx.rec.setRecording(false);
  }
  QTEST(fx.rec.startPosition(), "start");
  QTEST(fx.rec.recording(), "recording");
}

// No question where nothing logged is written over, in "Мульти" (a
// profile's row measured again is the design), or when nobody asks; asked
// again once the start position is set anew; refused hold rows stay refused
// until then; no "go on" after the last position of the log.
void TestRecorder::writingOverAskedOnlyWhereItApplies() {
  {
    RecorderFixture fx;  // nobody to ask: written over as before
    fx.rec.setRecording(true);
    fx.rec.takeReading(Ohms(100));
    fx.rec.setStartPosition(1);
    fx.rec.takeReading(Ohms(200));
    QCOMPARE(Primaries(fx.grid(), 1), QStringLiteral("200"));
  }
  RecorderFixture fx;
  fx.rec.setAskBeforeWritingOver(true);
  QSignalSpy asked(&fx.rec, &Recorder::writeOverAsked);
  fx.rec.setRecording(true);
  fx.rec.takeReading(Ohms(100));
  fx.rec.takeReading(Ohms(101));
  fx.rec.setStartPosition(10);  // past the rows: a gap, nothing written over
  fx.rec.takeReading(Ohms(110));
  QCOMPARE(asked.size(), 0);
  QCOMPARE(fx.rec.lastLoggedPosition(), 10);

  fx.rec.setStartPosition(1);
  fx.rec.takeReading(Ohms(200));
  QCOMPARE(asked.size(), 1);
  fx.rec.answerWriteOver(WriteOverAnswer::WriteOver);
  fx.rec.takeReading(Ohms(201));
  QCOMPARE(asked.size(), 1);
  fx.rec.setStartPosition(10);  // chosen again while recording: asked again
  fx.rec.takeReading(Ohms(300));
  QCOMPARE(asked.size(), 2);
  fx.rec.answerWriteOver(WriteOverAnswer::Cancel);
  QVERIFY(!fx.rec.recording());
  QCOMPARE(Primaries(fx.grid(), 2), QStringLiteral("200,201"));

  // The hold's rows: refused once, then not asked again for every frame.
  MeterReading held = Ohms(400);
  held.settings.Hold = 1;
  fx.rec.takeReading(held);
  QCOMPARE(asked.size(), 3);
  fx.rec.answerWriteOver(WriteOverAnswer::Cancel);
  fx.rec.takeReading(held);
  fx.rec.takeReading(held);
  QCOMPARE(asked.size(), 3);
  QCOMPARE(fx.rec.writeOver(), Recorder::WriteOver::Refused);
  QCOMPARE(fx.grid().cell(10, 2), QStringLiteral("R 110 Ом"));

  // The last position logged: nowhere to go on to.
  fx.rec.setStartPosition(Recorder::kMaxPosition);
  fx.rec.takeReading(held);
  fx.rec.setStartPosition(Recorder::kMaxPosition - 1);
  fx.rec.takeReading(held);
  QCOMPARE(fx.rec.startPosition(), Recorder::kMaxPosition);
  fx.rec.setStartPosition(1);
  fx.rec.takeReading(held);
  QCOMPARE(asked.size(), 4);
  QVERIFY(!asked.last().at(0).value<WriteOverQuestion>().canGoOn);
  fx.rec.answerWriteOver(WriteOverAnswer::GoOn);  // taken as a refusal
  QCOMPARE(fx.grid().cell(1, 2), QStringLiteral("R 200 Ом"));
  QCOMPARE(fx.rec.startPosition(), 1);

  // "Мульти": the same profile's row again, without a question.
  fx.openProfiles({QStringLiteral("R1"), QStringLiteral("R2")});
  fx.rec.setMode(1);
  fx.rec.setRecording(true);
  fx.rec.takeReading(Ohms(100));
  fx.rec.takeReading(Ohms(101));
  QCOMPARE(fx.grid().cell(1, 2), QStringLiteral("R 101 Ом"));
  QCOMPARE(asked.size(), 4);
}

QTEST_GUILESS_MAIN(TestRecorder)
#include "test_recorder.moc"
