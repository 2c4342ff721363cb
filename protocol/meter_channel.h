#pragma once
// The way to the meter as the meter's state and the recorder see it:
// Command frames out, whether a link is up, and the hold on incoming frames
// while a change is on its way (so a frame sent before the meter took the
// change cannot undo it on the panel). The meter link implements it; tests
// use a fake that records what was sent.
#include "command.h"

namespace zt {

class MeterChannel {
 public:
  virtual ~MeterChannel() = default;
  // A link to the meter is up (frames may arrive, settings commands go out).
  virtual bool linkUp() const = 0;
  // Incoming frames are being dropped until the change in flight settles.
  virtual bool inputHeld() const = 0;
  virtual void holdInput() = 0;
  virtual void releaseInput() = 0;
  // Sends one Command frame on the active transport and starts the short
  // timer that releases the input hold (a running timer keeps its schedule).
  // Returns false when no transport could take it: the frame is dropped.
  virtual bool transmit(const CommandFrame& frame) = 0;
};

}  // namespace zt
