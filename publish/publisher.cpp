#include "publisher.h"

#include "publisher_worker.h"

namespace zt {

namespace {
using Clock = PublishClock;
using std::chrono::milliseconds;
}  // namespace

// ---- Publisher

Publisher::Publisher(PublisherTimings timings, std::size_t capacity, QObject* parent)
    : QObject(parent), timings_(timings), queue_(std::make_shared<PublishQueue>(capacity)) {
  qRegisterMetaType<zt::PublishState>();
}

Publisher::~Publisher() { shutdown(1000); }

void Publisher::configure(const BrokerConfig& config, const QString& clientId) {
  if (worker_) retireWorker(false, 0);
  config_ = config;
  if (!config.enabled) {
    enabled_ = false;
    workerState(generation_, PublishState::Off, QString(), PublishReason::Other);
    return;
  }
  auto ctl = std::make_shared<Control>();
  ctl->generation = ++generation_;
  ctl->owner = this;
  ctl->topic = presenceTopic_;
  ctl->online = online_;
  ctl->offline = offline_;
  worker_ = ctl;
  enabled_ = true;
  ctl->thread = std::thread([ctl, queue = queue_, config, id = clientId.toUtf8(), t = timings_] {
    RunPublishWorker(ctl, queue, config, id, t);
    std::lock_guard lock(ctl->mutex);
    ctl->finished = true;
    ctl->finishedCv.notify_all();
  });
}

void Publisher::setPresence(const QByteArray& topic, const QByteArray& online, const QByteArray& offline) {
  presenceTopic_ = topic;
  online_ = online;
  offline_ = offline;
  if (!worker_) return;
  {
    std::lock_guard lock(worker_->mutex);
    worker_->topic = topic;
    worker_->online = online;
    worker_->offline = offline;
  }
  queue_->wake();
}

void Publisher::setOnline(const QByteArray& online) { setPresence(presenceTopic_, online, offline_); }

bool Publisher::publish(QByteArray topic, QByteArray payload, Qos qos, bool retain) {
  if (!enabled_.load(std::memory_order_relaxed)) return true;
  return queue_->push(PublishMessage{std::move(topic), std::move(payload), {}, qos, retain});
}

bool Publisher::publish(QByteArray topic, std::function<QByteArray()> makePayload, Qos qos, bool retain) {
  if (!enabled_.load(std::memory_order_relaxed)) return true;
  return queue_->push(PublishMessage{std::move(topic), {}, std::move(makePayload), qos, retain});
}

void Publisher::retireWorker(bool flush, int flushMs) {
  {
    std::lock_guard lock(worker_->mutex);
    worker_->stop = true;
    worker_->flush = flush;
    worker_->flushDeadline = Clock::now() + milliseconds(flushMs);
  }
  retiring_.push_back(std::move(worker_));
  worker_.reset();
  queue_->wake();
  // Workers that are done by now are joined; the others are left to end.
  for (auto it = retiring_.begin(); it != retiring_.end();) {
    std::unique_lock lock((*it)->mutex);
    if ((*it)->finished) {
      lock.unlock();
      (*it)->thread.join();
      it = retiring_.erase(it);
    } else {
      ++it;
    }
  }
}

void Publisher::shutdown(int flushMs) {
  if (worker_) retireWorker(true, flushMs);
  enabled_ = false;
  const Clock::time_point until = Clock::now() + milliseconds(flushMs) + kGoodbye + milliseconds(200);
  for (auto& ctl : retiring_) {
    std::unique_lock lock(ctl->mutex);
    ctl->finishedCv.wait_until(lock, until, [&] { return ctl->finished; });
    ctl->owner = nullptr;
    const bool done = ctl->finished;
    lock.unlock();
    // A worker still inside a name lookup or a connect ends by itself later;
    // it owns everything it touches.
    if (done)
      ctl->thread.join();
    else
      ctl->thread.detach();
  }
  retiring_.clear();
  if (state_ != PublishState::Off) {
    state_ = PublishState::Off;
    detail_.clear();
    reason_ = PublishReason::Other;
    emit stateChanged(state_, detail_);
  }
}

void Publisher::workerState(std::uint64_t generation, PublishState state, const QString& detail, PublishReason reason) {
  if (generation != generation_) return;  // a worker that has been replaced
  if (state == state_ && detail == detail_) return;
  state_ = state;
  detail_ = detail;
  reason_ = reason;
  emit stateChanged(state, detail);
}

}  // namespace zt
