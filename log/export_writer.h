#pragma once
// Writes a snapshot of the log grid to an .xlsx workbook or a CSV file.
// Grid cell (column c, row i) lands in worksheet row i + 1, column c + 1. In
// a workbook whose snapshot knows the grid's decimal separator (the window's
// export), the cells of the position and the two deviations that are plain
// numbers are numbers (with the grid's decimals); every other value is text
// exactly as the grid shows it, and a CSV file holds texts only. A snapshot
// that carries the sorting statistics gives a workbook a second sheet,
// "Statistics": the statistics' names down column A, one column per group,
// numbers as numbers in SI units (the "Unit" row names them); one that
// carries the values a third, "Values": each row's position, time,
// quantities with their values in SI units and units, frequency in Hz,
// level in V and reject mark (1 or 0) as numbers. The file appears
// under its name only when complete: the data goes to a temporary file in the
// target folder that is renamed at the end, so a failure or a cancel leaves
// nothing behind (and an existing file of that name untouched).
#include <QDateTime>
#include <QString>

#include <array>
#include <atomic>
#include <functional>

#include "export_snapshot.h"
#include "lexicons.h"

namespace zt {

enum class ExportFormat { Xlsx, Csv };

struct ExportOptions {
  ExportFormat format = ExportFormat::Xlsx;
  QChar csvSeparator = u',';  // ASCII; see CsvSeparatorFor
  // The words of a failure report (lexicon D4 of the language in use). A
  // copy: the writing runs off the UI thread.
  Lexicon messages = Lexicons::russian().D4;
};

struct ExportResult {
  enum class Status { Ok, Cancelled, Failed };
  Status status = Status::Failed;
  QString path;   // the target file
  QString error;  // why it failed, for the operator; empty unless Failed
  bool ok() const { return status == Status::Ok; }
};

// The name of the statistics sheet (kept the same in every language, so
// that programs reading the workbook find it).
inline constexpr char kStatisticsSheetName[] = "Statistics";
// The sheet of the rows as numbers (after the statistics; the same in every
// language too).
inline constexpr char kValuesSheetName[] = "Values";

// Page margins of the worksheet, in points.
inline constexpr double kExportLeftMarginPt = 30.0;
inline constexpr double kExportRightMarginPt = 10.0;

// The list separator that goes with a decimal separator: a decimal comma
// would clash with a comma between fields, so those systems use ";".
QChar CsvSeparatorFor(const QString& decimalSeparator);

// The format of a file the save dialogue returned: CSV for a ".csv" name, or
// for a name of neither kind when the CSV filter was chosen; such a name gets
// the format's suffix. The separator follows the system's decimal point.
ExportOptions ExportOptionsForFile(QString* path, bool csvFilterChosen);

// One row of a CSV export as its bytes: the cells in UTF-8, each quoted
// (RFC 4180) when it holds the separator, a quote or a line break, ending in
// CR LF. `separator` must be one WriteExport accepts. A program that writes
// a CSV file row by row starts it with kCsvFileStart and gets the same file.
QByteArray CsvLine(const std::array<QString, ExportSnapshot::kColumns>& cells, QChar separator);
inline constexpr char kCsvFileStart[] = "\xEF\xBB\xBF";  // lets spreadsheet programs see UTF-8

// File name without extension: the profile title made safe for a file name,
// or "log" with the date and time when there is no usable title.
QString DefaultExportName(const QString& profileTitle, const QDateTime& now);

// Called with rows written so far and the total; may be called from the
// writing thread.
using ExportProgressFn = std::function<void(int done, int total)>;

// Writes `snapshot` to `path`. Stops as soon as `cancel` is set (returns
// Cancelled, nothing written). Never throws; failures carry the reason.
ExportResult WriteExport(const ExportSnapshot& snapshot, const QString& path, const ExportOptions& options,
                         const std::atomic<bool>* cancel = nullptr, const ExportProgressFn& progress = {});

}  // namespace zt
