// The window over a Bluetooth LE link, through the fake radio: the connect
// button reaches the radio, the link's reports reach the button and the memo,
// notifications reach the panel and the panel's commands reach the meter's
// characteristic. The link's own table is tests/link/test_meter_link_ble.cpp.
#include <QtTest>

#include "controls.h"
#include "meter_frames.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::Control;
using zt::test::Lines;
using zt::test::WindowFixture;

namespace {

QByteArray Bytes(const Frame& f) { return QByteArray(reinterpret_cast<const char*>(f.data()), int(f.size())); }

}  // namespace

class TestWindowBle : public QObject {
  Q_OBJECT

 private slots:
  void connectThroughTheRadio() {
    WindowFixture fx;
    TForm1& f = fx.window();
    auto* b2 = Control<QPushButton>(f, "B2");
    auto* memo = Control<QPlainTextEdit>(f, "Memo1");
    QTest::mouseClick(b2, Qt::LeftButton);
    QCOMPARE(fx.ble.discoveryRequests, 1);
    QCOMPARE(b2->text(), QStringLiteral(" "));
    fx.ble.SeeDevice(QStringLiteral("ZT40B1"), QStringLiteral("meter"));
    fx.ble.AcceptConnection();
    QVERIFY(fx.link().linkUp());
    QCOMPARE(b2->text(), QStringLiteral("Отключить"));
    QCOMPARE(Lines(memo).last(), QStringLiteral("Подключено"));
    QVERIFY(!Control<QPushButton>(f, "SB4")->isChecked());

    // A frame from a ZT41 reaches the panel.
    fx.ble.Notify(Bytes(zt::test::MakeRlcFrame(100, 1, {0x43, 0x01, 0x01, 0x00}, 0x09)));
    QVERIFY(Control<QRadioButton>(f, "RB2")->isChecked());
    QVERIFY(Control(f, "Button3")->isHidden());
    QVERIFY(!Control<QLabel>(f, "L_prim_n")->text().trimmed().isEmpty());

    // The wake-up a moment later, and the panel's commands, go to the characteristic.
    QTRY_VERIFY_WITH_TIMEOUT(!Control(f, "SP5")->isHidden(), 2000);
    QTRY_COMPARE(fx.ble.writes.size(), 1);
    QCOMPARE(fx.ble.writes[0].size(), 8);
    QTRY_VERIFY(!fx.link().inputHeld());
    QTest::mouseClick(Control(f, "SP5"), Qt::LeftButton);
    QCOMPARE(fx.ble.writes.size(), 2);
    QCOMPARE(std::uint8_t(fx.ble.writes[1][0]) & 0xBF, int(kCmdPowerOff));

    QTest::mouseClick(b2, Qt::LeftButton);
    QVERIFY(!fx.link().linkUp());
    QCOMPARE(b2->text(), QStringLiteral("Подключить"));
    QCOMPARE(Lines(memo).last(), QStringLiteral("Отключено"));
    QVERIFY(!Control(f, "LangCombo1")->isHidden());
  }

  // A radio that refuses to scan: one line, and the button comes back.
  void refusedScan() {
    WindowFixture fx;
    fx.ble.nextDiscovery = BleRequest::Refused;
    auto* b2 = Control<QPushButton>(fx.window(), "B2");
    QTest::mouseClick(b2, Qt::LeftButton);
    QCOMPARE(Lines(Control<QPlainTextEdit>(fx.window(), "Memo1")),
             QStringList{QStringLiteral("Ошибка сканирования!!")});
    QCOMPARE(b2->text(), QStringLiteral("Подключить"));
    QTRY_VERIFY(b2->isEnabled());
  }
};

QTEST_MAIN(TestWindowBle)
#include "test_ble.moc"
