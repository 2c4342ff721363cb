#include "journal_file.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zt {

namespace {

QString SystemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

int OpenForAppend(const QString& path) {
#ifdef Q_OS_WIN
  return ::_wopen(reinterpret_cast<const wchar_t*>(path.utf16()), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY,
                  _S_IREAD | _S_IWRITE);
#else
  return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
#endif
}

long long WriteSome(int fd, const char* data, std::size_t n) {
#ifdef Q_OS_WIN
  return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
#else
  return ::write(fd, data, n);
#endif
}

void SyncData(int fd) {
#ifdef Q_OS_WIN
  ::_commit(fd);
#elif defined(Q_OS_MACOS)
  ::fcntl(fd, F_FULLFSYNC);
#else
  ::fdatasync(fd);
#endif
}

// A new file's entry in its folder, so the file itself is found after a power cut.
void SyncFolderOf(const QString& path) {
#ifndef Q_OS_WIN
  const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
#else
  Q_UNUSED(path);
#endif
}

void CloseFd(int fd) {
#ifdef Q_OS_WIN
  ::_close(fd);
#else
  ::close(fd);
#endif
}

}  // namespace

JournalFile::~JournalFile() { close(); }

bool JournalFile::open(const QString& path, QString* error) {
  close();
  const bool existed = QFileInfo::exists(path);
  const int fd = OpenForAppend(path);
  if (fd < 0) {
    if (error) *error = SystemError(errno);
    return false;
  }
  fd_ = fd;
  path_ = path;
  {
    std::lock_guard lock(m_);
    appended_ = onDisk_ = syncs_ = 0;
    created_ = !existed;
    stop_ = false;
  }
  worker_ = std::thread([this] { run(); });
  return true;
}

bool JournalFile::append(QByteArrayView bytes, QString* error) {
  if (fd_ < 0) {
    if (error) *error = SystemError(EBADF);
    return false;
  }
  const char* p = bytes.data();
  std::size_t left = static_cast<std::size_t>(bytes.size());
  bool ok = true;
  int err = 0;
  while (left > 0) {
    const long long n = WriteSome(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      err = n < 0 ? errno : ENOSPC;
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  {
    std::lock_guard lock(m_);
    ++appended_;
  }
  wake_.notify_one();
  if (!ok && error) *error = SystemError(err);
  return ok;
}

void JournalFile::run() {
  std::unique_lock lock(m_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || appended_ != onDisk_; });
    if (appended_ == onDisk_) return;  // stopping with nothing left to sync
    // A moment for the rest of the records of the same event.
    if (!stop_) wake_.wait_for(lock, std::chrono::milliseconds(kSyncDelayMs), [this] { return stop_; });
    const std::uint64_t target = appended_;
    const bool folder = created_;
    created_ = false;
    lock.unlock();
    if (folder) SyncFolderOf(path_);
    SyncData(fd_);
    lock.lock();
    onDisk_ = target;
    ++syncs_;
    synced_.notify_all();
  }
}

void JournalFile::sync() {
  if (fd_ < 0) return;
  std::unique_lock lock(m_);
  const std::uint64_t target = appended_;
  synced_.wait(lock, [&] { return onDisk_ >= target; });
}

void JournalFile::close() {
  if (fd_ < 0) return;
  {
    std::lock_guard lock(m_);
    stop_ = true;
  }
  wake_.notify_one();
  if (worker_.joinable()) worker_.join();
  CloseFd(fd_);
  fd_ = -1;
}

std::uint64_t JournalFile::syncCount() const {
  std::lock_guard lock(m_);
  return syncs_;
}

}  // namespace zt
