#pragma once
// Where readings are published: the broker's address, the topic prefix, the
// credentials and the TLS trust, as a plain value. Read from a URL on the
// command line or from <data folder>/publish.ini, which the window writes.
// The password lives in that file (readable by its owner only) and in memory;
// nothing here ever puts it into a text meant for a person.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace zt {

struct BrokerConfig {
  static constexpr int kPlainPort = 1883;
  static constexpr int kTlsPort = 8883;

  bool enabled = false;
  QString host;
  int port = kPlainPort;
  bool tls = false;
  QString caFile;  // TLS: the authority that signed the broker's certificate; empty: the system's
  QString prefix = QStringLiteral("zt");
  QString user;
  QString password;

  // The broker as a person may see it: scheme, user, host, port and prefix,
  // never the password ("mqtts://bench@broker.lab:8883/zt").
  QString redacted() const;

  bool operator==(const BrokerConfig&) const = default;
};

// Why a URL or a field was refused.
enum class BrokerConfigError {
  None,
  Empty,        // no URL at all
  Scheme,       // neither mqtt:// nor mqtts://
  Malformed,    // not a URL
  Host,         // no host, or one that cannot be a host name or address
  Port,         // not a number from 1 to 65535
  Prefix,       // empty level, '+', '#', a leading '$', or too long
  Credentials,  // a password without a user, or a field too long
  Extra,        // a query or fragment (nothing is read from them)
};

// English text for the command line.
QString BrokerConfigErrorText(BrokerConfigError error);

struct BrokerUrlParse {
  BrokerConfig config;  // enabled, when the URL was taken
  BrokerConfigError error = BrokerConfigError::None;
  bool ok() const { return error == BrokerConfigError::None; }
};

// mqtt://[user[:password]@]host[:port][/prefix] and the same with mqtts://
// (TLS, default port 8883). User and password may be percent-encoded; the
// prefix may have several levels ("lab/bench"). The CA file is not part of the
// URL.
BrokerUrlParse ParseBrokerUrl(QStringView url);

// Field checks shared by the URL, the file and the window's dialog.
bool ValidBrokerHost(const QString& host);
bool ValidTopicPrefix(const QString& prefix);
// All fields together: the first refusal, or None.
BrokerConfigError CheckBrokerConfig(const BrokerConfig& config);

// The field a person types and what is wrong with it, for a dialogue to
// name: the same checks as CheckBrokerConfig, in the same order, with the
// reason told apart.
enum class BrokerField { None, Host, Port, Prefix, User, Password };
enum class BrokerFieldProblem {
  None,
  Empty,                // nothing typed
  Space,                // a blank inside it
  Url,                  // a whole URL ("mqtt://host:1883/x") where a host belongs
  Character,            // a character no host name or address has
  TooLong,              //
  Control,              // control characters
  PortRange,            // not from 1 to 65535
  EmptyLevel,           // "a//b", "/a", "a/"
  Wildcard,             // '+' or '#'
  Dollar,               // a leading '$'
  PasswordWithoutUser,  //
};
struct BrokerFieldRefusal {
  BrokerField field = BrokerField::None;
  BrokerFieldProblem problem = BrokerFieldProblem::None;
  QChar character;  // Character: the first one refused
  bool ok() const { return field == BrokerField::None; }
};
BrokerFieldRefusal CheckBrokerFields(const BrokerConfig& config);

// ---- publish.ini

QString PublishIniPath(const QString& folder);

struct PublishIniLoad {
  enum Status { Missing, Read, Failed };
  Status status = Missing;
  BrokerConfig config;   // defaults where the file had nothing usable
  QStringList problems;  // one a line: what was ignored and why (never a value)
};

// The file's text as stored. Unknown keys and bad values are ignored (the
// field keeps its default) and named in `problems`; nothing is ever read out
// of bounds, however the text is made.
PublishIniLoad ParsePublishIni(QByteArrayView text);
QByteArray FormatPublishIni(const BrokerConfig& config);

// The file in `folder`: Missing when there is none, Failed when it cannot be
// read or is too large to be ours.
PublishIniLoad ReadPublishIni(const QString& folder);
// Written whole through a temporary file that is readable by its owner only
// before anything is in it, then renamed over the old one: the password is
// never readable by others, not even for a moment, and a crash leaves the old
// file. False with the system's reason when it cannot be written.
bool WritePublishIni(const QString& folder, const BrokerConfig& config, QString* error = nullptr);

}  // namespace zt
