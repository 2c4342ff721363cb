#pragma once
// A MeterChannel that records what goes to the meter instead of sending it.
// The 50 ms release of the input hold after a command does not run by
// itself: settle() does what that timer does when it fires, so a test
// decides when the change in flight has settled.
#include <QList>
#include <QString>
#include <QStringList>

#include "meter_channel.h"

namespace zt::test {

class FakeChannel : public MeterChannel {
 public:
  bool up = true;              // linkUp()
  bool held = false;           // inputHeld()
  bool accepting = true;       // transmit()'s answer: false = no transport took it
  bool releaseDue = false;     // a command's release timer is running
  QList<CommandFrame> frames;  // everything transmitted, oldest first
  int holds = 0;
  int releases = 0;

  bool linkUp() const override { return up; }
  bool inputHeld() const override { return held; }
  void holdInput() override {
    held = true;
    ++holds;
  }
  void releaseInput() override {
    held = false;
    ++releases;
  }
  bool transmit(const CommandFrame& frame) override {
    CommandFrame f = frame;
    f[4] = kCommandFixedByte4;
    frames.append(f);
    releaseDue = true;  // a running timer keeps its schedule
    return accepting;
  }

  // The release timer fires: the hold taken for the change ends.
  void settle() {
    if (!releaseDue) return;
    releaseDue = false;
    held = false;
  }

  static QString hex(const CommandFrame& f) {
    QStringList parts;
    for (std::uint8_t b : f) parts.append(QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')));
    return parts.join(QLatin1Char(' '));
  }
  // The last frame sent as "01 24 80 21 0a 01", or empty when nothing was sent.
  QString last() const { return frames.isEmpty() ? QString() : hex(frames.last()); }
  QStringList sent() const {
    QStringList s;
    for (const CommandFrame& f : frames) s.append(hex(f));
    return s;
  }
};

}  // namespace zt::test
