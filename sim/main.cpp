// zt-meter-sim: a simulated meter on a pseudo-terminal, for trying the logger
// without hardware and for its integration tests.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "command_line.h"
#include "replay_device.h"
#include "simulated_meter.h"

namespace {

int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

// --replay: a capture played back instead of the simulated meter.
int RunReplay(QCoreApplication& app, const zt::sim::CommandLine& cl) {
  zt::sim::ReplayScript script;
  QString error;
  if (!zt::sim::ReplayDevice::Load(cl.replay, &script, &error)) {
    std::fprintf(stderr, "zt-meter-sim: %s\n", qPrintable(error));
    return 2;
  }
  const int frames = script.frames;
  zt::sim::ReplayDevice device(std::move(script), cl.speed, cl.options.name);
  QObject::connect(&device, &zt::sim::ReplayDevice::streamEnded, &app, [&device] {
    std::fprintf(stderr, "zt-meter-sim: replay played to its end: %llu frames\n",
                 static_cast<unsigned long long>(device.framesWritten()));
  });
  if (!device.start(&error)) {
    std::fprintf(stderr, "zt-meter-sim: %s\n", qPrintable(error));
    return 1;
  }
  if (cl.printPort) {
    std::printf("%s\n", qPrintable(device.portPath()));
    std::fflush(stdout);
  }
  std::fprintf(stderr, "zt-meter-sim: replaying %s (%d frames, speed %g) as \"%s\" on %s, registered as %s\n",
               qPrintable(cl.replay), frames, cl.speed, qPrintable(device.friendlyName()),
               qPrintable(device.portPath()), qPrintable(device.registrationPath()));
  const int rc = app.exec();
  device.stop();
  std::fprintf(stderr, "zt-meter-sim: frames sent: %llu\n", static_cast<unsigned long long>(device.framesWritten()));
  return rc;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zt-meter-sim"));

  zt::sim::CommandLine cl;
  QString error, help;
  if (!zt::sim::ParseCommandLine(QCoreApplication::arguments(), cl, &error, &help)) {
    std::fprintf(stderr, "zt-meter-sim: %s\n", qPrintable(error));
    return 2;
  }
  if (!help.isEmpty()) {
    std::fputs(qPrintable(help), stdout);
    return 0;
  }

  // SIGINT/SIGTERM end the event loop, so the registration is removed on the
  // way out.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0) {
    std::perror("zt-meter-sim: socketpair");
    return 1;
  }
  QSocketNotifier signalNotifier(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
    char c;
    [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[0], &c, 1);
    QCoreApplication::quit();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);

  if (!cl.replay.isEmpty()) return RunReplay(app, cl);

  zt::sim::SimulatedMeter meter(cl.options);
  const bool replugging = cl.options.replug.active();
  QObject::connect(&meter, &zt::sim::SimulatedMeter::unplugged, &app, [&meter, replugging] {
    std::fprintf(stderr, "zt-meter-sim: unplugged after %llu frames in all\n",
                 static_cast<unsigned long long>(meter.framesWritten()));
    if (!replugging) QCoreApplication::quit();
  });
  QObject::connect(&meter, &zt::sim::SimulatedMeter::started, &app, [](const QString& port) {
    std::fprintf(stderr, "zt-meter-sim: plugged in on %s\n", qPrintable(port));
  });
  // Events on standard error, so scripts can follow the session.
  QObject::connect(&meter, &zt::sim::SimulatedMeter::linkChanged, &app,
                   [](bool up) { std::fprintf(stderr, "zt-meter-sim: link %s\n", up ? "up" : "down"); });
  QObject::connect(&meter, &zt::sim::SimulatedMeter::commandReceived, &app, [](const QByteArray& c) {
    std::fprintf(stderr, "zt-meter-sim: command %s\n", c.toHex(' ').constData());
  });
  // A burst the dongle could not read as one text command: the usual cause of
  // a logger that gets no answer.
  if (cl.options.mode == zt::sim::LinkMode::Dongle && !cl.options.lenient)
    QObject::connect(&meter, &zt::sim::SimulatedMeter::burstReceived, &app, [&meter](const QByteArray& b, bool text) {
      if (!text && !meter.isLinked())
        std::fprintf(stderr, "zt-meter-sim: not a command, no answer: %s\n", b.toHex(' ').constData());
    });
  if (!meter.start(&error)) {
    std::fprintf(stderr, "zt-meter-sim: %s\n", qPrintable(error));
    return 1;
  }
  if (cl.printPort) {
    std::printf("%s\n", qPrintable(meter.portPath()));
    std::fflush(stdout);
  }
  std::fprintf(stderr, "zt-meter-sim: \"%s\" on %s, registered as %s\n", qPrintable(meter.friendlyName()),
               qPrintable(meter.portPath()), qPrintable(meter.registrationPath()));
  const int rc = app.exec();
  meter.stop();
  // For scripts that compare what was sent with what was logged.
  std::fprintf(stderr, "zt-meter-sim: frames sent while linked: %llu\n",
               static_cast<unsigned long long>(meter.framesWritten()));
  return rc;
}
