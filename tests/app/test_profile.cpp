// The profile editor and the profile file commands over the profile book:
// each edit reaches the book's reference, a profile read reaches the editor,
// the selection and record commands reach the book, and the file dialogues
// ask about the file that is written. The input rules of the typed fields
// and the tolerance boxes' focus rule are the view's. The book's own table
// is tests/log/test_profile_book.cpp.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QtTest>

#include "window_profiles.h"

using namespace zt;
using zt::test::Bytes;
using zt::test::Control;
using zt::test::OpenProfiles;
using zt::test::WindowFixture;

namespace {

struct Editor : WindowFixture {
  TForm1& f = window();
  template <typename T = QWidget>
  T* c(const char* name) {
    return Control<T>(f, name);
  }
  const Reference& ref() { return book().reference(); }
  // Keys typed as the operator types them: each to the widget that has the
  // keyboard focus at that moment.
  static void type(const QString& keys) {
    for (const QChar ch : keys) {
      QWidget* target = QApplication::focusWidget();
      QVERIFY(target);
      QTest::keyClick(target, ch.toLatin1());
    }
  }
  void showActive() {
    f.show();
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
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

class TestProfile : public QObject {
  Q_OBJECT

 private slots:
  // Every field of the editor reaches the book's reference as it is edited.
  void editsReachTheReference() {
    Editor e;
    e.c<QComboBox>("CBox6")->setEditText(QStringLiteral("Part 7"));
    QCOMPARE(e.ref().name, QStringLiteral("Part 7"));
    e.c<QLineEdit>("E2")->setText(QStringLiteral("12.5"));
    QCOMPARE(e.ref().primary.nominalText, QStringLiteral("12.5"));
    e.c<QLineEdit>("E11")->setText(QStringLiteral("7"));
    QCOMPARE(e.ref().secondary.nominalText, QStringLiteral("7"));

    // The tolerance: a listed value, "off", a typed value.
    auto* tol = e.c<QComboBox>("CBox5");
    emit tol->activated(4);
    QVERIFY(e.ref().primary.toleranceOn);
    QCOMPARE(e.ref().primary.toleranceText, QStringLiteral("1%"));
    emit tol->activated(0);
    QVERIFY(!e.ref().primary.toleranceOn);
    tol->lineEdit()->clear();
    QTest::keyClicks(tol->lineEdit(), QStringLiteral("15"));
    QVERIFY(e.ref().primary.toleranceOn);
    QCOMPARE(e.ref().primary.toleranceText, QStringLiteral("15%"));
    emit e.c<QComboBox>("CBox51")->activated(10);
    QVERIFY(e.ref().secondary.toleranceOn);
    QCOMPARE(e.ref().secondary.toleranceText, QStringLiteral(">"));

    // Kinds and units: the unit box of the kind shows, and its unit counts.
    e.c<QComboBox>("CBox3")->setCurrentIndex(2);  // Гн, not in use yet
    QCOMPARE(e.ref().primary.unitIndex, 0);
    e.c<QComboBox>("CBox2")->setCurrentIndex(kPrimaryL);
    QCOMPARE(e.ref().primary.kind, int(kPrimaryL));
    QCOMPARE(e.ref().primary.unitIndex, 2);
    QVERIFY(!e.c("CBox3")->isHidden() && e.c("CBox1")->isHidden() && e.c("CBox4")->isHidden());
    e.c<QComboBox>("CBox3")->setCurrentIndex(1);
    QCOMPARE(e.ref().primary.unitIndex, 1);
    e.c<QComboBox>("CBox11")->setCurrentIndex(kSecondaryQ);
    QCOMPARE(e.ref().secondary.kind, int(kSecondaryQ));
    QVERIFY(e.c("CBox31")->isHidden());
    e.c<QComboBox>("CBox11")->setCurrentIndex(kSecondaryR);
    e.c<QComboBox>("CBox31")->setCurrentIndex(2);
    QCOMPARE(e.ref().secondary.unitIndex, 2);
  }

  // A profile read by the book fills the editor; SE2's arrows read, typing
  // a number does not.
  void profileIntoTheEditor() {
    Editor e;
    const QString path = e.dataDir.filePath(QStringLiteral("p.hex1"));
    ProfileRecord r;
    r.ProfileName = QStringLiteral("First");
    QVERIFY(ProfileFile(path).create(r).ok);
    r.ProfileName = QStringLiteral("Coil");
    r.StartPosition = 12;
    r.PrimaryTolerance = QStringLiteral("1%");
    r.PrimaryKind = kPrimaryL;
    r.PrimaryUnit = 1;
    r.PrimaryNominal = QStringLiteral("2.5");
    r.SecondaryKind = kSecondaryQ;
    r.Settings.FreqAuto = 0;
    r.Settings.FreqCode = 3;
    std::int32_t count = 1;
    QVERIFY(ProfileFile(path).store(count, 2, r).ok);
    e.prompts.openAnswers << path;
    QTest::mouseClick(e.c("SB2"), Qt::LeftButton);
    QCOMPARE(e.c<QLabel>("JvP8")->text(), QStringLiteral("Профиль p"));
    QVERIFY(e.c("SB3")->isEnabled());
    QCOMPARE(e.c<QComboBox>("CBox6")->currentText(), QStringLiteral("First"));
    auto* se2 = e.c<QSpinBox>("SE2");
    QCOMPARE(se2->maximum(), 3);

    se2->setValue(2);  // typed: nothing is read
    QCOMPARE(e.book().currentNumber(), 2);
    QCOMPARE(e.c<QComboBox>("CBox6")->currentText(), QStringLiteral("First"));
    se2->setValue(1);
    QTest::keyClick(se2, Qt::Key_Up);
    QCOMPARE(e.book().currentNumber(), 2);
    QCOMPARE(e.c<QComboBox>("CBox6")->currentText(), QStringLiteral("Coil"));
    QCOMPARE(e.c<QComboBox>("CBox5")->currentText(), QStringLiteral("1%"));
    QCOMPARE(e.c<QComboBox>("CBox2")->currentIndex(), int(kPrimaryL));
    QCOMPARE(e.c<QComboBox>("CBox3")->currentIndex(), 1);
    QVERIFY(!e.c("CBox3")->isHidden() && e.c("CBox1")->isHidden());
    QCOMPARE(e.c<QLineEdit>("E2")->text(), QStringLiteral("2.5"));
    QCOMPARE(e.c<QComboBox>("CBox51")->currentIndex(), 0);  // off shows the box's first item
    QCOMPARE(e.c<QComboBox>("CBox51")->currentText(), QStringLiteral("выкл."));
    QCOMPARE(e.c<QComboBox>("CBox11")->currentIndex(), int(kSecondaryQ));
    QVERIFY(e.c("CBox31")->isHidden());
    QCOMPARE(e.c<QSpinBox>("SE1")->value(), 12);
    QCOMPARE(e.c<QLabel>("L_freq_RLC")->text(), QStringLiteral(" 1кГц"));  // its settings
    QCOMPARE(e.ref(), e.book().reference());
  }

  // The name list is the file's, refilled when it drops down; a pick reads it.
  void namesAndPicks() {
    Editor e;
    OpenProfiles(e, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    auto* names = e.c<QComboBox>("CBox6");
    QCOMPARE(names->count(), 3);
    QCOMPARE(names->itemText(2), QStringLiteral("C"));
    names->setCurrentIndex(2);
    emit names->activated(2);
    QCOMPARE(e.book().currentNumber(), 3);
    QCOMPARE(e.c<QSpinBox>("SE2")->value(), 3);
    QCOMPARE(e.c<QLineEdit>("E2")->text(), QStringLiteral("300"));
    // A name changed behind the window's back is listed at the next drop-down.
    ProfileRecord r;
    r.ProfileName = QStringLiteral("B2");
    QVERIFY(ProfileFile(e.book().currentProfilePath()).writeRecord(2, r).ok);
    names->showPopup();
    QTRY_COMPARE(names->itemText(1), QStringLiteral("B2"));
    names->hidePopup();
  }

  // "Запись", "Добавить" and "Удалить" reach the book, and are locked while
  // measuring.
  void recordCommands() {
    Editor e;
    QTest::mouseClick(e.c("BB1"), Qt::LeftButton);  // no file yet
    QCOMPARE(e.prompts.messages.size(), 1);
    QCOMPARE(e.prompts.messages[0].icon, Prompts::Icon::Critical);
    OpenProfiles(e, {QStringLiteral("A"), QStringLiteral("B")});
    e.c<QComboBox>("CBox6")->setEditText(QStringLiteral("NEW"));
    e.c<QSpinBox>("SE2")->setValue(1);
    QTest::mouseClick(e.c("Button_Add"), Qt::LeftButton);
    QCOMPARE(e.book().profileCount(), 3);
    QCOMPARE(e.c<QSpinBox>("SE2")->maximum(), 4);
    e.c<QSpinBox>("SE2")->setValue(4);
    QTest::mouseClick(e.c("BB1"), Qt::LeftButton);
    QCOMPARE(e.book().profileCount(), 4);
    e.c<QSpinBox>("SE2")->setValue(2);
    QTest::mouseClick(e.c("Button_DEL"), Qt::LeftButton);
    QCOMPARE(e.book().profileCount(), 3);

    QTest::mouseClick(e.c("SB4"), Qt::LeftButton);  // measuring
    for (const char* n : {"BB1", "Button_Add", "Button_DEL"}) QVERIFY2(!e.c(n)->isEnabled(), n);
    QTest::mouseClick(e.c("SB4"), Qt::LeftButton);  // editing again
    for (const char* n : {"BB1", "Button_Add", "Button_DEL"}) QVERIFY2(e.c(n)->isEnabled(), n);
    emit e.recorder().profileEditingLocked();
    for (const char* n : {"BB1", "Button_Add", "Button_DEL"}) QVERIFY2(!e.c(n)->isEnabled(), n);
  }

  // "Создать" and "Сохранить как" write the chosen name, with ".hex1" when it
  // lacks it; any question
  // is about that file, and a "no" brings the dialogue back.
  void writingAProfileFile_data() {
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
    // A name that has the extension (Windows' own dialogue adds it) gets none more.
    QTest::newRow("create picking a.hex1") << false << L{"a.hex1"} << L{"a.hex1"} << B{true} << L{"a.hex1"} << "a.hex1";
    QTest::newRow("create picking a.hex1, a.hex1.hex1 there")
        << false << L{"a.hex1"} << L{"a.hex1", "a.hex1.hex1"} << B{true} << L{"a.hex1"} << "a.hex1";
    QTest::newRow("create typing A.HEX1") << false << L{"A.HEX1"} << L{} << B{} << L{} << "A.HEX1";
    QTest::newRow("save as over a file, yes") << true << L{"c"} << L{"c.hex1"} << B{true} << L{"c.hex1"} << "c.hex1";
    QTest::newRow("save as over a file, no, cancel") << true << L{"c"} << L{"c.hex1"} << B{false} << L{"c.hex1"} << "";
    QTest::newRow("save as picking a.hex1") << true << L{"a.hex1"} << L{"a.hex1"} << B{true} << L{"a.hex1"} << "a.hex1";
    QTest::newRow("save as typing a") << true << L{"a"} << L{} << B{} << L{} << "a.hex1";
  }
  void writingAProfileFile() {
    QFETCH(bool, copy);
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, existing);
    QFETCH(QList<bool>, replies);
    QFETCH(QStringList, askedAbout);
    QFETCH(QString, written);
    Editor e;
    const QDir dir(e.dataDir.path());
    if (copy) OpenProfiles(e, {QStringLiteral("P1"), QStringLiteral("P2")});
    const QString before = e.book().currentProfilePath();
    const QByteArray old("old");
    for (const QString& name : existing) {
      QFile file(dir.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(old);
    }
    e.prompts.messages.clear();
    e.prompts.dialogKinds.clear();
    e.prompts.dialogCaptions.clear();
    for (const QString& name : chosen) e.prompts.saveAnswers << dir.filePath(name);
    e.prompts.questionAnswers = replies;
    QTest::mouseClick(e.c(copy ? "SB3" : "SB1"), Qt::LeftButton);

    // Only the program asks, and about the file it writes.
    for (const QString& kind : e.prompts.dialogKinds) QCOMPARE(kind, QStringLiteral("new"));
    QCOMPARE(e.prompts.dialogCaptions.value(0), e.c<QPushButton>(copy ? "SB3" : "SB1")->text());
    QCOMPARE(e.prompts.questions.size(), askedAbout.size());
    for (int i = 0; i < askedAbout.size(); ++i) {
      const QString path = QDir::toNativeSeparators(dir.filePath(askedAbout[i]));
      QVERIFY2(e.prompts.questions[i].contains(path + QLatin1Char(' ')), qPrintable(e.prompts.questions[i]));
    }
    // After a "no" the dialogue comes back proposing the name given.
    for (int i = 1; i < e.prompts.saveDirs.size(); ++i) QCOMPARE(e.prompts.saveDirs[i], dir.filePath(chosen[i - 1]));
    for (const QString& name : existing)
      if (name != written) QCOMPARE(Bytes(dir.filePath(name)), old);
    if (written.isEmpty()) {
      QCOMPARE(e.book().currentProfilePath(), before);
      // A cancelled "Создать" says so; "Сохранить как" says nothing.
      QCOMPARE(e.prompts.messages.size(), copy ? 0 : 1);
      if (!copy) QCOMPARE(e.prompts.messages[0].text, QStringLiteral("Неудача!"));
      return;
    }
    const QString path = dir.filePath(written);
    QCOMPARE(e.book().currentProfilePath(), path);
    QVERIFY(e.c<QLabel>("JvP8")->text().endsWith(QFileInfo(written).completeBaseName()));
    if (copy)
      QCOMPARE(Bytes(path), Bytes(before));
    else
      QCOMPARE(Bytes(path).size(), 172);
  }

  // "Открыть" on a file that is not a profile file: refused with the reason
  // the check of the file gives (zt-record gives the same), nothing changes.
  void openingAFileOfAnotherKind() {
    Editor e;
    OpenProfiles(e, {QStringLiteral("P1"), QStringLiteral("P2")});
    const QString before = e.book().currentProfilePath();
    const QString editorName = e.c<QComboBox>("CBox6")->currentText();
    QByteArray passwd;
    for (int i = 0; i < 10; ++i) passwd += "root:x:0:0:root:/root:/bin/bash\n";
    const QString path = e.dataDir.filePath(QStringLiteral("passwd"));
    {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(passwd);
    }
    e.prompts.messages.clear();
    e.prompts.openAnswers << path;
    QTest::mouseClick(e.c("SB2"), Qt::LeftButton);
    QCOMPARE(e.prompts.messages.size(), 1);
    QCOMPARE(e.prompts.messages[0].icon, Prompts::Icon::Critical);
    QCOMPARE(e.prompts.messages[0].text,
             QStringLiteral("Неудача!\n") +
                 e.lex().D4[msg::kNotProfileFile].arg(QDir::toNativeSeparators(path), CheckProfileFile(passwd).reason));
    QVERIFY(e.prompts.messages[0].text.contains(QStringLiteral("вне пределов 0-99999")));
    QCOMPARE(e.book().currentProfilePath(), before);
    QVERIFY(e.c<QLabel>("JvP8")->text().endsWith(QStringLiteral("parts")));
    QCOMPARE(e.c<QComboBox>("CBox6")->currentText(), editorName);
  }

  // A nominal value of up to 10 characters read from a file shows whole, so
  // what shows is what is sorted against and stored again; typing keeps the
  // 7-character limit of the box.
  void longNominalShowsWhole() {
    Editor e;
    const QString path = e.dataDir.filePath(QStringLiteral("long.hex1"));
    ProfileRecord r;
    r.ProfileName = QStringLiteral("L");
    r.PrimaryNominal = QStringLiteral("1234567.89");
    r.PrimaryTolerance = QStringLiteral("1%");
    std::int32_t count = 1;
    QVERIFY(ProfileFile(path).create(r).ok);
    r.PrimaryNominal = QStringLiteral("100");
    QVERIFY(ProfileFile(path).store(count, 2, r).ok);
    e.prompts.openAnswers << path;
    QTest::mouseClick(e.c("SB2"), Qt::LeftButton);
    auto* e2 = e.c<QLineEdit>("E2");
    QCOMPARE(e2->text(), QStringLiteral("1234567.89"));
    QCOMPARE(e.ref().primary.nominalText, QStringLiteral("1234567.89"));
    QCOMPARE(e.book().EditorRecord().PrimaryNominal, QStringLiteral("1234567.89"));
    // An edit keeps the rest of it.
    e2->setFocus();
    e2->setCursorPosition(0);
    QTest::keyClick(e2, Qt::Key_Delete);
    QCOMPARE(e2->text(), QStringLiteral("234567.89"));
    QCOMPARE(e.ref().primary.nominalText, QStringLiteral("234567.89"));
    // A short value read next: typing is held to 7 characters again.
    e.book().step(2);
    QCOMPARE(e2->text(), QStringLiteral("100"));
    e2->setCursorPosition(3);
    for (int i = 0; i < 6; ++i) QTest::keyClick(e2, Qt::Key_5);
    QCOMPARE(e2->text(), QStringLiteral("1005555"));
  }

  // The profile file dialogues start in the folder of the current file, else
  // in the data folder.
  void dialoguesStartAtTheCurrentFile() {
    Editor e;
    QTest::mouseClick(e.c("SB2"), Qt::LeftButton);  // cancelled
    QCOMPARE(e.prompts.openDirs, QStringList{e.dataDir.path()});
    QVERIFY(QDir(e.dataDir.path()).mkpath(QStringLiteral("sub")));
    OpenProfiles(e, {QStringLiteral("A")}, QStringLiteral("sub/p.hex1"));
    QTest::mouseClick(e.c("SB2"), Qt::LeftButton);
    QTest::mouseClick(e.c("SB1"), Qt::LeftButton);
    QTest::mouseClick(e.c("SB3"), Qt::LeftButton);
    const QString sub = e.dataDir.filePath(QStringLiteral("sub"));
    QCOMPARE(e.prompts.openDirs.last(), sub);
    QCOMPARE(e.prompts.saveDirs, (QStringList{sub, sub}));
  }

  // "Открыть" takes a name that does not exist: the book makes that file.
  void openingANewName() {
    Editor e;
    const QString fresh = e.dataDir.filePath(QStringLiteral("b"));
    e.prompts.openAnswers << fresh;
    QTest::mouseClick(e.c("SB2"), Qt::LeftButton);
    QCOMPARE(e.prompts.dialogKinds, QStringList{QStringLiteral("open-or-new")});
    QCOMPARE(e.prompts.dialogCaptions, QStringList{e.c<QPushButton>("SB2")->text()});
    QCOMPARE(Bytes(fresh).size(), 172);
    QCOMPARE(e.book().currentProfilePath(), fresh);
    // A cancelled dialogue does nothing.
    QTest::mouseClick(e.c("SB2"), Qt::LeftButton);
    QCOMPARE(e.book().currentProfilePath(), fresh);
    QVERIFY(e.prompts.messages.isEmpty());
  }

  // The real dialogues behind "Открыть" and the profile file saves: the first
  // takes a name that does not exist, the second a name that does, without a
  // question of its own.
  void realDialogsTakeTheirNames() {
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

  void typedNumbersAreFiltered() {
    Editor e;
    auto* e2 = e.c<QLineEdit>("E2");
    e2->clear();
    QTest::keyClicks(e2, QStringLiteral("1a2.3.4"));
    QCOMPARE(e2->text(), QStringLiteral("12.34"));
    QCOMPARE(e.ref().primary.nominalText, QStringLiteral("12.34"));
    e.c<QLineEdit>("E11")->setText(QStringLiteral(".5"));
    QCOMPARE(e.c<QLineEdit>("E11")->text(), QStringLiteral("5"));
    auto* tol = e.c<QComboBox>("CBox5");
    tol->lineEdit()->clear();
    QTest::keyClicks(tol->lineEdit(), QStringLiteral("7"));
    QCOMPARE(tol->currentText(), QStringLiteral("7%"));
  }

  // A tolerance typed key by key into the focused box: the box keeps the focus
  // until Enter or a pick from the list.
  void typingATolerance_data() {
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
  void typingATolerance() {
    QFETCH(bool, secondary);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(int, caret);
    Editor e;
    auto* box = e.c<QComboBox>(secondary ? "CBox51" : "CBox5");
    QWidget* memo = e.c("Memo1");
    e.showActive();
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    box->lineEdit()->selectAll();
    e.type(keys);
    QCOMPARE(box->currentText(), shown);
    QCOMPARE(box->lineEdit()->cursorPosition(), caret);
    QVERIFY(box->hasFocus());
    // Enter completes the value and leaves the box.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(box->currentText(), shown);
    QCOMPARE(QApplication::focusWidget(), memo);
    const ReferenceSide& side = secondary ? e.ref().secondary : e.ref().primary;
    QVERIFY(side.toleranceOn);
    QCOMPARE(side.toleranceText, shown);

    // Leaving for another control with a typed value that names an item: the
    // other control keeps the focus.
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    box->lineEdit()->selectAll();
    e.type(QStringLiteral("2"));
    QCOMPARE(box->currentText(), QStringLiteral("2%"));
    e.c("E2")->setFocus();
    QCOMPARE(QApplication::focusWidget(), e.c("E2"));

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
    QTRY_COMPARE(QApplication::focusWidget(), memo);
    const ReferenceSide& picked = secondary ? e.ref().secondary : e.ref().primary;
    QCOMPARE(picked.toleranceText, box->itemText(1));
  }
};

QTEST_MAIN(TestProfile)
#include "test_profile.moc"
