#pragma once
// The options a program of ours answers before it starts anything (no
// application object, no display, no single-instance guard): --help and
// --version. Anything else on the command line is a usage error.
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace zt {

enum class StartAction { Run, ShowHelp, ShowVersion, UsageError };

struct StartRequest {
  StartAction action = StartAction::Run;
  QString offending;  // the argument that made it a usage error
};

// `args` without the program name. An unknown argument wins over --help and
// --version, so a mistyped command line is never half obeyed.
StartRequest ParseStartArguments(const QStringList& args);

// What a program prints for --help: its synopsis line, a one-line summary,
// and the rest (options, environment, files). The first two lines also make
// the NAME and SYNOPSIS of the manual page generated from it.
struct ProgramHelp {
  const char* program;   // "zt-logger"
  const char* synopsis;  // "[--help | --version]"
  const char* summary;   // one line, no full stop
  const char* body;      // the rest, already laid out
};

// Answers --help and --version on `out` (exit 0) and a usage error on `err`
// (exit 2). Empty when the program should start.
std::optional<int> AnswerStartArguments(int argc, char** argv, const ProgramHelp& help, std::FILE* out = stdout,
                                        std::FILE* err = stderr);

}  // namespace zt
