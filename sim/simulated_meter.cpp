#include "simulated_meter.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "data_folder.h"

namespace zt::sim {

SimulatedMeter::SimulatedMeter(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)), core_(std::make_unique<MeterModel>(options_, 0)) {
  clock_.start();
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &SimulatedMeter::service);
  unplugTimer_ = new QTimer(this);
  unplugTimer_->setSingleShot(true);
  connect(unplugTimer_, &QTimer::timeout, this, &SimulatedMeter::unplug);
  // Pulled out and plugged back, again and again.
  replugTimer_ = new QTimer(this);
  replugTimer_->setSingleShot(true);
  connect(replugTimer_, &QTimer::timeout, this, [this] {
    if (isRunning()) {
      unplug();
      replugTimer_->start(options_.replug.outMs);
    } else {
      start();
    }
  });
  attachObservers();
}

SimulatedMeter::~SimulatedMeter() { stop(); }

void SimulatedMeter::attachObservers() {
  core_->onCommand = [this](const QByteArray& c) {
    commands_.append(c);
    emit commandReceived(c);
  };
  core_->onText = [this](const QByteArray& t) { emit textReceived(t); };
  core_->onLinkChanged = [this](bool up) { emit linkChanged(up); };
  core_->onBurst = [this](const QByteArray& b, bool text) {
    bursts_.append(b);
    emit burstReceived(b, text);
  };
}

QString SimulatedMeter::registrationPath() const {
  return QDir(VirtualPortsFolder()).filePath(options_.friendlyName());
}

PowerState SimulatedMeter::powerState() const { return core_->powerState(nowMs()); }

bool SimulatedMeter::start(QString* error) {
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
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0)
    return fail(
        QStringLiteral("open %1: %2").arg(QString::fromLocal8Bit(name), QString::fromLocal8Bit(std::strerror(errno))));
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

  commands_.clear();
  bursts_.clear();
  core_->restartClock(nowMs());
  notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SimulatedMeter::onReadable);
  if (options_.faults.unplugAfterMs > 0) unplugTimer_->start(options_.faults.unplugAfterMs);
  if (options_.replug.active()) replugTimer_->start(options_.replug.inMs);
  service();
  emit started(portPath_);
  return true;
}

void SimulatedMeter::closeTerminal() {
  timer_->stop();
  unplugTimer_->stop();
  replugTimer_->stop();
  delete notifier_;
  notifier_ = nullptr;
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
  if (!registeredAs_.isEmpty()) {
    // Another simulator may have taken the name since; leave its file alone.
    QFile reg(registeredAs_);
    if (reg.open(QIODevice::ReadOnly)) {
      const bool ours = reg.readAll().trimmed() == portPath_.toLocal8Bit();
      reg.close();
      if (ours) QFile::remove(registeredAs_);
    }
    registeredAs_.clear();
  }
}

void SimulatedMeter::stop() { closeTerminal(); }

void SimulatedMeter::unplug() {
  if (!isRunning()) return;
  closeTerminal();
  emit unplugged();
}

void SimulatedMeter::kick() {
  if (isRunning()) service();
}

void SimulatedMeter::inject(const QByteArray& bytes) {
  core_->inject(bytes, nowMs());
  kick();
}

void SimulatedMeter::onReadable() {
  char buf[512];
  for (;;) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n > 0) {
      core_->receive(QByteArrayView(buf, n), nowMs());
      if (!isRunning()) return;  // an observer stopped us
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // EAGAIN: drained. EIO cannot happen while we hold the slave open.
  }
  service();
}

void SimulatedMeter::service() {
  if (!isRunning()) return;
  const qint64 now = nowMs();
  if (auto burst = core_->takeDue(now)) {
    // One write() per burst: the logger tells bursts apart by the silence
    // between them.
    const ssize_t n = ::write(master_, burst->constData(), size_t(burst->size()));
    if (n > 0) emit burstWritten(burst->left(n));
    if (!isRunning()) return;
  }
  const qint64 next = core_->nextEventMs();
  timer_->start(int(std::clamp<qint64>(next - nowMs(), 0, 60000)));
}

}  // namespace zt::sim
