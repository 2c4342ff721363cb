// The journal beside the recorder: each row is on disk before the grid shows
// it, events are written where they happen, a log that was not ended comes
// back at the next start (single- and multi-part, with texts, colours and
// the position after the last row), a damaged journal gives back what it
// can, an ended log moves to the archive, rows written over stay in the
// archive, the profile in use comes back with the rows, and a journal that
// cannot be written or is kept by another copy is told.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "journal.h"
#include "recorder_fixture.h"

using namespace zt;
using namespace zt::test;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A recorder with its journal in `folder`, on a clock that ticks a second
// a call.
struct Rig : RecorderFixture {
  Journal journal;
  QDateTime now = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
  QList<Notice> journalNotices;

  explicit Rig(const QString& folder) : journal(&rec, folder) {
    journal.setClock([this] { return now = now.addSecs(1); });
    QObject::connect(&journal, &Journal::notice, [this](NoticeLevel level, const QString& text) {
      journalNotices.append({level, text});
    });
  }
  JournalLog parsed() const { return ParseJournal(ReadAll(journal.currentPath())); }
  std::vector<LogModel::StoredRow> rows(int from, int to) const {
    std::vector<LogModel::StoredRow> r;
    for (int p = from; p <= to; ++p) r.push_back(grid().storedRow(p));
    return r;
  }
  // Readings of 100, 101, ... ohms, logged while recording.
  void record(int count, double first = 100) {
    rec.setRecording(true);
    for (int i = 0; i < count; ++i) rec.takeReading(Reading(first + i, QStringLiteral("%1 Ом").arg(first + i)));
    rec.setRecording(false);
  }
};

std::uint32_t Digest(const std::vector<LogModel::StoredRow>& rows) {
  RowsDigest d;
  for (const auto& r : rows) d.add(r);
  return d.value();
}

QStringList ArchiveNames(const Journal& j) { return QDir(j.archiveFolder()).entryList(QDir::Files, QDir::Name); }

}  // namespace

class TestJournal : public QObject {
  Q_OBJECT
 private slots:
  // Rows and events in the order they happened; a row is in the file by the
  // time the grid shows it; the recorder's own advance is not an event.
  void rowsAndEventsInOrder() {
    QTemporaryDir folder;
    Rig rig(folder.path());
    QCOMPARE(rig.journal.restore(), QString());
    QVERIFY(rig.journal.active());
    QVERIFY(!QFileInfo::exists(rig.journal.currentPath()));  // nothing logged yet, no file

    int shownBeforeJournaled = 0;
    QObject::connect(rig.rec.model(), &QAbstractItemModel::dataChanged, [&](const QModelIndex& from) {
      const int p = from.row() + 1;
      if (rig.grid().cell(p, 2).isEmpty()) return;
      if (!rig.parsed().rows.contains(p)) ++shownBeforeJournaled;
    });
    rig.record(3);
    rig.journal.linkDown();  // no link was up: nothing to say
    rig.journal.linkUp();
    rig.journal.linkDown();
    rig.rec.setStartPosition(10);
    rig.rec.setRecording(true);
    rig.rec.takeReading(Reading());
    QCOMPARE(shownBeforeJournaled, 0);

    const JournalLog log = rig.parsed();
    QVERIFY(log.header);
    QCOMPARE(log.damage.lines, 0);
    QCOMPARE(log.rows.size(), std::size_t(4));
    QCOMPARE(log.lastPosition, 10);
    for (const int p : {1, 2, 3, 10}) QCOMPARE(log.rows.at(p).row, rig.grid().storedRow(p));
    QCOMPARE(log.rows.at(1).time, kFrameTime);
    using K = JournalEvent::Kind;
    QList<std::pair<K, int>> events;
    for (const JournalEvent& e : log.events) events.append({e.kind, e.kind == K::Position ? e.value : int(e.on)});
    const QList<std::pair<K, int>> want{{K::Recording, 1}, {K::Recording, 0}, {K::Link, 1},
                                        {K::Link, 0},      {K::Position, 10}, {K::Recording, 1}};
    QCOMPARE(events, want);
    QVERIFY(log.events[2].time < log.events[3].time);
    QVERIFY(rig.journalNotices.isEmpty());
  }

  // The next start puts every row back with its texts and colours and goes on
  // after the last row written; the journal goes on in the same file.
  void singlePartLogComesBack() {
    QTemporaryDir folder;
    std::vector<LogModel::StoredRow> before;
    int start = 0;
    QString markOf3;
    {
      Rig rig(folder.path());
      rig.journal.restore();
      rig.setPrimary(QStringLiteral("1%"), QStringLiteral("100"));
      rig.record(3);  // 100 pass, 101 pass, 102 reject
      rig.rec.setStartPosition(20);
      rig.record(1, 150);  // a reject far down
      rig.setPrimary(QString(), QStringLiteral("100"));
      rig.rec.setStartPosition(3);
      rig.record(1, 90);  // no tolerance: row 3 keeps its reject mark
      markOf3 = Verdicts(rig.grid(), 3);
      QCOMPARE(markOf3.front(), QLatin1Char('r'));
      before = rig.rows(1, 20);
      start = rig.rec.startPosition();
      QCOMPARE(start, 4);
    }
    Rig again(folder.path());
    QSignalSpy chosen(&again.rec, &Recorder::startPositionChosen);
    const QString line = again.journal.restore();
    QCOMPARE(line, QStringLiteral("Восстановлено строк журнала: 4 (журнал начат 06.05.24 07:08:10)"));
    QCOMPARE(again.rows(1, 20), before);
    QCOMPARE(Verdicts(again.grid(), 3), markOf3);
    QCOMPARE(Verdicts(again.grid(), 20), QStringLiteral("rr."));
    QCOMPARE(again.grid().gridRowCount(), 21);
    QCOMPARE(again.rec.startPosition(), start);  // after the row written last, not the lowest
    QCOMPARE(again.rec.logPosition(), start);
    QCOMPARE(chosen.size(), 0);  // not a change by hand

    // The file says it was restored, with the digest of the grid.
    JournalLog log = again.parsed();
    QCOMPARE(log.events.back().kind, JournalEvent::Kind::Restored);
    QCOMPARE(log.events.back().value, 4);
    const QByteArray text = ReadAll(again.journal.currentPath());
    std::vector<LogModel::StoredRow> journaled = log.storedRows();
    QVERIFY(text.contains(QStringLiteral("\"grid\":\"%1\"").arg(Digest(journaled), 8, 16, QLatin1Char('0')).toUtf8()));

    // Recording goes on in the same file at the next position.
    again.record(1, 300);
    log = again.parsed();
    QCOMPARE(log.lastPosition, 4);
    QCOMPARE(log.rows.size(), std::size_t(5));
    QCOMPARE(log.damage.lines, 0);
    QCOMPARE(ArchiveNames(again.journal), QStringList());
  }

  // The multi-part table comes back with its measured rows in place, the
  // table ready (a new start of recording keeps them); rows beyond the
  // profiles of the file now open are counted and kept in the archive.
  void multiPartTableComesBack_data() {
    QTest::addColumn<int>("profilesNow");
    QTest::addColumn<QString>("line");
    QTest::newRow("same file") << 3 << "Восстановлено строк журнала: 2 (журнал начат 06.05.24 07:08:10)";
    QTest::newRow("file shortened")
        << 2
        << "Восстановлено строк журнала: 1 (журнал начат 06.05.24 07:08:10); не нашлось места в таблице для строк: 1";
  }

  void multiPartTableComesBack() {
    QFETCH(int, profilesNow);
    QFETCH(QString, line);
    QTemporaryDir folder;
    // The same profile file at both starts, as the data folder keeps it.
    const QString file = folder.filePath(QStringLiteral("parts.hex1"));
    std::vector<LogModel::StoredRow> before;
    {
      Rig rig(folder.path());
      rig.journal.restore();
      rig.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, file);
      rig.rec.setMode(1);
      rig.rec.setRecording(true);
      for (const int n : {2, 3, 2}) {  // profile 2 measured again
        rig.book.setCurrentNumber(n);
        rig.rec.takeReading(Reading(100 + n, QStringLiteral("%1 Ом").arg(100 + n * 10)));
      }
      before = rig.rows(1, 3);
    }
    Rig again(folder.path());
    again.openProfiles(QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}.mid(0, profilesNow),
                       file);
    QSignalSpy locked(&again.rec, &Recorder::profileEditingLocked);
    QCOMPARE(again.journal.restore(), line);
    QVERIFY(again.rec.multiPart());
    QVERIFY(again.rec.multiGridReady());
    QCOMPARE(locked.size(), 0);
    QCOMPARE(again.grid().gridRowCount(), profilesNow + 1);
    for (int p = 1; p <= profilesNow; ++p) QCOMPARE(again.grid().storedRow(p), before[p - 1]);
    QCOMPARE(again.grid().cell(2, 2), QStringLiteral("R 120 Ом"));
    QCOMPARE(again.grid().header(1), QStringLiteral("Наименование"));
    again.rec.setRecording(true);
    QCOMPARE(again.grid().cell(2, 2), QStringLiteral("R 120 Ом"));

    const JournalLog log = again.parsed();
    QVERIFY(log.multiPart);
    QCOMPARE(int(log.rows.size()), profilesNow == 3 ? 2 : 1);
    // A row with no place is kept with the original in the archive only.
    QCOMPARE(ArchiveNames(again.journal).size(), profilesNow == 3 ? 0 : 1);
    // A language switch keeps the table and its journal.
    again.rec.languageChanged();
    QCOMPARE(again.grid().cell(2, 2), QStringLiteral("R 120 Ом"));
    QVERIFY(!again.parsed().ended);
  }

  // Damage costs the damaged lines only; the original goes to the archive
  // and the journal goes on with the rows the grid holds, so the next start
  // has nothing more to report.
  void damagedJournalGivesBackWhatItCan() {
    QTemporaryDir folder;
    {
      Rig rig(folder.path());
      rig.journal.restore();
      rig.record(6);
    }
    const QString path = QDir(folder.path()).filePath(QStringLiteral("current.journal"));
    QByteArray bytes = ReadAll(path);
    const QList<QByteArray> lines = bytes.split('\n');  // header, recording, rows 1-6, recording, ""
    bytes = lines.mid(0, 4).join('\n') + "\n\x7f\x45LF garbage \x01\x02\n" + lines.mid(5, 4).join('\n') + '\n';
    bytes += lines[4].left(lines[4].size() / 2);  // row 3 torn at the end
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();

    {
      Rig again(folder.path());
      const QString line = again.journal.restore();
      QCOMPARE(line, QStringLiteral("Восстановлено строк журнала: 5 (журнал начат 06.05.24 07:08:10)"
                                    "; пропущены повреждённые записи: 2 (строки файла 5, 10)"));
      for (const int p : {1, 2, 4, 5, 6}) QCOMPARE(again.grid().cell(p, 2), QStringLiteral("R %1 Ом").arg(99 + p));
      QVERIFY(again.grid().cell(3, 2).isEmpty());
      QCOMPARE(again.rec.startPosition(), 7);
      QCOMPARE(ArchiveNames(again.journal), QStringList{QStringLiteral("2024-05-06_07-08-10.journal")});
      QCOMPARE(ReadAll(QDir(again.journal.archiveFolder()).filePath(ArchiveNames(again.journal)[0])), bytes);
      const JournalLog log = again.parsed();
      QCOMPARE(log.damage.lines, 0);
      QCOMPARE(log.rows.size(), std::size_t(5));
      QCOMPARE(log.lastPosition, 6);
    }
    Rig third(folder.path());
    QCOMPARE(third.journal.restore(),
             QStringLiteral("Восстановлено строк журнала: 5 (журнал начат 06.05.24 07:08:10)"));
  }

  void nothingButDamage() {
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral(".")));
    QFile f(QDir(folder.path()).filePath(QStringLiteral("current.journal")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a journal\nat all\n");
    f.close();
    Rig rig(folder.path());
    QCOMPARE(rig.journal.restore(),
             QStringLiteral("Журнал повреждён, строки не восстановлены: пропущено записей 2 (строки файла 1-2)"));
    QCOMPARE(rig.grid().gridRowCount(), Recorder::kLogGridRows);
    QCOMPARE(ArchiveNames(rig.journal).size(), 1);  // kept for a look, out of the way
    QVERIFY(!QFileInfo::exists(rig.journal.currentPath()));
  }

  // "Очистка", another mode, or profiles edited under a multi-part table end
  // the log: the file moves to the archive named after its start. An export
  // does not. The archive keeps the newest 100.
  void endedLogsMoveToTheArchive_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("why");
    QTest::newRow("cleared") << "clear"
                             << "cleared";
    QTest::newRow("mode switched") << "mode"
                                   << "mode";
    QTest::newRow("profiles edited") << "edit"
                                     << "table";
  }

  void endedLogsMoveToTheArchive() {
    QFETCH(QString, how);
    QFETCH(QString, why);
    QTemporaryDir folder;
    auto first = std::make_unique<Rig>(folder.path());
    Rig& rig = *first;
    rig.journal.restore();
    rig.openProfiles({QStringLiteral("A"), QStringLiteral("B")});
    if (how == u"edit") {
      rig.rec.setMode(1);
      rig.rec.setRecording(true);
      rig.rec.takeReading(Reading());
      rig.rec.setRecording(false);
    } else {
      rig.record(2);
    }
    // An export stops recording and copies the log: the log goes on.
    rig.rec.stop();
    (void)rig.rec.exportSnapshot();
    QVERIFY(QFileInfo::exists(rig.journal.currentPath()));

    QVERIFY(QDir().mkpath(rig.journal.archiveFolder()));
    for (int i = 0; i < 104; ++i) {
      QFile old(QDir(rig.journal.archiveFolder())
                    .filePath(QStringLiteral("2023-01-01_00-00-%1.journal").arg(i, 3, 10, QLatin1Char('0'))));
      QVERIFY(old.open(QIODevice::WriteOnly));
    }
    const QByteArray kept = ReadAll(rig.journal.currentPath());
    if (how == u"clear")
      rig.rec.clear();
    else if (how == u"mode")
      rig.rec.setMode(1);
    else
      QVERIFY(rig.book.insert());

    QVERIFY(!QFileInfo::exists(rig.journal.currentPath()));
    const QStringList names = ArchiveNames(rig.journal);
    QCOMPARE(names.size(), Journal::kArchiveKeep);
    QCOMPARE(names.first(), QStringLiteral("2023-01-01_00-00-005.journal"));  // the oldest five went
    QCOMPARE(names.last(), QStringLiteral("2024-05-06_07-08-10.journal"));
    const QByteArray archived = ReadAll(QDir(rig.journal.archiveFolder()).filePath(names.last()));
    QVERIFY(archived.startsWith(kept));
    const JournalLog log = ParseJournal(archived);
    QVERIFY(log.ended);
    QCOMPARE(QString::fromLatin1(archived.mid(archived.lastIndexOf("\"why\":\"") + 7).left(why.size())), why);

    // Nothing comes back after an ended log; the next row begins a new one.
    first.reset();
    Rig again(folder.path());
    QCOMPARE(again.journal.restore(), QString());
    QCOMPARE(again.grid().gridRowCount(), Recorder::kLogGridRows);
    again.record(1);
    QVERIFY(again.parsed().header);
    QCOMPARE(again.parsed().rows.size(), std::size_t(1));
  }

  // A profile stored under the measurement table shows in its row again:
  // the journal keeps the row as the grid shows it.
  void profileStoredUnderTheTable() {
    QTemporaryDir folder;
    std::vector<LogModel::StoredRow> before;
    {
      Rig rig(folder.path());
      rig.journal.restore();
      rig.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
      rig.rec.setMode(1);
      rig.rec.setRecording(true);
      for (const int n : {2, 3}) {
        rig.book.setCurrentNumber(n);
        rig.rec.takeReading(Reading());
      }
      rig.rec.setRecording(false);
      rig.book.setCurrentNumber(2);
      QVERIFY(rig.book.store());
      QVERIFY(rig.grid().cell(2, 2) != QStringLiteral("R 100.00 Ом"));
      before = rig.rows(1, 3);
    }
    Rig again(folder.path());
    again.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    again.journal.restore();
    QCOMPARE(again.rows(1, 3), before);
  }

  // A log without a row leaves nothing behind when it ends.
  void emptyLogLeavesNoFile() {
    QTemporaryDir folder;
    Rig rig(folder.path());
    rig.journal.restore();
    rig.rec.setRecording(true);
    QVERIFY(QFileInfo::exists(rig.journal.currentPath()));
    rig.rec.clear();
    QVERIFY(!QFileInfo::exists(rig.journal.currentPath()));
    QCOMPARE(ArchiveNames(rig.journal), QStringList());
  }

  // Two copies of the program on one data folder: the second keeps no
  // journal and says so, and never touches the first one's file.
  void oneCopyKeepsTheJournal() {
    QTemporaryDir folder;
    Rig first(folder.path());
    first.journal.restore();
    first.record(2);
    Rig second(folder.path());
    QCOMPARE(second.journal.restore(), QString());
    QVERIFY(!second.journal.active());
    QCOMPARE(second.journalNotices.size(), 1);
    QVERIFY(second.journalNotices[0].text.contains(QStringLiteral("другая копия")));
    QCOMPARE(second.grid().cell(1, 2), QString());  // nothing restored from a live journal
    second.record(1, 500);
    QCOMPARE(first.parsed().rows.size(), std::size_t(2));
  }

  // Rows the operator chose to write over stay in the archive: a copy of the
  // log as it stood. The journal goes on in its file and names the copy, and
  // a restore gives the newest row at each position.
  void rowsWrittenOverStayInTheArchive() {
    QTemporaryDir folder;
    std::vector<LogModel::StoredRow> after;
    {
      Rig rig(folder.path());
      rig.rec.setAskBeforeWritingOver(true);
      rig.journal.restore();
      rig.record(3);
      const std::vector<LogModel::StoredRow> before = rig.rows(1, 3);
      rig.rec.setStartPosition(1);
      rig.rec.setRecording(true);
      rig.rec.takeReading(Reading(200, QStringLiteral("200 Ом")));
      rig.rec.answerWriteOver(WriteOverAnswer::WriteOver);
      rig.rec.takeReading(Reading(201, QStringLiteral("201 Ом")));
      rig.journal.sync();
      after = rig.rows(1, 3);
      QCOMPARE(after[0].texts[2], QStringLiteral("R 200 Ом"));

      const QStringList kept = ArchiveNames(rig.journal);
      QCOMPARE(kept.size(), 1);
      const JournalLog old = ParseJournal(ReadAll(QDir(rig.journal.archiveFolder()).filePath(kept[0])));
      QCOMPARE(old.damage.lines, 0);
      QCOMPARE(old.storedRows(), before);
      const QByteArray text = ReadAll(rig.journal.currentPath());
      QByteArray record;
      for (const QByteArray& l : text.split('\n'))
        if (l.contains("\"rec\":\"overwrite\"")) record = l;
      QVERIFY(record.contains("\"pos\":1"));
      QVERIFY(record.contains(QStringLiteral("\"kept\":\"%1\"").arg(kept[0]).toUtf8()));
      const JournalLog now = rig.parsed();
      QCOMPARE(now.rowRecords, 5);  // the rows written over are in the file too
      QCOMPARE(now.storedRows(), after);
    }
    Rig again(folder.path());
    again.journal.restore();
    QCOMPARE(again.rows(1, 3), after);
    QCOMPARE(again.rec.startPosition(), 3);
    QCOMPARE(ArchiveNames(again.journal).size(), 1);
  }

  // The profile the rows were sorted against comes back with them (number
  // and file: the one selected last), when its file is the one open again;
  // otherwise the line says it was not selected.
  void profileInUseComesBack_data() {
    QTest::addColumn<bool>("sameFile");
    QTest::newRow("same file") << true;
    QTest::newRow("another file") << false;
  }
  void profileInUseComesBack() {
    QFETCH(bool, sameFile);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("parts.hex1"));
    {
      Rig rig(folder.path());
      rig.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, file);
      rig.journal.restore();
      rig.book.chooseName(2);
      QCOMPARE(rig.book.loadedNumber(), 3);
      rig.record(2);
      rig.book.chooseName(1);                // the one selected last counts
      QCOMPARE(rig.rec.startPosition(), 1);  // the profile's own start position
      const JournalLog log = rig.parsed();
      QCOMPARE(log.profileNumber, 2);
      QCOMPARE(log.profileFile, file);
    }
    Rig again(folder.path());
    // As 1.dat makes a file current at start: profile 1 is read.
    again.openProfiles({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
                       sameFile ? file : folder.filePath(QStringLiteral("other.hex1")));
    QCOMPARE(again.book.loadedNumber(), 1);
    const QString line = again.journal.restore();
    QVERIFY2(line.startsWith(QStringLiteral("Восстановлено строк журнала: 2")), qPrintable(line));
    QCOMPARE(again.rec.startPosition(), 3);  // after the rows, not the profile's
    if (sameFile) {
      QCOMPARE(line.indexOf(QStringLiteral("профиль")), -1);
      QCOMPARE(again.book.loadedNumber(), 2);
      QCOMPARE(again.book.currentNumber(), 2);
      QCOMPARE(again.book.reference().primary.nominalText, QStringLiteral("200"));
    } else {
      QVERIFY2(line.endsWith(QStringLiteral("; профиль 2 файла %1 не выбран снова: этот файл сейчас не открыт "
                                            "или в нём нет такого профиля")
                                 .arg(QDir::toNativeSeparators(file))),
               qPrintable(line));
      QCOMPARE(again.book.loadedNumber(), 1);
      // The profile in use now is journaled, for the next start.
      QCOMPARE(again.parsed().profileFile, again.book.currentProfilePath());
      QCOMPARE(again.parsed().profileNumber, 1);
    }
  }

  // A full disk: told once, the rows stay in the grid.
  void fullDiskIsToldOnce() {
    if (!QFileInfo::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full here");
    QTemporaryDir folder;
    Rig rig(folder.path());
    rig.journal.restore();
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), rig.journal.currentPath()));
    rig.record(3);
    QCOMPARE(rig.journalNotices.size(), 1);
    QVERIFY2(rig.journalNotices[0].text.contains(QStringLiteral("не записывается")),
             qPrintable(rig.journalNotices[0].text));
    QCOMPARE(rig.grid().cell(3, 2), QStringLiteral("102 Ом").prepend(QStringLiteral("R ")));
  }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "test_journal.moc"
