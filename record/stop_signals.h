#pragma once
// SIGINT and SIGTERM (Ctrl+C and Ctrl+Break on a Windows console) as a Qt
// signal on the event loop of the thread that installed them. The handler
// itself only writes one byte to a pipe; everything else (ending the
// recording, writing the workbook) runs later on the event loop, where it is
// safe. One watcher per process.
#include <QObject>

class QSocketNotifier;

namespace zt {

class StopSignals : public QObject {
  Q_OBJECT
 public:
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;

  // Takes over the signals. False when the pipe could not be made.
  bool install();

 signals:
  // `signalNumber`: SIGINT or SIGTERM (on Windows, SIGINT for both keys).
  void stopRequested(int signalNumber);

 private:
  void readPipe();
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zt
