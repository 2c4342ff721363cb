// The recording band and the log grid over the recorder: what SP1, "Очистка",
// the work mode, the start position, the grid and the space bar reach, and
// what the recorder's reports put on them; 1.dat across restarts; and a
// multi-part run against the simulated meter. The recorder's own table is
// tests/log/test_recorder.cpp.
#include <QDir>
#include <QFile>
#include <QtTest>

#include "log_verdict_delegate.h"
#include "view_archive.h"
#include "settings_file.h"
#include "simulated_meter.h"
#include "window_profiles.h"

using namespace zt;
using zt::test::Control;
using zt::test::ResistorReading;
using zt::test::WindowFixture;

namespace {

// The background the grid paints a cell with (invalid: the grid's own).
QColor Painted(const QTableView* grid, int gridRow, int col) {
  QStyleOptionViewItem option;
  const auto* delegate = dynamic_cast<const LogVerdictDelegate*>(grid->itemDelegate());
  if (!delegate) return QColor(Qt::magenta);  // not painted by verdict at all
  delegate->initStyleOption(&option, grid->model()->index(gridRow - 1, col));
  return option.backgroundBrush.style() == Qt::NoBrush ? QColor() : option.backgroundBrush.color();
}

struct LogWindow : WindowFixture {
  TForm1& f = window();
  const LogModel& grid = *recorder().model();
  template <typename T = QWidget>
  T* c(const char* name) {
    return Control<T>(window(), name);  // the window of now, also after a restart
  }
  void record() {
    c("SP1")->setEnabled(true);  // as a link allows
    QTest::mouseClick(c("SP1"), Qt::LeftButton);
    QVERIFY(recorder().recording());
  }
};

}  // namespace

class TestLog : public QObject {
  Q_OBJECT

 private slots:
  // SP1, "Очистка", the work mode and the start position reach the
  // recorder, and what it reports comes back onto them.
  void recordingBand() {
    LogWindow w;
    auto* sp1 = w.c<QPushButton>("SP1");
    w.record();
    QVERIFY(sp1->isChecked());
    QCOMPARE(sp1->text(), QStringLiteral("Стоп"));
    QVERIFY(!w.c("SG")->isEnabled());
    QVERIFY(!w.c("SP3")->isEnabled());
    w.recorder().takeReading(ResistorReading(100, QStringLiteral("100.00 Ом")));
    QCOMPARE(w.grid.cell(1, 2), QStringLiteral("R 100.00 Ом"));
    QCOMPARE(w.c<QSpinBox>("SE1")->value(), 2);  // the recorder moved on

    QTest::mouseClick(w.c("B5"), Qt::LeftButton);
    QVERIFY(!w.recorder().recording());
    QVERIFY(!sp1->isChecked());
    QCOMPARE(sp1->text(), QStringLiteral("Пуск"));
    QCOMPARE(w.grid.cell(1, 2), QString());
    QCOMPARE(w.c<QSpinBox>("SE1")->value(), 1);
    QVERIFY(!w.c("SG")->isEnabled());  // until recording is started and stopped again

    w.c<QSpinBox>("SE1")->setValue(40);
    QCOMPARE(w.recorder().startPosition(), 40);
    w.recorder().setStartPosition(7);
    QCOMPARE(w.c<QSpinBox>("SE1")->value(), 7);

    auto* mode = w.c<QComboBox>("CBox10");
    mode->setCurrentIndex(1);
    emit mode->activated(1);
    QVERIFY(w.recorder().multiPart());
    QVERIFY(!w.c("B5")->isEnabled());
    w.recorder().setMode(0);
    QCOMPARE(mode->currentIndex(), 0);
    QVERIFY(w.c("B5")->isEnabled());
    QVERIFY(w.c("SG")->isEnabled());

    // Stopped from elsewhere (the export): the button comes up.
    w.record();
    w.recorder().stop();
    QVERIFY(!sp1->isChecked());
    QCOMPARE(sp1->text(), QStringLiteral("Пуск"));
  }

  // The grid shows the recorder's rows, moves to each new one while
  // recording, and paints the sorting columns by each row's verdict.
  void rowsOnTheGrid() {
    LogWindow w;
    zt::test::SortAgainst(w, QStringLiteral("1%"), QStringLiteral("100"));
    w.record();
    for (double ohms : {100.5, 102.0, 100.2, 150.0})
      w.recorder().takeReading(ResistorReading(ohms, QString::number(ohms) + QStringLiteral(" Ом")));
    auto* sg = w.c<QTableView>("SG");
    QCOMPARE(sg->currentIndex().row() + 1, 4);
    QCOMPARE(sg->model()->data(sg->model()->index(1, 2)).toString(), QStringLiteral("R 102 Ом"));
    QCOMPARE(Painted(sg, 1, 7), kPassColour);
    QCOMPARE(Painted(sg, 2, 7), kRejectColour);
    QCOMPARE(Painted(sg, 2, 8), kRejectColour);
    QCOMPARE(Painted(sg, 3, 9), QColor());
    // The verdict of the latest reading colours the RLC panel.
    QCOMPARE(w.c("Panel_RLCD")->palette().color(QPalette::Window), QColor(Qt::red));
  }

  // A log the last run left unfinished (a crash, a kill, no "Очистка") is
  // back after a restart: its rows with their texts and colours, the start
  // position after them, one line in the memo. "Очистка" ends it for good.
  void restartBringsTheLogBack() {
    LogWindow w;
    zt::test::SortAgainst(w, QStringLiteral("1%"), QStringLiteral("100"));
    w.record();
    for (double ohms : {100.5, 102.0, 100.2})
      w.recorder().takeReading(ResistorReading(ohms, QString::number(ohms) + QStringLiteral(" Ом")));
    QStringList before;
    for (int r = 0; r < 3; ++r)
      for (int col = 0; col < kLogColumns; ++col) before << w.grid.cell(r + 1, col);

    w.stop();
    w.start();
    auto* sg = Control<QTableView>(w.window(), "SG");
    QStringList after;
    for (int r = 0; r < 3; ++r)
      for (int col = 0; col < kLogColumns; ++col) after << sg->model()->data(sg->model()->index(r, col)).toString();
    QCOMPARE(after, before);
    QCOMPARE(Painted(sg, 1, 7), kPassColour);
    QCOMPARE(Painted(sg, 2, 7), kRejectColour);
    QCOMPARE(w.recorder().startPosition(), 4);
    const QString memo = Control<QPlainTextEdit>(w.window(), "Memo1")->toPlainText();
    QVERIFY2(memo.contains(QStringLiteral("Восстановлено строк журнала: 3")), qPrintable(memo));

    QTest::mouseClick(Control(w.window(), "B5"), Qt::LeftButton);  // "Очистка"
    w.stop();
    w.start();
    sg = Control<QTableView>(w.window(), "SG");
    QVERIFY(sg->model()->data(sg->model()->index(0, 2)).toString().isEmpty());
    QVERIFY(!Control<QPlainTextEdit>(w.window(), "Memo1")->toPlainText().contains(QStringLiteral("Восстановлено")));
  }

  // After a restart, reading a profile sets the start position back into the
  // restored rows: "Пуск" asks once before writing over them, in a box with
  // three buttons, and each answer does what it says.
  void writingOverRestoredRowsAsks() {
    LogWindow w;
    zt::test::OpenProfiles(w, {QStringLiteral("A"), QStringLiteral("B")});
    w.record();
    for (double ohms : {100.5, 102.0, 100.2})
      w.recorder().takeReading(ResistorReading(ohms, QString::number(ohms) + QStringLiteral(" Ом")));
    w.stop();
    w.start();
    QCOMPARE(w.recorder().startPosition(), 4);
    auto* names = w.c<QComboBox>("CBox6");
    emit names->activated(1);  // profile 2, stored with start position 1
    QCOMPARE(w.c<QSpinBox>("SE1")->value(), 1);

    w.prompts.choiceAnswers = {1, 0};  // go on; then write over
    w.record();
    w.recorder().takeReading(ResistorReading(150, QStringLiteral("150 Ом")));
    QTRY_COMPARE(w.prompts.choices.size(), 1);
    const auto& q = w.prompts.choices.first();
    QCOMPARE(q.text, QStringLiteral("Позиция 1 уже записана (последняя записанная позиция — 3): новые строки "
                                    "заменят записанные."));
    QCOMPARE(q.buttons, QStringList({QStringLiteral("Записать поверх"), QStringLiteral("Продолжить с позиции 4"),
                                     QStringLiteral("Отмена")}));
    QCOMPARE(q.defaultButton, 1);  // Return keeps the rows
    QTRY_COMPARE(w.recorder().model()->cell(4, 2), QStringLiteral("R 150 Ом"));
    QCOMPARE(w.recorder().model()->cell(1, 2), QStringLiteral("R 100.5 Ом"));
    QCOMPARE(w.c<QSpinBox>("SE1")->value(), 5);

    w.c<QSpinBox>("SE1")->setValue(2);  // by hand, while recording: asked again
    w.recorder().takeReading(ResistorReading(160, QStringLiteral("160 Ом")));
    QTRY_COMPARE(w.prompts.choices.size(), 2);
    QTRY_COMPARE(w.recorder().model()->cell(2, 2), QStringLiteral("R 160 Ом"));
    QCOMPARE(QDir(w.session->journal().archiveFolder()).entryList(QDir::Files).size(), 1);  // the rows before

    w.c<QPushButton>("SP1")->click();  // a new recording asks again: cancelled
    w.record();
    w.c<QSpinBox>("SE1")->setValue(1);
    w.recorder().takeReading(ResistorReading(170, QStringLiteral("170 Ом")));
    QTRY_COMPARE(w.prompts.choices.size(), 3);
    QTRY_VERIFY(!w.c<QPushButton>("SP1")->isChecked());
    QCOMPARE(w.c<QPushButton>("SP1")->text(), QStringLiteral("Пуск"));
    QCOMPARE(w.recorder().model()->cell(1, 2), QStringLiteral("R 100.5 Ом"));
  }

  // A restart brings the profile in use back with the rows, so "Пуск" goes
  // on sorting against its tolerance.
  void restartBringsTheProfileBack() {
    LogWindow w;
    zt::test::OpenProfiles(w, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
                           QStringLiteral("parts.hex1"), QStringLiteral("1%"));
    emit w.c<QComboBox>("CBox6")->activated(2);  // C: 300 Ом ±1 %
    w.record();
    w.recorder().takeReading(ResistorReading(300, QStringLiteral("300 Ом")));
    w.stop();
    w.start();
    QCOMPARE(w.book().loadedNumber(), 3);
    QCOMPARE(w.c<QComboBox>("CBox6")->currentText(), QStringLiteral("C"));
    QCOMPARE(w.c<QSpinBox>("SE2")->value(), 3);
    QCOMPARE(w.c<QSpinBox>("SE1")->value(), 2);
    w.record();
    w.recorder().takeReading(ResistorReading(301, QStringLiteral("301 Ом")));
    QCOMPARE(w.recorder().model()->cell(2, 7), QStringLiteral("-"));  // in tolerance of C, not of A
  }

  // The space bar, seen by the window before the focused control, asks the
  // recorder for a row; other keys do not.
  void spaceBar() {
    LogWindow w;
    bool open = true;
    w.recorder().setOnDemandGate([&] { return open; });
    w.recorder().takeReading(ResistorReading(100, QStringLiteral("100.00 Ом")));  // idle: no row
    QCOMPARE(w.grid.cell(1, 0), QString());
    QTest::keyClick(&w.f, Qt::Key_A);
    QCOMPARE(w.grid.cell(1, 0), QString());
    // With the focus on a control, the window still sees the key first.
    w.f.show();
    w.f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.f));
    w.c("E2")->setFocus();
    QTRY_VERIFY(w.c("E2")->hasFocus());
    QTest::keyClick(w.c("E2"), Qt::Key_Space);
    QCOMPARE(w.grid.cell(1, 0), QStringLiteral("1"));
    open = false;
    QTest::keyClick(w.c("E2"), Qt::Key_Space);
    QCOMPARE(w.grid.cell(2, 0), QString());
    open = true;
    QTest::keyClick(w.c("E2"), Qt::Key_Space);
    QCOMPARE(w.grid.cell(2, 0), QStringLiteral("2"));
  }

  // In single-part mode cells are selected only while recording: the
  // grid's guard asks the recorder.
  void singlePartRefusesCellSelection() {
    LogWindow w;
    auto* sg = w.c<QTableView>("SG");
    emit w.recorder().cellSelected(3, 2);
    QVERIFY(!sg->selectionModel()->isSelected(w.recorder().model()->index(2, 2)));
    sg->setCurrentIndex(w.recorder().model()->index(4, 1));
    QVERIFY(!sg->currentIndex().isValid());
    w.record();
    emit w.recorder().cellSelected(3, 2);
    QVERIFY(sg->selectionModel()->isSelected(w.recorder().model()->index(2, 2)));
  }

  // In multi-part mode a click on a profile's row reads it into the editor.
  void gridClickReadsAProfile() {
    LogWindow w;
    zt::test::OpenProfiles(w, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    w.recorder().setMode(1);
    QCOMPARE(w.grid.cell(2, 1), QStringLiteral("B"));
    w.f.resize(1008, 680);
    w.f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.f));
    auto* sg = w.c<QTableView>("SG");
    const QRect cell = sg->visualRect(sg->model()->index(1, 1));
    QTest::mouseClick(sg->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(w.book().currentNumber(), 2);
    QCOMPARE(w.c<QSpinBox>("SE2")->value(), 2);
    QCOMPARE(w.c<QComboBox>("CBox6")->currentText(), QStringLiteral("B"));
    QCOMPARE(w.c<QLineEdit>("E2")->text(), QStringLiteral("200"));
  }

  // What the controls change is in 1.dat at the next start, and shown again.
  void settingsFileAcrossStarts() {
    WindowFixture fx;
    const QString dat = SettingsFilePath(fx.dataDir.path());
    Control<QCheckBox>(fx.window(), "CheckBox_connect_auto")->click();
    Control(fx.window(), "P16")->show();
    QTest::mouseClick(Control(fx.window(), "RB3"), Qt::LeftButton);
    QCOMPARE(zt::test::Bytes(dat).at(205), '\2');
    fx.stop();
    fx.start();
    QVERIFY(Control<QRadioButton>(fx.window(), "RB3")->isChecked());
    QCOMPARE(int(fx.meter().model()), 2);
    QVERIFY(Control<QCheckBox>(fx.window(), "CheckBox_connect_auto")->isChecked());
    QVERIFY(!Control(fx.window(), "B2")->isEnabled());
    // 1.dat removed while running: the writer tells the operator, nothing stops.
    QVERIFY(QFile::remove(dat));
    Control(fx.window(), "P16")->show();
    QTest::mouseClick(Control(fx.window(), "RB1"), Qt::LeftButton);
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages[0].icon, Prompts::Icon::Critical);
    QVERIFY(!QFileInfo::exists(dat));
  }

  // A stored model without a button checks none; a code of 10 or more is no model.
  void storedModelOutsideButtons() {
    WindowFixture fx;
    fx.stop();
    QVERIFY(SaveMeterModel(fx.dataDir.path(), 5).ok);
    fx.start();
    QCOMPARE(int(fx.meter().model()), 5);
    for (const char* rb : {"RB1", "RB2", "RB3"}) QVERIFY2(!Control<QRadioButton>(fx.window(), rb)->isChecked(), rb);
    fx.stop();
    QVERIFY(SaveMeterModel(fx.dataDir.path(), 10).ok);
    fx.start();
    QCOMPARE(int(fx.meter().model()), int(kZT40));
    QVERIFY(Control<QRadioButton>(fx.window(), "RB1")->isChecked());
  }

  // Two profiles made in the window, with their own settings and nominal
  // values; in multi-part mode each profile picked with SE2's arrows sends
  // its settings to the simulated meter, and the part measured against it
  // fills its row with its own verdict.
  void simulatedMeterMultiPart() {
    LogWindow w;
    // Profile 1: "R1k", 1 kΩ ± 1 %, at 1 kHz; profile 2: "R2k", 2 kΩ, at 10 kHz.
    w.c<QComboBox>("CBox6")->setEditText(QStringLiteral("R1k"));
    w.c<QComboBox>("CBox1")->setCurrentIndex(1);  // кОм
    w.c<QLineEdit>("E2")->setText(QStringLiteral("1"));
    emit w.c<QComboBox>("CBox5")->activated(4);  // 1%
    w.meter().chooseMenuItem(Menu::Frequency, 3);
    w.meter().chooseInterval(0);  // a frame every 0.5 s
    w.prompts.saveAnswers << w.dataDir.filePath(QStringLiteral("sorting"));
    QTest::mouseClick(w.c("SB1"), Qt::LeftButton);
    QCOMPARE(w.book().profileCount(), 1);
    w.c<QComboBox>("CBox6")->setEditText(QStringLiteral("R2k"));
    w.c<QLineEdit>("E2")->setText(QStringLiteral("2"));
    w.meter().chooseMenuItem(Menu::Frequency, 4);
    w.c<QSpinBox>("SE2")->setValue(2);
    QTest::mouseClick(w.c("BB1"), Qt::LeftButton);
    QCOMPARE(w.book().profileCount(), 2);

    sim::Options o;
    o.mode = sim::LinkMode::Dongle;
    o.connectDelayMs = 30;
    o.dut = QStringLiteral("R=1k");
    o.noise = 0;
    sim::SimulatedMeter meter(o);
    QVERIFY(meter.start());
    w.f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.f));
    w.c<QCheckBox>("CheckBox_connect_auto")->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.link().linkUp(), 5000);

    auto* mode = w.c<QComboBox>("CBox10");
    mode->setCurrentIndex(1);
    emit mode->activated(1);
    QTest::mouseClick(w.c("SP1"), Qt::LeftButton);
    QVERIFY(w.recorder().recording());
    QCOMPARE(w.grid.cell(2, 1), QStringLiteral("R2k"));

    // Profile 1 by the down arrow: its settings go to the meter.
    auto* se2 = w.c<QSpinBox>("SE2");
    se2->setFocus();
    QTest::keyClick(se2, Qt::Key_Down);
    QCOMPARE(w.book().currentNumber(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(int(meter.settings().freqCode), 3, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(w.grid.cell(1, 7), QStringLiteral("-"), 5000);  // part 1 passes
    QCOMPARE(w.grid.cell(1, 1), QStringLiteral("R1k"));

    // Profile 2 by the up arrow; a 2.1 kΩ part is 5 % off.
    QVERIFY(meter.core().setDut(QStringLiteral("R=2.1k")));
    meter.kick();
    QTest::keyClick(se2, Qt::Key_Up);
    QCOMPARE(w.book().currentNumber(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(int(meter.settings().freqCode), 4, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(w.grid.cell(2, 7), QStringLiteral("+"), 5000);
    QCOMPARE(w.grid.cell(2, 8), QStringLiteral("5.00"));
    auto* sg = w.c<QTableView>("SG");
    QCOMPARE(Painted(sg, 2, 8), kRejectColour);
    QCOMPARE(Painted(sg, 1, 7), kPassColour);  // row 1 keeps its own verdict
  }

  // A log "Очистка" took away is in the archive dialogue, newest first,
  // read-only as it was logged, and exports like the live log.
  void clearedLogInTheArchive() {
    LogWindow w;
    zt::test::SortAgainst(w, QStringLiteral("1%"), QStringLiteral("100"));
    for (const auto& values : {QList<double>{100.5, 150.0}, QList<double>{100.2, 101.5, 99.5}}) {
      w.record();
      for (double ohms : values)
        w.recorder().takeReading(ResistorReading(ohms, QString::number(ohms) + QStringLiteral(" Ом")));
      QTest::mouseClick(w.c("B5"), Qt::LeftButton);
      QCOMPARE(w.grid.cell(1, 2), QString());
    }
    QTest::mouseClick(w.c("BArchive"), Qt::LeftButton);
    auto* dialog = w.f.findChild<ArchiveDialog*>(QStringLiteral("ArchiveDialog"));
    QVERIFY(dialog);
    auto* list = dialog->findChild<QListWidget*>(QStringLiteral("ArchiveList"));
    auto* grid = dialog->findChild<QTableView*>(QStringLiteral("ArchiveGrid"));
    QVERIFY(list && grid);
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->currentRow(), 0);
    // The newest: the second log, three rows.
    const QAbstractItemModel* m = grid->model();
    QCOMPARE(m->rowCount(), 3);
    QCOMPARE(m->data(m->index(2, 2)).toString(), QStringLiteral("R 99.5 Ом"));
    QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), w.lex().D2[3]);
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(dialog->findChild<QLabel*>(QStringLiteral("ArchiveSummary"))->text().contains(QStringLiteral("строк: 3")));
    list->setCurrentRow(1);
    QCOMPARE(m->rowCount(), 2);
    QCOMPARE(m->data(m->index(1, 2)).toString(), QStringLiteral("R 150 Ом"));
    QCOMPARE(Painted(grid, 2, 7), kRejectColour);
    QCOMPARE(w.grid.cell(1, 2), QString());  // the live log is left as it is

    const QString out = w.dataDir.filePath(QStringLiteral("old.csv"));
    w.prompts.saveAnswers << out;
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("ArchiveExport")), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.prompts.messages.isEmpty(), 10000);
    QFile csv(out);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QVERIFY2(lines.size() >= 3 && lines[2].contains("R 150"), csv.fileName().toUtf8());
    dialog->close();
  }

  // The meter unplugged while recording: "Стоп" still takes a click and ends
  // the recording; only then is the button locked until a link is back.
  void stopWithTheMeterUnplugged() {
    LogWindow w;
    sim::Options o;
    o.mode = sim::LinkMode::Dongle;
    o.connectDelayMs = 30;
    sim::SimulatedMeter meter(o);
    QVERIFY(meter.start());
    w.f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.f));
    auto* sp1 = w.c<QPushButton>("SP1");
    QVERIFY(!sp1->isEnabled());  // no meter, no recording
    w.c<QCheckBox>("CheckBox_connect_auto")->click();
    QTRY_VERIFY_WITH_TIMEOUT(w.link().linkUp(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(sp1->isEnabled(), 3000);
    QTest::mouseClick(sp1, Qt::LeftButton);
    QVERIFY(w.recorder().recording());

    meter.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!w.link().linkUp(), 3000);
    QVERIFY(!w.session->meter().view().recordEnabled);  // the meter side allows no start
    QVERIFY(w.recorder().recording());
    QVERIFY(sp1->isEnabled());
    QTest::mouseClick(sp1, Qt::LeftButton);
    QVERIFY(!w.recorder().recording());
    QCOMPARE(sp1->text(), QStringLiteral("Пуск"));
    QVERIFY(!sp1->isEnabled());

    QVERIFY(meter.start());  // plugged in again: a start is offered once more
    QTRY_VERIFY_WITH_TIMEOUT(w.link().linkUp(), 8000);
    QTRY_VERIFY_WITH_TIMEOUT(sp1->isEnabled(), 3000);
  }
};

QTEST_MAIN(TestLog)
#include "test_log.moc"
