#include "modem_probe.h"

#include "com_port.h"

namespace zt {

ModemProbe::ModemProbe(ComPort* port, QObject* parent) : QObject(parent), port_(port) {
  step_.setSingleShot(true);
  connect(&step_, &QTimer::timeout, this, [this] {
    if (stage_ == 1)
      secondAt();
    else
      readAnswer();
  });
}

void ModemProbe::start() {
  if (running_) return;
  if (!port_) {
    emit finished(false, {});
    return;
  }
  running_ = true;
  stage_ = 1;
  port_->setHeld(true);
  port_->writeText(QStringLiteral("AT"));
  step_.start(kProbeAnswerWaitMs);
}

void ModemProbe::secondAt() {
  if (!port_) return done({});
  port_->purge();
  port_->writeText(QStringLiteral("AT"));
  stage_ = 2;
  step_.start(kProbeAnswerWaitMs);
}

void ModemProbe::readAnswer() {
  if (!port_) return done({});
  QPointer<ModemProbe> self(this);
  port_->readBurst(kProbeReadBytes, kProbeFirstByteTimeoutMs, [self](const QByteArray& reply) {
    if (self) self->done(reply);
  });
}

void ModemProbe::done(const QByteArray& reply) {
  running_ = false;
  stage_ = 0;
  const bool answered = IsModemAnswer(reply);
  emit finished(answered, reply);
  // Bytes that came after the read go the ordinary way.
  if (port_) port_->setHeld(false);
}

}  // namespace zt
