#pragma once
// The logs set aside in journal/archive/ ("Очистка", another mode, a new
// multi-part table, a crash's leftovers), for the operator to look back at:
// listed newest first, each opened read-only as its grid showed it, and
// exported like the live log.
#include <QDateTime>
#include <QString>
#include <vector>

#include "export_snapshot.h"
#include "grid_row.h"
#include "lexicons.h"
#include "log_model.h"

namespace zt {

struct ArchivedLogEntry {
  QString path;
  QDateTime started;  // from the file's name (local time); invalid for a name not of ours
};

// The archive's logs, newest first: by the start time in their names, a
// second log of the same second ("..._2") before the first; files with
// other names last, by name.
std::vector<ArchivedLogEntry> ListArchivedLogs(const QString& archiveFolder);

// One archived log, read.
struct ArchivedLog {
  enum class Status { Read, Unreadable, NotAJournal };
  Status status = Status::Unreadable;
  QString error;  // Unreadable: the system's reason
  QDateTime started;
  bool multiPart = false;
  qsizetype skippedLines = 0;  // lines of the file that could not be taken
  GridRowTexts headings;
  std::vector<LogModel::StoredRow> rows;  // in position order
  int lastGridRow = 0;                    // the highest position among them

  bool ok() const { return status == Status::Read; }
  // The grid as it stood: the headings, an empty row where nothing was
  // logged, each row at its position with its colours.
  void fill(LogModel& model) const;
  // What an export of it writes: the headings and every row up to the last.
  ExportSnapshot snapshot() const;
  // One line for the operator: which log, how many rows, what was skipped.
  QString summary(const Lexicons& lex) const;
};

// Reads the file at `path` (a file larger than any journal of ours, or one
// without a single record of ours, is refused) with the headings in the
// language of `lex`.
ArchivedLog ReadArchivedLog(const QString& path, const Lexicons& lex);

}  // namespace zt
