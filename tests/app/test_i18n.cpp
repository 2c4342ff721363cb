// The window in its languages: the shipped English file is complete, the
// language switch keeps the operator's selections and rewrites the grid, the
// stored language survives a restart only for English, and the unit signs
// follow the language.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include "application.h"
#include "qt_translations.h"
#include "lang_client.h"
#include "log_model.h"
#include "meter_frames.h"
#include "settings_file.h"
#include "simulated_meter.h"
#include "window_profiles.h"

using namespace zt;
using zt::test::Control;
using zt::test::WindowFixture;
using zt::test::WindowOptions;

namespace {

const QString kLangDir = QStringLiteral(ZT_LANG_DIR);

bool HasCyrillic(const QString& s) {
  static const QRegularExpression re(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
  return s.contains(re);
}

WindowOptions WithLanguages(const QString& dir) {
  WindowOptions o;
  o.langDir = dir;
  return o;
}

template <typename T = QWidget>
T* C(const WindowFixture& fx, const char* name) {
  return Control<T>(*fx.form, name);
}

// Every text the operator can read on the window, by control: captions, list
// items and the window title. Status lines, log cells, profile names and
// language names are data, not the window's own texts.
QList<QPair<QString, QString>> VisibleTexts(TForm1& f) {
  QList<QPair<QString, QString>> out{{f.objectName(), f.windowTitle()}};
  for (QWidget* w : f.findChildren<QWidget*>()) {
    const QString n = w->objectName();
    if (n.isEmpty() || n.startsWith(QLatin1String("qt_")) || n == u"CBox6" || n == u"LangCombo1") continue;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) out.append({n, b->text()});
    if (auto* l = qobject_cast<QLabel*>(w)) out.append({n, l->text()});
    if (auto* g = qobject_cast<QGroupBox*>(w)) out.append({n, g->title()});
    if (auto* c = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < c->count(); ++i) out.append({n + QStringLiteral("[%1]").arg(i), c->itemText(i)});
    if (auto* lw = qobject_cast<QListWidget*>(w))
      for (int i = 0; i < lw->count(); ++i) out.append({n + QStringLiteral("[%1]").arg(i), lw->item(i)->text()});
  }
  return out;
}

// Every text the window shows or will show when a part of it opens, by
// control: captions, group titles, list items, tool tips, the grid's
// headings and the window title. Status lines, log cells, profile names and
// language names are data.
QList<QPair<QString, QString>> AllTexts(TForm1& f) {
  QList<QPair<QString, QString>> out = VisibleTexts(f);
  for (QWidget* w : f.findChildren<QWidget*>()) {
    const QString n = w->objectName();
    if (n.isEmpty() || n.startsWith(QLatin1String("qt_")) || n == u"CBox6" || n == u"LangCombo1") continue;
    if (!w->toolTip().isEmpty()) out.append({n + QStringLiteral(" (tool tip)"), w->toolTip()});
    if (auto* e = qobject_cast<QLineEdit*>(w); e && e->isReadOnly()) out.append({n, e->text()});
    if (auto* t = qobject_cast<QTableView*>(w)) {
      const QAbstractItemModel* m = t->model();
      for (int c = 0; m && c < m->columnCount(); ++c)
        out.append({n + QStringLiteral(" heading %1").arg(c), m->headerData(c, Qt::Horizontal).toString()});
    }
  }
  return out;
}

// Words only the English texts use: the words of eng.lng's texts that no
// Russian design text has (letters and units both languages write alike,
// "RLCD", "MQTT", "EXCEL", are not among them).
QSet<QString> EnglishOnlyWords(const LngFile& eng, const QList<LngEntry>& design) {
  static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
  auto wordsOf = [](const QString& text) {
    QSet<QString> out;
    for (auto it = word.globalMatch(text); it.hasNext();) out.insert(it.next().captured().toLower());
    return out;
  };
  QSet<QString> russian;
  for (const LngEntry& e : design) russian += wordsOf(e.text);
  const Lexicons& ru = Lexicons::russian();
  for (const QString& name : Lexicons::names())
    for (const QString& item : ru.byName(name)->items) russian += wordsOf(item);
  QSet<QString> english;
  for (const LngEntry& e : eng.entries)
    if (!e.noTrans && !e.old) english += wordsOf(e.text);
  for (const LngLexicon& lex : eng.lexicons)
    for (const QString& item : lex.items) english += wordsOf(item);
  return english - russian;
}

// The texts that are still in the language the window left: Cyrillic in
// English, an English-only word in Russian.
QStringList LeftBehind(TForm1& f, bool english, const QSet<QString>& englishWords) {
  static const QRegularExpression word(QStringLiteral("[A-Za-z]{3,}"));
  QStringList out;
  for (const auto& [control, text] : AllTexts(f)) {
    bool old = false;
    if (english) {
      old = HasCyrillic(text);
    } else {
      for (auto it = word.globalMatch(text); it.hasNext() && !old;)
        old = englishWords.contains(it.next().captured().toLower());
    }
    if (old) out << control + QStringLiteral(": ") + text;
  }
  return out;
}

QStringList Headings(const TForm1& f) {
  const QAbstractItemModel* m = Control<QTableView>(f, "SG")->model();
  QStringList h;
  for (int c = 0; c < m->columnCount(); ++c) h << m->headerData(c, Qt::Horizontal).toString();
  return h;
}

// The headings of each thing the grid shows, in the language in use.
QStringList LogHeadings(const Lexicons& lex) { return lex.D2.items.mid(1, 10); }
QStringList MeasurementHeadings(const Lexicons& lex) {
  QStringList h = LogHeadings(lex);
  h[1] = lex.D2[11];
  return h;
}
QStringList ProfileTableHeadings(const Lexicons& lex) {
  QStringList h = LogHeadings(lex);
  const GridRowTexts table = ProfileTableHeaders(lex);
  for (int c = 0; c < kLogColumns; ++c)
    if (!table[c].isNull()) h[c] = table[c];
  return h;
}

// The texts of the grid's rows, and the colours of columns 7 to 9 ("r" red,
// "g" green, "." none).
QStringList GridRows(const LogModel& m) {
  QStringList rows;
  for (int r = 1; r < m.gridRowCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < kLogColumns; ++c) cells << m.cell(r, c);
    QString colours;
    for (int c = 7; c < kLogColumns; ++c) {
      const LogModel::CellVerdict v = m.cellVerdict(r, c);
      colours += v == LogModel::CellVerdict::None ? u'.' : v == LogModel::CellVerdict::Reject ? u'r' : u'g';
    }
    rows << cells.join(u'|') + u' ' + colours;
  }
  return rows;
}

void Pick(const TForm1& f, int index) {
  auto* picker = Control<QComboBox>(f, "LangCombo1");
  picker->setCurrentIndex(index);
  emit picker->activated(index);
}

void PickMode(const TForm1& f, int index) {
  auto* mode = Control<QComboBox>(f, "CBox10");
  mode->setCurrentIndex(index);
  emit mode->activated(index);
}

const LangManClient& Client(const TForm1& f) {
  auto* client = f.findChild<LangManClient*>(QStringLiteral("LangManClient1"));
  if (!client) qFatal("no language client");
  return *client;
}

// A third language that translates the connect button but no lexicon, so the
// button's caption is not the connection lexicon's word for it.
bool WriteDeutsch(const QString& dir) {
  QFile f(QDir(dir).filePath(QStringLiteral("deu.lng")));
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(QStringLiteral("[LANGUAGE_FILE]\r\n0\t%LANGUAGE_NAME=\"Deutsch\"\t%CODE=de;\r\n"
                         "1\t\"Verbinden\"\t%COMPONENT=B2;\t%OWNER=Form1;\r\n"
                         "0\t%LEXICON_STRINGS\r\n0\t%SMART_STRINGS\r\n")
              .toUtf8());
  return true;
}

std::int32_t StoredLanguage(const QTemporaryDir& dataDir) {
  QFile dat(SettingsFilePath(dataDir.path()));
  if (!dat.open(QIODevice::ReadOnly)) return -100;
  return ParseSettingsFile(dat.readAll()).languageIndex;
}

// An RLC frame of a ZT41: 1 kHz, series, an inductive reading.
Frame RlcFrame() { return zt::test::MakeRlcFrame(0.5f, 30.0f, {0x46, 0x13, 0x0A, 0x88}, 0x09); }

}  // namespace

class TestI18n : public QObject {
  Q_OBJECT

 private slots:
  void englishIsComplete() {
    WindowFixture fx(WithLanguages(kLangDir));
    TForm1& f = fx.window();
    QCOMPARE(fx.session->lang().currentLanguageName(), QStringLiteral("English"));
    for (const auto& [control, text] : VisibleTexts(f))
      QVERIFY2(!HasCyrillic(text), qPrintable(control + QStringLiteral(": ") + text));
    for (const QString& name : Lexicons::names()) {
      const Lexicon* lex = fx.lex().byName(name);
      for (int i = 0; i < lex->items.size(); ++i)
        QVERIFY2(!HasCyrillic(lex->items[i]), qPrintable(QStringLiteral("%1[%2]: %3").arg(name).arg(i).arg((*lex)[i])));
    }
    // Captions that lexicon items replace at run time say the same, so the
    // button reads alike before and after a link; SP1's is also compared.
    QCOMPARE(C<QPushButton>(fx, "B2")->text(), fx.lex().Dlang_connect[0]);
    QCOMPARE(C<QPushButton>(fx, "SP1")->text(), fx.lex().D1[8]);
    QCOMPARE(C<QComboBox>(fx, "CBox5")->itemText(0), QStringLiteral("off"));

    // The file is up to date with the window: an entry for every caption and
    // item, nothing left over from controls that are gone.
    std::optional<LngFile> eng = LangMan::readLanguageFile(kLangDir + QStringLiteral("/eng.lng"));
    QVERIFY(eng);
    QSet<QString> inFile;
    for (const LngEntry& e : eng->entries) {
      QVERIFY2(!e.old, qPrintable(e.component));
      inFile.insert(QStringLiteral("%1/%2/%3").arg(e.component).arg(e.kind).arg(e.item));
    }
    for (const LngEntry& e : Client(f).designEntries()) {
      const QString key = QStringLiteral("%1/%2/%3").arg(e.component).arg(e.kind).arg(e.item);
      QVERIFY2(inFile.contains(key), qPrintable(key + QStringLiteral(" missing from eng.lng: ") + e.text));
    }
  }

  void switchKeepsSelectionsAndRewritesTheGrid() {
    WindowFixture fx(WithLanguages(kLangDir));
    TForm1& f = fx.window();
    QList<QComboBox*> combos;
    for (const char* n :
         {"CB1", "CBox51", "CBox5", "CBox31", "CBox11", "CBox2", "CBox6", "CBox10", "CBox1", "CBox3", "CBox4"})
      combos << C<QComboBox>(fx, n);
    // "Мульти" picked as the operator picks it: the grid shows the profile table.
    QVERIFY(SaveLanguageIndex(fx.dataDir.path(), 1).ok);  // 1.dat re-read keeps English
    PickMode(f, 1);
    fx.prompts.messages.clear();  // there is no profile file to list
    QList<int> chosen;
    for (QComboBox* c : combos) {
      c->setCurrentIndex(c->count() - 1);
      chosen << c->currentIndex();
    }
    C<QComboBox>(fx, "CBox6")->setEditText(QStringLiteral("Part 7"));  // a typed name, not an item
    const QStringList english = Headings(f);
    QCOMPARE(english.mid(0, 3), (QStringList{"Position", "Name", "Prim. nominal"}));

    for (int target : {0, 1}) {
      Pick(f, target);
      QCOMPARE(fx.session->lang().currentIndex(), target);
      QCOMPARE(StoredLanguage(fx.dataDir), target);
      QList<int> now;
      for (QComboBox* c : combos) now << c->currentIndex();
      QCOMPARE(now, chosen);
      QCOMPARE(C<QComboBox>(fx, "CBox6")->currentText(), QStringLiteral("Part 7"));
      // The menus with units follow at once, not only with the next frame.
      for (const char* name : {"ListBox_freq_RLC", "ListBox_Level_RLC"}) {
        auto* menu = C<QListWidget>(fx, name);
        for (int i = 0; i < menu->count(); ++i)
          QVERIFY2(HasCyrillic(menu->item(i)->text()) == (target == 0), qPrintable(menu->item(i)->text()));
      }
      QCOMPARE(Headings(f), ProfileTableHeadings(fx.lex()));
      QCOMPARE(Headings(f) == english, target == 1);
      QCOMPARE(C<QLabel>(fx, "JvP1")->text(), fx.lex().D1[6]);
      QCOMPARE(C<QLabel>(fx, "JvP11")->text(), fx.lex().D1[1]);
      QVERIFY(C<QLabel>(fx, "JvP8")->text().startsWith(fx.lex().D1[0]));
    }
    QVERIFY2(fx.prompts.messages.isEmpty(), qPrintable(fx.prompts.messages.value(0).text));
  }

  // A switch keeps every row of the grid, logged readings with their colours
  // among them, and rewrites the headings of what the grid shows.
  void switchKeepsTheGrid_data() {
    QTest::addColumn<QString>("grid");      // "log", "measuring" (multi-part) or "profiles"
    QTest::addColumn<QList<int>>("picks");  // from English
    QTest::newRow("log, Russian and back") << "log" << QList<int>{0, 1};
    QTest::newRow("log, a language of other marks") << "log" << QList<int>{2, 1};
    QTest::newRow("multi-part measuring, Russian and back") << "measuring" << QList<int>{0, 1};
    QTest::newRow("profile table, Russian and back") << "profiles" << QList<int>{0, 1};
  }
  void switchKeepsTheGrid() {
    QFETCH(QString, grid);
    QFETCH(QList<int>, picks);
    QTemporaryDir langs;
    QVERIFY(QFile::copy(kLangDir + QStringLiteral("/eng.lng"), langs.filePath(QStringLiteral("eng.lng"))));
    QFile marks(langs.filePath(QStringLiteral("mrk.lng")));
    QVERIFY(marks.open(QIODevice::WriteOnly));
    marks.write(QStringLiteral("[LANGUAGE_FILE]\r\n0\t%LANGUAGE_NAME=\"Marks\"\t%CODE=mk;\r\n"
                               "0\t%LEXICON_STRINGS\r\n0\t%LEXICON_NAME=D3;\r\n3\t\"x\"\r\n4\t\"o\"\r\n"
                               "0\t%SMART_STRINGS\r\n")
                    .toUtf8());
    marks.close();
    WindowFixture fx(WithLanguages(langs.path()));
    TForm1& f = fx.window();
    const LogModel& model = *fx.recorder().model();
    QCOMPARE(C<QComboBox>(fx, "LangCombo1")->itemText(2), QStringLiteral("Marks"));
    QVERIFY(SaveLanguageIndex(fx.dataDir.path(), 1).ok);  // 1.dat re-read keeps English

    // Two profiles: R 1% 10 kΩ, and one with both tolerances off.
    const QString path = fx.dataDir.filePath(QStringLiteral("parts.hex1"));
    ProfileRecord r;
    r.ProfileName = QStringLiteral("first");
    r.PrimaryTolerance = QStringLiteral("1%");
    r.PrimaryUnit = 1;
    r.PrimaryNominal = QStringLiteral("10");
    QVERIFY(ProfileFile(path).create(r).ok);
    std::int32_t count = 1;
    r.ProfileName = QStringLiteral("second");
    QVERIFY(ProfileFile(path).store(count, 2, r).ok);
    fx.prompts.openAnswers << path;
    QTest::mouseClick(C(fx, "SB2"), Qt::LeftButton);
    QCOMPARE(fx.book().profileCount(), 2);

    // Readings: a reject and a pass, sorted against R 100 Ω at 1 % typed
    // into the editor.
    auto log = [&](int at, double ohms) {
      C<QComboBox>(fx, "CBox2")->setCurrentIndex(0);
      C<QComboBox>(fx, "CBox1")->setCurrentIndex(0);
      C<QLineEdit>(fx, "E2")->setText(QStringLiteral("100"));
      auto* tolerance = C<QComboBox>(fx, "CBox5")->lineEdit();
      tolerance->clear();
      QTest::keyClicks(tolerance, QStringLiteral("1"));
      C<QSpinBox>(fx, grid == u"log" ? "SE1" : "SE2")->setValue(at);
      fx.recorder().takeReading(zt::test::ResistorReading(ohms, QString::number(ohms)));
    };
    fx.meter().linkUp();  // recording allowed, as with a meter connected
    if (grid != u"log") PickMode(f, 1);
    if (grid != u"profiles") {
      QTest::mouseClick(C(fx, "SP1"), Qt::LeftButton);  // recording
      log(1, 150.0);
      log(2, 100.5);
    }
    const QStringList before = GridRows(model);
    if (grid != u"profiles") {
      QVERIFY2(before[0].right(3) == QStringLiteral("rr."), qPrintable(before.join(u'\n')));
      QCOMPARE(before[1].right(3), QStringLiteral("g.."));
    } else {
      QVERIFY2(before[0].contains(QStringLiteral("10kΩ")), qPrintable(before[0]));
    }

    for (int target : picks) {
      Pick(f, target);
      QCOMPARE(fx.session->lang().currentIndex(), target);
      const Lexicons& lex = fx.lex();
      if (grid == u"profiles") {
        // Built from the file, so in the new language.
        QCOMPARE(GridRows(model).size(), 2);
        QVERIFY2(GridRows(model)[0].contains(QStringLiteral("10") + lex.Dlang1[1] + OhmSign(lex)),
                 qPrintable(GridRows(model)[0]));
        QCOMPARE(Headings(f), ProfileTableHeadings(lex));
      } else {
        QCOMPARE(GridRows(model), before);
        QCOMPARE(Headings(f), grid == u"log" ? LogHeadings(lex) : MeasurementHeadings(lex));
        QCOMPARE(C<QPushButton>(fx, "SP1")->text(), lex.D1[2]);  // still recording
      }
      // A typed tolerance is no list item: it stays as typed.
      if (grid != u"profiles") QCOMPARE(C<QComboBox>(fx, "CBox5")->currentText(), QStringLiteral("1%"));
      QVERIFY(fx.prompts.messages.isEmpty());
      QVERIFY(fx.prompts.questions.isEmpty());
      const QString png = qEnvironmentVariable("ZT_I18N_PNG_DIR");
      if (!png.isEmpty() && QDir().mkpath(png))
        QVERIFY(f.grab().save(QStringLiteral("%1/grid-%2-%3.png").arg(png, grid).arg(target)));
    }
    // Back in English, rows are logged as before.
    if (grid == u"log") {
      log(3, 150.0);
      QCOMPARE(model.cell(3, 7), QStringLiteral("+"));
      QCOMPARE(GridRows(model)[2].right(3), QStringLiteral("rr."));
    }
  }

  // Only English survives a restart; any other language picked is used for
  // the rest of that run.
  void storedLanguageAtRestart_data() {
    QTest::addColumn<QList<int>>("picks");  // in order; the run starts in English
    QTest::addColumn<QString>("afterRestart");
    QTest::newRow("English") << QList<int>{0, 1} << "English";
    QTest::newRow("Russian") << QList<int>{0} << "Русский";
    QTest::newRow("a third language") << QList<int>{2} << "Русский";
  }
  void storedLanguageAtRestart() {
    QFETCH(QList<int>, picks);
    const int picked = picks.last();
    QFETCH(QString, afterRestart);
    QTemporaryDir langs;
    QVERIFY(QFile::copy(kLangDir + QStringLiteral("/eng.lng"), langs.filePath(QStringLiteral("eng.lng"))));
    QVERIFY(WriteDeutsch(langs.path()));

    WindowFixture fx(WithLanguages(langs.path()));
    auto* picker = C<QComboBox>(fx, "LangCombo1");
    QCOMPARE(picker->count(), 3);
    QCOMPARE(picker->itemText(1), QStringLiteral("English"));
    QCOMPARE(picker->itemText(2), QStringLiteral("Deutsch"));
    for (int i : picks) Pick(fx.window(), i);
    QCOMPARE(fx.session->lang().currentIndex(), picked);
    if (picked == 2) QCOMPARE(C<QPushButton>(fx, "B2")->text(), QStringLiteral("Verbinden"));

    fx.stop();
    fx.start();
    QCOMPARE(StoredLanguage(fx.dataDir), picked);
    QCOMPARE(fx.session->lang().currentLanguageName(), afterRestart);
    QCOMPARE(C<QComboBox>(fx, "LangCombo1")->currentIndex(), picked);
    QCOMPARE(C<QPushButton>(fx, "B2")->text(), fx.lex().Dlang_connect[0]);
  }

  // The connect button works from the link's state, not from its caption: in
  // a language whose caption differs from the lexicon's word it still
  // connects and disconnects.
  void connectButtonWithItsOwnCaption() {
    QTemporaryDir langs;
    QVERIFY(QFile::copy(kLangDir + QStringLiteral("/eng.lng"), langs.filePath(QStringLiteral("eng.lng"))));
    QVERIFY(WriteDeutsch(langs.path()));
    WindowFixture fx(WithLanguages(langs.path()));  // first: it names the data folder the meter registers in
    TForm1& f = fx.window();
    auto* b2 = C<QPushButton>(fx, "B2");
    sim::Options o;
    o.mode = sim::LinkMode::Dongle;
    o.connectDelayMs = 30;
    sim::SimulatedMeter meter(o);
    QStringList texts;
    connect(&meter, &sim::SimulatedMeter::textReceived, this,
            [&](const QByteArray& t) { texts << QString::fromLatin1(t); });
    QString why;
    QVERIFY2(meter.start(&why), qPrintable(why));
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(fx.link().portOpen() && !fx.link().probing(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(b2->isEnabled(), 3000);
    Pick(f, 2);
    QCOMPARE(b2->text(), QStringLiteral("Verbinden"));
    QVERIFY(b2->text() != fx.lex().Dlang_connect[0]);

    QTest::mouseClick(b2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(fx.link().linkUp(), 3000);
    QCOMPARE(texts.count(QStringLiteral("AT+CONNL")), 1);
    QCOMPARE(b2->text(), fx.lex().Dlang_connect[1]);
    QTRY_VERIFY_WITH_TIMEOUT(b2->isEnabled(), 3000);
    QTest::mouseClick(b2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!fx.link().linkUp(), 3000);
    QCOMPARE(texts.count(QStringLiteral("AT+CONNL")), 1);
    QCOMPARE(texts.last(), QStringLiteral("AT"));
    QCOMPARE(b2->text(), fx.lex().Dlang_connect[0]);
    QTRY_VERIFY_WITH_TIMEOUT(b2->isEnabled(), 3000);
  }

  void unitSignsAfterTheNextFrame() {
    WindowFixture fx(WithLanguages(kLangDir));
    fx.meter().setModel(kZT41);
    fx.meter().setMode(WorkMode::Measuring);
    auto* source = C<QLabel>(fx, "L_Source_RLC");
    for (int lang : {1, 0, 1}) {
      Pick(fx.window(), lang);
      fx.meter().processFrame(RlcFrame());
      const bool english = lang == 1;
      QVERIFY2(source->text().contains(english ? QStringLiteral("Ω") : QStringLiteral("Ом")),
               qPrintable(source->text()));
      QCOMPARE(HasCyrillic(source->text()), !english);
      QCOMPARE(HasCyrillic(C<QLabel>(fx, "L_freq_RLC")->text()), !english);
    }
  }

  // Every message the program words itself comes in the language in use:
  // English without a Cyrillic letter, Russian in Russian.
  void messagesInTheLanguageInUse_data() {
    QTest::addColumn<QString>("situation");
    for (const char* s : {"log full", "no profile file", "damaged profile file", "settings file unwritable",
                          "export failed", "export file types", "export cancel button"})
      QTest::newRow(s) << QString::fromLatin1(s);
  }
  void messagesInTheLanguageInUse() {
    QFETCH(QString, situation);
    for (int lang : {1, 0}) {
      WindowFixture fx(WithLanguages(kLangDir));
      TForm1& f = fx.window();
      Pick(f, lang);
      QStringList texts;  // what the operator reads
      if (situation == "log full") {
        fx.recorder().setRecording(true);
        fx.recorder().setStartPosition(Recorder::kMaxPosition);
        fx.recorder().takeReading(zt::test::ResistorReading(100, QStringLiteral("100")));
      } else if (situation == "no profile file") {
        QTest::mouseClick(C(fx, "BB1"), Qt::LeftButton);
      } else if (situation == "damaged profile file") {
        // The header counts three profiles; the file holds two, the second
        // with an overlong name (the first as the editor writes it: a file
        // none of whose profiles could be the editor's is no profile file).
        QByteArray bytes(100 + 2 * 72, '\0');
        bytes[0] = 3;
        bytes[100] = 1;
        bytes[101] = 'A';
        bytes[172] = char(40);
        const QString path = fx.dataDir.filePath(QStringLiteral("damaged.hex1"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QVERIFY(SaveLanguageIndex(fx.dataDir.path(), lang).ok);  // 1.dat re-read keeps the language
        fx.prompts.openAnswers << path;
        QTest::mouseClick(C(fx, "SB2"), Qt::LeftButton);
      } else if (situation == "settings file unwritable") {
        QVERIFY(QFile::remove(SettingsFilePath(fx.dataDir.path())));
        C<QCheckBox>(fx, "CheckBox_connect_auto")->click();
      } else {
        fx.recorder().setRecording(true);
        for (int i = 0; i < 2; ++i) fx.recorder().takeReading(zt::test::ResistorReading(100, QStringLiteral("100")));
        QFile plain(fx.dataDir.filePath(QStringLiteral("plain.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        fx.prompts.saveAnswers << fx.dataDir.filePath(QStringLiteral("plain.txt/out.xlsx"));
        auto* button = C<QPushButton>(fx, "Button4");
        QTest::mouseClick(button, Qt::LeftButton);
        if (situation == "export file types") texts << fx.prompts.saveFilters;
        auto* progress = f.findChild<QProgressDialog*>(QStringLiteral("ExportProgress"));
        QVERIFY(progress);
        if (situation == "export cancel button") {
          const auto buttons = progress->findChildren<QPushButton*>();
          QCOMPARE(buttons.size(), 1);
          texts << buttons.first()->text();
        }
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 20000);
        if (situation != "export failed") fx.prompts.messages.clear();
      }
      for (const auto& m : fx.prompts.messages) texts << m.caption << m.text;
      QVERIFY2(!texts.isEmpty(), "nothing shown");
      for (const QString& t : texts)
        QVERIFY2(HasCyrillic(t) == (lang == 0), qPrintable(QStringLiteral("%1: %2").arg(lang).arg(t)));
    }
  }

  // The whole window with a simulated meter connected, in both languages:
  // every caption fits its control. With ZT_I18N_PNG_DIR set the window is
  // saved as english.png and russian.png there.
  void windowWithMeterConnected() {
    const QString dir = qEnvironmentVariable("ZT_I18N_PNG_DIR");
    if (!dir.isEmpty()) QDir().mkpath(dir);
    for (int lang : {1, 0}) {
      WindowFixture fx(WithLanguages(kLangDir));  // first: it names the data folder the meter registers in
      TForm1& f = fx.window();
      Pick(f, lang);  // the picker is there only while no meter is connected
      sim::Options o;
      o.mode = sim::LinkMode::Dongle;
      o.model = sim::Model::ZT41;
      o.connectDelayMs = 30;
      o.intervalCode = 3;
      sim::SimulatedMeter meter(o);
      QString why;
      QVERIFY2(meter.start(&why), qPrintable(why));
      C<QCheckBox>(fx, "CheckBox_connect_auto")->setChecked(true);
      f.show();
      QVERIFY(QTest::qWaitForWindowExposed(&f));
      QTRY_VERIFY_WITH_TIMEOUT(fx.link().linkUp(), 8000);
      QTRY_VERIFY_WITH_TIMEOUT(C(fx, "SP5")->isVisible(), 3000);
      QVERIFY(!C(fx, "LangCombo1")->isVisible());
      auto* prim = C<QLabel>(fx, "L_prim_n");
      QTRY_VERIFY_WITH_TIMEOUT(!prim->text().trimmed().isEmpty(), 5000);
      const QString first = prim->text();
      QTRY_VERIFY_WITH_TIMEOUT(fx.meter().noDataTimerActive() && prim->text() != first, 3000);  // a second frame
      QCOMPARE(HasCyrillic(prim->text() + C<QLabel>(fx, "L_freq_RLC")->text() + C<QLabel>(fx, "L_Level_RLC")->text()),
               lang == 0);
      for (QAbstractButton* b : f.findChildren<QAbstractButton*>()) {
        if (!b->isVisible() || b->text().isEmpty()) continue;
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) <= b->contentsRect().width(),
                 qPrintable(QStringLiteral("%1 \"%2\" is cut off").arg(b->objectName(), b->text())));
      }
      if (!dir.isEmpty())
        QVERIFY(f.grab().save(dir + (lang == 1 ? QStringLiteral("/english.png") : QStringLiteral("/russian.png"))));
    }
  }

  // A fresh data folder (an empty 1.dat) opens in English; "Создать" writes
  // the first fields of 1.dat and re-reads it: the language in use goes into
  // the file with them, so the window stays English, now and at the next start.
  void firstProfileFileKeepsTheLanguage() {
    WindowFixture fx(WithLanguages(kLangDir));
    QCOMPARE(QFileInfo(fx.session->settings().filePath()).size(), 0);
    QCOMPARE(fx.session->lang().currentLanguageName(), QStringLiteral("English"));
    fx.prompts.saveAnswers << fx.dataDir.filePath(QStringLiteral("first"));
    QTest::mouseClick(C(fx, "SB1"), Qt::LeftButton);
    QCOMPARE(fx.book().currentProfilePath(), fx.dataDir.filePath(QStringLiteral("first.hex1")));
    QCOMPARE(fx.prompts.messages.value(0).text, QStringLiteral("File created successfully!"));
    QCOMPARE(fx.session->lang().currentLanguageName(), QStringLiteral("English"));
    for (const char* name : {"SB1", "B2", "JvP8"}) {
      const QString text = qobject_cast<QAbstractButton*>(C(fx, name)) ? C<QAbstractButton>(fx, name)->text()
                                                                       : C<QLabel>(fx, name)->text();
      QVERIFY2(!HasCyrillic(text), qPrintable(text));
    }
    QCOMPARE(StoredLanguage(fx.dataDir), 1);
    fx.stop();
    fx.start();
    QCOMPARE(fx.session->lang().currentLanguageName(), QStringLiteral("English"));
  }

  // After any switch, in either direction, with and without a meter
  // connected, no text of the language left stays anywhere on the window.
  void noTextOfTheOldLanguageStays() {
    WindowFixture fx(WithLanguages(kLangDir));
    TForm1& f = fx.window();
    const std::optional<LngFile> eng = LangMan::readLanguageFile(kLangDir + QStringLiteral("/eng.lng"));
    QVERIFY(eng);
    const QSet<QString> englishWords = EnglishOnlyWords(*eng, Client(f).designEntries());
    QVERIFY(englishWords.contains(QStringLiteral("disconnect")));
    QStringList found;
    auto check = [&](const char* when) {
      const bool english = fx.session->lang().currentIndex() == 1;
      const QStringList old = LeftBehind(f, english, englishWords);
      if (!old.isEmpty())
        found << QStringLiteral("%1, %2: ").arg(QLatin1String(when), english ? "English" : "Russian") +
                     old.join(QStringLiteral("; "));
    };
    for (int lang : {1, 0}) {
      Pick(f, lang);
      check("no meter");
    }
    sim::Options o;
    o.mode = sim::LinkMode::Dongle;
    o.model = sim::Model::ZT41;
    o.connectDelayMs = 30;
    o.intervalCode = 3;
    sim::SimulatedMeter meter(o);
    QString why;
    QVERIFY2(meter.start(&why), qPrintable(why));
    C<QCheckBox>(fx, "CheckBox_connect_auto")->setChecked(true);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    QTRY_VERIFY_WITH_TIMEOUT(fx.link().linkUp(), 8000);
    QTRY_VERIFY_WITH_TIMEOUT(C(fx, "SP5")->isVisible() && !C(fx, "Memo1")->isVisible(), 5000);
    auto* prim = C<QLabel>(fx, "L_prim_n");
    QTRY_VERIFY_WITH_TIMEOUT(!prim->text().trimmed().isEmpty(), 5000);
    C<QPushButton>(fx, "SP1")->click();  // "Стоп" on the button
    QVERIFY(fx.recorder().recording());
    // With a link up the picker is hidden: the language changes as a re-read
    // of 1.dat changes it, under a steady link.
    for (int lang : {1, 0, 1}) {
      fx.session->lang().switchTo(lang);
      check("meter connected");
      QVERIFY(fx.link().linkUp());
    }
    C<QPushButton>(fx, "SP1")->click();
    meter.unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!fx.link().linkUp(), 3000);
    for (int lang : {0, 1}) {
      Pick(f, lang);
      check("meter gone");
    }
    QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
  }

  // Qt's own dialogues speak the language in use: its catalogue is there
  // for Russian (also for a third language Qt speaks) and gone for English.
  void qtDialoguesFollowTheLanguage() {
    const QString dir = QDir::temp().filePath(QStringLiteral("zt-i18n-qt-%1").arg(QCoreApplication::applicationPid()));
    QVERIFY(QDir().mkpath(dir));
    for (const char* file : {"eng.lng"})
      QFile::copy(kLangDir + u'/' + QLatin1String(file), dir + u'/' + QLatin1String(file));
    QVERIFY(WriteDeutsch(dir));
    const auto lookIn = [] { return QCoreApplication::translate("QFileDialog", "Look in:"); };
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    {
      WindowFixture fx(WithLanguages(dir));
      const auto* qt = fx.window().findChild<QtTranslations*>(QStringLiteral("QtTranslations"));
      QVERIFY(qt);
      struct Case {
        int language;
        const char* catalogue;
      };
      for (const Case& c :
           {Case{0, "qtbase_ru"}, Case{1, ""}, Case{0, "qtbase_ru"}, Case{2, "qtbase_de"}, Case{1, ""}}) {
        Pick(fx.window(), c.language);
        QCOMPARE(fx.session->lang().currentIndex(), c.language);
        QCOMPARE(qt->installed(), QString::fromLatin1(c.catalogue));
        if (c.language == 0) {
          QVERIFY2(HasCyrillic(lookIn()) && HasCyrillic(cancel()), qPrintable(lookIn() + u' ' + cancel()));
        } else if (c.language == 1) {
          QCOMPARE(lookIn(), QStringLiteral("Look in:"));
          QCOMPARE(cancel(), QStringLiteral("Cancel"));
        } else {
          QCOMPARE(cancel(), QStringLiteral("Abbrechen"));
        }
      }
      Pick(fx.window(), 0);
      QVERIFY(HasCyrillic(lookIn()));
    }
    // The window gone, so is its catalogue.
    QCOMPARE(lookIn(), QStringLiteral("Look in:"));
    QDir(dir).removeRecursively();
  }

  void catalogueCodes_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("catalogue");
    QTest::newRow("design") << LangMan::designLangIsoCode() << "ru";
    QTest::newRow("plain") << "en"
                           << "en";
    QTest::newRow("upper case, semicolon") << "DE;"
                                           << "de";
    QTest::newRow("blanks") << "  fr "
                            << "fr";
    QTest::newRow("none") << ""
                          << "";
    QTest::newRow("not letters") << "../x"
                                 << "";
  }
  void catalogueCodes() {
    QFETCH(QString, code);
    QFETCH(QString, catalogue);
    QCOMPARE(QtTranslations::CatalogueCode(code), catalogue);
  }

  // The title bar shows the window's title in the language in use, and only
  // it: the platform adds the application's display name to a title that
  // does not end with it, so that name must not be a title of the window.
  // (Last: it prepares the application as the program does.)
  void titleFollowsTheLanguageOnce() {
    PrepareApplication(*qApp);
    WindowFixture fx(WithLanguages(kLangDir));
    TForm1& f = fx.window();
    std::optional<LngFile> eng = LangMan::readLanguageFile(kLangDir + QStringLiteral("/eng.lng"));
    QVERIFY(eng);
    QString english;
    for (const LngEntry& e : eng->entries)
      if (e.component == f.objectName() && e.kind == 1) english = e.text;
    const QString russian = QStringLiteral("Регистратор данных для RLC метров ЗТ версия 1.6");
    QVERIFY(!english.isEmpty() && english != russian);
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    for (int lang : {1, 0, 1}) {
      Pick(f, lang);
      QCOMPARE(f.windowTitle(), lang == 1 ? english : russian);
      const QString appName = QGuiApplication::applicationDisplayName();
      QVERIFY2(!appName.contains(english) && !appName.contains(russian), qPrintable(appName));
    }
  }
};

QTEST_MAIN(TestI18n)
#include "test_i18n.moc"
