#include "export_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>

#include <xlsxwriter.h>

#include <cmath>
#include <cstring>
#include <string>
#include <filesystem>
#include <memory>
#include <system_error>

namespace zt {

namespace {

// Progress goes out about 200 times per export, however long the log.
int ProgressStep(int total) { return total / 200 > 0 ? total / 200 : 1; }

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

ExportResult Fail(const QString& path, const QString& why, const Lexicon& m) {
  ExportResult r;
  r.status = ExportResult::Status::Failed;
  r.path = path;
  r.error = m[msg::kExportFailed].arg(QDir::toNativeSeparators(path), why);
  return r;
}

ExportResult Done(const QString& path, ExportResult::Status status) {
  ExportResult r;
  r.status = status;
  r.path = path;
  return r;
}

// Removes the temporary file unless released.
class TempGuard {
 public:
  explicit TempGuard(QString path) : path_(std::move(path)) {}
  ~TempGuard() {
    if (!path_.isEmpty()) QFile::remove(path_);
  }
  TempGuard(const TempGuard&) = delete;
  TempGuard& operator=(const TempGuard&) = delete;
  void release() { path_.clear(); }

 private:
  QString path_;
};

// Creates a new, uniquely named file next to `path`, with the permissions an
// ordinary new file gets there.
bool CreateTemp(const QString& path, QFile& tmp, QString& why, const Lexicon& m) {
  const QFileInfo target(path);
  if (target.isDir()) {
    why = m[msg::kExportIsFolder];
    return false;
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    tmp.setFileName(target.absolutePath() + QStringLiteral("/.") + target.fileName() + u'.' +
                    QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".part"));
    if (tmp.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return true;
    if (tmp.error() != QFileDevice::OpenError || !tmp.exists()) break;
  }
  why = m[msg::kExportTempError].arg(tmp.errorString());
  return false;
}

// Moves the finished temporary file over the target (replacing an old file).
bool Commit(const QString& tmpPath, const QString& path, QString& why, const Lexicon& m) {
  std::error_code ec;
  std::filesystem::rename(std::filesystem::path(QFile::encodeName(tmpPath).toStdString()),
                          std::filesystem::path(QFile::encodeName(path).toStdString()), ec);
  if (ec) {
    why = m[msg::kExportReplaceError].arg(QString::fromLocal8Bit(ec.message().c_str()));
    return false;
  }
  return true;
}

struct WorkbookFree {
  void operator()(lxw_workbook* wb) const { lxw_workbook_free(wb); }
};

// The statistics table: names down column A, groups across row 1.
ExportResult WriteStatisticsSheet(lxw_workbook* wb, const StatsTable& t, const QString& path, const Lexicon& m) {
  lxw_worksheet* ws = workbook_add_worksheet(wb, kStatisticsSheetName);
  if (!ws) return Fail(path, m[msg::kExportNoWorksheet], m);
  auto text = [&](int row, int col, const QString& s) -> lxw_error {
    if (s.isEmpty()) return LXW_NO_ERROR;
    const QByteArray u = s.toUtf8();
    return worksheet_write_string(ws, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), u.constData(), nullptr);
  };
  auto failed = [&](int row, int col, lxw_error err) {
    return Fail(path, m[msg::kExportCellError].arg(row + 1).arg(col + 1).arg(QString::fromUtf8(lxw_strerror(err))), m);
  };
  worksheet_set_column(ws, 0, 0, 24, nullptr);
  for (int c = 0; c < t.columnCount(); ++c) {
    if (const lxw_error err = text(0, c + 1, t.columnNames.at(c)); err != LXW_NO_ERROR) return failed(0, c + 1, err);
  }
  for (int r = 0; r < t.rowCount(); ++r) {
    if (const lxw_error err = text(r + 1, 0, t.rowNames.at(r)); err != LXW_NO_ERROR) return failed(r + 1, 0, err);
    for (int c = 0; c < t.columnCount(); ++c) {
      const StatsCell& cell = t.cell(r, c);
      lxw_error err = LXW_NO_ERROR;
      if (cell.numeric())
        err = worksheet_write_number(ws, static_cast<lxw_row_t>(r + 1), static_cast<lxw_col_t>(c + 1), cell.number,
                                     nullptr);
      else
        err = text(r + 1, c + 1, cell.text);
      if (err != LXW_NO_ERROR) return failed(r + 1, c + 1, err);
    }
  }
  return Done(path, ExportResult::Status::Ok);
}

// The columns of the log's sheet whose cells are plain numbers: the
// position and the two deviations.
bool NumericColumn(int col) { return col == 0 || col == 8 || col == 9; }

// A plain number as the grid writes one: an optional minus, digits, and
// optionally the decimal separator and more digits; nothing else (no
// grouping, no exponent, no unit). Its value, and how many decimals it
// shows.
bool PlainNumber(const char* text, char decimal, double& value, int& decimals) {
  QByteArray c;
  const char* p = text;
  if (*p == '-') c.append(*p++);
  const char* digits = p;
  while (*p >= '0' && *p <= '9') c.append(*p++);
  if (p == digits) return false;
  decimals = 0;
  if (*p == decimal) {
    c.append('.');
    ++p;
    const char* frac = p;
    while (*p >= '0' && *p <= '9') c.append(*p++);
    decimals = static_cast<int>(p - frac);
    if (decimals == 0) return false;
  }
  if (*p) return false;
  bool ok = false;
  value = c.toDouble(&ok);
  return ok;
}

// Number formats that show as many decimals as the grid did ("0.00"),
// made once per workbook.
class DecimalFormats {
 public:
  explicit DecimalFormats(lxw_workbook* wb) : wb_(wb) {}
  lxw_format* get(int decimals) {
    if (decimals <= 0) return nullptr;  // the general format writes whole numbers as they are
    decimals = std::min(decimals, 15);
    lxw_format*& f = formats_[static_cast<size_t>(decimals)];
    if (!f) {
      f = workbook_add_format(wb_);
      if (f) format_set_num_format(f, ("0." + std::string(static_cast<size_t>(decimals), '0')).c_str());
    }
    return f;
  }

 private:
  lxw_workbook* wb_;
  std::array<lxw_format*, 16> formats_{};
};

// The "Values" sheet: a heading row, then a row of numbers per logged row.
ExportResult WriteValuesSheet(lxw_workbook* wb, const ExportValues& v, const QString& path, const Lexicon& m,
                              const std::atomic<bool>* cancel) {
  lxw_worksheet* ws = workbook_add_worksheet(wb, kValuesSheetName);
  if (!ws) return Fail(path, m[msg::kExportNoWorksheet], m);
  lxw_format* date = workbook_add_format(wb);
  if (date) format_set_num_format(date, "yyyy-mm-dd hh:mm:ss");
  auto failed = [&](int row, int col, lxw_error err) {
    return Fail(path, m[msg::kExportCellError].arg(row + 1).arg(col + 1).arg(QString::fromUtf8(lxw_strerror(err))), m);
  };
  auto text = [&](int row, int col, const QString& s) -> lxw_error {
    if (s.isEmpty()) return LXW_NO_ERROR;
    const QByteArray u = s.toUtf8();
    return worksheet_write_string(ws, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), u.constData(), nullptr);
  };
  auto number = [&](int row, int col, double x, lxw_format* f = nullptr) -> lxw_error {
    if (!std::isfinite(x)) return LXW_NO_ERROR;  // no number: an empty cell
    return worksheet_write_number(ws, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), x, f);
  };
  auto unit = [&](Quantity k) { return v.units[static_cast<size_t>(k)]; };
  worksheet_set_column(ws, static_cast<lxw_col_t>(ValueColumn::Time), static_cast<lxw_col_t>(ValueColumn::Time), 20,
                       nullptr);
  for (int c = 0; c < kValueColumns; ++c)
    if (const lxw_error err = text(0, c, v.headings[static_cast<size_t>(c)]); err != LXW_NO_ERROR)
      return failed(0, c, err);
  int row = 1;
  for (const ExportValueRow& r : v.rows) {
    if (Cancelled(cancel)) return Done(path, ExportResult::Status::Cancelled);
    const bool primary = r.primaryKind != Quantity::None;
    const bool secondary = r.secondaryKind != Quantity::None;
    const std::pair<ValueColumn, lxw_error> cells[] = {
        {ValueColumn::Position, number(row, int(ValueColumn::Position), r.position)},
        {ValueColumn::Time, number(row, int(ValueColumn::Time), r.time, date)},
        {ValueColumn::Primary, text(row, int(ValueColumn::Primary), QuantityLetter(r.primaryKind))},
        {ValueColumn::PrimaryValue, number(row, int(ValueColumn::PrimaryValue), r.primary)},
        {ValueColumn::PrimaryUnit,
         primary ? text(row, int(ValueColumn::PrimaryUnit), unit(r.primaryKind)) : LXW_NO_ERROR},
        {ValueColumn::Secondary, text(row, int(ValueColumn::Secondary), QuantityLetter(r.secondaryKind))},
        {ValueColumn::SecondaryValue, number(row, int(ValueColumn::SecondaryValue), r.secondary)},
        {ValueColumn::SecondaryUnit,
         secondary ? text(row, int(ValueColumn::SecondaryUnit), unit(r.secondaryKind)) : LXW_NO_ERROR},
        {ValueColumn::Frequency, number(row, int(ValueColumn::Frequency), r.frequencyHz)},
        {ValueColumn::Level, number(row, int(ValueColumn::Level), r.levelV)},
        {ValueColumn::Reject, r.reject >= 0 ? number(row, int(ValueColumn::Reject), r.reject) : LXW_NO_ERROR},
    };
    for (const auto& [col, err] : cells)
      if (err != LXW_NO_ERROR) return failed(row, int(col), err);
    ++row;
  }
  return Done(path, ExportResult::Status::Ok);
}

ExportResult WriteXlsx(const ExportSnapshot& snap, const QString& path, const QString& tmpPath, const Lexicon& m,
                       const std::atomic<bool>* cancel, const ExportProgressFn& progress) {
  lxw_workbook_options opts{};
  opts.constant_memory = LXW_TRUE;
  const QByteArray name = QFile::encodeName(tmpPath);
  std::unique_ptr<lxw_workbook, WorkbookFree> wb(workbook_new_opt(name.constData(), &opts));
  if (!wb) return Fail(path, m[msg::kExportNoWorkbook], m);
  lxw_worksheet* ws = workbook_add_worksheet(wb.get(), nullptr);
  if (!ws) return Fail(path, m[msg::kExportNoWorksheet], m);
  // The library takes inches; -1 keeps the default top and bottom margins.
  worksheet_set_margins(ws, kExportLeftMarginPt / 72.0, kExportRightMarginPt / 72.0, -1, -1);

  const int total = snap.rowCount();
  const int step = ProgressStep(total);
  DecimalFormats formats(wb.get());
  // Without a known separator (or with one outside ASCII) every cell is text.
  const QChar sep = snap.decimalSeparator();
  const char decimal = sep.unicode() > 0 && sep.unicode() < 0x80 ? sep.toLatin1() : '\0';
  for (int i = 0; i < total; ++i) {
    if (Cancelled(cancel)) return Done(path, ExportResult::Status::Cancelled);
    const char* text = snap.utf8(i, 0);  // the row's cells follow one another
    for (int c = 0; c < ExportSnapshot::kColumns; ++c, text += std::strlen(text) + 1) {
      if (!*text) continue;  // an empty grid cell stays an empty worksheet cell
      // The position and the deviations as numbers (shown with the grid's
      // decimals), as a spreadsheet fed the same texts would read them;
      // everything else as the grid shows it.
      double value = 0;
      int decimals = 0;
      const bool numeric = decimal && i > 0 && NumericColumn(c) && PlainNumber(text, decimal, value, decimals);
      const lxw_error err =
          numeric ? worksheet_write_number(ws, static_cast<lxw_row_t>(i), static_cast<lxw_col_t>(c), value,
                                           formats.get(decimals))
                  : worksheet_write_string(ws, static_cast<lxw_row_t>(i), static_cast<lxw_col_t>(c), text, nullptr);
      if (err != LXW_NO_ERROR)
        return Fail(path, m[msg::kExportCellError].arg(i + 1).arg(c + 1).arg(QString::fromUtf8(lxw_strerror(err))), m);
    }
    if (progress && (i + 1) % step == 0) progress(i + 1, total);
  }
  if (Cancelled(cancel)) return Done(path, ExportResult::Status::Cancelled);
  if (snap.statistics()) {
    const ExportResult r = WriteStatisticsSheet(wb.get(), *snap.statistics(), path, m);
    if (r.status == ExportResult::Status::Failed) return r;
  }
  if (snap.values()) {
    const ExportResult r = WriteValuesSheet(wb.get(), *snap.values(), path, m, cancel);
    if (!r.ok()) return r;
  }
  // workbook_close frees the workbook whatever it returns.
  const lxw_error err = workbook_close(wb.release());
  if (err != LXW_NO_ERROR) return Fail(path, m[msg::kExportFinishError].arg(QString::fromUtf8(lxw_strerror(err))), m);
  return Done(path, ExportResult::Status::Ok);
}

// RFC 4180: a field holding the separator, a quote or a line break is quoted,
// its quotes doubled. Both separators are ASCII, so UTF-8 can be scanned as is.
void AppendCsvField(QByteArray& buf, const char* text, char sep) {
  bool quote = false;
  for (const char* p = text; *p && !quote; ++p) quote = *p == sep || *p == '"' || *p == '\n' || *p == '\r';
  if (!quote) {
    buf.append(text);
    return;
  }
  buf.append('"');
  for (const char* p = text; *p; ++p) {
    if (*p == '"') buf.append('"');
    buf.append(*p);
  }
  buf.append('"');
}

ExportResult WriteCsv(const ExportSnapshot& snap, const QString& path, QFile& out, char sep, const Lexicon& m,
                      const std::atomic<bool>* cancel, const ExportProgressFn& progress) {
  auto writeFailed = [&] { return Fail(path, m[msg::kExportWriteError].arg(out.errorString()), m); };
  const int total = snap.rowCount();
  const int step = ProgressStep(total);
  QByteArray buf;
  buf.reserve(1 << 17);
  buf.append(kCsvFileStart);
  auto flush = [&]() {
    if (out.write(buf) != buf.size()) return false;
    buf.clear();
    return true;
  };
  for (int i = 0; i < total; ++i) {
    if (Cancelled(cancel)) return Done(path, ExportResult::Status::Cancelled);
    const char* text = snap.utf8(i, 0);
    for (int c = 0; c < ExportSnapshot::kColumns; ++c, text += std::strlen(text) + 1) {
      if (c) buf.append(sep);
      AppendCsvField(buf, text, sep);
    }
    buf.append("\r\n");
    if (buf.size() >= (1 << 16) && !flush()) return writeFailed();
    if (progress && (i + 1) % step == 0) progress(i + 1, total);
  }
  if (Cancelled(cancel)) return Done(path, ExportResult::Status::Cancelled);
  if (!flush() || !out.flush()) return writeFailed();
  out.close();
  if (out.error() != QFileDevice::NoError) return writeFailed();
  return Done(path, ExportResult::Status::Ok);
}

}  // namespace

QByteArray CsvLine(const std::array<QString, ExportSnapshot::kColumns>& cells, QChar separator) {
  const char sep = separator.toLatin1();
  QByteArray line;
  for (int c = 0; c < ExportSnapshot::kColumns; ++c) {
    if (c) line.append(sep);
    // A NUL would end the cell early in the snapshot; it ends it here too.
    AppendCsvField(line, cells[c].toUtf8().constData(), sep);
  }
  line.append("\r\n");
  return line;
}

ExportOptions ExportOptionsForFile(QString* path, bool csvFilterChosen) {
  ExportOptions opts;
  const QString suffix = QFileInfo(*path).suffix().toLower();
  if (suffix == QLatin1String("csv") || (suffix != QLatin1String("xlsx") && csvFilterChosen))
    opts.format = ExportFormat::Csv;
  if (suffix != QLatin1String("csv") && suffix != QLatin1String("xlsx"))
    *path += opts.format == ExportFormat::Csv ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
  opts.csvSeparator = CsvSeparatorFor(QLocale::system().decimalPoint());
  return opts;
}

QChar CsvSeparatorFor(const QString& decimalSeparator) {
  return decimalSeparator == QLatin1String(",") ? QChar(u';') : QChar(u',');
}

QString DefaultExportName(const QString& profileTitle, const QDateTime& now) {
  QString name;
  for (QChar ch : profileTitle.trimmed()) {
    const bool bad = ch.unicode() < 0x20 || ch == u'/' || ch == u'\\' || ch == u':' || ch == u'*' || ch == u'?' ||
                     ch == u'"' || ch == u'<' || ch == u'>' || ch == u'|';
    name += bad ? QChar(u'_') : ch;
  }
  // Names ending in a dot or blank, or made of dots only, are not usable on
  // every system.
  while (!name.isEmpty() && (name.endsWith(u'.') || name.endsWith(u' '))) name.chop(1);
  bool onlyFill = true;
  for (QChar ch : name) onlyFill = onlyFill && (ch == u'_' || ch == u'.' || ch == u' ');
  if (onlyFill) return QStringLiteral("log ") + now.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
  return name;
}

ExportResult WriteExport(const ExportSnapshot& snapshot, const QString& path, const ExportOptions& options,
                         const std::atomic<bool>* cancel, const ExportProgressFn& progress) {
  const Lexicon& m = options.messages;
  if (path.isEmpty()) return Fail(path, m[msg::kExportNoFileName], m);
  if (Cancelled(cancel)) return Done(path, ExportResult::Status::Cancelled);
  QFile tmp;
  QString why;
  if (!CreateTemp(path, tmp, why, m)) return Fail(path, why, m);
  const QString tmpPath = tmp.fileName();
  TempGuard guard(tmpPath);

  ExportResult r;
  try {
    if (options.format == ExportFormat::Xlsx) {
      tmp.close();  // the library opens the file by name
      r = WriteXlsx(snapshot, path, tmpPath, m, cancel, progress);
    } else {
      if (options.csvSeparator.unicode() == 0 || options.csvSeparator.unicode() > 0x7e ||
          options.csvSeparator == u'"' || options.csvSeparator == u'\n' || options.csvSeparator == u'\r')
        r = Fail(path, m[msg::kExportBadSeparator], m);
      else
        r = WriteCsv(snapshot, path, tmp, options.csvSeparator.toLatin1(), m, cancel, progress);
    }
  } catch (const std::bad_alloc&) {
    r = Fail(path, m[msg::kExportOutOfMemory], m);
  }
  tmp.close();
  if (!r.ok()) return r;
  if (!Commit(tmpPath, path, why, m)) return Fail(path, why, m);
  guard.release();
  if (progress) progress(snapshot.rowCount(), snapshot.rowCount());
  return r;
}

}  // namespace zt
