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

// The workbook's "Values" sheet: each logged row as numbers a spreadsheet
// can compute with, taken from the readings the recorder keeps (not from
// the grid's texts).
struct ExportValueRow {
  int position = 0;
  double time = kNoValue;  // local time as a spreadsheet date: days since 1899-12-30
  Quantity primaryKind = Quantity::None;
  double primary = kNoValue;  // SI units; NaN where the panel showed a limit or no number
  Quantity secondaryKind = Quantity::None;
  double secondary = kNoValue;
  double frequencyHz = kNoValue;
  double levelV = kNoValue;
  int reject = -1;  // 1 rejected, 0 passed, -1 sorted against no tolerance
};

// Columns of the "Values" sheet, in order.
enum class ValueColumn : int {
  Position,
  Time,
  Primary,
  PrimaryValue,
  PrimaryUnit,
  Secondary,
  SecondaryValue,
  SecondaryUnit,
  Frequency,
  Level,
  Reject,
};
inline constexpr int kValueColumns = static_cast<int>(ValueColumn::Reject) + 1;
inline constexpr int kQuantityKinds = static_cast<int>(Quantity::PhaseAngle) + 1;

struct ExportValues {
  std::array<QString, kValueColumns> headings;  // in the language in use
  std::array<QString, kQuantityKinds> units;    // by Quantity, as the statistics sheet writes them
  std::vector<ExportValueRow> rows;
};

// The headings and units in the language in use; no rows yet.
ExportValues MakeExportValues(const Lexicons& lex);
// A logged row as the statistics keep it.
ExportValueRow ValueRowOf(const BatchSample& s);
// A quantity's letter on the sheet ("R", "C", "L", "Z", "Q", "D", "θ").
QString QuantityLetter(Quantity kind);

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
  // The rows as numbers, for a workbook's "Values" sheet after the
  // statistics (a CSV file holds the grid only).
  void setValues(ExportValues values) { values_ = std::move(values); }
  const std::optional<ExportValues>& values() const { return values_; }
  // The decimal separator the grid's numbers were written with: a
  // workbook stores the position and the deviations as numbers. Unset (a
  // snapshot built from texts alone), every cell is written as text.
  void setDecimalSeparator(QChar decimal) { decimal_ = decimal; }
  QChar decimalSeparator() const { return decimal_; }

 private:
  QByteArray data_;
  std::vector<qsizetype> rowStart_;
  std::optional<StatsTable> statistics_;
  std::optional<ExportValues> values_;
  QChar decimal_;
};

}  // namespace zt
