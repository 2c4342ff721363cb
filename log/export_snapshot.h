#pragma once
// A frozen copy of the log grid's texts, taken on the UI thread and handed to
// a writer on another thread. Cells are kept as UTF-8 in one buffer, each
// followed by a NUL, so a 100,000-row log costs a few megabytes and the
// spreadsheet writer can pass the bytes on without converting again.
#include <QByteArray>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "stats_table.h"

namespace zt {

class LogModel;

// Rows the export copies from the log grid, the heading row included:
// nothing while the meter's last frame did not allow logging (LogReady 0);
// ProfileCount + 1 in multi-part mode; else LogPosition. Negative inputs
// count as 0.
int ExportRowCount(bool logReady, bool multiPart, int logPosition, int profileCount);

class ExportSnapshot {
 public:
  static constexpr int kColumns = 10;

  ExportSnapshot() = default;

  // rows x kColumns texts; cell(row, col) is asked in row order, and row 0 is
  // the heading row. The caller answers rows beyond its grid with "".
  static ExportSnapshot Capture(int rows, const std::function<QString(int row, int col)>& cell);
  // The first `rows` grid rows of the log: its headings, then its rows;
  // rows beyond the grid are empty.
  static ExportSnapshot Capture(const LogModel& log, int rows);

  void reserve(int rows, qsizetype bytesPerRow = 96);
  void appendRow(const std::array<QString, kColumns>& cells);

  int rowCount() const { return static_cast<int>(rowStart_.size()); }
  // NUL-terminated UTF-8 of one cell; valid while the snapshot lives. The
  // cells of a row follow each other: cell c + 1 starts after cell c's NUL.
  const char* utf8(int row, int col) const;
  QString text(int row, int col) const { return QString::fromUtf8(utf8(row, col)); }
  // Bytes held, for sizing checks.
  qsizetype byteSize() const;

  // The sorting statistics of the log, for a workbook's second sheet (a CSV
  // file holds the grid only).
  void setStatistics(StatsTable table) { statistics_ = std::move(table); }
  const std::optional<StatsTable>& statistics() const { return statistics_; }

 private:
  QByteArray data_;
  std::vector<qsizetype> rowStart_;
  std::optional<StatsTable> statistics_;
};

}  // namespace zt
