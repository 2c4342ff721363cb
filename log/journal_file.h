#pragma once
// An append-only file for the journal. Each append is handed to the system
// at once (one write call, no buffer of ours), so it survives the process
// being killed; a thread of its own then syncs it to disk (fdatasync), so
// that it also survives a power cut without the UI thread ever waiting for
// the disk. Syncs are coalesced: a sync starts a moment after the append
// that asked for it, so that the records the same event brings (a row and
// the end of recording, say) go to disk together, and the UI thread does not
// append to a page that is being written out (the system would make it wait
// for the disk); records appended while a sync runs are synced right after.
#include <QByteArrayView>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace zt {

class JournalFile {
 public:
  static constexpr int kSyncDelayMs = 20;

  JournalFile() = default;
  ~JournalFile();
  JournalFile(const JournalFile&) = delete;
  JournalFile& operator=(const JournalFile&) = delete;

  // Opens `path` for appending, creating it when missing. False with the
  // system's reason.
  bool open(const QString& path, QString* error = nullptr);
  bool isOpen() const { return fd_ >= 0; }
  const QString& path() const { return path_; }
  // Writes all of `bytes` at the end of the file. False with the reason when
  // the system took less (a full disk): the file may then end in a part.
  bool append(QByteArrayView bytes, QString* error = nullptr);
  // Waits until everything appended so far is on disk.
  void sync();
  // Syncs what was appended, then closes.
  void close();
  // How many syncs have run since the file was opened.
  std::uint64_t syncCount() const;

 private:
  void run();

  int fd_ = -1;
  QString path_;
  std::thread worker_;
  mutable std::mutex m_;
  std::condition_variable wake_, synced_;
  std::uint64_t appended_ = 0;  // appends so far
  std::uint64_t onDisk_ = 0;    // appends synced
  std::uint64_t syncs_ = 0;
  bool created_ = false;  // the file is new: its folder entry is synced too
  bool stop_ = false;
};

}  // namespace zt
