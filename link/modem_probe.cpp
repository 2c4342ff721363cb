#include "modem_probe.h"

#include "com_port.h"
#include "dongle_texts.h"

namespace zt {

ModemProbe::ModemProbe(ComPort* port, QObject* parent) : QObject(parent), port_(port) {
  texts_ = new DongleTexts(port, this);
  step_.setSingleShot(true);
  connect(&step_, &QTimer::timeout, this, [this] {
    if (stage_ == 1)
      secondAt();
    else
      readAnswer();
  });
}

void ModemProbe::setTexts(DongleTexts* texts) {
  if (texts) texts_ = texts;
}

// "AT" on its own; the wait for its answer starts once it has gone out.
void ModemProbe::sayAt() {
  QPointer<ModemProbe> self(this);
  texts_->send(QStringLiteral("AT"), DongleTexts::After::Quiet, [self](bool) {
    if (self && self->running_) self->step_.start(kProbeAnswerWaitMs);
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
  sayAt();
}

void ModemProbe::secondAt() {
  if (!port_) return done({});
  port_->purge();
  stage_ = 2;
  sayAt();
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
