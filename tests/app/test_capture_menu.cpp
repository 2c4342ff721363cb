// The capture from the window: the memo's context menu starts a capture into
// the file the save dialogue names and stops it again, the memo tells both,
// and the file holds the exchange with the simulated meter; a capture that
// cannot be written (a full disk) ends with a message while the link goes on.
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QtTest>

#include "capture_file.h"
#include "simulated_meter.h"
#include "window_fixture.h"

using namespace zt;
using zt::test::WindowFixture;

namespace {

// Opens the context menu of `w` and triggers the capture's entry; its text.
QString UseMenu(QWidget* w) {
  emit w->customContextMenuRequested(QPoint(4, 4));
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (!menu) return {};
  auto* action = menu->findChild<QAction*>(QStringLiteral("CaptureAction"));
  if (!action) return {};
  const QString text = action->text();
  menu->close();
  action->trigger();
  return text;
}

QStringList MemoLines(WindowFixture& fx) {
  return fx.window().findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText().split(u'\n');
}

}  // namespace

class CaptureMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void startAndStopFromTheMemo() {
    WindowFixture fx;
    sim::Options o;
    o.intervalCode = 3;
    o.connectDelayMs = 30;
    sim::SimulatedMeter meter(o);
    QVERIFY(meter.start());
    const QString path = fx.dataDir.filePath(QStringLiteral("bug.ztcap"));
    fx.prompts.saveAnswers << path;
    auto* memo = fx.window().findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    const Lexicon& d4 = fx.lex().D4;
    QCOMPARE(UseMenu(memo), d4[msg::kCaptureStart]);
    QCOMPARE(fx.prompts.dialogKinds, QStringList{QStringLiteral("save")});
    QCOMPARE(fx.prompts.saveFilters, QStringList{d4[msg::kCaptureFilter]});
    QVERIFY(fx.session->capture().active());
    QVERIFY(MemoLines(fx).contains(d4[msg::kCaptureStarted].arg(QDir::toNativeSeparators(path))));

    int frames = 0;
    connect(&fx.link(), &MeterLink::frameReceived, this, [&frames] { ++frames; });
    fx.link().connectOrDisconnect();
    QVERIFY(QTest::qWaitFor([&] { return frames >= 2; }, 10000));

    // While connected the memo's place may be taken by the two labels: they
    // offer the same menu.
    auto* label = fx.window().findChild<QLabel*>(QStringLiteral("L_righ5"));
    QCOMPARE(UseMenu(label), d4[msg::kCaptureStop]);
    QVERIFY(!fx.session->capture().active());
    const std::uint64_t written = fx.session->capture().recordsWritten();
    QVERIFY(MemoLines(fx).contains(d4[msg::kCaptureStopped].arg(QDir::toNativeSeparators(path)).arg(written)));

    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const CaptureParse p = ParseCapture(f.readAll());
    QVERIFY2(p.ok(), qPrintable(p.error));
    QCOMPARE(p.records.size(), qsizetype(written));
    int sentConnect = 0, receivedFrames = 0;
    for (const CaptureRecord& r : p.records) {
      QCOMPARE(r.port, meter.portPath());
      if (r.direction == TapDirection::Sent && r.bytes == "AT+CONNL") ++sentConnect;
      if (r.direction == TapDirection::Received && r.bytes.size() == 18) ++receivedFrames;
    }
    QVERIFY(sentConnect >= 1);
    QVERIFY(receivedFrames >= 2);
  }

  void fullDiskEndsOnlyTheCapture() {
    if (!QFile::exists(QStringLiteral("/dev/full"))) QSKIP("no /dev/full");
    WindowFixture fx;
    sim::Options o;
    o.intervalCode = 3;
    o.connectDelayMs = 30;
    sim::SimulatedMeter meter(o);
    QVERIFY(meter.start());
    fx.prompts.saveAnswers << QStringLiteral("/dev/full");
    QCOMPARE(UseMenu(fx.window().findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))), fx.lex().D4[msg::kCaptureStart]);
    int frames = 0;
    connect(&fx.link(), &MeterLink::frameReceived, this, [&frames] { ++frames; });
    fx.link().connectOrDisconnect();
    QVERIFY(QTest::qWaitFor([&] { return !fx.prompts.messages.isEmpty(); }, 10000));
    QVERIFY(!fx.session->capture().active());
    const QString failed = fx.prompts.messages.first().text;
    QVERIFY2(failed.startsWith(fx.lex().D4[msg::kCaptureFailed].section(u'%', 0, 0)), qPrintable(failed));
    QVERIFY(MemoLines(fx).contains(failed));
    // The link and the readings go on.
    const int before = frames;
    QVERIFY(QTest::qWaitFor([&] { return frames >= before + 2; }, 10000));
  }
};

QTEST_MAIN(CaptureMenuTest)
#include "test_capture_menu.moc"
