#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "log_model.h"

using namespace zt;

namespace {

const QString kReject = QStringLiteral("+");
const QString kPass = QStringLiteral("-");

LogReading Reading(const QString& pos, bool primaryOn, bool secondaryOn, int sortResult) {
  LogReading r;
  r.position = pos;
  r.time = QStringLiteral("01.02.24 10:11:12");
  r.primary = QStringLiteral("R 10,050 МОм");
  r.secondary = QStringLiteral("Q 1,2345");
  r.circuit = QStringLiteral("S");
  r.frequency = QStringLiteral("10кГц");
  r.level = QStringLiteral("1.0Вскз");
  r.primaryOn = primaryOn;
  r.secondaryOn = secondaryOn;
  r.mark = sortResult != 0 ? kReject : kPass;
  r.primaryDeviation = QStringLiteral("0,50");
  r.secondaryDeviation = QStringLiteral("-12,00");
  r.sortResult = sortResult;
  return r;
}

// "r" reject, "g" pass, "." normal background, for columns 7, 8, 9.
QString Colours(const LogModel& m, int row) {
  QString s;
  for (int c = 7; c <= 9; ++c) {
    const LogModel::CellVerdict v = m.cellVerdict(row, c);
    // What the view reads through the role and the direct query must agree.
    if (m.data(m.index(row - 1, c), LogModel::VerdictRole).toInt() != static_cast<int>(v)) return QStringLiteral("?");
    s += v == LogModel::CellVerdict::None     ? QLatin1Char('.')
         : v == LogModel::CellVerdict::Reject ? QLatin1Char('r')
                                              : QLatin1Char('g');
  }
  return s;
}

}  // namespace

class TestLogModel : public QObject {
  Q_OBJECT
 private slots:
  void gridRowsCountTheHeadingRow();
  void writeReading_data();
  void writeReading();
  void oldRowsKeepTheirOwnVerdict();
  void coloursComeFromTheVerdict();
  void resetLeavesNoStaleText();
  void cellsAreIndependent_data();
  void cellsAreIndependent();
  void hugeCellIsCut();
};

void TestLogModel::gridRowsCountTheHeadingRow() {
  LogModel m;
  QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
  m.resetGrid(16);
  QCOMPARE(m.gridRowCount(), 16);
  QCOMPARE(m.rowCount(), 15);
  QCOMPARE(m.columnCount(), 10);
  m.setHeader(0, QStringLiteral("Позиция"));
  QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Позиция"));
  m.setCell(1, 0, QStringLiteral("1"));
  QCOMPARE(m.data(m.index(0, 0)).toString(), QStringLiteral("1"));
  // Writes outside the grid go nowhere.
  m.setCell(0, 0, QStringLiteral("x"));
  m.setCell(16, 0, QStringLiteral("x"));
  m.setCell(1, 10, QStringLiteral("x"));
  m.writeReading(16, Reading("16", true, true, 3));
  QCOMPARE(m.gridRowCount(), 16);
  QCOMPARE(m.header(0), QStringLiteral("Позиция"));
  m.setGridRowCount(17);
  QCOMPARE(m.rowCount(), 16);
  QVERIFY(m.cell(16, 0).isEmpty());
  m.setGridRowCount(0);
  QCOMPARE(m.gridRowCount(), 1);
}

void TestLogModel::writeReading_data() {
  QTest::addColumn<bool>("primaryOn");
  QTest::addColumn<bool>("secondaryOn");
  QTest::addColumn<int>("sortResult");
  QTest::addColumn<QString>("mark");     // column 7 after the write
  QTest::addColumn<QString>("primary");  // column 8
  QTest::addColumn<QString>("secondary");
  QTest::addColumn<QString>("colours");
  QTest::newRow("both off: old mark stays, deviations emptied") << false << false << 1 << "old"
                                                                << ""
                                                                << ""
                                                                << "...";
  QTest::newRow("primary only, pass") << true << false << 0 << "-"
                                      << "0,50"
                                      << ""
                                      << "g..";
  QTest::newRow("primary only, out") << true << false << 1 << "+"
                                     << "0,50"
                                     << ""
                                     << "rr.";
  QTest::newRow("secondary out") << true << true << 2 << "+"
                                 << "0,50"
                                 << "-12,00"
                                 << "r.r";
  QTest::newRow("both out") << true << true << 3 << "+"
                            << "0,50"
                            << "-12,00"
                            << "rrr";
  QTest::newRow("not evaluable") << true << true << 20 << "+"
                                 << "0,50"
                                 << "-12,00"
                                 << "r..";
  QTest::newRow("secondary only, pass") << false << true << 0 << "-"
                                        << ""
                                        << "-12,00"
                                        << "g..";
}

void TestLogModel::writeReading() {
  QFETCH(bool, primaryOn);
  QFETCH(bool, secondaryOn);
  QFETCH(int, sortResult);
  QFETCH(QString, mark);
  QFETCH(QString, primary);
  QFETCH(QString, secondary);
  QFETCH(QString, colours);
  LogModel m;
  m.resetGrid(16);
  m.setCell(3, 7, QStringLiteral("old"));
  m.setCell(3, 8, QStringLiteral("stale"));
  m.setCell(3, 9, QStringLiteral("stale"));
  QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
  const LogReading r = Reading(QStringLiteral("3"), primaryOn, secondaryOn, sortResult);
  // What the journal keeps before the grid shows the row is what the row becomes.
  const LogModel::StoredRow predicted = m.rowAfterReading(3, r);
  m.writeReading(3, r);
  QVERIFY(!changed.isEmpty());
  QCOMPARE(m.storedRow(3), predicted);
  QCOMPARE(m.cell(3, 0), QStringLiteral("3"));
  QCOMPARE(m.cell(3, 1), QStringLiteral("01.02.24 10:11:12"));
  QCOMPARE(m.cell(3, 2), QStringLiteral("R 10,050 МОм"));
  QCOMPARE(m.cell(3, 6), QStringLiteral("1.0Вскз"));
  QCOMPARE(m.cell(3, 7), mark);
  QCOMPARE(m.cell(3, 8), primary);
  QCOMPARE(m.cell(3, 9), secondary);
  QCOMPARE(Colours(m, 3), colours);
  // Neighbouring rows are untouched.
  QCOMPARE(Colours(m, 2), QStringLiteral("..."));
  QVERIFY(m.cell(4, 0).isEmpty());

  // Put back into another grid, the row reads and paints the same.
  LogModel again;
  QAbstractItemModelTester tester(&again, QAbstractItemModelTester::FailureReportingMode::QtTest);
  again.resetGrid(16);
  LogModel::StoredRow outside = predicted;
  outside.gridRow = 16;  // beyond the grid: left out
  again.putRows({predicted, outside});
  QCOMPARE(again.storedRow(3), predicted);
  QCOMPARE(Colours(again, 3), colours);
  QCOMPARE(again.gridRowCount(), 16);
}

void TestLogModel::oldRowsKeepTheirOwnVerdict() {
  LogModel m;
  m.resetGrid(16);
  m.writeReading(1, Reading("1", true, true, 2));
  m.writeReading(2, Reading("2", true, true, 0));
  m.writeReading(3, Reading("3", true, true, 1));
  QCOMPARE(Colours(m, 1), QStringLiteral("r.r"));
  QCOMPARE(Colours(m, 2), QStringLiteral("g.."));
  QCOMPARE(Colours(m, 3), QStringLiteral("rr."));
  // Multi-part mode leaves the name in column 1.
  LogReading multi = Reading("2", true, false, 1);
  multi.time.reset();
  m.setCell(2, 1, QStringLiteral("R1"));
  m.writeReading(2, multi);
  QCOMPARE(m.cell(2, 1), QStringLiteral("R1"));
  QCOMPARE(Colours(m, 2), QStringLiteral("rr."));
  QCOMPARE(m.rowVerdict(1), 2);
}

void TestLogModel::coloursComeFromTheVerdict() {
  // Rows logged in another language keep their colours whatever their mark
  // texts say.
  LogModel m;
  m.resetGrid(4);
  LogReading rejected = Reading("1", true, false, 1);
  rejected.mark = QStringLiteral("Rej");
  m.writeReading(1, rejected);
  LogReading passed = Reading("2", true, false, 0);
  passed.mark = QStringLiteral("Ok");
  m.writeReading(2, passed);
  QCOMPARE(Colours(m, 1), QStringLiteral("rr."));
  QCOMPARE(Colours(m, 2), QStringLiteral("g.."));
  // A text put into column 7 by other means (the profile table's interval)
  // is no verdict, even when it looks like a mark.
  m.setCell(2, 7, QStringLiteral("1s"));
  m.setCell(3, 7, kReject);
  GridRowTexts table;
  table[7] = kPass;
  m.setRowTexts(1, table);
  QCOMPARE(Colours(m, 1), QStringLiteral("..."));
  QCOMPARE(Colours(m, 2), QStringLiteral("..."));
  QCOMPARE(Colours(m, 3), QStringLiteral("..."));
}

void TestLogModel::resetLeavesNoStaleText() {
  LogModel m;
  QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
  m.resetGrid(16);
  for (int p = 1; p <= 40; ++p) {
    if (p + 1 >= m.gridRowCount()) m.setGridRowCount(p + 1);
    m.writeReading(p, Reading(QString::number(p), true, true, 3));
  }
  m.setHeader(2, QStringLiteral("Основной"));
  QCOMPARE(m.gridRowCount(), 41);
  m.resetGrid(16);
  QCOMPARE(m.gridRowCount(), 16);
  m.setGridRowCount(41);
  for (int row = 1; row < 41; ++row)
    for (int c = 0; c < kLogColumns; ++c) QVERIFY(m.cell(row, c).isEmpty());
  QCOMPARE(m.rowVerdict(3), 0);
  QCOMPARE(m.header(2), QStringLiteral("Основной"));
}

void TestLogModel::cellsAreIndependent_data() {
  QTest::addColumn<QList<int>>("order");  // columns written, in this order
  QTest::newRow("left to right") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  QTest::newRow("right to left") << QList<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  QTest::newRow("middle first, rewritten") << QList<int>{5, 0, 9, 5, 2, 7, 1, 3, 4, 6, 8, 0};
}

void TestLogModel::cellsAreIndependent() {
  QFETCH(QList<int>, order);
  LogModel m;
  m.resetGrid(3);
  QStringList expected(kLogColumns);
  int step = 0;
  for (int c : order) {
    // Texts of different lengths, Cyrillic included, so offsets move both ways.
    const QString text = QStringLiteral("Ж%1").arg(QString(step % 3 == 0 ? 12 : step % 3, QLatin1Char('a' + c)));
    m.setCell(1, c, text);
    expected[c] = text;
    ++step;
  }
  for (int c = 0; c < kLogColumns; ++c) QCOMPARE(m.cell(1, c), expected[c]);
  m.setCell(1, 4, QString());
  expected[4].clear();
  for (int c = 0; c < kLogColumns; ++c) QCOMPARE(m.cell(1, c), expected[c]);
  m.clearRow(1);
  for (int c = 0; c < kLogColumns; ++c) QVERIFY(m.cell(1, c).isEmpty());
}

void TestLogModel::hugeCellIsCut() {
  LogModel m;
  m.resetGrid(2);
  m.setCell(1, 9, QStringLiteral("end"));
  m.setCell(1, 0, QString(70000, QLatin1Char('x')));
  QCOMPARE(m.cell(1, 9), QStringLiteral("end"));
  QVERIFY(m.cell(1, 0).size() <= 65535 - 3);
  QVERIFY(m.cell(1, 0).size() > 60000);
}

QTEST_GUILESS_MAIN(TestLogModel)
#include "test_log_model.moc"
