#include "broker_config.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>

namespace zt {

namespace {

constexpr qsizetype kMaxHost = 253;            // the longest DNS name
constexpr qsizetype kMaxPrefixBytes = 200;     // leaves room for "/<meter>/reading" in any broker
constexpr qsizetype kMaxCredential = 1024;     // far beyond any real user name or password
constexpr qsizetype kMaxIniBytes = 64 * 1024;  // our file is a few hundred bytes

bool HasControl(const QString& s) {
  for (QChar c : s)
    if (c.category() == QChar::Other_Control || c.isNull()) return true;
  return false;
}

}  // namespace

QString BrokerConfig::redacted() const {
  QUrl u;
  u.setScheme(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"));
  u.setUserName(user);
  u.setHost(host);
  u.setPort(port);
  if (!prefix.isEmpty()) u.setPath(QLatin1Char('/') + prefix);
  return u.toString();
}

QString BrokerConfigErrorText(BrokerConfigError error) {
  switch (error) {
    case BrokerConfigError::None: return {};
    case BrokerConfigError::Empty: return QStringLiteral("no broker given");
    case BrokerConfigError::Scheme: return QStringLiteral("the broker URL must start with mqtt:// or mqtts://");
    case BrokerConfigError::Malformed: return QStringLiteral("the broker URL cannot be read");
    case BrokerConfigError::Host: return QStringLiteral("the broker URL names no usable host");
    case BrokerConfigError::Port: return QStringLiteral("the broker port must be a number from 1 to 65535");
    case BrokerConfigError::Prefix:
      return QStringLiteral("the topic prefix must be one or more non-empty levels without '+', '#' or a leading '$'");
    case BrokerConfigError::Credentials: return QStringLiteral("a password needs a user name; both must be shorter");
    case BrokerConfigError::Extra: return QStringLiteral("the broker URL must have no query or fragment");
  }
  return {};
}

bool ValidBrokerHost(const QString& host) {
  if (host.isEmpty() || host.size() > kMaxHost) return false;
  for (QChar c : host) {
    if (c.isLetterOrNumber()) continue;
    if (c == u'.' || c == u'-' || c == u'_' || c == u':') continue;  // ':' for IPv6 addresses
    return false;
  }
  return true;
}

bool ValidTopicPrefix(const QString& prefix) {
  if (prefix.isEmpty() || prefix.toUtf8().size() > kMaxPrefixBytes) return false;
  if (prefix.startsWith(u'$') || HasControl(prefix)) return false;
  for (QStringView level : QStringView(prefix).split(u'/')) {
    if (level.isEmpty() || level.contains(u'+') || level.contains(u'#')) return false;
  }
  return true;
}

BrokerConfigError CheckBrokerConfig(const BrokerConfig& c) {
  if (!ValidBrokerHost(c.host)) return BrokerConfigError::Host;
  if (c.port < 1 || c.port > 65535) return BrokerConfigError::Port;
  if (!ValidTopicPrefix(c.prefix)) return BrokerConfigError::Prefix;
  if ((c.user.isEmpty() && !c.password.isEmpty()) || c.user.size() > kMaxCredential ||
      c.password.size() > kMaxCredential || HasControl(c.user))
    return BrokerConfigError::Credentials;
  return BrokerConfigError::None;
}

namespace {

BrokerFieldRefusal Refuse(BrokerField field, BrokerFieldProblem problem, QChar c = {}) { return {field, problem, c}; }

}  // namespace

BrokerFieldRefusal CheckBrokerFields(const BrokerConfig& c) {
  using P = BrokerFieldProblem;
  if (!ValidBrokerHost(c.host)) {
    const QString& h = c.host;
    if (h.trimmed().isEmpty()) return Refuse(BrokerField::Host, P::Empty);
    if (h.contains(QStringLiteral("://")) || h.contains(u'/') || h.contains(u'@'))
      return Refuse(BrokerField::Host, P::Url);
    if (HasControl(h)) return Refuse(BrokerField::Host, P::Control);
    if (h.contains(u' ')) return Refuse(BrokerField::Host, P::Space);
    if (h.size() > kMaxHost) return Refuse(BrokerField::Host, P::TooLong);
    for (QChar ch : h)
      if (!ch.isLetterOrNumber() && ch != u'.' && ch != u'-' && ch != u'_' && ch != u':')
        return Refuse(BrokerField::Host, P::Character, ch);
    return Refuse(BrokerField::Host, P::Character);
  }
  if (c.port < 1 || c.port > 65535) return Refuse(BrokerField::Port, P::PortRange);
  if (!ValidTopicPrefix(c.prefix)) {
    const QString& p = c.prefix;
    if (p.isEmpty()) return Refuse(BrokerField::Prefix, P::Empty);
    if (p.toUtf8().size() > kMaxPrefixBytes) return Refuse(BrokerField::Prefix, P::TooLong);
    if (p.startsWith(u'$')) return Refuse(BrokerField::Prefix, P::Dollar);
    if (HasControl(p)) return Refuse(BrokerField::Prefix, P::Control);
    if (p.contains(u'+') || p.contains(u'#')) return Refuse(BrokerField::Prefix, P::Wildcard);
    return Refuse(BrokerField::Prefix, P::EmptyLevel);
  }
  if (c.user.isEmpty() && !c.password.isEmpty()) return Refuse(BrokerField::User, P::PasswordWithoutUser);
  if (c.user.size() > kMaxCredential) return Refuse(BrokerField::User, P::TooLong);
  if (HasControl(c.user)) return Refuse(BrokerField::User, P::Control);
  if (c.password.size() > kMaxCredential) return Refuse(BrokerField::Password, P::TooLong);
  return {};
}

BrokerUrlParse ParseBrokerUrl(QStringView text) {
  BrokerUrlParse r;
  const QString trimmed = text.trimmed().toString();
  if (trimmed.isEmpty()) {
    r.error = BrokerConfigError::Empty;
    return r;
  }
  const qsizetype colon = trimmed.indexOf(u':');
  const QString scheme = colon > 0 ? trimmed.left(colon).toLower() : QString();
  if (scheme != u"mqtt" && scheme != u"mqtts") {
    r.error = BrokerConfigError::Scheme;
    return r;
  }
  // The port is read from the text itself, so that only digits count and a
  // number out of range is named as such.
  const qsizetype authStart = colon + 3;
  qsizetype authEnd = trimmed.size();
  for (QChar stop : {u'/', u'?', u'#'}) {
    const qsizetype i = trimmed.indexOf(stop, authStart);
    if (i >= 0) authEnd = std::min(authEnd, i);
  }
  const QString authority = trimmed.mid(authStart, authEnd - authStart);
  const QString hostPort = authority.mid(authority.lastIndexOf(u'@') + 1);
  const qsizetype portColon = hostPort.indexOf(u':', hostPort.lastIndexOf(u']') + 1);
  int port = scheme == u"mqtts" ? BrokerConfig::kTlsPort : BrokerConfig::kPlainPort;
  if (portColon >= 0 && trimmed.mid(colon).startsWith(u"://")) {
    const QString digits = hostPort.mid(portColon + 1);
    bool digitsOnly = !digits.isEmpty() && digits.size() <= 5;
    for (QChar d : digits) digitsOnly = digitsOnly && d >= u'0' && d <= u'9';
    port = digitsOnly ? digits.toInt() : 0;
    if (port < 1 || port > 65535) {
      r.error = BrokerConfigError::Port;
      return r;
    }
  }
  const QUrl url(trimmed, QUrl::StrictMode);
  if (!url.isValid() || !trimmed.mid(colon).startsWith(u"://")) {
    r.error = BrokerConfigError::Malformed;
    return r;
  }
  if (url.hasQuery() || url.hasFragment()) {
    r.error = BrokerConfigError::Extra;
    return r;
  }
  BrokerConfig& c = r.config;
  c.enabled = true;
  c.tls = scheme == u"mqtts";
  c.host = url.host(QUrl::FullyDecoded);
  c.port = port;
  c.user = url.userName(QUrl::FullyDecoded);
  c.password = url.password(QUrl::FullyDecoded);
  QString path = url.path(QUrl::FullyDecoded);
  if (path.startsWith(u'/')) path.remove(0, 1);
  if (!path.isEmpty()) c.prefix = path;
  r.error = CheckBrokerConfig(c);
  if (!r.ok()) {
    r.config = BrokerConfig();
  }
  return r;
}

// ---- publish.ini
//
// [broker]
// enabled=true
// host=broker.lab
// port=1883
// tls=false
// ca_file=
// prefix=zt
// user=
// password=
//
// A value is everything after the first '=' up to the end of its line, blanks
// around it removed, with "\\", "\n" and "\r" standing for a backslash, a
// line feed and a carriage return, and blanks at a value's ends written as
// "\s", "\t", "\v", "\f", so that any password survives.

namespace {

QByteArray Escape(const QString& value) {
  QByteArray out;
  const QByteArray utf8 = value.toUtf8();
  out.reserve(utf8.size());
  // Blanks at either end are written as escapes, so that a reader may trim
  // the value's surroundings without changing it.
  qsizetype first = 0, last = utf8.size();
  auto blank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\v' || ch == '\f'; };
  while (first < last && blank(utf8[first])) ++first;
  while (last > first && blank(utf8[last - 1])) --last;
  for (qsizetype i = 0; i < utf8.size(); ++i) {
    const char ch = utf8[i];
    const bool edge = i < first || i >= last;
    switch (ch) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case ' ': out += edge ? "\\s" : " "; break;
      case '\t': out += edge ? "\\t" : "\t"; break;
      case '\v': out += edge ? "\\v" : "\v"; break;
      case '\f': out += edge ? "\\f" : "\f"; break;
      default: out += ch;
    }
  }
  return out;
}

QString Unescape(QByteArrayView value) {
  QByteArray out;
  out.reserve(value.size());
  for (qsizetype i = 0; i < value.size(); ++i) {
    const char ch = value[i];
    if (ch == '\\' && i + 1 < value.size()) {
      switch (const char next = value[++i]) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 's': out += ' '; break;
        case 't': out += '\t'; break;
        case 'v': out += '\v'; break;
        case 'f': out += '\f'; break;
        default: out += next;  // "\\" and anything else: the character itself
      }
    } else {
      out += ch;
    }
  }
  return QString::fromUtf8(out);
}

bool ParseBool(QByteArrayView v, bool* out) {
  if (v == "true" || v == "1" || v == "yes" || v == "on")
    *out = true;
  else if (v == "false" || v == "0" || v == "no" || v == "off")
    *out = false;
  else
    return false;
  return true;
}

}  // namespace

QString PublishIniPath(const QString& folder) { return QDir(folder).filePath(QStringLiteral("publish.ini")); }

PublishIniLoad ParsePublishIni(QByteArrayView text) {
  PublishIniLoad r;
  r.status = PublishIniLoad::Read;
  BrokerConfig& c = r.config;
  bool portGiven = false;
  bool inBroker = false;
  int lineNo = 0;
  qsizetype pos = 0;
  while (pos < text.size()) {
    qsizetype end = text.indexOf('\n', pos);
    if (end < 0) end = text.size();
    QByteArrayView line = text.sliced(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (line.endsWith('\r')) line.chop(1);
    const QByteArrayView trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#')) continue;
    if (trimmed.startsWith('[')) {
      inBroker = trimmed == "[broker]";
      continue;
    }
    if (!inBroker) continue;
    const qsizetype eq = line.indexOf('=');
    if (eq < 0) {
      r.problems << QStringLiteral("line %1: no '='").arg(lineNo);
      continue;
    }
    const QByteArrayView key = line.first(eq).trimmed();
    const QByteArrayView raw = line.sliced(eq + 1);
    auto bad = [&] {
      r.problems << QStringLiteral("line %1: the value of %2 is not usable").arg(lineNo).arg(QString::fromUtf8(key));
    };
    if (key == "enabled") {
      if (!ParseBool(raw.trimmed(), &c.enabled)) bad();
    } else if (key == "tls") {
      if (!ParseBool(raw.trimmed(), &c.tls)) bad();
    } else if (key == "port") {
      bool ok = false;
      const int port = raw.trimmed().toByteArray().toInt(&ok);
      if (ok && port >= 1 && port <= 65535) {
        c.port = port;
        portGiven = true;
      } else {
        bad();
      }
    } else if (key == "host") {
      const QString host = Unescape(raw.trimmed());
      if (host.isEmpty() || ValidBrokerHost(host))
        c.host = host;
      else
        bad();
    } else if (key == "prefix") {
      const QString prefix = Unescape(raw.trimmed());
      if (ValidTopicPrefix(prefix))
        c.prefix = prefix;
      else
        bad();
    } else if (key == "ca_file") {
      c.caFile = Unescape(raw.trimmed());
    } else if (key == "user") {
      c.user = Unescape(raw.trimmed());
    } else if (key == "password") {
      c.password = Unescape(raw.trimmed());
    } else {
      r.problems << QStringLiteral("line %1: unknown key %2")
                        .arg(lineNo)
                        .arg(QString::fromUtf8(key.first(qMin<qsizetype>(key.size(), 64))));
    }
  }
  if (!portGiven) c.port = c.tls ? BrokerConfig::kTlsPort : BrokerConfig::kPlainPort;
  // A file that asks for publishing with unusable settings does not publish.
  if (c.enabled && CheckBrokerConfig(c) != BrokerConfigError::None) {
    r.problems << QStringLiteral("publishing stays off: %1").arg(BrokerConfigErrorText(CheckBrokerConfig(c)));
    c.enabled = false;
  }
  return r;
}

QByteArray FormatPublishIni(const BrokerConfig& c) {
  QByteArray out;
  out += "[broker]\n";
  out += "enabled=" + QByteArray(c.enabled ? "true" : "false") + '\n';
  out += "host=" + Escape(c.host) + '\n';
  out += "port=" + QByteArray::number(c.port) + '\n';
  out += "tls=" + QByteArray(c.tls ? "true" : "false") + '\n';
  out += "ca_file=" + Escape(c.caFile) + '\n';
  out += "prefix=" + Escape(c.prefix) + '\n';
  out += "user=" + Escape(c.user) + '\n';
  out += "password=" + Escape(c.password) + '\n';
  return out;
}

PublishIniLoad ReadPublishIni(const QString& folder) {
  QFile f(PublishIniPath(folder));
  if (!f.exists()) return {};
  PublishIniLoad failed;
  failed.status = PublishIniLoad::Failed;
  if (!f.open(QIODevice::ReadOnly)) {
    failed.problems << f.errorString();
    return failed;
  }
  const QByteArray text = f.read(kMaxIniBytes + 1);
  if (text.size() > kMaxIniBytes) {
    failed.problems << QStringLiteral("the file is larger than %1 bytes").arg(kMaxIniBytes);
    return failed;
  }
  return ParsePublishIni(text);
}

bool WritePublishIni(const QString& folder, const BrokerConfig& config, QString* error) {
  QDir().mkpath(folder);
  QSaveFile f(PublishIniPath(folder));
  // The temporary file is made readable by its owner only before the password
  // is written into it; the rename keeps that mode.
  const bool ok = f.open(QIODevice::WriteOnly) && f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                  f.write(FormatPublishIni(config)) >= 0 && f.commit();
  if (!ok && error) *error = f.errorString();
  if (!ok) f.cancelWriting();
  return ok;
}

}  // namespace zt
