// Where the window appears: centred on its screen when first shown, on
// screens too small for the platform to centre it by itself.
//
// Runs on the offscreen platform with two screens of its own: 1280 x 720 and,
// to its right, 1600 x 740. On both the window is taller than the platform
// centres by itself (8/9 of the screen's height), so the placement seen is
// the window's.
#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "window_fixture.h"

using namespace zt;
using zt::test::WindowFixture;

class TestGeometry : public QObject {
  Q_OBJECT

 private slots:
  void centredPosition_data() {
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("full HD, design size") << QSize(1024, 719) << QRect(0, 0, 1920, 1040) << QPoint(448, 160);
    QTest::newRow("laptop") << QSize(1024, 719) << QRect(0, 0, 1366, 728) << QPoint(171, 4);
    QTest::newRow("second screen") << QSize(1024, 719) << QRect(1920, 0, 1280, 1024) << QPoint(2048, 152);
    QTest::newRow("taskbar on top") << QSize(1024, 719) << QRect(0, 40, 1920, 1040) << QPoint(448, 200);
    QTest::newRow("larger than the screen: title bar stays on it")
        << QSize(1024, 719) << QRect(0, 0, 800, 600) << QPoint(0, 0);
    QTest::newRow("wider only") << QSize(1024, 500) << QRect(100, 0, 1000, 700) << QPoint(100, 100);
  }
  void centredPosition() {
    QFETCH(QSize, frame);
    QFETCH(QRect, area);
    QFETCH(QPoint, expected);
    QCOMPARE(CentredPosition(frame, area), expected);
  }

  void centredWhenFirstShown_data() {
    QTest::addColumn<int>("screen");
    QTest::newRow("1280 x 720") << 0;
    QTest::newRow("1600 x 740, right of the first") << 1;
  }
  void centredWhenFirstShown() {
    QFETCH(int, screen);
    QCOMPARE(QGuiApplication::screens().size(), 2);
    QScreen* s = QGuiApplication::screens().at(screen);
    WindowFixture fx;
    TForm1& f = fx.window();
    f.winId();
    f.windowHandle()->setScreen(s);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    const QRect area = s->availableGeometry();
    const QRect frame = f.frameGeometry();
    QVERIFY2(
        area.contains(frame),
        qPrintable(QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
    QVERIFY(std::abs((frame.left() - area.left()) - (area.right() - frame.right())) <= 1);
    QVERIFY(std::abs((frame.top() - area.top()) - (area.bottom() - frame.bottom())) <= 1);

    // Moved by the operator, it stays where it was put when shown again.
    f.hide();
    f.move(area.topLeft() + QPoint(10, 20));
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QCOMPARE(f.frameGeometry().topLeft(), area.topLeft() + QPoint(10, 20));
  }
};

int main(int argc, char** argv) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("screens.json"));
  QFile f(config);
  if (!f.open(QIODevice::WriteOnly)) return 1;
  f.write(R"({"screens": [
    {"name": "small", "x": 0, "y": 0, "width": 1280, "height": 720, "logicalDpi": 96},
    {"name": "wide", "x": 1280, "y": 0, "width": 1600, "height": 740, "logicalDpi": 96}]})");
  f.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
  QApplication app(argc, argv);
  TestGeometry t;
  return QTest::qExec(&t, argc, argv);
}

#include "test_geometry.moc"
