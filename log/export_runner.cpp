#include "export_runner.h"

#include <QtConcurrent/QtConcurrentRun>

namespace zt {

ExportRunner::ExportRunner(QObject* parent) : QObject(parent) {
  connect(&watcher_, &QFutureWatcher<ExportResult>::finished, this, &ExportRunner::onWorkerDone);
}

ExportRunner::~ExportRunner() {
  if (cancel_) cancel_->store(true);
  watcher_.waitForFinished();
}

bool ExportRunner::start(ExportSnapshot snapshot, const QString& path, const ExportOptions& options) {
  if (running_) return false;
  running_ = true;
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  // The worker only posts to the runner, which outlives it (the destructor
  // waits); reports still queued after the end are dropped.
  auto report = [this](int done, int total) {
    QMetaObject::invokeMethod(
        this,
        [this, done, total] {
          if (running_) emit progress(done, total);
        },
        Qt::QueuedConnection);
  };
  watcher_.setFuture(QtConcurrent::run([snap = std::move(snapshot), path, options, cancel = cancel_, report]() {
    return WriteExport(snap, path, options, cancel.get(), report);
  }));
  return true;
}

void ExportRunner::cancel() {
  if (cancel_) cancel_->store(true);
}

bool ExportRunner::isRunning() const { return running_; }

void ExportRunner::wait() {
  watcher_.waitForFinished();
  // The watcher's finished signal is queued; deliver it now.
  if (running_) onWorkerDone();
}

void ExportRunner::onWorkerDone() {
  if (!running_) return;
  running_ = false;
  const ExportResult r = watcher_.future().result();
  emit finished(r);
}

}  // namespace zt
