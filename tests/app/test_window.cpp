// The window as created: composition, initial states, size rules, and the
// frame path up to the display routines.
#include <QSignalSpy>
#include <QtTest>

#include "window_fixture.h"

using namespace zt;
using zt::test::WindowFixture;

namespace {

template <typename T>
T* Find(TForm1& f, const char* name) {
  auto* w = f.findChild<T*>(QString::fromLatin1(name));
  if (!w) qFatal("no control %s", name);
  return w;
}

// A frame with a plain checksum.
Frame MakeFrame(std::uint8_t status, std::uint8_t b0 = 0, std::uint8_t b1 = 0, std::uint8_t b2 = 0) {
  Frame f{};
  f[0] = b0;
  f[1] = b1;
  f[2] = b2;
  f[3] = 0x3F;
  f[15] = status;
  f[17] = kFrameTerminator;
  f[16] = FrameSum(f);
  return f;
}

}  // namespace

class TestWindow : public QObject {
  Q_OBJECT

 private slots:
  void initialState() {
    WindowFixture fx;
    TForm1& f = *fx.form;
    QVERIFY(!Find<QFrame>(f, "Panel_RLCD")->isHidden());
    QVERIFY(Find<QFrame>(f, "Panel_RD")->isHidden());
    QVERIFY(Find<QFrame>(f, "Panel_U")->isHidden());
    for (const char* n : {"P_prim_RLC", "P_sec_RLC", "P_ser_per", "P_level_RLC", "P_freq_RLC", "P_Source_RLC", "P16"})
      QVERIFY2(Find<QWidget>(f, n)->isHidden(), n);
    for (const char* n : {"JP5", "SP5", "BB2"}) QVERIFY2(Find<QWidget>(f, n)->isHidden(), n);
    QVERIFY(!Find<QWidget>(f, "SP1")->isEnabled());
    QVERIFY(!Find<QWidget>(f, "SB3")->isEnabled());
    QVERIFY(Find<QPushButton>(f, "SB4")->isChecked());
    QVERIFY(Find<QPushButton>(f, "SP4")->isChecked());
    QCOMPARE(Find<QComboBox>(f, "CBox10")->currentIndex(), 0);
    QCOMPARE(Find<QSpinBox>(f, "SE1")->value(), 1);
    QCOMPARE(Find<QComboBox>(f, "CB1")->currentText(), QStringLiteral("1с"));
    QCOMPARE(Find<QPlainTextEdit>(f, "Memo1")->toPlainText(), QString());
    QCOMPARE(f.windowTitle(), QStringLiteral("Регистратор данных для RLC метров ЗТ версия 1.6"));
    QCOMPARE(Find<QLabel>(f, "JvP1")->text(), QStringLiteral("Данные эталона"));
    QCOMPARE(Find<QLabel>(f, "JvP11")->text(), QStringLiteral("Запись данных"));
    QVERIFY(Find<QTimer>(f, "T3")->isActive());
    for (const char* n : {"T2", "T4", "T33", "T34", "T50", "Timer_TX"}) QVERIFY2(!Find<QTimer>(f, n)->isActive(), n);
    // The log grid: ten columns.
    QCOMPARE(Find<QTableView>(f, "SG")->model()->columnCount(), 10);
  }

  // The client area is 1008 wide whatever is asked (1024 outside with the
  // side borders of the system it was designed on), at least 600 high, and
  // 1008 x 680 at design size: the left column and the front panel fill it.
  void sizeRules() {
    WindowFixture fx;
    TForm1& f = *fx.form;
    QCOMPARE(f.size(), QSize(1008, 680));
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QCOMPARE(f.Panel3->width() + f.P5->width(), 1008);
    QCOMPARE(f.P5->width(), 799);
    f.resize(800, 500);
    QCoreApplication::processEvents();
    QCOMPARE(f.width(), 1008);
    QCOMPARE(f.height(), 600);
    f.resize(1300, 900);
    QCoreApplication::processEvents();
    QCOMPARE(f.width(), 1008);
    QCOMPARE(f.height(), 900);
  }

  void frameStatus_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("b0");
    QTest::addColumn<QString>("jp5");
    QTest::addColumn<bool>("t34");
    QTest::addColumn<bool>("uVisible");
    QTest::newRow("awake ZT40") << 0x01 << 0x00 << QString() << false << true;
    QTest::newRow("economy") << 0x81 << 0x00 << QStringLiteral("Экон. 300сек") << false << true;
    QTest::newRow("sleep") << 0x81 << 0x01 << QStringLiteral("Сон 300сек") << true << true;
    QTest::newRow("ZT41 hides U") << 0x09 << 0x00 << QString() << false << false;
  }
  void frameStatus() {
    QFETCH(int, status);
    QFETCH(int, b0);
    QFETCH(QString, jp5);
    QFETCH(bool, t34);
    QFETCH(bool, uVisible);
    WindowFixture fx;
    TForm1& f = *fx.form;
    f.ProcessFrame(MakeFrame(std::uint8_t(status), std::uint8_t(b0), 0x2C, 0x01));
    QCOMPARE(!f.JP5->isHidden(), !jp5.isEmpty());
    if (!jp5.isEmpty()) QCOMPARE(f.JP5->text(), jp5);
    QCOMPARE(f.T34->isActive(), t34);
    QCOMPARE(!f.Button3->isHidden(), uVisible);
  }

  void rejectedFrameChangesNothing() {
    WindowFixture fx;
    TForm1& f = *fx.form;
    Frame fr = MakeFrame(0x89);  // would select ZT41
    fr[16] ^= 0x01;
    f.ProcessFrame(fr);
    QCOMPARE(int(f.MeterModel), 0);
    QVERIFY(!f.Button3->isHidden());
  }

  void modelFrameTrimsLists() {
    WindowFixture fx;
    TForm1& f = *fx.form;
    f.SB4->setChecked(false);
    QCOMPARE(f.ListBox_freq_RLC->count(), 15);
    f.ProcessFrame(MakeFrame(0x09));  // ZT41, RLC mode
    QCOMPARE(f.ListBox_freq_RLC->count(), 7);
    QCOMPARE(f.ListBox_Level_RLC->count(), 4);
    QVERIFY(f.RB2->isChecked());
    QVERIFY(f.T33->isActive());
    f.ProcessFrame(MakeFrame(0x11));  // ZT42
    QCOMPARE(f.ListBox_freq_RLC->count(), 6);
    QCOMPARE(f.ListBox_Level_RLC->count(), 3);
  }

  void profileEditingHoldsThePanel() {
    WindowFixture fx;
    TForm1& f = *fx.form;
    QVERIFY(f.SB4->isChecked());
    f.ProcessFrame(MakeFrame(0x09));  // ZT41, brightness off
    QCOMPARE(int(f.MeterModel), 1);
    QVERIFY(!f.SP4->isChecked());
    QVERIFY(f.Button3->isHidden());
    QVERIFY(!f.T33->isActive());  // nothing displayed, the no-data timer not restarted
  }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
