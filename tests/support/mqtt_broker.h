#pragma once
// A real mosquitto broker for tests: its own configuration in a temporary
// folder, a free port on 127.0.0.1, started and stopped on demand (the same
// port again after a stop, and its saved sessions when persistence is on),
// plus a subscriber that records what arrives.
#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <mutex>

struct mosquitto;
struct mosquitto_message;

namespace zt::test {

struct BrokerOptions {
  bool persistence = false;  // sessions and queued messages survive a stop
  // user -> password; with any, anonymous clients are refused.
  QList<QPair<QString, QString>> users;
  bool tls = false;  // a second listener with TLS (certificates made for the test)
};

class MqttBroker {
 public:
  explicit MqttBroker(BrokerOptions options = {});
  ~MqttBroker();

  // Starts the broker and waits until it accepts connections. The first
  // start picks a free port; later starts use the same one.
  bool start(QString* error = nullptr);
  // SIGTERM and waits for the end (a broker with persistence saves first).
  void stop();
  bool running() const { return proc_.state() != QProcess::NotRunning; }

  int port() const { return port_; }
  int tlsPort() const { return tlsPort_; }
  // Certificates of the TLS listener: the authority that signed it, and
  // another authority that did not.
  QString caFile() const { return dir_.filePath(QStringLiteral("ca.crt")); }
  QString foreignCaFile() const { return dir_.filePath(QStringLiteral("other-ca.crt")); }
  QString folder() const { return dir_.path(); }
  QString log() const;

 private:
  bool writeConfig(QString* error);
  bool makeCertificates(QString* error);

  BrokerOptions options_;
  QTemporaryDir dir_;
  QProcess proc_;
  int port_ = 0;
  int tlsPort_ = 0;
};

// A subscriber on its own libmosquitto thread.
class MqttProbe {
 public:
  struct Message {
    QByteArray topic;
    QByteArray payload;
    int qos = 0;
    bool retain = false;
  };

  // A persistent session (cleanSession false) keeps the subscription and the
  // messages queued for it across a broker restart with persistence.
  explicit MqttProbe(const QByteArray& clientId, bool cleanSession = true);
  ~MqttProbe();

  // Connects to 127.0.0.1:port and waits for the broker's acceptance. With
  // a CA file the connection uses TLS to "localhost".
  bool connect(int port, const QString& caFile = {}, const QByteArray& user = {}, const QByteArray& password = {});
  // Subscribes and waits for the broker's acknowledgement.
  bool subscribe(const QByteArray& pattern, int qos = 1);
  bool connected() const { return connected_.load(); }
  int connects() const { return connects_.load(); }

  QList<Message> messages() const;
  QList<Message> on(const QByteArray& topic) const;
  int count(const QByteArray& topic) const { return int(on(topic).size()); }
  void clear();

 private:
  static void onConnect(mosquitto*, void* obj, int rc);
  static void onDisconnect(mosquitto*, void* obj, int rc);
  static void onSubscribe(mosquitto*, void* obj, int mid, int count, const int* granted);
  static void onMessage(mosquitto*, void* obj, const mosquitto_message* m);

  mosquitto* mosq_ = nullptr;
  std::atomic<bool> connected_{false};
  std::atomic<int> connects_{0};
  std::atomic<int> subacks_{0};
  mutable std::mutex mutex_;
  QList<Message> messages_;
};

}  // namespace zt::test
