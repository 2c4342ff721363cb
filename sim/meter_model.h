#pragma once
// The simulated meter's pure core: the USB serial device (Bluetooth LE bridge
// dongle or plain USB-UART bridge) and the meter behind it, as a state machine
// over a millisecond clock that the caller supplies. Bytes from the logger go
// in through receive(); bursts for the logger come out of takeDue() one at a
// time, each to be written in one piece. No I/O, no timers, no Qt event loop.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <vector>

#include "dut.h"
#include "wire.h"

namespace zt::sim {

enum class Model : std::uint8_t { ZT40 = 0, ZT41 = 1, ZT42 = 2 };
enum class LinkMode { Dongle, Bridge };
// How the dongle's connection attempts fail: "OK+CONNF", "OK+CONNE",
// "OK+CONNN", or "OK+CONNE" and "OK+CONNF" run together in one burst.
enum class ConnectFailure { None, F, E, N, EF };
enum class PowerState { Active, Economy, Sleep, Off };

inline constexpr char kDongleName[] = "TI CC2540 USB CDC";
inline constexpr char kBridgeName[] = "Silicon Labs CP210x USB to UART Bridge";

struct Faults {
  bool garbage = false;   // a burst of random bytes after every third frame
  bool merge = false;     // every third frame goes out together with the next one
  bool split = false;     // every third frame goes out in two bursts 15 ms apart
  bool silent = false;    // the device never writes anything
  int unplugAfterMs = 0;  // > 0: the device disappears after this time (driver)
};

// The device pulled out and plugged back again and again: plugged for
// `inMs`, then gone for `outMs` (each time a new terminal).
struct Replug {
  int inMs = 0;  // 0: never
  int outMs = 0;
  bool active() const { return inMs > 0; }
};

struct Options {
  LinkMode mode = LinkMode::Dongle;
  Model model = Model::ZT40;
  QString dut = QStringLiteral("R=1k");
  int partFrames = 1;    // frames per part when the DUT is a list
  int intervalCode = 2;  // 3 = 0.5 s, 2 = 1 s, 1 = 2 s
  int sleepAfterS = 0;   // idle seconds to economy (and twice that to sleep); 0 = never
  bool hold = false;     // the meter starts with its hold function on
  Faults faults;
  Replug replug;
  ConnectFailure connectFailure = ConnectFailure::None;
  int connectFailures = -1;  // how many attempts fail before one succeeds; -1 = all
  int connectDelayMs = 300;  // between "OK+CONNL" and the result
  bool connCrLf = false;     // "OK+CONN" followed by CR LF
  bool checksumPlus5 = false;
  std::uint32_t seed = 1;
  double noise = 1e-4;  // relative spread of the readings
  QString name;         // friendly name to register; empty = by mode
  // A dongle reads a text command as the bytes that arrive together: a burst
  // that is not exactly "AT" or "AT+CONNL" gets no answer (and, while linked,
  // goes to the meter). Lenient: the texts are picked out of the byte stream
  // however they were sent, glued or split.
  bool lenient = false;

  QString friendlyName() const;
};

// Frame period for an interval code: 3 = 500 ms, 2 = 1000 ms, 1 = 2000 ms.
int IntervalMs(int intervalCode);
// Highest frequency code a model accepts (ZT40 14, ZT41 6, ZT42 5).
int MaxFreqCode(Model m);
// Highest level code a model accepts (ZT40/ZT41 3, ZT42 2).
int MaxLevelCode(Model m);
// Test frequency of a code on a model, in hertz (code 0 = DC, reported as 120).
double FreqHz(Model m, int freqCode);

class MeterModel {
 public:
  static constexpr qint64 kMinBurstGapMs = 20;
  static constexpr qint64 kSplitGapMs = 15;
  static constexpr qint64 kRxGapMs = 5;  // silence that ends an incoming text
  static constexpr qint64 kSleepFramePeriodMs = 5000;
  static constexpr qint64 kLostDelayMs = 200;  // power off -> the dongle reports the loss

  // An invalid DUT text falls back to "R=1k"; check with ParseDut first.
  explicit MeterModel(Options options, qint64 nowMs = 0);

  // Bytes from the logger, as read from the port.
  void receive(QByteArrayView bytes, qint64 nowMs);
  // The next burst due by nowMs, or nothing. One per call: write it, then ask
  // again at nextEventMs(), so that consecutive bursts keep their spacing.
  std::optional<QByteArray> takeDue(qint64 nowMs);
  // When something next happens (a burst, a frame tick, a connection result,
  // the end of an incoming text).
  qint64 nextEventMs() const;
  // Runs the internal events up to nowMs (receive and takeDue do it too).
  void advance(qint64 nowMs);

  // The frame the meter would send at nowMs. Draws noise and moves through
  // the list of parts, like a real frame tick.
  FrameBytes buildFrame(qint64 nowMs);

  // What the next frame reports (automatic choices resolved for the current part).
  ReportedSettings settings() const;
  Model model() const { return options_.model; }
  std::uint8_t displayMode() const { return displayMode_; }
  bool brightness() const { return brightness_; }
  PowerState powerState(qint64 nowMs) const;
  bool linked() const { return options_.mode == LinkMode::Bridge || dongle_ == Dongle::Linked; }
  bool connecting() const { return dongle_ == Dongle::Connecting; }
  const Options& options() const { return options_; }
  const Part& currentPart() const { return parts_[partIndex_]; }
  // Measurement frames written so far (taken by takeDue), over every plug-in.
  std::uint64_t framesWritten() const { return framesWritten_; }

  // Queues an arbitrary burst (a truncated frame, a made-up text, ...) to be
  // written as it is, with the usual spacing. Ignored by a silent device.
  void inject(QByteArray bytes, qint64 nowMs);

  bool setDut(const QString& text, QString* error = nullptr);
  // Puts the device on a new clock as if just plugged in: nothing pending in
  // either direction, radio link down; the meter keeps its settings.
  void restartClock(qint64 nowMs);
  void powerOn(qint64 nowMs);  // the meter's own power key

  // Observers: each 6-byte command that reaches the meter, each text command
  // the dongle takes, each change of the radio link, and each burst received
  // (the bytes that arrived without kRxGapMs of silence between them), with
  // whether the dongle took it as a text command.
  std::function<void(const QByteArray&)> onCommand;
  std::function<void(const QByteArray&)> onText;
  std::function<void(bool)> onLinkChanged;
  std::function<void(const QByteArray& burst, bool text)> onBurst;

 private:
  enum class Dongle { Idle, Connecting, Linked };
  struct Out {
    qint64 at;
    QByteArray bytes;
    qint64 minGap;
    int frames = 0;  // measurement frames this burst completes
  };

  void parseRx(qint64 t, bool gapExpired);
  void burstEnded(qint64 t);
  void parseCommands(QByteArray& bytes, qint64 t);
  void onAt(const QByteArray& text, qint64 t);
  void onConnectDone(qint64 t);
  void setLinked(bool up);
  void applyCommand(const QByteArray& bytes, qint64 t);
  void applySettings(const Command& c);
  void frameTick(qint64 t);
  void enqueue(QByteArray bytes, qint64 at, qint64 minGap = kMinBurstGapMs, int frames = 0);
  qint64 effectiveAt(const Out& o) const;
  qint64 framePeriod(qint64 t) const;
  void noteActivity(qint64 t);
  ReportedSettings resolved(const Part& p) const;
  double jitter();

  Options options_;
  std::vector<Part> parts_;
  std::size_t partIndex_ = 0;
  int partFramesLeft_ = 1;
  std::mt19937 rng_;
  std::normal_distribution<double> gauss_{0.0, 1.0};

  // Meter state. settings_ holds the fields as set; automatic ones are
  // resolved per part when a frame is built.
  ReportedSettings settings_;
  std::uint8_t displayMode_ = 1;
  bool brightness_ = true;
  bool off_ = false;
  qint64 lastActivityMs_ = 0;
  bool haveHeld_ = false;
  double heldR_ = 0, heldX_ = 0;

  // Dongle state.
  Dongle dongle_ = Dongle::Idle;
  qint64 connectDoneMs_ = -1;
  int failedAttempts_ = 0;
  qint64 lostAtMs_ = -1;
  bool deferConnl_ = false;

  // Input. burst_ holds the burst arriving now (both modes); rx_ what the
  // lenient parser has not taken yet.
  QByteArray rx_;
  QByteArray burst_;
  bool burstHadText_ = false;    // lenient: a text was taken from it
  bool burstForwarded_ = false;  // strict: part of it went to the meter
  qint64 lastRxMs_ = 0;

  // Output.
  std::deque<Out> out_;
  qint64 lastWriteMs_ = -1000000;
  qint64 nextFrameMs_ = 0;
  qint64 now_ = 0;
  unsigned frameCount_ = 0;
  QByteArray mergeStash_;
  int mergeStashFrames_ = 0;
  std::uint64_t framesWritten_ = 0;
};

}  // namespace zt::sim
