#include "topics.h"

namespace zt {

namespace {

QString Sanitised(QStringView s) {
  QString out;
  out.reserve(s.size());
  for (QChar c : s) {
    const bool keep = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' ||
                      c == u'-' || c == u'_';
    out += keep ? c : QChar(u'_');
  }
  return out;
}

}  // namespace

QString MeterTopicId(const QString& model, const QString& portOrAddress) {
  QStringView port = QStringView(portOrAddress).trimmed();
  if (port.startsWith(u"/dev/"))
    port = port.sliced(5);
  else if (port.startsWith(u"\\\\.\\"))
    port = port.sliced(4);
  const QString m = Sanitised(model.trimmed().toLower());
  const QString p = Sanitised(port);
  return (m.isEmpty() ? QStringLiteral("zt") : m) + u'-' + (p.isEmpty() ? QStringLiteral("none") : p);
}

QByteArray MeterTopicName(const QString& prefix, const QString& meterId, MeterTopic topic) {
  const char* leaf = topic == MeterTopic::Reading ? "/reading" : topic == MeterTopic::Row ? "/row" : "/status";
  return prefix.toUtf8() + '/' + meterId.toUtf8() + leaf;
}

}  // namespace zt
