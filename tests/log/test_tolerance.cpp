#include <QTest>
#include <cmath>

#include "tolerance.h"

using namespace zt;

namespace {
// Deviations start at this value so a test can tell "not computed" apart.
constexpr double kUntouched = -777.0;
}  // namespace

class TestTolerance : public QObject {
  Q_OBJECT
 private slots:
  void check_data();
  void check();
  void numberFilter_data();
  void numberFilter();
  void toleranceFilter_data();
  void toleranceFilter();
  void parseNumber_data();
  void parseNumber();
};

void TestTolerance::check_data() {
  QTest::addColumn<QChar>("sep");
  QTest::addColumn<int>("series");
  QTest::addColumn<double>("freq");
  QTest::addColumn<double>("r");      // ReadingR
  QTest::addColumn<double>("x");      // ReadingX
  QTest::addColumn<double>("pr");     // ParallelR
  QTest::addColumn<double>("px");     // ParallelX
  QTest::addColumn<QString>("pTol");  // empty: primary off
  QTest::addColumn<int>("pKind");
  QTest::addColumn<int>("pUnit");
  QTest::addColumn<QString>("pNom");
  QTest::addColumn<QString>("sTol");  // empty: secondary off
  QTest::addColumn<int>("sKind");
  QTest::addColumn<int>("sUnit");
  QTest::addColumn<QString>("sNom");
  QTest::addColumn<int>("code");
  QTest::addColumn<double>("pDev");  // kUntouched: not computed
  QTest::addColumn<double>("sDev");

  const QChar comma(u','), point(u'.');
  const QString off;
  // R 10000 кОм against 10.05 MΩ.
  QTest::newRow("R 1% pass") << comma << 1 << 1000.0 << 10.05e6 << 1.0 << 0.0 << 0.0 << "1%" << 0 << 1 << "10000" << off
                             << 0 << 0 << "" << 0 << 0.5 << kUntouched;
  QTest::newRow("R 0,2% out") << comma << 1 << 1000.0 << 10.05e6 << 1.0 << 0.0 << 0.0 << "0,2%" << 0 << 1 << "10000"
                              << off << 0 << 0 << "" << 1 << 0.5 << kUntouched;
  QTest::newRow("R 0.2% out, point") << point << 1 << 1000.0 << 10.05e6 << 1.0 << 0.0 << 0.0 << "0.2%" << 0 << 1
                                     << "10000" << off << 0 << 0 << "" << 1 << 0.5 << kUntouched;
  QTest::newRow("comma tolerance under point") << point << 1 << 1000.0 << 10.05e6 << 1.0 << 0.0 << 0.0 << "0,2%" << 0
                                               << 1 << "10000" << off << 0 << 0 << "" << 20 << 0.5 << kUntouched;
  QTest::newRow("R parallel uses ParallelR") << comma << 0 << 1000.0 << 1.0 << 1.0 << 100.5 << 1.0 << "1%" << 0 << 0
                                             << "100" << off << 0 << 0 << "" << 0 << 0.5 << kUntouched;
  QTest::newRow("R MOhm unit") << comma << 1 << 1000.0 << 2.2e6 << 1.0 << 0.0 << 0.0 << "20%" << 0 << 2 << "2" << off
                               << 0 << 0 << "" << 0 << 10.0 << kUntouched;
  // L 100 мкГн at 1 kHz: nominal reactance 0.6283 Ω.
  QTest::newRow("L 100uH") << comma << 1 << 1000.0 << 1.0 << 0.6346 << 0.0 << 0.0 << "2%" << 1 << 0 << "100" << off << 0
                           << 0 << "" << 0 << 0.9997 << kUntouched;
  QTest::newRow("L 100uH 0,5%") << comma << 1 << 1000.0 << 1.0 << 0.6346 << 0.0 << 0.0 << "0,5%" << 1 << 0 << "100"
                                << off << 0 << 0 << "" << 1 << 0.9997 << kUntouched;
  // C 100 нФ at 1 kHz: nominal reactance -1591.55 Ω.
  QTest::newRow("C 100nF on nominal") << comma << 1 << 1000.0 << 1.0 << 1591.5 << 0.0 << 0.0 << "1%" << 2 << 1 << "100"
                                      << off << 0 << 0 << "" << 0 << 0.0031 << kUntouched;
  QTest::newRow("C larger, >") << comma << 1 << 1000.0 << 1.0 << 1447.0 << 0.0 << 0.0 << ">" << 2 << 1 << "100" << off
                               << 0 << 0 << "" << 0 << 9.0823 << kUntouched;
  QTest::newRow("C larger, <") << comma << 1 << 1000.0 << 1.0 << 1447.0 << 0.0 << 0.0 << "<" << 2 << 1 << "100" << off
                               << 0 << 0 << "" << 1 << 9.0823 << kUntouched;
  QTest::newRow("C parallel uses ParallelX") << comma << 0 << 1000.0 << 1.0 << 1.0 << 0.0 << 1447.0 << "<" << 2 << 1
                                             << "100" << off << 0 << 0 << "" << 1 << 9.0823 << kUntouched;
  // Limits are inclusive.
  QTest::newRow("deviation equal to limit") << comma << 1 << 1000.0 << 150.0 << 1.0 << 0.0 << 0.0 << "50%" << 0 << 0
                                            << "100" << off << 0 << 0 << "" << 0 << 50.0 << kUntouched;
  QTest::newRow("just above limit") << comma << 1 << 1000.0 << 150.01 << 1.0 << 0.0 << 0.0 << "50%" << 0 << 0 << "100"
                                    << off << 0 << 0 << "" << 1 << 50.01 << kUntouched;
  QTest::newRow("< equal passes") << comma << 1 << 1000.0 << 100.0 << 1.0 << 0.0 << 0.0 << "<" << 0 << 0 << "100" << off
                                  << 0 << 0 << "" << 0 << 0.0 << kUntouched;
  QTest::newRow("> equal passes") << comma << 1 << 1000.0 << 100.0 << 1.0 << 0.0 << 0.0 << ">" << 0 << 0 << "100" << off
                                  << 0 << 0 << "" << 0 << 0.0 << kUntouched;
  // Secondary Q = X / R against 50 at 10 %.
  QTest::newRow("Q 56 out") << comma << 1 << 1000.0 << 1.0 << 56.0 << 0.0 << 0.0 << "" << 0 << 0 << ""
                            << "10%" << 1 << 0 << "50" << 2 << kUntouched << 12.0;
  QTest::newRow("Q 54 in") << comma << 1 << 1000.0 << 1.0 << 54.0 << 0.0 << 0.0 << "" << 0 << 0 << ""
                           << "10%" << 1 << 0 << "50" << 0 << kUntouched << 8.0;
  QTest::newRow("both out") << comma << 1 << 1000.0 << 1.0 << 56.0 << 0.0 << 0.0 << "1%" << 0 << 0 << "2"
                            << "10%" << 1 << 0 << "50" << 3 << -50.0 << 12.0;
  QTest::newRow("D = R / X") << comma << 1 << 1000.0 << 1.0 << 10.0 << 0.0 << 0.0 << "" << 0 << 0 << ""
                             << "5%" << 2 << 0 << "0,1" << 0 << kUntouched << 0.0;
  QTest::newRow("secondary R kOhm") << comma << 1 << 1000.0 << 1100.0 << 10.0 << 0.0 << 0.0 << "" << 0 << 0 << ""
                                    << "5%" << 0 << 1 << "1" << 2 << kUntouched << 10.0;
  // Values that cannot be evaluated.
  QTest::newRow("lone % primary") << comma << 1 << 1000.0 << 100.0 << 1.0 << 0.0 << 0.0 << "%" << 0 << 0 << "100"
                                  << "10%" << 1 << 0 << "50" << 20 << 0.0 << kUntouched;
  QTest::newRow("lone % secondary") << comma << 1 << 1000.0 << 100.0 << 1.0 << 0.0 << 0.0 << "1%" << 0 << 0 << "100"
                                    << "%" << 1 << 0 << "50" << 2 << 0.0 << -99.98;
  QTest::newRow("lone % secondary, primary out")
      << comma << 1 << 1000.0 << 200.0 << 1.0 << 0.0 << 0.0 << "1%" << 0 << 0 << "100"
      << "%" << 1 << 0 << "50" << 2 << 100.0 << -99.99;
  QTest::newRow("nominal 0") << comma << 1 << 1000.0 << 100.0 << 1.0 << 0.0 << 0.0 << "1%" << 0 << 0 << "0" << off << 0
                             << 0 << "" << 20 << kUntouched << kUntouched;
  QTest::newRow("C nominal 0") << comma << 1 << 1000.0 << 1.0 << 100.0 << 0.0 << 0.0 << "1%" << 2 << 0 << "0" << off
                               << 0 << 0 << "" << 20 << kUntouched << kUntouched;
  QTest::newRow("empty nominal") << comma << 1 << 1000.0 << 100.0 << 1.0 << 0.0 << 0.0 << "1%" << 0 << 0 << "" << off
                                 << 0 << 0 << "" << 20 << kUntouched << kUntouched;
  QTest::newRow("secondary nominal 0 keeps primary deviation")
      << comma << 1 << 1000.0 << 101.0 << 1.0 << 0.0 << 0.0 << "5%" << 0 << 0 << "100"
      << "5%" << 1 << 0 << "0" << 20 << 1.0 << kUntouched;
  QTest::newRow("both off") << comma << 1 << 1000.0 << 100.0 << 1.0 << 0.0 << 0.0 << "" << 0 << 0 << "0"
                            << "" << 0 << 0 << "0" << 0 << kUntouched << kUntouched;
}

void TestTolerance::check() {
  QFETCH(QChar, sep);
  QFETCH(int, series);
  QFETCH(double, freq);
  QFETCH(double, r);
  QFETCH(double, x);
  QFETCH(double, pr);
  QFETCH(double, px);
  QFETCH(QString, pTol);
  QFETCH(int, pKind);
  QFETCH(int, pUnit);
  QFETCH(QString, pNom);
  QFETCH(QString, sTol);
  QFETCH(int, sKind);
  QFETCH(int, sUnit);
  QFETCH(QString, sNom);
  QFETCH(int, code);
  QFETCH(double, pDev);
  QFETCH(double, sDev);

  ToleranceInput in;
  in.decimalSeparator = sep;
  in.CircuitSeries = static_cast<std::uint8_t>(series);
  in.TestFreqHz = freq;
  in.ReadingR = r;
  in.ReadingX = x;
  in.ParallelR = pr;
  in.ParallelX = px;
  in.primary = {!pTol.isEmpty(), pTol, pKind, pUnit, pNom};
  in.secondary = {!sTol.isEmpty(), sTol, sKind, sUnit, sNom};
  double primary = kUntouched, secondary = kUntouched;
  QCOMPARE(CheckTolerance(in, primary, secondary), code);
  QVERIFY2(std::fabs(primary - pDev) < 1e-3, qPrintable(QString::number(primary, 'g', 10)));
  QVERIFY2(std::fabs(secondary - sDev) < 1e-3, qPrintable(QString::number(secondary, 'g', 10)));
}

void TestTolerance::numberFilter_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<int>("caret");
  QTest::addColumn<QChar>("sep");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("newCaret");
  QTest::newRow("comma: letters and second separator") << "1a2,3,4" << 7 << QChar(u',') << "12,34" << 5;
  QTest::newRow("comma: leading separator") << ",5" << 2 << QChar(u',') << "5" << 1;
  QTest::newRow("point: letters and second separator") << "1a2.3.4" << 2 << QChar(u'.') << "12.34" << 2;
  QTest::newRow("point: comma dropped") << "1,5" << 1 << QChar(u'.') << "15" << 1;
  QTest::newRow("comma: point dropped") << "1.5" << 3 << QChar(u',') << "15" << 2;
  QTest::newRow("sign and blanks dropped") << " -10 000" << 0 << QChar(u',') << "10000" << 0;
  QTest::newRow("empty") << "" << 0 << QChar(u',') << "" << 0;
}

void TestTolerance::numberFilter() {
  QFETCH(QString, typed);
  QFETCH(int, caret);
  QFETCH(QChar, sep);
  QFETCH(QString, text);
  QFETCH(int, newCaret);
  const FilteredText f = FilterNumberText(typed, caret, sep);
  QCOMPARE(f.text, text);
  QCOMPARE(f.caret, newCaret);
}

void TestTolerance::toleranceFilter_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QChar>("sep");
  QTest::addColumn<QString>("text");
  QTest::newRow("15") << "15" << QChar(u',') << "15%";
  QTest::newRow("typed after percent") << "1%5" << QChar(u',') << "15%";
  QTest::newRow("comma decimal") << "0,2%" << QChar(u',') << "0,2%";
  QTest::newRow("point decimal") << "0.2%" << QChar(u'.') << "0.2%";
  QTest::newRow("everything deleted") << "" << QChar(u',') << "%";
  QTest::newRow("letters only") << "abc" << QChar(u'.') << "%";
}

void TestTolerance::toleranceFilter() {
  QFETCH(QString, typed);
  QFETCH(QChar, sep);
  QFETCH(QString, text);
  QCOMPARE(FilterToleranceText(typed, typed.size(), sep).text, text);
}

void TestTolerance::parseNumber_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QChar>("sep");
  QTest::addColumn<bool>("ok");
  QTest::addColumn<double>("value");
  QTest::newRow("comma") << "0,2" << QChar(u',') << true << 0.2;
  QTest::newRow("point") << "0.2" << QChar(u'.') << true << 0.2;
  QTest::newRow("blanks around") << " 15 " << QChar(u',') << true << 15.0;
  QTest::newRow("point under comma") << "0.2" << QChar(u',') << false << 0.0;
  QTest::newRow("comma under point") << "0,2" << QChar(u'.') << false << 0.0;
  QTest::newRow("two separators") << "1,2,3" << QChar(u',') << false << 0.0;
  QTest::newRow("blank inside") << "1 5" << QChar(u',') << false << 0.0;
  QTest::newRow("empty") << "" << QChar(u',') << false << 0.0;
  QTest::newRow("infinity") << "inf" << QChar(u'.') << false << 0.0;
  QTest::newRow("overflow") << "1e999" << QChar(u'.') << false << 0.0;
}

void TestTolerance::parseNumber() {
  QFETCH(QString, text);
  QFETCH(QChar, sep);
  QFETCH(bool, ok);
  QFETCH(double, value);
  double v = 0;
  QCOMPARE(ParseLocalNumber(text, sep, v), ok);
  if (ok) QCOMPARE(v, value);
}

QTEST_GUILESS_MAIN(TestTolerance)
#include "test_tolerance.moc"
