#pragma once
// The texts to the Bluetooth LE dongle ("AT", "AT+CONNL"), each on its own.
//
// A dongle reads a text command as the bytes that arrive together, as the
// logger itself tells the meter's bursts apart by silence. Two texts written
// within the same few milliseconds reach it as one burst ("ATAT+CONNL") that
// it cannot read, and it answers nothing. So every text waits until the line
// has been quiet for kDongleQuietGapMs in both directions (after the last
// write has left the wire at 9600 baud and after the last byte received), and
// a text that must follow the dongle's answer to the text before it (a
// connect request after the "AT" that dropped the link) also waits for that
// answer, for at most kDongleAnswerWaitMs. Texts go out in the order given.
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>

namespace zt {

class ComPort;

// Silence a dongle needs around a text command: five times the logger's own
// burst gap, well inside the 200 ms the start-up check leaves between its texts.
inline constexpr int kDongleQuietGapMs = 50;
// A dongle answers a text within milliseconds; an answer lost (the port was
// closed and reopened meanwhile) or never given (a plain USB-UART bridge)
// holds the next text back no longer than this.
inline constexpr int kDongleAnswerWaitMs = 500;

class DongleTexts : public QObject {
  Q_OBJECT

 public:
  enum class After {
    Quiet,   // the quiet gap after the previous text, frame or answer
    Answer,  // and the dongle's answer to the previous text (bounded)
  };

  explicit DongleTexts(ComPort* port, QObject* parent = nullptr);

  // Queues a text; `done` runs once it has been written (true) or dropped
  // (false: the port closed, or clear()). A text that is still waiting in the
  // queue is not queued twice.
  using Done = std::function<void(bool written)>;
  void send(const QString& text, After after = After::Quiet, Done done = {});
  // For a port about to close: what is queued is dropped, and the text is
  // written now, after waiting out what is left of the quiet gap (at most
  // kDongleQuietGapMs plus the previous write's time on the wire).
  void sendNow(const QString& text);
  // The device is gone: nothing queued goes out (each `done` hears false).
  void clear();
  bool pending() const { return !queue_.empty(); }

 private:
  struct Item {
    QString text;
    After after;
    Done done;
  };
  qint64 readyAtMs(const Item& item) const;
  void pump();
  bool write(const QString& text);

  ComPort* port_;
  QTimer timer_;
  std::deque<Item> queue_;
  qint64 lastTextMs_ = -1;  // when the last text was written; -1 none yet
};

}  // namespace zt
