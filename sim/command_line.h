#pragma once
// Command line of zt-meter-sim, parsed into Options (kept apart from main()
// so that it can be tested).
#include <QString>
#include <QStringList>

#include "meter_model.h"

namespace zt::sim {

struct CommandLine {
  Options options;
  bool printPort = false;
  QString replay;      // --replay: play this capture back instead of simulating
  double speed = 1.0;  // --speed: the replay's pace
};

// `arguments` includes the program name first, as QCoreApplication gives it.
// On a bad value returns false with a message in *error. --help and
// --version are reported through *helpText (and true) for the caller to print.
bool ParseCommandLine(const QStringList& arguments, CommandLine& out, QString* error, QString* helpText = nullptr);

}  // namespace zt::sim
