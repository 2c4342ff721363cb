#include "headless_recorder.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <csignal>

#include "export_writer.h"
#include "lang_man.h"
#include "menus.h"
#include "row_json.h"
#include "session.h"
#include "zt_version.h"

namespace zt {

namespace {

// How long the end of a run waits for rows still on their way to the broker.
constexpr int kPublishFlushMs = 3000;

// Readings that may pass after the settings went out before the meter is
// asked again, and before recording starts with what the meter keeps.
constexpr int kReadingsPerAttempt = 3;
constexpr int kSettingsAttempts = 2;

QString Elapsed(qint64 ms) {
  const qint64 s = ms / 1000;
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600, 2, 10, QChar(u'0'))
      .arg(s / 60 % 60, 2, 10, QChar(u'0'))
      .arg(s % 60, 2, 10, QChar(u'0'));
}

QString Seconds(double s) { return QString::number(s, 'g', 6); }

}  // namespace

// ---------------------------------------------------------------- pure helpers

bool SettingsTaken(const MeterSettings& asked, const MeterSettings& reported) {
  auto same = [](std::uint8_t askedAuto, std::uint8_t reportedAuto, std::uint8_t askedCode, std::uint8_t reportedCode) {
    const bool autoAsked = askedAuto == 1;
    if (autoAsked != (reportedAuto == 1)) return false;
    return autoAsked || askedCode == reportedCode;
  };
  return same(asked.FreqAuto, reported.FreqAuto, asked.FreqCode, reported.FreqCode) &&
         same(asked.LevelAuto, reported.LevelAuto, asked.LevelCode, reported.LevelCode) &&
         same(asked.PrimaryAuto, reported.PrimaryAuto, asked.PrimaryCode, reported.PrimaryCode) &&
         same(asked.SecondaryAuto, reported.SecondaryAuto, asked.SecondaryCode, reported.SecondaryCode) &&
         same(asked.CircuitAuto, reported.CircuitAuto, asked.CircuitSeries & 1, reported.CircuitSeries & 1) &&
         // Interval code 0 asks for nothing: the meter keeps its own.
         (asked.IntervalCode == 0 || asked.IntervalCode == reported.IntervalCode) &&
         (asked.Hold & 1) == (reported.Hold & 1);
}

QString ProgressLine(int rows, qint64 elapsedMs, double perSecond, const LogRow* last, int width) {
  QString line = QStringLiteral("%1 %2  %3/s  %4")
                     .arg(rows)
                     .arg(rows == 1 ? QStringLiteral("row") : QStringLiteral("rows"))
                     .arg(perSecond >= 0 ? QString::number(perSecond, 'f', 2) : QStringLiteral("-"))
                     .arg(Elapsed(elapsedMs));
  if (last) {
    line += QStringLiteral("  #%1  %2  %3").arg(last->position).arg(last->texts[2], last->texts[3]);
    const QString verdict = VerdictWord(last->verdict);
    if (verdict != QLatin1String("none")) line += QStringLiteral("  ") + verdict;
  }
  if (width > 1 && line.size() >= width) line.truncate(width - 1);
  return line;
}

int FindLanguage(const LangMan& lang, const QString& wanted) {
  const QString w = wanted.trimmed();
  for (int i = 0; i < lang.languageCount(); ++i) {
    const LangInfo& info = lang.language(i);
    QStringList names{info.name};
    if (i == 0) {
      names += LangMan::designLangIsoCode().split(QStringLiteral(" - "));
    } else {
      names << info.file.code.trimmed() << QFileInfo(info.path).completeBaseName();
    }
    for (const QString& n : names)
      if (!n.isEmpty() && n.compare(w, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

// ---------------------------------------------------------------- Countdown

Countdown::Countdown(QObject* parent) : QObject(parent) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (deadline_.hasExpired())
      emit expired();
    else
      arm();
  });
}

void Countdown::start(double seconds) {
  deadline_.setRemainingTime(qint64(seconds * 1000.0 + 0.5));
  arm();
}

void Countdown::stop() { timer_.stop(); }

void Countdown::arm() { timer_.start(int(std::min<qint64>(deadline_.remainingTime(), INT_MAX / 2))); }

// ---------------------------------------------------------------- the recorder

HeadlessRecorder::HeadlessRecorder(RecordOptions options, RecordEnv env, QObject* parent)
    : QObject(parent), options_(std::move(options)), env_(std::move(env)) {
  if (!options_.port.isEmpty()) lookup_ = std::make_unique<SinglePortLookup>(options_.port);
  SessionDeps deps;
  deps.portLookup = lookup_.get();
  deps.ble = &ble_;
  deps.linkTimings = env_.linkTimings;
  // The window's settings file (last profile, automatic connection, language)
  // neither applies to a recorder run nor changes through it.
  deps.dataFolder = env_.sessionFolder;
  deps.langDir = env_.langDir;
  session_ = std::make_unique<Session>(deps);
  connect(session_.get(), &Session::notice, this, [this](NoticeLevel level, const QString& text) {
    if (level == NoticeLevel::Information)
      note(text);
    else
      warn(text);
  });
  connect(&wait_, &Countdown::expired, this, &HeadlessRecorder::waitExpired);
  connect(&duration_, &Countdown::expired, this, [this] {
    note(QStringLiteral("recorded for %1 s").arg(Seconds(options_.durationS)));
    finish(kExitDone);
  });
  tick_.setInterval(1000);
  connect(&tick_, &QTimer::timeout, this, &HeadlessRecorder::drawProgress);
}

HeadlessRecorder::~HeadlessRecorder() {
  clearProgress();
  // The publishing goes before the session it listens to, the session
  // before the components it was given.
  publishing_.reset();
  session_.reset();
}

int HeadlessRecorder::prepare() {
  Session& s = *session_;
  // The session's own settings file comes into being (empty, nothing to
  // apply) and the link's poll is armed; nothing reaches a device before the
  // event loop runs, and a refused run never starts it.
  s.start();

  const int lang = FindLanguage(s.lang(), options_.lang);
  if (lang < 0) {
    warn(QStringLiteral("no language '%1' (there are: %2)")
             .arg(options_.lang, s.lang().languageNames().join(QStringLiteral(", "))));
    return kExitUsage;
  }
  // The session's settings file names the default language, and opening a
  // profile file reads it again: it names English unless the design language
  // was asked for, so that the language asked for stays in use.
  s.settings().SaveLanguageIndex(lang == 0 ? 0 : 1);
  s.lang().switchTo(lang);

  QString error;
  if (!options_.profile.isEmpty() && !loadProfile(&error)) {
    warn(error);
    return kExitUsage;
  }
  if (options_.start > 0) s.recorder().setStartPosition(options_.start);

  if (options_.mqtt) {
    BrokerConfig& broker = *options_.mqtt;
    if (!broker.caFile.isEmpty() && !QFileInfo(broker.caFile).isReadable()) {
      warn(QStringLiteral("cannot read the CA file %1").arg(QDir::toNativeSeparators(broker.caFile)));
      return kExitUsage;
    }
    if (!broker.user.isEmpty() && broker.password.isEmpty()) broker.password = qEnvironmentVariable("ZT_MQTT_PASSWORD");
    publishing_ = std::make_unique<MeterPublishing>(session_.get(), QStringLiteral("zt-record"));
    connect(publishing_.get(), &MeterPublishing::stateChanged, this, &HeadlessRecorder::brokerState);
  }

  SinkOptions so;
  so.format = options_.format;
  so.path = options_.out;
  so.csvSeparator = CsvSeparatorFor(QLocale::system().decimalPoint());
  so.messages = s.lang().lexicons().D4;
  if (!options_.capture.isEmpty()) {
    LinkCapture& capture = s.capture();
    if (!capture.start(options_.capture, QStringLiteral("zt-record %1").arg(QLatin1String(kVersion)), &error)) {
      warn(QStringLiteral("cannot write the capture %1: %2").arg(QDir::toNativeSeparators(options_.capture), error));
      return kExitOutput;
    }
    // A capture that cannot go on ends alone; the recording does not.
    connect(&capture, &LinkCapture::failed, this, [this](const QString& why) {
      warn(QStringLiteral("the capture %1 ended: %2; recording goes on")
               .arg(QDir::toNativeSeparators(options_.capture), why));
    });
  }
  sink_ = MakeRowSink(so);
  GridRowTexts headings;
  for (int c = 0; c < kLogColumns; ++c) headings[c] = s.recorder().model()->header(c);
  if (!sink_->open(headings, &error)) {
    warn(error);
    return kExitOutput;
  }
  return kExitDone;
}

bool HeadlessRecorder::loadProfile(QString* error) {
  ProfileBook& book = session_->book();
  const QString path = options_.profile;
  const QString shown = QDir::toNativeSeparators(path);
  // Opening a name that does not exist would create a new profile file, as
  // the window's "Открыть" does: a recorder only reads.
  if (!QFileInfo(path).isFile()) {
    *error = QStringLiteral("cannot read the profile file %1: no such file").arg(shown);
    return false;
  }
  // What the file is decides before anything is taken from it: a file of
  // another kind is no profile at all, and of a damaged profile file only a
  // profile that reads as the editor wrote it is used, so no stray byte
  // becomes a setting of the meter (a hold, say, that stops its readings).
  const int n = options_.index > 0 ? options_.index : 1;
  ProfileFileCheck check;
  const ProfileIo checked = ProfileFile(path).check(check);
  if (!checked.ok) {
    *error = QStringLiteral("cannot read the profile file %1: %2").arg(shown, checked.message);
    return false;
  }
  const Lexicon& messages = session_->lang().lexicons().D4;
  if (check.kind == ProfileFileKind::NotProfile) {
    *error = messages[msg::kNotProfileFile].arg(shown, check.reason);
    return false;
  }
  if (check.kind == ProfileFileKind::Damaged && n <= check.count && !check.profileClean(n)) {
    *error = QStringLiteral("the profile file %1 is damaged and profile %2 does not read as written:\n%3")
                 .arg(shown)
                 .arg(n)
                 .arg(check.problems.join(QLatin1Char('\n')));
    return false;
  }
  QString said;
  const auto listen = connect(&book, &ProfileBook::notice, this, [&said](NoticeLevel, const QString& t) { said = t; });
  const bool opened = book.open(path);
  const int count = book.profileCount();
  // The session keeps the profile read last as the one in use: its settings
  // go to the meter whenever a link comes up.
  const bool read = opened && n <= count && book.ReadProfile(n);
  disconnect(listen);
  if (read) return true;
  const QString reason = said.isEmpty() ? QString() : QStringLiteral(": ") + said;
  if (!opened)
    *error = QStringLiteral("cannot read the profile file %1%2").arg(shown, reason);
  else if (count < 1)
    *error = QStringLiteral("the profile file %1 holds no profile").arg(shown);
  else if (n > count)
    *error =
        QStringLiteral("the profile file %1 holds %2 profile(s); --index %3 names none").arg(shown).arg(count).arg(n);
  else
    *error = QStringLiteral("cannot read profile %1 of %2%3").arg(n).arg(shown, reason);
  return false;
}

void HeadlessRecorder::start() {
  Session& s = *session_;
  MeterLink& link = s.link();
  // After the session's own connections: the meter's state has taken each
  // frame and the recorder each reading before these run.
  connect(&link, &MeterLink::linkCameUp, this, [this] { connected(false); });
  connect(&link, &MeterLink::settled, this, [this] { settled_ = true; });
  connect(&link, &MeterLink::frameReceived, this, &HeadlessRecorder::frameArrived);
  connect(&link, &MeterLink::stateChanged, this, &HeadlessRecorder::linkStateChanged);
  connect(&link, &MeterLink::linkEvent, this, [this](LinkEvent e) {
    if (e == LinkEvent::Connecting || e == LinkEvent::ConnectFailed || e == LinkEvent::NoConnection ||
        e == LinkEvent::Connected || e == LinkEvent::Ok)
      dongleAnswered_ = true;
  });
  connect(&s.meter(), &MeterState::rlcReading, this, &HeadlessRecorder::readingShown);
  // The session sends the settings as the window does, at the first reading
  // after a link has settled; here they are then confirmed (or asked again).
  s.setIntervalOnLink(options_.intervalItem);
  connect(&s, &Session::linkSettingsSent, this, [this](const MeterSettings& asked) {
    asked_ = asked;
    ++sends_;
    mismatches_ = 0;
    // The reading that brought the settings out still shows the old ones.
    if (!resending_) skipReading_ = true;
  });
  connect(&s.recorder(), &Recorder::rowWritten, this, &HeadlessRecorder::rowWritten);

  if (publishing_) {
    note(QStringLiteral("publishing to %1").arg(options_.mqtt->redacted()));
    publishing_->configure(*options_.mqtt);
  }

  phase_ = Phase::Waiting;
  if (options_.waitS > 0) wait_.start(options_.waitS);
  if (env_.progress) tick_.start();
  note(options_.port.isEmpty() ? QStringLiteral("looking for the meter's USB bridge")
                               : QStringLiteral("looking for the meter on %1").arg(portText()));
  // Automatic connection keeps trying (and reconnects after a loss); the
  // press tries at once rather than at the poll's first tick.
  link.setAutoConnect(true);
  link.connectOrDisconnect();
}

QString HeadlessRecorder::portText() const {
  const QString port = session_->link().portName();
  return QDir::toNativeSeparators(port.isEmpty() ? options_.port : port);
}

QString HeadlessRecorder::outputText() const {
  return options_.toStdout() ? QStringLiteral("standard output") : QDir::toNativeSeparators(options_.out);
}

// ---------------------------------------------------------------- the link

void HeadlessRecorder::connected(bool viaBridge) {
  if (connected_ || phase_ == Phase::Done) return;
  connected_ = true;
  viaBridge_ = viaBridge;
  wait_.stop();
  const bool back = phase_ == Phase::Lost;
  phase_ = Phase::Configuring;
  if (back)
    warn(QStringLiteral("link back on %1 after %2 s; going on at position %3")
             .arg(portText())
             .arg(lostClock_.elapsed() / 1000)
             .arg(session_->recorder().startPosition()));
  else
    note(QStringLiteral("connected to the meter on %1%2")
             .arg(portText(), viaBridge ? QStringLiteral(" (USB-UART bridge)") : QString()));
  everConnected_ = true;
  sends_ = 0;
  mismatches_ = 0;
  if (!wantsSettings()) {
    startRecording();
  } else if (viaBridge) {
    // Settings go to the meter only over a link that is up, and a plain
    // bridge never brings one up: the meter keeps what it has.
    if (!bridgeWarned_)
      warn(
          QStringLiteral("the meter is on a plain USB-UART bridge, which carries no settings: "
                         "the requested settings are not sent, the meter keeps its own"));
    bridgeWarned_ = true;
    startRecording();
  }
  // Otherwise: the settings go out with the first reading after the wake-up.
}

void HeadlessRecorder::frameArrived() {
  if (phase_ == Phase::Done) return;
  MeterLink& link = session_->link();
  // Frames while no link is up, from a device that never answered the
  // dongle's texts: a plain USB-UART bridge. Measuring is switched on as the
  // operator does in the window, so that the frames are shown and logged.
  if (link.linkUp() || dongleAnswered_) return;
  if (session_->meter().mode() == WorkMode::EditingProfile) session_->meter().setMode(WorkMode::Measuring);
  connected(true);
}

void HeadlessRecorder::linkStateChanged() {
  const LinkState state = session_->link().state();
  if (state == LinkState::NoDevice) dongleAnswered_ = false;  // whatever comes next is asked afresh
  if (!connected_) return;
  const bool gone = viaBridge_ ? state == LinkState::NoDevice : state != LinkState::Up;
  if (gone) lost();
}

void HeadlessRecorder::lost() {
  connected_ = false;
  settled_ = false;
  if (phase_ == Phase::Done) return;
  session_->recorder().stop();
  phase_ = Phase::Lost;
  lostClock_.start();
  warn(options_.waitS > 0
           ? QStringLiteral("link to the meter lost after %1 row(s); waiting up to %2 s for it to come back")
                 .arg(rowsWritten())
                 .arg(Seconds(options_.waitS))
           : QStringLiteral("link to the meter lost after %1 row(s); waiting for it to come back").arg(rowsWritten()));
  if (options_.waitS > 0) wait_.start(options_.waitS);
}

void HeadlessRecorder::waitExpired() {
  if (phase_ == Phase::Done || connected_) return;
  if (!everConnected_) {
    QString why;
    if (session_->link().portOpen())
      why = QStringLiteral(": the bridge on %1 is there, but no meter answered").arg(portText());
    else if (!options_.port.isEmpty())
      why = QStringLiteral(": %1 %2").arg(portText(), QFileInfo::exists(options_.port)
                                                          ? QStringLiteral("could not be opened")
                                                          : QStringLiteral("does not exist"));
    else
      why = QStringLiteral(": no meter bridge found");
    warn(QStringLiteral("no meter within %1 s%2").arg(Seconds(options_.waitS), why));
    finish(kExitNoDevice);
    return;
  }
  warn(QStringLiteral("the link did not come back within %1 s").arg(Seconds(options_.waitS)));
  finish(kExitLinkLost);
}

// ---------------------------------------------------------------- readings and rows

void HeadlessRecorder::readingShown(const MeterReading& reading) {
  if (phase_ == Phase::Recording) {
    if (reading.settings.Hold == 1 && !holdWarned_) {
      holdWarned_ = true;
      warn(QStringLiteral("the meter's hold is on: readings are not logged while it is"));
    }
    return;
  }
  if (phase_ != Phase::Configuring || viaBridge_ || !settled_) return;
  if (std::exchange(skipReading_, false) || sends_ == 0) return;
  if (SettingsTaken(asked_, reading.settings)) {
    startRecording();
    return;
  }
  if (++mismatches_ < kReadingsPerAttempt) return;
  if (sends_ < kSettingsAttempts) {
    sendSettings();
    return;
  }
  warn(QStringLiteral("the meter did not take the requested settings; recording with its own"));
  startRecording();
}

bool HeadlessRecorder::wantsSettings() const { return session_->hasLinkSettings(); }

void HeadlessRecorder::sendSettings() {
  resending_ = true;
  session_->sendLinkSettings();
  resending_ = false;
}

void HeadlessRecorder::startRecording() {
  if (phase_ == Phase::Done) return;
  const bool first = !recordingClock_.isValid();
  phase_ = Phase::Recording;
  session_->recorder().setRecording(true);
  if (first) {
    recordingClock_.start();
    if (options_.durationS > 0) duration_.start(options_.durationS);
    note(QStringLiteral("recording into %1").arg(outputText()));
  }
  drawProgress();
}

void HeadlessRecorder::rowWritten(const LogRow& row) {
  if (phase_ == Phase::Done) return;
  Recorder& recorder = session_->recorder();
  if (phase_ != Phase::Recording) {
    // A row the recorder wrote by itself while recording was off (the
    // meter's hold logs while the settings are still being confirmed): not
    // part of this recording, and its position is given back.
    recorder.setStartPosition(row.position);
    return;
  }
  QString error;
  if (!sink_->write(row, &error)) {
    if (sink_->readerGone()) {
      finish(kExitDone);
      return;
    }
    warn(error);
    finish(kExitOutput);
    return;
  }
  lastRow_ = row;
  const qint64 now = recordingClock_.elapsed();
  if (sink_->rows() == 1) firstRowMs_ = now;
  lastRowMs_ = now;
  drawProgress();
  if (options_.count > 0 && sink_->rows() >= options_.count) {
    finish(kExitDone);
  } else if (recorder.logFull()) {
    // The recorder has said so (a notice) and stopped.
    finish(kExitDone);
  }
}

// ---------------------------------------------------------------- ending

void HeadlessRecorder::stop(int signalNumber) {
  if (phase_ == Phase::Done) return;
  note(QStringLiteral("stopped by %1")
           .arg(signalNumber == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT")));
  finish(kExitDone);
}

void HeadlessRecorder::finish(int code) {
  if (phase_ == Phase::Done) return;
  phase_ = Phase::Done;
  wait_.stop();
  duration_.stop();
  tick_.stop();
  session_->recorder().stop();
  QString error;
  if (sink_ && !sink_->finish(&error)) {
    warn(error);
    code = kExitOutput;
  }
  clearProgress();
  if (sink_ && !sink_->readerGone())
    note(QStringLiteral("%1 row(s) written to %2").arg(sink_->rows()).arg(outputText()));
  if (publishing_) {
    // Rows still waiting get a few seconds while the broker is there; then
    // the status says offline.
    publishing_->shutdown(kPublishFlushMs);
    const PublishCounters c = publishing_->publisher().counters();
    if (const std::uint64_t rows = c.queuedRows + c.droppedRows)
      warn(QStringLiteral("%1 row(s) were not published to the broker").arg(rows));
    if (const std::uint64_t readings = c.droppedReadings + (c.queued - c.queuedRows))
      note(QStringLiteral("%1 reading(s) were not published to the broker").arg(readings));
  }
  // The dongle is told to let go of the meter; the port is closed.
  session_->link().shutdown();
  // After the link's last words (the "AT" of the close).
  LinkCapture& capture = session_->capture();
  if (capture.active()) {
    capture.stop();
    note(QStringLiteral("%1 burst(s) and write(s) captured into %2")
             .arg(capture.recordsWritten())
             .arg(QDir::toNativeSeparators(options_.capture)));
  }
  QMetaObject::invokeMethod(
      this, [this, code] { emit finished(code); }, Qt::QueuedConnection);
}

// The broker's state, once per change between reached and not: a broker
// that stays away is named once, not at every attempt.
void HeadlessRecorder::brokerState(PublishState state, const QString& detail) {
  const QString broker = options_.mqtt->redacted();
  if (state == PublishState::Connected && !brokerReached_) {
    brokerReached_ = true;
    note(QStringLiteral("broker %1 reached").arg(broker));
  } else if (state == PublishState::Disconnected && (brokerReached_ || !brokerWarned_)) {
    warn(QStringLiteral("broker %1 not reached (%2); rows wait and are sent when it is back")
             .arg(broker, detail.isEmpty() ? QStringLiteral("no reason given") : detail));
    brokerReached_ = false;
    brokerWarned_ = true;
  }
}

// ---------------------------------------------------------------- standard error

double HeadlessRecorder::rowsPerSecond() const {
  // Over the rows written so far, so that the figure is the meter's pace
  // from the first row on, whatever time the connection took.
  const int n = rowsWritten();
  if (n < 2 || lastRowMs_ <= firstRowMs_) return -1;
  return (n - 1) * 1000.0 / double(lastRowMs_ - firstRowMs_);
}

void HeadlessRecorder::note(const QString& text) {
  if (!options_.quiet) say(text);
}

void HeadlessRecorder::warn(const QString& text) { say(text); }

void HeadlessRecorder::say(const QString& text) {
  clearProgress();
  std::fprintf(env_.err, "zt-record: %s\n", text.toLocal8Bit().constData());
  std::fflush(env_.err);
  drawProgress();
}

void HeadlessRecorder::drawProgress() {
  if (!env_.progress || phase_ == Phase::Done || phase_ == Phase::Prepared) return;
  QString line;
  if (phase_ == Phase::Waiting)
    line = QStringLiteral("waiting for the meter");
  else if (phase_ == Phase::Lost)
    line = QStringLiteral("link lost %1 s ago, waiting").arg(lostClock_.elapsed() / 1000);
  else if (phase_ == Phase::Configuring)
    line = QStringLiteral("setting the meter up");
  else
    line = ProgressLine(rowsWritten(), recordingClock_.elapsed(), rowsPerSecond(), lastRow_ ? &*lastRow_ : nullptr,
                        env_.columns);
  if (env_.columns > 1 && line.size() >= env_.columns) line.truncate(env_.columns - 1);
  std::fprintf(env_.err, "\r\033[K%s", line.toLocal8Bit().constData());
  std::fflush(env_.err);
  progressShown_ = true;
}

void HeadlessRecorder::clearProgress() {
  if (!progressShown_) return;
  std::fprintf(env_.err, "\r\033[K");
  std::fflush(env_.err);
  progressShown_ = false;
}

}  // namespace zt
