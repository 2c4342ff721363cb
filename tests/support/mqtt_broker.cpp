#include "mqtt_broker.h"

#include <mosquitto.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace zt::test {

namespace {

int FreePort() {
  QTcpServer s;
  if (!s.listen(QHostAddress::LocalHost, 0)) return 0;
  return s.serverPort();
}

bool Run(const QString& program, const QStringList& args, const QString& dir, QString* error) {
  QProcess p;
  p.setWorkingDirectory(dir);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(program, args);
  if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    if (error) *error = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAll());
    return false;
  }
  return true;
}

}  // namespace

MqttBroker::MqttBroker(BrokerOptions options) : options_(std::move(options)) {}

MqttBroker::~MqttBroker() { stop(); }

QString MqttBroker::log() const {
  QFile f(dir_.filePath(QStringLiteral("broker.log")));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool MqttBroker::makeCertificates(QString* error) {
  const QString d = dir_.path();
  const QString openssl = QStringLiteral("openssl");
  auto ec = [] { return QStringList{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"}; };
  QFile ext(dir_.filePath(QStringLiteral("server.ext")));
  if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n") < 0) return false;
  ext.close();
  return Run(openssl,
             QStringList{"req", "-x509"} + ec() +
                 QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj", "/CN=ZT test CA"},
             d, error) &&
         Run(openssl,
             QStringList{"req", "-x509"} + ec() +
                 QStringList{"-keyout", "other-ca.key", "-out", "other-ca.crt", "-days", "2", "-subj",
                             "/CN=Another CA"},
             d, error) &&
         Run(openssl,
             QStringList{"req"} + ec() +
                 QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=localhost"},
             d, error) &&
         Run(openssl,
             {"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial", "-out",
              "server.crt", "-days", "2", "-extfile", "server.ext"},
             d, error);
}

bool MqttBroker::writeConfig(QString* error) {
  QByteArray conf;
#ifdef Q_OS_UNIX
  // Started as root, mosquitto would become the user "mosquitto", who cannot
  // read this test's private folder: it stays who we are.
  if (const passwd* me = getpwuid(geteuid())) conf += "user " + QByteArray(me->pw_name) + "\n";
#endif
  conf += "listener " + QByteArray::number(port_) + " 127.0.0.1\n";
  if (options_.tls) {
    conf += "listener " + QByteArray::number(tlsPort_) + " 127.0.0.1\n";
    conf += "cafile " + caFile().toUtf8() + "\n";
    conf += "certfile " + dir_.filePath(QStringLiteral("server.crt")).toUtf8() + "\n";
    conf += "keyfile " + dir_.filePath(QStringLiteral("server.key")).toUtf8() + "\n";
  }
  if (options_.users.isEmpty()) {
    conf += "allow_anonymous true\n";
  } else {
    conf += "allow_anonymous false\n";
    conf += "password_file " + dir_.filePath(QStringLiteral("passwords")).toUtf8() + "\n";
  }
  conf += "persistence " + QByteArray(options_.persistence ? "true" : "false") + "\n";
  conf += "persistence_location " + dir_.path().toUtf8() + "/\n";
  conf += "max_queued_messages 0\n";
  conf += "log_dest file " + dir_.filePath(QStringLiteral("broker.log")).toUtf8() + "\n";
  conf += "log_type all\n";
  QFile f(dir_.filePath(QStringLiteral("mosquitto.conf")));
  if (!f.open(QIODevice::WriteOnly) || f.write(conf) != conf.size()) {
    if (error) *error = QStringLiteral("cannot write the broker's configuration");
    return false;
  }
  f.close();
  if (!options_.users.isEmpty()) {
    const QString pw = dir_.filePath(QStringLiteral("passwords"));
    QFile::remove(pw);
    QFile(pw).open(QIODevice::WriteOnly);
    for (const auto& [user, password] : options_.users)
      if (!Run(QStringLiteral("mosquitto_passwd"), {"-b", pw, user, password}, dir_.path(), error)) return false;
  }
  return true;
}

bool MqttBroker::start(QString* error) {
  if (running()) return true;
  const bool first = port_ == 0;
  if (first) {
    if (options_.tls && !makeCertificates(error)) return false;
  }
  // Another program may take a free port between the pick and the broker's
  // bind; a first start then picks again.
  for (int attempt = 0; attempt < (first ? 5 : 1); ++attempt) {
    if (first) {
      port_ = FreePort();
      tlsPort_ = options_.tls ? FreePort() : 0;
      if (port_ == 0 || (options_.tls && (tlsPort_ == 0 || tlsPort_ == port_))) continue;
    }
    if (!writeConfig(error)) return false;
    proc_.setProcessChannelMode(QProcess::MergedChannels);
    proc_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
    if (!proc_.waitForStarted(10000)) {
      if (error) *error = QStringLiteral("mosquitto does not start: ") + proc_.errorString();
      return false;
    }
    // Ready when it accepts a connection on every listener.
    QElapsedTimer t;
    t.start();
    bool ready = false;
    while (!ready && running() && t.elapsed() < 10000) {
      ready = true;
      for (int p : {port_, tlsPort_}) {
        if (p == 0) continue;
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, quint16(p));
        if (!s.waitForConnected(200)) ready = false;
      }
      if (!ready) QTest::qWait(20);
    }
    if (ready) return true;
    if (running()) {
      proc_.kill();
      proc_.waitForFinished(5000);
    }
    if (error) *error = QStringLiteral("mosquitto did not listen: ") + QString::fromLocal8Bit(proc_.readAll()) + log();
  }
  return false;
}

void MqttBroker::stop() {
  if (!running()) return;
  proc_.terminate();
  if (!proc_.waitForFinished(10000)) {
    proc_.kill();
    proc_.waitForFinished(5000);
  }
}

// ---- MqttProbe

MqttProbe::MqttProbe(const QByteArray& clientId, bool cleanSession) {
  mosquitto_lib_init();
  mosq_ = mosquitto_new(clientId.constData(), cleanSession, this);
  mosquitto_connect_callback_set(mosq_, &MqttProbe::onConnect);
  mosquitto_disconnect_callback_set(mosq_, &MqttProbe::onDisconnect);
  mosquitto_subscribe_callback_set(mosq_, &MqttProbe::onSubscribe);
  mosquitto_message_callback_set(mosq_, &MqttProbe::onMessage);
  mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
}

MqttProbe::~MqttProbe() {
  mosquitto_disconnect(mosq_);
  mosquitto_loop_stop(mosq_, false);
  mosquitto_destroy(mosq_);
}

bool MqttProbe::connect(int port, const QString& caFile, const QByteArray& user, const QByteArray& password) {
  if (!user.isEmpty()) mosquitto_username_pw_set(mosq_, user.constData(), password.constData());
  QByteArray host = "127.0.0.1";
  if (!caFile.isEmpty()) {
    mosquitto_tls_set(mosq_, caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr, nullptr);
    host = "localhost";
  }
  if (mosquitto_connect(mosq_, host.constData(), port, 10) != MOSQ_ERR_SUCCESS) return false;
  if (mosquitto_loop_start(mosq_) != MOSQ_ERR_SUCCESS) return false;
  return QTest::qWaitFor([this] { return connected_.load(); }, 10000);
}

bool MqttProbe::subscribe(const QByteArray& pattern, int qos) {
  const int before = subacks_.load();
  if (mosquitto_subscribe(mosq_, nullptr, pattern.constData(), qos) != MOSQ_ERR_SUCCESS) return false;
  return QTest::qWaitFor([&] { return subacks_.load() > before; }, 10000);
}

QList<MqttProbe::Message> MqttProbe::messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

QList<MqttProbe::Message> MqttProbe::on(const QByteArray& topic) const {
  std::lock_guard lock(mutex_);
  QList<Message> out;
  for (const Message& m : messages_)
    if (m.topic == topic) out << m;
  return out;
}

void MqttProbe::clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
}

void MqttProbe::onConnect(mosquitto*, void* obj, int rc) {
  auto* self = static_cast<MqttProbe*>(obj);
  if (rc == 0) {
    self->connected_ = true;
    ++self->connects_;
  }
}

void MqttProbe::onDisconnect(mosquitto*, void* obj, int) { static_cast<MqttProbe*>(obj)->connected_ = false; }

void MqttProbe::onSubscribe(mosquitto*, void* obj, int, int, const int*) { ++static_cast<MqttProbe*>(obj)->subacks_; }

void MqttProbe::onMessage(mosquitto*, void* obj, const mosquitto_message* m) {
  auto* self = static_cast<MqttProbe*>(obj);
  Message msg;
  msg.topic = QByteArray(m->topic);
  msg.payload = QByteArray(static_cast<const char*>(m->payload), m->payloadlen);
  msg.qos = m->qos;
  msg.retain = m->retain;
  std::lock_guard lock(self->mutex_);
  self->messages_ << msg;
}

}  // namespace zt::test
