#include "meter_model.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <utility>

namespace zt::sim {

namespace {
const QByteArray kConnl = QByteArrayLiteral("AT+CONNL");
}  // namespace

QString Options::friendlyName() const {
  if (!name.isEmpty()) return name;
  return QString::fromLatin1(mode == LinkMode::Dongle ? kDongleName : kBridgeName);
}

int IntervalMs(int intervalCode) {
  switch (intervalCode) {
    case 3: return 500;
    case 1: return 2000;
    default: return 1000;
  }
}

int MaxFreqCode(Model m) {
  switch (m) {
    case Model::ZT41: return 6;
    case Model::ZT42: return 5;
    default: return 14;
  }
}

int MaxLevelCode(Model m) { return m == Model::ZT42 ? 2 : 3; }

double FreqHz(Model m, int code) {
  static const double kHz[] = {120,   100,   120,   1000,  10000, 100000, 20000, 30000,
                               40000, 50000, 60000, 70000, 80000, 90000,  150000};
  if (code == 6 && m == Model::ZT41) return 250000;
  if (code >= 0 && code <= 14) return kHz[code];
  return 50;
}

MeterModel::MeterModel(Options options, qint64 nowMs) : options_(std::move(options)), rng_(options_.seed) {
  if (!setDut(options_.dut)) setDut(QStringLiteral("R=1k"));
  settings_.intervalCode = static_cast<std::uint8_t>(std::clamp(options_.intervalCode, 1, 3));
  settings_.hold = options_.hold;
  now_ = nowMs;
  lastActivityMs_ = nowMs;
  nextFrameMs_ = nowMs + IntervalMs(settings_.intervalCode);
}

bool MeterModel::setDut(const QString& text, QString* error) {
  auto parts = ParseDut(text, error);
  if (!parts) return false;
  parts_ = std::move(*parts);
  partIndex_ = 0;
  partFramesLeft_ = std::max(1, options_.partFrames);
  haveHeld_ = false;
  return true;
}

void MeterModel::powerOn(qint64 nowMs) {
  advance(nowMs);
  if (!off_) return;
  off_ = false;
  noteActivity(nowMs);
  nextFrameMs_ = nowMs + IntervalMs(settings_.intervalCode);
}

PowerState MeterModel::powerState(qint64 t) const {
  if (off_) return PowerState::Off;
  if (options_.sleepAfterS <= 0) return PowerState::Active;
  const qint64 idle = t - lastActivityMs_;
  const qint64 s = qint64(options_.sleepAfterS) * 1000;
  if (idle >= 2 * s) return PowerState::Sleep;
  if (idle >= s) return PowerState::Economy;
  return PowerState::Active;
}

void MeterModel::noteActivity(qint64 t) {
  const bool wasSleeping = powerState(t) == PowerState::Sleep;
  lastActivityMs_ = t;
  // A meter woken from sleep reports again at its normal pace at once.
  if (wasSleeping) nextFrameMs_ = std::min(nextFrameMs_, t + 100);
}

qint64 MeterModel::framePeriod(qint64 t) const {
  return powerState(t) == PowerState::Sleep ? kSleepFramePeriodMs : IntervalMs(settings_.intervalCode);
}

// ---- input ----

void MeterModel::receive(QByteArrayView bytes, qint64 nowMs) {
  advance(nowMs);
  if (bytes.isEmpty()) return;
  burst_.append(bytes);
  rx_.append(bytes);
  lastRxMs_ = nowMs;
  if (options_.lenient) {
    parseRx(nowMs, false);
    return;
  }
  // Over the air the meter takes its commands as they come; a text command
  // is only known once the whole burst is in (a command frame never is one).
  if (linked() && rx_.size() >= qsizetype(kCommandBytes) && static_cast<std::uint8_t>(rx_[4]) == 0x0A) {
    burstForwarded_ = true;
    parseCommands(rx_, nowMs);
  }
}

void MeterModel::burstEnded(qint64 t) {
  const QByteArray burst = std::exchange(burst_, {});
  if (options_.lenient) {
    parseRx(t, true);
    if (onBurst) onBurst(burst, std::exchange(burstHadText_, false));
    return;
  }
  const bool forwarded = std::exchange(burstForwarded_, false);
  const bool text = !forwarded && options_.mode == LinkMode::Dongle && (burst == "AT" || burst == kConnl);
  if (onBurst) onBurst(burst, text);
  if (text) {
    rx_.clear();
    onAt(burst, t);
    return;
  }
  // Not a text the dongle knows: while linked it goes over the air to the
  // meter (a bridge passes everything on); otherwise nobody answers.
  if (linked()) parseCommands(rx_, t);
  rx_.clear();
}

void MeterModel::parseCommands(QByteArray& bytes, qint64 t) {
  while (bytes.size() >= qsizetype(kCommandBytes)) {
    if (static_cast<std::uint8_t>(bytes[4]) != 0x0A) {
      bytes.remove(0, 1);  // noise on the line
      continue;
    }
    const QByteArray cmd = bytes.left(kCommandBytes);
    bytes.remove(0, kCommandBytes);
    applyCommand(cmd, t);
  }
}

void MeterModel::parseRx(qint64 t, bool gapExpired) {
  const bool dongle = options_.mode == LinkMode::Dongle;
  while (!rx_.isEmpty()) {
    const auto u = [&](qsizetype i) { return static_cast<std::uint8_t>(rx_[i]); };
    const bool command = rx_.size() >= qsizetype(kCommandBytes) && u(4) == 0x0A;
    if (dongle && !command) {
      if (rx_.startsWith(kConnl)) {
        rx_.remove(0, kConnl.size());
        onAt(kConnl, t);
        continue;
      }
      // "A", "AT", "AT+CO"... may still grow into "AT+CONNL": wait for the
      // silence that ends the text.
      const bool prefix = kConnl.startsWith(rx_);
      if (prefix && !gapExpired) return;
      if (rx_.startsWith("AT")) {
        rx_.remove(0, 2);
        onAt(QByteArrayLiteral("AT"), t);
        continue;
      }
    }
    if (linked()) {
      if (command) {
        const QByteArray cmd = rx_.left(kCommandBytes);
        rx_.remove(0, kCommandBytes);
        applyCommand(cmd, t);
        continue;
      }
      if (rx_.size() < qsizetype(kCommandBytes) && !gapExpired) return;
    }
    // Noise on the line, or bytes for a meter the dongle cannot reach.
    rx_.remove(0, 1);
  }
}

void MeterModel::onAt(const QByteArray& text, qint64 t) {
  burstHadText_ = true;
  if (onText) onText(text);
  if (options_.faults.silent) return;  // a dead dongle: hears, never answers, never links
  switch (dongle_) {
    case Dongle::Linked:
      // Any text command drops the radio link.
      setLinked(false);
      enqueue(QByteArrayLiteral("OK+LOST"), t);
      return;
    case Dongle::Connecting:
      if (text == "AT") {
        dongle_ = Dongle::Idle;
        connectDoneMs_ = -1;
        deferConnl_ = false;
        enqueue(QByteArrayLiteral("OK"), t);
      }
      return;
    case Dongle::Idle:
      if (text == "AT") {
        enqueue(QByteArrayLiteral("OK"), t);
        return;
      }
      dongle_ = Dongle::Connecting;
      connectDoneMs_ = t + std::max(0, options_.connectDelayMs);
      // With merged bursts the dongle's two answers and the first frame run
      // together; "OK+CONNL" then waits for the result.
      deferConnl_ = options_.faults.merge && options_.connectFailure == ConnectFailure::None && !off_;
      if (!deferConnl_) enqueue(QByteArrayLiteral("OK+CONNL"), t);
      return;
  }
}

void MeterModel::onConnectDone(qint64 t) {
  connectDoneMs_ = -1;
  const bool failing = off_ || (options_.connectFailure != ConnectFailure::None &&
                                (options_.connectFailures < 0 || failedAttempts_ < options_.connectFailures));
  if (failing) {
    dongle_ = Dongle::Idle;
    ++failedAttempts_;
    ConnectFailure kind =
        off_ && options_.connectFailure == ConnectFailure::None ? ConnectFailure::F : options_.connectFailure;
    QByteArray text;
    switch (kind) {
      case ConnectFailure::E: text = "OK+CONNE"; break;
      case ConnectFailure::N: text = "OK+CONNN"; break;
      case ConnectFailure::EF: text = "OK+CONNEOK+CONNF"; break;
      default: text = "OK+CONNF"; break;
    }
    enqueue(text, t);
    return;
  }
  QByteArray text = QByteArrayLiteral("OK+CONN");
  if (options_.connCrLf || deferConnl_) text += "\r\n";
  setLinked(true);
  if (deferConnl_) {
    deferConnl_ = false;
    mergeStash_ = QByteArrayLiteral("OK+CONNL") + text;
    nextFrameMs_ = t + kMinBurstGapMs;
  } else {
    enqueue(text, t);
  }
}

void MeterModel::setLinked(bool up) {
  const Dongle next = up ? Dongle::Linked : Dongle::Idle;
  if (dongle_ == next) return;
  const bool was = dongle_ == Dongle::Linked;
  dongle_ = next;
  if (!up) {
    lostAtMs_ = -1;
    mergeStash_.clear();
    mergeStashFrames_ = 0;
  }
  if (was != up && onLinkChanged) onLinkChanged(up);
}

void MeterModel::applyCommand(const QByteArray& bytes, qint64 t) {
  if (onCommand) onCommand(bytes);
  if (off_) return;
  const auto c = DecodeCommand(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
  if (!c || c->kind == Command::Kind::Unknown) return;
  const bool asleep = powerState(t) == PowerState::Sleep;
  if (c->kind == Command::Kind::Special) {
    switch (c->special) {
      case 0x80: noteActivity(t); break;
      case 0x89:
        off_ = true;
        if (options_.mode == LinkMode::Dongle && dongle_ == Dongle::Linked) lostAtMs_ = t + kLostDelayMs;
        return;
      case 0x81:
      case 0x82:
      case 0x83:
        if (asleep) return;
        if (c->special == 0x83 && options_.model == Model::ZT41) break;  // no voltmeter on this model
        displayMode_ = c->special & 0x07;
        noteActivity(t);
        break;
      default: return;
    }
    brightness_ = c->brightnessOn;
    return;
  }
  if (asleep) return;
  noteActivity(t);
  brightness_ = c->brightnessOn;
  const int oldInterval = settings_.intervalCode;
  applySettings(*c);
  if (settings_.intervalCode != oldInterval)
    nextFrameMs_ = std::min(nextFrameMs_, t + IntervalMs(settings_.intervalCode));
}

void MeterModel::applySettings(const Command& c) {
  const Model m = options_.model;
  ReportedSettings& s = settings_;
  if (c.freqAuto) {
    s.freqAuto = true;
  } else if (c.freqCode >= 1 && c.freqCode <= MaxFreqCode(m)) {
    s.freqAuto = false;
    s.freqCode = c.freqCode;
  }
  if (c.circuit == 0) {
    s.circuitAuto = true;
  } else if (c.circuit <= 2) {
    s.circuitAuto = false;
    s.circuitSeries = c.circuit == 2;
  }
  if (c.primary == 0) {
    s.primaryAuto = true;
  } else if (c.primary <= 6) {
    s.primaryAuto = false;
    s.primaryCode = c.primary;
  }
  if (c.secondary == 0) {
    s.secondaryAuto = true;
  } else if (c.secondary <= 4) {
    s.secondaryAuto = false;
    s.secondaryCode = c.secondary;
  }
  s.sound = c.sound;
  if (c.levelAuto) {
    s.levelAuto = true;
    s.levelCode = 1;
  } else if (c.levelCode >= 1 && c.levelCode <= MaxLevelCode(m)) {
    s.levelAuto = false;
    s.levelCode = c.levelCode;
  }
  if (c.intervalCode >= 1) s.intervalCode = c.intervalCode;
  if (c.hold && !s.hold) haveHeld_ = false;
  s.hold = c.hold;
  // Only the ZT41 lets the operator choose the generator's source resistance.
  if (m == Model::ZT41) {
    if (c.source == 0) {
      s.sourceAuto = true;
      s.sourceCode = 0;
    } else if (c.source <= 2) {
      s.sourceAuto = false;
      s.sourceCode = c.source - 1;
    }
  }
}

ReportedSettings MeterModel::resolved(const Part& p) const {
  ReportedSettings s = settings_;
  if (s.freqAuto) {
    const bool big =
        (p.kind == Part::Kind::Capacitor && p.value >= 10e-6) || (p.kind == Part::Kind::Inductor && p.value >= 1.0);
    s.freqCode = big ? 1 : 3;
  }
  if (s.primaryAuto) {
    switch (p.kind) {
      case Part::Kind::Resistor: s.primaryCode = 1; break;
      case Part::Kind::Capacitor: s.primaryCode = 2; break;
      case Part::Kind::Inductor: s.primaryCode = 3; break;
      default: s.primaryCode = 4; break;
    }
  }
  if (s.secondaryAuto) {
    switch (p.kind) {
      case Part::Kind::Capacitor: s.secondaryCode = 3; break;  // D
      case Part::Kind::Inductor: s.secondaryCode = 2; break;   // Q
      default: s.secondaryCode = 4; break;                     // phase angle
    }
  }
  if (s.circuitAuto) s.circuitSeries = std::abs(p.Impedance(FreqHz(options_.model, s.freqCode))) < 1000.0;
  s.negativeSign = false;
  s.below40m = false;
  s.logReady = true;
  return s;
}

ReportedSettings MeterModel::settings() const { return resolved(currentPart()); }

double MeterModel::jitter() { return options_.noise * gauss_(rng_); }

// ---- output ----

FrameBytes MeterModel::buildFrame(qint64 t) {
  FrameBytes f{};
  const Part part = currentPart();
  if (--partFramesLeft_ <= 0) {
    partIndex_ = (partIndex_ + 1) % parts_.size();
    partFramesLeft_ = std::max(1, options_.partFrames);
  }
  const PowerState ps = powerState(t);
  const bool asleep = ps == PowerState::Economy || ps == PowerState::Sleep;
  const ReportedSettings s0 = resolved(part);
  ReportedSettings s = s0;

  if (asleep) {
    const qint64 span = qint64(options_.sleepAfterS) * 1000;
    const qint64 idle = t - lastActivityMs_;
    qint64 seconds = 0;
    if (ps == PowerState::Economy) {
      f[0] = 0;
      seconds = (2 * span - idle + 999) / 1000;  // until sleep
    } else {
      f[0] = 1;
      seconds = (idle - 2 * span) / 1000;  // asleep for
    }
    seconds = std::clamp<qint64>(seconds, 0, 0xFFFF);
    f[1] = static_cast<std::uint8_t>(seconds & 0xFF);
    f[2] = static_cast<std::uint8_t>(seconds >> 8);
    if (displayMode_ == 1) {
      const auto b = PackSettings(s);
      std::copy(b.begin(), b.end(), f.begin() + 8);
    }
  } else if (displayMode_ == 1) {
    const double hz = FreqHz(options_.model, s.freqCode);
    const std::complex<double> z = part.Impedance(hz);
    double r = z.real() * (1 + jitter());
    double x = z.imag() * (1 + jitter()) + std::abs(z) * 0.1 * jitter();
    if (s.hold && haveHeld_) {
      r = heldR_;
      x = heldX_;
    } else {
      heldR_ = r;
      heldX_ = x;
      haveHeld_ = true;
    }
    const double w = 2 * 3.14159265358979323846 * hz;
    s.negativeSign = (s.primaryCode == 2 && x > 0) || (s.primaryCode == 3 && x < 0);
    s.below40m = s.primaryCode == 6 && x < 0 && 1.0 / (w * -x) < 0.04;
    PutFloat(f, 0, r);
    PutFloat(f, 4, x);
    const auto b = PackSettings(s);
    std::copy(b.begin(), b.end(), f.begin() + 8);
  } else if (displayMode_ == 2) {
    double a = 3e7, cur = 0.01;
    std::uint8_t fn = 2;
    switch (part.kind) {
      case Part::Kind::Resistor:
        a = part.value;
        cur = 1.3e6 / (part.value + 1000.0);
        break;
      case Part::Kind::Inductor:
        a = std::max(part.esr, 0.01);
        cur = 1.3e6 / (a + 1000.0);
        break;
      case Part::Kind::Diode:
        fn = 0x20;  // diode test, 3.2 V range
        a = part.value * 1000.0;
        cur = 1000.0;
        break;
      default: break;
    }
    PutFloat(f, 0, a * (1 + jitter()));
    PutFloat(f, 4, cur);
    PutFloat(f, 8, 0.0);
    f[14] = fn;
  } else {
    double v = part.kind == Part::Kind::Voltage ? part.value : 0.0;
    const bool milli = std::abs(v) < 1.0;
    if (milli) v *= 1000.0;
    const double main = v * (1 + jitter());
    PutFloat(f, 0, std::abs(main));
    PutFloat(f, 4, std::abs(v) * 0.02 + 0.01);
    PutFloat(f, 8, main);
    f[14] = milli ? 0x20 : 0x00;
  }
  f[15] = StatusByte(displayMode_, static_cast<std::uint8_t>(options_.model), brightness_, asleep);
  SealFrame(f, options_.checksumPlus5);
  return f;
}

void MeterModel::frameTick(qint64 t) {
  nextFrameMs_ = t + framePeriod(t);
  if (off_ || !linked()) return;
  const FrameBytes f = buildFrame(t);
  QByteArray bytes(reinterpret_cast<const char*>(f.data()), qsizetype(f.size()));
  const unsigned n = frameCount_++;
  const Faults& fx = options_.faults;
  if (fx.merge && n % 3 == 2) {
    mergeStash_ += bytes;
    ++mergeStashFrames_;
    return;
  }
  if (fx.split && n % 3 == 1) {
    enqueue(bytes.left(7), t);
    enqueue(bytes.mid(7), t + kSplitGapMs, kSplitGapMs, 1);
  } else {
    enqueue(bytes, t, kMinBurstGapMs, 1);
  }
  if (fx.garbage && n % 3 == 0) {
    std::uniform_int_distribution<int> len(1, 40), byte(0, 255);
    int count = len(rng_);
    if (count == int(kFrameBytes)) ++count;
    QByteArray junk(count, '\0');
    for (auto& c : junk) c = static_cast<char>(byte(rng_));
    enqueue(junk, t + framePeriod(t) / 2);
  }
}

void MeterModel::inject(QByteArray bytes, qint64 nowMs) {
  advance(nowMs);
  if (!bytes.isEmpty()) enqueue(std::move(bytes), nowMs);
}

void MeterModel::enqueue(QByteArray bytes, qint64 at, qint64 minGap, int frames) {
  if (options_.faults.silent) return;
  if (!mergeStash_.isEmpty()) {
    bytes.prepend(mergeStash_);
    mergeStash_.clear();
    frames += mergeStashFrames_;
    mergeStashFrames_ = 0;
  }
  out_.push_back({at, std::move(bytes), minGap, frames});
}

qint64 MeterModel::effectiveAt(const Out& o) const { return std::max(o.at, lastWriteMs_ + o.minGap); }

std::optional<QByteArray> MeterModel::takeDue(qint64 nowMs) {
  advance(nowMs);
  if (out_.empty() || effectiveAt(out_.front()) > nowMs) return std::nullopt;
  QByteArray bytes = std::move(out_.front().bytes);
  framesWritten_ += static_cast<std::uint64_t>(out_.front().frames);
  out_.pop_front();
  lastWriteMs_ = nowMs;
  return bytes;
}

qint64 MeterModel::nextEventMs() const {
  qint64 t = nextFrameMs_;
  if (connectDoneMs_ >= 0) t = std::min(t, connectDoneMs_);
  if (lostAtMs_ >= 0) t = std::min(t, lostAtMs_);
  if (!burst_.isEmpty()) t = std::min(t, lastRxMs_ + kRxGapMs);
  if (!out_.empty()) t = std::min(t, effectiveAt(out_.front()));
  return t;
}

void MeterModel::advance(qint64 nowMs) {
  for (;;) {
    qint64 t = nextFrameMs_;
    int which = 0;
    if (connectDoneMs_ >= 0 && connectDoneMs_ < t) t = connectDoneMs_, which = 1;
    if (lostAtMs_ >= 0 && lostAtMs_ < t) t = lostAtMs_, which = 2;
    if (!burst_.isEmpty() && lastRxMs_ + kRxGapMs < t) t = lastRxMs_ + kRxGapMs, which = 3;
    if (t > nowMs) break;
    now_ = std::max(now_, t);
    switch (which) {
      case 0: frameTick(t); break;
      case 1: onConnectDone(t); break;
      case 2:
        lostAtMs_ = -1;
        setLinked(false);
        enqueue(QByteArrayLiteral("OK+LOST"), t);
        break;
      case 3: burstEnded(t); break;
    }
  }
  now_ = std::max(now_, nowMs);
}

void MeterModel::restartClock(qint64 nowMs) {
  out_.clear();
  mergeStash_.clear();
  mergeStashFrames_ = 0;
  rx_.clear();
  burst_.clear();
  burstHadText_ = false;
  burstForwarded_ = false;
  lastWriteMs_ = nowMs - kMinBurstGapMs;
  lastActivityMs_ = nowMs;
  now_ = nowMs;
  nextFrameMs_ = nowMs + IntervalMs(settings_.intervalCode);
  connectDoneMs_ = -1;
  lostAtMs_ = -1;
  deferConnl_ = false;
  setLinked(false);
  dongle_ = Dongle::Idle;
}

}  // namespace zt::sim
