#pragma once
// zt-record's logic: a Session (the window's controllers, wired the same
// way) driven by the command line instead of the window's buttons, with its
// rows going to a file or standard output.
//
// The course of a run: prepare() settles everything that needs no device
// (language, profile, output file) and refuses the run before any port is
// opened; start() switches automatic connection on and presses "connect".
// Once a link is up (or, on a plain USB-UART bridge, frames arrive) and the
// meter has been woken, the requested settings are sent and recording starts
// with the first reading that reports them. A lost link stops recording until
// the link is back; positions go on where they were.
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>

#include "meter_link.h"
#include "meter_publishing.h"
#include "meter_settings.h"
#include "record_options.h"
#include "recorder.h"
#include "row_sink.h"
#include "serial_only.h"

namespace zt {

class LangMan;
class Session;

// What the process around the recorder provides.
struct RecordEnv {
  QString langDir;        // the language files' folder; empty: only the design language
  QString sessionFolder;  // the session's own settings file lives here (not the window's)
  std::FILE* err = stderr;
  bool progress = false;  // one progress line on `err` (a terminal, not --quiet)
  int columns = 80;       // the terminal's width
  LinkTimings linkTimings{};
};

// The meter reports the settings it was asked for, in everything that shapes
// a reading: frequency, level, primary and secondary parameter, circuit (each
// automatic or the same code), the interval and the hold. Sound and the
// source resistance (which only some models offer) are not compared.
bool SettingsTaken(const MeterSettings& asked, const MeterSettings& reported);

// The progress line: rows, rows per second (negative: not known yet),
// elapsed time, and the last row's readings and verdict; cut to `width`
// characters.
QString ProgressLine(int rows, qint64 elapsedMs, double perSecond, const LogRow* last, int width);

// The language `wanted` names in the engine's list, by name or code (either
// case; the design language also answers to "ru" and "Russian"); -1 when none.
int FindLanguage(const LangMan& lang, const QString& wanted);

// A single-shot timer for any number of seconds (QTimer alone stops at about
// 24 days).
class Countdown : public QObject {
  Q_OBJECT
 public:
  explicit Countdown(QObject* parent = nullptr);
  void start(double seconds);
  void stop();
  bool isActive() const { return timer_.isActive(); }

 signals:
  void expired();

 private:
  void arm();
  QTimer timer_;
  QDeadlineTimer deadline_;
};

class HeadlessRecorder : public QObject {
  Q_OBJECT

 public:
  HeadlessRecorder(RecordOptions options, RecordEnv env, QObject* parent = nullptr);
  ~HeadlessRecorder() override;

  // The language, the profile and the output, before any device: kExitDone
  // when the run can start, else the exit status (the reason written).
  int prepare();
  // Connects and records; finished() follows once, queued.
  void start();

  Session& session() { return *session_; }
  int rowsWritten() const { return sink_ ? sink_->rows() : 0; }

 public slots:
  // SIGINT or SIGTERM: recording ends cleanly, the file is completed.
  void stop(int signalNumber);

 signals:
  void finished(int exitCode);

 private:
  enum class Phase { Prepared, Waiting, Configuring, Recording, Lost, Done };

  bool loadProfile(QString* error);
  void connected(bool viaBridge);
  void lost();
  void frameArrived();
  void linkStateChanged();
  void readingShown(const MeterReading& reading);
  void rowWritten(const LogRow& row);
  void sendSettings();
  void startRecording();
  void waitExpired();
  void brokerState(PublishState state, const QString& detail);
  void finish(int code);

  bool wantsSettings() const;
  QString portText() const;
  QString outputText() const;
  void note(const QString& text);  // information: silenced by --quiet
  void warn(const QString& text);  // always
  void say(const QString& text);
  double rowsPerSecond() const;
  void drawProgress();
  void clearProgress();

  RecordOptions options_;
  RecordEnv env_;
  std::unique_ptr<PortLookup> lookup_;
  NoBle ble_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<RowSink> sink_;
  std::unique_ptr<MeterPublishing> publishing_;  // --mqtt
  bool brokerReached_ = false;
  bool brokerWarned_ = false;

  Phase phase_ = Phase::Prepared;
  bool everConnected_ = false;
  bool connected_ = false;
  bool viaBridge_ = false;
  bool dongleAnswered_ = false;  // the device on the port has answered "AT" texts: a dongle
  bool settled_ = false;         // the wake-up after this link-up has gone out
  MeterSettings asked_;          // what the last settings sent asked for
  bool resending_ = false;       // sendSettings() is asking again
  bool skipReading_ = false;     // the settings went out with the reading being shown
  int sends_ = 0;
  int mismatches_ = 0;
  bool bridgeWarned_ = false;
  bool holdWarned_ = false;

  Countdown wait_;
  Countdown duration_;
  QTimer tick_;
  QElapsedTimer recordingClock_;
  QElapsedTimer lostClock_;
  std::optional<LogRow> lastRow_;
  qint64 firstRowMs_ = 0;
  qint64 lastRowMs_ = 0;
  bool progressShown_ = false;
};

}  // namespace zt
