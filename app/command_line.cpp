#include "command_line.h"

#include "zt_version.h"

namespace zt {

StartRequest ParseStartArguments(const QStringList& args) {
  StartRequest r;
  bool help = false;
  bool version = false;
  for (const QString& a : args) {
    if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
      help = true;
    } else if (a == QLatin1String("--version")) {
      version = true;
    } else {
      r.action = StartAction::UsageError;
      r.offending = a;
      return r;
    }
  }
  if (help)
    r.action = StartAction::ShowHelp;
  else if (version)
    r.action = StartAction::ShowVersion;
  return r;
}

std::optional<int> AnswerStartArguments(int argc, char** argv, const ProgramHelp& help, std::FILE* out,
                                        std::FILE* err) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const StartRequest r = ParseStartArguments(args);
  switch (r.action) {
    case StartAction::Run: return std::nullopt;
    case StartAction::ShowVersion: std::fprintf(out, "%s %s\n", help.program, kVersion); return 0;
    case StartAction::ShowHelp:
      std::fprintf(out, "Usage: %s %s\n%s.\n\n%s", help.program, help.synopsis, help.summary, help.body);
      return 0;
    case StartAction::UsageError:
      std::fprintf(err, "%s: unknown argument '%s'\nUsage: %s %s\nTry '%s --help' for more information.\n",
                   help.program, r.offending.toLocal8Bit().constData(), help.program, help.synopsis, help.program);
      return 2;
  }
  return std::nullopt;
}

}  // namespace zt
