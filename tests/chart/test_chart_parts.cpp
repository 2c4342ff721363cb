// The pieces under the chart window: the reduction of a long series to the
// plot's pixel columns, the histogram's bins, and the axes' prefixes.
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <map>

#include "axis_scale.h"
#include "batch_stats.h"
#include "column_decimator.h"
#include "histogram_bins.h"
#include "window_placement.h"

using namespace zt;

Q_DECLARE_METATYPE(std::vector<QPointF>)

namespace {

// What each pixel column must show: its lowest and highest point.
std::map<int, std::pair<double, double>> Extremes(const std::vector<QPointF>& points, double x0, double x1, int cols) {
  std::map<int, std::pair<double, double>> m;
  for (const QPointF& p : points) {
    if (p.x() < x0 || p.x() > x1) continue;
    const int c = std::clamp(int(std::floor((p.x() - x0) / (x1 - x0) * cols)), 0, cols - 1);
    auto [it, fresh] = m.try_emplace(c, p.y(), p.y());
    if (!fresh) it->second = {std::min(it->second.first, p.y()), std::max(it->second.second, p.y())};
  }
  return m;
}

}  // namespace

class TestChartParts : public QObject {
  Q_OBJECT

 private slots:
  // Whatever order the points come in, each column shows its extremes, at
  // most two points, in x order, and the changed tail is reported right.
  void decimatorKeepsEachColumnsExtremes_data() {
    QTest::addColumn<std::vector<QPointF>>("points");
    QTest::addColumn<int>("columns");
    std::vector<QPointF> ramp, noisy, back, outside, many;
    for (int i = 0; i < 50; ++i) ramp.push_back(QPointF(i, i * 0.5));
    QRandomGenerator rng(5);
    for (int i = 0; i < 5000; ++i) noisy.push_back(QPointF(i * 0.02, 1000 + 20 * rng.generateDouble()));
    for (int i = 0; i < 40; ++i) back.push_back(QPointF(i < 30 ? i : i - 25, std::sin(i)));  // moved back
    for (int i = -5; i < 60; i += 5) outside.push_back(QPointF(i, i));
    for (int i = 0; i < 100000; ++i) many.push_back(QPointF(i, std::fmod(i * 7.3, 13.0)));
    QTest::newRow("fewer points than columns") << ramp << 100;
    QTest::newRow("many points a column") << noisy << 40;
    QTest::newRow("points back in earlier columns") << back << 10;
    QTest::newRow("points outside the frame") << outside << 8;
    QTest::newRow("100,000 points on 1,000 columns") << many << 1000;
  }

  void decimatorKeepsEachColumnsExtremes() {
    QFETCH(std::vector<QPointF>, points);
    QFETCH(int, columns);
    const double x0 = 0, x1 = 100;
    ColumnDecimator d;
    d.setFrame(x0, x1, columns);
    std::vector<QPointF> mirror;  // the output as a caller keeps it from the reported changes
    for (const QPointF& p : points) {
      const int from = d.add(p.x(), p.y());
      if (from < 0) {
        QVERIFY(p.x() < x0 || p.x() > x1);
        continue;
      }
      QVERIFY(from <= int(mirror.size()));
      mirror.resize(size_t(from));
      mirror.insert(mirror.end(), d.points().begin() + from, d.points().end());
    }
    const std::vector<QPointF>& out = d.points();
    QCOMPARE(mirror, out);
    QVERIFY(int(out.size()) <= 2 * columns);
    for (size_t i = 1; i < out.size(); ++i) QVERIFY(out[i - 1].x() <= out[i].x());
    // Every point drawn is a point given, and each column's extremes are drawn.
    const auto want = Extremes(points, x0, x1, columns);
    const auto got = Extremes(out, x0, x1, columns);
    QCOMPARE(got.size(), want.size());
    for (const auto& [col, ext] : want) {
      QCOMPARE(got.at(col).first, ext.first);
      QCOMPARE(got.at(col).second, ext.second);
    }
    QCOMPARE(d.missed(),
             std::any_of(points.begin(), points.end(), [](const QPointF& p) { return p.x() < 0 || p.x() > 100; }));
  }

  void histogramBins() {
    HistogramBins h;
    h.setRange(990, 1010, 20);
    QCOMPARE(h.binOf(990), 0);
    QCOMPARE(h.binOf(1009.999), 19);
    QCOMPARE(h.binOf(1010), -1);  // [lo, hi)
    QCOMPARE(h.binOf(989.9), -1);
    QVERIFY(h.add(1000.5));
    QVERIFY(h.add(1000.9));
    QVERIFY(h.add(995));
    QVERIFY(!h.add(1020));
    QCOMPARE(h.count(10), 2);
    QCOMPARE(h.count(5), 1);
    QCOMPARE(h.maxCount(), 2);
    QCOMPARE(h.total(), 3LL);
    QCOMPARE(h.edge(0), 990.0);
    QCOMPARE(h.edge(20), 1010.0);

    // Widening takes the value and at least doubles the range, on its side.
    auto [lo, hi] = HistogramBins::Widened(990, 1010, 1020);
    QCOMPARE(lo, 990.0);
    QVERIFY(hi > 1020 && hi - lo >= 40);
    std::tie(lo, hi) = HistogramBins::Widened(990, 1010, 900);
    QCOMPARE(hi, 1010.0);
    QVERIFY(lo <= 900 && hi - lo >= 40);

    // A first range around a two-sided band, a one-sided one, or a value.
    std::tie(lo, hi) = HistogramBins::InitialRange(990, 1010, kNoValue);
    QCOMPARE(lo, 980.0);
    QCOMPARE(hi, 1020.0);
    std::tie(lo, hi) = HistogramBins::InitialRange(100, kNoValue, 50);
    QVERIFY(lo < 100 && hi > 100);
    std::tie(lo, hi) = HistogramBins::InitialRange(kNoValue, kNoValue, 4.7e-9);
    QVERIFY(lo < 4.7e-9 && hi > 4.7e-9 && lo > 0);
  }

  // Axis ends at round numbers around the data, with a round step.
  void niceRange_data() {
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("niceLo");
    QTest::addColumn<double>("niceHi");
    QTest::addColumn<int>("ticks");
    QTest::newRow("kΩ around 1") << 0.956 << 1.036 << 0.94 << 1.04 << 6;
    QTest::newRow("counts") << 0.0 << 6519.35 << 0.0 << 8000.0 << 5;
    QTest::newRow("negative values") << -3.2 << 7.9 << -5.0 << 10.0 << 4;
    QTest::newRow("reversed") << 7.9 << -3.2 << -5.0 << 10.0 << 4;
    QTest::newRow("a single value") << 5.0 << 5.0 << 4.94 << 5.06 << 7;
  }

  void niceRange() {
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(double, niceLo);
    QFETCH(double, niceHi);
    QFETCH(int, ticks);
    const NiceRange r = NiceRangeOf(lo, hi);
    QVERIFY2(std::fabs(r.lo - niceLo) < 1e-9 && std::fabs(r.hi - niceHi) < 1e-9,
             qPrintable(QStringLiteral("%1..%2").arg(r.lo).arg(r.hi)));
    QCOMPARE(r.ticks, ticks);
  }

  // Tick labels as the value axes write them, over the range the window
  // gives the axis: short enough for the axis whatever the magnitude, and
  // no two neighbouring ticks alike.
  void axisLabels_data() {
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("kΩ around 1") << 0.956 << 1.036 << "%.2f"
                                 << "0.94"
                                 << "1.04";
    QTest::newRow("counts") << 0.0 << 6519.35 << "%.0f"
                            << "0"
                            << "8000";
    QTest::newRow("phase angle") << -89.2 << 88.7 << "%.0f"
                                 << "-100"
                                 << "100";
    QTest::newRow("Q of a part without ESR, one value") << 2.7e41 << 2.7e41 << "%.1e"
                                                        << "2.4e+41"
                                                        << "3.0e+41";
    QTest::newRow("Q of 1.069e37 wandering in its fifth digit") << 1.06891e37 << 1.06903e37 << "%.1e"
                                                                << "9.0e+36"
                                                                << "1.2e+37";
    QTest::newRow("Q of 10^5 and more") << 120000.0 << 380000.0 << "%.1e"
                                        << "1.0e+05"
                                        << "4.0e+05";
    QTest::newRow("negative and huge") << -3.1e12 << -1.2e12 << "%.1e"
                                       << "-3.5e+12"
                                       << "-1.0e+12";
    QTest::newRow("D below 10^-3") << 0.00012 << 0.00047 << "%.1e"
                                   << "1.0e-04"
                                   << "5.0e-04";
    QTest::newRow("a narrow band near 10^4") << 9999.91 << 9999.94 << "%.2f"
                                             << "9999.91"
                                             << "9999.94";
    // (The width wins: the panel's five digits never make such a range.)
    QTest::newRow("too narrow for the width") << 999.000001 << 999.000004 << "%.1e"
                                              << "1.0e+03"
                                              << "1.0e+03";
    QTest::newRow("nothing yet") << 0.0 << 0.0 << "%.1f"
                                 << "-1.0"
                                 << "1.0";
  }

  void axisLabels() {
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(QString, format);
    QFETCH(QString, first);
    QFETCH(QString, last);
    const auto [a, b] = ReadableRange(lo, hi);  // as the window sets an axis
    const NiceRange r = NiceRangeOf(a, b);
    QCOMPARE(AxisLabelFormat(r.lo, r.hi, r.ticks), format);
    const QByteArray f = format.toLatin1();
    QStringList labels;
    for (int i = 0; i < r.ticks; ++i)
      labels << QString::asprintf(f.constData(), r.lo + (r.hi - r.lo) * i / (r.ticks - 1));
    QCOMPARE(labels.first(), first);
    QCOMPARE(labels.last(), last);
    const bool resolvable = first != last;
    for (int i = 0; i < labels.size(); ++i) {
      QVERIFY2(labels[i].size() <= kAxisLabelMaxChars, qPrintable(labels[i]));
      if (resolvable && i > 0) QVERIFY2(labels[i] != labels[i - 1], qPrintable(labels.join(u' ')));
    }
  }

  // Where the chart window opens (frames, title bars included): the main
  // window 1024 x 719 centred as it opens itself, unless said otherwise.
  void chartPlacement_data() {
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("1024 x 768: as large as the screen, over the main window")
        << QRect(0, 0, 1024, 768) << QRect(0, 24, 1024, 719) << QRect(0, 8, 1024, 760);
    QTest::newRow("1400 x 1000: no gap wide enough, against the right edge")
        << QRect(0, 0, 1400, 1000) << QRect(188, 140, 1024, 719) << QRect(300, 140, 1100, 760);
    QTest::newRow("2560 x 1440: beside it, made narrower")
        << QRect(0, 0, 2560, 1440) << QRect(768, 360, 1024, 719) << QRect(1792, 360, 768, 760);
    QTest::newRow("3840 x 2160: beside it, full size")
        << QRect(0, 0, 3840, 2160) << QRect(1408, 720, 1024, 719) << QRect(2432, 720, 1100, 760);
    QTest::newRow("room on the left only")
        << QRect(0, 0, 2560, 1440) << QRect(1500, 100, 1024, 719) << QRect(400, 100, 1100, 760);
    QTest::newRow("main window partly off the screen, low down")
        << QRect(0, 0, 1920, 1080) << QRect(1500, 900, 1024, 719) << QRect(400, 320, 1100, 760);
    QTest::newRow("main window at the left edge")
        << QRect(0, 0, 1920, 1080) << QRect(0, 0, 1024, 719) << QRect(1024, 0, 896, 760);
    QTest::newRow("second screen, right of the first")
        << QRect(1920, 0, 1280, 1024) << QRect(2048, 152, 1024, 719) << QRect(2100, 152, 1100, 760);
    QTest::newRow("panel on top, screen lower than the window")
        << QRect(0, 40, 1024, 728) << QRect(0, 44, 1024, 719) << QRect(0, 40, 1024, 728);
    QTest::newRow("no main window: centred") << QRect(0, 0, 1920, 1080) << QRect() << QRect(410, 160, 1100, 760);
  }

  void chartPlacement() {
    QFETCH(QRect, area);
    QFETCH(QRect, main);
    QFETCH(QRect, expected);
    const QRect got = ChartPlacement(area, main, QSize(1100, 760), QSize(720, 0));
    QCOMPARE(got, expected);
    QVERIFY(area.contains(got));
  }

  // A kept geometry brought inside the screen it is shown on.
  void fitInside_data() {
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("already inside") << QRect(0, 0, 1920, 1080) << QRect(100, 50, 800, 600) << QRect(100, 50, 800, 600);
    QTest::newRow("larger than the screen now")
        << QRect(0, 0, 1024, 768) << QRect(500, 300, 1600, 1000) << QRect(0, 0, 1024, 768);
    QTest::newRow("on a screen that has gone")
        << QRect(0, 0, 1920, 1080) << QRect(3000, 200, 800, 600) << QRect(1120, 200, 800, 600);
    QTest::newRow("above and left of the area")
        << QRect(0, 40, 1920, 1040) << QRect(-500, -50, 800, 600) << QRect(0, 40, 800, 600);
  }

  void fitInside() {
    QFETCH(QRect, area);
    QFETCH(QRect, frame);
    QFETCH(QRect, expected);
    QCOMPARE(FitInside(area, frame), expected);
  }

  void axisPrefixes_data() {
    QTest::addColumn<double>("magnitude");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QString>("title");
    const int res = int(Quantity::Resistance), cap = int(Quantity::Capacitance), ind = int(Quantity::Inductance);
    QTest::newRow("20 MΩ") << 2e7 << res << 1e6 << "R, МОм";
    QTest::newRow("10.05 kΩ") << 10050.0 << res << 1e3 << "R, кОм";
    QTest::newRow("470 Ω") << 470.0 << res << 1.0 << "R, Ом";
    QTest::newRow("0.5 Ω") << 0.5 << res << 1e-3 << "R, мОм";
    QTest::newRow("100 µH") << 100e-6 << ind << 1e-6 << "R, мкГн";
    QTest::newRow("100 nF") << 1e-7 << cap << 1e-9 << "R, нФ";
    QTest::newRow("22 pF") << 22e-12 << cap << 1e-12 << "R, пФ";
    QTest::newRow("Q has no unit") << 56.0 << int(Quantity::QualityFactor) << 1.0 << "R";
    QTest::newRow("nothing yet") << 0.0 << res << 1.0 << "R, Ом";
  }

  void axisPrefixes() {
    QFETCH(double, magnitude);
    QFETCH(int, kind);
    QFETCH(double, factor);
    QFETCH(QString, title);
    const AxisScale s = ScaleFor(magnitude, Quantity(kind), Lexicons::russian());
    QCOMPARE(s.factor, factor);
    QCOMPARE(AxisTitle(QStringLiteral("R"), Quantity(kind), s, Lexicons::russian()), title);
  }
};

QTEST_GUILESS_MAIN(TestChartParts)
#include "test_chart_parts.moc"
