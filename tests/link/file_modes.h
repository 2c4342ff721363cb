#pragma once
// Helpers for tests of a port the user may not open.
//
// FileModesEnforced: a process running as root opens any file whatever its
// mode. For the guard's lifetime the calling thread loses the two
// capabilities that allow this (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH) from
// its effective set; they stay permitted and are raised again at the end.
// Capabilities belong to each thread on Linux, so nothing else in the
// process changes. Not root: file modes apply already. ok() is false when
// neither holds (root elsewhere, or the call was refused).
//
// NoAccess: takes every permission off a file, restoring its mode at the end.
#include <QFile>
#include <QString>

#include <unistd.h>
#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

class FileModesEnforced {
 public:
  FileModesEnforced() {
    if (::geteuid() != 0) {
      ok_ = true;
      return;
    }
#ifdef __linux__
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;  // this thread
    if (::syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    if (::syscall(SYS_capset, &header_, lowered) != 0) return;
    lowered_ = true;
    ok_ = true;
#endif
  }
  ~FileModesEnforced() {
#ifdef __linux__
    if (lowered_) ::syscall(SYS_capset, &header_, saved_);
#endif
  }
  FileModesEnforced(const FileModesEnforced&) = delete;
  FileModesEnforced& operator=(const FileModesEnforced&) = delete;

  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
#ifdef __linux__
  bool lowered_ = false;
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
#endif
};

class NoAccess {
 public:
  explicit NoAccess(const QString& path) : path_(path), mode_(QFile::permissions(path)) { lock(); }
  ~NoAccess() { release(); }
  NoAccess(const NoAccess&) = delete;
  NoAccess& operator=(const NoAccess&) = delete;

  bool lock() { return QFile::setPermissions(path_, {}); }
  bool release() { return QFile::setPermissions(path_, mode_); }

 private:
  QString path_;
  QFile::Permissions mode_;
};
