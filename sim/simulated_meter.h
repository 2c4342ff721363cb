#pragma once
// The simulated meter on a pseudo-terminal, driven by the Qt event loop of the
// thread that owns it. Registers the terminal's path under the device's
// friendly name in the virtual-ports folder, so the logger's port lookup finds
// it, and removes that registration when stopped or unplugged.
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

#include "meter_model.h"

class QSocketNotifier;
class QTimer;

namespace zt::sim {

class SimulatedMeter : public QObject {
  Q_OBJECT
 public:
  explicit SimulatedMeter(Options options = {}, QObject* parent = nullptr);
  ~SimulatedMeter() override;

  // Opens the pseudo-terminal and registers it. False (with a reason) when
  // the terminal or the registration file cannot be made. Starting again
  // after stop() or unplug() plugs in a fresh device (a new terminal path).
  bool start(QString* error = nullptr);
  // Closes the terminal and removes the registration (if it is still ours).
  void stop();
  // Like stop(), as a pulled USB plug; emits unplugged().
  void unplug();
  bool isRunning() const { return master_ >= 0; }

  QString portPath() const { return portPath_; }  // e.g. /dev/pts/7
  QString registrationPath() const;               // <virtual ports>/<friendly name>
  QString friendlyName() const { return options_.friendlyName(); }

  // The state the next frame reports.
  ReportedSettings settings() const { return core_->settings(); }
  std::uint8_t displayMode() const { return core_->displayMode(); }
  bool brightness() const { return core_->brightness(); }
  PowerState powerState() const;
  bool isLinked() const { return core_->linked(); }
  // Every 6-byte command that reached the meter since start(), in order.
  QList<QByteArray> receivedCommands() const { return commands_; }
  // Every burst received since start() (bytes that came without the dongle's
  // silence between them), in order, as the dongle delimited them.
  QList<QByteArray> receivedBursts() const { return bursts_; }
  // Measurement frames written to the terminal, over every plug-in.
  std::uint64_t framesWritten() const { return core_->framesWritten(); }

  // Direct access for tests (change the DUT, press the power key, ...). Call
  // kick() after changing anything that affects timing.
  MeterModel& core() { return *core_; }
  const MeterModel& core() const { return *core_; }
  void kick();
  // Writes an arbitrary burst in one piece, at least 20 ms after the last one.
  void inject(const QByteArray& bytes);

 signals:
  void started(const QString& portPath);
  void commandReceived(const QByteArray& command);  // 6 bytes, as received
  void textReceived(const QByteArray& text);        // "AT" or "AT+CONNL"
  // Each burst received; `text` when the dongle took it as a text command.
  void burstReceived(const QByteArray& burst, bool text);
  void burstWritten(const QByteArray& bytes);
  void linkChanged(bool up);
  void unplugged();

 private:
  void onReadable();
  void service();
  void closeTerminal();
  qint64 nowMs() const { return clock_.elapsed(); }
  void attachObservers();

  Options options_;
  std::unique_ptr<MeterModel> core_;
  QElapsedTimer clock_;
  QTimer* timer_ = nullptr;
  QTimer* unplugTimer_ = nullptr;
  QTimer* replugTimer_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees a hang-up while no one reads
  QString portPath_;
  QString registeredAs_;
  QList<QByteArray> commands_;
  QList<QByteArray> bursts_;
};

}  // namespace zt::sim
