// The log grid, the profile editor and files, and 1.dat, driven through the
// window; and one run against the simulated meter.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QtTest>

#include "log_model.h"
#include "log_verdict_delegate.h"
#include "meter_model.h"
#include "profile_file.h"
#include "settings_file.h"
#include "window_fixture.h"

using namespace zt;
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

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Commands the window sends, kept for the test.
class RecordingTransport : public Transport {
 public:
  QList<QByteArray> written;
  bool isOpen() const override { return true; }
  qint64 write(const QByteArray& bytes) override {
    written << bytes;
    return bytes.size();
  }
};

// A window with a meter "connected", the editor free for sorting and
// recording possible.
struct LogFixture : WindowFixture {
  RecordingTransport port;
  LogModel* grid = nullptr;

  LogFixture() {
    TForm1& f = *form;
    grid = f.SGModel;
    f.SB4->setChecked(false);
    f.SB4Click();
    f.LinkUp = 1;
    f.PortQueryFound = 1;
    f.serialTransport = &port;
    f.SP1->setEnabled(true);
    f.meterSettings.LogReady = 1;
    f.meterSettings.CircuitSeries = 1;
    f.L_Prim_RLC->setText(QStringLiteral("R"));
    f.L_prim_n->setText(QStringLiteral("100.00 Ом"));
  }
  QString datFile() const { return SettingsFilePath(dataDir.path()); }
  void startRecording() {
    form->SP1->click();
    QVERIFY(form->SP1->isChecked());
  }
  // A profile file with the given names, made current through 1.dat.
  void openProfiles(const QStringList& names, const QString& fileName = QStringLiteral("parts.hex1")) {
    TForm1& f = *form;
    const QString path = dataDir.filePath(fileName);
    ProfileFile file(path);
    ProfileRecord r;
    r.ProfileName = names.value(0);
    QVERIFY(file.create(r).ok);
    std::int32_t count = 1;
    for (int i = 1; i < names.size(); ++i) {
      r.ProfileName = names[i];
      r.PrimaryNominal = QString::number(100 * (i + 1));
      QVERIFY(file.store(count, i + 1, r).ok);
    }
    prompts.openAnswers << path;
    f.SB2Click();
    QCOMPARE(f.ProfileCount, names.size());
  }
  void setSort(const QString& primaryTol, const QString& nominal, double readingR) {
    TForm1& f = *form;
    f.CBox2->setCurrentIndex(0);
    f.CBox1->setCurrentIndex(0);
    f.E2->setText(nominal);
    f.CBox5->setEditText(primaryTol);
    f.ReadingR = readingR;
    f.CheckTolerance();
  }
  // Column 1 of every row below the headings.
  QStringList rowNames() const {
    QStringList n;
    for (int r = 1; r < grid->gridRowCount(); ++r) n << grid->cell(r, 1);
    return n;
  }
  // Keys typed as the operator types them: each to the widget that has the
  // keyboard focus at that moment.
  static void type(const QString& keys) {
    for (const QChar c : keys) {
      QWidget* target = QApplication::focusWidget();
      QVERIFY(target);
      QTest::keyClick(target, c.toLatin1());
    }
  }
};

// Answers the real file dialogue that a call opens: types `path` as the name
// and accepts. A dialogue still open after accepting (it refused the name) is
// cancelled; message boxes it raises are counted and closed.
class DialogDriver : public QObject {
 public:
  explicit DialogDriver(const QString& path) : m_path(path) {
    connect(&m_tick, &QTimer::timeout, this, [this] { step(); });
    m_tick.start(10);
  }
  int messageBoxes = 0;

 private:
  void step() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible()) continue;
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        ++messageBoxes;
        box->reject();
        return;
      }
      if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
        if (m_accepted) {
          dialog->reject();
          return;
        }
        if (m_answered) return;  // the accept below has not run yet
        m_answered = true;
        // Typed into the name field and accepted at once (the dialogue's
        // background listing of the folder may change the field in between),
        // from the event loop, so that a message box it raises does not hold
        // this timer.
        QTimer::singleShot(0, dialog, [this, dialog] {
          if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) name->setText(m_path);
          static_cast<QDialog*>(dialog)->accept();
          m_accepted = true;
        });
        return;
      }
    }
  }
  QString m_path;
  QTimer m_tick;
  bool m_answered = false;
  bool m_accepted = false;
};
}  // namespace

class TestLog : public QObject {
  Q_OBJECT

 private slots:
  void rowColumns_data();
  void rowColumns();
  void startPositionExtendsTheGrid();
  void lastPositionStopsRecording();
  void spaceBar_data();
  void spaceBar();
  void clearWhileRecording();
  void multiPartKeepsMeasuredRows();
  void multiPartRowsNamedFromTheCurrentFile();
  void singlePartRefusesCellSelection();
  void settingsFileAcrossStarts();
  void storedModelOutsideButtons();
  void createGivesTheDesignedFile();
  void createCancelledAndLongPath();
  void writingAProfileFile_data();
  void writingAProfileFile();
  void openingANewName();
  void realDialogsTakeTheirNames();
  void editingCommandsKeepTheCountTrue();
  void typedNumbersAreFiltered();
  void typingATolerance_data();
  void typingATolerance();
  void simulatedMeterMultiPart();
};

void TestLog::rowColumns_data() {
  QTest::addColumn<QString>("sep");
  QTest::addColumn<QString>("tolerance");  // empty: off
  QTest::addColumn<double>("readingR");
  QTest::addColumn<QString>("mark");
  QTest::addColumn<QString>("deviation");
  QTest::addColumn<bool>("red");
  QTest::newRow("off") << "."
                       << "" << 150.0 << "old"
                       << "" << false;
  QTest::newRow("pass, point") << "."
                               << "1%" << 100.5 << "-"
                               << "0.50" << false;
  QTest::newRow("pass, comma") << ","
                               << "1%" << 100.5 << "-"
                               << "0,50" << false;
  QTest::newRow("reject, comma") << ","
                                 << "1%" << 102.0 << "+"
                                 << "2,00" << true;
  QTest::newRow("unreadable tolerance") << "."
                                        << "0,2%" << 100.0 << "+"
                                        << "0.00" << false;
}

void TestLog::rowColumns() {
  QFETCH(QString, sep);
  QFETCH(QString, tolerance);
  QFETCH(double, readingR);
  QFETCH(QString, mark);
  QFETCH(QString, deviation);
  QFETCH(bool, red);
  LogFixture fx;
  TForm1& f = *fx.form;
  f.DecimalSeparator = sep;
  fx.setSort(tolerance.isEmpty() ? f.CBox5->itemText(0) : tolerance, QStringLiteral("100"), readingR);
  fx.grid->setCell(1, 7, QStringLiteral("old"));
  f.meterSettings.FreqCode = 3;
  f.FreqText = QStringLiteral("1кГц");
  f.LevelText = QStringLiteral("1.0Вскз");
  fx.startRecording();
  f.AppendLogRow();
  QCOMPARE(fx.grid->cell(1, 0), QStringLiteral("1"));
  QVERIFY(fx.grid->cell(1, 1).contains(QDate::currentDate().toString(QStringLiteral("dd.MM.yy"))));
  QCOMPARE(fx.grid->cell(1, 2), QStringLiteral("R 100.00 Ом"));
  QCOMPARE(fx.grid->cell(1, 4), QStringLiteral("S"));
  QCOMPARE(fx.grid->cell(1, 5), QStringLiteral("1кГц"));
  QCOMPARE(fx.grid->cell(1, 6), QStringLiteral("1.0Вскз"));
  QCOMPARE(fx.grid->cell(1, 7), mark);
  QCOMPARE(fx.grid->cell(1, 8), deviation);
  QCOMPARE(fx.grid->cell(1, 9), QString());
  QCOMPARE(Painted(f.SG, 1, 8) == kRejectColour, red);
  QCOMPARE(f.SE1->value(), 2);
  QCOMPARE(f.LogPosition, 2);
}

void TestLog::startPositionExtendsTheGrid() {
  LogFixture fx;
  TForm1& f = *fx.form;
  fx.startRecording();
  f.SE1->setValue(15);
  f.AppendLogRow();
  QCOMPARE(fx.grid->cell(15, 0), QStringLiteral("15"));
  QCOMPARE(fx.grid->gridRowCount(), 16);
  f.AppendLogRow();
  QCOMPARE(fx.grid->gridRowCount(), 17);
  QCOMPARE(f.SE1->value(), 17);
  QCOMPARE(f.SG->currentIndex().row() + 1, 16);  // recording follows the new row
  // A frame without the log flag writes nothing.
  f.meterSettings.LogReady = 0;
  f.AppendLogRow();
  QCOMPARE(f.SE1->value(), 17);
}

void TestLog::lastPositionStopsRecording() {
  LogFixture fx;
  TForm1& f = *fx.form;
  fx.startRecording();
  f.SE1->setValue(100000);
  f.AppendLogRow();
  QCOMPARE(fx.grid->gridRowCount(), 100001);
  QCOMPARE(fx.grid->cell(100000, 2), QStringLiteral("R 100.00 Ом"));
  QVERIFY(!f.SP1->isChecked());
  QCOMPARE(f.SP1->text(), QStringLiteral("Пуск"));
  QCOMPARE(fx.prompts.messages.size(), 1);
  QCOMPARE(fx.prompts.messages[0].icon, Prompts::Icon::Warning);
  // Hold logging goes on offering readings: the full row is not overwritten.
  f.L_prim_n->setText(QStringLiteral("999 Ом"));
  f.meterSettings.Hold = 1;
  f.AppendLogRow();
  QCOMPARE(fx.grid->cell(100000, 2), QStringLiteral("R 100.00 Ом"));
  // A new start position writes again.
  f.SE1->setValue(5);
  f.AppendLogRow();
  QCOMPARE(fx.grid->cell(5, 2), QStringLiteral("R 999 Ом"));
}

void TestLog::spaceBar_data() {
  QTest::addColumn<QString>("condition");
  QTest::addColumn<bool>("written");
  QTest::newRow("all conditions hold") << "" << true;
  QTest::newRow("settings command in flight") << "busy" << false;
  QTest::newRow("profile editing") << "editing" << false;
  QTest::newRow("recording") << "recording" << false;
  QTest::newRow("no link") << "nolink" << false;
  QTest::newRow("meter asleep") << "asleep" << false;
  QTest::newRow("another key") << "key" << false;
}

void TestLog::spaceBar() {
  QFETCH(QString, condition);
  QFETCH(bool, written);
  LogFixture fx;
  TForm1& f = *fx.form;
  f.SE1->setValue(5);
  if (condition == QLatin1String("busy")) f.SettingsBusy = 1;
  if (condition == QLatin1String("editing")) f.SB4->setChecked(true);
  if (condition == QLatin1String("nolink")) f.LinkUp = 0;
  if (condition == QLatin1String("asleep")) f.MeterAsleep = 1;
  if (condition == QLatin1String("recording")) {
    fx.startRecording();
    f.SE1->setValue(5);
  }
  QTest::keyClick(&f, condition == QLatin1String("key") ? Qt::Key_A : Qt::Key_Space);
  QCOMPARE(!fx.grid->cell(5, 0).isEmpty(), written);
  if (written) {
    QCOMPARE(f.SE1->value(), 6);
    // Idle: the row is written but the grid does not move to it.
    QVERIFY(f.SG->currentIndex().row() + 1 != 5);
  }
}

void TestLog::clearWhileRecording() {
  LogFixture fx;
  TForm1& f = *fx.form;
  fx.startRecording();
  QCOMPARE(f.SP1->text(), QStringLiteral("Стоп"));
  QVERIFY(!f.SG->isEnabled());
  f.SE1->setValue(40);
  f.AppendLogRow();
  f.B5->click();
  QVERIFY(!f.SP1->isChecked());
  QCOMPARE(f.SP1->text(), QStringLiteral("Пуск"));
  QCOMPARE(fx.grid->gridRowCount(), 16);
  QCOMPARE(f.SE1->value(), 1);
  QVERIFY(!f.SG->isEnabled());  // until recording is started and stopped again
  QCOMPARE(fx.grid->header(0), QStringLiteral("Позиция"));
  fx.grid->setGridRowCount(41);
  QVERIFY(fx.grid->cell(40, 0).isEmpty());
}

void TestLog::multiPartKeepsMeasuredRows() {
  LogFixture fx;
  TForm1& f = *fx.form;
  fx.openProfiles({QStringLiteral("R1"), QStringLiteral("R2"), QStringLiteral("R3")});
  f.meterSettings.LogReady = 1;  // as the next frame from the meter says
  f.CBox10->setCurrentIndex(1);
  f.CBox10Click();
  QCOMPARE(fx.grid->header(1), QStringLiteral("Наименование"));
  QCOMPARE(fx.grid->cell(2, 1), QStringLiteral("R2"));
  fx.startRecording();
  // Recording clears the table to numbered, named, empty rows.
  QCOMPARE(fx.grid->gridRowCount(), 4);
  QCOMPARE(fx.grid->header(2), QStringLiteral("Основной"));
  for (int r = 1; r <= 3; ++r) {
    QCOMPARE(fx.grid->cell(r, 0), QString::number(r));
    QCOMPARE(fx.grid->cell(r, 1), QStringLiteral("R%1").arg(r));
    QVERIFY(fx.grid->cell(r, 2).isEmpty());
  }
  QVERIFY(!f.BB1->isEnabled());
  f.SE2->setValue(2);
  f.AppendLogRow();
  QCOMPARE(fx.grid->cell(2, 2), QStringLiteral("R 100.00 Ом"));
  QCOMPARE(fx.grid->cell(2, 1), QStringLiteral("R2"));
  QVERIFY(fx.grid->cell(1, 2).isEmpty());
  // The free slot after the last profile has no row: nothing is written.
  f.SE2->setValue(4);
  f.AppendLogRow();
  QCOMPARE(fx.grid->gridRowCount(), 4);
  // Stop and start again: measured rows stay.
  f.SP1->click();
  fx.startRecording();
  QCOMPARE(fx.grid->cell(2, 2), QStringLiteral("R 100.00 Ом"));
}

void TestLog::multiPartRowsNamedFromTheCurrentFile() {
  LogFixture fx;
  TForm1& f = *fx.form;
  // The first file's names fill the name list; then "Мульти" and a second file.
  fx.openProfiles({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")}, QStringLiteral("a.hex1"));
  QCOMPARE(f.CBox6->itemText(2), QStringLiteral("A3"));
  f.CBox10->setCurrentIndex(1);
  f.CBox10Click();
  fx.openProfiles({QStringLiteral("B1"), QStringLiteral("B2")}, QStringLiteral("b.hex1"));
  fx.startRecording();
  QCOMPARE(fx.rowNames(), (QStringList{"B1", "B2"}));
  f.SE2->setValue(2);
  f.AppendLogRow();
  QCOMPARE(fx.grid->cell(2, 1), QStringLiteral("B2"));

  // Profiles inserted and deleted: the next start names the rows after them,
  // under the measurement headings, with no text left from the profile table.
  auto edit = [&](const std::function<void()>& command) {
    f.SP1->click();  // stop
    f.SB4->setChecked(true);
    f.SB4Click();
    command();
    f.SB4->setChecked(false);
    f.SB4Click();
    fx.startRecording();
  };
  edit([&] {
    f.CBox6->setEditText(QStringLiteral("NEW"));
    f.SE2->setValue(1);
    f.Button_AddClick();
  });
  QCOMPARE(fx.rowNames(), (QStringList{"NEW", "B1", "B2"}));
  QCOMPARE(fx.grid->header(1), QStringLiteral("Наименование"));
  QCOMPARE(fx.grid->header(2), QStringLiteral("Основной"));
  QCOMPARE(fx.grid->header(7), QStringLiteral("Брак"));
  for (int r = 1; r <= 3; ++r) QVERIFY2(fx.grid->cell(r, 7).isEmpty(), qPrintable(fx.grid->cell(r, 7)));
  edit([&] {
    f.SE2->setValue(2);
    f.Button_DELClick();
  });
  QCOMPARE(fx.rowNames(), (QStringList{"NEW", "B2"}));
  // The name list offers the same names.
  QCOMPARE(f.CBox6->count(), 2);
  QCOMPARE(f.CBox6->itemText(1), QStringLiteral("B2"));
}

void TestLog::singlePartRefusesCellSelection() {
  LogFixture fx;
  TForm1& f = *fx.form;
  f.SelectGridCell(3, 2);
  QVERIFY(!f.SG->selectionModel()->isSelected(fx.grid->index(2, 2)));
  fx.startRecording();
  f.SelectGridCell(3, 2);
  QVERIFY(f.SG->selectionModel()->isSelected(fx.grid->index(2, 2)));
}

void TestLog::settingsFileAcrossStarts() {
  QTemporaryDir data;
  qputenv("RLC_DATA_DIR", data.path().toUtf8());
  test::FakePrompts prompts;
  TForm1Deps deps;
  deps.prompts = &prompts;
  const QString dat = SettingsFilePath(data.path());
  {
    TForm1 f(deps);
    QVERIFY(QFileInfo::exists(dat));
    QCOMPARE(QFileInfo(dat).size(), 0);
    f.CheckBox_connect_auto->setChecked(true);
    QCOMPARE(QFileInfo(dat).size(), 205);
    QCOMPARE(Bytes(dat).at(204), '\1');
    f.RB3->click();
    QCOMPARE(Bytes(dat).at(205), '\2');
  }
  {
    TForm1 f(deps);
    QVERIFY(f.RB3->isChecked());
    QCOMPARE(f.MeterModel, std::uint8_t(kZT42));
    QVERIFY(f.CheckBox_connect_auto->isChecked());
    QVERIFY(!f.B2->isEnabled());
  }
  // 1.dat removed while running: the writer tells the operator, nothing stops.
  {
    TForm1 f(deps);
    QVERIFY(QFile::remove(dat));
    prompts.messages.clear();
    f.RB1->click();
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY(!QFileInfo::exists(dat));
  }
}

void TestLog::storedModelOutsideButtons() {
  QTemporaryDir data;
  qputenv("RLC_DATA_DIR", data.path().toUtf8());
  test::FakePrompts prompts;
  TForm1Deps deps;
  deps.prompts = &prompts;
  { TForm1 f(deps); }
  QVERIFY(SaveMeterModel(data.path(), 5).ok);
  {
    TForm1 f(deps);
    QCOMPARE(f.MeterModel, std::uint8_t(5));
    QVERIFY(!f.RB1->isChecked() && !f.RB2->isChecked() && !f.RB3->isChecked());
  }
  QVERIFY(SaveMeterModel(data.path(), 10).ok);
  {
    TForm1 f(deps);
    QCOMPARE(f.MeterModel, std::uint8_t(kZT40));
  }
}

void TestLog::createGivesTheDesignedFile() {
  LogFixture fx;
  TForm1& f = *fx.form;
  f.CBox6->setEditText(QStringLiteral("R1"));
  f.CBox5->setCurrentIndex(0);
  f.E2->setText(QStringLiteral("10000"));
  const QString base = fx.dataDir.filePath(QStringLiteral("new"));
  fx.prompts.saveAnswers << base;
  QByteArray settings;
  for (auto v : f.meterSettings.toBytes()) settings.append(char(v));
  f.SB1Click();
  const QString path = base + QStringLiteral(".hex1");
  const QByteArray b = Bytes(path);
  QCOMPARE(b.size(), 172);
  QCOMPARE(b.left(4), QByteArray("\x01\0\0\0", 4));
  QCOMPARE(b.mid(100, 3), QByteArray("\x02R1"));
  QCOMPARE(b.mid(116, 4), QByteArray("\x03OFF"));
  QCOMPARE(b.mid(124, 6), QByteArray("\x05"
                                     "10000"));
  QCOMPARE(b.mid(154, 18), settings);
  QCOMPARE(fx.prompts.messages.value(0).text, QStringLiteral("Файл успешно создан!"));
  // 1.dat remembers it, and it is current.
  QCOMPARE(ReadSettingsFile(fx.dataDir.path()).data.lastProfilePath(), path);
  QCOMPARE(f.CurrentProfilePath, path);
  QCOMPARE(f.JvP8->text(), QStringLiteral("Профиль new"));
  QCOMPARE(f.SE2->maximum(), 2);
  // Choosing an existing a.hex1 gives a.hex1.hex1.
  fx.prompts.saveAnswers << path;
  f.SB1Click();
  QVERIFY(QFileInfo::exists(path + QStringLiteral(".hex1")));
}

void TestLog::createCancelledAndLongPath() {
  LogFixture fx;
  TForm1& f = *fx.form;
  f.SB1Click();  // cancelled
  QCOMPARE(fx.prompts.messages.value(0).text, QStringLiteral("Неудача!"));
  QVERIFY(f.CurrentProfilePath.isEmpty());
  // A path 1.dat cannot hold: the file is made and current, the operator told.
  const QString deep = fx.dataDir.filePath(QString(120, QLatin1Char('d')));
  QVERIFY(QDir().mkpath(deep));
  const QString base = QDir(deep).filePath(QString(80, QLatin1Char('n')));
  fx.prompts.messages.clear();
  fx.prompts.saveAnswers << base;
  f.SB1Click();
  QCOMPARE(fx.prompts.messages.size(), 2);  // created, then not remembered
  QCOMPARE(fx.prompts.messages[1].icon, Prompts::Icon::Warning);
  QCOMPARE(f.CurrentProfilePath, base + QStringLiteral(".hex1"));
  QVERIFY(f.JvP8->text().endsWith(QString(80, QLatin1Char('n'))));
  QVERIFY(ReadSettingsFile(fx.dataDir.path()).data.lastProfilePath().isEmpty());
}

// "Создать" and "Сохранить как" write the chosen name + ".hex1"; any question
// is about that file, and a "no" brings the dialogue back.
void TestLog::writingAProfileFile_data() {
  QTest::addColumn<bool>("copy");               // "Сохранить как", else "Создать"
  QTest::addColumn<QStringList>("chosen");      // names given to the dialogues, in order
  QTest::addColumn<QStringList>("existing");    // files there before
  QTest::addColumn<QList<bool>>("replies");     // answers to the questions
  QTest::addColumn<QStringList>("askedAbout");  // the file of each question
  QTest::addColumn<QString>("written");         // the file written, empty for none
  using L = QStringList;
  using B = QList<bool>;
  QTest::newRow("create, new name") << false << L{"n"} << L{} << B{} << L{} << "n.hex1";
  QTest::newRow("create over a file, yes") << false << L{"n"} << L{"n.hex1"} << B{true} << L{"n.hex1"} << "n.hex1";
  QTest::newRow("create over a file, no, another name")
      << false << L{"n", "m"} << L{"n.hex1"} << B{false} << L{"n.hex1"} << "m.hex1";
  QTest::newRow("create over a file, no, cancel") << false << L{"n"} << L{"n.hex1"} << B{false} << L{"n.hex1"} << "";
  QTest::newRow("create picking a.hex1") << false << L{"a.hex1"} << L{"a.hex1"} << B{} << L{} << "a.hex1.hex1";
  QTest::newRow("create picking a.hex1, a.hex1.hex1 there")
      << false << L{"a.hex1"} << L{"a.hex1", "a.hex1.hex1"} << B{true} << L{"a.hex1.hex1"} << "a.hex1.hex1";
  QTest::newRow("save as over a file, yes") << true << L{"c"} << L{"c.hex1"} << B{true} << L{"c.hex1"} << "c.hex1";
  QTest::newRow("save as over a file, no, cancel") << true << L{"c"} << L{"c.hex1"} << B{false} << L{"c.hex1"} << "";
  QTest::newRow("save as picking a.hex1") << true << L{"a.hex1"} << L{"a.hex1"} << B{} << L{} << "a.hex1.hex1";
}

void TestLog::writingAProfileFile() {
  QFETCH(bool, copy);
  QFETCH(QStringList, chosen);
  QFETCH(QStringList, existing);
  QFETCH(QList<bool>, replies);
  QFETCH(QStringList, askedAbout);
  QFETCH(QString, written);
  LogFixture fx;
  TForm1& f = *fx.form;
  const QDir dir(fx.dataDir.path());
  if (copy) fx.openProfiles({QStringLiteral("P1"), QStringLiteral("P2")});
  const QString before = f.CurrentProfilePath;
  const QByteArray old("old");
  for (const QString& name : existing) {
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(old);
  }
  fx.prompts.messages.clear();
  fx.prompts.dialogKinds.clear();
  for (const QString& name : chosen) fx.prompts.saveAnswers << dir.filePath(name);
  fx.prompts.questionAnswers = replies;
  if (copy)
    f.SB3Click();
  else
    f.SB1Click();

  // Only the program asks, and about the file it writes.
  for (const QString& kind : fx.prompts.dialogKinds) QCOMPARE(kind, QStringLiteral("new"));
  QCOMPARE(fx.prompts.questions.size(), askedAbout.size());
  for (int i = 0; i < askedAbout.size(); ++i) {
    const QString path = QDir::toNativeSeparators(dir.filePath(askedAbout[i]));
    QVERIFY2(fx.prompts.questions[i].contains(path + QLatin1Char(' ')), qPrintable(fx.prompts.questions[i]));
  }
  // After a "no" the dialogue comes back proposing the name given.
  for (int i = 1; i < fx.prompts.saveDirs.size(); ++i) QCOMPARE(fx.prompts.saveDirs[i], dir.filePath(chosen[i - 1]));
  for (const QString& name : existing)
    if (name != written) QCOMPARE(Bytes(dir.filePath(name)), old);
  if (written.isEmpty()) {
    QCOMPARE(f.CurrentProfilePath, before);
    // A cancelled "Создать" says so; "Сохранить как" says nothing.
    QCOMPARE(fx.prompts.messages.size(), copy ? 0 : 1);
    return;
  }
  const QString path = dir.filePath(written);
  QCOMPARE(f.CurrentProfilePath, path);
  if (copy)
    QCOMPARE(Bytes(path), Bytes(before));
  else
    QCOMPARE(Bytes(path).size(), 172);
}

void TestLog::openingANewName() {
  LogFixture fx;
  TForm1& f = *fx.form;
  fx.openProfiles({QStringLiteral("P1"), QStringLiteral("P2")});
  const QString caption = f.JvP8->text();
  const QString fresh = fx.dataDir.filePath(QStringLiteral("b"));
  fx.prompts.dialogKinds.clear();
  fx.prompts.openAnswers << fresh;
  f.SB2Click();
  QCOMPARE(fx.prompts.dialogKinds, QStringList{QStringLiteral("open-or-new")});
  // A file of that very name, with one profile; the caption still names the
  // file before.
  QCOMPARE(Bytes(fresh).size(), 172);
  QCOMPARE(Bytes(fresh).left(4), QByteArray("\x01\0\0\0", 4));
  QCOMPARE(f.CurrentProfilePath, fresh);
  QCOMPARE(f.ProfileCount, 1);
  QCOMPARE(f.JvP8->text(), caption);
}

// The real dialogues behind "Открыть" and the profile file saves: the first
// takes a name that does not exist, the second a name that does, without a
// question of its own.
void TestLog::realDialogsTakeTheirNames() {
  QTemporaryDir dir;
  QtPrompts real;
  const QString fresh = dir.filePath(QStringLiteral("fresh"));
  {
    DialogDriver driver(fresh);
    QCOMPARE(real.openOrNewFileName(nullptr, QStringLiteral("Open"), dir.path(), QStringLiteral("*.hex1")), fresh);
    QCOMPARE(driver.messageBoxes, 0);
  }
  const QString there = dir.filePath(QStringLiteral("there.hex1"));
  QFile file(there);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.close();
  {
    DialogDriver driver(there);
    QCOMPARE(real.newFileName(nullptr, QStringLiteral("Save"), dir.path(), QStringLiteral("*.hex1")), there);
    QCOMPARE(driver.messageBoxes, 0);
  }
  QVERIFY(!QFileInfo::exists(fresh));  // choosing is not creating
}

void TestLog::editingCommandsKeepTheCountTrue() {
  LogFixture fx;
  TForm1& f = *fx.form;
  // No file yet: "Запись" at the free slot fails and the count stays.
  f.SE2->setValue(1);
  f.BB1Click();
  QCOMPARE(f.ProfileCount, 0);
  QCOMPARE(fx.prompts.messages.size(), 1);
  QCOMPARE(fx.prompts.messages[0].icon, Prompts::Icon::Critical);

  fx.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
  f.SB4->setChecked(true);
  f.SB4Click();
  f.CBox6->setEditText(QStringLiteral("NEW"));
  f.SE2->setValue(1);
  f.Button_AddClick();
  QCOMPARE(f.ProfileCount, 4);
  QCOMPARE(f.SE2->maximum(), 5);
  std::int32_t header = 0;
  ProfileFile(f.CurrentProfilePath).readCount(header);
  QCOMPARE(header, 4);
  f.CBox6DropDown();
  QCOMPARE(f.CBox6->count(), 4);
  QCOMPARE(f.CBox6->itemText(0), QStringLiteral("NEW"));
  QCOMPARE(f.CBox6->itemText(3), QStringLiteral("C"));
  // "Запись" at the free slot appends one.
  f.SE2->setValue(5);
  f.BB1Click();
  QCOMPARE(f.ProfileCount, 5);
  // Deleting down to nothing never makes the count negative.
  for (int i = 0; i < 7; ++i) {
    f.SE2->setValue(1);
    f.Button_DELClick();
  }
  QCOMPARE(f.ProfileCount, 0);
  ProfileFile(f.CurrentProfilePath).readCount(header);
  QCOMPARE(header, 0);
}

void TestLog::typedNumbersAreFiltered() {
  LogFixture fx;
  TForm1& f = *fx.form;
  f.DecimalSeparator = QStringLiteral(",");
  f.E2->clear();
  QTest::keyClicks(f.E2, QStringLiteral("1a2,3,4"));
  QCOMPARE(f.E2->text(), QStringLiteral("12,34"));
  f.E11->setText(QStringLiteral(",5"));
  QCOMPARE(f.E11->text(), QStringLiteral("5"));
  f.CBox5->lineEdit()->clear();
  QTest::keyClicks(f.CBox5->lineEdit(), QStringLiteral("7"));
  QCOMPARE(f.CBox5->currentText(), QStringLiteral("7%"));
}

// A tolerance typed key by key into the focused box: the box keeps the focus
// until Enter or a pick from the list.
void TestLog::typingATolerance_data() {
  QTest::addColumn<bool>("secondary");
  QTest::addColumn<QString>("keys");
  QTest::addColumn<QString>("shown");
  QTest::addColumn<int>("caret");
  QTest::newRow("primary 15") << false << "15"
                              << "15%" << 2;
  QTest::newRow("secondary 15") << true << "15"
                                << "15%" << 2;
  QTest::newRow("a decimal") << false << "0.25"
                             << "0.25%" << 4;
  QTest::newRow("stray keys") << true << "1a2%3"
                              << "123%" << 4;
}

void TestLog::typingATolerance() {
  QFETCH(bool, secondary);
  QFETCH(QString, keys);
  QFETCH(QString, shown);
  QFETCH(int, caret);
  LogFixture fx;
  TForm1& f = *fx.form;
  QComboBox* box = secondary ? f.CBox51 : f.CBox5;
  f.show();
  f.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&f));
  box->setFocus();
  QTRY_VERIFY(box->hasFocus());
  box->lineEdit()->selectAll();
  fx.type(keys);
  QCOMPARE(box->currentText(), shown);
  QCOMPARE(box->lineEdit()->cursorPosition(), caret);
  QVERIFY(box->hasFocus());
  // Enter completes the value and leaves the box.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCOMPARE(box->currentText(), shown);
  QCOMPARE(QApplication::focusWidget(), f.Memo1);

  // Leaving for another control with a typed value that names an item: the
  // other control keeps the focus.
  box->setFocus();
  QTRY_VERIFY(box->hasFocus());
  box->lineEdit()->selectAll();
  fx.type(QStringLiteral("2"));
  QCOMPARE(box->currentText(), QStringLiteral("2%"));
  f.E2->setFocus();
  QCOMPARE(QApplication::focusWidget(), f.E2);

  // A pick from the list shows the item as listed and leaves the box.
  box->setFocus();
  box->showPopup();
  QAbstractItemView* list = box->view();
  QTRY_VERIFY(list->isVisible());
  const QModelIndex item = list->model()->index(1, 0);  // "0,2%"
  list->scrollTo(item);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
  QTRY_VERIFY(!list->isVisible());
  QCOMPARE(box->currentText(), box->itemText(1));
  QTRY_COMPARE(QApplication::focusWidget(), f.Memo1);
}

void TestLog::simulatedMeterMultiPart() {
  LogFixture fx;
  TForm1& f = *fx.form;
  // Two profiles with different nominal values and meter settings.
  const QString path = fx.dataDir.filePath(QStringLiteral("sorting"));
  f.CBox6->setEditText(QStringLiteral("R1k"));
  f.CBox2->setCurrentIndex(0);
  f.CBox1->setCurrentIndex(1);  // кОм
  f.E2->setText(QStringLiteral("1"));
  f.CBox5->setCurrentIndex(4);  // 1%
  f.meterSettings.FreqAuto = 0;
  f.meterSettings.FreqCode = 3;
  f.meterSettings.IntervalCode = 2;
  fx.prompts.saveAnswers << path;
  f.SB1Click();
  QCOMPARE(f.ProfileCount, 1);
  f.SB4->setChecked(true);
  f.SB4Click();
  f.CBox6->setEditText(QStringLiteral("R2k"));
  f.E2->setText(QStringLiteral("2"));
  f.meterSettings.FreqCode = 4;
  f.SE2->setValue(2);
  f.BB1Click();
  QCOMPARE(f.ProfileCount, 2);
  f.SB4->setChecked(false);
  f.SB4Click();

  sim::Options opts;
  opts.mode = sim::LinkMode::Bridge;
  opts.dut = QStringLiteral("R=1k;R=2.1k");
  opts.partFrames = 1;
  opts.noise = 0;
  sim::MeterModel meter(opts, 0);
  qint64 now = 0;
  auto feedCommands = [&] {
    for (const QByteArray& c : fx.port.written) {
      meter.receive(c, now);
      now += 20;  // the meter takes a command after a short silence
      meter.advance(now);
    }
    fx.port.written.clear();
  };
  // The meter moves through its list of parts; measure when `ohms` is in the fixture.
  auto measure = [&](double ohms) {
    for (int tries = 0; tries < 8; ++tries) {
      now += 1000;
      const sim::FrameBytes fb = meter.buildFrame(now);
      Frame fr;
      std::copy(fb.begin(), fb.end(), fr.begin());
      if (std::fabs(DecodeFrameFloat(fr, 0) - ohms) > ohms * 0.01) continue;
      f.SettingsBusy = 0;
      f.ProcessFrame(fr);
      return true;
    }
    return false;
  };

  f.CBox10->setCurrentIndex(1);
  f.CBox10Click();
  fx.startRecording();
  // Selecting profile 1 sends its settings (1 kHz) to the meter.
  fx.port.written.clear();
  f.SE2->setValue(1);
  f.SE2TopClick();
  QCOMPARE(fx.port.written.size(), 1);
  QCOMPARE(fx.port.written[0].size(), 6);
  feedCommands();
  QCOMPARE(int(meter.settings().freqCode), 3);
  QVERIFY(measure(1000));  // part 1 against 1 kΩ
  QCOMPARE(fx.grid->cell(1, 7), QStringLiteral("-"));
  QCOMPARE(fx.grid->cell(1, 1), QStringLiteral("R1k"));

  f.SE2->setValue(2);
  f.SE2TopClick();
  feedCommands();
  QCOMPARE(int(meter.settings().freqCode), 4);
  QVERIFY(measure(2100));  // part 2 against 2 kΩ at 1 %
  QCOMPARE(fx.grid->cell(2, 7), QStringLiteral("+"));
  QCOMPARE(Painted(f.SG, 2, 8), kRejectColour);
  QCOMPARE(fx.grid->cell(2, 8), QStringLiteral("5.00"));
  // Row 1 keeps its own verdict.
  QCOMPARE(Painted(f.SG, 1, 7), kPassColour);
}

QTEST_MAIN(TestLog)
#include "test_log.moc"
