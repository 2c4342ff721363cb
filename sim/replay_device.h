#pragma once
// A capture played back on a pseudo-terminal (zt-meter-sim --replay): the
// ReplayModel of replay_script.h in the current thread's event loop,
// registered in the virtual-ports folder under the dongle's name (a capture
// with an AT dialogue) or the USB-UART bridge's, as the simulated meter is.
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <memory>

#include "replay_script.h"

class QSocketNotifier;
class QTimer;

namespace zt::sim {

class ReplayDevice : public QObject {
  Q_OBJECT
 public:
  // `name`: the friendly name to register; empty: by the capture's kind.
  ReplayDevice(ReplayScript script, double speed, QString name = {}, QObject* parent = nullptr);
  ~ReplayDevice() override;

  bool start(QString* error = nullptr);
  void stop();
  bool isRunning() const { return master_ >= 0; }
  QString portPath() const { return portPath_; }
  QString friendlyName() const;
  QString registrationPath() const;
  std::uint64_t framesWritten() const { return core_->framesWritten(); }
  const ReplayModel& core() const { return *core_; }

  // Reads a capture file and builds its script; false with the reason.
  static bool Load(const QString& path, ReplayScript* script, QString* error);

 signals:
  void burstWritten(const QByteArray& bytes);
  void streamEnded();

 private:
  void onReadable();
  void service();
  void closeTerminal();
  qint64 nowUs() const { return clock_.nsecsElapsed() / 1000; }

  std::unique_ptr<ReplayModel> core_;
  QString name_;
  bool dongle_;
  QElapsedTimer clock_;
  QTimer* timer_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  int master_ = -1;
  int slave_ = -1;
  QString portPath_;
  QString registeredAs_;
  bool endSaid_ = false;
};

}  // namespace zt::sim
