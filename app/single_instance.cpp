#include "single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace zt {

namespace {
constexpr int kWaitMs = 50;
}

QString InstanceName(const QString& programPath) {
  QString name = programPath;
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return name;
}

#ifdef _WIN32

bool SingleInstanceGuard::acquire(const QString& instanceName) {
  m_releaseCount = 0;
  // A named semaphore disappears with the last handle, so a killed copy
  // releases it too.
  m_handle = CreateSemaphoreW(nullptr, 1, 1, reinterpret_cast<LPCWSTR>(instanceName.utf16()));
  if (!m_handle) return false;
  if (WaitForSingleObject(m_handle, kWaitMs) != WAIT_OBJECT_0) return false;
  m_releaseCount = 1;
  return true;
}

SingleInstanceGuard::~SingleInstanceGuard() {
  if (m_handle) {
    if (m_releaseCount > 0) ReleaseSemaphore(m_handle, m_releaseCount, nullptr);
    CloseHandle(m_handle);
  }
}

#else

bool SingleInstanceGuard::acquire(const QString& instanceName) {
  m_releaseCount = 0;
  // The path itself cannot name a file; its hash can. flock() locks are
  // released by the kernel when the holder dies, however it dies.
  const QByteArray hash = QCryptographicHash::hash(instanceName.toUtf8(), QCryptographicHash::Sha1).toHex();
  // Per user, like the named objects of a Windows login session: an
  // installed program has one path for everybody, and another user's copy,
  // or the lock file it left behind (which this user may not open), must not
  // turn this user away. The user's private runtime folder, else the shared
  // temporary folder with the user's id in the name.
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  QString name = QStringLiteral("zt-logger-%1.lock").arg(QString::fromLatin1(hash));
  if (folder.isEmpty()) {
    folder = QDir::tempPath();
    name = QStringLiteral("zt-logger-%1-%2.lock").arg(::getuid()).arg(QString::fromLatin1(hash));
  }
  const QString lockPath = QDir(folder).filePath(name);
  m_fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (m_fd < 0) return false;
  QElapsedTimer t;
  t.start();
  for (;;) {
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
      m_releaseCount = 1;
      return true;
    }
    if (t.elapsed() >= kWaitMs) return false;
    QThread::msleep(5);
  }
}

SingleInstanceGuard::~SingleInstanceGuard() {
  if (m_fd >= 0) {
    if (m_releaseCount > 0) ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
  }
}

#endif

}  // namespace zt
