#pragma once
// The start-up check of the serial device: does a dongle answer "AT"?
// Runs on the event loop (timers, no sleeps), so the window stays responsive;
// the whole check takes at most about one second. While it runs the port's
// bursts are held for the check's own read.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace zt {

class ComPort;
class DongleTexts;

inline constexpr int kProbeAnswerWaitMs = 200;
inline constexpr int kProbeReadBytes = 40;
inline constexpr int kProbeFirstByteTimeoutMs = 500;

class ModemProbe : public QObject {
  Q_OBJECT

 public:
  explicit ModemProbe(ComPort* port, QObject* parent = nullptr);
  // The texts go out through `texts`, after whatever the port's owner wrote
  // before (the "AT" of the close just before the check); without it the
  // check keeps a queue of its own.
  void setTexts(DongleTexts* texts);

  // "AT", 200 ms, purge, "AT", 200 ms, then one read of up to 40 bytes that
  // waits at most kProbeFirstByteTimeoutMs for its first byte.
  void start();
  bool isRunning() const { return running_; }

  static bool IsModemAnswer(const QByteArray& reply) { return reply.contains("OK"); }

 signals:
  // answered: the reply contains "OK" anywhere.
  void finished(bool answered, const QByteArray& reply);

 private:
  void secondAt();
  void readAnswer();
  void done(const QByteArray& reply);

  void sayAt();

  QPointer<ComPort> port_;
  DongleTexts* texts_ = nullptr;
  QTimer step_;
  bool running_ = false;
  int stage_ = 0;
};

}  // namespace zt
