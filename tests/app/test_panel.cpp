// The front panel's controls over the meter's state: each menu label, list,
// button and box reaches its slot; the menus open on a left click only and
// close as the pointer moves; the labels hold their longest texts at the
// window's minimum size; and the controls drive the simulated meter. The
// meter state's own tables are tests/panel/test_meter_state*.cpp.
#include <QAbstractItemView>
#include <QFile>
#include <QtTest>

#include "controls.h"
#include "meter_frames.h"
#include "simulated_meter.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::Control;
using zt::test::MakeFrame;
using zt::test::MakeRlcFrame;
using zt::test::WindowFixture;

namespace {

void ClickLabel(QWidget* l) { QTest::mouseClick(l, Qt::LeftButton, {}, l->rect().center()); }

void ClickItem(QListWidget* list, int row) {
  QVERIFY2(list->isVisible(), qPrintable(list->objectName()));
  QVERIFY(row < list->count());
  list->scrollToItem(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

void Enter(QWidget* w) {
  QEnterEvent e(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPointF(1, 1)));
  QCoreApplication::sendEvent(w, &e);
}
void Leave(QWidget* w) {
  QEvent e(QEvent::Leave);
  QCoreApplication::sendEvent(w, &e);
}

// A shown window, measuring (no meter: nothing is sent).
struct Shown : WindowFixture {
  TForm1& f = window();
  Shown() {
    f.resize(1024, 600);
    f.show();
    if (!QTest::qWaitForWindowExposed(&f)) qFatal("window not exposed");
    meter().setMode(WorkMode::Measuring);
  }
  template <typename T = QWidget>
  T* c(const char* name) {
    return Control<T>(f, name);
  }
};

// Labels that must show their whole text.
const char* const kDisplayLabels[] = {"L_prim_n",   "L_sec_n",     "L_righ1",      "L_righ2", "L_righ3", "L_righ4",
                                      "L_freq_RLC", "L_Level_RLC", "L_Source_RLC", "RD_Prim", "RD_V",    "RD_J",
                                      "RD_J1",      "U_Prim",      "U_vrm",        "U_pp",    "JP5"};

}  // namespace

class TestPanel : public QObject {
  Q_OBJECT

 private slots:
  // A click on a menu's label opens it; a click on a row chooses it.
  void menusReachTheMeter_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("menu");  // Menu
    QTest::addColumn<int>("row");
    QTest::newRow("frequency") << "L_freq_RLC" << int(Menu::Frequency) << 3;
    QTest::newRow("level") << "L_Level_RLC" << int(Menu::Level) << 2;
    QTest::newRow("primary by its letter") << "L_Prim_RLC" << int(Menu::Primary) << 1;
    QTest::newRow("primary by its auto mark") << "L_RLC_avto" << int(Menu::Primary) << 3;
    QTest::newRow("secondary") << "L_Sec_RLC" << int(Menu::Secondary) << 2;
    QTest::newRow("circuit, secondary side") << "L_SER_PER" << int(Menu::Circuit) << 1;
    QTest::newRow("circuit, primary side") << "L_SER_PER1" << int(Menu::Circuit) << 2;
  }
  void menusReachTheMeter() {
    QFETCH(QString, label);
    QFETCH(int, menu);
    QFETCH(int, row);
    Shown w;
    const Menu m = Menu(menu);
    ClickLabel(w.c(label.toLatin1().constData()));
    QVERIFY(w.meter().view().menu(m).open);
    QVERIFY(Control(w.f, MenuListName(m))->isVisible());
    ClickItem(Control<QListWidget>(w.f, MenuListName(m)), row);
    QCOMPARE(w.meter().view().menu(m).selected, row);
    QCOMPARE(Control<QListWidget>(w.f, MenuListName(m))->currentRow(), row);
  }

  // The keyboard chooses in a menu as a click does: a key that moves the
  // highlight chooses the row it lands on, Return chooses the highlighted row.
  void keyboardChoosesInTheMenus() {
    Shown w;
    const Menu m = Menu::Level;
    ClickLabel(w.c("L_Level_RLC"));
    auto* list = Control<QListWidget>(w.f, MenuListName(m));
    ClickItem(list, 1);
    QCOMPARE(w.meter().view().menu(m).selected, 1);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTRY_COMPARE(w.meter().view().menu(m).selected, 2);
    QCOMPARE(w.meter().settings().LevelCode, std::uint8_t(2));
    QCOMPARE(w.c<QLabel>("L_Level_RLC")->text(), w.meter().view().level);
    QTest::keyClick(list, Qt::Key_Home);
    QTRY_COMPARE(w.meter().view().menu(m).selected, 0);
    QCOMPARE(w.meter().settings().LevelAuto, std::uint8_t(1));

    // A highlight set from outside chooses nothing until Return.
    {
      const QSignalBlocker block(list);
      list->setCurrentRow(3);
    }
    QCoreApplication::processEvents();
    QCOMPARE(w.meter().view().menu(m).selected, 0);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(w.meter().view().menu(m).selected, 3);
    QCOMPARE(w.meter().settings().LevelCode, std::uint8_t(3));
    QCOMPARE(w.meter().settings().LevelAuto, std::uint8_t(0));
    QVERIFY(list->isVisible());  // the menu stays open after a choice
  }

  // The buttons and boxes of the panel, each to its slot.
  void buttonsReachTheMeter() {
    Shown w;
    const MeterState& m = w.meter();
    QTest::mouseClick(w.c("SP2"), Qt::LeftButton);
    QCOMPARE(m.settings().Sound, std::uint8_t(0));
    QTest::mouseClick(w.c("SP3"), Qt::LeftButton);
    QCOMPARE(m.settings().Hold, std::uint8_t(1));
    QVERIFY(w.c<QPushButton>("SP3")->isChecked());
    QTest::mouseClick(w.c("SP4"), Qt::LeftButton);
    QVERIFY(!m.view().brightness);
    QTest::mouseClick(w.c("SBe1"), Qt::LeftButton);
    QCOMPARE(m.settings().Sound, std::uint8_t(1));
    QCOMPARE(m.settings().Hold, std::uint8_t(0));
    QTest::mouseClick(w.c("SB4"), Qt::LeftButton);
    QCOMPARE(m.mode(), WorkMode::EditingProfile);
    QTest::mouseClick(w.c("SB4"), Qt::LeftButton);
    QCOMPARE(m.mode(), WorkMode::Measuring);
    // The model buttons; the model goes to 1.dat.
    w.c("P16")->show();
    QTest::mouseClick(w.c("RB3"), Qt::LeftButton);
    QCOMPARE(int(m.model()), 2);
    QFile dat(w.dataDir.filePath(QStringLiteral("1.dat")));
    QVERIFY(dat.open(QIODevice::ReadOnly));
    QCOMPARE(dat.readAll().mid(205, 1), QByteArray("\x02", 1));
    QTest::mouseClick(w.c("RB2"), Qt::LeftButton);
    QCOMPARE(int(m.model()), 1);
    QCOMPARE(Control<QListWidget>(w.f, MenuListName(Menu::Frequency))->count(), 7);  // ZT41's list
    // The interval box: a pick.
    auto* cb1 = w.c<QComboBox>("CB1");
    cb1->showPopup();
    QVERIFY(w.link().inputHeld());
    QAbstractItemView* list = cb1->view();
    QTRY_VERIFY(list->isVisible());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    QTRY_VERIFY(!list->isVisible());
    QCOMPARE(m.settings().IntervalCode, std::uint8_t(3));
    QCOMPARE(m.view().intervalItem, 0);
    // Closed without a pick: the hold on incoming frames ends.
    cb1->showPopup();
    QTRY_VERIFY(w.link().inputHeld());
    cb1->hidePopup();
    QTRY_VERIFY(!w.link().inputHeld());
    QCOMPARE(m.view().intervalItem, 0);
  }

  // The memo opens the model chooser until a first link; leaving it closes it.
  void modelChooser() {
    Shown w;
    QTest::mouseClick(w.c<QPlainTextEdit>("Memo1")->viewport(), Qt::LeftButton);
    QVERIFY(w.c("P16")->isVisible());
    Leave(w.c("P16"));
    QVERIFY(!w.c("P16")->isVisible());
    w.meter().linkUp();
    QTest::mouseClick(w.c<QPlainTextEdit>("Memo1")->viewport(), Qt::LeftButton);
    QVERIFY(!w.c("P16")->isVisible());
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
    Shown w;
    const std::pair<QWidget*, QWidget*> openers[] = {{w.c("L_freq_RLC"), w.c("P_freq_RLC")},
                                                     {w.c("L_Sec_RLC"), w.c("P_sec_RLC")},
                                                     {w.c("L_RLC_avto"), w.c("P_prim_RLC")},
                                                     {w.c("L_SER_PER1"), w.c("P_ser_per")},
                                                     {w.c<QPlainTextEdit>("Memo1")->viewport(), w.c("P16")}};
    const auto b = Qt::MouseButton(button);
    for (const auto& [opener, menu] : openers) {
      if (pressOnIt)
        QTest::mousePress(opener, b, {}, opener->rect().center());
      else
        QTest::mousePress(w.c("Panel_RLCD"), b, {}, QPoint(300, 5));
      const QPoint off(opener->width() + 30, opener->height() + 30);
      QTest::mouseRelease(opener, b, {}, releaseOverIt ? opener->rect().center() : off);
      QVERIFY2(menu->isVisible() == opens, qPrintable(opener->objectName()));
      w.meter().closeMenus();
      w.meter().closeModelChooser();
    }
  }

  // Where the pointer goes closes the menus: leaving any list but the
  // frequency list, coming back onto the RLC panel from the frequency list,
  // entering the other display panels.
  void pointerClosesTheMenus() {
    Shown w;
    ClickLabel(w.c("L_Level_RLC"));
    ClickLabel(w.c("L_Sec_RLC"));
    QVERIFY(w.c("P_level_RLC")->isVisible() && w.c("P_sec_RLC")->isVisible());
    QVERIFY(w.link().inputHeld());
    Leave(w.c("ListBox_Level_RLC"));
    QVERIFY(!w.c("P_level_RLC")->isVisible() && !w.c("P_sec_RLC")->isVisible());
    QVERIFY(!w.link().inputHeld());

    Enter(w.c("Panel_RLCD"));  // the first enter uses up the start's arming
    ClickLabel(w.c("L_freq_RLC"));
    Leave(w.c("ListBox_freq_RLC"));
    Enter(w.c("Panel_RLCD"));
    QVERIFY(w.c("P_freq_RLC")->isVisible());
    Enter(w.c("ListBox_freq_RLC"));
    Enter(w.c("Panel_RLCD"));
    QVERIFY(!w.c("P_freq_RLC")->isVisible());
    QVERIFY(!w.c("ListBox_freq_RLC")->isVisible());
    ClickLabel(w.c("L_freq_RLC"));
    Enter(w.c("Panel_U"));
    QVERIFY(!w.c("P_freq_RLC")->isVisible());
    ClickLabel(w.c("L_freq_RLC"));
    Enter(w.c("Panel_RD"));
    QVERIFY(!w.c("P_freq_RLC")->isVisible());
  }

  // Recording started by the operator locks the hold button; the next RLC
  // reading gives it back, as the panel shows it.
  void holdButtonFollowsRecording() {
    Shown w;
    QVERIFY(w.c("SP3")->isEnabled());
    w.c("SP1")->setEnabled(true);
    QTest::mouseClick(w.c("SP1"), Qt::LeftButton);
    QVERIFY(w.recorder().recording());
    QVERIFY(!w.c("SP3")->isEnabled());
    w.meter().processFrame(MakeRlcFrame(100, 1, {0x43, 0x01, 0x01, 0x00}));
    QVERIFY(w.c("SP3")->isEnabled());
    QTest::mouseClick(w.c("SP1"), Qt::LeftButton);
    QVERIFY(w.c("SP3")->isEnabled());
  }

  // The longest texts each display label shows must fit at the minimum
  // window size, units included. With ZT_PANEL_PNG_DIR set the panels are
  // also saved as pictures for a look.
  void layoutFits() {
    Shown w;
    const QString dir = qEnvironmentVariable("ZT_PANEL_PNG_DIR");
    if (!dir.isEmpty()) QDir().mkpath(dir);
    auto check = [&](const char* name) {
      QCoreApplication::processEvents();
      for (const char* labelName : kDisplayLabels) {
        const QLabel* l = w.c<QLabel>(labelName);
        if (!l->isVisible() || l->text().isEmpty()) continue;
        const int need = l->fontMetrics().horizontalAdvance(l->text());
        QVERIFY2(need <= l->contentsRect().width(), qPrintable(QStringLiteral("%1: %2 \"%3\" needs %4 px, has %5")
                                                                   .arg(name, l->objectName(), l->text())
                                                                   .arg(need)
                                                                   .arg(l->contentsRect().width())));
      }
      if (!dir.isEmpty()) w.c("P5")->grab().save(dir + "/" + name + ".png");
    };
    MeterState& m = w.meter();
    // Widest RLC texts: a grouped capacitance, a large phase, over-range.
    m.processFrame(MakeRlcFrame(100, 0.0001f, {0x43, 0x42, 0x01, 0x00}));
    check("rlc_capacitance");
    m.processFrame(MakeRlcFrame(-1.5e6f, -1.2e7f, {0x44, 0x12, 0x01, 0x02}));
    check("rlc_resistance");
    m.setModel(kZT41);
    m.processFrame(MakeRlcFrame(0.5f, 30, {0x46, 0x13, 0x0A, 0x88}, 0x09));
    check("rlc_zt41");
    m.processFrame(MakeFrame(652.3f, 1000, 2500, 0x30, 0x0A));
    check("rd_diode");
    m.processFrame(MakeFrame(3e7f, 12345, 0, 0x02, 0x0A));
    check("rd_resistance");
    m.processFrame(MakeFrame(-1234.5f, 9876.5f, -1234.5f, 0x40, 0x0B));
    check("u_extremes");
    m.processFrame(MakeFrame(1, 12345.678f, 123.4f, 0xA1, 0x0B));
    check("u_current");
    m.processFrame(MakeRlcFrame(0, 0, {0x43, 0x42, 0x01, 0x00}, 0x89));
    check("rlc_sleep");
    m.processFrame(MakeRlcFrame(1, 10, {0x43, 0x23, 0x01, 0x00}, 0x09));
    ClickLabel(w.c("L_freq_RLC"));
    check("menu_frequency");
  }

  // Connected to the simulated meter: a menu pick, the sound button and the
  // display-mode buttons reach it, and its next frames show what it took.
  void controlsDriveTheSimulatedMeter() {
    WindowFixture fx;
    sim::Options o;
    o.mode = sim::LinkMode::Dongle;
    o.connectDelayMs = 30;
    o.intervalCode = 3;
    o.dut = QStringLiteral("C=100n,esr=0.5");
    sim::SimulatedMeter meter(o);
    QVERIFY(meter.start());
    TForm1& f = fx.window();
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    Control<QCheckBox>(f, "CheckBox_connect_auto")->click();
    QTRY_VERIFY_WITH_TIMEOUT(fx.link().linkUp(), 5000);
    auto* freq = Control<QLabel>(f, "L_freq_RLC");
    QTRY_VERIFY_WITH_TIMEOUT(!Control<QLabel>(f, "L_prim_n")->text().trimmed().isEmpty(), 5000);

    ClickLabel(freq);
    ClickItem(Control<QListWidget>(f, "ListBox_freq_RLC"), 1);
    fx.meter().closeMenus();
    QTRY_COMPARE_WITH_TIMEOUT(int(meter.settings().freqCode), 1, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(freq->text(), QStringLiteral(" 100Гц"), 3000);
    QCOMPARE(Control<QLabel>(f, "L_Prim_RLC")->text(), QStringLiteral("C"));

    QTest::mouseClick(Control(f, "Button1"), Qt::LeftButton);  // RD
    QTRY_VERIFY_WITH_TIMEOUT(Control(f, "Panel_RD")->isVisible(), 3000);
    QVERIFY(!Control(f, "Panel_RLCD")->isVisible());
    QTest::mouseClick(Control(f, "Button2"), Qt::LeftButton);  // RLCD
    QTRY_VERIFY_WITH_TIMEOUT(Control(f, "Panel_RLCD")->isVisible(), 3000);
    QCOMPARE(meter.displayMode(), std::uint8_t(1));
  }
};

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
