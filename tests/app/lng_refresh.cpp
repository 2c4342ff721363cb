// Writes a language file for the window as it is built now: every caption,
// list item and lexicon item. Given an existing translation it keeps its
// texts, adds what is new in the design text and marks what is gone %OLD.
//
//   lng_refresh <out.lng> [<existing.lng> | <language name> <code>]
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include "ble_fake.h"
#include "fake_prompts.h"
#include "form.h"
#include "lang_client.h"
#include "session.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: lng_refresh <out.lng> [<existing.lng> | <language name> <code>]\n");
    return 2;
  }
  // A window of its own, away from the real settings file, ports, radio and
  // languages.
  QTemporaryDir scratch;
  qputenv("RLC_DATA_DIR", scratch.path().toUtf8());
  zt::FakeBle radio;
  zt::PortLookup noPorts([] { return QList<zt::SerialPortEntry>{}; }, zt::MatchRule::UsbIdentity);
  zt::SessionDeps sessionDeps;
  sessionDeps.ble = &radio;
  sessionDeps.portLookup = &noPorts;
  sessionDeps.dataFolder = scratch.path();
  zt::Session session(sessionDeps);
  zt::test::FakePrompts prompts;
  zt::TForm1Deps deps;
  deps.prompts = &prompts;
  zt::TForm1 form(session, deps);

  zt::LngFile out;
  const auto* client = form.findChild<zt::LangManClient*>(QStringLiteral("LangManClient1"));
  if (!client) return 1;
  const QList<zt::LngEntry> design = client->designEntries();
  if (args.size() == 3) {
    QString error;
    std::optional<zt::LngFile> existing = zt::LangMan::readLanguageFile(args[2], &error);
    if (!existing) {
      std::fprintf(stderr, "%s: %s\n", qPrintable(args[2]), qPrintable(error));
      return 1;
    }
    out = zt::refreshLng(*existing, zt::makeLngSkeleton(design, QString(), QString()));
  } else {
    out = zt::makeLngSkeleton(design, args.size() > 3 ? args[2] : QStringLiteral("New language"),
                              args.size() > 3 ? args[3] : QStringLiteral("xx"));
  }
  QFile f(args[1]);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(zt::writeLng(out)) < 0) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(args[1]), qPrintable(f.errorString()));
    return 1;
  }
  return 0;
}
