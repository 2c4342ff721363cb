#pragma once
// A capture of the exchange with the meter in progress: a LinkTap that
// timestamps each burst and write and queues it, and a thread of its own
// that turns the queue into capture lines (capture_file.h) and writes them.
// The frame path only takes a clock reading and queues two shared buffers
// under a lock the writer holds for a swap; it never waits for the disk.
//
// A write that fails (a full disk, a pulled stick) or a queue the disk cannot
// keep up with ends the capture: failed() says why, once, on the owner's
// thread; whatever the link does goes on as before.
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link_tap.h"

class QFile;

namespace zt {

class LinkCapture : public QObject, public LinkTap {
  Q_OBJECT

 public:
  // Queued bytes beyond which the capture gives up rather than grow without
  // bound while the disk stalls.
  static constexpr qint64 kMaxQueuedBytes = 16LL * 1024 * 1024;
  // How often the writer looks at the queue.
  static constexpr int kWriteEveryMs = 50;

  explicit LinkCapture(QObject* parent = nullptr);
  // Stops (writing what is queued).
  ~LinkCapture() override;

  // Creates (replaces) the file and writes its header, `program` naming who
  // captured (e.g. "zt-record 1.6"). False with the reason when the file
  // cannot be made; a capture already running is stopped first.
  bool start(const QString& path, const QString& program, QString* error = nullptr);
  // Writes what is queued and closes the file. Nothing when not running.
  void stop();
  bool active() const { return active_.load(std::memory_order_relaxed); }
  QString path() const { return path_; }
  // Records written to the file so far.
  std::uint64_t recordsWritten() const { return written_.load(); }

  void tapped(TapTransport transport, TapDirection direction, const QString& port,
              const QByteArray& bytes) noexcept override;

 signals:
  // The capture ended by itself (cannot write, or the disk does not keep up).
  void failed(const QString& reason);
  // The capture ended, by stop() or by a failure.
  void stopped();

 private:
  struct Pending {
    std::int64_t ns;
    TapTransport transport;
    TapDirection direction;
    QString port;
    QByteArray bytes;
  };

  void run();
  void fail(const QString& reason);

  QString path_;
  std::unique_ptr<QFile> file_;
  QElapsedTimer clock_;
  std::atomic<bool> active_{false};
  std::atomic<std::uint64_t> written_{0};

  std::mutex lock_;
  std::condition_variable wake_;
  std::vector<Pending> queue_;
  qint64 queuedBytes_ = 0;
  bool overrun_ = false;
  bool stopping_ = false;
  std::thread writer_;
};

}  // namespace zt
