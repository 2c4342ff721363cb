// The worker thread of a Publisher: it owns the libmosquitto client from
// its creation to its end, and nothing else touches it.
#include "publisher_worker.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <set>
#include <vector>

namespace zt {

namespace {

using Clock = PublishClock;
using std::chrono::milliseconds;

// Readings handed to the socket per turn of the worker's loop; rows are
// bounded by the in-flight window instead.
constexpr std::size_t kReadingBatch = 256;

// A payload made late is made once: a row sent again keeps its bytes.
void Materialise(PublishMessage& m) {
  if (!m.makePayload) return;
  m.payload = m.makePayload();
  m.makePayload = nullptr;
}

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { mosquitto_lib_init(); });
}

// What an error number of the MQTT library means. Never built from the
// configuration, so it cannot carry a password.
QString ErrorText(int rc, int savedErrno) {
  if (rc == MOSQ_ERR_ERRNO && savedErrno != 0) return QString::fromLocal8Bit(std::strerror(savedErrno));
  return QString::fromUtf8(mosquitto_strerror(rc));
}

class Worker {
 public:
  Worker(std::shared_ptr<Publisher::Control> control, std::shared_ptr<PublishQueue> queue, BrokerConfig config,
         QByteArray clientId, PublisherTimings timings)
      : ctl_(std::move(control)),
        queue_(std::move(queue)),
        config_(std::move(config)),
        clientId_(std::move(clientId)),
        t_(timings),
        backoff_(milliseconds(t_.reconnectMinMs)) {}

  void run() {
    InitLibrary();
    nextAttempt_ = Clock::now();
    for (;;) {
      if (stopping()) break;
      if (!mosq_) {
        if (Clock::now() < nextAttempt_) {
          const Clock::time_point until = attemptOrDeadline();
          if (until > Clock::now())
            queue_->waitForWork(std::chrono::ceil<milliseconds>(until - Clock::now()), false, seen_);
          continue;
        }
        beginConnect();
        continue;
      }
      if (!connected_) {
        loopOnce(milliseconds(50));
        if (mosq_ && !connected_ && Clock::now() > connectDeadline_)
          drop(QStringLiteral("no answer from the broker"), PublishReason::NoAnswer);
        continue;
      }
      if (applyPresence()) continue;
      if (!handOut()) {
        drop(QStringLiteral("the connection is gone"), PublishReason::Lost);
        continue;
      }
      const bool busy = !inFlight_.empty() || !statusMids_.empty() || mosquitto_want_write(mosq_);
      if (!busy) queue_->waitForWork(milliseconds(1000), true, seen_);
      loopOnce(milliseconds(busy ? 20 : 0));
    }
    finish();
  }

 private:
  // ---- stopping

  bool stopping() {
    std::lock_guard lock(ctl_->mutex);
    if (!ctl_->stop) return false;
    // A clean end sends what is queued while the broker is there; rows
    // still waiting for a broker that is away are worth prompt attempts
    // until the deadline.
    if (!ctl_->flush || Clock::now() >= ctl_->flushDeadline) return true;
    if (connected_) return queue_->empty() && inFlight_.empty();
    if (!queue_->hasRows() && inFlight_.empty()) return true;
    if (!flushing_) {
      flushing_ = true;
      backoff_ = milliseconds(t_.reconnectMinMs);
      if (!mosq_) nextAttempt_ = std::min(nextAttempt_, Clock::now());
    }
    return false;
  }

  // The next attempt's time, or the flush deadline when that comes first.
  Clock::time_point attemptOrDeadline() {
    std::lock_guard lock(ctl_->mutex);
    return ctl_->stop && ctl_->flush ? std::min(nextAttempt_, ctl_->flushDeadline) : nextAttempt_;
  }

  void finish() {
    if (mosq_ && connected_) {
      const Clock::time_point until = Clock::now() + kGoodbye;
      if (!appliedTopic_.isEmpty()) sendStatus(appliedTopic_, appliedOffline_);
      while (mosq_ && (!inFlight_.empty() || !statusMids_.empty()) && Clock::now() < until) loopOnce(milliseconds(20));
      if (mosq_) {
        // A clean disconnect: the broker forgets the will, the offline status
        // above says it instead.
        mosquitto_disconnect(mosq_);
        while (mosq_ && mosquitto_want_write(mosq_) && Clock::now() < until) loopOnce(milliseconds(20));
      }
    }
    closeConnection();
    ctl_->post(PublishState::Off, QString());
  }

  // ---- connecting

  void beginConnect() {
    {
      std::lock_guard lock(ctl_->mutex);
      appliedTopic_ = ctl_->topic;
      appliedOffline_ = ctl_->offline;
    }
    appliedOnline_.clear();
    mosq_ = mosquitto_new(clientId_.constData(), true, this);
    if (!mosq_) {
      fail(QStringLiteral("out of memory"));
      return;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    // The window is ours (maxInFlightRows); the library sends what it is given.
    mosquitto_max_inflight_messages_set(mosq_, 0);
    mosquitto_connect_callback_set(mosq_, &Worker::onConnect);
    mosquitto_disconnect_callback_set(mosq_, &Worker::onDisconnect);
    mosquitto_publish_callback_set(mosq_, &Worker::onPublish);
    int rc = MOSQ_ERR_SUCCESS;
    if (!config_.user.isEmpty()) {
      const QByteArray user = config_.user.toUtf8();
      const QByteArray pass = config_.password.toUtf8();
      rc = mosquitto_username_pw_set(mosq_, user.constData(), config_.password.isEmpty() ? nullptr : pass.constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && config_.tls) {
      if (config_.caFile.isEmpty()) {
        rc = mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
      } else {
        const QByteArray ca = config_.caFile.toLocal8Bit();
        rc = mosquitto_tls_set(mosq_, ca.constData(), nullptr, nullptr, nullptr, nullptr);
      }
    }
    if (rc == MOSQ_ERR_SUCCESS && !appliedTopic_.isEmpty()) {
      rc = mosquitto_will_set(mosq_, appliedTopic_.constData(), int(appliedOffline_.size()),
                              appliedOffline_.constData(), 1, true);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
      fail(ErrorText(rc, errno), ReasonOfLibraryError(rc, errno));
      return;
    }
    ctl_->post(PublishState::Connecting, QString());
    const QByteArray host = config_.host.toUtf8();
    errno = 0;
    rc = mosquitto_connect_async(mosq_, host.constData(), config_.port, t_.keepAliveS);
    if (rc != MOSQ_ERR_SUCCESS) {
      const int savedErrno = errno;
      fail(ErrorText(rc, savedErrno), ReasonOfLibraryError(rc, savedErrno));
      return;
    }
    connected_ = false;
    refusal_.clear();
    connectDeadline_ = Clock::now() + milliseconds(t_.connectTimeoutMs);
  }

  static void onConnect(mosquitto*, void* obj, int rc) {
    auto* self = static_cast<Worker*>(obj);
    if (rc == 0) {
      self->connected_ = true;
      self->backoff_ = milliseconds(self->t_.reconnectMinMs);
      self->ctl_->post(PublishState::Connected, QString());
    } else {
      // Refused: wrong credentials, not authorised, ... (the broker's reason).
      self->refusal_ = QString::fromUtf8(mosquitto_connack_string(rc));
      self->refusalReason_ = ReasonOfRefusal(rc);
    }
  }

  static void onDisconnect(mosquitto*, void* obj, int rc) {
    auto* self = static_cast<Worker*>(obj);
    self->lost_ = true;
    self->lostRc_ = rc;
  }

  static void onPublish(mosquitto*, void* obj, int mid) {
    auto* self = static_cast<Worker*>(obj);
    if (self->statusMids_.erase(mid)) return;
    for (auto it = self->inFlight_.begin(); it != self->inFlight_.end(); ++it) {
      if (it->first == mid) {
        self->inFlight_.erase(it);
        self->queue_->countAckedRows(1);
        return;
      }
    }
  }

  // ---- the connection's life

  void loopOnce(milliseconds timeout) {
    errno = 0;
    const int rc = mosquitto_loop(mosq_, int(timeout.count()), 1);
    const int savedErrno = errno;
    if (!refusal_.isEmpty()) {
      drop(refusal_, refusalReason_);
    } else if (rc != MOSQ_ERR_SUCCESS) {
      drop(ErrorText(rc, savedErrno), ReasonOfLibraryError(rc, savedErrno));
    } else if (lost_) {
      const int lostRc = lostRc_ ? lostRc_ : MOSQ_ERR_CONN_LOST;
      // A connection that ends by itself is lost, whatever the number says.
      const PublishReason r = ReasonOfLibraryError(lostRc, 0);
      drop(ErrorText(lostRc, 0), r == PublishReason::Other ? PublishReason::Lost : r);
    }
  }

  void closeConnection() {
    if (mosq_) mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    connected_ = false;
    lost_ = false;
    lostRc_ = 0;
    refusal_.clear();
    statusMids_.clear();
    // Rows the broker never acknowledged go out again on the next connection.
    std::vector<PublishMessage> back;
    back.reserve(inFlight_.size());
    for (auto& [mid, msg] : inFlight_) back.push_back(std::move(msg));
    inFlight_.clear();
    queue_->giveBackRows(std::move(back));
  }

  // By value: the detail may be a member that closing clears.
  void fail(QString detail, PublishReason reason = PublishReason::Other) {
    closeConnection();
    nextAttempt_ = Clock::now() + backoff_;
    backoff_ = std::min(backoff_ * 2, milliseconds(t_.reconnectMaxMs));
    ctl_->post(PublishState::Disconnected, detail, reason);
  }

  void drop(QString detail, PublishReason reason = PublishReason::Other) { fail(std::move(detail), reason); }

  // ---- presence

  void sendStatus(const QByteArray& topic, const QByteArray& payload) {
    int mid = 0;
    if (mosquitto_publish(mosq_, &mid, topic.constData(), int(payload.size()), payload.constData(), 1, true) ==
        MOSQ_ERR_SUCCESS)
      statusMids_.insert(mid);
  }

  // True when the connection was ended to change the will.
  bool applyPresence() {
    QByteArray topic, online, offline;
    {
      std::lock_guard lock(ctl_->mutex);
      topic = ctl_->topic;
      online = ctl_->online;
      offline = ctl_->offline;
    }
    if (topic != appliedTopic_ || offline != appliedOffline_) {
      // The will belongs to the connection: say offline on the old topic and
      // connect again with the new will.
      const Clock::time_point until = Clock::now() + kGoodbye;
      if (!appliedTopic_.isEmpty()) sendStatus(appliedTopic_, appliedOffline_);
      while (mosq_ && !statusMids_.empty() && Clock::now() < until) loopOnce(milliseconds(20));
      if (mosq_) {
        mosquitto_disconnect(mosq_);
        while (mosq_ && mosquitto_want_write(mosq_) && Clock::now() < until) loopOnce(milliseconds(20));
      }
      closeConnection();
      nextAttempt_ = Clock::now();
      return true;
    }
    if (!topic.isEmpty() && online != appliedOnline_) {
      sendStatus(topic, online);
      appliedOnline_ = online;
    }
    return false;
  }

  // ---- messages

  // False when the library would not take a message (the connection is gone).
  bool handOut() {
    const std::size_t room = std::size_t(std::max(0, t_.maxInFlightRows - int(inFlight_.size())));
    if (room > 0) {
      batch_.clear();
      queue_->takeRows(batch_, room);
      for (std::size_t i = 0; i < batch_.size(); ++i) {
        PublishMessage& m = batch_[i];
        Materialise(m);
        int mid = 0;
        const int rc = mosquitto_publish(mosq_, &mid, m.topic.constData(), int(m.payload.size()), m.payload.constData(),
                                         1, m.retain);
        if (rc != MOSQ_ERR_SUCCESS) {
          // Not taken (the connection is going): back in front with the rest.
          std::vector<PublishMessage> rest(std::make_move_iterator(batch_.begin() + std::ptrdiff_t(i)),
                                           std::make_move_iterator(batch_.end()));
          queue_->giveBackRows(std::move(rest));
          return false;
        }
        inFlight_.emplace_back(mid, std::move(m));
      }
    }
    // Readings only while the socket keeps up: a slow broker leaves them in
    // the bounded queue, where the oldest make room.
    if (mosquitto_want_write(mosq_)) return true;
    batch_.clear();
    queue_->takeReadings(batch_, kReadingBatch);
    std::uint64_t sent = 0, lost = 0;
    for (PublishMessage& m : batch_) {
      Materialise(m);
      const int rc = mosquitto_publish(mosq_, nullptr, m.topic.constData(), int(m.payload.size()),
                                       m.payload.constData(), 0, m.retain);
      (rc == MOSQ_ERR_SUCCESS ? sent : lost) += 1;
    }
    if (sent) queue_->countSentReadings(sent);
    if (lost) queue_->countLostReadings(lost);
    return lost == 0;
  }

  std::shared_ptr<Publisher::Control> ctl_;
  std::shared_ptr<PublishQueue> queue_;
  const BrokerConfig config_;
  const QByteArray clientId_;
  const PublisherTimings t_;

  mosquitto* mosq_ = nullptr;
  bool connected_ = false;
  bool lost_ = false;
  int lostRc_ = 0;
  QString refusal_;
  PublishReason refusalReason_ = PublishReason::Other;
  milliseconds backoff_;
  Clock::time_point nextAttempt_;
  Clock::time_point connectDeadline_;
  std::uint64_t seen_ = 0;
  bool flushing_ = false;  // stopping, with rows to send first

  std::deque<std::pair<int, PublishMessage>> inFlight_;  // rows sent, not yet acknowledged, oldest first
  std::set<int> statusMids_;
  std::vector<PublishMessage> batch_;
  QByteArray appliedTopic_, appliedOffline_, appliedOnline_;
};

}  // namespace

PublishReason ReasonOfLibraryError(int rc, int savedErrno) {
  switch (rc) {
    case MOSQ_ERR_ERRNO:
      if (savedErrno == ECONNREFUSED) return PublishReason::Refused;
      if (savedErrno == ECONNRESET || savedErrno == EPIPE) return PublishReason::Lost;
      if (savedErrno == ETIMEDOUT) return PublishReason::NoAnswer;
      return PublishReason::Other;
    case MOSQ_ERR_CONN_REFUSED: return PublishReason::Refused;
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN: return PublishReason::Lost;
    case MOSQ_ERR_EAI: return PublishReason::UnknownHost;
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE: return PublishReason::Tls;
    case MOSQ_ERR_AUTH: return PublishReason::NotAuthorised;
    default: return PublishReason::Other;
  }
}

PublishReason ReasonOfRefusal(int connack) {
  // MQTT 3.1.1: 4 bad user name or password, 5 not authorised.
  if (connack == 4 || connack == 5) return PublishReason::NotAuthorised;
  return connack == 0 ? PublishReason::Other : PublishReason::Refused;
}

void RunPublishWorker(std::shared_ptr<Publisher::Control> control, std::shared_ptr<PublishQueue> queue,
                      BrokerConfig config, QByteArray clientId, PublisherTimings timings) {
  Worker(std::move(control), std::move(queue), std::move(config), std::move(clientId), timings).run();
}

}  // namespace zt
