#include "journal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "profile_book.h"

namespace zt {

namespace {

const QString kCurrent = QStringLiteral("current.journal");
const QString kArchive = QStringLiteral("archive");
const QString kSuffix = QStringLiteral(".journal");

QString StartText(const QDateTime& t) {
  return t.isValid() ? t.toLocalTime().toString(QStringLiteral("dd.MM.yy hh:mm:ss")) : QStringLiteral("?");
}

bool SameFile(const QString& a, const QString& b) {
  if (a.isEmpty() || b.isEmpty()) return false;
  const QString ca = QFileInfo(a).canonicalFilePath();
  return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// The first `size` bytes of `from` into `to` (made beforehand), synced: the
// journal only ever appends, so these bytes are the log as it stood.
void CopyPrefix(const QString& from, const QString& to, qint64 size) {
  QFile in(from);
  QFile out(to);
  if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  for (qint64 left = size; left > 0;) {
    const QByteArray chunk = in.read(std::min<qint64>(left, qint64(1) << 20));
    if (chunk.isEmpty() || out.write(chunk) != chunk.size()) break;
    left -= chunk.size();
  }
  out.flush();
#ifndef Q_OS_WIN
  ::fdatasync(out.handle());
#endif
}

void ReleaseFreedMemory() {
#ifdef __GLIBC__
  ::malloc_trim(0);
#endif
}

}  // namespace

Journal::Journal(Recorder* recorder, const QString& folder, QObject* parent)
    : QObject(parent), recorder_(recorder), folder_(folder), lex_(&Lexicons::russian()), clock_([] {
        return QDateTime::currentDateTime();
      }) {
  // Direct connections: the row is on its way to the disk before the grid
  // shows it.
  connect(recorder_, &Recorder::rowToBeWritten, this, &Journal::row, Qt::DirectConnection);
  connect(recorder_, &Recorder::recordingChanged, this, [this](bool on, bool) { recording(on); });
  connect(recorder_, &Recorder::startPositionChosen, this, &Journal::position);
  connect(recorder_, &Recorder::logEnded, this, &Journal::end, Qt::DirectConnection);
  connect(recorder_, &Recorder::rowRefilled, this, &Journal::refilled);
  connect(recorder_, &Recorder::writingOver, this, &Journal::writingOver, Qt::DirectConnection);
  connect(recorder_->book(), &ProfileBook::referenceLoaded, this, &Journal::profile);
}

Journal::~Journal() {
  waitForKeeper();
  file_.close();
}

QString Journal::currentPath() const { return QDir(folder_).filePath(kCurrent); }

QString Journal::archiveFolder() const { return QDir(folder_).filePath(kArchive); }

void Journal::sync() {
  waitForKeeper();
  file_.sync();
}

void Journal::waitForKeeper() {
  if (keeper_.joinable()) keeper_.join();
}

// ---------------------------------------------------------------- writing

bool Journal::write(const QByteArray& line) {
  QString why;
  // After a short write the file may end inside a line: a line break first
  // keeps this record whole (the part before it is skipped when read).
  const bool ok = needBreak_ ? file_.append(QByteArray(1, '\n') + line, &why) : file_.append(line, &why);
  needBreak_ = !ok;
  if (ok) {
    failing_ = false;
  } else if (!failing_) {
    failing_ = true;
    emit notice(NoticeLevel::Warning,
                lex().D4[msg::kJournalWriteError].arg(QDir::toNativeSeparators(currentPath()), why));
  }
  return ok;
}

bool Journal::ensureOpen(const QDateTime& started, bool multiPart) {
  if (file_.isOpen()) return true;
  QDir().mkpath(folder_);
  const QString path = currentPath();
  // A file left here is an ended log whose move to the archive failed:
  // moved now, or else written after (its end record closes that log).
  if (QFileInfo(path).size() > 0) {
    if (!archive(clock_())) {
      QFile f(path);
      if (f.open(QIODevice::ReadOnly) && f.seek(f.size() - 1)) needBreak_ = f.read(1) != "\n";
    }
  }
  QString why;
  if (!file_.open(path, &why)) {
    if (!failing_) {
      failing_ = true;
      emit notice(NoticeLevel::Warning, lex().D4[msg::kJournalWriteError].arg(QDir::toNativeSeparators(path), why));
    }
    return false;
  }
  started_ = started;
  rowsInFile_ = 0;
  write(JournalHeaderLine(started, multiPart));
  profileNumber_ = 0;
  profile();
  return true;
}

void Journal::row(const LogRow& row) {
  if (!active_ || !ensureOpen(clock_(), recorder_->multiPart())) return;
  if (write(JournalRowLine(row))) ++rowsInFile_;
}

void Journal::refilled(int gridRow) {
  // The row as the grid shows it now, so that a restore shows it the same.
  if (active_ && file_.isOpen() && write(JournalRowLine(recorder_->model()->storedRow(gridRow), clock_(), gridRow)))
    ++rowsInFile_;
}

void Journal::recording(bool on) {
  if (on == recording_) return;
  recording_ = on;
  if (!active_) return;
  // Starting to record begins a log; stopping only says so in one.
  if (on ? !ensureOpen(clock_(), recorder_->multiPart()) : !file_.isOpen()) return;
  write(JournalRecordingLine(clock_(), on));
}

void Journal::position(int position) {
  if (active_ && file_.isOpen()) write(JournalPositionLine(clock_(), position));
}

void Journal::profile() {
  if (!active_ || !file_.isOpen()) return;
  const ProfileBook* book = recorder_->book();
  const int n = book->loadedNumber();
  const QString& file = book->currentProfilePath();
  if (n < 1 || file.isEmpty() || (n == profileNumber_ && file == profileFile_)) return;
  if (write(JournalProfileLine(clock_(), n, file))) {
    profileNumber_ = n;
    profileFile_ = file;
  }
}

void Journal::writingOver(int position) {
  if (!active_ || !file_.isOpen() || rowsInFile_ == 0) return;
  // The rows about to be replaced stay in the archive: a copy of the log as
  // it stands, made off the UI thread (a full log is tens of megabytes).
  // The file is only ever appended to, so its first `size` bytes stay put.
  const qint64 size = QFileInfo(currentPath()).size();
  const QString target = archiveName(started_);
  QFile reserve(target);
  if (size <= 0 || target.isEmpty() || !reserve.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return;
  reserve.close();
  waitForKeeper();
  keeper_ = std::thread([from = currentPath(), target, size] { CopyPrefix(from, target, size); });
  write(JournalWriteOverLine(clock_(), position, QFileInfo(target).fileName()));
  trimArchive();
}

void Journal::linkUp() { link(true); }

void Journal::linkDown() { link(false); }

void Journal::link(bool up) {
  if (up == linkUp_) return;
  linkUp_ = up;
  if (active_ && file_.isOpen()) write(JournalLinkLine(clock_(), up));
}

void Journal::end(LogEnd why) {
  if (!active_ || !file_.isOpen()) return;
  write(JournalEndLine(clock_(), why));
  file_.close();
  if (rowsInFile_ > 0) {
    archive(started_);
  } else {
    QFile::remove(currentPath());  // a log without a row is not worth keeping
  }
  rowsInFile_ = 0;
  needBreak_ = false;
}

// ---------------------------------------------------------------- archive

QString Journal::archiveName(const QDateTime& started) const {
  const QDir dir(archiveFolder());
  if (!dir.mkpath(QStringLiteral("."))) return {};
  const QString stem =
      (started.isValid() ? started : clock_()).toLocalTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
  QString target = dir.filePath(stem + kSuffix);
  for (int n = 2; QFileInfo::exists(target); ++n)
    target = dir.filePath(QStringLiteral("%1_%2%3").arg(stem).arg(n).arg(kSuffix));
  return target;
}

bool Journal::archive(const QDateTime& started) {
  // A copy still being made reads the file by its name.
  waitForKeeper();
  const QString target = archiveName(started);
  if (target.isEmpty() || !QFile::rename(currentPath(), target)) return false;
  trimArchive();
  return true;
}

void Journal::trimArchive() {
  // Names begin with the start time, so their order is the logs' order.
  QDir dir(archiveFolder());
  const QStringList logs = dir.entryList({QStringLiteral("*") + kSuffix}, QDir::Files, QDir::Name);
  for (qsizetype i = 0; i + kArchiveKeep < logs.size(); ++i) dir.remove(logs.at(i));
}

void Journal::setAside(const JournalLog& log) {
  // A log that ended, or damaged beyond use: kept in the archive as it is;
  // one with nothing in it is dropped.
  if (log.rowRecords > 0 || log.damage.lines > 0) {
    if (archive(log.started)) return;
  }
  QFile::remove(currentPath());
}

// ---------------------------------------------------------------- restore

QString Journal::restore() {
  const QString line = restoreRows();
  // Reading a long journal leaves a million small blocks freed at once; the
  // allocator sorts them at its next request that they do not serve, which
  // would be the first row's (0.7 ms at 100,000 rows). Tidied now, while
  // the operator waits for the start anyway.
  ReleaseFreedMemory();
  return line;
}

QString Journal::restoreRows() {
  if (active_) return {};
  QDir().mkpath(folder_);
  // One copy of the program keeps the journal; a lock left by a copy that
  // was killed is taken over.
  lock_ = std::make_unique<QLockFile>(QDir(folder_).filePath(QStringLiteral("current.lock")));
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    lock_.reset();
    emit notice(NoticeLevel::Warning, lex().D4[msg::kJournalInUse].arg(QDir::toNativeSeparators(folder_)));
    return {};
  }
  active_ = true;

  QFile f(currentPath());
  if (!f.exists()) return {};
  if (!f.open(QIODevice::ReadOnly)) {
    // Left alone: the first row moves it to the archive before a new log begins.
    emit notice(NoticeLevel::Warning,
                lex().D4[msg::kJournalWriteError].arg(QDir::toNativeSeparators(currentPath()), f.errorString()));
    return {};
  }
  const QByteArray bytes = f.read(kMaxRead);
  f.close();
  const JournalLog log = ParseJournal(bytes);

  if (log.ended || log.rows.empty()) {
    setAside(log);
    if (log.damage.lines == 0) return {};
    return lex().D4[msg::kJournalNothingRestored].arg(log.damage.lines).arg(log.damage.text());
  }

  // The profile first: reading it brings its start position, which the rows
  // put back then replace with the one after the row written last.
  const QString profileLost = restoreProfile(log);
  const Recorder::Mode mode = log.multiPart ? Recorder::Mode::MultiPart : Recorder::Mode::SinglePart;
  const Recorder::Restored put = recorder_->restoreLog(mode, log.storedRows(), log.lastPosition);

  // The grid as it now stands, row by row, for the digest (and a fresh file).
  RowsDigest digest;
  std::vector<LogModel::StoredRow> shown;
  shown.reserve(put.positions.size());
  for (const int p : put.positions) {
    shown.push_back(recorder_->model()->storedRow(p));
    digest.add(shown.back());
  }

  const int skipped = static_cast<int>(log.damage.lines);
  // What could not be read or placed stays in the archived original; the
  // journal goes on with exactly the rows the grid holds, so the next start
  // does not report the same damage again. (Should the original not move,
  // it is written on as it is.)
  if ((skipped > 0 || put.outside > 0) && archive(log.started)) {
    if (ensureOpen(log.started, log.multiPart)) {
      for (const LogModel::StoredRow& r : shown) {
        const JournalRow& was = log.rows.at(r.gridRow);
        if (write(JournalRowLine(r, was.time, was.profileNumber))) ++rowsInFile_;
      }
    }
  } else {
    QString why;
    if (file_.open(currentPath(), &why)) {
      started_ = log.started;
      rowsInFile_ = static_cast<int>(log.rows.size());
      needBreak_ = !bytes.isEmpty() && !bytes.endsWith('\n');
      profileNumber_ = log.profileNumber;
      profileFile_ = log.profileFile;
    } else {
      failing_ = true;
      emit notice(NoticeLevel::Warning,
                  lex().D4[msg::kJournalWriteError].arg(QDir::toNativeSeparators(currentPath()), why));
    }
  }
  if (file_.isOpen())
    write(JournalRestoredLine(clock_(), static_cast<int>(put.positions.size()), log.started, skipped + put.outside,
                              digest.value()));
  profile();  // the one selected now, when it is not the one journaled

  QString line = lex().D4[msg::kJournalRestored].arg(put.positions.size()).arg(StartText(log.started));
  if (skipped > 0) line += lex().D4[msg::kJournalSkipped].arg(skipped).arg(log.damage.text());
  if (put.outside > 0) line += lex().D4[msg::kJournalOutside].arg(put.outside);
  return line + profileLost;
}

QString Journal::restoreProfile(const JournalLog& log) {
  if (log.profileNumber < 1) return {};
  ProfileBook* book = recorder_->book();
  if (SameFile(book->currentProfilePath(), log.profileFile) && log.profileNumber <= book->profileCount()) {
    book->selectFromTable(log.profileNumber);
    if (book->loadedNumber() == log.profileNumber) return {};
  }
  return lex().D4[msg::kJournalProfileLost].arg(log.profileNumber).arg(QDir::toNativeSeparators(log.profileFile));
}

}  // namespace zt
