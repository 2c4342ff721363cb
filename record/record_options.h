#pragma once
// The command line of zt-record, parsed into a plain value (kept apart from
// main() so that every option and every refusal can be tested), and the text
// --help prints.
#include <QString>
#include <QStringList>

#include <optional>

#include "broker_config.h"

namespace zt {

// What --out names, by its extension; "-" is JSON lines on standard output.
enum class OutputFormat { Csv, Xlsx, JsonLines };

struct RecordOptions {
  QString port;                       // --port: this device instead of the lookup
  int count = 0;                      // --count: rows to write; 0 = no limit
  double durationS = 0;               // --duration: seconds of recording; 0 = no limit
  std::optional<int> intervalItem;    // --interval: item of the interval list (0 "0.5", 1 "1", 2 "2")
  QString profile;                    // --profile: a .hex1 file
  int index = 0;                      // --index: profile number; 0 = not given (profile 1)
  int start = 0;                      // --start: position of the first row; 0 = not given
  QString out = QStringLiteral("-");  // --out
  OutputFormat format = OutputFormat::JsonLines;
  QString lang = QStringLiteral("English");  // --lang: language name or code
  double waitS = 30;                         // --wait: seconds; 0 = no limit
  bool quiet = false;                        // --quiet
  QString capture;                           // --capture: the exchange with the meter into this file
  // --mqtt URL (with --mqtt-ca FILE in its caFile): publish to this broker.
  std::optional<BrokerConfig> mqtt;
  bool toStdout() const { return out == QLatin1String("-"); }
};

enum class RecordAction { Run, ListPorts, ShowHelp, ShowVersion, UsageError };

struct RecordCommand {
  RecordAction action = RecordAction::Run;
  RecordOptions options;
  QString error;  // UsageError: what was wrong, for one line on standard error
};

// `args` without the program name. A mistake anywhere wins over --help and
// --version, so a mistyped command line is never half obeyed.
RecordCommand ParseRecordArguments(const QStringList& args);

// The --help text, in the shape the manual page is made from: "Usage: ...",
// a one-line summary ending in a full stop, a blank line, then the rest.
QString RecordHelpText();
// The synopsis line (after "Usage: zt-record ").
QString RecordSynopsis();

// Exit statuses, as --help lists them.
enum RecordExit : int {
  kExitDone = 0,
  kExitUsage = 2,
  kExitNoDevice = 3,
  kExitLinkLost = 4,
  kExitOutput = 5,
};

}  // namespace zt
