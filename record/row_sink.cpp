#include "row_sink.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>

#include "export_writer.h"
#include "row_json.h"

namespace zt {

namespace {

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// A file written row by row: every write goes straight to the system
// (unbuffered), so what was written survives the process.
class StreamedFile {
 public:
  bool open(const QString& path, QString* error) {
    path_ = path;
    if (path == QLatin1String("-")) {
      if (file_.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered)) return true;
    } else {
      if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("%1 is a folder").arg(Native(path));
        return false;
      }
      file_.setFileName(path);
      if (file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) return true;
    }
    *error = Describe();
    return false;
  }

  bool write(const QByteArray& bytes, QString* error) {
    errno = 0;
    if (file_.write(bytes) == bytes.size()) return true;
#ifdef EPIPE
    if (errno == EPIPE) readerGone_ = true;
#endif
    *error = Describe();
    return false;
  }

  bool close(QString* error) {
    if (!file_.isOpen()) return true;
    file_.close();
    if (file_.error() == QFileDevice::NoError) return true;
    *error = Describe();
    return false;
  }

  bool readerGone() const { return readerGone_; }

 private:
  QString Describe() const {
    const QString where = path_ == QLatin1String("-") ? QStringLiteral("standard output") : Native(path_);
    return QStringLiteral("cannot write %1: %2").arg(where, file_.errorString());
  }

  QString path_;
  QFile file_;
  bool readerGone_ = false;
};

class CsvSink : public RowSink {
 public:
  explicit CsvSink(const SinkOptions& o) : options_(o) {}

  bool open(const GridRowTexts& headings, QString* error) override {
    if (!out_.open(options_.path, error)) return false;
    return out_.write(QByteArray(kCsvFileStart) + CsvLine(headings, options_.csvSeparator), error);
  }
  bool write(const LogRow& row, QString* error) override {
    if (!out_.write(CsvLine(row.texts, options_.csvSeparator), error)) return false;
    ++rows_;
    return true;
  }
  bool finish(QString* error) override { return out_.close(error); }

 private:
  SinkOptions options_;
  StreamedFile out_;
};

class JsonLinesSink : public RowSink {
 public:
  explicit JsonLinesSink(const SinkOptions& o) : options_(o) {}

  bool open(const GridRowTexts&, QString* error) override { return out_.open(options_.path, error); }
  bool write(const LogRow& row, QString* error) override {
    if (!out_.write(RowToJsonLine(row), error)) return false;
    ++rows_;
    return true;
  }
  bool finish(QString* error) override { return out_.close(error); }
  bool readerGone() const override { return out_.readerGone(); }

 private:
  SinkOptions options_;
  StreamedFile out_;
};

class XlsxSink : public RowSink {
 public:
  explicit XlsxSink(const SinkOptions& o) : options_(o) {}

  bool open(const GridRowTexts& headings, QString* error) override {
    // The workbook is written at the end, next to its name first and then
    // renamed; a folder that takes no new file is found out now, before a
    // whole recording is spent on it.
    const QFileInfo target(options_.path);
    if (target.isDir()) {
      *error = QStringLiteral("cannot write %1: it is a folder").arg(Native(options_.path));
      return false;
    }
    QTemporaryFile probe(target.absolutePath() + QStringLiteral("/.zt-record-XXXXXX.part"));
    if (!probe.open()) {
      *error = QStringLiteral("cannot write %1: %2").arg(Native(options_.path), probe.errorString());
      return false;
    }
    snapshot_.appendRow(headings);
    return true;
  }
  bool write(const LogRow& row, QString*) override {
    snapshot_.appendRow(row.texts);
    ++rows_;
    return true;
  }
  bool finish(QString* error) override {
    if (done_) return true;
    done_ = true;
    ExportOptions o;
    o.format = ExportFormat::Xlsx;
    o.messages = options_.messages;
    const ExportResult r = WriteExport(snapshot_, options_.path, o);
    if (r.ok()) return true;
    *error = r.error;
    return false;
  }

 private:
  SinkOptions options_;
  ExportSnapshot snapshot_;
  bool done_ = false;
};

}  // namespace

std::unique_ptr<RowSink> MakeRowSink(const SinkOptions& options) {
  switch (options.format) {
    case OutputFormat::Csv: return std::make_unique<CsvSink>(options);
    case OutputFormat::Xlsx: return std::make_unique<XlsxSink>(options);
    case OutputFormat::JsonLines: break;
  }
  return std::make_unique<JsonLinesSink>(options);
}

}  // namespace zt
