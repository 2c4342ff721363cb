#pragma once
// The messages waiting for the broker. The caller's side only ever takes a
// short lock to append, so a broker that is down, slow or far away costs the
// caller nothing; the worker thread takes them out in batches.
//
// Bounded: when full, the oldest reading (QoS 0) makes room; only when no
// reading is left does the oldest row (QoS 1) go. Every message that makes
// room is counted, so nothing is ever dropped silently.
#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace zt {

enum class Qos : std::uint8_t { AtMostOnce = 0, AtLeastOnce = 1 };

struct PublishMessage {
  QByteArray topic;
  QByteArray payload;
  // When set, the payload is made from it on the worker thread just before
  // sending, so that the caller pays only for keeping the values (a reading
  // is cheap to copy, its JSON is not).
  std::function<QByteArray()> makePayload;
  Qos qos = Qos::AtMostOnce;
  bool retain = false;
};

struct PublishCounters {
  std::size_t queued = 0;             // waiting now (readings and rows)
  std::size_t queuedRows = 0;         // of which rows
  std::uint64_t droppedReadings = 0;  // made room while the queue was full, or lost with a connection
  std::uint64_t droppedRows = 0;      // rows that made room: only when the queue held nothing but rows
  std::uint64_t sentReadings = 0;     // handed to the network
  std::uint64_t ackedRows = 0;        // rows the broker has acknowledged
};

class PublishQueue {
 public:
  static constexpr std::size_t kDefaultCapacity = 10000;

  explicit PublishQueue(std::size_t capacity = kDefaultCapacity) : capacity_(capacity ? capacity : 1) {}

  std::size_t capacity() const { return capacity_; }

  // Appends and wakes a waiting worker. False when an older message had to go.
  bool push(PublishMessage message);

  // Up to `max` of the oldest rows / readings, in order.
  void takeRows(std::vector<PublishMessage>& out, std::size_t max);
  void takeReadings(std::vector<PublishMessage>& out, std::size_t max);
  // Rows that were sent but not acknowledged when a connection ended: they
  // go back in front, oldest first, to be sent again.
  void giveBackRows(std::vector<PublishMessage>&& rows);

  void countSentReadings(std::uint64_t n);
  void countLostReadings(std::uint64_t n);
  void countAckedRows(std::uint64_t n);

  PublishCounters counters() const;
  bool hasRows() const;
  bool empty() const;

  // Blocks the worker until wake() has been called since it last looked
  // (`seenWakes` keeps its count between calls, so a wake just before the
  // wait is not missed) or the time is up; with `orMessage` also until a
  // message is queued (at once when one waits).
  void waitForWork(std::chrono::milliseconds timeout, bool orMessage, std::uint64_t& seenWakes);
  void wake();

 private:
  // Called with the lock held: drops until one more message fits.
  bool makeRoomLocked();

  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<PublishMessage> readings_;
  std::deque<PublishMessage> rows_;
  std::uint64_t wakes_ = 0;
  PublishCounters counters_;
};

}  // namespace zt
