#pragma once
// Publishes messages to an MQTT broker without ever making its caller wait
// for the network. publish() appends to a bounded queue and returns; a worker
// thread of its own owns the MQTT client (libmosquitto): it connects,
// reconnects by itself with growing pauses, hands queued messages to the
// broker and keeps every row (QoS 1) until the broker has acknowledged it. A
// row whose connection ended unacknowledged goes back to the queue and is
// sent again on the next connection, so a broker that restarts loses none
// (a subscriber may see such a row twice; its position tells).
//
// Presence: a retained status message on one topic, the online text while
// this publisher runs, the offline text as the broker's last will (a process
// that dies) and as the last word of a clean stop.
//
// Publish only: nothing is subscribed to and nothing the broker sends is
// acted on. The password goes to the broker and nowhere else: the state
// texts come from the MQTT library's error names and the broker's refusal
// reasons, never from the configuration.
#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "broker_config.h"
#include "publish_queue.h"

namespace zt {

enum class PublishState {
  Off,           // not configured, or switched off
  Connecting,    // an attempt is under way
  Connected,     // the broker has accepted us
  Disconnected,  // no connection: lost, refused or unreachable; the next attempt follows by itself
};

// What a Disconnected state's detail says, in kinds a window can word in its
// own language (the detail itself is the library's English).
enum class PublishReason {
  Other,          // anything else: the detail as it is
  Refused,        // the broker's host refused the connection
  Lost,           // an open connection went away
  UnknownHost,    // the name could not be looked up
  Tls,            // the TLS handshake or its certificates
  NoAnswer,       // nothing came back in time
  NotAuthorised,  // the broker refused the credentials
};

// The kind of a failure the MQTT library reported as `rc` (with the errno
// saved beside it), or of the broker's refusal code `connack`.
PublishReason ReasonOfLibraryError(int rc, int savedErrno);
PublishReason ReasonOfRefusal(int connack);

struct PublisherTimings {
  int reconnectMinMs = 1000;     // the first pause after a failed or lost connection
  int reconnectMaxMs = 30000;    // the pause doubles up to this
  int keepAliveS = 20;           // the broker declares us dead after 1.5 times this without a word
  int connectTimeoutMs = 10000;  // an attempt with no answer from the broker is given up
  int maxInFlightRows = 256;     // rows sent and not yet acknowledged
};

class Publisher : public QObject {
  Q_OBJECT

 public:
  explicit Publisher(PublisherTimings timings = {}, std::size_t capacity = PublishQueue::kDefaultCapacity,
                     QObject* parent = nullptr);
  // Stops as shutdown() does with a short flush.
  ~Publisher() override;

  // Starts publishing to this broker (replacing an earlier one; rows not yet
  // acknowledged there move to the new one), or stops when the configuration
  // is off. `clientId` names this program's connection at the broker.
  // Returns at once; the connection is made on the worker thread.
  void configure(const BrokerConfig& config, const QString& clientId);
  bool enabled() const { return enabled_.load(); }
  const BrokerConfig& config() const { return config_; }

  // The retained status topic and its texts. A new topic takes effect
  // through a new connection (the will belongs to the connection); the old
  // topic is told offline first. Empty topic: no presence.
  void setPresence(const QByteArray& topic, const QByteArray& online, const QByteArray& offline);
  // Another online text on the same topic (the link state changed).
  void setOnline(const QByteArray& online);

  // Queues a message. Any thread; never waits for the network. Ignored while
  // publishing is off. False when an older message was dropped to make room.
  bool publish(QByteArray topic, QByteArray payload, Qos qos, bool retain = false);
  // The same with a payload made on the worker thread when it is sent;
  // `makePayload` must only use what it holds itself.
  bool publish(QByteArray topic, std::function<QByteArray()> makePayload, Qos qos, bool retain = false);

  // A clean end: sends what is queued while the broker is there, for at most
  // `flushMs`, then the offline status, then disconnects (no will). Waits for
  // that at most `flushMs` plus a little; a worker still busy with the
  // network after that ends by itself.
  void shutdown(int flushMs);

  PublishState state() const { return state_; }
  // The last state's reason ("connection refused", "not authorised", ...).
  const QString& stateDetail() const { return detail_; }
  PublishReason stateReason() const { return reason_; }
  PublishCounters counters() const { return queue_->counters(); }

 signals:
  void stateChanged(zt::PublishState state, const QString& detail);

 public:
  struct Control;  // shared with the worker thread (publisher_worker.h)

 private:
  void retireWorker(bool flush, int flushMs);
  void workerState(std::uint64_t generation, PublishState state, const QString& detail, PublishReason reason);

  PublisherTimings timings_;
  std::shared_ptr<PublishQueue> queue_;
  BrokerConfig config_;
  std::shared_ptr<Control> worker_;   // the current worker's controls
  std::atomic<bool> enabled_{false};  // read by publish() on any thread
  std::vector<std::shared_ptr<Control>> retiring_;
  std::uint64_t generation_ = 0;
  QByteArray presenceTopic_, online_, offline_;
  PublishState state_ = PublishState::Off;
  QString detail_;
  PublishReason reason_ = PublishReason::Other;
};

}  // namespace zt

Q_DECLARE_METATYPE(zt::PublishState)
