#pragma once
// Where zt-record's rows go: a CSV file or JSON lines, written and flushed
// row by row so that a recorder that is killed loses at most the row in
// flight, or a workbook, written whole when recording ends. CSV and the
// workbook are the export's files (the same writer, the same cells: the
// heading row, then one row per reading).
#include <QFile>
#include <QString>

#include <memory>

#include "export_snapshot.h"
#include "grid_row.h"
#include "lexicons.h"
#include "record_options.h"
#include "recorder.h"

namespace zt {

class RowSink {
 public:
  virtual ~RowSink() = default;
  // Makes the output ready before anything else happens: the file is
  // created (CSV and JSON lines, the CSV with its heading row) or the
  // workbook's folder is proven writable. False with the reason.
  virtual bool open(const GridRowTexts& headings, QString* error) = 0;
  // One row. False with the reason when it could not be written.
  virtual bool write(const LogRow& row, QString* error) = 0;
  // Recording has ended: the workbook is written; the others are closed.
  virtual bool finish(QString* error) = 0;
  // The reader on the other end of standard output has gone (a closed pipe):
  // not a failure of ours, the recording simply has nobody to go to.
  virtual bool readerGone() const { return false; }
  // Rows written so far.
  int rows() const { return rows_; }

 protected:
  int rows_ = 0;
};

struct SinkOptions {
  OutputFormat format = OutputFormat::JsonLines;
  QString path;                               // "-": standard output (JSON lines only)
  QChar csvSeparator = u',';                  // as the window's export picks it
  Lexicon messages = Lexicons::russian().D4;  // the workbook writer's failure words
};

std::unique_ptr<RowSink> MakeRowSink(const SinkOptions& options);

}  // namespace zt
