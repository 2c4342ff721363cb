#include "link_capture.h"

#include <QDateTime>
#include <QFile>

#include "capture_file.h"

namespace zt {

LinkCapture::LinkCapture(QObject* parent) : QObject(parent) {}

LinkCapture::~LinkCapture() {
  const QSignalBlocker quiet(this);
  stop();
}

bool LinkCapture::start(const QString& path, const QString& program, QString* error) {
  stop();
  auto file = std::make_unique<QFile>(path);
  if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    if (error) *error = file->errorString();
    return false;
  }
  path_ = path;
  file_ = std::move(file);
  written_ = 0;
  {
    std::lock_guard<std::mutex> g(lock_);
    queue_.clear();
    queuedBytes_ = 0;
    overrun_ = false;
    stopping_ = false;
  }
  const QByteArray header = CaptureHeader(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs), program);
  // The header goes through the writer like every line, so a full disk is
  // noticed in one place.
  clock_.start();
  active_ = true;
  writer_ = std::thread([this, header] {
    if (file_->write(header) != header.size() || !file_->flush()) {
      fail(file_->errorString());
      return;
    }
    run();
  });
  return true;
}

void LinkCapture::stop() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard<std::mutex> g(lock_);
    stopping_ = true;
  }
  wake_.notify_one();
  writer_.join();
  active_ = false;
  file_->close();
  file_.reset();
  emit stopped();
}

void LinkCapture::tapped(TapTransport transport, TapDirection direction, const QString& port,
                         const QByteArray& bytes) noexcept {
  if (!active_.load(std::memory_order_relaxed)) return;
  const std::int64_t ns = clock_.nsecsElapsed();
  try {
    std::lock_guard<std::mutex> g(lock_);
    if (overrun_ || stopping_) return;
    queuedBytes_ += bytes.size() + 64;
    if (queuedBytes_ > kMaxQueuedBytes) {
      overrun_ = true;
      return;
    }
    queue_.push_back({ns, transport, direction, port, bytes});
  } catch (...) {
    // Out of memory: the capture loses this record, the link goes on.
  }
}

void LinkCapture::run() {
  std::vector<Pending> batch;
  QByteArray text;
  for (;;) {
    bool last = false;
    bool overrun = false;
    {
      std::unique_lock<std::mutex> g(lock_);
      wake_.wait_for(g, std::chrono::milliseconds(kWriteEveryMs), [this] { return stopping_; });
      batch.swap(queue_);
      queuedBytes_ = 0;
      last = stopping_;
      overrun = overrun_;
    }
    text.clear();
    CaptureRecord r;
    for (Pending& p : batch) {
      r.timeUs = p.ns / 1000;
      r.transport = p.transport;
      r.direction = p.direction;
      r.port = std::move(p.port);
      r.bytes = std::move(p.bytes);
      AppendCaptureLine(text, r);
    }
    const auto n = batch.size();
    batch.clear();
    if (!text.isEmpty()) {
      if (file_->write(text) != text.size() || !file_->flush()) {
        fail(file_->errorString());
        return;
      }
      written_ += n;
    }
    if (overrun) {
      fail(QStringLiteral("the disk does not keep up with the link"));
      return;
    }
    if (last) return;
  }
}

void LinkCapture::fail(const QString& reason) {
  // Runs on the writer thread: nothing more is taken, and the owner hears of
  // it on its own thread, where the thread is joined.
  active_ = false;
  {
    std::lock_guard<std::mutex> g(lock_);
    stopping_ = true;
    queue_.clear();
  }
  QMetaObject::invokeMethod(
      this,
      [this, reason] {
        if (!writer_.joinable()) return;
        const QString shown = reason.isEmpty() ? QStringLiteral("write error") : reason;
        stop();
        emit failed(shown);
      },
      Qt::QueuedConnection);
}

}  // namespace zt
