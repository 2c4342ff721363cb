#include "record_options.h"

#include <QFileInfo>

#include <cmath>

namespace zt {

namespace {

// The log's positions run to 100,000; no run can write more rows than that.
constexpr int kMaxRows = 100000;
// Longest --duration and --wait: a year.
constexpr double kMaxSeconds = 366.0 * 24 * 3600;

enum class Opt {
  Port,
  ListPorts,
  Count,
  Duration,
  Interval,
  Profile,
  Index,
  Start,
  Out,
  Lang,
  Wait,
  Quiet,
  Mqtt,
  MqttCa,
  Capture,
  Help,
  Version
};

struct OptionDef {
  const char* name;  // without the leading dashes
  char shortName;    // 0: none
  Opt opt;
  bool takesValue;
};

constexpr OptionDef kOptions[] = {
    {"port", 0, Opt::Port, true},         {"list-ports", 0, Opt::ListPorts, false},
    {"count", 0, Opt::Count, true},       {"duration", 0, Opt::Duration, true},
    {"interval", 0, Opt::Interval, true}, {"profile", 0, Opt::Profile, true},
    {"index", 0, Opt::Index, true},       {"start", 0, Opt::Start, true},
    {"out", 'o', Opt::Out, true},         {"lang", 0, Opt::Lang, true},
    {"wait", 0, Opt::Wait, true},         {"quiet", 'q', Opt::Quiet, false},
    {"mqtt", 0, Opt::Mqtt, true},         {"mqtt-ca", 0, Opt::MqttCa, true},
    {"capture", 0, Opt::Capture, true},   {"help", 'h', Opt::Help, false},
    {"version", 0, Opt::Version, false},
};

const OptionDef* FindLong(const QString& name) {
  for (const OptionDef& o : kOptions)
    if (name == QLatin1String(o.name)) return &o;
  return nullptr;
}

const OptionDef* FindShort(QChar c) {
  for (const OptionDef& o : kOptions)
    if (o.shortName && c == QLatin1Char(o.shortName)) return &o;
  return nullptr;
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
  return QStringLiteral("Usage: zt-record ") + RecordSynopsis() +
         QStringLiteral(
             "\n"
             "Headless recorder for the ZT40, ZT41 and ZT42 bench LCR meters.\n"
             "\n"
             "Finds the meter on its USB serial bridge (the Bluetooth LE dongle or the\n"
             "CP210x USB-UART bridge) as the window does, connects, wakes it and writes a\n"
             "row for every reading the meter marks as loggable, with the log grid's\n"
             "columns. With a profile, each reading is sorted against its tolerances and\n"
             "the meter gets the profile's settings first. No display is needed.\n"
             "\n"
             "Device:\n"
             "      --port PATH        use this serial device instead of looking for the\n"
             "                         meter's USB bridge\n"
             "      --list-ports       print the meter bridges found (name, device) and exit;\n"
             "                         exit status 3 when there is none\n"
             "      --wait SECONDS     how long to wait for the meter at the start and after\n"
             "                         the link is lost (default 30; 0 waits without limit)\n"
             "\n"
             "What to record:\n"
             "      --count N          stop after N rows (at most 100000)\n"
             "      --duration SECONDS stop after recording this long\n"
             "      --interval 0.5|1|2 set the meter's recording interval, in seconds\n"
             "      --profile FILE     sort against a profile of this .hex1 file and send its\n"
             "                         meter settings to the meter\n"
             "      --index N          which profile of the file (default 1)\n"
             "      --start N          position of the first row (default: the profile's\n"
             "                         start position, else 1)\n"
             "\n"
             "Output:\n"
             "  -o, --out FILE         by the name's extension: .csv (the export's CSV),\n"
             "                         .xlsx (the export's workbook) or .jsonl (a JSON object\n"
             "                         per row); - writes JSON lines to standard output\n"
             "                         (the default). An existing file is replaced\n"
             "      --lang LANGUAGE    language of the column texts: English (en, the\n"
             "                         default), Russian (ru), or the name or code of\n"
             "                         another language file\n"
             "      --capture FILE     also write every burst received from the meter and\n"
             "                         every write sent to it, timed, into FILE (a text\n"
             "                         capture for a bug report; zt-meter-sim --replay\n"
             "                         plays it back)\n"
             "  -q, --quiet            no progress line and no notes on standard error\n"
             "                         (warnings and errors are still written)\n"
             "  -h, --help             show this text and exit\n"
             "      --version          show the version and exit\n"
             "\n"
             "Publishing:\n"
             "      --mqtt URL         also publish every reading and row, and the link's\n"
             "                         state, to an MQTT broker:\n"
             "                         mqtt://[USER[:PASSWORD]@]HOST[:PORT][/PREFIX]\n"
             "                         (mqtts:// for TLS; ports 1883 and 8883, prefix zt).\n"
             "                         A broker that cannot be reached never holds up the\n"
             "                         recording; at the end, rows still waiting are sent\n"
             "                         for up to 3 seconds\n"
             "      --mqtt-ca FILE     the certificate authority that signed an mqtts://\n"
             "                         broker's certificate (default: the system's)\n"
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

RecordCommand ParseRecordArguments(const QStringList& args) {
  RecordCommand r;
  RecordOptions& o = r.options;
  bool help = false;
  bool version = false;
  bool listPorts = false;
  bool indexGiven = false;
  QString mqttCa;
  auto fail = [&r](const QString& why) {
    r.action = RecordAction::UsageError;
    r.error = why;
    return r;
  };

  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    const OptionDef* def = nullptr;
    std::optional<QString> inlineValue;
    if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
      const qsizetype eq = a.indexOf(u'=');
      def = FindLong(eq < 0 ? a.mid(2) : a.mid(2, eq - 2));
      if (eq >= 0) inlineValue = a.mid(eq + 1);
    } else if (a.size() == 2 && a[0] == u'-' && a[1] != u'-') {
      def = FindShort(a[1]);
    }
    if (!def) {
      if (a.startsWith(u'-') && a != QLatin1String("-")) return fail(QStringLiteral("unknown option '%1'").arg(a));
      return fail(QStringLiteral("unexpected argument '%1'").arg(a));
    }
    const QString shown = QStringLiteral("--") + QLatin1String(def->name);
    QString value;
    if (def->takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return fail(QStringLiteral("%1 needs a value").arg(shown));
      }
    } else if (inlineValue) {
      return fail(QStringLiteral("%1 takes no value").arg(shown));
    }

    switch (def->opt) {
      case Opt::Port:
        if (value.isEmpty()) return fail(QStringLiteral("--port needs a device path"));
        o.port = value;
        break;
      case Opt::ListPorts: listPorts = true; break;
      case Opt::Count:
        if (!WholeNumber(value, 1, kMaxRows, &o.count))
          return fail(QStringLiteral("--count needs a whole number from 1 to %1, not '%2'").arg(kMaxRows).arg(value));
        break;
      case Opt::Duration:
        if (!Seconds(value, 0, &o.durationS) || o.durationS <= 0)
          return fail(QStringLiteral("--duration needs a number of seconds above 0, not '%1'").arg(value));
        break;
      case Opt::Interval:
        if (value == QLatin1String("0.5"))
          o.intervalItem = 0;
        else if (value == QLatin1String("1"))
          o.intervalItem = 1;
        else if (value == QLatin1String("2"))
          o.intervalItem = 2;
        else
          return fail(QStringLiteral("--interval is 0.5, 1 or 2 (seconds), not '%1'").arg(value));
        break;
      case Opt::Profile:
        if (value.isEmpty()) return fail(QStringLiteral("--profile needs a file"));
        o.profile = value;
        break;
      case Opt::Index:
        if (!WholeNumber(value, 1, kMaxRows, &o.index))
          return fail(QStringLiteral("--index needs a profile number from 1, not '%1'").arg(value));
        indexGiven = true;
        break;
      case Opt::Start:
        if (!WholeNumber(value, 1, kMaxRows, &o.start))
          return fail(QStringLiteral("--start needs a position from 1 to %1, not '%2'").arg(kMaxRows).arg(value));
        break;
      case Opt::Out: {
        if (value.isEmpty()) return fail(QStringLiteral("--out needs a file name, or - for standard output"));
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
          return fail(QStringLiteral("--out: '%1' does not end in .csv, .xlsx or .jsonl (or give - for JSON lines "
                                     "on standard output)")
                          .arg(value));
        break;
      }
      case Opt::Lang:
        if (value.trimmed().isEmpty()) return fail(QStringLiteral("--lang needs a language name or code"));
        o.lang = value.trimmed();
        break;
      case Opt::Wait:
        if (!Seconds(value, 0, &o.waitS))
          return fail(QStringLiteral("--wait needs a number of seconds (0 waits without limit), not '%1'").arg(value));
        break;
      case Opt::Quiet: o.quiet = true; break;
      case Opt::Mqtt: {
        // The URL may hold a password: a refusal names the fault, never the text.
        const BrokerUrlParse url = ParseBrokerUrl(value);
        if (!url.ok()) return fail(QStringLiteral("--mqtt: %1").arg(BrokerConfigErrorText(url.error)));
        o.mqtt = url.config;
        break;
      }
      case Opt::MqttCa:
        if (value.isEmpty()) return fail(QStringLiteral("--mqtt-ca needs a file"));
        mqttCa = value;
        break;
      case Opt::Capture:
        if (value.isEmpty()) return fail(QStringLiteral("--capture needs a file"));
        o.capture = value;
        break;
      case Opt::Help: help = true; break;
      case Opt::Version: version = true; break;
    }
  }

  if (indexGiven && o.profile.isEmpty()) return fail(QStringLiteral("--index needs --profile"));
  if (!mqttCa.isEmpty()) {
    if (!o.mqtt) return fail(QStringLiteral("--mqtt-ca needs --mqtt"));
    if (!o.mqtt->tls) return fail(QStringLiteral("--mqtt-ca needs an mqtts:// broker"));
    o.mqtt->caFile = mqttCa;
  }
  if (help)
    r.action = RecordAction::ShowHelp;
  else if (version)
    r.action = RecordAction::ShowVersion;
  else if (listPorts)
    r.action = RecordAction::ListPorts;
  return r;
}

}  // namespace zt
