#pragma once
// Topic names. A meter is known to subscribers by an id made of its model and
// the port or Bluetooth address it is reached through; the topics are
// <prefix>/<meter>/reading, .../row and .../status.
#include <QByteArray>
#include <QString>

namespace zt {

// "zt41-ttyUSB0", "zt42-C4_BE_84_12_34_56", "zt40-COM7": the model in lower
// case, a dash, then the port's name without "/dev/" or "\\.\" in front, or
// the address. Every character other than a letter, a digit, '.', '-' and '_'
// becomes '_', so the id is always exactly one topic level and never holds a
// wildcard. An empty model reads "zt", an empty port "none".
QString MeterTopicId(const QString& model, const QString& portOrAddress);

enum class MeterTopic { Reading, Row, Status };

// <prefix>/<meter id>/<reading|row|status> as the bytes a broker gets.
QByteArray MeterTopicName(const QString& prefix, const QString& meterId, MeterTopic topic);

}  // namespace zt
