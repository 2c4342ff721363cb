#pragma once
// One running copy per program path. The lock is one the operating system
// drops when the process ends in any way (also when killed), so a crashed
// copy never locks out the next start.
#include <QString>

namespace zt {

// The program path with every backslash turned into a forward slash.
QString InstanceName(const QString& programPath);

class SingleInstanceGuard {
 public:
  SingleInstanceGuard() = default;
  ~SingleInstanceGuard();
  SingleInstanceGuard(const SingleInstanceGuard&) = delete;
  SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

  // Takes the lock for `instanceName`, waiting at most 50 ms. False when
  // another copy holds it or the lock cannot be created.
  bool acquire(const QString& instanceName);

 private:
#ifdef _WIN32
  void* m_handle = nullptr;
#else
  int m_fd = -1;
#endif
  int m_releaseCount = 0;
};

}  // namespace zt
