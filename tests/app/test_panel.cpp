// The front panel in the window: menus and function buttons against a fake
// transport, the display modes fed through ProcessFrame, and the layout of
// the display panels at the window's minimum size.
#include <QtTest>

#include "meter_model.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::WindowFixture;

namespace {

class FakeTransport : public Transport {
 public:
  QList<QByteArray> writes;
  bool isOpen() const override { return true; }
  qint64 write(const QByteArray& bytes) override {
    writes.append(bytes);
    return bytes.size();
  }
};

// A window with a serial link up, measuring (profile editing off).
struct LinkedWindow {
  WindowFixture fx;
  FakeTransport port;
  TForm1& f;
  LinkedWindow() : f(*fx.form) {
    f.resize(1024, 600);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    f.LinkUp = 1;
    f.PortQueryFound = 1;
    f.serialTransport = &port;
    f.SB4->setChecked(false);
  }
  void setModel(std::uint8_t m) {
    f.MeterModel = m;
    f.ApplyModel();
  }
  QString sent() const { return port.writes.isEmpty() ? QString() : QString(port.writes.last().toHex(' ')); }
};

void PutFloat(Frame& fr, std::size_t at, float v) {
  const auto b = EncodeFrameFloat(v);
  std::copy(b.begin(), b.end(), fr.begin() + at);
}

Frame MakeFrame(float a, float b, float c, std::uint8_t fn, std::uint8_t status) {
  Frame fr{};
  PutFloat(fr, 0, a);
  PutFloat(fr, 4, b);
  PutFloat(fr, 8, c);
  fr[14] = fn;
  fr[15] = status;
  fr[17] = kFrameTerminator;
  fr[16] = FrameSum(fr);
  return fr;
}

Frame MakeRlcFrame(float R, float X, std::array<std::uint8_t, 4> settings, std::uint8_t status = 0x01) {
  Frame fr = MakeFrame(R, X, 0, 0, status);
  std::copy(settings.begin(), settings.end(), fr.begin() + 8);
  fr[16] = FrameSum(fr);
  return fr;
}

void ClickLabel(QLabel* l) { QTest::mouseClick(l, Qt::LeftButton, {}, l->rect().center()); }

void ClickItem(QListWidget* list, int row) {
  QVERIFY2(list->isVisible(), qPrintable(list->objectName()));
  QVERIFY(row < list->count());
  list->scrollToItem(list->item(row));
  const QRect r = list->visualItemRect(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

void Enter(QWidget* w) {
  QEnterEvent e(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPointF(1, 1)));
  QCoreApplication::sendEvent(w, &e);
}
void Leave(QWidget* w) {
  QEvent e(QEvent::Leave);
  QCoreApplication::sendEvent(w, &e);
}

// The simulated meter's core behind the serial transport: commands reach it
// at once, its frames are handed to the window by the test.
class SimTransport : public Transport {
 public:
  explicit SimTransport(sim::MeterModel& m) : meter(m) {}
  sim::MeterModel& meter;
  qint64 nowMs = 0;
  bool isOpen() const override { return true; }
  qint64 write(const QByteArray& bytes) override {
    meter.receive(bytes, nowMs);
    return bytes.size();
  }
};

Frame ToFrame(const sim::FrameBytes& b) {
  Frame f{};
  std::copy(b.begin(), b.end(), f.begin());
  return f;
}

struct MenuUi {
  QLabel* opener;
  QFrame* panel;
  QListWidget* list;
};
MenuUi MenuOf(TForm1& f, const QString& name) {
  if (name == "freq") return {f.L_freq_RLC, f.P_freq_RLC, f.ListBox_freq_RLC};
  if (name == "level") return {f.L_Level_RLC, f.P_level_RLC, f.ListBox_Level_RLC};
  if (name == "prim") return {f.L_Prim_RLC, f.P_prim_RLC, f.ListBox_prim_RLC};
  if (name == "sec") return {f.L_Sec_RLC, f.P_sec_RLC, f.ListBox_sec_RLC};
  if (name == "circuit") return {f.L_SER_PER, f.P_ser_per, f.ListBox_ser_per};
  if (name == "source") return {f.L_Source_RLC, f.P_Source_RLC, f.ListBox_Source_RLC};
  qFatal("no menu %s", qPrintable(name));
}

// Labels that must show their whole text.
QList<QLabel*> DisplayLabels(TForm1& f) {
  return {f.L_prim_n,   f.L_sec_n,     f.L_righ1,      f.L_righ2, f.L_righ3, f.L_righ4,
          f.L_freq_RLC, f.L_Level_RLC, f.L_Source_RLC, f.RD_Prim, f.RD_V,    f.RD_J,
          f.RD_J1,      f.U_Prim,      f.U_vrm,        f.U_pp,    f.JP5};
}

}  // namespace

class TestPanel : public QObject {
  Q_OBJECT

 private slots:
  void menuChoiceSends_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("label");  // objectName=text
    // Defaults are 01 24 80 21 0A 01; each choice changes its own bits.
    QTest::newRow("auto frequency") << 0 << "freq" << 0 << "01 24 80 21 0a 01"
                                    << "L_freq_RLC=A10кГц";
    QTest::newRow("ZT41 frequency item 6") << 1 << "freq" << 6 << "01 06 80 21 0a 01"
                                           << "L_freq_RLC=250кГц";
    QTest::newRow("ZT40 150 kHz") << 0 << "freq" << 14 << "01 0e 80 21 0a 01"
                                  << "L_freq_RLC=150кГц";
    QTest::newRow("ZT42 level item 2") << 2 << "level" << 2 << "01 24 80 22 0a 01"
                                       << "L_Level_RLC=0.1Вскз";
    QTest::newRow("ZT40 level 0.1") << 0 << "level" << 3 << "01 24 80 23 0a 01"
                                    << "L_Level_RLC=0.1Вскз";
    QTest::newRow("primary R") << 0 << "prim" << 1 << "01 24 81 21 0a 01"
                               << "L_Prim_RLC=R";
    QTest::newRow("secondary Q") << 0 << "sec" << 2 << "01 24 a0 21 0a 01"
                                 << "L_Sec_RLC=Q";
    QTest::newRow("series circuit") << 0 << "circuit" << 2 << "01 a4 80 21 0a 01"
                                    << "L_SER_PER1=S";
    QTest::newRow("parallel circuit") << 0 << "circuit" << 1 << "01 64 80 21 0a 01"
                                      << "L_SER_PER=P";
    QTest::newRow("ZT41 source 1.6 k") << 1 << "source" << 2 << "01 24 80 21 0a 02"
                                       << "L_Source_RLC=1.6кОм";
    QTest::newRow("ZT41 automatic source") << 1 << "source" << 0 << "01 24 80 21 0a 00"
                                           << "L_Source_RLC=A";
  }
  void menuChoiceSends() {
    QFETCH(int, model);
    QFETCH(QString, menu);
    QFETCH(int, item);
    QFETCH(QString, command);
    QFETCH(QString, label);
    LinkedWindow w;
    TForm1& f = w.f;
    w.setModel(std::uint8_t(model));
    // A frequency chosen earlier must not survive the automatic choice.
    f.meterSettings.FreqCode = 9;
    f.meterSettings.FreqAuto = menu == "freq" ? 0 : 1;
    if (menu != "freq") f.meterSettings.FreqCode = 4;

    const MenuUi m = MenuOf(f, menu);
    ClickLabel(m.opener);
    QVERIFY(m.panel->isVisible());
    QCOMPARE(f.SettingsBusy, 1);
    ClickItem(m.list, item);
    QCOMPARE(w.port.writes.size(), 1);
    QCOMPARE(w.sent(), command);
    const QStringList kv = label.split('=');
    QCOMPARE(f.findChild<QLabel*>(kv[0])->text(), kv[1]);
    QVERIFY(m.panel->isVisible());  // a choice does not close the menu
    QCOMPARE(f.SettingsBusy, 1);
    QVERIFY(f.Timer_TX->isActive());
  }

  void simulatedMeterTakesFrequency() {
    sim::Options o;
    o.mode = sim::LinkMode::Bridge;
    o.dut = QStringLiteral("C=100n,esr=0.5");
    sim::MeterModel meter(o, 0);
    SimTransport link(meter);
    LinkedWindow w;
    TForm1& f = w.f;
    f.serialTransport = &link;
    // Each pick reaches the meter, and the meter's next frame shows it.
    const std::pair<int, QString> picks[] = {{1, QStringLiteral(" 100Гц")}, {3, QStringLiteral(" 1кГц")}};
    qint64 t = 1000;
    for (const auto& [item, shown] : picks) {
      f.ProcessFrame(ToFrame(meter.buildFrame(t)));
      ClickLabel(f.L_freq_RLC);
      link.nowMs = t + 100;
      ClickItem(f.ListBox_freq_RLC, item);
      meter.advance(t + 200);
      QCOMPARE(int(meter.settings().freqCode), item);
      f.ProcessFrame(ToFrame(meter.buildFrame(t + 1000)));
      QCOMPARE(f.L_freq_RLC->text(), shown);
      t += 2000;
    }
    QCOMPARE(f.TestFreqHz, 1000);
    QCOMPARE(f.L_Prim_RLC->text(), QStringLiteral("C"));
  }

  void choiceStoresModelLimits() {
    LinkedWindow w;
    w.setModel(kZT41);
    ClickLabel(w.f.L_freq_RLC);
    ClickItem(w.f.ListBox_freq_RLC, 6);
    QCOMPARE(w.f.meterSettings.FreqCode, std::uint8_t(6));
    QCOMPARE(w.f.meterSettings.FreqAuto, std::uint8_t(0));
    w.setModel(kZT42);
    ClickLabel(w.f.L_Level_RLC);
    QCOMPARE(w.f.ListBox_Level_RLC->count(), 3);
    ClickItem(w.f.ListBox_Level_RLC, 2);
    QCOMPARE(w.f.meterSettings.LevelCode, std::uint8_t(2));
    QCOMPARE(w.f.meterSettings.LevelAuto, std::uint8_t(0));
  }

  void nothingSentYetPanelChanges_data() {
    QTest::addColumn<bool>("profileEditing");
    QTest::addColumn<bool>("linkUp");
    QTest::newRow("profile editing") << true << true;
    QTest::newRow("no link") << false << false;
  }
  void nothingSentYetPanelChanges() {
    QFETCH(bool, profileEditing);
    QFETCH(bool, linkUp);
    LinkedWindow w;
    TForm1& f = w.f;
    f.SB4->setChecked(profileEditing);
    f.LinkUp = linkUp ? 1 : 0;
    // The meter last said: 1 kHz, R primary, series, level 1.
    const Frame frame = MakeRlcFrame(100, 1, {0x43, 0x01, 0x01, 0x00});
    f.SB4->setChecked(false);
    f.ProcessFrame(frame);
    f.SB4->setChecked(profileEditing);
    QCOMPARE(f.L_freq_RLC->text(), QStringLiteral(" 1кГц"));

    ClickLabel(f.L_freq_RLC);
    ClickItem(f.ListBox_freq_RLC, 5);
    ClickLabel(f.L_Prim_RLC);
    ClickItem(f.ListBox_prim_RLC, 3);
    QVERIFY(w.port.writes.isEmpty());
    QCOMPARE(f.L_freq_RLC->text(), QStringLiteral("100кГц"));
    QCOMPARE(f.L_Prim_RLC->text(), QStringLiteral("L"));
    QCOMPARE(f.meterSettings.FreqCode, std::uint8_t(5));
    QCOMPARE(f.meterSettings.PrimaryCode, std::uint8_t(3));

    // The next displayed frame puts back what the meter reports.
    f.SB4->setChecked(false);
    f.ProcessFrame(frame);
    QCOMPARE(f.L_freq_RLC->text(), QStringLiteral(" 1кГц"));
    QCOMPARE(f.L_Prim_RLC->text(), QStringLiteral("R"));
    QCOMPARE(f.meterSettings.FreqCode, std::uint8_t(3));
    QCOMPARE(f.ListBox_freq_RLC->currentRow(), 3);
  }

  // A change that goes nowhere (no link, or a profile being edited) must
  // not leave frames shut out: the next frame still updates the model.
  void nothingSentLetsFramesIn_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("profileEditing");  // else: no link
    for (const char* a : {"sound", "brightness", "defaults", "menu pick", "interval"}) {
      QTest::addRow("%s, no link", a) << QString::fromLatin1(a) << false;
      QTest::addRow("%s, profile editing", a) << QString::fromLatin1(a) << true;
    }
    QTest::addRow("hold, no link") << "hold" << false;  // disabled while editing
  }
  void nothingSentLetsFramesIn() {
    QFETCH(QString, action);
    QFETCH(bool, profileEditing);
    LinkedWindow w;
    TForm1& f = w.f;
    if (profileEditing) {
      f.SB4->setChecked(true);
      f.SB4Click();
    } else {
      f.LinkUp = 0;
    }
    if (action == "sound") QTest::mouseClick(f.SP2, Qt::LeftButton);
    if (action == "brightness") QTest::mouseClick(f.SP4, Qt::LeftButton);
    if (action == "hold") QTest::mouseClick(f.SP3, Qt::LeftButton);
    if (action == "defaults") QTest::mouseClick(f.SBe1, Qt::LeftButton);
    if (action == "menu pick") {
      ClickLabel(f.L_Level_RLC);
      ClickItem(f.ListBox_Level_RLC, 2);
      QVERIFY(f.P_level_RLC->isVisible());
    }
    if (action == "interval") {
      f.CB1->showPopup();
      f.CB1->setCurrentIndex(2);
      emit f.CB1->activated(2);
      f.CB1->hidePopup();
      QCoreApplication::processEvents();
    }
    QVERIFY(w.port.writes.isEmpty());
    QCOMPARE(f.SettingsBusy, 0);

    QCOMPARE(f.MeterModel, std::uint8_t(kZT40));
    const Frame zt41 = MakeRlcFrame(100, 1, {0x43, 0x01, 0x01, 0x00}, 0x09);
    f.ComPortRxChar(QByteArray(reinterpret_cast<const char*>(zt41.data()), int(zt41.size())));
    QCOMPARE(f.MeterModel, std::uint8_t(kZT41));
    QVERIFY(f.RB2->isChecked());
  }

  // An earlier command still in flight keeps its 50 ms guard.
  void nothingSentKeepsAPendingGuard() {
    LinkedWindow w;
    TForm1& f = w.f;
    QTest::mouseClick(f.SP2, Qt::LeftButton);
    QCOMPARE(w.port.writes.size(), 1);
    f.LinkUp = 0;
    QTest::mouseClick(f.SP2, Qt::LeftButton);
    QCOMPARE(w.port.writes.size(), 1);
    QCOMPARE(f.SettingsBusy, 1);
    QTRY_COMPARE(f.SettingsBusy, 0);  // Timer_TX
  }

  // Only a left click on a label opens its menu: pressed on the label and
  // released over it. The model chooser opens from the status memo the same way.
  void menusOpenOnLeftClickOnly_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("pressOnIt");  // else pressed elsewhere
    QTest::addColumn<bool>("releaseOverIt");
    QTest::addColumn<bool>("opens");
    QTest::newRow("left click") << int(Qt::LeftButton) << true << true << true;
    QTest::newRow("right click") << int(Qt::RightButton) << true << true << false;
    QTest::newRow("middle click") << int(Qt::MiddleButton) << true << true << false;
    QTest::newRow("left press dragged off") << int(Qt::LeftButton) << true << false << false;
    QTest::newRow("left release without a press on it") << int(Qt::LeftButton) << false << true << false;
  }
  void menusOpenOnLeftClickOnly() {
    QFETCH(int, button);
    QFETCH(bool, pressOnIt);
    QFETCH(bool, releaseOverIt);
    QFETCH(bool, opens);
    LinkedWindow w;
    TForm1& f = w.f;
    const std::pair<QWidget*, QWidget*> openers[] = {{f.L_freq_RLC, f.P_freq_RLC},
                                                     {f.L_Sec_RLC, f.P_sec_RLC},
                                                     {f.L_RLC_avto, f.P_prim_RLC},
                                                     {f.L_SER_PER1, f.P_ser_per},
                                                     {f.Memo1->viewport(), f.P16}};
    const auto b = Qt::MouseButton(button);
    for (const auto& [opener, menu] : openers) {
      if (pressOnIt)
        QTest::mousePress(opener, b, {}, opener->rect().center());
      else
        QTest::mousePress(f.Panel_RLCD, b, {}, QPoint(300, 5));
      const QPoint off(opener->width() + 30, opener->height() + 30);
      QTest::mouseRelease(opener, b, {}, releaseOverIt ? opener->rect().center() : off);
      QVERIFY2(menu->isVisible() == opens, qPrintable(opener->objectName()));
      QCOMPARE(f.SettingsBusy, opens && menu != f.P16 ? 1 : 0);
      f.Panel_RLCDMouseEnter();  // closes the menus
      f.P16MouseLeave();
    }
  }

  void buttons_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("brightnessDown");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("command");  // empty: nothing sent
    QTest::newRow("defaults") << 0 << true << "SBe1"
                              << "01 24 80 21 0a 01";
    QTest::newRow("RD, brightness up") << 0 << false << "Button1"
                                       << "c2 01 01 01 0a 01";
    QTest::newRow("RD, brightness down") << 0 << true << "Button1"
                                         << "82 01 01 01 0a 01";
    QTest::newRow("RLCD") << 2 << true << "Button2"
                          << "81 01 01 01 0a 01";
    QTest::newRow("U on ZT40") << 0 << true << "Button3"
                               << "83 01 01 01 0a 01";
    QTest::newRow("U on ZT42") << 2 << true << "Button3"
                               << "83 01 01 01 0a 01";
    QTest::newRow("U on ZT41") << 1 << true << "Button3"
                               << "";
    QTest::newRow("power off") << 0 << true << "SP5"
                               << "89 01 01 01 0a 01";
    QTest::newRow("sound off") << 0 << true << "SP2"
                               << "01 24 00 21 0a 01";
    QTest::newRow("hold") << 0 << true << "SP3"
                          << "01 24 80 a1 0a 01";
    QTest::newRow("brightness released") << 0 << true << "SP4"
                                         << "41 24 80 21 0a 01";
  }
  void buttons() {
    QFETCH(int, model);
    QFETCH(bool, brightnessDown);
    QFETCH(QString, button);
    QFETCH(QString, command);
    LinkedWindow w;
    TForm1& f = w.f;
    w.setModel(std::uint8_t(model));
    f.SP4->setChecked(brightnessDown);
    f.SP5->show();
    f.Button3->show();  // "U" must do nothing on ZT41 even when visible
    if (button == "SBe1") {
      // Something other than the defaults, so the button has work to do.
      f.meterSettings.FreqAuto = 0;
      f.meterSettings.FreqCode = 1;
      f.meterSettings.Sound = 0;
      f.L_freq_RLC->setText(QStringLiteral("100Гц"));
    }
    QTest::mouseClick(f.findChild<QPushButton*>(button), Qt::LeftButton);
    QCOMPARE(w.sent(), command);
    QCOMPARE(w.port.writes.size(), command.isEmpty() ? 0 : 1);
    if (button == "SBe1") QCOMPARE(f.L_freq_RLC->text(), QStringLiteral("A10кГц"));
    if (button == "SP3") {
      QCOMPARE(f.meterSettings.Hold, std::uint8_t(1));
      QVERIFY(!f.SP1->isEnabled());
    }
  }

  void profileEditingToggle() {
    LinkedWindow w;
    TForm1& f = w.f;
    QPalette red = f.Panel_RLCD->palette();
    red.setColor(QPalette::Window, Qt::red);
    f.Panel_RLCD->setPalette(red);
    QTest::mouseClick(f.SB4, Qt::LeftButton);  // down: profile editing
    QVERIFY(f.SB4->isChecked());
    QVERIFY(w.port.writes.isEmpty());
    QVERIFY(!f.SP3->isEnabled());
    QVERIFY(!f.SP1->isEnabled());
    QVERIFY(f.Button_Add->isEnabled() && f.Button_DEL->isEnabled() && f.BB1->isEnabled());
    QVERIFY(f.Panel_RLCD->palette().color(QPalette::Window) != QColor(Qt::red));
    // Hold from the panel cannot enable recording while editing.
    f.meterSettings.Hold = 0;
    f.ApplySettingsToPanel(f.meterSettings);
    QVERIFY(!f.SP1->isEnabled());

    QTest::mouseClick(f.SB4, Qt::LeftButton);  // up: measuring, the meter gets the settings
    QCOMPARE(w.sent(), QStringLiteral("01 24 80 21 0a 01"));
    QVERIFY(f.SP3->isEnabled());
    QVERIFY(f.SP1->isEnabled());
    QVERIFY(!f.Button_Add->isEnabled() && !f.Button_DEL->isEnabled() && !f.BB1->isEnabled());

    f.LinkUp = 0;
    w.port.writes.clear();
    QTest::mouseClick(f.SB4, Qt::LeftButton);
    QTest::mouseClick(f.SB4, Qt::LeftButton);
    QVERIFY(w.port.writes.isEmpty());  // releasing sends only with a link up
  }

  void menusClose() {
    LinkedWindow w;
    TForm1& f = w.f;
    // Leaving the level list closes every open menu and lets frames in.
    ClickLabel(f.L_Level_RLC);
    ClickLabel(f.L_Sec_RLC);
    QVERIFY(f.P_level_RLC->isVisible() && f.P_sec_RLC->isVisible());
    Leave(f.ListBox_Level_RLC);
    QVERIFY(!f.P_level_RLC->isVisible() && !f.P_sec_RLC->isVisible());
    QCOMPARE(f.SettingsBusy, 0);

    // The frequency list has no leave handler; it closes when the pointer
    // comes back onto the RLC panel after having been in the list.
    Enter(f.Panel_RLCD);  // the first enter uses up the design binding
    ClickLabel(f.L_freq_RLC);
    Leave(f.ListBox_freq_RLC);
    Enter(f.Panel_RLCD);
    QVERIFY(f.P_freq_RLC->isVisible());
    QCOMPARE(f.SettingsBusy, 1);
    Enter(f.ListBox_freq_RLC);
    Leave(f.ListBox_freq_RLC);
    QVERIFY(f.P_freq_RLC->isVisible());
    Enter(f.Panel_RLCD);
    QVERIFY(!f.P_freq_RLC->isVisible());
    QVERIFY(!f.ListBox_freq_RLC->isVisible());
    QCOMPARE(f.SettingsBusy, 0);
    // Detached again: another enter with a menu open leaves it open.
    ClickLabel(f.L_freq_RLC);
    Enter(f.Panel_RLCD);
    QVERIFY(f.P_freq_RLC->isVisible());
    // The other display panels always close the menus.
    Enter(f.Panel_U);
    QVERIFY(!f.P_freq_RLC->isVisible());
  }

  void intervalDropDown() {
    LinkedWindow w;
    TForm1& f = w.f;
    // Closed without a pick: nothing sent, frames are let in again.
    f.CB1->showPopup();
    QCOMPARE(f.SettingsBusy, 1);
    f.CB1->hidePopup();
    QTRY_COMPARE(f.SettingsBusy, 0);
    QVERIFY(w.port.writes.isEmpty());

    // A pick sends the interval and keeps frames out until the send settles.
    f.CB1->showPopup();
    f.CB1->setCurrentIndex(0);
    emit f.CB1->activated(0);
    f.CB1->hidePopup();
    QCoreApplication::processEvents();
    QCOMPARE(f.meterSettings.IntervalCode, std::uint8_t(3));
    QCOMPARE(w.sent(), QStringLiteral("01 24 80 31 0a 01"));
    QCOMPARE(f.SettingsBusy, 1);
    QTRY_COMPARE(f.SettingsBusy, 0);  // Timer_TX
  }

  void modelChooser() {
    LinkedWindow w;
    TForm1& f = w.f;
    QTest::mouseClick(f.Memo1->viewport(), Qt::LeftButton);
    QVERIFY(f.P16->isVisible());
    Leave(f.P16);
    QVERIFY(!f.P16->isVisible());
    f.UnbindMemo1Click();
    QTest::mouseClick(f.Memo1->viewport(), Qt::LeftButton);
    QVERIFY(!f.P16->isVisible());
  }

  void displayModes() {
    LinkedWindow w;
    TForm1& f = w.f;
    // RLC: 1 kHz, L primary, Q secondary, series.
    f.ProcessFrame(MakeRlcFrame(1, 10, {0x43, 0x23, 0x01, 0x00}));
    QVERIFY(f.Panel_RLCD->isVisible() && !f.Panel_RD->isVisible() && !f.Panel_U->isVisible());
    QCOMPARE(f.L_prim_n->text(), QStringLiteral(" 1.5915 мГн"));
    QCOMPARE(f.L_sec_n->text(), QStringLiteral("10.000"));
    QCOMPARE(f.L_righ5->text(), QStringLiteral("V 91.3мВскз"));
    QCOMPARE(f.L_Prim_RLC->text(), QStringLiteral("L"));
    QCOMPARE(f.L_SER_PER1->text(), QStringLiteral("S"));
    QCOMPARE(f.TestFreqHz, 1000);
    QVERIFY(std::abs(f.PhaseDeg - 84.289) < 0.01);
    QVERIFY(f.SP3->isEnabled());

    // RD: diode on the 3.2 V range.
    f.DecimalSeparator = QStringLiteral(",");
    f.ProcessFrame(MakeFrame(652.3f, 1000, 0, 0x20, 0x02));
    QVERIFY(f.Panel_RD->isVisible() && !f.Panel_RLCD->isVisible());
    QCOMPARE(f.RD_Prim->text(), QStringLiteral("  V=0,652 В"));
    QCOMPARE(f.RD_V->text(), QStringLiteral(" 3.2В"));
    QCOMPARE(f.Im_Diod->pixmap().toImage(), f.ImList1.at(0).toImage());
    QVERIFY(!f.SP3->isEnabled());
    f.ProcessFrame(MakeFrame(4700, 100, 0, 0x02, 0x02));
    QCOMPARE(f.Im_Diod->pixmap().toImage(), f.ImList1.at(2).toImage());

    // U: millivolts.
    f.ProcessFrame(MakeFrame(-3.2f, 9.04f, -12.345f, 0x20, 0x03));
    QVERIFY(f.Panel_U->isVisible() && !f.Panel_RD->isVisible());
    QCOMPARE(f.U_Prim->text(), QStringLiteral("V -12,350мВ"));
    QCOMPARE(f.U_vrm->text(), QStringLiteral("Vскз=3,2мВ"));

    // Asleep in RLC: blanks, the last reading's values stay.
    f.DecimalSeparator = QStringLiteral(".");
    f.ProcessFrame(MakeRlcFrame(1, 10, {0x43, 0x23, 0x01, 0x02}));
    const double before = f.ReadingX;
    f.ProcessFrame(MakeRlcFrame(5, 50, {0x43, 0x23, 0x01, 0x02}, 0x81));
    QCOMPARE(f.L_prim_n->text(), QStringLiteral("  "));
    QCOMPARE(f.L_righ1->text(), QString());
    QCOMPARE(f.ReadingX, before);
    QCOMPARE(f.meterSettings.NegativeSign, std::uint8_t(0));
  }

  // The longest texts each display label shows must fit at the minimum
  // window size, units included. With ZT_PANEL_PNG_DIR set the panels are
  // also saved as pictures for a look.
  void layoutFits() {
    LinkedWindow w;
    TForm1& f = w.f;
    f.resize(1024, 600);
    QCoreApplication::processEvents();
    const QString dir = qEnvironmentVariable("ZT_PANEL_PNG_DIR");
    if (!dir.isEmpty()) QDir().mkpath(dir);
    auto check = [&](const char* name) {
      QCoreApplication::processEvents();
      for (QLabel* l : DisplayLabels(f)) {
        if (!l->isVisible() || l->text().isEmpty()) continue;
        const int need = l->fontMetrics().horizontalAdvance(l->text());
        QVERIFY2(need <= l->contentsRect().width(), qPrintable(QStringLiteral("%1: %2 \"%3\" needs %4 px, has %5")
                                                                   .arg(name, l->objectName(), l->text())
                                                                   .arg(need)
                                                                   .arg(l->contentsRect().width())));
      }
      if (!dir.isEmpty()) f.P5->grab().save(dir + "/" + name + ".png");
    };
    // Widest RLC texts: a grouped capacitance, a large phase, over-range.
    f.ProcessFrame(MakeRlcFrame(100, 0.0001f, {0x43, 0x42, 0x01, 0x00}));
    check("rlc_capacitance");
    f.ProcessFrame(MakeRlcFrame(-1.5e6f, -1.2e7f, {0x44, 0x12, 0x01, 0x02}));
    check("rlc_resistance");
    w.setModel(kZT41);
    f.ProcessFrame(MakeRlcFrame(0.5f, 30, {0x46, 0x13, 0x0A, 0x88}, 0x09));
    check("rlc_zt41");
    f.ProcessFrame(MakeFrame(652.3f, 1000, 2500, 0x30, 0x0A));
    check("rd_diode");
    f.ProcessFrame(MakeFrame(3e7f, 12345, 0, 0x02, 0x0A));
    check("rd_resistance");
    f.ProcessFrame(MakeFrame(-1234.5f, 9876.5f, -1234.5f, 0x40, 0x0B));
    check("u_extremes");
    f.ProcessFrame(MakeFrame(1, 12345.678f, 123.4f, 0xA1, 0x0B));
    check("u_current");
    f.ProcessFrame(MakeRlcFrame(0, 0, {0x43, 0x42, 0x01, 0x00}, 0x89));
    check("rlc_sleep");
    f.ProcessFrame(MakeRlcFrame(1, 10, {0x43, 0x23, 0x01, 0x00}, 0x09));
    ClickLabel(f.L_freq_RLC);
    check("menu_frequency");
  }
};

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
