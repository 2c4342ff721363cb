#include "meter_publishing.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include "row_json.h"
#include "session.h"
#include "topics.h"

namespace zt {

namespace {

QString ModelName(std::uint8_t model) {
  switch (model) {
    case kZT40: return QStringLiteral("ZT40");
    case kZT41: return QStringLiteral("ZT41");
    case kZT42: return QStringLiteral("ZT42");
    default: return QStringLiteral("ZT");
  }
}

QString LinkWord(LinkState s) {
  switch (s) {
    case LinkState::NoDevice: return QStringLiteral("no_device");
    case LinkState::Idle: return QStringLiteral("idle");
    case LinkState::Connecting: return QStringLiteral("connecting");
    case LinkState::Up: return QStringLiteral("up");
  }
  return QString();
}

QString TransportWord(LinkTransport t) {
  switch (t) {
    case LinkTransport::None: return QStringLiteral("none");
    case LinkTransport::Serial: return QStringLiteral("serial");
    case LinkTransport::Ble: return QStringLiteral("ble");
  }
  return QString();
}

QByteArray Compact(const QJsonObject& o) { return QJsonDocument(o).toJson(QJsonDocument::Compact); }

}  // namespace

MeterPublishing::MeterPublishing(Session* session, const QString& program, PublisherTimings timings, QObject* parent)
    : QObject(parent), session_(session), publisher_(timings) {
  clientId_ =
      QStringLiteral("%1-%2-%3").arg(program, QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());
  connect(&publisher_, &Publisher::stateChanged, this, &MeterPublishing::stateChanged);
  // The recorder takes every displayed reading and says its verdict before
  // it offers the reading to the log: the reading goes out there, with its
  // verdict and ahead of the row it may become.
  Recorder* recorder = &session->recorder();
  connect(recorder, &Recorder::verdict, this, [this, recorder](const Verdict& v) {
    if (recorder->lastReading()) reading(*recorder->lastReading(), v);
  });
  connect(&session->recorder(), &Recorder::rowWritten, this, &MeterPublishing::row);
  // The meter is named once a frame has come from it: before that its model
  // is only what the settings file last said.
  connect(&session->link(), &MeterLink::frameReceived, this, &MeterPublishing::frameSeen);
  connect(&session->link(), &MeterLink::stateChanged, this, &MeterPublishing::updatePresence);
  connect(&session->meter(), &MeterState::modelChanged, this, &MeterPublishing::updatePresence);
}

MeterPublishing::~MeterPublishing() = default;

void MeterPublishing::configure(const BrokerConfig& config) {
  // The prefix may have changed: the topics are made again, before the
  // connection is, so that its will names the right topic.
  prefix_ = config.prefix;
  meterId_.clear();
  updatePresence();
  publisher_.configure(config, clientId_);
}

QString MeterPublishing::currentPort() const {
  const MeterLink& link = session_->link();
  if (link.transport() == LinkTransport::Ble) return link.bleMeterId();
  if (link.portOpen()) return link.portName();
  return QString();
}

void MeterPublishing::frameSeen() {
  const QString port = currentPort();
  if (meterSeen_ && port == port_ && !meterId_.isEmpty()) return;
  meterSeen_ = true;
  port_ = port;
  updatePresence();
}

void MeterPublishing::updatePresence() {
  if (!meterSeen_) return;  // no frame from a meter yet: nothing to name
  const std::uint8_t model = session_->meter().model();
  const QString id = MeterTopicId(ModelName(model), port_);
  if (id != meterId_) {
    meterId_ = id;
    readingTopic_ = MeterTopicName(prefix_, id, MeterTopic::Reading);
    rowTopic_ = MeterTopicName(prefix_, id, MeterTopic::Row);
  }
  const MeterLink& link = session_->link();
  publisher_.setPresence(MeterTopicName(prefix_, id, MeterTopic::Status),
                         StatusJson(true, link.state(), link.transport(), model, port_),
                         StatusJson(false, link.state(), link.transport(), model, port_));
}

void MeterPublishing::reading(const MeterReading& reading, const Verdict& verdict) {
  if (!publisher_.enabled()) return;
  // The first frame's reading comes before frameSeen() hears of the frame.
  if (meterId_.isEmpty()) frameSeen();
  publisher_.publish(
      readingTopic_,
      [reading, verdict, time = RowTimeJson(reading.time)] { return ReadingJson(reading, verdict, time); },
      Qos::AtMostOnce);
}

void MeterPublishing::row(const LogRow& row) {
  if (!publisher_.enabled()) return;
  if (meterId_.isEmpty()) frameSeen();
  publisher_.publish(
      rowTopic_, [row, time = RowTimeJson(row.time)] { return RowJson(row, time); }, Qos::AtLeastOnce);
}

QByteArray MeterPublishing::RowJson(const LogRow& row) { return RowJson(row, RowTimeJson(row.time)); }

QByteArray MeterPublishing::RowJson(const LogRow& row, const QJsonValue& time) { return Compact(RowToJson(row, time)); }

QByteArray MeterPublishing::ReadingJson(const MeterReading& reading, const Verdict& verdict) {
  return ReadingJson(reading, verdict, RowTimeJson(reading.time));
}

QByteArray MeterPublishing::ReadingJson(const MeterReading& reading, const Verdict& verdict, const QJsonValue& time) {
  // A reading carries a row's numbers; what only a logged row has (its
  // position, its grid texts, a profile) it has not. Its texts are the
  // panel's.
  LogRow asRow;
  asRow.time = reading.time;
  asRow.reading = reading;
  asRow.verdict = verdict;
  QJsonObject o = RowToJson(asRow, time);
  o.remove(QStringLiteral("position"));
  o.remove(QStringLiteral("profile"));
  o.insert(
      QStringLiteral("texts"),
      QJsonObject{{QStringLiteral("primary"), reading.primaryLetter + QLatin1Char(' ') + reading.primaryText},
                  {QStringLiteral("secondary"), reading.secondaryLetter + QLatin1Char(' ') + reading.secondaryText},
                  {QStringLiteral("frequency"), reading.freqText},
                  {QStringLiteral("level"), reading.levelText}});
  return Compact(o);
}

QByteArray MeterPublishing::StatusJson(bool online, LinkState state, LinkTransport transport, std::uint8_t model,
                                       const QString& port) {
  QJsonObject o{{QStringLiteral("status"), online ? QStringLiteral("online") : QStringLiteral("offline")},
                {QStringLiteral("model"), ModelName(model)},
                {QStringLiteral("port"), port}};
  if (online) {
    o.insert(QStringLiteral("link"), LinkWord(state));
    o.insert(QStringLiteral("transport"), TransportWord(transport));
  }
  return Compact(o);
}

}  // namespace zt
