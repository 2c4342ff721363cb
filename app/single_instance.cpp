#include "single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace zt {

namespace {

constexpr int kWaitMs = 50;

// Per user, like the named objects of a Windows login session: an installed
// program has one path for everybody, and another user's copy, or the lock
// file it left behind (which this user may not open), must not turn this
// user away. The user's private runtime folder, else the shared temporary
// folder with the user's id in the name. The path itself cannot name a file;
// its hash can. (The name differs from the empty lock files of earlier
// versions, which a QLockFile could not tell from a live lock.)
QString LockPath(const QString& instanceName) {
  const QString hash =
      QString::fromLatin1(QCryptographicHash::hash(instanceName.toUtf8(), QCryptographicHash::Sha1).toHex());
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  QString name = QStringLiteral("zt-logger-%1.instance").arg(hash);
  if (folder.isEmpty()) {
    folder = QDir::tempPath();
#ifndef _WIN32
    name = QStringLiteral("zt-logger-%1-%2.instance").arg(::getuid()).arg(hash);
#endif
  }
  return QDir(folder).filePath(name);
}

}  // namespace

QString InstanceName(const QString& programPath) {
  QString name = programPath;
  name.replace(QLatin1Char('\\'), QLatin1Char('/'));
  return name;
}

SingleInstanceGuard::SingleInstanceGuard() = default;

SingleInstanceGuard::~SingleInstanceGuard() = default;  // unlocks

bool SingleInstanceGuard::acquire(const QString& instanceName) {
  lock_ = std::make_unique<QLockFile>(LockPath(instanceName));
  // Never stale by age: only when the copy that holds it is gone.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(kWaitMs)) return true;
  lock_.reset();
  return false;
}

}  // namespace zt
