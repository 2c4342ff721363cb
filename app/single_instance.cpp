#include "single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
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
  const QString lockPath = QDir(QDir::tempPath()).filePath(QStringLiteral("zt-logger-%1.lock").arg(QString::fromLatin1(hash)));
  m_fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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
