// Where the chart window opens over the main window, on screens of
// 1024 x 768, 1400 x 1000 and 2560 x 1440 side by side (the offscreen
// platform with screens of its own): always inside the screen of the main
// window, scaled down where the screen is smaller, beside the main window
// where there is room; and a geometry kept from an earlier run that no
// longer fits is brought inside. The rule itself is tabled in
// tests/chart/test_chart_parts.cpp.
#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "chart_window.h"
#include "controls.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::Control;
using zt::test::WindowFixture;

namespace {

QString Text(const QRect& r) {
  return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The screens by size, whatever order the platform lists them in.
QScreen* Screen(int width) {
  for (QScreen* s : QGuiApplication::screens())
    if (s->geometry().width() == width) return s;
  return nullptr;
}

// The main window shown on the screen that wide, then the chart button clicked.
ChartWindow* OpenOn(WindowFixture& fx, int width) {
  QScreen* s = Screen(width);
  if (!s) return nullptr;
  TForm1& f = fx.window();
  f.winId();
  f.windowHandle()->setScreen(s);
  f.show();
  if (!QTest::qWaitForWindowExposed(&f)) return nullptr;
  QTest::mouseClick(Control(f, "BChart"), Qt::LeftButton);
  auto* w = f.findChild<ChartWindow*>(QStringLiteral("ChartWindow"));
  if (w && !QTest::qWaitForWindowExposed(w)) return nullptr;
  return w;
}

}  // namespace

class TestChartPlacement : public QObject {
  Q_OBJECT

 private slots:
  void opensInsideAndBeside_data() {
    QTest::addColumn<int>("screen");
    QTest::newRow("1024 x 768") << 1024;
    QTest::newRow("1400 x 1000") << 1400;
    QTest::newRow("2560 x 1440") << 2560;
  }
  void opensInsideAndBeside() {
    QFETCH(int, screen);
    QCOMPARE(QGuiApplication::screens().size(), 3);
    WindowFixture fx;
    ChartWindow* w = OpenOn(fx, screen);
    QVERIFY(w);
    const QRect area = Screen(screen)->availableGeometry();
    const QRect main = fx.window().frameGeometry();
    const QRect chart = w->frameGeometry();
    QVERIFY2(area.contains(chart), qPrintable(Text(chart) + QStringLiteral(" on ") + Text(area)));
    switch (screen) {
      case 1024:  // scaled down to the screen: every control within reach
        QCOMPARE(chart.width(), area.width());
        QVERIFY(chart.height() <= area.height());
        break;
      case 1400:  // no room beside the main window: full size, against the edge
        QCOMPARE(w->size(), QSize(1100, 760));
        QCOMPARE(chart.right(), area.right());
        break;
      case 2560:  // beside the main window, its top level with the main window's
        QVERIFY2(!chart.intersects(main), qPrintable(Text(chart) + QStringLiteral(" over ") + Text(main)));
        QCOMPARE(chart.top(), main.top());
        break;
    }
    // Closed, moved off by the operator's screen change, opened again: back inside.
    w->close();
    w->move(area.topLeft() + QPoint(area.width() + 5000, 0));
    QTest::mouseClick(Control(fx.window(), "BChart"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY2(area.contains(w->frameGeometry()), qPrintable(Text(w->frameGeometry())));
  }

  // chart.ini written on a larger screen: on 1024 x 768 the window comes
  // up whole on the screen.
  void keptGeometryBroughtInside() {
    WindowFixture fx;
    {
      QWidget big;
      big.setGeometry(100, 50, 1600, 1000);  // its centre on the 1024 x 768 screen
      QSettings state(fx.dataDir.filePath(QStringLiteral("chart.ini")), QSettings::IniFormat);
      state.setValue(QStringLiteral("geometry"), big.saveGeometry());
    }
    ChartWindow* w = OpenOn(fx, 1024);
    QVERIFY(w);
    const QRect area = Screen(1024)->availableGeometry();
    QVERIFY2(area.contains(w->frameGeometry()), qPrintable(Text(w->frameGeometry())));
  }
};

int main(int argc, char** argv) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("screens.json"));
  QFile f(config);
  if (!f.open(QIODevice::WriteOnly)) return 1;
  f.write(R"({"screens": [
    {"name": "xga", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96},
    {"name": "mid", "x": 1024, "y": 0, "width": 1400, "height": 1000, "logicalDpi": 96},
    {"name": "qhd", "x": 2424, "y": 0, "width": 2560, "height": 1440, "logicalDpi": 96}]})");
  f.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
  QApplication app(argc, argv);
  TestChartPlacement t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_chart_placement.moc"
