// The editor's values as a reference: sorting a reading against it, and the
// record kept in the profile file.
#include <QTest>
#include <cmath>
#include <numbers>

#include "reference.h"

using namespace zt;

namespace {
// The deviations of the previous verdict: a side that is not computed keeps them.
constexpr double kLast = -777.0;

ReferenceSide Side(const QString& tol, int kind, int unit, const QString& nominal) {
  ReferenceSide s;
  s.toleranceOn = !tol.isEmpty();
  s.toleranceText = tol;
  s.kind = kind;
  s.unitIndex = unit;
  s.nominalText = nominal;
  return s;
}
}  // namespace

class TestReference : public QObject {
  Q_OBJECT
 private slots:
  void sort_data();
  void sort();
  void offIsAStateNotAText();
  void recordOfReference_data();
  void recordOfReference();
  void referenceOfRecord_data();
  void referenceOfRecord();
};

void TestReference::sort_data() {
  QTest::addColumn<QChar>("sep");
  QTest::addColumn<int>("series");
  QTest::addColumn<int>("freq");
  QTest::addColumn<double>("r");      // ReadingR
  QTest::addColumn<double>("x");      // ReadingX
  QTest::addColumn<double>("pr");     // ParallelR
  QTest::addColumn<double>("px");     // ParallelX
  QTest::addColumn<QString>("pTol");  // empty: off
  QTest::addColumn<int>("pKind");
  QTest::addColumn<int>("pUnit");
  QTest::addColumn<QString>("pNom");
  QTest::addColumn<QString>("sTol");
  QTest::addColumn<int>("sKind");
  QTest::addColumn<int>("sUnit");
  QTest::addColumn<QString>("sNom");
  QTest::addColumn<int>("code");
  QTest::addColumn<double>("pDev");  // kLast: kept from the previous verdict
  QTest::addColumn<double>("sDev");

  const QChar comma(u','), point(u'.');
  const QString off;
  QTest::newRow("R 10000 кОм, 1%, pass") << comma << 1 << 1000 << 10.05e6 << 1.0 << 0.0 << 0.0 << "1%" << 0 << 1
                                         << "10000" << off << 0 << 0 << "" << 0 << 0.5 << kLast;
  QTest::newRow("R 0,2% out") << comma << 1 << 1000 << 10.05e6 << 1.0 << 0.0 << 0.0 << "0,2%" << 0 << 1 << "10000"
                              << off << 0 << 0 << "" << 1 << 0.5 << kLast;
  QTest::newRow("comma tolerance under point") << point << 1 << 1000 << 10.05e6 << 1.0 << 0.0 << 0.0 << "0,2%" << 0 << 1
                                               << "10000" << off << 0 << 0 << "" << 20 << 0.5 << kLast;
  QTest::newRow("parallel circuit sorts ParallelR") << comma << 0 << 1000 << 1.0 << 1.0 << 100.5 << 1.0 << "1%" << 0
                                                    << 0 << "100" << off << 0 << 0 << "" << 0 << 0.5 << kLast;
  QTest::newRow("L 100 мкГн at the reading's 1 kHz") << comma << 1 << 1000 << 1.0 << 0.6346 << 0.0 << 0.0 << "2%" << 1
                                                     << 0 << "100" << off << 0 << 0 << "" << 0 << 0.9997 << kLast;
  QTest::newRow("L at 10 kHz is ten times the reactance")
      << comma << 1 << 10000 << 1.0 << 6.346 << 0.0 << 0.0 << "2%" << 1 << 0 << "100" << off << 0 << 0 << "" << 0
      << 0.9997 << kLast;
  QTest::newRow("C 100 нФ larger, >") << comma << 1 << 1000 << 1.0 << 1447.0 << 0.0 << 0.0 << ">" << 2 << 1 << "100"
                                      << off << 0 << 0 << "" << 0 << 9.0823 << kLast;
  QTest::newRow("C larger, <") << comma << 1 << 1000 << 1.0 << 1447.0 << 0.0 << 0.0 << "<" << 2 << 1 << "100" << off
                               << 0 << 0 << "" << 1 << 9.0823 << kLast;
  QTest::newRow("C parallel sorts ParallelX") << comma << 0 << 1000 << 1.0 << 1.0 << 0.0 << 1447.0 << "<" << 2 << 1
                                              << "100" << off << 0 << 0 << "" << 1 << 9.0823 << kLast;
  QTest::newRow("Q 56 against 50, 10%") << comma << 1 << 1000 << 1.0 << 56.0 << 0.0 << 0.0 << "" << 0 << 0 << ""
                                        << "10%" << 1 << 0 << "50" << 2 << kLast << 12.0;
  QTest::newRow("both out") << comma << 1 << 1000 << 1.0 << 56.0 << 0.0 << 0.0 << "1%" << 0 << 0 << "2"
                            << "10%" << 1 << 0 << "50" << 3 << -50.0 << 12.0;
  QTest::newRow("D = R / X") << comma << 1 << 1000 << 1.0 << 10.0 << 0.0 << 0.0 << "" << 0 << 0 << ""
                             << "5%" << 2 << 0 << "0,1" << 0 << kLast << 0.0;
  QTest::newRow("secondary R in кОм") << comma << 1 << 1000 << 1100.0 << 10.0 << 0.0 << 0.0 << "" << 0 << 0 << ""
                                      << "5%" << 0 << 1 << "1" << 2 << kLast << 10.0;
  QTest::newRow("lone % secondary") << comma << 1 << 1000 << 100.0 << 1.0 << 0.0 << 0.0 << "1%" << 0 << 0 << "100"
                                    << "%" << 1 << 0 << "50" << 2 << 0.0 << -99.98;
  QTest::newRow("nominal 0") << comma << 1 << 1000 << 100.0 << 1.0 << 0.0 << 0.0 << "1%" << 0 << 0 << "0" << off << 0
                             << 0 << "" << 20 << kLast << kLast;
  QTest::newRow("both off") << comma << 1 << 1000 << 100.0 << 1.0 << 0.0 << 0.0 << "" << 0 << 0 << "0"
                            << "" << 0 << 0 << "0" << 0 << kLast << kLast;
}

void TestReference::sort() {
  QFETCH(QChar, sep);
  QFETCH(int, series);
  QFETCH(int, freq);
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

  Reference ref;
  ref.primary = Side(pTol, pKind, pUnit, pNom);
  ref.secondary = Side(sTol, sKind, sUnit, sNom);
  MeterReading reading;
  reading.settings.CircuitSeries = static_cast<std::uint8_t>(series);
  reading.testFreqHz = freq;
  reading.values.ReadingR = r;
  reading.values.ReadingX = x;
  reading.values.ParallelR = pr;
  reading.values.ParallelX = px;
  Verdict last;
  last.PrimaryDeviation = kLast;
  last.SecondaryDeviation = kLast;
  last.SortResult = 3;

  const Verdict v = SortReading(ref, reading, sep, last);
  QCOMPARE(v.SortResult, code);
  QCOMPARE(v.rejected(), code != 0);
  QVERIFY2(std::fabs(v.PrimaryDeviation - pDev) < 1e-3, qPrintable(QString::number(v.PrimaryDeviation, 'g', 10)));
  QVERIFY2(std::fabs(v.SecondaryDeviation - sDev) < 1e-3, qPrintable(QString::number(v.SecondaryDeviation, 'g', 10)));
  QCOMPARE(v.primaryOn, !pTol.isEmpty());
  QCOMPARE(v.secondaryOn, !sTol.isEmpty());
  // The value's own deviation: for C from the capacitance the reactance
  // gives (the nominal in нФ here), for R and L the sorting's figure.
  QCOMPARE(v.primaryKind, pKind);
  if (!v.primaryOn || code == 20) return;
  if (pKind == kPrimaryC) {
    const double c = 1.0 / (2.0 * std::numbers::pi * freq * (series == 1 ? x : px));
    const double nominal = pNom.toDouble() * 1e-9;
    const double expected = (c - nominal) / nominal * 100.0;
    QVERIFY2(std::fabs(PrimaryValueDeviation(v) - expected) < 1e-3, qPrintable(QString::number(expected)));
  } else {
    QCOMPARE(PrimaryValueDeviation(v), v.PrimaryDeviation);
  }
}

// A tolerance is off by its state, whatever text is left in it, and on
// whatever text it has (an "off" word of some language included).
void TestReference::offIsAStateNotAText() {
  MeterReading reading;
  reading.settings.CircuitSeries = 1;
  reading.values.ReadingR = 150;
  Reference ref = DefaultReference();
  ref.primary.nominalText = QStringLiteral("100");
  ref.primary.toleranceText = QStringLiteral("1%");
  ref.primary.toleranceOn = false;
  QCOMPARE(SortReading(ref, reading, u'.').SortResult, 0);
  ref.primary.toleranceOn = true;
  QCOMPARE(SortReading(ref, reading, u'.').SortResult, 1);
  ref.primary.toleranceText = QStringLiteral("off");
  QCOMPARE(SortReading(ref, reading, u'.').SortResult, 20);
}

void TestReference::recordOfReference_data() {
  QTest::addColumn<Reference>("ref");
  QTest::addColumn<ProfileRecord>("record");
  MeterSettings settings;
  settings.FreqCode = 4;
  settings.IntervalCode = 2;

  ProfileRecord designed;  // the editor as it starts
  designed.ProfileName = QStringLiteral("R1");
  designed.StartPosition = 1;
  designed.PrimaryNominal = QStringLiteral("10000");
  designed.SecondaryNominal = QStringLiteral("10000");
  designed.Settings = settings;
  QTest::newRow("design state: both off") << DefaultReference() << designed;

  Reference on = DefaultReference();
  on.name = QStringLiteral("C22n");
  on.startPosition = 40;
  on.primary = Side(QStringLiteral("0,5%"), kPrimaryC, 1, QStringLiteral("22"));
  on.secondary = Side(QStringLiteral("<"), kSecondaryD, 2, QStringLiteral("0,1"));
  ProfileRecord onRec = designed;
  onRec.ProfileName = QStringLiteral("C22n");
  onRec.StartPosition = 40;
  onRec.PrimaryTolerance = QStringLiteral("0,5%");
  onRec.PrimaryKind = 2;
  onRec.PrimaryUnit = 1;
  onRec.PrimaryNominal = QStringLiteral("22");
  onRec.SecondaryTolerance = QStringLiteral("<");
  onRec.SecondaryKind = 2;
  onRec.SecondaryUnit = 0;  // only R has a unit
  onRec.SecondaryNominal = QStringLiteral("0,1");
  QTest::newRow("tolerances on, secondary D keeps no unit") << on << onRec;

  Reference odd = DefaultReference();
  odd.primary.kind = -1;  // a box showing no item
  odd.primary.unitIndex = 7;
  odd.secondary.unitIndex = 2;
  ProfileRecord oddRec = designed;
  oddRec.SecondaryUnit = 2;
  QTest::newRow("items the boxes cannot show become 0") << odd << oddRec;
}

void TestReference::recordOfReference() {
  QFETCH(Reference, ref);
  QFETCH(ProfileRecord, record);
  QCOMPARE(RecordOfReference(ref, record.Settings), record);
}

void TestReference::referenceOfRecord_data() {
  QTest::addColumn<ProfileRecord>("record");
  QTest::addColumn<QChar>("sep");
  QTest::addColumn<Reference>("ref");
  ProfileRecord rec;
  rec.ProfileName = QStringLiteral("L1");
  rec.StartPosition = 7;
  rec.PrimaryTolerance = QStringLiteral("2%");
  rec.PrimaryKind = 1;
  rec.PrimaryUnit = 2;
  rec.PrimaryNominal = QStringLiteral("1,5");
  rec.SecondaryTolerance = ProfileToleranceOff();
  rec.SecondaryKind = 1;
  rec.SecondaryNominal = QStringLiteral("50");
  Reference ref;
  ref.name = QStringLiteral("L1");
  ref.startPosition = 7;
  ref.primary = Side(QStringLiteral("2%"), 1, 2, QStringLiteral("1,5"));
  ref.secondary = Side(QString(), 1, 0, QStringLiteral("50"));
  QTest::newRow("OFF switches off") << rec << QChar(u',') << ref;

  // Nominal values pass the number filter as the editor shows them; a
  // tolerance is shown as stored.
  ProfileRecord foreign = rec;
  foreign.PrimaryNominal = QStringLiteral("1a2,5,0");
  foreign.PrimaryTolerance = QStringLiteral("x5%");
  foreign.SecondaryTolerance = QStringLiteral("off");
  Reference filtered = ref;
  filtered.primary.nominalText = QStringLiteral("12,50");
  filtered.primary.toleranceText = QStringLiteral("x5%");
  filtered.secondary.toleranceOn = true;
  filtered.secondary.toleranceText = QStringLiteral("off");
  QTest::newRow("comma separator") << foreign << QChar(u',') << filtered;
  Reference pointFiltered = filtered;
  pointFiltered.primary.nominalText = QStringLiteral("1250");
  QTest::newRow("point separator drops the comma") << foreign << QChar(u'.') << pointFiltered;
}

void TestReference::referenceOfRecord() {
  QFETCH(ProfileRecord, record);
  QFETCH(QChar, sep);
  QFETCH(Reference, ref);
  QCOMPARE(ReferenceOfRecord(record, sep), ref);
}

QTEST_GUILESS_MAIN(TestReference)
#include "test_reference.moc"
