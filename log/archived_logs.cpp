#include "archived_logs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

#include "journal_format.h"

namespace zt {

namespace {

// 100,000 rows of a few hundred bytes each, with room for the events.
constexpr qint64 kMaxJournalBytes = 512LL * 1024 * 1024;

struct NameKey {
  QDateTime started;
  int copy = 1;  // "_2" and on: a later log of the same second
};

NameKey KeyOf(const QString& fileName) {
  static const QRegularExpression re(
      QStringLiteral("^(\\d{4}-\\d{2}-\\d{2}_\\d{2}-\\d{2}-\\d{2})(?:_(\\d{1,6}))?\\.journal$"));
  const QRegularExpressionMatch m = re.match(fileName);
  if (!m.hasMatch()) return {};
  NameKey k;
  k.started = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
  if (m.hasCaptured(2)) k.copy = m.captured(2).toInt();
  return k;
}

}  // namespace

std::vector<ArchivedLogEntry> ListArchivedLogs(const QString& archiveFolder) {
  const QDir dir(archiveFolder);
  std::vector<std::pair<ArchivedLogEntry, NameKey>> found;
  for (const QFileInfo& f : dir.entryInfoList({QStringLiteral("*.journal")}, QDir::Files, QDir::Name)) {
    const NameKey k = KeyOf(f.fileName());
    found.push_back({ArchivedLogEntry{f.absoluteFilePath(), k.started}, k});
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    const bool aOurs = a.second.started.isValid(), bOurs = b.second.started.isValid();
    if (aOurs != bOurs) return aOurs;
    if (!aOurs) return a.first.path < b.first.path;
    if (a.second.started != b.second.started) return a.second.started > b.second.started;
    return a.second.copy > b.second.copy;
  });
  std::vector<ArchivedLogEntry> out;
  out.reserve(found.size());
  for (auto& [entry, key] : found) out.push_back(std::move(entry));
  return out;
}

ArchivedLog ReadArchivedLog(const QString& path, const Lexicons& lex) {
  ArchivedLog a;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    a.error = file.errorString();
    return a;
  }
  if (file.size() > kMaxJournalBytes) {
    a.status = ArchivedLog::Status::NotAJournal;
    return a;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    a.error = file.errorString();
    return a;
  }
  const JournalLog log = ParseJournal(bytes);
  if (!log.header && log.rowRecords == 0 && log.events.empty()) {
    a.status = ArchivedLog::Status::NotAJournal;
    return a;
  }
  a.status = ArchivedLog::Status::Read;
  a.started = log.started;
  a.multiPart = log.multiPart;
  a.skippedLines = log.damage.lines;
  a.rows = log.storedRows();
  std::sort(a.rows.begin(), a.rows.end(), [](const auto& x, const auto& y) { return x.gridRow < y.gridRow; });
  a.lastGridRow = a.rows.empty() ? 0 : a.rows.back().gridRow;
  // The grid's headings as the log had them: a multi-part table names its
  // rows after the profiles.
  for (int c = 0; c < kLogColumns; ++c) a.headings[c] = lex.D2[c + 1];
  if (a.multiPart) a.headings[1] = lex.D2[11];
  return a;
}

void ArchivedLog::fill(LogModel& model) const {
  model.resetGrid(lastGridRow + 1);
  for (int c = 0; c < kLogColumns; ++c) model.setHeader(c, headings[c]);
  model.putRows(rows);
}

ExportSnapshot ArchivedLog::snapshot() const {
  LogModel model;
  fill(model);
  return ExportSnapshot::Capture(model, model.gridRowCount());
}

QString ArchivedLog::summary(const Lexicons& lex) const {
  const QString when = QLocale().toString(started.toLocalTime(), QLocale::ShortFormat);
  QString line = lex.D4[multiPart ? msg::kArchiveMulti : msg::kArchiveSingle].arg(when).arg(rows.size());
  if (skippedLines > 0) line += lex.D4[msg::kArchiveSkipped].arg(skippedLines);
  return line;
}

}  // namespace zt
