// The profile book without widgets: file commands with byte-exact files,
// record commands keeping the count true, selection, the reference read from
// a record, 1.dat's part in restoring the current file.
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QtEndian>

#include "book_fixture.h"

using namespace zt;
using zt::test::BookFixture;
using zt::test::Bytes;

namespace {

std::int32_t HeaderCount(const QString& path) {
  const QByteArray b = Bytes(path);
  return b.size() < 4 ? -1 : qFromLittleEndian<std::int32_t>(b.constData());
}

QStringList RecordNames(const QString& path, int count) {
  QVector<ProfileRecord> recs;
  ProfileFile(path).readRecords(count, recs);
  QStringList names;
  for (const ProfileRecord& r : recs) names << r.ProfileName;
  return names;
}

}  // namespace

class TestProfileBook : public QObject {
  Q_OBJECT
 private slots:
  void createGivesTheDesignedFile();
  void createRefused_data();
  void createRefused();
  void pathTooLongForSettingsFile();
  void open_data();
  void open();
  void saveAs();
  void editingCommandsKeepTheCountTrue();
  void recordCommandsRefreshTheTable_data();
  void recordCommandsRefreshTheTable();
  void readProfileFillsTheReference();
  void selection_data();
  void selection();
  void damagedFileToldOnce();
  void restoredAtStart_data();
  void restoredAtStart();
  void sortsAgainstTheReference();
  void textsFollowTheLanguage();
  void openRefusesOtherFiles_data();
  void openRefusesOtherFiles();
  void holdOnlyAsStored_data();
  void holdOnlyAsStored();
  void unstoredPathHoldsThroughReReads_data();
  void unstoredPathHoldsThroughReReads();
  void dialoguesStartAtTheCurrentFile();
};

void TestProfileBook::createGivesTheDesignedFile() {
  BookFixture fx;
  fx.live.FreqCode = 4;
  fx.live.IntervalCode = 2;
  QSignalSpy ready(&fx.book, &ProfileBook::fileReady);
  QSignalSpy caption(&fx.book, &ProfileBook::captionChanged);
  // The editor as it starts: R1, R 10000 Ом, tolerance off.
  QVERIFY(fx.book.create(fx.path(QStringLiteral("new"))));
  const QString path = fx.path(QStringLiteral("new.hex1"));
  const QByteArray b = Bytes(path);
  QCOMPARE(b.size(), 172);
  QCOMPARE(b.left(4), QByteArray("\x01\0\0\0", 4));
  QCOMPARE(b.mid(4, 96), QByteArray(96, '\0'));
  QCOMPARE(b.mid(100, 3), QByteArray("\x02R1"));
  QCOMPARE(b.mid(116, 4), QByteArray("\x03OFF"));
  QCOMPARE(b.at(122), '\0');  // kind R
  QCOMPARE(b.at(123), '\0');  // unit Ом
  QCOMPARE(b.mid(124, 6), QByteArray("\x05"
                                     "10000"));
  QByteArray settings;
  for (auto v : fx.live.toBytes()) settings.append(char(v));
  QCOMPARE(b.mid(154, 18), settings);
  QCOMPARE(fx.notices.size(), 1);
  QCOMPARE(fx.notices[0].level, NoticeLevel::Information);
  QCOMPARE(fx.notices[0].text, QStringLiteral("Файл успешно создан!"));
  // 1.dat remembers it and it is current; "Создать" leaves SB3/SB4 alone.
  QCOMPARE(ReadSettingsFile(fx.dir.path()).data.lastProfilePath(), path);
  QCOMPARE(fx.book.currentProfilePath(), path);
  QCOMPARE(fx.book.profileCount(), 1);
  QCOMPARE(fx.book.maximumNumber(), 2);
  QCOMPARE(caption.last().at(0).toString(), QStringLiteral("Профиль new"));
  QCOMPARE(fx.book.profileTitle(), QStringLiteral(" new"));
  QVERIFY(ready.isEmpty());
  // A name that has the extension (an existing file picked, or Windows' own
  // dialogue adding it) gets none more: new.hex1 is written again.
  for (const QString& chosen : {path, fx.path(QStringLiteral("new.HEX1"))})
    QCOMPARE(ProfileBook::profileFilePath(chosen), chosen);
  fx.live.FreqCode = 5;
  QVERIFY(fx.book.create(path));
  QVERIFY(!QFileInfo::exists(path + QStringLiteral(".hex1")));
  QCOMPARE(fx.book.currentProfilePath(), path);
  QCOMPARE(Bytes(path).size(), 172);
  QCOMPARE(Bytes(path).at(155), '\x05');
  QCOMPARE(ReadSettingsFile(fx.dir.path()).data.lastProfilePath(), path);
}

void TestProfileBook::createRefused_data() {
  QTest::addColumn<QString>("chosen");  // "" cancelled; relative to the data folder
  QTest::addColumn<int>("level");
  QTest::addColumn<QString>("text");  // the notice begins with it
  QTest::newRow("dialogue cancelled") << "" << int(NoticeLevel::Warning) << "Неудача!";
  QTest::newRow("folder missing") << "no/such/folder/p" << int(NoticeLevel::Critical) << "Неудача!\n";
}

void TestProfileBook::createRefused() {
  QFETCH(QString, chosen);
  QFETCH(int, level);
  QFETCH(QString, text);
  BookFixture fx;
  QVERIFY(!fx.book.create(chosen.isEmpty() ? QString() : fx.path(chosen)));
  QCOMPARE(fx.notices.size(), 1);
  QCOMPARE(int(fx.notices[0].level), level);
  QVERIFY2(fx.notices[0].text.startsWith(text), qPrintable(fx.notices[0].text));
  QVERIFY(fx.book.currentProfilePath().isEmpty());
  QCOMPARE(fx.book.profileCount(), 0);
}

// A path 1.dat cannot hold: the file is made and current, the operator told.
void TestProfileBook::pathTooLongForSettingsFile() {
  BookFixture fx;
  const QString deep = fx.path(QString(120, QLatin1Char('d')));
  QVERIFY(QDir().mkpath(deep));
  const QString base = QDir(deep).filePath(QString(80, QLatin1Char('n')));
  QVERIFY(fx.book.create(base));
  QCOMPARE(fx.notices.size(), 2);  // created, then not remembered
  QCOMPARE(fx.notices[1].level, NoticeLevel::Warning);
  QCOMPARE(fx.book.currentProfilePath(), base + QStringLiteral(".hex1"));
  QVERIFY(fx.book.caption().endsWith(QString(80, QLatin1Char('n'))));
  QCOMPARE(fx.book.profileCount(), 1);
  QVERIFY(ReadSettingsFile(fx.dir.path()).data.lastProfilePath().isEmpty());
}

void TestProfileBook::open_data() {
  QTest::addColumn<QString>("answer");  // "" cancelled; "parts" the file with A, B, C
  QTest::addColumn<bool>("multi");
  QTest::addColumn<int>("count");
  QTest::addColumn<bool>("remembered");  // 1.dat names it, caption follows, SB3/SB4 enabled
  QTest::addColumn<QString>("editor");   // name read into the editor ("" none)
  QTest::addColumn<QList<int>>("tables");
  QTest::newRow("existing file, single part") << "parts" << false << 3 << true << "A" << QList<int>{};
  QTest::newRow("existing file, multi part") << "parts" << true << 3 << true << "" << QList<int>{0};
  QTest::newRow("a new name makes a file of one") << "b" << false << 1 << false << "" << QList<int>{};
  QTest::newRow("cancelled") << "" << false << 0 << false << "" << QList<int>{};
}

void TestProfileBook::open() {
  QFETCH(QString, answer);
  QFETCH(bool, multi);
  QFETCH(int, count);
  QFETCH(bool, remembered);
  QFETCH(QString, editor);
  QFETCH(QList<int>, tables);
  BookFixture fx;
  const QString parts = fx.path(QStringLiteral("parts.hex1"));
  {
    ProfileFile pf(parts);
    ProfileRecord r = fx.book.EditorRecord();
    QVERIFY(pf.create(r).ok);
    std::int32_t n = 1;
    for (const QString& name : {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}) {
      r.ProfileName = name;
      QVERIFY(pf.store(n, name == QLatin1String("A") ? 1 : n + 1, r).ok);
    }
  }
  QList<int> shown;
  fx.book.setTableHooks({[multi] { return multi; },
                         [&shown](int a, QString*) {
                           shown << a;
                           return true;
                         }});
  QSignalSpy ready(&fx.book, &ProfileBook::fileReady);
  QSignalSpy read(&fx.book, &ProfileBook::referenceLoaded);
  QSignalSpy caption(&fx.book, &ProfileBook::captionChanged);
  const QString path = answer == QLatin1String("parts") ? parts : answer.isEmpty() ? QString() : fx.path(answer);

  QCOMPARE(fx.book.open(path), !answer.isEmpty());
  QCOMPARE(fx.book.profileCount(), count);
  QCOMPARE(fx.book.maximumNumber(), count + 1 + (answer.isEmpty() ? 1 : 0));
  QCOMPARE(fx.book.currentProfilePath(), path);
  QCOMPARE(ReadSettingsFile(fx.dir.path()).data.lastProfilePath(), remembered ? path : QString());
  QCOMPARE(ready.size(), remembered ? 1 : 0);
  QCOMPARE(caption.isEmpty(), !remembered);
  QCOMPARE(read.isEmpty(), editor.isEmpty());
  if (!editor.isEmpty()) QCOMPARE(read.last().at(0).value<Reference>().name, editor);
  QCOMPARE(shown, tables);
  QVERIFY(fx.notices.isEmpty());
  if (answer == QLatin1String("b")) {
    // A file of that very name, no extension added, with the editor as its profile.
    QCOMPARE(Bytes(path).size(), 172);
    QCOMPARE(HeaderCount(path), 1);
  }
  if (remembered && !multi) QCOMPARE(fx.book.names(), (QStringList{"A", "B", "C"}));
}

void TestProfileBook::saveAs() {
  BookFixture fx;
  // Nothing to copy yet: nothing happens.
  QVERIFY(!fx.book.saveAs(fx.path(QStringLiteral("copy"))));
  QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("copy.hex1"))));
  fx.openProfiles({QStringLiteral("P1"), QStringLiteral("P2")});
  const QString original = fx.book.currentProfilePath();
  QVERIFY(!fx.book.saveAs(QString()));  // cancelled
  QVERIFY(fx.book.saveAs(fx.path(QStringLiteral("copy"))));
  const QString copy = fx.path(QStringLiteral("copy.hex1"));
  QCOMPARE(Bytes(copy), Bytes(original));
  QCOMPARE(fx.book.currentProfilePath(), copy);
  QCOMPARE(ReadSettingsFile(fx.dir.path()).data.lastProfilePath(), copy);
  QCOMPARE(fx.book.caption(), QStringLiteral("Профиль copy"));
  QVERIFY(fx.notices.isEmpty());
}

void TestProfileBook::editingCommandsKeepTheCountTrue() {
  BookFixture fx;
  // No file yet: "Запись" at the free slot fails and the count stays.
  QVERIFY(!fx.book.store());
  QCOMPARE(fx.book.profileCount(), 0);
  QCOMPARE(fx.notices.size(), 1);
  QCOMPARE(fx.notices[0].level, NoticeLevel::Critical);
  QCOMPARE(fx.notices[0].text, QStringLiteral("Файл профилей не открыт: создайте или откройте его."));
  QVERIFY(!fx.book.insert());
  QVERIFY(!fx.book.remove());
  QCOMPARE(fx.notices.size(), 3);

  fx.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
  const QString path = fx.book.currentProfilePath();
  Reference ref = fx.book.reference();
  ref.name = QStringLiteral("NEW");
  fx.book.setReference(ref);
  fx.book.setCurrentNumber(1);
  QVERIFY(fx.book.insert());
  QCOMPARE(fx.book.profileCount(), 4);
  QCOMPARE(fx.book.maximumNumber(), 5);
  QCOMPARE(HeaderCount(path), 4);
  QCOMPARE(RecordNames(path, 4), (QStringList{"NEW", "A", "B", "C"}));
  fx.book.showNames();
  QCOMPARE(fx.book.names(), (QStringList{"NEW", "A", "B", "C"}));
  // "Запись" at the free slot appends one.
  fx.book.setCurrentNumber(5);
  QVERIFY(fx.book.store());
  QCOMPARE(fx.book.profileCount(), 5);
  QCOMPARE(HeaderCount(path), 5);
  // Deleting profile 2 of 5 keeps the file's length.
  const qint64 length = Bytes(path).size();
  fx.book.setCurrentNumber(2);
  QVERIFY(fx.book.remove());
  QCOMPARE(Bytes(path).size(), length);
  QCOMPARE(RecordNames(path, 4), (QStringList{"NEW", "B", "C", "NEW"}));
  // Deleting down to nothing never makes the count negative.
  fx.notices.clear();
  for (int i = 0; i < 6; ++i) {
    fx.book.setCurrentNumber(1);
    fx.book.remove();
  }
  QCOMPARE(fx.book.profileCount(), 0);
  QCOMPARE(HeaderCount(path), 0);
  QCOMPARE(fx.notices.size(), 2);  // the two deletions with nothing left are refused
  QCOMPARE(fx.notices[0].level, NoticeLevel::Critical);
  QCOMPARE(fx.notices[0].text, QStringLiteral("В файле нет профилей для удаления"));
}

// In multi-part mode each record command has the log's table shown again:
// all of it, or only the row stored.
void TestProfileBook::recordCommandsRefreshTheTable_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<int>("number");
  QTest::addColumn<bool>("multi");
  QTest::addColumn<QList<int>>("tables");
  QTest::newRow("store profile 2 of 3") << "store" << 2 << true << QList<int>{1};
  QTest::newRow("store the last") << "store" << 3 << true << QList<int>{0};
  QTest::newRow("store at the free slot") << "store" << 4 << true << QList<int>{0};
  QTest::newRow("insert") << "insert" << 2 << true << QList<int>{0};
  QTest::newRow("remove") << "remove" << 2 << true << QList<int>{0};
  QTest::newRow("single part: no table") << "store" << 2 << false << QList<int>{};
}

void TestProfileBook::recordCommandsRefreshTheTable() {
  QFETCH(QString, command);
  QFETCH(int, number);
  QFETCH(bool, multi);
  QFETCH(QList<int>, tables);
  BookFixture fx;
  fx.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
  QList<int> shown;
  fx.book.setTableHooks({[multi] { return multi; },
                         [&shown](int a, QString*) {
                           shown << a;
                           return true;
                         }});
  fx.book.setCurrentNumber(number);
  if (command == QLatin1String("store")) QVERIFY(fx.book.store());
  if (command == QLatin1String("insert")) QVERIFY(fx.book.insert());
  if (command == QLatin1String("remove")) QVERIFY(fx.book.remove());
  QCOMPARE(shown, tables);
  // A table that cannot be read is told.
  fx.book.setTableHooks({[] { return true; },
                         [](int, QString* error) {
                           *error = QStringLiteral("unreadable");
                           return false;
                         }});
  QVERIFY(fx.book.store());
  QCOMPARE(fx.notices.size(), 1);
  QCOMPARE(fx.notices[0].text, QStringLiteral("unreadable"));
}

void TestProfileBook::readProfileFillsTheReference() {
  BookFixture fx;
  const QString path = fx.path(QStringLiteral("r.hex1"));
  ProfileRecord r;
  r.ProfileName = QStringLiteral("C22n");
  r.StartPosition = 40;
  r.PrimaryTolerance = QStringLiteral("0,5%");
  r.PrimaryKind = 2;
  r.PrimaryUnit = 1;
  r.PrimaryNominal = QStringLiteral("2x2.5");
  r.SecondaryTolerance = ProfileToleranceOff();
  r.SecondaryKind = 1;
  r.SecondaryNominal = QStringLiteral("50");
  r.Settings.FreqCode = 4;
  r.Settings.SourceCode = 3;
  r.Settings.Reserved = 9;
  QVERIFY(ProfileFile(path).create(r).ok);
  QVERIFY(fx.book.open(path));
  QSignalSpy loaded(&fx.book, &ProfileBook::referenceLoaded);
  QSignalSpy changed(&fx.book, &ProfileBook::referenceChanged);
  QSignalSpy settings(&fx.book, &ProfileBook::settingsRead);
  QVERIFY(fx.book.ReadProfile(1));
  QCOMPARE(loaded.size(), 1);
  QCOMPARE(changed.size(), 1);
  const Reference ref = fx.book.reference();
  QCOMPARE(loaded.at(0).at(0).value<Reference>(), ref);
  QCOMPARE(ref.name, QStringLiteral("C22n"));
  QCOMPARE(ref.startPosition, 40);
  QVERIFY(ref.primary.toleranceOn);
  QCOMPARE(ref.primary.toleranceText, QStringLiteral("0,5%"));  // as stored
  QCOMPARE(ref.primary.nominalText, QStringLiteral("22.5"));    // as the editor's filter leaves it
  QVERIFY(!ref.secondary.toleranceOn);
  QCOMPARE(settings.size(), 1);
  const MeterSettings s = settings.at(0).at(0).value<MeterSettings>();
  QCOMPARE(int(s.FreqCode), 4);
  QCOMPARE(int(s.SourceCode), 0);
  QCOMPARE(int(s.Reserved), 0);
  // What the book stores now is what it read (with the live settings).
  fx.live.FreqCode = 7;
  ProfileRecord back = fx.book.EditorRecord();
  QCOMPARE(back.PrimaryNominal, QStringLiteral("22.5"));
  QCOMPARE(back.SecondaryTolerance, ProfileToleranceOff());
  QCOMPARE(int(back.Settings.FreqCode), 7);
  // A profile that is not there.
  QVERIFY(!fx.book.ReadProfile(0));
  // The limits readings are sorted against follow edits, and only edits of
  // what sorts: the start position kept with a profile is none of it.
  QCOMPARE(fx.book.primaryLimits().kind, Quantity::None);  // "0,5%" does not read with a decimal point
  Reference edited = ref;
  edited.startPosition = 41;
  fx.book.setReference(edited);
  QCOMPARE(changed.size(), 1);
  edited.primary.toleranceText = QStringLiteral("1%");
  fx.book.setReference(edited);
  QCOMPARE(changed.size(), 2);
  QCOMPARE(fx.book.primaryLimits().kind, Quantity::Capacitance);
  QCOMPARE(fx.book.primaryLimits().lower, 22.5e-9 / 1.01);
  edited.primary.toleranceOn = false;
  fx.book.setReference(edited);
  QCOMPARE(changed.size(), 3);
  QCOMPARE(fx.book.primaryLimits().kind, Quantity::None);
}

// Picking profiles: by name, by the arrows, by typing, by a table row.
void TestProfileBook::selection_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<int>("n");
  QTest::addColumn<int>("number");    // SE2 after
  QTest::addColumn<QString>("read");  // the name read, "" nothing
  QTest::addColumn<bool>("chosen");   // profileChosen (the log selects its row)
  QTest::newRow("name list item 1") << "name" << 1 << 2 << "B" << true;
  QTest::newRow("arrows to 3") << "step" << 3 << 3 << "C" << true;
  QTest::newRow("arrows to the free slot") << "step" << 4 << 4 << "" << false;
  QTest::newRow("typed number") << "type" << 2 << 2 << "" << false;
  QTest::newRow("typed past the free slot") << "type" << 9 << 4 << "" << false;
  QTest::newRow("table row 3") << "table" << 3 << 3 << "C" << false;
  QTest::newRow("read button") << "read" << 0 << 1 << "A" << false;
}

void TestProfileBook::selection() {
  QFETCH(QString, how);
  QFETCH(int, n);
  QFETCH(int, number);
  QFETCH(QString, read);
  QFETCH(bool, chosen);
  BookFixture fx;
  fx.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
  QSignalSpy loaded(&fx.book, &ProfileBook::referenceLoaded);
  QSignalSpy picked(&fx.book, &ProfileBook::profileChosen);
  QSignalSpy numbers(&fx.book, &ProfileBook::numberChanged);
  if (how == QLatin1String("name")) fx.book.chooseName(n);
  if (how == QLatin1String("step")) fx.book.step(n);
  if (how == QLatin1String("type")) fx.book.setCurrentNumber(n);
  if (how == QLatin1String("table")) fx.book.selectFromTable(n);
  if (how == QLatin1String("read")) fx.book.read();
  QCOMPARE(fx.book.currentNumber(), number);
  QCOMPARE(loaded.isEmpty(), read.isEmpty());
  if (!read.isEmpty()) QCOMPARE(fx.book.reference().name, read);
  QCOMPARE(picked.size(), chosen ? 1 : 0);
  if (number != 1) {
    QCOMPARE(numbers.last().at(0).toInt(), number);
    QCOMPARE(numbers.last().at(2).toBool(), number <= 3);  // BB2 enabled on a stored profile
  }
  QVERIFY(fx.notices.isEmpty());
}

void TestProfileBook::damagedFileToldOnce() {
  BookFixture fx;
  const QString path = fx.path(QStringLiteral("damaged.hex1"));
  ProfileFile pf(path);
  ProfileRecord r = fx.book.EditorRecord();
  QVERIFY(pf.create(r).ok);
  std::int32_t count = 1;
  QVERIFY(pf.store(count, 2, r).ok);
  QVERIFY(pf.writeCount(5).ok);  // the header claims more than the file holds
  QVERIFY(fx.book.open(path));
  QCOMPARE(fx.book.profileCount(), 2);
  QCOMPARE(fx.notices.size(), 1);
  QCOMPARE(fx.notices[0].level, NoticeLevel::Warning);
  QVERIFY(fx.notices[0].text.contains(QDir::toNativeSeparators(path)));
  fx.book.showNames();
  fx.book.LoadSettingsFile();
  QCOMPARE(fx.notices.size(), 1);  // re-reads of the same file do not repeat it
}

void TestProfileBook::restoredAtStart_data() {
  QTest::addColumn<bool>("fileThere");
  QTest::addColumn<bool>("multi");
  QTest::newRow("single part") << true << false;
  QTest::newRow("multi part: the editor is left") << true << true;
  QTest::newRow("file gone") << false << false;
}

void TestProfileBook::restoredAtStart() {
  QFETCH(bool, fileThere);
  QFETCH(bool, multi);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("Профили.hex1"));
  {
    BookFixture first(true);
    first.openProfiles({QStringLiteral("X"), QStringLiteral("Y")}, QStringLiteral("Профили.hex1"));
    QVERIFY(QFile::copy(first.book.currentProfilePath(), path));
    QVERIFY(first.store.SaveLastProfilePath(path).ok);
    QVERIFY(QFile::copy(first.store.filePath(), dir.filePath(QStringLiteral("1.dat"))));
  }
  if (!fileThere) QVERIFY(QFile::remove(path));
  SettingsStore store(dir.path());
  ProfileBook book(&store);
  book.setTableHooks({[multi] { return multi; }, [](int, QString*) { return true; }});
  QSignalSpy ready(&book, &ProfileBook::fileReady);
  QSignalSpy loaded(&book, &ProfileBook::referenceLoaded);
  QSignalSpy settings(&book, &ProfileBook::settingsRead);
  QSignalSpy language(&store, &SettingsStore::languageIndexLoaded);
  QCOMPARE(book.LoadSettingsFile(), fileThere ? 1 : 0);
  QCOMPARE(language.size(), 1);  // the rest of 1.dat is handed on either way
  QCOMPARE(ready.size(), fileThere ? 1 : 0);
  QCOMPARE(book.currentProfilePath(), fileThere ? path : QString());
  QCOMPARE(book.profileCount(), fileThere ? 2 : 0);
  QCOMPARE(book.caption(), fileThere ? QStringLiteral("Профиль Профили") : QStringLiteral("Профиль"));
  const bool editorRead = fileThere && !multi;
  QCOMPARE(loaded.size(), editorRead ? 1 : 0);
  QCOMPARE(settings.size(), editorRead ? 1 : 0);
  QCOMPARE(book.names(), editorRead ? (QStringList{"X", "Y"}) : QStringList());
}

void TestProfileBook::sortsAgainstTheReference() {
  BookFixture fx;
  Reference ref = DefaultReference();
  ref.primary.nominalText = QStringLiteral("100");
  ref.primary.toleranceOn = true;
  ref.primary.toleranceText = QStringLiteral("1%");
  fx.book.setReference(ref);
  MeterReading reading;
  reading.settings.CircuitSeries = 1;
  reading.values.ReadingR = 102;
  QSignalSpy changed(&fx.book, &ProfileBook::verdictChanged);
  Verdict v = fx.book.sortReading(reading);
  QCOMPARE(v.SortResult, 1);
  QCOMPARE(v.PrimaryDeviation, 2.0);
  QCOMPARE(fx.book.verdict(), v);
  QCOMPARE(changed.size(), 1);
  // The tolerance switched off: a pass, and the deviation keeps its value.
  ref.primary.toleranceOn = false;
  fx.book.setReference(ref);
  v = fx.book.sortReading(reading);
  QCOMPARE(v.SortResult, 0);
  QCOMPARE(v.PrimaryDeviation, 2.0);
  QVERIFY(!v.primaryOn);
}

void TestProfileBook::textsFollowTheLanguage() {
  BookFixture fx;
  Lexicons english = Lexicons::russian();
  english.D1.items[0] = QStringLiteral("Profile");
  english.D1.items[5] = QStringLiteral("Failed!");
  english.D4.items[msg::kNoProfileFile] = QStringLiteral("No profile file is open.");
  fx.book.setLexicons(&english);
  QVERIFY(!fx.book.store());
  QVERIFY(!fx.book.create(QString()));
  QCOMPARE(fx.notices.size(), 2);
  QCOMPARE(fx.notices[0].text, QStringLiteral("No profile file is open."));
  QCOMPARE(fx.notices[1].text, QStringLiteral("Failed!"));
  fx.openProfiles({QStringLiteral("A")});
  QCOMPARE(fx.book.caption(), QStringLiteral("Profile parts"));
  english.D1.items[0] = QStringLiteral("Профиль");  // the engine switched back
  QSignalSpy caption(&fx.book, &ProfileBook::captionChanged);
  fx.book.languageChanged();
  QCOMPARE(caption.size(), 1);
  QCOMPARE(caption.at(0).at(0).toString(), QStringLiteral("Профиль parts"));
}

// "Открыть" judges the file before it takes anything from it: a file of
// another kind is refused with the reason and changes nothing; a damaged
// profile file opens, told once with everything that is wrong.
void TestProfileBook::openRefusesOtherFiles_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<bool>("opened");
  QTest::addColumn<QString>("told");  // part of the one notice, "" none
  QByteArray passwd;
  while (passwd.size() < 400) passwd += "root:x:0:0:root:/root:/bin/bash\n";
  ProfileRecord r;
  r.ProfileName = QStringLiteral("A");
  const QByteArray good = EncodeProfileRecord(r);
  QByteArray bad = good;
  bad[16] = char(9);  // tolerance length beyond its field
  const QByteArray header = QByteArray("\x02\0\0\0", 4) + QByteArray(96, '\0');
  QTest::newRow("/etc/passwd") << passwd << false << "Неудача!\n";
  QTest::newRow("a text file") << QByteArray("hello\n") << false << "не файл профилей: файл короче заголовка";
  QTest::newRow("profile 2 damaged") << header + good + bad << true << "профиль 2, поле допуск: длина 9 больше 5";
  QTest::newRow("clean") << header + good + good << true << "";
}

void TestProfileBook::openRefusesOtherFiles() {
  QFETCH(QByteArray, bytes);
  QFETCH(bool, opened);
  QFETCH(QString, told);
  BookFixture fx;
  fx.openProfiles({QStringLiteral("P1"), QStringLiteral("P2")});
  const QString before = fx.book.currentProfilePath();
  const QByteArray dat = Bytes(fx.store.filePath());
  const Reference editor = fx.book.reference();
  fx.notices.clear();
  const QString path = fx.path(QStringLiteral("other"));
  {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QSignalSpy settings(&fx.book, &ProfileBook::settingsRead);
  QCOMPARE(fx.book.open(path), opened);
  QCOMPARE(fx.notices.size(), told.isEmpty() ? 0 : 1);
  if (!told.isEmpty()) QVERIFY2(fx.notices[0].text.contains(told), qPrintable(fx.notices[0].text));
  if (opened) {
    QCOMPARE(fx.book.currentProfilePath(), path);
    QCOMPARE(fx.book.profileCount(), 2);
    return;
  }
  QCOMPARE(fx.notices[0].level, NoticeLevel::Critical);
  QVERIFY(fx.notices[0].text.contains(QDir::toNativeSeparators(path)));
  // Nothing was taken from it: the current file, 1.dat, the editor, the meter.
  QCOMPARE(fx.book.currentProfilePath(), before);
  QCOMPARE(fx.book.profileCount(), 2);
  QCOMPARE(Bytes(fx.store.filePath()), dat);
  QCOMPARE(fx.book.reference(), editor);
  QVERIFY(settings.isEmpty());
  QCOMPARE(Bytes(path), bytes);
}

// The hold goes to the meter only as a setting the record holds on purpose.
void TestProfileBook::holdOnlyAsStored_data() {
  QTest::addColumn<int>("hold");
  QTest::addColumn<int>("freqCode");
  QTest::addColumn<int>("sent");
  QTest::newRow("off") << 0 << 3 << 0;
  QTest::newRow("on, as stored") << 1 << 3 << 1;
  QTest::newRow("a stray byte with its low bit set") << 0x6f << 3 << 0;
  QTest::newRow("on, in damaged settings") << 1 << 0x59 << 0;
}

void TestProfileBook::holdOnlyAsStored() {
  QFETCH(int, hold);
  QFETCH(int, freqCode);
  QFETCH(int, sent);
  BookFixture fx;
  const QString path = fx.path(QStringLiteral("h.hex1"));
  ProfileRecord good;
  good.ProfileName = QStringLiteral("ok");
  ProfileRecord r = good;
  r.Settings.Hold = std::uint8_t(hold);
  r.Settings.FreqCode = std::uint8_t(freqCode);
  std::int32_t count = 1;
  QVERIFY(ProfileFile(path).create(good).ok);
  QVERIFY(ProfileFile(path).store(count, 2, r).ok);
  QVERIFY(fx.book.open(path));
  QSignalSpy settings(&fx.book, &ProfileBook::settingsRead);
  QVERIFY(fx.book.ReadProfile(2));
  QCOMPARE(int(settings.at(0).at(0).value<MeterSettings>().Hold), sent);
}

// A file 1.dat cannot name (a path too long for it, or 1.dat gone while the
// logger runs) stays the current one through every re-read of 1.dat, and
// the re-reads never make a new 1.dat.
void TestProfileBook::unstoredPathHoldsThroughReReads_data() {
  QTest::addColumn<bool>("tooLong");  // else 1.dat removed
  QTest::addColumn<bool>("multi");
  QTest::newRow("path too long, single part") << true << false;
  QTest::newRow("path too long, multi part") << true << true;
  QTest::newRow("1.dat gone, single part") << false << false;
  QTest::newRow("1.dat gone, multi part") << false << true;
}

void TestProfileBook::unstoredPathHoldsThroughReReads() {
  QFETCH(bool, tooLong);
  QFETCH(bool, multi);
  BookFixture fx;
  fx.openProfiles({QStringLiteral("OLD")});
  const QString old = fx.book.currentProfilePath();
  QString chosen;
  if (tooLong) {
    const QString deep = fx.path(QString(120, QLatin1Char('d')));
    QVERIFY(QDir().mkpath(deep));
    chosen = QDir(deep).filePath(QString(80, QLatin1Char('n')) + QStringLiteral(".hex1"));
  } else {
    QVERIFY(QFile::remove(fx.store.filePath()));
    chosen = fx.path(QStringLiteral("new.hex1"));
  }
  {
    ProfileRecord r;
    r.ProfileName = QStringLiteral("NEW");
    QVERIFY(ProfileFile(chosen).create(r).ok);
  }
  // The table re-reads 1.dat as the recorder does.
  QStringList tableNames;
  fx.book.setTableHooks({[multi] { return multi; },
                         [&](int, QString*) {
                           fx.book.LoadSettingsFile();
                           tableNames.clear();
                           QVector<ProfileRecord> recs;
                           fx.book.readRecords(fx.book.profileCount(), recs);
                           for (const ProfileRecord& r : recs) tableNames << r.ProfileName;
                           return true;
                         }});
  fx.notices.clear();
  QVERIFY(fx.book.open(chosen));
  QCOMPARE(fx.notices.size(), 1);  // 1.dat does not take it
  QCOMPARE(fx.notices[0].level, NoticeLevel::Warning);
  QCOMPARE(fx.book.currentProfilePath(), chosen);
  if (multi) QCOMPARE(tableNames, QStringList{"NEW"});
  for (int i = 0; i < 2; ++i) {
    fx.book.LoadSettingsFile();
    fx.book.setCurrentNumber(fx.book.maximumNumber());
    QVERIFY(fx.book.store());  // a record command with its table: appends the editor
    QCOMPARE(fx.book.currentProfilePath(), chosen);
    QVERIFY(fx.book.caption().endsWith(QFileInfo(chosen).completeBaseName()));
  }
  if (multi) QCOMPARE(tableNames.value(0), QStringLiteral("NEW"));
  QCOMPARE(QFileInfo::exists(fx.store.filePath()), tooLong);
  if (tooLong) QCOMPARE(ReadSettingsFile(fx.dir.path()).data.lastProfilePath(), old);
  // A path 1.dat takes again ends it: the re-reads follow 1.dat once more.
  if (!tooLong) return;
  QVERIFY(fx.book.open(old));
  fx.book.LoadSettingsFile();
  QCOMPARE(fx.book.currentProfilePath(), old);
}

// The profile file dialogues start where the current file is, else in the
// data folder.
void TestProfileBook::dialoguesStartAtTheCurrentFile() {
  BookFixture fx;
  QCOMPARE(fx.book.dialogueFolder(), fx.dir.path());
  QVERIFY(QDir(fx.dir.path()).mkpath(QStringLiteral("sub")));
  fx.openProfiles({QStringLiteral("A")}, QStringLiteral("sub/p.hex1"));
  QCOMPARE(fx.book.dialogueFolder(), fx.path(QStringLiteral("sub")));
  QVERIFY(QDir(fx.path(QStringLiteral("sub"))).removeRecursively());
  QCOMPARE(fx.book.dialogueFolder(), fx.dir.path());
  ProfileBook alone(nullptr);
  QVERIFY(alone.dialogueFolder().isEmpty());
}

QTEST_GUILESS_MAIN(TestProfileBook)
#include "test_profile_book.moc"
