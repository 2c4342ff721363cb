#include "record_options.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cmath>
#include <iterator>
#include <vector>

namespace zt {

namespace {

// The log's positions run to 100,000; no run can write more rows than that.
constexpr int kMaxRows = 100000;
// Longest --duration and --wait: a year.
constexpr double kMaxSeconds = 366.0 * 24 * 3600;

enum class Opt {
  Port,
  ListPorts,
  Wait,
  Count,
  Duration,
  Interval,
  Profile,
  Index,
  Start,
  Out,
  Lang,
  Quiet,
  Help,
  Version,
  Mqtt,
  MqttCa,
  Capture,
};

// Every option once: what QCommandLineParser is told and what --help lists,
// in the order of the help text. Adding an option is a row here, a case in
// TakeValue() and a word in RecordSynopsis().
struct OptionDef {
  Opt opt;
  const char* section;    // the heading of --help it is listed under
  char shortName;         // 0: none
  const char* name;       // without the leading dashes
  const char* valueName;  // nullptr: a switch
  const char* help;       // its lines in --help, broken at 53 columns
};

constexpr OptionDef kOptions[] = {
    {Opt::Port, "Device", 0, "port", "PATH", "use this serial device instead of looking for the\nmeter's USB bridge"},
    {Opt::ListPorts, "Device", 0, "list-ports", nullptr,
     "print the meter bridges found (name, device) and exit;\nexit status 3 when there is none"},
    {Opt::Wait, "Device", 0, "wait", "SECONDS",
     "how long to wait for the meter at the start and after\nthe link is lost (default 30; 0 waits without limit)"},
    {Opt::Count, "What to record", 0, "count", "N", "stop after N rows (at most 100000)"},
    {Opt::Duration, "What to record", 0, "duration", "SECONDS", "stop after recording this long"},
    {Opt::Interval, "What to record", 0, "interval", "0.5|1|2", "set the meter's recording interval, in seconds"},
    {Opt::Profile, "What to record", 0, "profile", "FILE",
     "sort against a profile of this .hex1 file and send its\nmeter settings to the meter"},
    {Opt::Index, "What to record", 0, "index", "N", "which profile of the file (default 1)"},
    {Opt::Start, "What to record", 0, "start", "N",
     "position of the first row (default: the profile's\nstart position, else 1)"},
    {Opt::Out, "Output", 'o', "out", "FILE",
     "by the name's extension: .csv (the export's CSV),\n.xlsx (the export's workbook) or .jsonl (a JSON object\n"
     "per row); - writes JSON lines to standard output\n(the default). An existing file is replaced"},
    {Opt::Lang, "Output", 0, "lang", "LANGUAGE",
     "language of the column texts: English (en, the\ndefault), Russian (ru), or the name or code of\n"
     "another language file"},
    {Opt::Capture, "Output", 0, "capture", "FILE",
     "also write every burst received from the meter and\nevery write sent to it, timed, into FILE (a text\n"
     "capture for a bug report; zt-meter-sim --replay\nplays it back)"},
    {Opt::Quiet, "Output", 'q', "quiet", nullptr,
     "no progress line and no notes on standard error\n(warnings and errors are still written)"},
    {Opt::Help, "Output", 'h', "help", nullptr, "show this text and exit"},
    {Opt::Version, "Output", 0, "version", nullptr, "show the version and exit"},
    {Opt::Mqtt, "Publishing", 0, "mqtt", "URL",
     "also publish every reading and row, and the link's\nstate, to an MQTT broker:\n"
     "mqtt://[USER[:PASSWORD]@]HOST[:PORT][/PREFIX]\n(mqtts:// for TLS; ports 1883 and 8883, prefix zt).\n"
     "A broker that cannot be reached never holds up the\nrecording; at the end, rows still waiting are sent\n"
     "for up to 3 seconds"},
    {Opt::MqttCa, "Publishing", 0, "mqtt-ca", "FILE",
     "the certificate authority that signed an mqtts://\nbroker's certificate (default: the system's)"},
};

QString LongName(const OptionDef& o) { return QStringLiteral("--") + QLatin1String(o.name); }

// "  -o, --out FILE         by the name's ..." with the text at column 25.
QString OptionLines(const OptionDef& o) {
  QString head = o.shortName ? QStringLiteral("  -%1, ").arg(QLatin1Char(o.shortName)) : QStringLiteral("      ");
  head += LongName(o);
  if (o.valueName) head += QLatin1Char(' ') + QLatin1String(o.valueName);
  constexpr qsizetype kTextColumn = 25;
  head = head.leftJustified(kTextColumn - 1) + QLatin1Char(' ');
  const QString indent(kTextColumn, u' ');
  QString text = QString::fromUtf8(o.help);
  text.replace(u'\n', QLatin1Char('\n') + indent);
  return head + text + QLatin1Char('\n');
}

// The argument that holds the option QCommandLineParser did not know (named
// without dashes), as it was typed: "--bogus", "--bogus=1", "-x", "-hx".
QString AsTyped(const QStringList& args, const QString& name) {
  const qsizetype end = args.indexOf(QStringLiteral("--"));
  const QStringList options = end < 0 ? args : args.first(end);
  for (const QString& a : options)
    if (a.startsWith(QLatin1String("--")) && a.mid(2).section(u'=', 0, 0) == name) return a;
  for (const QString& a : options)
    if (name.size() == 1 && a.size() > 1 && a[0] == u'-' && a[1] != u'-' && a.contains(name)) return a;
  return QStringLiteral("-") + name;
}

bool WholeNumber(const QString& text, int lo, int hi, int* out) {
  bool ok = false;
  const qlonglong v = text.toLongLong(&ok);
  if (!ok || v < lo || v > hi) return false;
  *out = int(v);
  return true;
}

// Seconds as a plain decimal number ("2", "0.5"); no exponent, no sign games.
bool Seconds(const QString& text, double lo, double* out) {
  for (QChar c : text)
    if (!c.isDigit() && c != u'.') return false;
  bool ok = false;
  const double v = text.toDouble(&ok);
  if (!ok || !std::isfinite(v) || v < lo || v > kMaxSeconds) return false;
  *out = v;
  return true;
}

}  // namespace

QString RecordSynopsis() {
  return QStringLiteral(
      "[--port PATH] [--count N] [--duration SECONDS] [--interval 0.5|1|2] "
      "[--profile FILE.hex1 [--index N]] [--start N] [--out FILE|-] [--lang LANGUAGE] [--wait SECONDS] "
      "[--mqtt URL [--mqtt-ca FILE]] [--capture FILE] [--quiet] | --list-ports | --help | --version");
}

QString RecordHelpText() {
  QString text = QStringLiteral("Usage: zt-record ") + RecordSynopsis() +
                 QStringLiteral(
                     "\n"
                     "Headless recorder for the ZT40, ZT41 and ZT42 bench LCR meters.\n"
                     "\n"
                     "Finds the meter on its USB serial bridge (the Bluetooth LE dongle or the\n"
                     "CP210x USB-UART bridge) as the window does, connects, wakes it and writes a\n"
                     "row for every reading the meter marks as loggable, with the log grid's\n"
                     "columns. With a profile, each reading is sorted against its tolerances and\n"
                     "the meter gets the profile's settings first. No display is needed.\n");
  const char* section = nullptr;
  for (const OptionDef& o : kOptions) {
    if (!section || qstrcmp(section, o.section) != 0) {
      section = o.section;
      text += QStringLiteral("\n%1:\n").arg(QLatin1String(section));
    }
    text += OptionLines(o);
  }
  return text + QStringLiteral(
                    "\n"
                    "Recording ends after --count rows, after --duration, or at SIGINT (Ctrl+C)\n"
                    "or SIGTERM; the file is complete and valid in every case. CSV and JSON lines\n"
                    "are written and flushed row by row; the workbook is written when recording\n"
                    "ends. When the link is lost the recorder says so, reconnects and goes on at\n"
                    "the next position. On a terminal, standard error shows one progress line.\n"
                    "\n"
                    "Exit status:\n"
                    "  0  done\n"
                    "  2  bad arguments (also an unreadable profile or an unknown language)\n"
                    "  3  no meter within --wait\n"
                    "  4  the link was lost and did not come back within --wait\n"
                    "  5  the output cannot be written (checked before the meter is touched)\n"
                    "\n"
                    "Environment:\n"
                    "  RLC_DATA_DIR   the data folder; simulated devices are registered in its\n"
                    "                 virtual-ports folder. The window's settings file there is\n"
                    "                 neither read nor changed\n"
                    "  ZT_MQTT_PASSWORD\n"
                    "                 the broker's password when --mqtt names a user but no\n"
                    "                 password (other users may see a command line, not this)\n"
                    "\n"
                    "Files:\n"
                    "  lang/*.lng     the language files: looked for in the working folder, then\n"
                    "                 in the installed data folder (share/zt-logger beside the\n"
                    "                 program's bin folder)\n");
}

namespace {

// What the command line has gathered beyond RecordOptions, for the checks
// that need more than one option.
struct Gathered {
  bool help = false;
  bool version = false;
  bool listPorts = false;
  bool indexGiven = false;
  QString mqttCa;
};

// One value of an option (empty for a switch) into `o`; the refusal's text,
// or empty.
QString TakeValue(Opt opt, const QString& value, RecordOptions& o, Gathered& g) {
  switch (opt) {
    case Opt::Port:
      if (value.isEmpty()) return QStringLiteral("--port needs a device path");
      o.port = value;
      break;
    case Opt::ListPorts: g.listPorts = true; break;
    case Opt::Wait:
      if (!Seconds(value, 0, &o.waitS))
        return QStringLiteral("--wait needs a number of seconds (0 waits without limit), not '%1'").arg(value);
      break;
    case Opt::Count:
      if (!WholeNumber(value, 1, kMaxRows, &o.count))
        return QStringLiteral("--count needs a whole number from 1 to %1, not '%2'").arg(kMaxRows).arg(value);
      break;
    case Opt::Duration:
      if (!Seconds(value, 0, &o.durationS) || o.durationS <= 0)
        return QStringLiteral("--duration needs a number of seconds above 0, not '%1'").arg(value);
      break;
    case Opt::Interval:
      if (value == QLatin1String("0.5"))
        o.intervalItem = 0;
      else if (value == QLatin1String("1"))
        o.intervalItem = 1;
      else if (value == QLatin1String("2"))
        o.intervalItem = 2;
      else
        return QStringLiteral("--interval is 0.5, 1 or 2 (seconds), not '%1'").arg(value);
      break;
    case Opt::Profile:
      if (value.isEmpty()) return QStringLiteral("--profile needs a file");
      o.profile = value;
      break;
    case Opt::Index:
      if (!WholeNumber(value, 1, kMaxRows, &o.index))
        return QStringLiteral("--index needs a profile number from 1, not '%1'").arg(value);
      g.indexGiven = true;
      break;
    case Opt::Start:
      if (!WholeNumber(value, 1, kMaxRows, &o.start))
        return QStringLiteral("--start needs a position from 1 to %1, not '%2'").arg(kMaxRows).arg(value);
      break;
    case Opt::Out: {
      if (value.isEmpty()) return QStringLiteral("--out needs a file name, or - for standard output");
      o.out = value;
      if (value == QLatin1String("-")) {
        o.format = OutputFormat::JsonLines;
        break;
      }
      const QString ext = QFileInfo(value).suffix().toLower();
      if (ext == QLatin1String("csv"))
        o.format = OutputFormat::Csv;
      else if (ext == QLatin1String("xlsx"))
        o.format = OutputFormat::Xlsx;
      else if (ext == QLatin1String("jsonl"))
        o.format = OutputFormat::JsonLines;
      else
        return QStringLiteral(
                   "--out: '%1' does not end in .csv, .xlsx or .jsonl (or give - for JSON lines on standard output)")
            .arg(value);
      break;
    }
    case Opt::Lang:
      if (value.trimmed().isEmpty()) return QStringLiteral("--lang needs a language name or code");
      o.lang = value.trimmed();
      break;
    case Opt::Quiet: o.quiet = true; break;
    case Opt::Help: g.help = true; break;
    case Opt::Version: g.version = true; break;
    case Opt::Mqtt: {
      // The URL may hold a password: a refusal names the fault, never the text.
      const BrokerUrlParse url = ParseBrokerUrl(value);
      if (!url.ok()) return QStringLiteral("--mqtt: %1").arg(BrokerConfigErrorText(url.error));
      o.mqtt = url.config;
      break;
    }
    case Opt::MqttCa:
      if (value.isEmpty()) return QStringLiteral("--mqtt-ca needs a file");
      g.mqttCa = value;
      break;
    case Opt::Capture:
      if (value.isEmpty()) return QStringLiteral("--capture needs a file");
      o.capture = value;
      break;
  }
  return {};
}

// Why QCommandLineParser refused `args`, in our words: an unknown option, a
// value missing after the last option, or a value given to a switch.
QString ParserRefusal(const QCommandLineParser& p, const QStringList& args) {
  if (!p.unknownOptionNames().isEmpty())
    return QStringLiteral("unknown option '%1'").arg(AsTyped(args, p.unknownOptionNames().first()));
  for (const OptionDef& o : kOptions) {
    const QString name = LongName(o);
    for (const QString& a : args)
      if (!o.valueName && a.startsWith(name + QLatin1Char('='))) return QStringLiteral("%1 takes no value").arg(name);
    if (o.valueName && !args.isEmpty()) {
      const QString& last = args.last();
      if (last == name || (o.shortName && last.size() > 1 && last[0] == u'-' && last[1] != u'-' &&
                           last.endsWith(QLatin1Char(o.shortName))))
        return QStringLiteral("%1 needs a value").arg(name);
    }
  }
  return p.errorText();
}

}  // namespace

RecordCommand ParseRecordArguments(const QStringList& args) {
  RecordCommand r;
  auto fail = [&r](const QString& why) {
    r.action = RecordAction::UsageError;
    r.error = why;
    return r;
  };

  QCommandLineParser p;
  std::vector<QCommandLineOption> options;
  options.reserve(std::size(kOptions));
  for (const OptionDef& o : kOptions) {
    QStringList names{QLatin1String(o.name)};
    if (o.shortName) names.prepend(QString(QLatin1Char(o.shortName)));
    options.emplace_back(names, QString::fromUtf8(o.help).replace(u'\n', u' '),
                         o.valueName ? QLatin1String(o.valueName) : QString());
    p.addOption(options.back());
  }
  if (!p.parse(QStringList{QStringLiteral("zt-record")} + args)) return fail(ParserRefusal(p, args));
  if (!p.positionalArguments().isEmpty())
    return fail(QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()));

  // Every value is checked, the last one given is kept.
  Gathered g;
  for (size_t i = 0; i < options.size(); ++i) {
    const OptionDef& def = kOptions[i];
    if (!p.isSet(options[i])) continue;
    const QStringList values = def.valueName ? p.values(options[i]) : QStringList{QString()};
    for (const QString& value : values)
      if (const QString why = TakeValue(def.opt, value, r.options, g); !why.isEmpty()) return fail(why);
  }

  RecordOptions& o = r.options;
  if (g.indexGiven && o.profile.isEmpty()) return fail(QStringLiteral("--index needs --profile"));
  if (!g.mqttCa.isEmpty()) {
    if (!o.mqtt) return fail(QStringLiteral("--mqtt-ca needs --mqtt"));
    if (!o.mqtt->tls) return fail(QStringLiteral("--mqtt-ca needs an mqtts:// broker"));
    o.mqtt->caFile = g.mqttCa;
  }
  if (g.help)
    r.action = RecordAction::ShowHelp;
  else if (g.version)
    r.action = RecordAction::ShowVersion;
  else if (g.listPorts)
    r.action = RecordAction::ListPorts;
  return r;
}

}  // namespace zt
