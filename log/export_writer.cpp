#include "export_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <xlsxwriter.h>

#include <cstring>
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
  for (int i = 0; i < total; ++i) {
    if (Cancelled(cancel)) return Done(path, ExportResult::Status::Cancelled);
    const char* text = snap.utf8(i, 0);  // the row's cells follow one another
    for (int c = 0; c < ExportSnapshot::kColumns; ++c, text += std::strlen(text) + 1) {
      if (!*text) continue;  // an empty grid cell stays an empty worksheet cell
      const lxw_error err =
          worksheet_write_string(ws, static_cast<lxw_row_t>(i), static_cast<lxw_col_t>(c), text, nullptr);
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
