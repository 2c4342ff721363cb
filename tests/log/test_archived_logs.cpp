// The archived logs: listed newest first (a second log of the same second
// before the first, names not of ours last), each read back as its grid
// showed it, and files that are no journal refused.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "archived_logs.h"
#include "journal_format.h"

using namespace zt;

namespace {

LogModel::StoredRow Row(int position, const QString& value, LogModel::RowMark mark = LogModel::RowMark::None,
                        std::int32_t verdict = 0) {
  LogModel::StoredRow r;
  r.gridRow = position;
  r.texts[0] = QString::number(position);
  r.texts[1] = QStringLiteral("10:00:0%1").arg(position % 10);
  r.texts[2] = value;
  r.mark = mark;
  r.verdict = verdict;
  return r;
}

bool Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

const QDateTime kStart(QDate(2026, 3, 4), QTime(10, 0, 0));

}  // namespace

class TestArchivedLogs : public QObject {
  Q_OBJECT

 private slots:
  void newestFirst() {
    QTemporaryDir dir;
    const QStringList names = {"2026-03-04_10-00-00.journal",
                               "2026-03-04_10-00-00_2.journal",
                               "2026-03-04_10-00-00_10.journal",
                               "2025-12-31_23-59-59.journal",
                               "2026-03-05_08-30-00.journal",
                               "copied by hand.journal",
                               "notes.txt"};
    for (const QString& n : names) QVERIFY(Write(dir.filePath(n), QByteArray()));
    QStringList order;
    for (const ArchivedLogEntry& e : ListArchivedLogs(dir.path())) order << QFileInfo(e.path).fileName();
    QCOMPARE(order, (QStringList{"2026-03-05_08-30-00.journal", "2026-03-04_10-00-00_10.journal",
                                 "2026-03-04_10-00-00_2.journal", "2026-03-04_10-00-00.journal",
                                 "2025-12-31_23-59-59.journal", "copied by hand.journal"}));
    const auto entries = ListArchivedLogs(dir.path());
    QCOMPARE(entries.front().started, QDateTime(QDate(2026, 3, 5), QTime(8, 30)));
    QVERIFY(!entries.back().started.isValid());
    QVERIFY(ListArchivedLogs(dir.filePath(QStringLiteral("none"))).empty());
  }

  // A log read back: its rows at their positions with their colours, the
  // last row at a position the one that counts, a torn line skipped and
  // counted; the headings of its mode in the language asked for.
  void readBack_data() {
    QTest::addColumn<bool>("multiPart");
    QTest::newRow("single part") << false;
    QTest::newRow("multi part") << true;
  }
  void readBack() {
    QFETCH(bool, multiPart);
    QTemporaryDir dir;
    QByteArray bytes = JournalHeaderLine(kStart, multiPart);
    bytes += JournalRowLine(Row(1, QStringLiteral("R 99 Ом")), kStart, multiPart ? 1 : 0);
    bytes +=
        JournalRowLine(Row(3, QStringLiteral("R 150 Ом"), LogModel::RowMark::Reject, 1), kStart, multiPart ? 3 : 0);
    bytes += JournalRowLine(Row(1, QStringLiteral("R 100 Ом"), LogModel::RowMark::Pass), kStart, multiPart ? 1 : 0);
    bytes += "0badf00d {\"rec\":\"row\"}\n";
    const QString path = dir.filePath(QStringLiteral("2026-03-04_10-00-00.journal"));
    QVERIFY(Write(path, bytes));

    const Lexicons& lex = Lexicons::russian();
    const ArchivedLog log = ReadArchivedLog(path, lex);
    QVERIFY(log.ok());
    QCOMPARE(log.multiPart, multiPart);
    QCOMPARE(log.started, kStart);
    QCOMPARE(log.skippedLines, qsizetype(1));
    QCOMPARE(int(log.rows.size()), 2);
    QCOMPARE(log.lastGridRow, 3);
    QCOMPARE(log.headings[1], multiPart ? lex.D2[11] : lex.D2[2]);
    QVERIFY2(log.summary(lex).contains(QStringLiteral("строк: 2")), qPrintable(log.summary(lex)));
    QVERIFY(log.summary(lex).contains(QStringLiteral("пропущено")));

    LogModel model;
    log.fill(model);
    QCOMPARE(model.gridRowCount(), 4);
    QCOMPARE(model.cell(1, 2), QStringLiteral("R 100 Ом"));
    QCOMPARE(model.cell(2, 2), QString());
    QCOMPARE(model.cell(3, 2), QStringLiteral("R 150 Ом"));
    QCOMPARE(model.rowMark(3), LogModel::RowMark::Reject);
    QCOMPARE(model.rowMark(1), LogModel::RowMark::Pass);
    QCOMPARE(model.header(0), lex.D2[1]);

    const ExportSnapshot snap = log.snapshot();
    QCOMPARE(snap.rowCount(), 4);
    QCOMPARE(snap.text(0, 2), lex.D2[3]);
    QCOMPARE(snap.text(3, 2), QStringLiteral("R 150 Ом"));
    QCOMPARE(snap.text(2, 0), QString());
  }

  // What is not a journal of ours is refused, whatever the bytes.
  void notAJournal_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("root:x:0:0:root:/root:/bin/bash\n");
    QTest::newRow("checksum mismatch") << QByteArray("00000000 {\"rec\":\"head\",\"v\":1}\n");
    QTest::newRow("binary") << QByteArray("\x00\xff\x01\n\x80", 5);
  }
  void notAJournal() {
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.journal"));
    QVERIFY(Write(path, bytes));
    const ArchivedLog log = ReadArchivedLog(path, Lexicons::russian());
    QCOMPARE(log.status, ArchivedLog::Status::NotAJournal);
    LogModel model;
    log.fill(model);
    QCOMPARE(model.gridRowCount(), 1);
  }

  void unreadable() {
    const ArchivedLog log = ReadArchivedLog(QStringLiteral("/nonexistent/x.journal"), Lexicons::russian());
    QCOMPARE(log.status, ArchivedLog::Status::Unreadable);
    QVERIFY(!log.error.isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestArchivedLogs)
#include "test_archived_logs.moc"
