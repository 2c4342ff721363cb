#pragma once
// Runs an export on a worker thread so the window keeps serving the meter
// while a long log is written. Lives on the UI thread; its signals arrive
// there.
#include <QFutureWatcher>
#include <QObject>

#include <atomic>
#include <memory>

#include "export_writer.h"

namespace zt {

class ExportRunner : public QObject {
  Q_OBJECT

 public:
  explicit ExportRunner(QObject* parent = nullptr);
  // Cancels a running export and waits for the worker to let go.
  ~ExportRunner() override;

  // Starts writing; false (and nothing started) while an export is running.
  bool start(ExportSnapshot snapshot, const QString& path, const ExportOptions& options);
  // Asks the running export to stop; finished() follows with Cancelled.
  void cancel();
  bool isRunning() const;
  // Blocks until the running export has ended and finished() was emitted.
  void wait();

 signals:
  void progress(int done, int total);
  void finished(const zt::ExportResult& result);

 private:
  void onWorkerDone();

  QFutureWatcher<ExportResult> watcher_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  bool running_ = false;
};

}  // namespace zt
