#include "command_line.h"

#include <QCommandLineParser>

#include "zt_version.h"

namespace zt {

namespace {

// Our programs' window takes no option beyond these two.
struct StartParser {
  QCommandLineParser parser;
  QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show this text and exit")};
  QCommandLineOption version{QStringLiteral("version"), QStringLiteral("show the version and exit")};

  StartParser() { parser.addOptions({help, version}); }
  // False on an unknown option, a value given to one, or any other argument.
  bool parse(const QStringList& args) {
    return parser.parse(QStringList{QStringLiteral("zt")} + args) && parser.positionalArguments().isEmpty();
  }
};

}  // namespace

StartRequest ParseStartArguments(const QStringList& args) {
  StartRequest r;
  StartParser p;
  if (!p.parse(args)) {
    r.action = StartAction::UsageError;
    // Named as typed: the first argument that is refused on its own.
    for (const QString& a : args) {
      if (a != QLatin1String("--") && !StartParser().parse({a})) {
        r.offending = a;
        break;
      }
    }
    if (r.offending.isEmpty()) r.offending = args.last();  // an option after "--"
    return r;
  }
  if (p.parser.isSet(p.help))
    r.action = StartAction::ShowHelp;
  else if (p.parser.isSet(p.version))
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
