#pragma once
// What the window sends Command frames through. The serial port, the
// Bluetooth LE characteristic and test fakes implement it.
#include <QByteArray>

namespace zt {

class Transport {
 public:
  virtual ~Transport() = default;
  virtual bool isOpen() const = 0;
  // Writes the bytes as one piece; returns the number written or -1.
  virtual qint64 write(const QByteArray& bytes) = 0;
};

}  // namespace zt
