#pragma once
// The journal's text format: one record per line, a CRC-32 and a JSON object,
//
//   1c291ca3 {"rec":"row","pos":12,"time":"2024-02-01T10:11:12.345+03:00",...}
//
// The checksum (eight lower-case hex digits) covers the JSON text after the
// blank. A line is taken only whole and with a matching checksum, so a last
// line torn by a crash, or garbage anywhere, costs that line and nothing
// else. docs/journal.md describes the records.
//
// Encoding builds one line; parsing is a pure function over bytes that never
// reads outside them, keeps at most one row per position and reports the
// lines it skipped.
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <map>
#include <vector>

#include "grid_row.h"
#include "log_model.h"
#include "recorder.h"

namespace zt {

inline constexpr int kJournalVersion = 1;
// A longer line is not a record of ours (a row of ten cells stays far below).
inline constexpr qsizetype kJournalMaxLine = 64 * 1024;
// The longest cell text taken from a journal (the grid's cells are short).
inline constexpr qsizetype kJournalMaxCell = 4096;
// The highest position a journal row may have.
inline constexpr int kJournalMaxPosition = Recorder::kMaxPosition;

// CRC-32 (the common reflected polynomial 0xEDB88320), resumable.
std::uint32_t Crc32(QByteArrayView bytes, std::uint32_t crc = 0);

// ---- encoding: each returns one whole line, newline included.

// The first record of a journal: format version, when the log began, its mode.
QByteArray JournalHeaderLine(const QDateTime& started, bool multiPart);
// A row as the grid shows it once written, with how its sorting cells are painted.
QByteArray JournalRowLine(const LogRow& row);
QByteArray JournalRowLine(const LogModel::StoredRow& row, const QDateTime& time, int profileNumber);
QByteArray JournalRecordingLine(const QDateTime& time, bool on);      // recording started / stopped
QByteArray JournalLinkLine(const QDateTime& time, bool up);           // the link came up / went down
QByteArray JournalPositionLine(const QDateTime& time, int position);  // start position set by hand
QByteArray JournalEndLine(const QDateTime& time, LogEnd why);         // the log ended
// The profile rows are sorted against: its number in the profile file at `file`.
QByteArray JournalProfileLine(const QDateTime& time, int number, const QString& file);
// The operator chose to write over logged rows from `position` on; the log
// as it stood before is kept in the archive as `kept` (a file name).
QByteArray JournalWriteOverLine(const QDateTime& time, int position, const QString& kept);
// The rows of the last run were put back: how many, when that log began,
// what was skipped, and the digest of the grid as restored.
QByteArray JournalRestoredLine(const QDateTime& time, int rows, const QDateTime& from, int skipped,
                               std::uint32_t gridDigest);

// A checksum over rows as a grid shows them (position, the ten texts, how it
// is painted), added in position order: what was journaled and what a grid
// holds after a restore compare by it.
class RowsDigest {
 public:
  void add(const LogModel::StoredRow& row);
  std::uint32_t value() const { return crc_; }

 private:
  std::uint32_t crc_ = 0;
};

// ---- parsing

struct JournalRow {
  LogModel::StoredRow row;  // gridRow is the position
  QDateTime time;
  int profileNumber = 0;  // multi-part rows: the profile (the position)
  qsizetype line = 0;     // 1-based line number in the file
};

struct JournalEvent {
  enum class Kind { Recording, Link, Position, End, Restored };
  Kind kind = Kind::Recording;
  QDateTime time;
  bool on = false;           // Recording: started; Link: up
  int value = 0;             // Position: the position; Restored: rows
  int skipped = 0;           // Restored: records skipped
  std::uint32_t digest = 0;  // Restored: the grid's digest
  LogEnd why = LogEnd::Cleared;
  qsizetype line = 0;
};

// Lines that were skipped, as ranges of line numbers (the first few kept).
struct JournalDamage {
  static constexpr int kKeptRanges = 8;
  qsizetype lines = 0;  // lines skipped in all
  std::vector<std::pair<qsizetype, qsizetype>> ranges;
  bool tornTail = false;  // the last line ends without its newline and is not whole
  void add(qsizetype line);
  // "3, 7-9, 12" (ranges beyond the kept ones as "...").
  QString text() const;
};

// What a journal holds: the log as it stood when the file ended.
struct JournalLog {
  bool header = false;  // a header record was read
  int version = 0;
  QDateTime started;  // when the log began (header; else the first record's time)
  bool multiPart = false;
  std::map<int, JournalRow> rows;  // the last row written at each position
  int lastPosition = 0;            // where the last row was written (0: none)
  qsizetype rowRecords = 0;        // row records read (a position written again counts again)
  static constexpr int kKeptEvents = 100000;
  std::vector<JournalEvent> events;  // in file order (the first kKeptEvents)
  bool ended = false;                // an end record closes the log
  LogEnd endedWhy = LogEnd::Cleared;
  // The profile selected last (0: none journaled) and its file.
  int profileNumber = 0;
  QString profileFile;
  qsizetype lines = 0;  // lines in the file (not counting empty ones)
  JournalDamage damage;

  std::vector<LogModel::StoredRow> storedRows() const;
};

JournalLog ParseJournal(QByteArrayView bytes);

}  // namespace zt
