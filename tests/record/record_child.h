#pragma once
// zt-record as a child process, and the simulated meter it records from,
// running in the test's own event loop (so the test sees every command the
// meter receives and every frame it sends). The child gets no display at
// all: no QT_QPA_PLATFORM, no DISPLAY, no WAYLAND_DISPLAY.
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "simulated_meter.h"

namespace zt::test {

inline const QString kRecorder = QStringLiteral(ZT_RECORD_PATH);

// A data folder of its own (the simulator registers its terminal there),
// shared by the test and the child.
struct DataFolder {
  QTemporaryDir dir;
  DataFolder() { qputenv("RLC_DATA_DIR", dir.path().toLocal8Bit()); }
  ~DataFolder() { qunsetenv("RLC_DATA_DIR"); }
  QString path(const QString& name) const { return dir.filePath(name); }
};

// A simulated dongle (or bridge) with frames every 0.5 s once linked.
inline sim::Options FastMeter(sim::LinkMode mode = sim::LinkMode::Dongle) {
  sim::Options o;
  o.mode = mode;
  o.intervalCode = 3;
  o.connectDelayMs = 30;
  return o;
}

class Child {
 public:
  Child(const QStringList& args, const QString& dataFolder) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* v : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QString::fromLatin1(v));
    env.insert(QStringLiteral("RLC_DATA_DIR"), dataFolder);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p_.setProcessEnvironment(env);
    // The source tree holds lang/eng.lng, as an installation does.
    p_.setWorkingDirectory(QStringLiteral(ZT_SOURCE_DIR));
    QObject::connect(&p_, &QProcess::readyReadStandardOutput, [this] { out_ += p_.readAllStandardOutput(); });
    QObject::connect(&p_, &QProcess::readyReadStandardError, [this] { err_ += p_.readAllStandardError(); });
    p_.start(kRecorder, args);
  }
  ~Child() {
    if (p_.state() != QProcess::NotRunning) {
      p_.kill();
      p_.waitForFinished(5000);
    }
  }

  // Waits (serving the event loop, so the simulator keeps talking) until
  // the child has ended; false when it is still running after `ms`.
  bool finish(int ms = 30000) {
    return QTest::qWaitFor([this] { return p_.state() == QProcess::NotRunning; }, ms);
  }
  bool stderrSays(const QString& text, int ms = 15000) {
    return QTest::qWaitFor([&] { return err().contains(text); }, ms);
  }
  int exitCode() const { return p_.exitStatus() == QProcess::NormalExit ? p_.exitCode() : -1; }
  qint64 pid() const { return p_.processId(); }
  QString err() const { return QString::fromUtf8(err_); }
  QByteArray out() const { return out_; }
  QString report() const { return QStringLiteral("exit %1, stderr: %2").arg(p_.exitCode()).arg(err()); }

 private:
  QProcess p_;
  QByteArray out_;
  QByteArray err_;
};

// The JSON objects of a JSON lines text, in order.
inline QList<QJsonObject> JsonLines(const QByteArray& text) {
  QList<QJsonObject> rows;
  for (const QByteArray& line : text.split('\n')) {
    if (line.isEmpty()) continue;
    rows << QJsonDocument::fromJson(line).object();
  }
  return rows;
}

inline QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace zt::test
