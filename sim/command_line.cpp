#include "command_line.h"

#include <QCommandLineParser>

#include <cmath>

namespace zt::sim {

namespace {

bool ParseSeconds(const QString& text, int* ms) {
  bool ok = false;
  const double s = text.toDouble(&ok);
  if (!ok || !(s >= 0) || s > 86400) return false;
  *ms = static_cast<int>(std::lround(s * 1000));
  return true;
}

bool ApplyFault(const QString& item, Faults& f, QString* error) {
  const QString t = item.trimmed().toLower();
  if (t == u"garbage")
    f.garbage = true;
  else if (t == u"merge")
    f.merge = true;
  else if (t == u"split")
    f.split = true;
  else if (t == u"silent")
    f.silent = true;
  else if (t.startsWith(u"unplug-after=")) {
    int ms = 0;
    if (!ParseSeconds(t.mid(13), &ms) || ms <= 0) {
      *error = QStringLiteral("--fault unplug-after needs a positive number of seconds");
      return false;
    }
    f.unplugAfterMs = ms;
  } else {
    *error = QStringLiteral("unknown fault \"%1\" (garbage, merge, split, silent, unplug-after=SECONDS)").arg(item);
    return false;
  }
  return true;
}

}  // namespace

bool ParseCommandLine(const QStringList& arguments, CommandLine& out, QString* error, QString* helpText) {
  QCommandLineParser p;
  p.setApplicationDescription(
      QStringLiteral("Simulated ZT40/ZT41/ZT42 LCR meter behind a Bluetooth LE dongle or a USB-UART bridge, "
                     "on a pseudo-terminal registered in the virtual-ports folder."));
  const QCommandLineOption help = p.addHelpOption();
  const QCommandLineOption mode({"m", "mode"}, "dongle (AT dialogue, default) or bridge (frames at once).", "mode",
                                "dongle");
  const QCommandLineOption model("model", "ZT40 (default), ZT41 or ZT42.", "model", "ZT40");
  const QCommandLineOption dut("dut",
                               "Device under test, e.g. \"R=1k\", \"C=100n,esr=0.5\", \"L=100u,esr=0.2\", "
                               "\"D=0.65\", \"U=1.5\"; a list \"C=100n;C=101n;R=10k\" is taken in turn.",
                               "parts", "R=1k");
  const QCommandLineOption partFrames("part-frames", "Frames per part of a list (default 1).", "count", "1");
  const QCommandLineOption interval("interval", "Seconds between frames at start: 0.5, 1 (default) or 2.", "seconds",
                                    "1");
  const QCommandLineOption hold(
      "hold", "Start with the meter's hold function on (every frame is logged while the logger does not record).");
  const QCommandLineOption replug(
      "replug", "Pull the device out after IN seconds and plug it back after OUT seconds, again and again.", "IN,OUT");
  const QCommandLineOption sleepAfter("sleep-after", "Idle seconds until economy (sleep after twice that); 0 = never.",
                                      "seconds", "0");
  const QCommandLineOption fault(
      "fault", "garbage, merge, split, silent or unplug-after=SECONDS; repeat or separate with commas.", "fault");
  const QCommandLineOption connectFail(
      "connect-fail", "Dongle connection attempts fail with OK+CONN<F|E|N>, or EF for both E and F.", "F|E|N|EF");
  const QCommandLineOption connectFailures(
      "connect-failures", "With --connect-fail: attempts that fail before one succeeds (default: all).", "count", "-1");
  const QCommandLineOption connectDelay("connect-delay", "Milliseconds between OK+CONNL and the result (default 300).",
                                        "ms", "300");
  const QCommandLineOption connCrLf("conn-crlf", "Send OK+CONN followed by CR LF.");
  const QCommandLineOption plus5("checksum-plus5", "Use the checksum variant sum+5 (byte 13 bits 0-1 set).");
  const QCommandLineOption seed("seed", "Seed of the reading noise (default 1).", "number", "1");
  const QCommandLineOption name("name", "Friendly name to register instead of the one of the mode.", "name");
  const QCommandLineOption lenient(
      "lenient",
      "Pick the dongle's text commands out of the byte stream however they arrive, glued or split "
      "(a real dongle answers only a burst that is exactly one command).");
  const QCommandLineOption printPort("print-port", "Print the terminal's path on standard output once it is ready.");
  const QCommandLineOption replay("replay",
                                  "Play a capture (zt-record --capture) back as the meter sent it: the dongle's "
                                  "answers to the program's texts, then the frames with their spacing.",
                                  "file");
  const QCommandLineOption speed("speed", "With --replay: play N times as fast (default 1).", "N", "1");
  for (const auto* o : {&mode,  &model,  &dut,         &partFrames,      &interval,     &hold,     &sleepAfter,
                        &fault, &replug, &connectFail, &connectFailures, &connectDelay, &connCrLf, &plus5,
                        &seed,  &name,   &lenient,     &printPort,       &replay,       &speed})
    p.addOption(*o);

  if (!p.parse(arguments)) {
    *error = p.errorText();
    return false;
  }
  if (p.isSet(help)) {
    if (helpText) *helpText = p.helpText();
    return true;
  }
  if (!p.positionalArguments().isEmpty()) {
    *error = QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments().first());
    return false;
  }

  Options o;
  const QString m = p.value(mode).toLower();
  if (m == u"dongle")
    o.mode = LinkMode::Dongle;
  else if (m == u"bridge")
    o.mode = LinkMode::Bridge;
  else {
    *error = QStringLiteral("--mode must be dongle or bridge");
    return false;
  }
  const QString md = p.value(model).toUpper();
  if (md == u"ZT40")
    o.model = Model::ZT40;
  else if (md == u"ZT41")
    o.model = Model::ZT41;
  else if (md == u"ZT42")
    o.model = Model::ZT42;
  else {
    *error = QStringLiteral("--model must be ZT40, ZT41 or ZT42");
    return false;
  }
  o.dut = p.value(dut);
  QString why;
  if (!ParseDut(o.dut, &why)) {
    *error = QStringLiteral("--dut: %1").arg(why);
    return false;
  }
  bool ok = false;
  o.partFrames = p.value(partFrames).toInt(&ok);
  if (!ok || o.partFrames < 1) {
    *error = QStringLiteral("--part-frames must be a positive whole number");
    return false;
  }
  const QString iv = p.value(interval);
  if (iv == u"0.5")
    o.intervalCode = 3;
  else if (iv == u"1")
    o.intervalCode = 2;
  else if (iv == u"2")
    o.intervalCode = 1;
  else {
    *error = QStringLiteral("--interval must be 0.5, 1 or 2");
    return false;
  }
  int ms = 0;
  if (!ParseSeconds(p.value(sleepAfter), &ms)) {
    *error = QStringLiteral("--sleep-after must be a number of seconds");
    return false;
  }
  o.sleepAfterS = (ms + 999) / 1000;
  o.hold = p.isSet(hold);
  if (p.isSet(replug)) {
    const QStringList parts = p.value(replug).split(u',');
    int replugIn = 0, replugOut = 0;
    if (parts.size() != 2 || !ParseSeconds(parts[0], &replugIn) || !ParseSeconds(parts[1], &replugOut) ||
        replugIn <= 0 || replugOut <= 0) {
      *error = QStringLiteral("--replug needs two positive numbers of seconds, IN,OUT");
      return false;
    }
    o.replug = {replugIn, replugOut};
  }
  for (const QString& v : p.values(fault))
    for (const QString& item : v.split(u',', Qt::SkipEmptyParts))
      if (!ApplyFault(item, o.faults, error)) return false;
  if (p.isSet(connectFail)) {
    const QString f = p.value(connectFail).toUpper();
    if (f == u"F")
      o.connectFailure = ConnectFailure::F;
    else if (f == u"E")
      o.connectFailure = ConnectFailure::E;
    else if (f == u"N")
      o.connectFailure = ConnectFailure::N;
    else if (f == u"EF")
      o.connectFailure = ConnectFailure::EF;
    else {
      *error = QStringLiteral("--connect-fail must be F, E, N or EF");
      return false;
    }
  }
  o.connectFailures = p.value(connectFailures).toInt(&ok);
  if (!ok || o.connectFailures < -1) {
    *error = QStringLiteral("--connect-failures must be a count (or -1 for all)");
    return false;
  }
  o.connectDelayMs = p.value(connectDelay).toInt(&ok);
  if (!ok || o.connectDelayMs < 0 || o.connectDelayMs > 60000) {
    *error = QStringLiteral("--connect-delay must be 0 to 60000 ms");
    return false;
  }
  o.connCrLf = p.isSet(connCrLf);
  o.checksumPlus5 = p.isSet(plus5);
  o.lenient = p.isSet(lenient);
  o.seed = p.value(seed).toUInt(&ok);
  if (!ok) {
    *error = QStringLiteral("--seed must be a whole number");
    return false;
  }
  if (p.isSet(name)) {
    o.name = p.value(name);
    if (o.name.isEmpty() || o.name.contains(u'/') || o.name == u"." || o.name == u"..") {
      *error = QStringLiteral("--name must be a plain file name");
      return false;
    }
  }
  out.speed = p.value(speed).toDouble(&ok);
  if (!ok || !(out.speed > 0) || out.speed > 1e6) {
    *error = QStringLiteral("--speed must be a number above 0");
    return false;
  }
  if (p.isSet(speed) && !p.isSet(replay)) {
    *error = QStringLiteral("--speed needs --replay");
    return false;
  }
  out.replay = p.value(replay);
  if (p.isSet(replay) && out.replay.isEmpty()) {
    *error = QStringLiteral("--replay needs a capture file");
    return false;
  }
  out.options = o;
  out.printPort = p.isSet(printPort);
  return true;
}

}  // namespace zt::sim
