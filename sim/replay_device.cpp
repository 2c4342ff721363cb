#include "replay_device.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "data_folder.h"
#include "meter_model.h"

namespace zt::sim {

ReplayDevice::ReplayDevice(ReplayScript script, double speed, QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)), dongle_(script.dongle) {
  core_ = std::make_unique<ReplayModel>(std::move(script), speed, 0);
  clock_.start();
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &ReplayDevice::service);
}

ReplayDevice::~ReplayDevice() { stop(); }

bool ReplayDevice::Load(const QString& path, ReplayScript* script, QString* error) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
    return false;
  }
  if (f.size() > kCaptureMaxFileBytes) {
    *error = QStringLiteral("%1 is larger than a capture can be").arg(path);
    return false;
  }
  const CaptureParse parsed = ParseCapture(f.read(kCaptureMaxFileBytes));
  if (!parsed.ok()) {
    *error = QStringLiteral("%1, line %2: %3").arg(path).arg(parsed.errorLine).arg(parsed.error);
    return false;
  }
  QString why;
  if (!BuildReplayScript(parsed.records, script, &why)) {
    *error = QStringLiteral("%1: %2").arg(path, why);
    return false;
  }
  return true;
}

QString ReplayDevice::friendlyName() const {
  if (!name_.isEmpty()) return name_;
  return QString::fromLatin1(dongle_ ? kDongleName : kBridgeName);
}

QString ReplayDevice::registrationPath() const { return QDir(VirtualPortsFolder()).filePath(friendlyName()); }

bool ReplayDevice::start(QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    closeTerminal();
    return false;
  };
  if (isRunning()) return true;
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return fail(QStringLiteral("posix_openpt: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
    return fail(QStringLiteral("grantpt/unlockpt: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
  char name[128] = {};
  if (::ptsname_r(master_, name, sizeof name) != 0)
    return fail(QStringLiteral("ptsname: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
  // Held open so the master never sees a hang-up while no one reads.
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return fail(QStringLiteral("open %1: %2").arg(QString::fromLocal8Bit(name), std::strerror(errno)));
  termios tio{};
  if (::tcgetattr(slave_, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slave_, TCSANOW, &tio);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  portPath_ = QString::fromLocal8Bit(name);
  const QString folder = VirtualPortsFolder();
  if (!QDir().mkpath(folder)) return fail(QStringLiteral("cannot create %1").arg(folder));
  QFile reg(registrationPath());
  if (!reg.open(QIODevice::WriteOnly | QIODevice::Truncate) || reg.write(portPath_.toLocal8Bit()) < 0)
    return fail(QStringLiteral("cannot write %1").arg(reg.fileName()));
  reg.close();
  registeredAs_ = reg.fileName();
  notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &ReplayDevice::onReadable);
  service();
  return true;
}

void ReplayDevice::closeTerminal() {
  timer_->stop();
  delete notifier_;
  notifier_ = nullptr;
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
  if (!registeredAs_.isEmpty()) {
    QFile reg(registeredAs_);
    if (reg.open(QIODevice::ReadOnly)) {
      const bool ours = reg.readAll().trimmed() == portPath_.toLocal8Bit();
      reg.close();
      if (ours) QFile::remove(registeredAs_);
    }
    registeredAs_.clear();
  }
}

void ReplayDevice::stop() { closeTerminal(); }

void ReplayDevice::onReadable() {
  // Each read is one burst of the program's: a dongle takes the bytes that
  // arrive together as one command.
  char buf[1024];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n > 0) {
      core_->receive(QByteArrayView(buf, n), nowUs());
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  service();
}

void ReplayDevice::service() {
  if (!isRunning()) return;
  const qint64 now = nowUs();
  if (auto burst = core_->takeDue(now)) {
    const ssize_t n = ::write(master_, burst->constData(), size_t(burst->size()));
    if (n > 0) emit burstWritten(burst->left(n));
    if (!isRunning()) return;
  }
  if (core_->streamEnded() && !endSaid_) {
    endSaid_ = true;
    emit streamEnded();
  }
  const qint64 next = core_->nextEventUs();
  const qint64 waitMs = (next - nowUs() + 999) / 1000;
  timer_->start(int(std::clamp<qint64>(waitMs, 0, 60000)));
}

}  // namespace zt::sim
