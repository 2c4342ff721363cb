#pragma once
// Replay of a capture (link/capture_file.h): the received side of a recorded
// exchange played back as the meter and its bridge did it. Pure: bytes from
// the logger go in through receive(), bursts come out of takeDue() on a
// caller-supplied microsecond clock, like MeterModel.
//
// A capture through the Bluetooth LE dongle is cut into sessions: the
// dialogue (each text the program sent, with the dongle's answers and their
// delays), from the answer that brought the link up the stream (the meter's
// bursts with their times, and where the program's commands came), and the
// closing text with its answers ("OK+LOST"). In the replay:
// - a text gets the answers the capture gave to that text, in turn (the
//   first "AT+CONNL" the first attempt's, and so on; the last one again once
//   they are used up); a dongle answers an "AT" the capture never saw with
//   "OK";
// - the answer that brings the link up starts the stream, played with its
//   original spacing divided by the speed;
// - at a point where the captured program sent a command the stream waits
//   (at most kCommandWaitMs) for the program to send one, and goes on timed
//   from it, so that what the meter sent after a command comes as long after
//   the command as it did;
// - a text while the stream runs ends the link: the capture's closing
//   answers (else "OK+LOST"); the next connection plays the next session, or
//   this one on from where it stopped when it was the last;
// - the end of the stream leaves the link up and silent.
// Bursts are never closer than kMinGapMs, whatever the speed, so the logger
// still tells them apart. One burst must be exactly one text, or whole
// commands: anything else gets no answer, as a real dongle gives none.
//
// Any other capture (a USB-UART bridge, Bluetooth LE notifications) is one
// stream, started by the first bytes the program writes.
#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <deque>
#include <optional>

#include "capture_file.h"

namespace zt::sim {

struct ReplayAnswer {
  qint64 afterUs = 0;  // after the text it answers
  QByteArray bytes;
  bool linkUp = false;  // this answer brings the link up: the stream starts
};

struct ReplayExchange {
  QByteArray text;  // "AT", "AT+CONNL"
  qint64 atUs = 0;
  QList<ReplayAnswer> answers;
};

struct ReplayItem {
  qint64 atUs = 0;
  QByteArray bytes;      // what the meter sent; empty for a command
  bool command = false;  // the captured program sent a command here
};

struct ReplaySession {
  QList<ReplayExchange> exchanges;
  qint64 originUs = 0;  // the stream's times count from here
  QList<ReplayItem> stream;
  std::optional<ReplayExchange> closing;
};

struct ReplayScript {
  bool dongle = false;  // an AT dialogue brought the link up
  QList<ReplaySession> sessions;
  int frames = 0;  // 18-byte bursts in the streams
};

// The serial records when there are any received ones, else the Bluetooth
// LE ones. False with a reason when the capture holds nothing to play.
bool BuildReplayScript(const QList<CaptureRecord>& records, ReplayScript* script, QString* error);

class ReplayModel {
 public:
  static constexpr qint64 kMinGapMs = 20;
  static constexpr qint64 kCommandWaitMs = 3000;
  // Nothing follows the program's command sooner than this, whatever the
  // speed: the logger drops what comes in the 50 ms after a command of its
  // own, and a meter's next frame comes far later than that, so a fast
  // replay that kept the spacing would lose frames the meter never lost.
  static constexpr qint64 kAfterCommandMs = 60;

  ReplayModel(ReplayScript script, double speed, qint64 nowUs = 0);

  void receive(QByteArrayView bytes, qint64 nowUs);
  // The next burst due by nowUs, or nothing; ask again at nextEventUs().
  std::optional<QByteArray> takeDue(qint64 nowUs);
  qint64 nextEventUs() const;

  bool streaming() const { return phase_ == Phase::Stream; }
  bool streamEnded() const;
  std::uint64_t framesWritten() const { return framesWritten_; }
  const ReplayScript& script() const { return script_; }

 private:
  enum class Phase { Waiting, Dialogue, Stream };
  struct Out {
    qint64 atUs;
    QByteArray bytes;
    bool linkUp;
  };

  void onText(const QByteArray& text, qint64 now);
  void onCommand(qint64 now);
  void startStream(qint64 now);
  void endStream();
  const ReplayExchange* exchangeFor(const QByteArray& text);
  qint64 scaled(qint64 captureUs) const;
  qint64 itemDue(int index) const;
  qint64 notBefore(qint64 t) const;
  void wrote(qint64 now, const QByteArray& bytes);

  ReplayScript script_;
  double speed_;
  Phase phase_;
  int session_ = 0;
  int pos_ = 0;
  QHash<QByteArray, int> used_;
  std::deque<Out> out_;
  qint64 baseUs_ = 0;  // real time of the current session's originUs
  int commandsSeen_ = 0;
  int anchorsPassed_ = 0;
  qint64 pauseUntilUs_ = -1;
  qint64 lastWriteUs_ = -1000000000;
  qint64 lastCommandUs_ = -1000000000;
  std::uint64_t framesWritten_ = 0;
};

}  // namespace zt::sim
