#pragma once
// What a Publisher and its worker thread share, and the worker itself: the
// thread that owns the MQTT client (publisher_worker.cpp). Only the
// publisher includes this.
#include <QByteArray>
#include <QMetaObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "publisher.h"

namespace zt {

using PublishClock = std::chrono::steady_clock;

// How long the end of a connection may take: the offline status and the
// acknowledgements still outstanding.
inline constexpr std::chrono::milliseconds kGoodbye{800};

// What the owner and one worker share.
struct Publisher::Control {
  std::uint64_t generation = 0;
  std::thread thread;

  std::mutex mutex;
  std::condition_variable finishedCv;
  bool finished = false;
  Publisher* owner = nullptr;  // null once the owner has let go of this worker
  bool stop = false;
  bool flush = false;
  PublishClock::time_point flushDeadline;
  // The presence the owner wants; the worker applies it.
  QByteArray topic, online, offline;

  void post(PublishState state, const QString& detail, PublishReason reason = PublishReason::Other) {
    std::lock_guard lock(mutex);
    if (!owner) return;
    Publisher* o = owner;
    const std::uint64_t gen = generation;
    QMetaObject::invokeMethod(
        o, [o, gen, state, detail, reason] { o->workerState(gen, state, detail, reason); }, Qt::QueuedConnection);
  }
};

// Connects, publishes and reconnects until `control` says stop, then says
// offline and disconnects. Runs on the worker's own thread.
void RunPublishWorker(std::shared_ptr<Publisher::Control> control, std::shared_ptr<PublishQueue> queue,
                      BrokerConfig config, QByteArray clientId, PublisherTimings timings);

}  // namespace zt
