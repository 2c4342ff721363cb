// zt-record: the headless recorder's process. Qt Core only: it needs no
// display and loads no window system library.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define ZT_ISATTY _isatty
#define ZT_FILENO _fileno
#else
#include <sys/ioctl.h>
#include <unistd.h>
#define ZT_ISATTY isatty
#define ZT_FILENO fileno
#endif

#include "headless_recorder.h"
#include "language_folder.h"
#include "record_options.h"
#include "serial_only.h"
#include "stop_signals.h"
#include "zt_version.h"

namespace {

int TerminalColumns() {
#ifdef TIOCGWINSZ
  winsize w{};
  if (ioctl(ZT_FILENO(stderr), TIOCGWINSZ, &w) == 0 && w.ws_col > 0) return w.ws_col;
#endif
  return 80;
}

int ListPorts(const zt::RecordOptions& o) {
  std::unique_ptr<zt::PortLookup> lookup;
  if (o.port.isEmpty())
    lookup = std::make_unique<zt::PortLookup>();
  else
    lookup = std::make_unique<zt::SinglePortLookup>(o.port);
  const QList<zt::FoundPort> found = zt::FindMeterPorts(*lookup);
  for (const zt::FoundPort& p : found)
    std::printf("%s\t%s\n", p.friendlyName.toLocal8Bit().constData(),
                QDir::toNativeSeparators(p.path).toLocal8Bit().constData());
  if (found.isEmpty()) {
    std::fprintf(stderr, "zt-record: no meter bridge found\n");
    return zt::kExitNoDevice;
  }
  return zt::kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const zt::RecordCommand cmd = zt::ParseRecordArguments(args);
  switch (cmd.action) {
    case zt::RecordAction::ShowHelp:
      std::fputs(zt::RecordHelpText().toLocal8Bit().constData(), stdout);
      return zt::kExitDone;
    case zt::RecordAction::ShowVersion: std::printf("zt-record %s\n", zt::kVersion); return zt::kExitDone;
    case zt::RecordAction::UsageError:
      std::fprintf(stderr, "zt-record: %s\nUsage: zt-record %s\nTry 'zt-record --help' for more information.\n",
                   cmd.error.toLocal8Bit().constData(), zt::RecordSynopsis().toLocal8Bit().constData());
      return zt::kExitUsage;
    case zt::RecordAction::ListPorts:
    case zt::RecordAction::Run: break;
  }

#ifdef SIGPIPE
  // A reader that closes standard output is noticed as a failed write, not
  // as the end of the process.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  QCoreApplication app(argc, argv);
  if (cmd.action == zt::RecordAction::ListPorts) return ListPorts(cmd.options);

  zt::RecordEnv env;
  const zt::LanguageFolder lang = zt::FindLanguageFolder(QDir::currentPath(), QCoreApplication::applicationDirPath(),
                                                         QString::fromLatin1(zt::kInstalledDataFromBin));
  if (lang.found) env.langDir = lang.langDir;
  QTemporaryDir sessionFolder;
  if (!sessionFolder.isValid()) {
    std::fprintf(stderr, "zt-record: cannot make a temporary folder: %s\n",
                 sessionFolder.errorString().toLocal8Bit().constData());
    return zt::kExitOutput;
  }
  env.sessionFolder = sessionFolder.path();
  const bool stdoutIsOutput = cmd.options.toStdout();
  env.progress =
      !cmd.options.quiet && ZT_ISATTY(ZT_FILENO(stderr)) && !(stdoutIsOutput && ZT_ISATTY(ZT_FILENO(stdout)));
  env.columns = TerminalColumns();

  zt::HeadlessRecorder recorder(cmd.options, env);
  if (const int refused = recorder.prepare()) {
    if (refused == zt::kExitUsage && !lang.found)
      std::fprintf(stderr, "%s\n", qPrintable(zt::MissingLanguageMessage(QStringLiteral("zt-record"), lang)));
    return refused;
  }
  zt::StopSignals stopSignals;
  if (!stopSignals.install())
    std::fprintf(stderr, "zt-record: SIGINT and SIGTERM would end it without finishing the file\n");
  QObject::connect(&stopSignals, &zt::StopSignals::stopRequested, &recorder, &zt::HeadlessRecorder::stop);
  QObject::connect(&recorder, &zt::HeadlessRecorder::finished, &app, [](int code) { QCoreApplication::exit(code); });
  recorder.start();
  return app.exec();
}
