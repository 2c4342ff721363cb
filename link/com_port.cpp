#include "com_port.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zt {

ComPort::ComPort(QObject* parent) : QObject(parent) {
  clock_.start();
  gapTimer_.setSingleShot(true);
  gapTimer_.setTimerType(Qt::PreciseTimer);
  firstByteTimer_.setSingleShot(true);
  connect(&gapTimer_, &QTimer::timeout, this, &ComPort::onGapElapsed);
  connect(&firstByteTimer_, &QTimer::timeout, this, &ComPort::onFirstByteTimeout);
  connect(&port_, &QSerialPort::readyRead, this, &ComPort::onReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &ComPort::onError);
}

ComPort::~ComPort() {
  blockSignals(true);
  readDone_ = nullptr;
  if (port_.isOpen()) port_.close();
}

void ComPort::setPortName(const QString& name) {
  name_ = name;
  port_.setPortName(name);
}

QString ComPort::portName() const { return name_; }

bool ComPort::isOpen() const { return port_.isOpen(); }

bool ComPort::openDevice() {
  port_.setBaudRate(kComPortBaudRate);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!port_.open(QIODevice::ReadWrite)) return false;
  configureLines();
  return true;
}

void ComPort::configureLines() {
  // A pseudo-terminal has no modem lines; Qt reports that as an unsupported
  // operation, which changes nothing for the link.
  quietLines_ = true;
  port_.setDataTerminalReady(false);
  port_.setRequestToSend(false);
  quietLines_ = false;
  port_.clearError();
}

bool ComPort::open() {
  if (port_.isOpen()) return true;
  hangUpQueued_ = false;
  dropPending();
  lastError_ = QSerialPort::NoError;
  if (!openDevice()) {
    port_.clearError();
    reportIfAccessDenied();
    return false;
  }
  accessDeniedReported_.remove(name_);
  emit afterOpen();
  return port_.isOpen();
}

void ComPort::close() {
  if (!port_.isOpen()) return;
  dropPending();
  port_.close();
  QThread::msleep(kReopenCheckMs);
  quietErrors_ = true;
  const bool stillThere = openDevice();
  quietErrors_ = false;
  port_.clearError();
  if (!stillThere) {
    finishRead({});
    emit deviceGone();
    return;
  }
  emit beforeClose();
  if (port_.isOpen()) port_.close();
  dropPending();
  finishRead({});
}

qint64 ComPort::write(const QByteArray& bytes) {
  if (!port_.isOpen() || hangUpQueued_) return -1;
  const qint64 n = port_.write(bytes);
  if (tap_ && n > 0)
    tap_->tapped(TapTransport::Serial, TapDirection::Sent, name_, n == bytes.size() ? bytes : bytes.left(n));
  // Hand the bytes to the driver now: a close right after a write (the "AT"
  // of the before-close handling) must not lose them.
  if (n > 0) {
    port_.flush();
    const qint64 start = std::max(nowMs(), lastWriteEndMs_);
    lastWriteEndMs_ = start + (n * kBitsPerByte * 1000 + kComPortBaudRate - 1) / kComPortBaudRate;
  }
  return n;
}

qint64 ComPort::writeText(const QString& text) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (const QChar c : text) bytes.append(static_cast<char>(c.unicode() & 0xFF));
  return write(bytes);
}

void ComPort::purge() {
  dropPending();
  if (port_.isOpen() && !hangUpQueued_) port_.clear(QSerialPort::AllDirections);
}

void ComPort::setHeld(bool held) {
  held_ = held;
  if (held_ || pending_.isEmpty()) return;
  deliverFullBursts();
  if (!pending_.isEmpty()) scheduleGap();
}

void ComPort::readBurst(int maxBytes, int firstByteTimeoutMs, ReadCallback done) {
  finishRead({});
  if (!done) return;
  if (!port_.isOpen()) {
    QTimer::singleShot(0, this, [done] { done({}); });
    return;
  }
  readMax_ = std::max(1, maxBytes);
  readDone_ = std::move(done);
  if (!pending_.isEmpty()) {
    deliverFullBursts();
    if (readDone_ && !pending_.isEmpty()) scheduleGap();
    return;
  }
  firstByteTimer_.start(std::max(0, firstByteTimeoutMs));
}

void ComPort::onReadyRead() {
  const QByteArray chunk = port_.readAll();
  if (chunk.isEmpty()) return;
  pending_.append(chunk);
  sinceLastByte_.start();
  lastReceivedMs_ = nowMs();
  if (held_ && !readDone_) return;
  firstByteTimer_.stop();
  deliverFullBursts();
  if (pending_.isEmpty())
    gapTimer_.stop();
  else
    gapTimer_.start(kBurstGapMs);
}

void ComPort::onGapElapsed() {
  if (pending_.isEmpty() || (held_ && !readDone_)) return;
  const int cap = burstCap();
  QByteArray burst = pending_.left(cap);
  pending_.remove(0, burst.size());
  deliver(std::move(burst));
  if (!pending_.isEmpty() && !(held_ && !readDone_)) scheduleGap();
}

void ComPort::onFirstByteTimeout() {
  if (readDone_ && pending_.isEmpty()) finishRead({});
}

void ComPort::onError(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::NoError) return;
  if (quietErrors_) return;
  if (quietLines_ && error == QSerialPort::UnsupportedOperationError) return;
  if (hangUpQueued_) return;  // the repeats of a hang-up already being handled
  const bool hungUp = (error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && port_.isOpen();
  if (hungUp) {
    // Qt keeps reporting a hung-up device from its read notifier until the
    // port is closed; close it from the event loop, outside that notifier.
    hangUpQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (!hangUpQueued_) return;
          hangUpQueued_ = false;
          close();
        },
        Qt::QueuedConnection);
  }
  const QString message = port_.errorString();
  lastError_ = error;
  port_.clearError();
  emit exception(error, message);
}

void ComPort::reportIfAccessDenied() {
#ifdef Q_OS_UNIX
  // Qt says "permission error" for a busy or locked port too; only the
  // device file's own access rights make it a matter for the user's groups.
  if (lastError_ != QSerialPort::PermissionError || accessDeniedReported_.contains(name_)) return;
  const QString path = name_.startsWith(u'/') ? name_ : QStringLiteral("/dev/") + name_;
  if (::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), R_OK | W_OK, AT_EACCESS) == 0 || errno != EACCES)
    return;
  accessDeniedReported_.insert(name_);
  QString group = QFileInfo(path).group();
  if (group.isEmpty()) group = QStringLiteral("dialout");  // what Debian gives serial devices
  emit accessDenied(name_, group);
#endif
}

int ComPort::burstCap() const { return readDone_ ? readMax_ : static_cast<int>(kMaxBurstBytes); }

void ComPort::deliverFullBursts() {
  while (!pending_.isEmpty() && !(held_ && !readDone_) && pending_.size() >= burstCap()) {
    const int cap = burstCap();
    QByteArray burst = pending_.left(cap);
    pending_.remove(0, cap);
    deliver(std::move(burst));
  }
}

void ComPort::deliver(QByteArray burst) {
  if (tap_) tap_->tapped(TapTransport::Serial, TapDirection::Received, name_, burst);
  if (readDone_) {
    finishRead(burst);
    return;
  }
  emit burstReceived(burst);
}

void ComPort::scheduleGap() {
  const qint64 quietFor = sinceLastByte_.isValid() ? sinceLastByte_.elapsed() : kBurstGapMs;
  gapTimer_.start(static_cast<int>(std::max<qint64>(0, kBurstGapMs - quietFor)));
}

void ComPort::finishRead(const QByteArray& burst) {
  if (!readDone_) return;
  ReadCallback done = std::move(readDone_);
  readDone_ = nullptr;
  firstByteTimer_.stop();
  done(burst);
}

void ComPort::dropPending() {
  pending_.clear();
  gapTimer_.stop();
}

}  // namespace zt
