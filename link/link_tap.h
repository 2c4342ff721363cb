#pragma once
// The link's tap: every burst a transport received and every write it sent,
// as the bytes crossed the wire, for a capture of the exchange with the
// meter. The transports call it on their own thread (the link's), in the
// frame path, so an implementation must return at once and never block: it
// may take a timestamp and queue the bytes, nothing more.
#include <QByteArray>
#include <QString>

namespace zt {

enum class TapTransport : unsigned char { Serial, Ble };
enum class TapDirection : unsigned char { Received, Sent };

class LinkTap {
 public:
  virtual ~LinkTap() = default;
  // `port`: the serial port's name, or the Bluetooth LE meter's id.
  virtual void tapped(TapTransport transport, TapDirection direction, const QString& port,
                      const QByteArray& bytes) noexcept = 0;
};

}  // namespace zt
