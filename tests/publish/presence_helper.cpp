// A process that publishes its presence and then only waits, so that a test
// can kill it outright and watch the broker send its last will.
//   presence_helper <port> <status topic>
// Prints "connected" once the broker has accepted it.
#include <QCoreApplication>
#include <QTextStream>

#include "publisher.h"

using namespace zt;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 3) return 2;
  Publisher publisher;
  publisher.setPresence(QByteArray(argv[2]), R"({"status":"online"})", R"({"status":"offline"})");
  QObject::connect(&publisher, &Publisher::stateChanged, [](PublishState s) {
    if (s == PublishState::Connected) QTextStream(stdout) << "connected" << Qt::endl;
  });
  BrokerConfig c;
  c.enabled = true;
  c.host = QStringLiteral("127.0.0.1");
  c.port = QByteArray(argv[1]).toInt();
  publisher.configure(c, QStringLiteral("zt-presence-helper-%1").arg(QCoreApplication::applicationPid()));
  return app.exec();
}
