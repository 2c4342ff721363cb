#pragma once
// The journal of the log: every row the recorder writes, and the events a
// reader of the log wants (recording started and stopped, link lost and
// back, start position set by hand, the log's end), appended to
// <data folder>/journal/current.journal before the row shows in the grid.
// At the next start the rows of a log that was not ended come back into the
// grid. A log that ends ("Очистка", another mode, a multi-part table built
// anew) moves to journal/archive/, named after its start; the newest 100
// are kept. docs/journal.md describes the file.
#include <QDateTime>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <thread>

#include "journal_file.h"
#include "journal_format.h"
#include "lexicons.h"
#include "notices.h"
#include "recorder.h"

namespace zt {

class Journal : public QObject {
  Q_OBJECT

 public:
  static constexpr int kArchiveKeep = 100;
  // The most of a journal read at start (a day of rows at two a second is
  // about 50 MB).
  static constexpr qint64 kMaxRead = qint64(256) << 20;

  // Journals what `recorder` writes, in `folder` (<data folder>/journal).
  // Nothing is written before restore().
  Journal(Recorder* recorder, const QString& folder, QObject* parent = nullptr);
  ~Journal() override;

  void setLexicons(const Lexicons* lex) { lex_ = lex ? lex : &Lexicons::russian(); }
  void setClock(std::function<QDateTime()> clock) { clock_ = std::move(clock); }

  QString folder() const { return folder_; }
  QString currentPath() const;    // <folder>/current.journal
  QString archiveFolder() const;  // <folder>/archive
  // Restore has run and this copy of the program keeps the journal.
  bool active() const { return active_; }

  // Start-up, once 1.dat is applied: takes the journal over, puts the rows
  // of a log the last run did not end back into the recorder, and journals
  // from then on. Returns the line for the operator (how many rows, from
  // when, what was skipped); empty when there was nothing to restore.
  QString restore();

  // Waits until everything journaled so far is on disk (and the copy of a
  // log kept before rows were written over is complete).
  void sync();

 public slots:
  void linkUp();
  void linkDown();

 signals:
  // A journal that cannot be written, or one kept by another copy.
  void notice(zt::NoticeLevel level, const QString& text);

 private:
  void row(const LogRow& row);
  void refilled(int gridRow);
  void recording(bool on);
  void position(int position);
  void end(LogEnd why);
  void link(bool up);
  void profile();
  void writingOver(int position);
  // The profile the journaled log was sorted against, selected again when its
  // file is the current one; otherwise the words for the operator.
  QString restoreProfile(const JournalLog& log);
  // A free name in the archive for a log begun at `started`.
  QString archiveName(const QDateTime& started) const;
  void waitForKeeper();
  QString restoreRows();

  bool ensureOpen(const QDateTime& started, bool multiPart);
  bool write(const QByteArray& line);
  // Moves the current file to the archive under its start time; false when
  // it could not be moved.
  bool archive(const QDateTime& started);
  void trimArchive();
  void setAside(const JournalLog& log);
  const Lexicons& lex() const { return *lex_; }

  Recorder* recorder_;
  QString folder_;
  const Lexicons* lex_;
  std::function<QDateTime()> clock_;
  std::unique_ptr<QLockFile> lock_;
  JournalFile file_;
  bool active_ = false;
  bool recording_ = false;
  bool linkUp_ = false;
  QDateTime started_;       // when the open journal's log began
  int rowsInFile_ = 0;      // row records in the open journal
  bool needBreak_ = false;  // the file may end inside a line
  bool failing_ = false;    // a failure to write has been told
  int profileNumber_ = 0;   // the profile the open journal names last
  QString profileFile_;
  std::thread keeper_;  // copies the log into the archive before rows are written over
};

}  // namespace zt
