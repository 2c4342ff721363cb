#pragma once
// The serial port component `ComPort`: 9600 8N1 without flow control, DTR and
// RTS held inactive, bytes delivered as bursts, and the close rule the link
// manager relies on.
//
// Read rule: Qt hands over bytes in arbitrary chunks, so they are collected
// here; a burst ends after kBurstGapMs without a further byte, or when it
// reaches kMaxBurstBytes (the rest starts the next burst). Each burst is
// delivered once through burstReceived().
//
// Close rule: close the device, wait kReopenCheckMs, try to open it again. If
// that fails the device is gone: the port is simply marked closed, without
// beforeClose(), and deviceGone() tells the owner. Otherwise beforeClose()
// runs with the port usable and the port is closed for good.
//
// A hung-up device (USB unplugged, pseudo-terminal master closed) makes Qt
// report a read or resource error over and over; the port is closed on the
// first such error instead of letting the event loop spin.
//
// A port that exists but may not be opened by this user (no read and write
// permission on the device file) is reported once per port name through
// accessDenied(), besides the exception() of every failed open; it is
// reported again only after that port has opened in between. A port that is
// busy or locked by another program is not an access problem.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>

#include "link_tap.h"
#include "rx_burst.h"
#include "transport.h"

namespace zt {

inline constexpr int kBurstGapMs = 10;
inline constexpr int kReopenCheckMs = 10;
inline constexpr qint32 kComPortBaudRate = 9600;
// Start, eight data bits and a stop bit on the wire for every byte.
inline constexpr int kBitsPerByte = 10;

class ComPort : public QObject, public Transport {
  Q_OBJECT

 public:
  explicit ComPort(QObject* parent = nullptr);
  // Closes quietly: no signal reaches an owner that may be half destroyed.
  ~ComPort() override;

  void setPortName(const QString& name);
  QString portName() const;

  // Opens with the fixed settings. Emits afterOpen() on success; a failure
  // goes to exception() and leaves the port closed. True when open.
  bool open();
  // The close rule above. Nothing happens when the port is not open.
  void close();

  bool isOpen() const override;
  // Writes all bytes at once. Silently -1 while closed; errors go to exception().
  qint64 write(const QByteArray& bytes) override;
  // Text goes out one byte per character (its low 8 bits), no line ending.
  qint64 writeText(const QString& text);
  // Empties the receive and transmit buffers and any half-collected burst.
  void purge();

  // The line's recent past, on a monotonic millisecond clock (nowMs()), kept
  // across closing and reopening: when the last write will have left the
  // wire (its bytes at 9600 baud after it was handed over) and when the last
  // byte came in. Far in the past before anything happened.
  qint64 nowMs() const { return clock_.elapsed(); }
  qint64 lastWriteEndMs() const { return lastWriteEndMs_; }
  qint64 lastReceivedMs() const { return lastReceivedMs_; }

  // While held, received bytes are collected but no burst is delivered; a
  // one-shot readBurst() takes them instead. Releasing delivers what is left.
  void setHeld(bool held);
  bool isHeld() const { return held_; }

  using ReadCallback = std::function<void(const QByteArray&)>;
  // Reads the next burst of at most maxBytes by the read rule, without
  // blocking: `done` runs with the burst, or with nothing when no first byte
  // comes within firstByteTimeoutMs or the port closes first. One read at a
  // time; a new one replaces (and completes empty) the previous one.
  void readBurst(int maxBytes, int firstByteTimeoutMs, ReadCallback done);

  // Every burst delivered (to burstReceived() or a readBurst()) and every
  // write handed to the driver go to the tap too; null: none.
  void setTap(LinkTap* tap) { tap_ = tap; }

 signals:
  void burstReceived(const QByteArray& burst);
  void afterOpen();
  void beforeClose();
  void exception(QSerialPort::SerialPortError kind, const QString& message);
  // The close rule found the device gone (unplugged, or its file vanished).
  void deviceGone();
  // The port exists but this user lacks read and write access to it; `group`
  // owns the device file (joining it gives access; "dialout" when unknown).
  void accessDenied(const QString& portName, const QString& group);

 private:
  void onReadyRead();
  void onError(QSerialPort::SerialPortError error);
  void onGapElapsed();
  void onFirstByteTimeout();
  bool openDevice();
  void configureLines();
  int burstCap() const;
  void deliverFullBursts();
  void deliver(QByteArray burst);
  void scheduleGap();
  void finishRead(const QByteArray& burst);
  void dropPending();
  void reportIfAccessDenied();

  QSerialPort port_;
  QTimer gapTimer_;
  QTimer firstByteTimer_;
  QElapsedTimer sinceLastByte_;
  QElapsedTimer clock_;
  qint64 lastWriteEndMs_ = -1000000;
  qint64 lastReceivedMs_ = -1000000;
  QByteArray pending_;
  bool held_ = false;
  QString name_;
  bool quietErrors_ = false;  // during the reopen check of the close rule
  bool quietLines_ = false;   // while setting DTR and RTS
  bool hangUpQueued_ = false;
  int readMax_ = 0;
  ReadCallback readDone_;
  QSerialPort::SerialPortError lastError_ = QSerialPort::NoError;
  QSet<QString> accessDeniedReported_;  // port names, until they open
  LinkTap* tap_ = nullptr;
};

}  // namespace zt
