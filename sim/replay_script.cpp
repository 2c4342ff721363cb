#include "replay_script.h"

#include <algorithm>
#include <limits>

namespace zt::sim {

namespace {

constexpr qint64 kFar = std::numeric_limits<qint64>::max() / 4;

bool IsText(const QByteArray& b) { return b.startsWith("AT"); }

// The dongle's answers that bring the link up, as the logger reads them.
bool IsLinkUp(const QByteArray& b) {
  return b == "OK+CONN" || b == "OK+CONN\r\n" || (b.size() >= 18 && b.startsWith("OK+CONNLOK+CONN\r\n"));
}

bool IsLost(const QByteArray& b) { return b == "OK+LOST"; }

bool IsCommand(const QByteArray& b) { return b.size() >= 6 && b.size() % 6 == 0 && b[4] == '\x0A'; }

}  // namespace

bool BuildReplayScript(const QList<CaptureRecord>& records, ReplayScript* script, QString* error) {
  bool serialRx = false;
  for (const CaptureRecord& r : records)
    if (r.transport == TapTransport::Serial && r.direction == TapDirection::Received) serialRx = true;
  const TapTransport use = serialRx ? TapTransport::Serial : TapTransport::Ble;
  bool dongle = false;
  if (use == TapTransport::Serial)
    for (const CaptureRecord& r : records)
      if (r.transport == use && r.direction == TapDirection::Received && IsLinkUp(r.bytes)) dongle = true;

  ReplayScript s;
  s.dongle = dongle;
  ReplaySession cur;
  enum class At { Dialogue, Stream, Closing } at = dongle ? At::Dialogue : At::Stream;
  bool originSet = false;
  bool anything = false;
  auto closeSession = [&] {
    s.sessions.append(std::move(cur));
    cur = ReplaySession{};
    at = At::Dialogue;
  };
  for (const CaptureRecord& r : records) {
    if (r.transport != use) continue;
    const bool rx = r.direction == TapDirection::Received;
    if (!rx) {
      if (dongle && IsText(r.bytes)) {
        if (at == At::Stream) {
          cur.closing = ReplayExchange{r.bytes, r.timeUs, {}};
          at = At::Closing;
        } else if (at == At::Dialogue) {
          cur.exchanges.append({r.bytes, r.timeUs, {}});
        }
        // A text while the link is closing: the close is still answered.
      } else if (at == At::Stream && originSet && IsCommand(r.bytes)) {
        cur.stream.append({r.timeUs, {}, true});
      }
      continue;
    }
    switch (at) {
      case At::Dialogue: {
        if (cur.exchanges.isEmpty()) break;  // nothing asked yet: noise
        ReplayExchange& ex = cur.exchanges.last();
        const bool up = IsLinkUp(r.bytes);
        ex.answers.append({r.timeUs - ex.atUs, r.bytes, up});
        anything = true;
        if (up) {
          cur.originUs = r.timeUs;
          originSet = true;
          at = At::Stream;
        }
        break;
      }
      case At::Stream:
        if (!originSet) {
          cur.originUs = r.timeUs;
          originSet = true;
        }
        cur.stream.append({r.timeUs, r.bytes, false});
        anything = true;
        if (r.bytes.size() == 18) ++s.frames;
        if (dongle && IsLost(r.bytes)) closeSession();
        break;
      case At::Closing:
        cur.closing->answers.append({r.timeUs - cur.closing->atUs, r.bytes, false});
        anything = true;
        if (IsLost(r.bytes)) closeSession();
        break;
    }
  }
  if (!cur.exchanges.isEmpty() || !cur.stream.isEmpty() || cur.closing) s.sessions.append(std::move(cur));
  if (!anything || s.sessions.isEmpty()) {
    if (error) *error = QStringLiteral("the capture holds nothing the meter sent");
    return false;
  }
  *script = std::move(s);
  return true;
}

ReplayModel::ReplayModel(ReplayScript script, double speed, qint64 nowUs)
    : script_(std::move(script)),
      speed_(speed > 0 ? speed : 1.0),
      phase_(script_.dongle ? Phase::Dialogue : Phase::Waiting) {
  (void)nowUs;
}

qint64 ReplayModel::scaled(qint64 captureUs) const { return qint64(double(captureUs) / speed_); }

qint64 ReplayModel::notBefore(qint64 t) const {
  return std::max({t, lastWriteUs_ + kMinGapMs * 1000, lastCommandUs_ + kAfterCommandMs * 1000});
}

qint64 ReplayModel::itemDue(int index) const {
  const ReplaySession& s = script_.sessions[session_];
  return baseUs_ + scaled(s.stream[index].atUs - s.originUs);
}

bool ReplayModel::streamEnded() const {
  return phase_ == Phase::Stream && pos_ >= script_.sessions[session_].stream.size();
}

void ReplayModel::receive(QByteArrayView bytes, qint64 now) {
  if (bytes.isEmpty()) return;
  if (phase_ == Phase::Waiting) {
    // A bridge forwards the meter as soon as someone talks to the port.
    startStream(now + kMinGapMs * 1000);
    return;
  }
  const QByteArray burst = bytes.toByteArray();
  if (burst == "AT" || burst == "AT+CONNL") {
    if (script_.dongle) onText(burst, now);
    return;
  }
  if (burst.size() % 6 != 0) return;
  for (qsizetype i = 0; i < burst.size(); i += 6)
    if (burst[i + 4] != '\x0A') return;
  for (qsizetype i = 0; i < burst.size(); i += 6) onCommand(now);
}

const ReplayExchange* ReplayModel::exchangeFor(const QByteArray& text) {
  // This session's exchanges of that text in turn, the last one again once
  // used up; a session that has none borrows the latest earlier one.
  for (int s = session_; s >= 0; --s) {
    QList<const ReplayExchange*> same;
    for (const ReplayExchange& e : script_.sessions[s].exchanges)
      if (e.text == text) same.append(&e);
    if (same.isEmpty()) continue;
    if (s != session_) return same.last();
    int& n = used_[text];
    const ReplayExchange* e = same[std::min<qsizetype>(n, same.size() - 1)];
    ++n;
    return e;
  }
  return nullptr;
}

void ReplayModel::onText(const QByteArray& text, qint64 now) {
  // A new text cancels what the dongle had yet to say about the last one.
  out_.clear();
  if (phase_ == Phase::Stream) {
    const ReplaySession& s = script_.sessions[session_];
    if (s.closing && !s.closing->answers.isEmpty()) {
      for (const ReplayAnswer& a : s.closing->answers) out_.push_back({now + scaled(a.afterUs), a.bytes, false});
    } else {
      out_.push_back({now, QByteArrayLiteral("OK+LOST"), false});
    }
    endStream();
    return;
  }
  const ReplayExchange* e = exchangeFor(text);
  if (!e) {
    if (text == "AT") out_.push_back({now, QByteArrayLiteral("OK"), false});
    return;
  }
  for (const ReplayAnswer& a : e->answers) out_.push_back({now + scaled(a.afterUs), a.bytes, a.linkUp});
}

void ReplayModel::onCommand(qint64 now) {
  if (phase_ != Phase::Stream) return;
  lastCommandUs_ = now;
  ++commandsSeen_;
  const ReplaySession& s = script_.sessions[session_];
  int j = pos_;
  while (j < s.stream.size() && !s.stream[j].command) ++j;
  if (j >= s.stream.size()) return;
  // What the meter sent after the captured command comes as long after this one.
  baseUs_ = now - scaled(s.stream[j].atUs - s.originUs);
  if (j == pos_) {
    ++pos_;
    ++anchorsPassed_;
    pauseUntilUs_ = -1;
  }
}

void ReplayModel::startStream(qint64 now) {
  phase_ = Phase::Stream;
  baseUs_ = now;
  commandsSeen_ = anchorsPassed_ = 0;
  pauseUntilUs_ = -1;
  if (pos_ > 0) {
    // Going on where the last link stopped: the next item now.
    const ReplaySession& s = script_.sessions[session_];
    if (pos_ < s.stream.size()) baseUs_ = now - scaled(s.stream[pos_].atUs - s.originUs);
  }
}

void ReplayModel::endStream() {
  phase_ = Phase::Dialogue;
  pauseUntilUs_ = -1;
  if (session_ + 1 < script_.sessions.size()) {
    ++session_;
    pos_ = 0;
    used_.clear();
  }
}

void ReplayModel::wrote(qint64 now, const QByteArray& bytes) {
  lastWriteUs_ = now;
  if (bytes.size() == 18) ++framesWritten_;
}

std::optional<QByteArray> ReplayModel::takeDue(qint64 now) {
  if (!out_.empty()) {
    const Out& o = out_.front();
    if (notBefore(o.atUs) > now) return std::nullopt;
    Out taken = out_.front();
    out_.pop_front();
    wrote(now, taken.bytes);
    if (taken.linkUp) startStream(now);
    return taken.bytes;
  }
  if (phase_ != Phase::Stream) return std::nullopt;
  const ReplaySession& s = script_.sessions[session_];
  while (pos_ < s.stream.size() && s.stream[pos_].command) {
    if (commandsSeen_ > anchorsPassed_) {
      ++anchorsPassed_;
      ++pos_;
      continue;
    }
    if (pauseUntilUs_ < 0) {
      // The wait begins when the captured program sent its command.
      const qint64 due = itemDue(pos_);
      if (now < due) return std::nullopt;
      pauseUntilUs_ = due + kCommandWaitMs * 1000;
    }
    if (now < pauseUntilUs_) return std::nullopt;
    // The program sent no command here: the stream goes on from now.
    pauseUntilUs_ = -1;
    baseUs_ = now - scaled(s.stream[pos_].atUs - s.originUs);
    ++pos_;
  }
  if (pos_ >= s.stream.size()) return std::nullopt;
  if (notBefore(itemDue(pos_)) > now) return std::nullopt;
  const QByteArray bytes = s.stream[pos_].bytes;
  ++pos_;
  wrote(now, bytes);
  if (script_.dongle && IsLost(bytes)) endStream();
  return bytes;
}

qint64 ReplayModel::nextEventUs() const {
  if (!out_.empty()) return notBefore(out_.front().atUs);
  if (phase_ != Phase::Stream) return kFar;
  const ReplaySession& s = script_.sessions[session_];
  if (pos_ >= s.stream.size()) return kFar;
  if (s.stream[pos_].command) {
    if (commandsSeen_ > anchorsPassed_) return 0;  // passes at once
    return pauseUntilUs_ < 0 ? itemDue(pos_) : pauseUntilUs_;
  }
  return notBefore(itemDue(pos_));
}

}  // namespace zt::sim
