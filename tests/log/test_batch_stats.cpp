// The sorting statistics: the tolerance band in the reading's own units
// (and that it agrees with the sorting itself), the summary of a set of rows
// against figures computed independently (by hand and with Python's
// statistics module), and the running statistics against that summary
// through appends, replacements and erasures.
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <numbers>

#include "batch_stats.h"
#include "stats_table.h"

using namespace zt;

namespace {

constexpr double N = kNoValue;

bool Same(double got, double want) {
  if (std::isnan(want)) return std::isnan(got);
  return std::fabs(got - want) <= 1e-9 * std::max(1.0, std::fabs(want)) || got == want;
}

#define COMPARE_NUMBER(got, want) \
  QVERIFY2(Same((got), (want)),   \
           qPrintable(QStringLiteral("%1: %2, expected %3").arg(#got).arg(got, 0, 'g', 17).arg(want, 0, 'g', 17)))

Reference Primary(int kind, int unit, const QString& nominal, const QString& tolerance) {
  Reference r = DefaultReference();
  r.primary.kind = kind;
  r.primary.unitIndex = unit;
  r.primary.nominalText = nominal;
  r.primary.toleranceOn = !tolerance.isNull();
  r.primary.toleranceText = tolerance;
  return r;
}

// A row with a primary value of `kind` and the sorting's result code.
BatchSample Row(Quantity kind, double value, std::int32_t code = kSortPass, bool primaryOn = true,
                bool secondaryOn = false) {
  BatchSample s;
  s.kind = kind;
  s.primary = value;
  s.sortResult = code;
  s.primaryOn = primaryOn;
  s.secondaryOn = secondaryOn;
  return s;
}
BatchSample R(double ohms, std::int32_t code = kSortPass) { return Row(Quantity::Resistance, ohms, code); }

ToleranceLimits Band(Quantity kind, double lower, double upper) {
  ToleranceLimits l;
  l.kind = kind;
  l.lower = lower;
  l.upper = upper;
  return l;
}

// A series reading of a part at 1 kHz with the given primary quantity.
MeterReading ReadingOf(Quantity kind, double value) {
  MeterReading m;
  m.settings.CircuitSeries = 1;
  m.testFreqHz = 1000;
  const double w = 2 * std::numbers::pi * 1000;
  switch (kind) {
    case Quantity::Resistance: m.values.ReadingR = value; break;
    case Quantity::Inductance: m.values.ReadingX = w * value; break;
    default: m.values.ReadingX = 1 / (w * value); break;  // capacitance
  }
  m.primary = {kind, value, QString()};
  return m;
}

struct SummaryCase {
  const char* name;
  std::vector<BatchSample> rows;
  ToleranceLimits limits;
  // count, sorted, passed, rejected primary / secondary, unevaluable, values
  std::array<int, 7> counts;
  Quantity kind;
  double yield, mean, sd, min, max, cp, cpk;
};

// Expected figures: counts by hand; moments with Python's statistics.mean
// and statistics.stdev, Cp and Cpk from those with the formulas written out.
const std::vector<SummaryCase>& SummaryCases() {
  static const std::vector<SummaryCase> cases = {
      {"no rows", {}, {}, {0, 0, 0, 0, 0, 0, 0}, Quantity::None, N, N, N, N, N, N, N},
      {"a single row",
       {R(100)},
       Band(Quantity::Resistance, 99, 101),
       {1, 1, 1, 0, 0, 0, 1},
       Quantity::Resistance,
       100,
       100,
       N,
       100,
       100,
       N,
       N},
      {"identical values: no spread, no capability",
       {R(50), R(50), R(50)},
       Band(Quantity::Resistance, 49, 51),
       {3, 3, 3, 0, 0, 0, 3},
       Quantity::Resistance,
       100,
       50,
       0,
       50,
       50,
       N,
       N},
      {"five resistors against 1 % of 1 kΩ",
       {R(995), R(1002), R(1008), R(1011, kSortPrimaryOut), R(999)},
       Band(Quantity::Resistance, 990, 1010),
       {5, 5, 4, 1, 0, 0, 5},
       Quantity::Resistance,
       80,
       1003,
       6.519202405202649,
       995,
       1011,
       0.5113099925649136,
       0.3579169947954395},
      {"capacitors against the asymmetric band of 10 % of 100 nF",
       {Row(Quantity::Capacitance, 98.2e-9), Row(Quantity::Capacitance, 101.5e-9), Row(Quantity::Capacitance, 103.9e-9),
        Row(Quantity::Capacitance, 95.1e-9), Row(Quantity::Capacitance, 112.0e-9, kSortPrimaryOut),
        Row(Quantity::Capacitance, 99.7e-9)},
       Band(Quantity::Capacitance, 1e-7 / 1.1, 1e-7 / 0.9),
       {6, 6, 5, 1, 0, 0, 6},
       Quantity::Capacitance,
       500.0 / 6,
       1.0173333333333333e-07,
       5.844199403397069e-09,
       95.1e-9,
       112.0e-9,
       0.5761273930944628,
       0.5348766717488991},
      {"one-sided limit: moments, no Cp or Cpk",
       {Row(Quantity::Inductance, 101e-6), Row(Quantity::Inductance, 99e-6, kSortPrimaryOut),
        Row(Quantity::Inductance, 100.5e-6), Row(Quantity::Inductance, 98.5e-6, kSortPrimaryOut)},
       Band(Quantity::Inductance, 100e-6, N),
       {4, 4, 2, 2, 0, 0, 4},
       Quantity::Inductance,
       50,
       9.975e-05,
       1.1902380714238125e-06,
       98.5e-6,
       101e-6,
       N,
       N},
      {"readings without a number are counted, not averaged",
       {R(995), R(N, kSortPrimaryOut), R(1011, kSortPrimaryOut), Row(Quantity::None, N)},
       Band(Quantity::Resistance, 990, 1010),
       {4, 4, 2, 2, 0, 0, 2},
       Quantity::Resistance,
       50,
       1003,
       11.313708498984761,
       995,
       1011,
       0.29462782549439476,
       0.20623947784607632},
      {"every verdict: secondary, both, unevaluable, unsorted rows",
       {R(1000), R(1000, kSortSecondaryOut), R(1000, kSortBothOut), R(1000, kSortInvalid),
        Row(Quantity::Resistance, 1000, kSortPass, false, false),
        Row(Quantity::Resistance, 1000, kSortPass, false, true)},
       {},
       {6, 5, 2, 1, 2, 1, 6},
       Quantity::Resistance,
       40,
       1000,
       0,
       1000,
       1000,
       N,
       N},
      {"the meter switched from R to C: the moments follow the newest quantity",
       {R(10.1e3), R(9.95e3), Row(Quantity::Capacitance, 1e-9), Row(Quantity::Capacitance, 3e-9)},
       Band(Quantity::Resistance, 9.9e3, 10.1e3),
       {4, 4, 4, 0, 0, 0, 2},
       Quantity::Capacitance,
       100,
       2e-9,
       1.414213562373095e-09,
       1e-9,
       3e-9,
       N,
       N},
      {"tolerance off: no yield",
       {Row(Quantity::Resistance, 10.1e3, kSortPass, false), Row(Quantity::Resistance, 9.95e3, kSortPass, false)},
       {},
       {2, 0, 0, 0, 0, 0, 2},
       Quantity::Resistance,
       N,
       10025,
       106.06601717798213,
       9.95e3,
       10.1e3,
       N,
       N},
  };
  return cases;
}

void CompareSummary(const BatchSummary& s, const SummaryCase& c) {
  QCOMPARE(s.count, c.counts[0]);
  QCOMPARE(s.sorted, c.counts[1]);
  QCOMPARE(s.passed, c.counts[2]);
  QCOMPARE(s.rejectedPrimary, c.counts[3]);
  QCOMPARE(s.rejectedSecondary, c.counts[4]);
  QCOMPARE(s.unevaluable, c.counts[5]);
  QCOMPARE(s.values, c.counts[6]);
  QCOMPARE(s.kind, c.kind);
  COMPARE_NUMBER(s.yield, c.yield);
  COMPARE_NUMBER(s.mean, c.mean);
  COMPARE_NUMBER(s.sd, c.sd);
  COMPARE_NUMBER(s.min, c.min);
  COMPARE_NUMBER(s.max, c.max);
  COMPARE_NUMBER(s.cp, c.cp);
  COMPARE_NUMBER(s.cpk, c.cpk);
}

// Two summaries of the same rows, one kept running.
void CompareRunning(const BatchSummary& got, const BatchSummary& want) {
  QCOMPARE(got.count, want.count);
  QCOMPARE(got.sorted, want.sorted);
  QCOMPARE(got.passed, want.passed);
  QCOMPARE(got.rejectedPrimary, want.rejectedPrimary);
  QCOMPARE(got.rejectedSecondary, want.rejectedSecondary);
  QCOMPARE(got.unevaluable, want.unevaluable);
  QCOMPARE(got.values, want.values);
  QCOMPARE(got.kind, want.kind);
  auto near = [](double a, double b, double scale) {
    if (std::isnan(b)) return std::isnan(a);
    return std::fabs(a - b) <= 1e-7 * scale;
  };
  const double scale = std::max(std::fabs(want.max), std::fabs(want.min));
  QVERIFY2(near(got.mean, want.mean, scale), qPrintable(QString::number(got.mean - want.mean)));
  QVERIFY2(near(got.sd, want.sd, scale), qPrintable(QString::number(got.sd - want.sd)));
  QCOMPARE(got.min, want.min);
  QCOMPARE(got.max, want.max);
  QVERIFY(near(got.yield, want.yield, 100));
}

}  // namespace

class TestBatchStats : public QObject {
  Q_OBJECT

 private slots:
  // The reference's primary tolerance as limits on the reading's value.
  void limits_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("nominal");
    QTest::addColumn<QString>("tolerance");  // null: off
    QTest::addColumn<QString>("sep");
    QTest::addColumn<int>("quantity");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    const int none = int(Quantity::None), res = int(Quantity::Resistance), ind = int(Quantity::Inductance),
              cap = int(Quantity::Capacitance);
    QTest::newRow("R 10 kΩ, 1 %") << 0 << 1 << "10"
                                  << "1%"
                                  << "." << res << 9900.0 << 10100.0;
    QTest::newRow("R 1 MΩ, 20 %") << 0 << 2 << "1"
                                  << "20%"
                                  << "." << res << 8e5 << 1.2e6;
    QTest::newRow("R, decimal comma 0,2 %") << 0 << 0 << "10000"
                                            << "0,2%"
                                            << "," << res << 9980.0 << 10020.0;
    QTest::newRow("R, typed 15 without %") << 0 << 0 << "200"
                                           << "15"
                                           << "." << res << 170.0 << 230.0;
    QTest::newRow("R >") << 0 << 0 << "470"
                         << ">"
                         << "." << res << 470.0 << N;
    QTest::newRow("R <") << 0 << 0 << "470"
                         << "<"
                         << "." << res << N << 470.0;
    QTest::newRow("L 100 µH, 5 %") << 1 << 0 << "100"
                                   << "5%"
                                   << "." << ind << 95e-6 << 105e-6;
    QTest::newRow("L 2 mH, >") << 1 << 1 << "2"
                               << ">"
                               << "." << ind << 2e-3 << N;
    QTest::newRow("C 100 nF, 10 %: wider above") << 2 << 1 << "100"
                                                 << "10%"
                                                 << "." << cap << 1e-7 / 1.1 << 1e-7 / 0.9;
    QTest::newRow("C 100 nF, 100 %: no upper limit") << 2 << 1 << "100"
                                                     << "100%"
                                                     << "." << cap << 5e-8 << N;
    QTest::newRow("C 22 pF, >") << 2 << 0 << "22"
                                << ">"
                                << "." << cap << 22e-12 << N;
    QTest::newRow("C 1 µF, <") << 2 << 2 << "1"
                               << "<"
                               << "." << cap << N << 1e-6;
    QTest::newRow("tolerance off") << 0 << 0 << "100" << QString() << "." << none << N << N;
    QTest::newRow("separator not the system's") << 0 << 0 << "100"
                                                << "0,2%"
                                                << "." << none << N << N;
    QTest::newRow("lone %") << 0 << 0 << "100"
                            << "%"
                            << "." << none << N << N;
    QTest::newRow("negative percent passes nothing") << 0 << 0 << "100"
                                                     << "-5%"
                                                     << "." << none << N << N;
    QTest::newRow("nominal 0") << 0 << 0 << "0"
                               << "1%"
                               << "." << none << N << N;
    QTest::newRow("empty nominal") << 2 << 0 << ""
                                   << "1%"
                                   << "." << none << N << N;
  }

  void limits() {
    QFETCH(int, kind);
    QFETCH(int, unit);
    QFETCH(QString, nominal);
    QFETCH(QString, tolerance);
    QFETCH(QString, sep);
    QFETCH(int, quantity);
    QFETCH(double, lower);
    QFETCH(double, upper);
    const ToleranceLimits l = PrimaryLimits(Primary(kind, unit, nominal, tolerance), sep.at(0));
    QCOMPARE(int(l.kind), quantity);
    COMPARE_NUMBER(l.lower, lower);
    COMPARE_NUMBER(l.upper, upper);
    QCOMPARE(l.twoSided(), !std::isnan(lower) && !std::isnan(upper));
  }

  // The band drawn and used for Cp is the one the sorting applies: a value
  // just inside a limit passes, one just outside is rejected.
  void limitsAgreeWithTheSorting_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("nominal");
    QTest::addColumn<QString>("tolerance");
    QTest::newRow("R 1 %") << 0 << 1 << "4.7"
                           << "1%";
    QTest::newRow("R >") << 0 << 0 << "100"
                         << ">";
    QTest::newRow("L 2 %") << 1 << 1 << "10"
                           << "2%";
    QTest::newRow("L <") << 1 << 0 << "470"
                         << "<";
    QTest::newRow("C 10 %") << 2 << 1 << "100"
                            << "10%";
    QTest::newRow("C 50 %") << 2 << 0 << "330"
                            << "50%";
    QTest::newRow("C >") << 2 << 2 << "4.7"
                         << ">";
    QTest::newRow("C <") << 2 << 1 << "22"
                         << "<";
  }

  void limitsAgreeWithTheSorting() {
    QFETCH(int, kind);
    QFETCH(int, unit);
    QFETCH(QString, nominal);
    QFETCH(QString, tolerance);
    const Reference ref = Primary(kind, unit, nominal, tolerance);
    const ToleranceLimits l = PrimaryLimits(ref, u'.');
    QVERIFY(l.any());
    auto sorted = [&](double value) { return SortReading(ref, ReadingOf(l.kind, value), u'.').SortResult; };
    for (double limit : {l.lower, l.upper}) {
      if (std::isnan(limit)) continue;
      const bool isLower = limit == l.lower;
      const double inside = limit * (isLower ? 1 + 1e-9 : 1 - 1e-9);
      const double outside = limit * (isLower ? 1 - 1e-6 : 1 + 1e-6);
      QCOMPARE(sorted(inside), int(kSortPass));
      QCOMPARE(sorted(outside), int(kSortPrimaryOut));
    }
    // A side without a limit lets any value pass.
    if (!l.hasUpper()) QCOMPARE(sorted(l.lower * 1000), int(kSortPass));
    if (!l.hasLower()) QCOMPARE(sorted(l.upper / 1000), int(kSortPass));
  }

  void summary_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(SummaryCases().size()); ++i) QTest::newRow(SummaryCases()[size_t(i)].name) << i;
  }

  void summary() {
    QFETCH(int, index);
    const SummaryCase& c = SummaryCases()[size_t(index)];
    CompareSummary(Summarize(c.rows, c.limits), c);

    // The running statistics of the same rows, logged one after another.
    BatchStats running;
    running.setLimits(0, c.limits);
    int p = 0;
    for (const BatchSample& r : c.rows) {
      BatchSample s = r;
      s.position = ++p;
      running.put(s);
    }
    CompareSummary(running.summary(0), c);
  }

  // Cp and Cpk only for two-sided limits of the values' own quantity.
  void capabilityNeedsTwoSidedLimitsOfTheSameQuantity() {
    const ToleranceLimits r = Band(Quantity::Resistance, 990, 1010);
    COMPARE_NUMBER(ProcessCp(r, Quantity::Resistance, 2), 20.0 / 12);
    COMPARE_NUMBER(ProcessCpk(r, Quantity::Resistance, 1006, 2), 4.0 / 6);
    COMPARE_NUMBER(ProcessCpk(r, Quantity::Resistance, 1020, 2), -10.0 / 6);  // the mean outside the band
    QVERIFY(std::isnan(ProcessCp(r, Quantity::Capacitance, 2)));
    QVERIFY(std::isnan(ProcessCp(Band(Quantity::Resistance, 990, N), Quantity::Resistance, 2)));
    QVERIFY(std::isnan(ProcessCpk(r, Quantity::Resistance, 1000, 0)));
    QVERIFY(std::isnan(ProcessCpk(r, Quantity::Resistance, 1000, N)));
  }

  // The running statistics stay equal to a fresh summary of the rows the log
  // holds, through appends, rows written again (moving the start position
  // back, a profile measured again), erasures and groups.
  void runningEqualsFreshSummary_data() {
    QTest::addColumn<bool>("multiPart");
    QTest::addColumn<int>("seed");
    QTest::newRow("single-part log") << false << 7;
    QTest::newRow("single-part log, another sequence") << false << 1234;
    QTest::newRow("multi-part table") << true << 99;
  }

  void runningEqualsFreshSummary() {
    QFETCH(bool, multiPart);
    QFETCH(int, seed);
    QRandomGenerator rng(static_cast<quint32>(seed));
    BatchStats running;
    std::vector<BatchSample> present(64);  // by position; position 0: empty
    std::uint64_t order = 0;
    std::vector<std::uint64_t> loggedAt(64, 0);
    int next = 1;
    auto check = [&](int group) {
      std::vector<std::pair<std::uint64_t, BatchSample>> rows;
      for (size_t p = 1; p < present.size(); ++p)
        if (present[p].position != 0 && present[p].group == group) rows.push_back({loggedAt[p], present[p]});
      std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
      std::vector<BatchSample> inOrder;
      for (const auto& r : rows) inOrder.push_back(r.second);
      CompareRunning(running.summary(group), Summarize(inOrder, running.limits(group)));
    };
    for (int step = 0; step < 600; ++step) {
      const int roll = int(rng.bounded(100));
      if (roll < 3) {
        const int p = 1 + int(rng.bounded(63));
        running.erase(p);
        present[size_t(p)] = BatchSample{};
      } else {
        int p;
        if (multiPart)
          p = 1 + int(rng.bounded(6));
        else if (roll < 20 || next >= 63)
          p = 1 + int(rng.bounded(std::max(1, next - 1)));  // moved back
        else
          p = next++;
        BatchSample s;
        const int k = int(rng.bounded(20));
        s = k < 2   ? Row(Quantity::None, N)
            : k < 4 ? Row(Quantity::Capacitance, 1e-9 * (1 + rng.generateDouble()))
                    : R(1000 + 20 * rng.generateDouble());
        if (k == 5) s.primary = N;  // a reading shown as a limit
        s.sortResult = std::array<int, 5>{0, 0, 1, 2, 20}[rng.bounded(5)];
        s.primaryOn = rng.bounded(10) != 0;
        s.position = p;
        s.group = multiPart ? p : 0;
        running.put(s);
        present[size_t(p)] = s;
        loggedAt[size_t(p)] = ++order;
      }
      check(multiPart ? 1 + step % 6 : 0);
    }
    if (multiPart) {
      std::vector<BatchSummary> all;
      for (int g : running.groups()) all.push_back(running.summary(g));
      const BatchSummary total = running.total();
      QCOMPARE(total.count, CombineCounts(all).count);
      QCOMPARE(total.count, running.rowCount());
    }
    running.reset();
    QCOMPARE(running.rowCount(), 0);
    QVERIFY(running.groups().empty());
    QCOMPARE(running.summary(0).count, 0);
  }

  // The table's texts are the panel's, its numbers the values themselves.
  void table_data() {
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("mean");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("unit");
    QTest::newRow("Russian") << false << "1.0030 кОм"
                             << "990.00 Ом"
                             << "Ом";
    QTest::newRow("English signs") << true << "1.0030 kΩ"
                                   << "990.00 Ω"
                                   << "Ω";
  }

  void table() {
    QFETCH(bool, english);
    QFETCH(QString, mean);
    QFETCH(QString, lower);
    QFETCH(QString, unit);
    Lexicons lex = Lexicons::russian();
    if (english) {
      lex.Dlang1.items = {"M", "k", "m", "u", "n", "p"};
      lex.Dlang3.items[3] = QStringLiteral("Ohm");
    }
    const SummaryCase& c = SummaryCases()[3];
    const StatsTable t = MakeStatsTable({{QStringLiteral("Журнал"), Summarize(c.rows, c.limits)}}, lex,
                                        Separators{QStringLiteral("."), QStringLiteral(",")});
    QCOMPARE(t.rowCount(), kStatsRows);
    QCOMPARE(t.columnNames, QStringList{QStringLiteral("Журнал")});
    QCOMPARE(t.rowNames.first(), lex.D5[chart::kCount]);
    QCOMPARE(t.rowNames.last(), lex.D5[chart::kCpk]);
    auto cell = [&](StatsRow r) { return t.cell(int(r), 0); };
    QCOMPARE(cell(StatsRow::Count).text, QStringLiteral("5"));
    QCOMPARE(cell(StatsRow::Count).number, 5.0);
    QCOMPARE(cell(StatsRow::Yield).text, QStringLiteral("80.0"));
    QCOMPARE(cell(StatsRow::Mean).text, mean);
    QCOMPARE(cell(StatsRow::Mean).number, 1003.0);
    QCOMPARE(cell(StatsRow::Lower).text, lower);
    QCOMPARE(cell(StatsRow::Unit).text, unit);
    QVERIFY(!cell(StatsRow::Unit).numeric());
    QCOMPARE(cell(StatsRow::Cp).text, QStringLiteral("0.51"));
    QCOMPARE(cell(StatsRow::Cpk).text, QStringLiteral("0.36"));

    // Nothing to say: empty, never a number.
    const StatsTable empty = MakeStatsTable({{QString(), BatchSummary{}}}, lex, Separators{});
    for (StatsRow r : {StatsRow::Passed, StatsRow::Yield, StatsRow::Mean, StatsRow::Sd, StatsRow::Cp}) {
      QVERIFY(empty.cell(int(r), 0).text.isEmpty());
      QVERIFY(!empty.cell(int(r), 0).numeric());
    }
  }
};

QTEST_GUILESS_MAIN(TestBatchStats)
#include "test_batch_stats.moc"
