// The journal's lines: what is written reads back the same, a journal cut at
// any byte or with garbage anywhere gives back every whole line and says
// which lines it skipped, and the log a journal describes is the last row at
// each position.
#include <QTest>

#include "journal_format.h"

using namespace zt;

namespace {

const QDateTime kStart(QDate(2024, 2, 1), QTime(10, 11, 12, 345));

LogModel::StoredRow Row(int position, const QString& primary = QStringLiteral("R 100.00 Ом"),
                        LogModel::RowMark mark = LogModel::RowMark::Pass, int verdict = 0) {
  LogModel::StoredRow r;
  r.gridRow = position;
  r.texts = {QString::number(position),
             QStringLiteral("01.02.24 10:11:12"),
             primary,
             QStringLiteral("Q 0.0100"),
             QStringLiteral("S"),
             QStringLiteral("1кГц"),
             QStringLiteral("1.0Вскз"),
             mark == LogModel::RowMark::Reject ? QStringLiteral("+") : QStringLiteral("-"),
             QStringLiteral("0.50"),
             QString()};
  r.mark = mark;
  r.verdict = verdict;
  return r;
}

QDateTime At(int seconds) { return kStart.addSecs(seconds); }

// A single-part journal: header, then rows 1..n, one a second.
QByteArray Journal(int rows) {
  QByteArray j = JournalHeaderLine(kStart, false);
  for (int p = 1; p <= rows; ++p) j += JournalRowLine(Row(p, QStringLiteral("R %1 Ом").arg(p)), At(p), 0);
  return j;
}

QList<int> Positions(const JournalLog& log) {
  QList<int> p;
  for (const auto& [pos, r] : log.rows) p << pos;
  return p;
}

}  // namespace

class TestJournalFormat : public QObject {
  Q_OBJECT
 private slots:
  void crc32KnownValue() {
    QCOMPARE(Crc32("123456789"), 0xCBF43926u);
    QCOMPARE(Crc32("56789", Crc32("1234")), 0xCBF43926u);  // resumable
  }

  // Every text a cell may hold, and every record, reads back as written.
  void recordsReadBack() {
    LogModel::StoredRow odd = Row(7, QStringLiteral("R \"1\" \\ 2\n3\t4 \x01 Ω мк"), LogModel::RowMark::Reject, 3);
    odd.texts[9] = QString();
    QByteArray j = JournalHeaderLine(kStart, false);
    j += JournalRecordingLine(At(1), true);
    j += JournalRowLine(odd, At(2), 0);
    j += JournalLinkLine(At(3), false);
    j += JournalLinkLine(At(4), true);
    j += JournalPositionLine(At(5), 40);
    j += JournalRestoredLine(At(6), 12, kStart, 2, 0x1c291ca3u);
    j += JournalRecordingLine(At(7), false);
    const JournalLog log = ParseJournal(j);
    QVERIFY(log.header);
    QCOMPARE(log.version, kJournalVersion);
    QCOMPARE(log.started, kStart);
    QVERIFY(!log.multiPart);
    QCOMPARE(log.damage.lines, 0);
    QCOMPARE(log.lines, 8);
    QCOMPARE(Positions(log), QList<int>{7});
    QCOMPARE(log.rows.at(7).row, odd);
    QCOMPARE(log.rows.at(7).time, At(2));
    QCOMPARE(log.rows.at(7).line, 3);
    QCOMPARE(log.lastPosition, 7);
    using K = JournalEvent::Kind;
    QCOMPARE(log.events.size(), std::size_t(6));
    QCOMPARE(log.events[0].kind, K::Recording);
    QVERIFY(log.events[0].on);
    QCOMPARE(log.events[1].kind, K::Link);
    QVERIFY(!log.events[1].on);
    QCOMPARE(log.events[1].time, At(3));
    QVERIFY(log.events[2].on);
    QCOMPARE(log.events[3].kind, K::Position);
    QCOMPARE(log.events[3].value, 40);
    QCOMPARE(log.events[4].kind, K::Restored);
    QCOMPARE(log.events[4].value, 12);
    QCOMPARE(log.events[4].skipped, 2);
    QCOMPARE(log.events[4].digest, 0x1c291ca3u);
    QVERIFY(!log.events[5].on);
    QVERIFY(!log.ended);
    // One record a line, readable as it stands.
    QVERIFY(j.contains("\"rec\":\"link\""));
    QVERIFY(JournalRowLine(odd, At(2), 0).count('\n') == 1);
  }

  // Journals written before the records went through QJsonDocument (keys in
  // that writer's own order, "rec" first, its escapes) read as they did.
  void earlierJournalsStillRead() {
    const char* const records[] = {
        "{\"rec\":\"journal\",\"version\":1,\"started\":\"2024-02-01T10:11:12.345+03:00\",\"mode\":\"single\"}",
        "{\"rec\":\"recording\",\"time\":\"2024-02-01T10:11:12.901+03:00\",\"on\":true}",
        "{\"rec\":\"row\",\"pos\":1,\"time\":\"2024-02-01T10:11:13.402+03:00\",\"cells\":[\"1\",\"01.02.24 10:11:13\","
        "\"R 1.0002 кОм\",\"Q \\\"0.0100\\\" \\\\ "
        "\\u0001\\t\",\"S\",\"1кГц\",\"1.0Вскз\",\"+\",\"0.02\",\"\"],\"mark\":\"reject\",\"sort\":3}",
        "{\"rec\":\"position\",\"time\":\"2024-02-01T10:11:14.000+03:00\",\"pos\":7}",
    };
    QByteArray j;
    for (const char* r : records) {
      const QByteArray json(r);
      j += QByteArray::number(Crc32(json), 16).rightJustified(8, '0') + ' ' + json + '\n';
    }
    const JournalLog log = ParseJournal(j);
    QCOMPARE(log.damage.lines, 0);
    QVERIFY(log.header);
    QCOMPARE(log.started, QDateTime::fromString(QStringLiteral("2024-02-01T10:11:12.345+03:00"), Qt::ISODateWithMs));
    QCOMPARE(Positions(log), QList<int>{1});
    const LogModel::StoredRow& row = log.rows.at(1).row;
    QCOMPARE(row.texts[2], QStringLiteral("R 1.0002 кОм"));
    QCOMPARE(row.texts[3], QStringLiteral("Q \"0.0100\" \\ \x01\t"));
    QCOMPARE(row.mark, LogModel::RowMark::Reject);
    QCOMPARE(row.verdict, 3);
    QCOMPARE(log.events.size(), std::size_t(2));
    QCOMPARE(log.events[1].value, 7);
    // What is written now reads back the same; its keys come in QJsonDocument's order.
    QCOMPARE(ParseJournal(JournalRowLine(row, log.rows.at(1).time, 0)).rows.at(1).row, row);
    QCOMPARE(JournalRecordingLine(log.events[0].time, true),
             QByteArray("a9d1f07f {\"on\":true,\"rec\":\"recording\",\"time\":\"2024-02-01T10:11:12.901+03:00\"}\n"));
  }

  // Times carry the offset in force at that moment, across a change of
  // summer time, and read back as the same moments.
  void timesKeepTheirOffset() {
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    const QDateTime winter(QDate(2024, 3, 31), QTime(1, 59, 59, 500));
    const QDateTime summer(QDate(2024, 3, 31), QTime(3, 0, 0, 250));
    QByteArray j = JournalHeaderLine(winter, false);
    j += JournalRowLine(Row(1), winter, 0);
    j += JournalRowLine(Row(2), summer, 0);
    j += JournalRowLine(Row(3), winter.addDays(1), 0);
    const JournalLog log = ParseJournal(j);
    const qint64 winterMs = winter.toMSecsSinceEpoch();
    if (zone.isNull())
      qunsetenv("TZ");
    else
      qputenv("TZ", zone);
    QVERIFY(j.contains("\"2024-03-31T01:59:59.500+01:00\""));
    QVERIFY(j.contains("\"2024-03-31T03:00:00.250+02:00\""));
    QVERIFY(j.contains("\"2024-04-01T01:59:59.500+02:00\""));
    QCOMPARE(log.rows.at(1).time.toMSecsSinceEpoch(), winterMs);
    QCOMPARE(log.rows.at(2).time.toMSecsSinceEpoch() - log.rows.at(1).time.toMSecsSinceEpoch(), 750);
    QCOMPARE(log.started, log.rows.at(1).time);
  }

  // Cut at any byte: every line whole up to the cut comes back (the last one
  // even without its line break); a part line is skipped and said so.
  void cutAtAnyByte() {
    const QByteArray j = Journal(4) + JournalRecordingLine(At(9), false);
    QList<qsizetype> ends;  // where each line's text ends (its line break)
    for (qsizetype i = 0; i < j.size(); ++i)
      if (j[i] == '\n') ends << i;
    for (qsizetype cut = 0; cut <= j.size(); ++cut) {
      const JournalLog log = ParseJournal(QByteArrayView(j).first(cut));
      int whole = 0;
      bool inside = false;
      for (int k = 0; k < ends.size(); ++k) {
        const qsizetype begin = k == 0 ? 0 : ends[k - 1] + 1;
        if (cut >= ends[k])
          ++whole;
        else if (cut > begin)
          inside = true;
      }
      const int rows = std::clamp(whole - 1, 0, 4);  // line 1 is the header
      QCOMPARE(int(log.rows.size()), rows);
      QCOMPARE(log.lastPosition, rows);
      QCOMPARE(log.damage.lines, inside ? 1 : 0);
      QCOMPARE(log.damage.tornTail, inside);
      for (const auto& [pos, r] : log.rows) QCOMPARE(r.row.texts[2], QStringLiteral("R %1 Ом").arg(pos));
    }
  }

  // Garbage or damage in the middle costs the lines it touches, nothing else.
  void damagedLines_data() {
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<QList<int>>("rows");  // positions back
    QTest::addColumn<QString>("skipped");  // line numbers reported
    QTest::addColumn<bool>("multiPart");
    const QByteArray j = Journal(5);
    const QList<qsizetype> lineStart = [&] {
      QList<qsizetype> s{0};
      for (qsizetype i = 0; i < j.size(); ++i)
        if (j[i] == '\n') s << i + 1;
      return s;
    }();
    const QList<int> all{1, 2, 3, 4, 5};
    QByteArray garbage;
    for (int i = 0; i < 300; ++i) garbage += char((i * 73 + 11) % 256 == '\n' ? 'x' : (i * 73 + 11) % 256);

    QTest::newRow("garbage line between rows 2 and 3")
        << QByteArray(j).insert(lineStart[3], garbage + '\n') << all << "4" << false;
    QTest::newRow("garbage inside row 3's line")
        << QByteArray(j).insert(lineStart[3] + 20, garbage) << QList<int>{1, 2, 4, 5} << "4" << false;
    QByteArray flipped = j;
    flipped[lineStart[2] + 30] = char(flipped[lineStart[2] + 30] ^ 0x04);
    QTest::newRow("one bit flipped in row 2") << flipped << QList<int>{1, 3, 4, 5} << "3" << false;
    QTest::newRow("zero bytes over rows 1 and 2 (a lost page)")
        << QByteArray(j).replace(lineStart[1], lineStart[3] - 1 - lineStart[1],
                                 QByteArray(lineStart[3] - 1 - lineStart[1], '\0'))
        << QList<int>{3, 4, 5} << "2" << false;
    QTest::newRow("a line longer than any record")
        << QByteArray(j).insert(lineStart[2], QByteArray(kJournalMaxLine + 5, 'a') + '\n') << all << "3" << false;
    // Whole lines with a good checksum that are still not rows of this journal.
    LogModel::StoredRow nine = Row(9);
    QByteArray shortRow = JournalRowLine(nine, At(9), 0);
    {
      // Nine cells: sealed again so only the shape is wrong.
      QByteArray json = shortRow.mid(9, shortRow.size() - 10);
      json.replace(",\"0.50\",\"\"]", ",\"0.50\"]");
      char crc[9];
      std::snprintf(crc, sizeof crc, "%08x", Crc32(json));
      shortRow = QByteArray(crc, 8) + ' ' + json + '\n';
    }
    QTest::newRow("nine cells") << j + shortRow << all << "7" << false;
    QTest::newRow("a multi-part row in a single-part journal")
        << j + JournalRowLine(Row(2), At(9), 2) << all << "7" << false;
    QTest::newRow("position zero") << j + JournalRowLine(Row(0), At(9), 0) << all << "7" << false;
    QByteArray header = j;
    header[3] = header[3] == '0' ? '1' : '0';
    QTest::newRow("header damaged: the mode from the rows") << header << all << "1" << false;
    QTest::newRow("Windows line breaks") << QByteArray(j).replace("\n", "\r\n") << all << "" << false;
    QTest::newRow("empty lines") << QByteArray(j).replace("\n", "\n\n") << all << "" << false;
    QByteArray multi = JournalHeaderLine(kStart, true);
    multi += JournalRowLine(Row(2), At(1), 2);
    multi += JournalRowLine(Row(3), At(2), 0);  // single-part row: not of this log
    multi += JournalRowLine(Row(4), At(3), 3);  // profile 3 at position 4: not in its place
    QTest::newRow("multi-part journal") << multi << QList<int>{2} << "3-4" << true;
    QTest::newRow("nothing but garbage") << garbage << QList<int>{} << "1" << false;
  }

  void damagedLines() {
    QFETCH(QByteArray, journal);
    QFETCH(QList<int>, rows);
    QFETCH(QString, skipped);
    QFETCH(bool, multiPart);
    const JournalLog log = ParseJournal(journal);
    QCOMPARE(Positions(log), rows);
    QCOMPARE(log.damage.text(), skipped);
    QCOMPARE(log.multiPart, multiPart);
    for (const auto& [pos, r] : log.rows)
      if (!multiPart) QCOMPARE(r.row.texts[2], QStringLiteral("R %1 Ом").arg(pos));
  }

  // A multi-part row written again replaces the earlier one; the log goes on
  // after the row written last, whatever its position.
  void lastRowAtEachPositionWins() {
    QByteArray j = JournalHeaderLine(kStart, true);
    j += JournalRowLine(Row(2, QStringLiteral("first")), At(1), 2);
    j += JournalRowLine(Row(3), At(2), 3);
    j += JournalRowLine(Row(2, QStringLiteral("again"), LogModel::RowMark::Reject, 1), At(3), 2);
    j += JournalRowLine(Row(1), At(4), 1);
    const JournalLog log = ParseJournal(j);
    QVERIFY(log.multiPart);
    QCOMPARE(Positions(log), (QList<int>{1, 2, 3}));
    QCOMPARE(log.rows.at(2).row.texts[2], QStringLiteral("again"));
    QCOMPARE(log.rows.at(2).row.mark, LogModel::RowMark::Reject);
    QCOMPARE(log.rows.at(2).profileNumber, 2);
    QCOMPARE(log.lastPosition, 1);
    QCOMPARE(log.rowRecords, 4);
  }

  // An end record closes the log; rows after it begin another one.
  void endClosesTheLog() {
    QByteArray j = Journal(3) + JournalEndLine(At(10), LogEnd::Cleared);
    JournalLog log = ParseJournal(j);
    QVERIFY(log.ended);
    QCOMPARE(log.endedWhy, LogEnd::Cleared);
    j += JournalRowLine(Row(1, QStringLiteral("new")), At(11), 0);
    log = ParseJournal(j);
    QVERIFY(!log.ended);
    QCOMPARE(Positions(log), QList<int>{1});
    QCOMPARE(log.rows.at(1).row.texts[2], QStringLiteral("new"));
    QCOMPARE(ParseJournal(JournalEndLine(At(1), LogEnd::ModeChanged)).endedWhy, LogEnd::ModeChanged);
    QCOMPARE(ParseJournal(JournalEndLine(At(1), LogEnd::TableRebuilt)).endedWhy, LogEnd::TableRebuilt);
  }

  // The digest tells apart grids that differ in any text or colour.
  void digestFollowsEveryCell() {
    const auto digest = [](const std::vector<LogModel::StoredRow>& rows) {
      RowsDigest d;
      for (const auto& r : rows) d.add(r);
      return d.value();
    };
    const std::vector<LogModel::StoredRow> rows{Row(1), Row(2)};
    QCOMPARE(digest(rows), digest({Row(1), Row(2)}));
    auto text = rows;
    text[1].texts[9] = QStringLiteral("x");
    auto colour = rows;
    colour[0].mark = LogModel::RowMark::Reject;
    auto moved = rows;
    moved[1].gridRow = 3;
    for (const auto& other : {text, colour, moved}) QVERIFY(digest(other) != digest(rows));
    QVERIFY(digest({Row(1)}) != digest(rows));
  }

  void damageListsRanges() {
    JournalDamage d;
    for (qsizetype line : {2, 4, 5, 6, 9}) d.add(line);
    QCOMPARE(d.text(), QStringLiteral("2, 4-6, 9"));
    for (qsizetype line = 20; line < 60; line += 2) d.add(line);
    QCOMPARE(d.lines, 25);
    QVERIFY(d.text().endsWith(QStringLiteral(", ...")));
  }
};

QTEST_GUILESS_MAIN(TestJournalFormat)
#include "test_journal_format.moc"
