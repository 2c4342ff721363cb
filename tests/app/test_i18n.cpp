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
#include "log_model.h"
#include "profile_file.h"
#include "settings_file.h"
#include "simulated_meter.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::WindowFixture;

namespace {

const QString kLangDir = QStringLiteral(ZT_LANG_DIR);

bool HasCyrillic(const QString& s) {
  static const QRegularExpression re(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
  return s.contains(re);
}

TForm1Deps WithLanguages(const QString& dir) {
  TForm1Deps d;
  d.langDir = dir;
  return d;
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

QStringList Headings(TForm1& f) {
  QStringList h;
  for (int c = 0; c < f.SG->model()->columnCount(); ++c) h << f.SG->model()->headerData(c, Qt::Horizontal).toString();
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

void Pick(TForm1& f, int index) {
  f.LangCombo1->setCurrentIndex(index);
  emit f.LangCombo1->activated(index);
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

void PutFloat(Frame& fr, std::size_t at, float v) {
  const auto b = EncodeFrameFloat(v);
  std::copy(b.begin(), b.end(), fr.begin() + at);
}

// An RLC frame: 1 kHz, series, an inductive reading.
Frame RlcFrame() {
  Frame fr{};
  PutFloat(fr, 0, 0.5f);
  PutFloat(fr, 4, 30.0f);
  const std::array<std::uint8_t, 4> settings{0x46, 0x13, 0x0A, 0x88};
  std::copy(settings.begin(), settings.end(), fr.begin() + 8);
  fr[15] = 0x09;
  fr[17] = kFrameTerminator;
  fr[16] = FrameSum(fr);
  return fr;
}

}  // namespace

class TestI18n : public QObject {
  Q_OBJECT

 private slots:
  void englishIsComplete() {
    WindowFixture fx(WithLanguages(kLangDir));
    TForm1& f = *fx.form;
    QCOMPARE(f.LangMan->currentLanguageName(), QStringLiteral("English"));
    for (const auto& [control, text] : VisibleTexts(f))
      QVERIFY2(!HasCyrillic(text), qPrintable(control + QStringLiteral(": ") + text));
    for (const QString& name : Lexicons::names()) {
      const Lexicon* lex = f.lex().byName(name);
      for (int i = 0; i < lex->items.size(); ++i)
        QVERIFY2(!HasCyrillic(lex->items[i]), qPrintable(QStringLiteral("%1[%2]: %3").arg(name).arg(i).arg((*lex)[i])));
    }
    // Captions that lexicon items replace at run time say the same, so the
    // button reads alike before and after a link; SP1's is also compared.
    QCOMPARE(f.B2->text(), f.lex().Dlang_connect[0]);
    QCOMPARE(f.SP1->text(), f.lex().D1[8]);
    QCOMPARE(f.CBox5->itemText(0), QStringLiteral("off"));

    // The file is up to date with the window: an entry for every caption and
    // item, nothing left over from controls that are gone.
    std::optional<LngFile> eng = LangMan::readLanguageFile(kLangDir + QStringLiteral("/eng.lng"));
    QVERIFY(eng);
    QSet<QString> inFile;
    for (const LngEntry& e : eng->entries) {
      QVERIFY2(!e.old, qPrintable(e.component));
      inFile.insert(QStringLiteral("%1/%2/%3").arg(e.component).arg(e.kind).arg(e.item));
    }
    for (const LngEntry& e : f.LangManClient1->designEntries()) {
      const QString key = QStringLiteral("%1/%2/%3").arg(e.component).arg(e.kind).arg(e.item);
      QVERIFY2(inFile.contains(key), qPrintable(key + QStringLiteral(" missing from eng.lng: ") + e.text));
    }
  }

  void switchKeepsSelectionsAndRewritesTheGrid() {
    WindowFixture fx(WithLanguages(kLangDir));
    TForm1& f = *fx.form;
    const QList<QComboBox*> combos{f.CB1,   f.CBox51, f.CBox5, f.CBox31, f.CBox11, f.CBox2,
                                   f.CBox6, f.CBox10, f.CBox1, f.CBox3,  f.CBox4};
    // "Мульти" picked as the operator picks it: the grid shows the profile table.
    QVERIFY(SaveLanguageIndex(fx.dataDir.path(), 1).ok);  // 1.dat re-read keeps English
    f.CBox10->setCurrentIndex(f.CBox10->count() - 1);
    f.CBox10Click();
    fx.prompts.messages.clear();  // there is no profile file to list
    QList<int> chosen;
    for (QComboBox* c : combos) {
      c->setCurrentIndex(c->count() - 1);
      chosen << c->currentIndex();
    }
    f.CBox6->setEditText(QStringLiteral("Part 7"));  // a typed name, not an item
    const QStringList english = Headings(f);
    QCOMPARE(english.mid(0, 3), (QStringList{"Position", "Name", "Prim. nominal"}));

    for (int target : {0, 1}) {
      f.T3->stop();
      Pick(f, target);
      QCOMPARE(f.LangMan->currentIndex(), target);
      QCOMPARE(StoredLanguage(fx.dataDir), target);
      QVERIFY(f.T3->isActive());
      QList<int> now;
      for (QComboBox* c : combos) now << c->currentIndex();
      QCOMPARE(now, chosen);
      QCOMPARE(f.CBox6->currentText(), QStringLiteral("Part 7"));
      // The menus with units follow at once, not only with the next frame.
      for (QListWidget* menu : {f.ListBox_freq_RLC, f.ListBox_Level_RLC})
        for (int i = 0; i < menu->count(); ++i)
          QVERIFY2(HasCyrillic(menu->item(i)->text()) == (target == 0), qPrintable(menu->item(i)->text()));
      QCOMPARE(Headings(f), ProfileTableHeadings(f.lex()));
      QCOMPARE(Headings(f) == english, target == 1);
      QCOMPARE(f.JvP1->text(), f.lex().D1[6]);
      QCOMPARE(f.JvP11->text(), f.lex().D1[1]);
      QVERIFY(f.JvP8->text().startsWith(f.lex().D1[0]));
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
    TForm1& f = *fx.form;
    LogModel& model = *f.SGModel;
    QCOMPARE(f.LangCombo1->itemText(2), QStringLiteral("Marks"));
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
    f.SB2Click();
    QCOMPARE(f.ProfileCount, 2);

    // Readings: a reject and a pass, sorted against R 100 Ω at 1 %.
    auto log = [&](int at, double ohms) {
      f.CBox2->setCurrentIndex(0);
      f.CBox1->setCurrentIndex(0);
      f.E2->setText(QStringLiteral("100"));
      f.CBox5->setEditText(QStringLiteral("1%"));
      f.ReadingR = ohms;
      f.meterSettings.CircuitSeries = 1;
      f.CheckTolerance();
      f.meterSettings.LogReady = 1;
      f.L_Prim_RLC->setText(QStringLiteral("R"));
      f.L_prim_n->setText(QString::number(ohms));
      (grid == u"log" ? f.SE1 : f.SE2)->setValue(at);
      f.AppendLogRow();
    };
    f.SP1->setEnabled(true);
    if (grid != u"log") {
      f.CBox10->setCurrentIndex(1);
      f.CBox10Click();
    }
    if (grid != u"profiles") {
      f.SP1->click();  // recording
      log(1, 150.0);
      log(2, 100.5);
    }
    const QStringList before = GridRows(model);
    if (grid != u"profiles") {
      QCOMPARE(before[0].right(3), QStringLiteral("rr."));
      QCOMPARE(before[1].right(3), QStringLiteral("g.."));
    } else {
      QVERIFY2(before[0].contains(QStringLiteral("10kΩ")), qPrintable(before[0]));
    }

    for (int target : picks) {
      Pick(f, target);
      QCOMPARE(f.LangMan->currentIndex(), target);
      const Lexicons& lex = f.lex();
      if (grid == u"profiles") {
        // Built from the file, so in the new language.
        QCOMPARE(GridRows(model).size(), 2);
        QVERIFY2(GridRows(model)[0].contains(QStringLiteral("10") + lex.Dlang1[1] + OhmSign(lex)),
                 qPrintable(GridRows(model)[0]));
        QCOMPARE(Headings(f), ProfileTableHeadings(lex));
      } else {
        QCOMPARE(GridRows(model), before);
        QCOMPARE(Headings(f), grid == u"log" ? LogHeadings(lex) : MeasurementHeadings(lex));
        QCOMPARE(f.SP1->text(), lex.D1[2]);  // still recording
      }
      // A typed tolerance is no list item: it stays as typed.
      if (grid != u"profiles") QCOMPARE(f.CBox5->currentText(), QStringLiteral("1%"));
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
    QCOMPARE(fx.form->LangCombo1->count(), 3);
    QCOMPARE(fx.form->LangCombo1->itemText(1), QStringLiteral("English"));
    QCOMPARE(fx.form->LangCombo1->itemText(2), QStringLiteral("Deutsch"));
    for (int i : picks) Pick(*fx.form, i);
    QCOMPARE(fx.form->LangMan->currentIndex(), picked);
    if (picked == 2) QCOMPARE(fx.form->B2->text(), QStringLiteral("Verbinden"));

    fx.form.reset();
    TForm1Deps deps = WithLanguages(langs.path());
    deps.prompts = &fx.prompts;
    fx.form = std::make_unique<TForm1>(deps);
    QCOMPARE(StoredLanguage(fx.dataDir), picked);
    QCOMPARE(fx.form->LangMan->currentLanguageName(), afterRestart);
    QCOMPARE(fx.form->LangCombo1->currentIndex(), picked);
    QCOMPARE(fx.form->B2->text(), fx.form->lex().Dlang_connect[0]);
  }

  // The connect button works from the link's state, not from its caption: in
  // a language whose caption differs from the lexicon's word it still
  // connects and disconnects.
  void connectButtonWithItsOwnCaption() {
    QTemporaryDir langs;
    QVERIFY(QFile::copy(kLangDir + QStringLiteral("/eng.lng"), langs.filePath(QStringLiteral("eng.lng"))));
    QVERIFY(WriteDeutsch(langs.path()));
    WindowFixture fx(WithLanguages(langs.path()));  // first: it names the data folder the meter registers in
    TForm1& f = *fx.form;
    sim::Options o;
    o.mode = sim::LinkMode::Dongle;
    sim::SimulatedMeter meter(o);
    QStringList texts;
    connect(&meter, &sim::SimulatedMeter::textReceived, this,
            [&](const QByteArray& t) { texts << QString::fromLatin1(t); });
    QString why;
    QVERIFY2(meter.start(&why), qPrintable(why));
    f.show();
    QTRY_VERIFY_WITH_TIMEOUT(!f.m_modemProbe->isRunning(), 2000);
    f.T3Timer();  // the poll's reopen of the checked port, now rather than mid-press
    QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);
    // Picked once the port has settled, whose closing and reopening writes the
    // lexicon's word on the button.
    Pick(f, 2);
    QCOMPARE(f.B2->text(), QStringLiteral("Verbinden"));
    QVERIFY(f.B2->text() != f.lex().Dlang_connect[0]);

    QTest::mouseClick(f.B2, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(1), 3000);
    QCOMPARE(texts.count(QStringLiteral("AT+CONNL")), 1);
    QCOMPARE(f.B2->text(), f.lex().Dlang_connect[1]);
    QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);
    QTest::mouseClick(f.B2, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(0), 3000);
    QCOMPARE(texts.count(QStringLiteral("AT+CONNL")), 1);
    QCOMPARE(texts.last(), QStringLiteral("AT"));
    QCOMPARE(f.B2->text(), f.lex().Dlang_connect[0]);
    QTRY_VERIFY_WITH_TIMEOUT(f.B2->isEnabled(), 3000);
  }

  void unitSignsAfterTheNextFrame() {
    WindowFixture fx(WithLanguages(kLangDir));
    TForm1& f = *fx.form;
    f.MeterModel = kZT41;
    f.ApplyModel();
    f.SB4->setChecked(false);
    for (int lang : {1, 0, 1}) {
      Pick(f, lang);
      f.ProcessFrame(RlcFrame());
      const bool english = lang == 1;
      QVERIFY2(f.L_Source_RLC->text().contains(english ? QStringLiteral("Ω") : QStringLiteral("Ом")),
               qPrintable(f.L_Source_RLC->text()));
      QCOMPARE(HasCyrillic(f.L_Source_RLC->text()), !english);
      QCOMPARE(HasCyrillic(f.L_freq_RLC->text()), !english);
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
      TForm1& f = *fx.form;
      Pick(f, lang);
      QStringList texts;  // what the operator reads
      if (situation == "log full") {
        f.meterSettings.LogReady = 1;
        f.SE1->setValue(f.SE1->maximum());
        f.AppendLogRow();
      } else if (situation == "no profile file") {
        f.BB1Click();
      } else if (situation == "damaged profile file") {
        // The header counts three profiles; the file holds one, with an
        // overlong name.
        QByteArray bytes(100 + 72, '\0');
        bytes[0] = 3;
        bytes[100] = char(40);
        const QString path = fx.dataDir.filePath(QStringLiteral("damaged.hex1"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        f.RestoreProfileFile(path);
      } else if (situation == "settings file unwritable") {
        QVERIFY(QFile::remove(SettingsFilePath(fx.dataDir.path())));
        f.CheckBox_connect_auto->click();
      } else {
        f.meterSettings.LogReady = 1;
        f.LogPosition = 3;
        QFile plain(fx.dataDir.filePath(QStringLiteral("plain.txt")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        fx.prompts.saveAnswers << fx.dataDir.filePath(QStringLiteral("plain.txt/out.xlsx"));
        f.Button4Click();
        if (situation == "export file types") texts << fx.prompts.saveFilters;
        auto* progress = f.findChild<QProgressDialog*>(QStringLiteral("ExportProgress"));
        QVERIFY(progress);
        if (situation == "export cancel button") {
          const auto buttons = progress->findChildren<QPushButton*>();
          QCOMPARE(buttons.size(), 1);
          texts << buttons.first()->text();
        }
        QTRY_VERIFY_WITH_TIMEOUT(f.Button4->isEnabled(), 20000);
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
      TForm1& f = *fx.form;
      Pick(f, lang);  // the picker is there only while no meter is connected
      sim::Options o;
      o.mode = sim::LinkMode::Dongle;
      o.model = sim::Model::ZT41;
      sim::SimulatedMeter meter(o);
      QString why;
      QVERIFY2(meter.start(&why), qPrintable(why));
      f.CheckBox_connect_auto->setChecked(true);
      f.show();
      QVERIFY(QTest::qWaitForWindowExposed(&f));
      QTRY_COMPARE_WITH_TIMEOUT(f.LinkUp, std::uint8_t(1), 8000);
      QTRY_VERIFY_WITH_TIMEOUT(f.SP5->isVisible(), 3000);
      QVERIFY(!f.LangCombo1->isVisible());
      QTRY_VERIFY_WITH_TIMEOUT(!f.L_prim_n->text().trimmed().isEmpty(), 5000);
      QTest::qWait(1200);  // a second frame: every panel text rebuilt
      QCOMPARE(HasCyrillic(f.L_prim_n->text() + f.L_freq_RLC->text() + f.L_Level_RLC->text()), lang == 0);
      for (QAbstractButton* b : f.findChildren<QAbstractButton*>()) {
        if (!b->isVisible() || b->text().isEmpty()) continue;
        QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) <= b->contentsRect().width(),
                 qPrintable(QStringLiteral("%1 \"%2\" is cut off").arg(b->objectName(), b->text())));
      }
      if (!dir.isEmpty())
        QVERIFY(f.grab().save(dir + (lang == 1 ? QStringLiteral("/english.png") : QStringLiteral("/russian.png"))));
    }
  }

  // The title bar shows the window's title in the language in use, and only
  // it: the platform adds the application's display name to a title that
  // does not end with it, so that name must not be a title of the window.
  // (Last: it prepares the application as the program does.)
  void titleFollowsTheLanguageOnce() {
    PrepareApplication(*qApp);
    WindowFixture fx(WithLanguages(kLangDir));
    TForm1& f = *fx.form;
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
