// The window as created over a session: its controls and their initial
// states, the size rules, the glossary of control names, and the front panel
// rendered from what the meter's state publishes.
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include "controls.h"
#include "meter_frames.h"
#include "panel_labels.h"
#include "ui_constants.h"
#include "window_fixture.h"

Q_DECLARE_METATYPE(zt::NoticeLevel)
Q_DECLARE_METATYPE(zt::Prompts::Icon)
Q_DECLARE_METATYPE(QList<zt::Frame>)

using namespace zt;
using zt::test::Control;
using zt::test::WindowFixture;

namespace {

// The names app/README.md's glossary gives, one table row each.
QSet<QString> GlossaryNames() {
  QFile f(QStringLiteral(ZT_APP_README));
  if (!f.open(QIODevice::ReadOnly)) qFatal("no app/README.md");
  const QString text = QString::fromUtf8(f.readAll());
  const qsizetype start = text.indexOf(QStringLiteral("## Control glossary"));
  const qsizetype end = text.indexOf(QStringLiteral("\n## "), start + 1);
  static const QRegularExpression row(QStringLiteral("^\\| `([^`]+)`"), QRegularExpression::MultilineOption);
  QSet<QString> names;
  auto it = row.globalMatch(text.mid(start, end < 0 ? -1 : end - start));
  while (it.hasNext()) names.insert(it.next().captured(1));
  return names;
}

}  // namespace

class TestWindow : public QObject {
  Q_OBJECT

 private slots:
  void initialState() {
    WindowFixture fx;
    TForm1& f = fx.window();
    QVERIFY(!Control(f, "Panel_RLCD")->isHidden());
    QVERIFY(Control(f, "Panel_RD")->isHidden());
    QVERIFY(Control(f, "Panel_U")->isHidden());
    for (const char* n : {"P_prim_RLC", "P_sec_RLC", "P_ser_per", "P_level_RLC", "P_freq_RLC", "P_Source_RLC", "P16",
                          "JP5", "SP5", "BB2", "L_righ5", "L_righ6", "L_Source_RLC"})
      QVERIFY2(Control(f, n)->isHidden(), n);
    QVERIFY(!Control(f, "SP1")->isEnabled());
    QVERIFY(!Control(f, "SB3")->isEnabled());
    QVERIFY(Control(f, "B2")->isEnabled());
    QVERIFY(Control<QPushButton>(f, "SB4")->isChecked());
    QVERIFY(Control<QPushButton>(f, "SP4")->isChecked());
    QVERIFY(Control<QRadioButton>(f, "RB1")->isChecked());
    QCOMPARE(Control<QComboBox>(f, "CBox10")->currentIndex(), 0);
    QCOMPARE(Control<QSpinBox>(f, "SE1")->value(), 1);
    QCOMPARE(Control<QComboBox>(f, "CB1")->currentText(), QStringLiteral("1с"));
    QCOMPARE(Control<QPlainTextEdit>(f, "Memo1")->toPlainText(), QString());
    QCOMPARE(f.windowTitle(), QStringLiteral("Регистратор данных для RLC метров ЗТ версия 1.6"));
    QCOMPARE(Control<QLabel>(f, "JvP1")->text(), QStringLiteral("Данные эталона"));
    QCOMPARE(Control<QLabel>(f, "JvP11")->text(), QStringLiteral("Запись данных"));
    QCOMPARE(Control<QLabel>(f, "L_freq_RLC")->text(), QStringLiteral("A10кГц"));
    // The grid shows the recorder's log: ten columns, its headings.
    auto* sg = Control<QTableView>(f, "SG");
    QCOMPARE(sg->model(), static_cast<QAbstractItemModel*>(fx.recorder().model()));
    QCOMPARE(sg->model()->columnCount(), 10);
    QCOMPARE(sg->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Позиция"));
    // The session was started: the poll runs, 1.dat exists.
    QVERIFY(fx.link().polling());
    QVERIFY(QFileInfo::exists(fx.dataDir.filePath(QStringLiteral("1.dat"))));
    QVERIFY(!fx.meter().noDataTimerActive() && !fx.meter().wakeRepeatActive());
    QVERIFY(fx.prompts.messages.isEmpty());
  }

  // The client area is 1008 wide whatever is asked (1024 outside with the
  // side borders of the system it was designed on), at least 600 high, and
  // 1008 x 680 at design size: the left column and the front panel fill it.
  void sizeRules() {
    WindowFixture fx;
    TForm1& f = fx.window();
    QCOMPARE(f.size(), QSize(1008, 680));
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QCOMPARE(Control(f, "Panel3")->width() + Control(f, "P5")->width(), 1008);
    QCOMPARE(Control(f, "P5")->width(), 799);
    f.resize(800, 500);
    QCoreApplication::processEvents();
    QCOMPARE(f.width(), 1008);
    QCOMPARE(f.height(), 600);
    f.resize(1300, 900);
    QCoreApplication::processEvents();
    QCOMPARE(f.width(), 1008);
    QCOMPARE(f.height(), 900);
  }

  // Every named control of the window is in app/README.md's glossary, and
  // the glossary names no control the window lacks.
  void controlGlossary() {
    WindowFixture fx;
    QSet<QString> named;
    for (const QWidget* w : fx.window().findChildren<QWidget*>()) {
      const QString n = w->objectName();
      if (!n.isEmpty() && !n.startsWith(QLatin1String("qt_"))) named.insert(n);
    }
    named.insert(fx.window().objectName());
    const QSet<QString> glossary = GlossaryNames();
    QVERIFY2(named - glossary == QSet<QString>{}, qPrintable(QStringList((named - glossary).values()).join(u' ')));
    QVERIFY2(glossary - named == QSet<QString>{}, qPrintable(QStringList((glossary - named).values()).join(u' ')));
  }

  // Whatever the meter's state publishes reaches the controls: every label,
  // the display panel in use, the sleep indicator, the menus, the buttons.
  void panelIsRendered_data() {
    QTest::addColumn<QList<Frame>>("frames");
    using zt::test::MakeFrame;
    using zt::test::MakeRlcFrame;
    using zt::test::MakeStatusFrame;
    QTest::newRow("RLC, inductor") << QList<Frame>{MakeRlcFrame(1, 10, {0x43, 0x23, 0x01, 0x00})};
    QTest::newRow("RLC, ZT41, 1.6 k source") << QList<Frame>{MakeRlcFrame(0.5f, 30, {0x46, 0x13, 0x0A, 0x88}, 0x09)};
    QTest::newRow("RD, diode") << QList<Frame>{MakeFrame(652.3f, 1000, 2500, 0x30, 0x0A)};
    QTest::newRow("RD, resistor") << QList<Frame>{MakeFrame(3e7f, 12345, 0, 0x02, 0x0A)};
    QTest::newRow("U") << QList<Frame>{MakeFrame(-1234.5f, 9876.5f, -1234.5f, 0x40, 0x0B)};
    QTest::newRow("asleep") << QList<Frame>{MakeRlcFrame(1, 10, {0x43, 0x23, 0x01, 0x00}),
                                            MakeStatusFrame(0x81, 0x01, 0x2C, 0x01)};
  }
  void panelIsRendered() {
    QFETCH(QList<Frame>, frames);
    WindowFixture fx;
    TForm1& f = fx.window();
    fx.meter().setMode(WorkMode::Measuring);  // frames are shown only while measuring
    for (const Frame& fr : frames) fx.meter().processFrame(fr);
    const PanelView& v = fx.meter().view();
    for (const QString& name : zt::test::PanelLabelNames())
      QVERIFY2(Control<QLabel>(f, name)->text() == zt::test::PanelLabel(v, name), qPrintable(name));
    QCOMPARE(!Control(f, "Panel_RLCD")->isHidden(), v.display == DisplayPanel::Rlc);
    QCOMPARE(!Control(f, "Panel_RD")->isHidden(), v.display == DisplayPanel::Rd);
    QCOMPARE(!Control(f, "Panel_U")->isHidden(), v.display == DisplayPanel::U);
    QCOMPARE(!Control(f, "JP5")->isHidden(), v.sleepVisible);
    QCOMPARE(!Control(f, "L_Source_RLC")->isHidden(), v.sourceVisible);
    QCOMPARE(!Control(f, "Button3")->isHidden(), v.uButtonVisible);
    QCOMPARE(Control<QRadioButton>(f, "RB2")->isChecked(), v.modelButton == 1);
    QCOMPARE(Control<QPushButton>(f, "SP4")->isChecked(), v.brightness);
    QCOMPARE(Control<QPushButton>(f, "SP3")->isChecked(), v.hold);
    QCOMPARE(Control<QPushButton>(f, "SP2")->isChecked(), v.sound);
    QCOMPARE(Control<QPushButton>(f, "SB4")->isChecked(), v.profileEditing);
    QCOMPARE(Control(f, "SP3")->isEnabled(), v.holdEnabled);
    QCOMPARE(Control(f, "SP1")->isEnabled(), v.recordEnabled);
    QCOMPARE(Control<QComboBox>(f, "CB1")->currentIndex(), v.intervalItem);
    for (const Menu m : {Menu::Primary, Menu::Secondary, Menu::Circuit, Menu::Level, Menu::Frequency, Menu::Source}) {
      auto* list = Control<QListWidget>(f, MenuListName(m));
      QStringList items;
      for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
      QCOMPARE(items, v.menu(m).items);
      QCOMPARE(list->currentRow(), v.menu(m).selected);
    }
    if (v.display == DisplayPanel::Rd) {
      const char* pictures[] = {":/panel/imlist1_diode_up.png", ":/panel/imlist1_diode_down.png",
                                ":/panel/imlist1_resistor.png"};
      QVERIFY(v.rdPicture >= 0 && v.rdPicture < 3);
      QCOMPARE(Control<QLabel>(f, "Im_Diod")->pixmap().toImage(),
               QPixmap(QString::fromLatin1(pictures[v.rdPicture])).toImage());
    }
  }

  // The sorting verdict colours the RLC panel; the connect button and a
  // change of work mode take the colour off.
  void rejectColour() {
    WindowFixture fx;
    auto colour = [&] { return Control(fx.window(), "Panel_RLCD")->palette().color(QPalette::Window); };
    QCOMPARE(colour(), ui::DisplayColour());
    fx.meter().setVerdict(1);
    QCOMPARE(colour(), ui::RejectColour());
    QTest::mouseClick(Control<QPushButton>(fx.window(), "B2"), Qt::LeftButton);
    QCOMPARE(colour(), ui::DisplayColour());
    fx.meter().setVerdict(3);
    QTest::mouseClick(Control<QPushButton>(fx.window(), "SB4"), Qt::LeftButton);
    QCOMPARE(colour(), ui::DisplayColour());
  }

  // A controller's message reaches the operator as a box captioned with the
  // window's title.
  void noticesReachTheOperator_data() {
    QTest::addColumn<NoticeLevel>("level");
    QTest::addColumn<Prompts::Icon>("icon");
    QTest::newRow("information") << NoticeLevel::Information << Prompts::Icon::Information;
    QTest::newRow("warning") << NoticeLevel::Warning << Prompts::Icon::Warning;
    QTest::newRow("critical") << NoticeLevel::Critical << Prompts::Icon::Critical;
  }
  void noticesReachTheOperator() {
    QFETCH(NoticeLevel, level);
    QFETCH(Prompts::Icon, icon);
    WindowFixture fx;
    emit fx.session->notice(level, QStringLiteral("text"));
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages[0].caption, fx.window().windowTitle());
    QCOMPARE(fx.prompts.messages[0].text, QStringLiteral("text"));
    QCOMPARE(fx.prompts.messages[0].icon, icon);
  }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
