#include "dongle_texts.h"

#include <QThread>

#include <algorithm>

#include "com_port.h"

namespace zt {

DongleTexts::DongleTexts(ComPort* port, QObject* parent) : QObject(parent), port_(port) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &DongleTexts::pump);
}

void DongleTexts::send(const QString& text, After after, Done done) {
  const bool queued = std::any_of(queue_.begin(), queue_.end(), [&](const Item& i) { return i.text == text; });
  if (queued) return;
  queue_.push_back({text, after, std::move(done)});
  if (queue_.size() == 1) pump();
}

void DongleTexts::sendNow(const QString& text) {
  clear();
  const qint64 wait = readyAtMs({text, After::Quiet, {}}) - port_->nowMs();
  if (wait > 0) QThread::msleep(static_cast<unsigned long>(wait));
  write(text);
}

void DongleTexts::clear() {
  timer_.stop();
  std::deque<Item> dropped;
  dropped.swap(queue_);
  for (Item& i : dropped)
    if (i.done) i.done(false);
}

qint64 DongleTexts::readyAtMs(const Item& item) const {
  qint64 at = std::max(port_->lastWriteEndMs(), port_->lastReceivedMs()) + kDongleQuietGapMs;
  // Bytes received after the last text are its answer (or at least show that
  // the dongle has taken it and is talking again).
  const bool answered = lastTextMs_ < 0 || port_->lastReceivedMs() >= lastTextMs_;
  if (item.after == After::Answer && !answered) at = std::max(at, lastTextMs_ + kDongleAnswerWaitMs);
  return at;
}

void DongleTexts::pump() {
  while (!queue_.empty()) {
    const qint64 wait = readyAtMs(queue_.front()) - port_->nowMs();
    if (wait > 0) {
      timer_.start(static_cast<int>(wait));
      return;
    }
    Item item = std::move(queue_.front());
    queue_.pop_front();
    // A port closed meanwhile takes nothing; the text is not sent.
    const bool written = port_->isOpen() && write(item.text);
    if (item.done) item.done(written);
  }
}

bool DongleTexts::write(const QString& text) {
  if (port_->writeText(text) <= 0) return false;
  lastTextMs_ = port_->nowMs();
  return true;
}

}  // namespace zt
