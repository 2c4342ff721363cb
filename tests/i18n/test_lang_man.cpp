#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "lang_man.h"

using namespace zt;

namespace {

// A valid language file; lexiconLines go inside the lexicon section.
QByteArray lng(const QString& name, const QString& lexiconLines = QString(), const QString& properties = QString()) {
  QString t = QStringLiteral("[LANGUAGE_FILE]\r\n0\t%LANGUAGE_NAME=\"") + name +
              QStringLiteral("\"\t%CODE=xx;\t%FILEVER=THLF1;\r\n") + properties +
              QStringLiteral("0\t%LEXICON_STRINGS\r\n") + lexiconLines + QStringLiteral("0\t%SMART_STRINGS\r\n");
  return QByteArray("\xEF\xBB\xBF") + t.toUtf8();
}

const QString kEnglishLexicons = QStringLiteral(
    "0\t%LEXICON_NAME=Dlang1;\r\n3\t\"u\"\r\n"
    "0\t%LEXICON_NAME=Dlang3;\r\n0\t\"Hz\"\r\n3\t\"Ohm\"\r\n"
    "0\t%LEXICON_NAME=D1;\r\n8\t\"Start\"\r\n99\t\"beyond the design\"\r\n"
    "0\t%LEXICON_NAME=Nonexistent;\r\n0\t\"ignored\"\r\n");

void put(const QTemporaryDir& dir, const QString& file, const QByteArray& bytes) {
  QFile f(dir.filePath(file));
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

}  // namespace

class TestLangMan : public QObject {
  Q_OBJECT
 private slots:
  void languageListOrderAndDuplicates_data() {
    QTest::addColumn<QStringList>("files");  // name=language pairs; a language "!" writes a broken file
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("current");
    QTest::newRow("english only") << QStringList{"eng.lng=English"} << QStringList{"Русский", "English"} << "English";
    QTest::newRow("english first, then by file name, duplicates and broken files skipped")
        << QStringList{"zzz.lng=Русский", "fra.LNG=Français",   "deu.lng=Deutsch", "aaa.lng=English",
                       "broken.lng=!",    "notes.txt=Italiano", "eng.lng=English"}
        << QStringList{"Русский", "English", "Deutsch", "Français"} << "English";
    QTest::newRow("a third file is item 2") << QStringList{"eng.lng=English", "ukr.lng=Українська"}
                                            << QStringList{"Русский", "English", "Українська"} << "English";
    QTest::newRow("no english file") << QStringList{"deu.lng=Deutsch"} << QStringList{"Русский", "Deutsch"}
                                     << "Русский";
    QTest::newRow("empty folder") << QStringList{} << QStringList{"Русский"} << "Русский";
  }
  void languageListOrderAndDuplicates() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    QFETCH(QString, current);
    QTemporaryDir dir;
    for (const QString& spec : files) {
      const QString file = spec.section(u'=', 0, 0), name = spec.section(u'=', 1);
      put(dir, file, name == u"!" ? QByteArray("LANGUAGE_FILE\r\n") + lng(QStringLiteral("Broken")) : lng(name));
    }
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dir.lng")));
    LangMan man;
    man.loadLanguages(dir.path());
    QCOMPARE(man.languageNames(), expected);
    QCOMPARE(man.currentLanguageName(), current);
  }

  void missingFolderLeavesDesignLanguage() {
    LangMan man;
    man.loadLanguages(QStringLiteral("/nonexistent/lang"));
    QCOMPARE(man.languageNames(), QStringList{LangMan::designLanguageName()});
    QCOMPARE(man.currentIndex(), 0);
  }

  // The stored language index picks the default language at start; the engine
  // follows it only when it still runs the previous default.
  void startUpChoice_data() {
    QTest::addColumn<int>("pickedThisRun");  // -1: none
    QTest::addColumn<int>("storedIndex");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("switches");
    QTest::newRow("index 1 keeps English") << -1 << 1 << "English" << 0;
    QTest::newRow("index 0 gives Russian") << -1 << 0 << "Русский" << 1;
    QTest::newRow("a third language gives Russian after restart") << -1 << 2 << "Русский" << 1;
    QTest::newRow("a language picked in this run stays") << 2 << 2 << "Українська" << 0;
  }
  void startUpChoice() {
    QFETCH(int, pickedThisRun);
    QFETCH(int, storedIndex);
    QFETCH(QString, expected);
    QFETCH(int, switches);
    QTemporaryDir dir;
    put(dir, QStringLiteral("eng.lng"), lng(QStringLiteral("English")));
    put(dir, QStringLiteral("ukr.lng"), lng(QStringLiteral("Українська")));
    LangMan man;
    man.loadLanguages(dir.path());
    QCOMPARE(man.currentLanguageName(), QStringLiteral("English"));
    if (pickedThisRun >= 0) QVERIFY(man.requestLanguage(pickedThisRun));
    QSignalSpy changed(&man, &LangMan::languageChanged);
    man.setDefaultLanguage(storedIndex == 1 ? QStringLiteral("English") : LangMan::designLanguageName());
    QCOMPARE(man.currentLanguageName(), expected);
    QCOMPARE(changed.count(), switches);
    // Setting the same default again changes nothing.
    man.setDefaultLanguage(man.defaultLanguage());
    QCOMPARE(changed.count(), switches);
  }

  void lexiconsFallBackToDesignTexts() {
    QTemporaryDir dir;
    put(dir, QStringLiteral("eng.lng"), lng(QStringLiteral("English"), kEnglishLexicons));
    LangMan man;
    man.loadLanguages(dir.path());
    const Lexicons& ru = Lexicons::russian();
    QCOMPARE(man.lexicons().Dlang3[0], QStringLiteral("Hz"));
    QCOMPARE(man.lexicons().D1[8], QStringLiteral("Start"));
    QCOMPARE(man.lexiconItem(u"D1", 8), QStringLiteral("Start"));
    // Items the file lacks keep the design text; the lexicon keeps its size.
    QCOMPARE(man.lexicons().Dlang3[4], ru.Dlang3[4]);
    QCOMPARE(man.lexicons().D2[1], ru.D2[1]);
    QCOMPARE(man.lexicons().D1.items.size(), ru.D1.items.size());
    QCOMPARE(man.lexicons().D1[99], QString());
    QCOMPARE(man.lexiconItem(u"Nonexistent", 0), QString());
    man.switchTo(0);
    QCOMPARE(man.lexicons().Dlang3[0], ru.Dlang3[0]);
    QCOMPARE(man.lexicons().D1[8], ru.D1[8]);
  }

  void unitSignsFollowTheLanguage_data() {
    QTest::addColumn<QString>("lexiconLines");
    QTest::addColumn<QString>("ohm");
    QTest::addColumn<QString>("micro");
    QTest::newRow("translated units") << kEnglishLexicons << QStringLiteral("Ω") << QStringLiteral("μ");
    QTest::newRow("units kept as in the design")
        << QStringLiteral("0\t%LEXICON_NAME=Dlang3;\r\n3\t\"Ом\"\r\n0\t%LEXICON_NAME=Dlang1;\r\n3\t\"мк\"\r\n")
        << QStringLiteral("Ом") << QStringLiteral("мк");
  }
  void unitSignsFollowTheLanguage() {
    QFETCH(QString, lexiconLines);
    QFETCH(QString, ohm);
    QFETCH(QString, micro);
    QTemporaryDir dir;
    put(dir, QStringLiteral("eng.lng"), lng(QStringLiteral("English"), lexiconLines));
    LangMan man;
    man.loadLanguages(dir.path());
    QCOMPARE(OhmSign(man.lexicons()), ohm);
    QCOMPARE(MicroSign(man.lexicons()), micro);
    man.switchTo(0);
    QCOMPARE(OhmSign(man.lexicons()), QStringLiteral("Ом"));
    QCOMPARE(MicroSign(man.lexicons()), QStringLiteral("мк"));
  }

  void operatorPickAsksFirst() {
    QTemporaryDir dir;
    put(dir, QStringLiteral("eng.lng"), lng(QStringLiteral("English"), kEnglishLexicons));
    LangMan man;
    man.loadLanguages(dir.path());
    QStringList events;
    bool veto = false;
    connect(&man, &LangMan::changeLangQuery, this, [&](int index, bool* proceed) {
      // The query runs before the switch: the old language is still in use.
      events << QStringLiteral("query %1 in %2").arg(index).arg(man.currentLanguageName());
      if (veto) *proceed = false;
    });
    connect(&man, &LangMan::translateRequested, this, [&] { events << QStringLiteral("translate"); });
    connect(&man, &LangMan::languageChanged, this,
            [&] { events << QStringLiteral("changed to ") + man.currentLanguageName(); });

    QVERIFY(man.requestLanguage(0));
    QCOMPARE(events, (QStringList{"query 0 in English", "translate", "changed to Русский"}));
    events.clear();
    QVERIFY(!man.requestLanguage(0));  // already in use
    QVERIFY(!man.requestLanguage(5));  // not listed
    QVERIFY(!man.requestLanguage(-1));
    QVERIFY(events.isEmpty());
    veto = true;
    QVERIFY(!man.requestLanguage(1));
    QCOMPARE(events, QStringList{"query 1 in Русский"});
    QCOMPARE(man.currentIndex(), 0);
  }

  void controlTextsOfTheLanguageInUse() {
    QTemporaryDir dir;
    const QString props = QStringLiteral(
        "1\t\"Connect\"\t%COMPONENT=B2;\t%OWNER=Form1;\r\n"
        "2\t\"Single part\"\t%COMPONENT=CBox10;\t%OWNER=Form1;\t%ITEM=0;\r\n"
        "1\t%NOTRANS\t%COMPONENT=Button2;\t%OWNER=Form1;\r\n"
        "1\t\"Obsolete\"\t%COMPONENT=Gone;\t%OWNER=Form1;\t%OLD\r\n");
    put(dir, QStringLiteral("eng.lng"), lng(QStringLiteral("English"), QString(), props));
    LangMan man;
    man.loadLanguages(dir.path());
    QCOMPARE(man.translation("Form1", "B2", LngCaption), std::optional<QString>("Connect"));
    QCOMPARE(man.translation("Form1", "CBox10", LngListItem, 0), std::optional<QString>("Single part"));
    QCOMPARE(man.translation("Form1", "CBox10", LngListItem, 1), std::nullopt);
    QCOMPARE(man.translation("Form1", "Button2", LngCaption), std::nullopt);
    QCOMPARE(man.translation("Form1", "Gone", LngCaption), std::nullopt);
    QCOMPARE(man.translation("Other", "B2", LngCaption), std::nullopt);
    man.switchTo(0);
    QCOMPARE(man.translation("Form1", "B2", LngCaption), std::nullopt);
  }

  // The file readers and writers have no window to ask: they word their
  // messages from what the engine in use last published.
  void programMessagesFollowTheEngine() {
    const Lexicon& design = Lexicons::russian().D4;
    QCOMPARE(design.items.size(), int(msg::kCount));
    QCOMPARE(ProgramMessages().items, design.items);
    QTemporaryDir dir;
    put(dir, QStringLiteral("eng.lng"),
        lng(QStringLiteral("English"),
            QStringLiteral("0\t%LEXICON_NAME=D4;\r\n4\t\"There is no profile number %1\"\r\n")));
    {
      LangMan man;
      man.loadLanguages(dir.path());
      QCOMPARE(ProgramMessages()[msg::kNoSuchProfile], QStringLiteral("There is no profile number %1"));
      QCOMPARE(ProgramMessages()[msg::kNothingToDelete], design[msg::kNothingToDelete]);  // not in the file
      man.switchTo(0);
      QCOMPARE(ProgramMessages()[msg::kNoSuchProfile], design[msg::kNoSuchProfile]);
      man.switchTo(1);
      QCOMPARE(ProgramMessages()[msg::kNoSuchProfile], QStringLiteral("There is no profile number %1"));
    }
    QCOMPARE(ProgramMessages().items, design.items);  // the engine is gone
  }

  void reloadKeepsTheLanguageInUse() {
    QTemporaryDir dir;
    put(dir, QStringLiteral("eng.lng"), lng(QStringLiteral("English")));
    put(dir, QStringLiteral("ukr.lng"), lng(QStringLiteral("Українська")));
    LangMan man;
    man.loadLanguages(dir.path());
    QVERIFY(man.requestLanguage(2));
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("eng.lng"))));
    man.loadLanguages(dir.path());
    QCOMPARE(man.currentLanguageName(), QStringLiteral("Українська"));
    QCOMPARE(man.currentIndex(), 1);
  }
};

QTEST_GUILESS_MAIN(TestLangMan)
#include "test_lang_man.moc"
