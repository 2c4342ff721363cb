#include "publish_queue.h"

namespace zt {

bool PublishQueue::makeRoomLocked() {
  bool kept = true;
  while (readings_.size() + rows_.size() >= capacity_) {
    kept = false;
    if (!readings_.empty()) {
      readings_.pop_front();
      ++counters_.droppedReadings;
    } else {
      rows_.pop_front();
      ++counters_.droppedRows;
    }
  }
  return kept;
}

bool PublishQueue::push(PublishMessage message) {
  bool kept;
  {
    std::lock_guard lock(mutex_);
    kept = makeRoomLocked();
    (message.qos == Qos::AtMostOnce ? readings_ : rows_).push_back(std::move(message));
  }
  cv_.notify_all();
  return kept;
}

void PublishQueue::takeRows(std::vector<PublishMessage>& out, std::size_t max) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < max && !rows_.empty(); ++i) {
    out.push_back(std::move(rows_.front()));
    rows_.pop_front();
  }
}

void PublishQueue::takeReadings(std::vector<PublishMessage>& out, std::size_t max) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < max && !readings_.empty(); ++i) {
    out.push_back(std::move(readings_.front()));
    readings_.pop_front();
  }
}

void PublishQueue::giveBackRows(std::vector<PublishMessage>&& rows) {
  if (rows.empty()) return;
  {
    std::lock_guard lock(mutex_);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) rows_.push_front(std::move(*it));
    // Over the bound: readings first, then the oldest rows, as for a push.
    while (readings_.size() + rows_.size() > capacity_) {
      if (!readings_.empty()) {
        readings_.pop_front();
        ++counters_.droppedReadings;
      } else {
        rows_.pop_front();
        ++counters_.droppedRows;
      }
    }
  }
  rows.clear();
  cv_.notify_all();
}

void PublishQueue::countSentReadings(std::uint64_t n) {
  std::lock_guard lock(mutex_);
  counters_.sentReadings += n;
}

void PublishQueue::countLostReadings(std::uint64_t n) {
  std::lock_guard lock(mutex_);
  counters_.droppedReadings += n;
}

void PublishQueue::countAckedRows(std::uint64_t n) {
  std::lock_guard lock(mutex_);
  counters_.ackedRows += n;
}

PublishCounters PublishQueue::counters() const {
  std::lock_guard lock(mutex_);
  PublishCounters c = counters_;
  c.queued = readings_.size() + rows_.size();
  c.queuedRows = rows_.size();
  return c;
}

bool PublishQueue::hasRows() const {
  std::lock_guard lock(mutex_);
  return !rows_.empty();
}

bool PublishQueue::empty() const {
  std::lock_guard lock(mutex_);
  return readings_.empty() && rows_.empty();
}

void PublishQueue::waitForWork(std::chrono::milliseconds timeout, bool orMessage, std::uint64_t& seenWakes) {
  std::unique_lock lock(mutex_);
  cv_.wait_for(lock, timeout,
               [&] { return wakes_ != seenWakes || (orMessage && (!readings_.empty() || !rows_.empty())); });
  seenWakes = wakes_;
}

void PublishQueue::wake() {
  {
    std::lock_guard lock(mutex_);
    ++wakes_;
  }
  cv_.notify_all();
}

}  // namespace zt
