// Process start: --help and --version, single copy per program path, the
// language files; then the session (the controllers wired together) and the
// window over it.
#include <QDir>

#include "application.h"
#include "command_line.h"
#include "language_folder.h"
#include "form.h"
#include "meter_publishing.h"
#include "session.h"
#include "single_instance.h"
#include "zt_version.h"

namespace {

const zt::ProgramHelp kHelp{"zt-logger", "[--help | --version]",
                            "Data logger for the ZT40, ZT41 and ZT42 bench LCR meters",
                            "Opens the logger's window. It finds the meter over a USB serial bridge (the\n"
                            "Bluetooth LE dongle or the CP210x USB-UART bridge) or directly over\n"
                            "Bluetooth LE; mirrors the meter's front panel and changes its settings;\n"
                            "records readings into a log; sorts parts against reference profiles with\n"
                            "tolerances, kept in .hex1 files; and exports the log to .xlsx or CSV.\n"
                            "Each user runs one copy of a program file at a time.\n"
                            "\n"
                            "Options:\n"
                            "  -h, --help     show this text and exit\n"
                            "      --version  show the version and exit\n"
                            "\n"
                            "Environment:\n"
                            "  RLC_DATA_DIR   the data folder (settings file 1.dat, exports); by default\n"
                            "                 RLC_Data in the user's documents folder\n"
                            "\n"
                            "Files:\n"
                            "  lang/*.lng     the language files, with lang/eng.lng required: looked for\n"
                            "                 in the working folder, then in the installed data folder\n"
                            "                 (share/zt-logger beside the program's bin folder)\n"
                            "\n"
                            "Serial port access:\n"
                            "  The package's udev rule gives the logged-in user the two USB bridges.\n"
                            "  Otherwise join the group that owns the port (on Debian: dialout) and\n"
                            "  log in again.\n"};

}  // namespace

int main(int argc, char** argv) {
  // Answered before anything needs a display or takes the single-copy lock.
  if (const std::optional<int> done = zt::AnswerStartArguments(argc, argv, kHelp)) return *done;

  zt::Application app(argc, argv);

  const QString instance = zt::InstanceName(QCoreApplication::applicationFilePath());
  zt::SingleInstanceGuard guard;
  if (!guard.acquire(instance)) {
    fprintf(stderr, "%s: %s\n", qPrintable(instance), "Вы пытаетесь запустить программу повторно");
    zt::ShowCriticalMessage(instance, QStringLiteral("Вы пытаетесь запустить программу повторно"));
    return 0;
  }

  // The English language file marks a complete installation; without it the
  // program shows nothing and ends, saying why on standard error only.
  const zt::LanguageFolder lang = zt::FindLanguageFolder(QDir::currentPath(), QCoreApplication::applicationDirPath(),
                                                         QString::fromLatin1(zt::kInstalledDataFromBin));
  if (!lang.found) {
    fprintf(stderr, "%s\n", qPrintable(zt::MissingLanguageMessage(QStringLiteral("zt-logger"), lang)));
    return 1;
  }

  zt::PrepareApplication(app);
  // The system's ports and radio, the data folder of DataFolder().
  zt::SessionDeps deps;
  deps.langDir = zt::LanguageDirectory(lang, QCoreApplication::applicationDirPath());
  zt::Session session(deps);
  // Off until publish.ini or the dialogue switches it on.
  zt::MeterPublishing publishing(&session, QStringLiteral("zt-logger"));
  zt::TForm1Deps view;
  view.publishing = &publishing;
  zt::TForm1 form(session, view);
  form.show();
  return app.exec();
}
