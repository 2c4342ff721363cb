#pragma once
// One running copy per program path. The lock is a QLockFile, as the
// journal's: it names the process that holds it, so the lock of a copy that
// was killed or crashed is found stale and taken over at the next start.
#include <QString>

#include <memory>

class QLockFile;

namespace zt {

// The program path with every backslash turned into a forward slash.
QString InstanceName(const QString& programPath);

class SingleInstanceGuard {
 public:
  SingleInstanceGuard();
  ~SingleInstanceGuard();
  SingleInstanceGuard(const SingleInstanceGuard&) = delete;
  SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

  // Takes the lock for `instanceName`, waiting at most 50 ms. False when
  // another copy holds it or the lock cannot be created.
  bool acquire(const QString& instanceName);

 private:
  std::unique_ptr<QLockFile> lock_;
};

}  // namespace zt
