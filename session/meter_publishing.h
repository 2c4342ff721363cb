#pragma once
// A working session's readings, rows and link state, published to an MQTT
// broker:
//   <prefix>/<meter>/reading  every displayed reading, JSON, QoS 0
//   <prefix>/<meter>/row      every logged row, JSON, QoS 1
//   <prefix>/<meter>/status   retained: online with the link's state, or
//                             offline (also the broker's last will)
// <meter> is the model and the port or Bluetooth address (MeterTopicId). The
// payloads are made on the publisher's thread; the frame path only queues the
// values. docs/publishing.md describes every field.
#include <QByteArray>
#include <QJsonValue>
#include <QObject>
#include <QString>

#include "broker_config.h"
#include "meter_link.h"
#include "publisher.h"
#include "recorder.h"

namespace zt {

class Session;

class MeterPublishing : public QObject {
  Q_OBJECT

 public:
  // `program` names the connection at the broker, with the host and the
  // process ("zt-record-bench3-4711").
  MeterPublishing(Session* session, const QString& program, PublisherTimings timings = {}, QObject* parent = nullptr);
  ~MeterPublishing() override;

  // Starts, changes or (config.enabled false) stops publishing.
  void configure(const BrokerConfig& config);
  const BrokerConfig& config() const { return publisher_.config(); }
  Publisher& publisher() { return publisher_; }
  // Sends what is queued for at most `flushMs` while the broker is there,
  // says offline and disconnects.
  void shutdown(int flushMs) { publisher_.shutdown(flushMs); }

  // The meter's id in the topics; empty until a frame has come from a meter.
  const QString& meterId() const { return meterId_; }

  // The payloads. The publisher makes them on its own thread, so the
  // overloads with `time` take the time's text made on the caller's thread
  // (RowTimeJson): see RowToJson.
  static QByteArray ReadingJson(const MeterReading& reading, const Verdict& verdict);
  static QByteArray ReadingJson(const MeterReading& reading, const Verdict& verdict, const QJsonValue& time);
  static QByteArray RowJson(const LogRow& row);
  static QByteArray RowJson(const LogRow& row, const QJsonValue& time);
  static QByteArray StatusJson(bool online, LinkState state, LinkTransport transport, std::uint8_t model,
                               const QString& port);

 signals:
  void stateChanged(zt::PublishState state, const QString& detail);

 private:
  void reading(const MeterReading& reading, const Verdict& verdict);
  void row(const LogRow& row);
  // A frame came: the meter it came from is known (its port and model).
  void frameSeen();
  // The meter id and the status follow the link and the model.
  void updatePresence();
  QString currentPort() const;

  Session* session_;
  Publisher publisher_;
  QString clientId_;
  QString prefix_;
  bool meterSeen_ = false;  // a frame has come from a meter
  QString port_;            // the port or address the last meter's frames came through
  QString meterId_;
  QByteArray readingTopic_, rowTopic_;
};

}  // namespace zt
