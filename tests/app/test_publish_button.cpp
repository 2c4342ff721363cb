// The publishing button over the window's session: the dialogue's settings
// are kept in publish.ini (readable by the user only) and used at once and at
// the next start; the memo says whether the broker is reached, once per
// change and never with the password; a field that cannot be used keeps the
// dialogue open. Against a real mosquitto broker on 127.0.0.1. The publisher
// itself is tested in tests/publish and tests/session.
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QTcpServer>
#include <QtTest>

#include "mqtt_broker.h"
#include "publish_dialog.h"
#include "window_profiles.h"

using namespace zt;
using zt::test::Control;
using zt::test::Lines;
using zt::test::MqttBroker;
using zt::test::MqttProbe;
using zt::test::ResistorReading;
using zt::test::WindowFixture;
using zt::test::WindowOptions;

namespace {

WindowOptions Publishing() {
  WindowOptions o;
  o.publishing = true;
  o.publishTimings.reconnectMinMs = 100;
  o.publishTimings.reconnectMaxMs = 200;
  o.publishTimings.connectTimeoutMs = 2000;
  return o;
}

PublishDialog* OpenDialog(WindowFixture& fx) {
  QTest::mouseClick(Control(fx.window(), "BPublish"), Qt::LeftButton);
  return fx.window().findChild<PublishDialog*>(QStringLiteral("PublishDialog"));
}

struct Fields {
  bool enabled = true;
  QString host = QStringLiteral("127.0.0.1");
  int port = 1883;
  QString prefix = QStringLiteral("zt");
  QString user = {};
  QString password = {};
};

}  // namespace

Q_DECLARE_METATYPE(Fields)

namespace {

void Fill(PublishDialog* d, const Fields& f) {
  Control<QCheckBox>(*d, "PublishEnabled")->setChecked(f.enabled);
  Control<QLineEdit>(*d, "PublishHost")->setText(f.host);
  Control<QSpinBox>(*d, "PublishPort")->setValue(f.port);
  Control<QLineEdit>(*d, "PublishPrefix")->setText(f.prefix);
  Control<QLineEdit>(*d, "PublishUser")->setText(f.user);
  Control<QLineEdit>(*d, "PublishPassword")->setText(f.password);
}

void Confirm(PublishDialog* d) {
  Control<QDialogButtonBox>(*d, "PublishButtons")->button(QDialogButtonBox::Ok)->click();
}

QStringList Memo(WindowFixture& fx) { return Lines(Control<QPlainTextEdit>(fx.window(), "Memo1")); }

int CountLines(WindowFixture& fx, const QString& line) { return int(Memo(fx).count(line)); }

int FreePort() {
  QTcpServer s;
  s.listen(QHostAddress::LocalHost);
  return s.serverPort();  // closed again when s goes: nobody listens there
}

}  // namespace

class TestPublishButton : public QObject {
  Q_OBJECT

 private slots:
  void settingsAreKeptAndUsed() {
    MqttBroker broker({.users = {{QStringLiteral("bench"), QStringLiteral("s3cret-pw")}}});
    QString error;
    QVERIFY2(broker.start(&error), qPrintable(error));
    MqttProbe probe("probe-window");
    QVERIFY(probe.connect(broker.port(), {}, "bench", "s3cret-pw"));
    QVERIFY(probe.subscribe("lab/b1/#"));

    WindowFixture fx(Publishing());
    fx.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
    QVERIFY(Control(fx.window(), "BPublish")->isVisible());
    PublishDialog* d = OpenDialog(fx);
    QVERIFY(d);
    QVERIFY(d->isVisible());
    QVERIFY(!Control<QCheckBox>(*d, "PublishEnabled")->isChecked());  // off until switched on
    Fill(d, {.port = broker.port(),
             .prefix = QStringLiteral("lab/b1"),
             .user = QStringLiteral("bench"),
             .password = QStringLiteral("s3cret-pw")});
    Confirm(d);

    // Kept for the next start, readable by the user only.
    const QString ini = PublishIniPath(fx.session->dataFolder());
    QCOMPARE(QFile::permissions(ini), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    const PublishIniLoad load = ReadPublishIni(fx.session->dataFolder());
    QCOMPARE(load.status, PublishIniLoad::Read);
    QVERIFY(load.config.enabled);
    QCOMPARE(load.config.port, broker.port());
    QCOMPARE(load.config.prefix, QStringLiteral("lab/b1"));
    QCOMPARE(load.config.password, QStringLiteral("s3cret-pw"));

    // Used at once: the broker (which refuses anonymous clients) is reached
    // and a reading taken by the window arrives.
    const QString reached = QStringLiteral("MQTT: брокер 127.0.0.1:%1 доступен").arg(broker.port());
    QTRY_COMPARE_WITH_TIMEOUT(CountLines(fx, reached), 1, 10000);
    fx.recorder().takeReading(ResistorReading(100.0, QStringLiteral("100.0 Ом")));
    auto readings = [&] {
      int n = 0;
      for (const MqttProbe::Message& m : probe.messages()) n += m.topic.endsWith("/reading");
      return n;
    };
    QTRY_COMPARE_WITH_TIMEOUT(readings(), 1, 10000);

    // The next start publishes again from the file.
    fx.stop();
    probe.clear();
    fx.start();
    QTRY_COMPARE_WITH_TIMEOUT(CountLines(fx, reached), 1, 10000);
    fx.recorder().takeReading(ResistorReading(101.0, QStringLiteral("101.0 Ом")));
    QTRY_COMPARE_WITH_TIMEOUT(readings(), 1, 10000);

    // Switched off: said in the memo, the file keeps the fields.
    d = OpenDialog(fx);
    QVERIFY(d);
    QCOMPARE(Control<QLineEdit>(*d, "PublishHost")->text(), QStringLiteral("127.0.0.1"));
    Control<QCheckBox>(*d, "PublishEnabled")->setChecked(false);
    Confirm(d);
    QTRY_COMPARE_WITH_TIMEOUT(CountLines(fx, QStringLiteral("MQTT: публикация выключена")), 1, 10000);
    const PublishIniLoad off = ReadPublishIni(fx.session->dataFolder());
    QVERIFY(!off.config.enabled);
    QCOMPARE(off.config.user, QStringLiteral("bench"));

    // The password never reaches a text meant for a person.
    QVERIFY(!fx.window()
                 .findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))
                 ->toPlainText()
                 .contains(QStringLiteral("s3cret")));
    for (const auto& m : fx.prompts.messages) QVERIFY(!m.text.contains(QStringLiteral("s3cret")));
  }

  // Attempts repeat with back-off; the memo says so once, and the window
  // goes on recording as if there were no broker.
  void unreachableBrokerToldOnce() {
    WindowFixture fx(Publishing());
    const int port = FreePort();
    PublishDialog* d = OpenDialog(fx);
    QVERIFY(d);
    Fill(d, {.port = port});
    Confirm(d);
    const QString prefix = QStringLiteral("MQTT: брокер 127.0.0.1:%1 недоступен (").arg(port);
    auto told = [&] {
      int n = 0;
      for (const QString& l : Memo(fx)) n += l.startsWith(prefix);
      return n;
    };
    QTRY_COMPARE_WITH_TIMEOUT(told(), 1, 10000);
    QTest::qWait(1000);  // several more attempts
    QCOMPARE(told(), 1);
    // The library's reason in the window's language.
    QVERIFY(Memo(fx).contains(prefix + QStringLiteral("соединение отклонено)")));
    fx.recorder().setRecording(true);
    for (int i = 0; i < 5; ++i) fx.recorder().takeReading(ResistorReading(100.0 + i, QStringLiteral("r")));
    QCOMPARE(fx.recorder().logPosition(), 6);  // rows 1 to 5 written
  }

  void unusableFieldKeepsTheDialogOpen_data() {
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QString>("message");  // empty: accepted
    const QString host = QStringLiteral("Поле «Брокер»: ");
    const QString prefix = QStringLiteral("Поле «Префикс тем»: ");
    QTest::newRow("no host") << Fields{.host = QString()} << host + "не заполнено";
    QTest::newRow("only a blank") << Fields{.host = QStringLiteral(" ")} << host + "не заполнено";
    QTest::newRow("host with a space") << Fields{.host = QStringLiteral("bench 3")} << host + "содержит пробел";
    QTest::newRow("a URL for a host") << Fields{.host = QStringLiteral("mqtt://bench3:1883")}
                                      << host + "нужно только имя или адрес брокера, без «mqtt://», порта и пути";
    QTest::newRow("a character no host has")
        << Fields{.host = QStringLiteral("bench3!")} << host + "недопустимый символ «!»";
    QTest::newRow("wildcard in the prefix")
        << Fields{.prefix = QStringLiteral("lab/#")} << prefix + "символы «+» и «#» недопустимы";
    QTest::newRow("empty prefix level") << Fields{.prefix = QStringLiteral("lab//b1")}
                                        << prefix + "пустой уровень темы (два «/» подряд или «/» с краю)";
    QTest::newRow("prefix with a leading $")
        << Fields{.prefix = QStringLiteral("$SYS")} << prefix + "не может начинаться с «$»";
    QTest::newRow("password without a user")
        << Fields{.password = QStringLiteral("pw")}
        << QStringLiteral("Поле «Пользователь»: пароль задан без имени пользователя");
    QTest::newRow("off, nothing filled in") << Fields{.enabled = false, .host = QString()} << QString();
    QTest::newRow("off, wildcard in the prefix")
        << Fields{.enabled = false, .prefix = QStringLiteral("lab/+")} << prefix + "символы «+» и «#» недопустимы";
    QTest::newRow("usable") << Fields{.prefix = QStringLiteral("lab/b1")} << QString();
  }
  void unusableFieldKeepsTheDialogOpen() {
    QFETCH(Fields, fields);
    QFETCH(QString, message);
    WindowFixture fx(Publishing());
    PublishDialog* d = OpenDialog(fx);
    QVERIFY(d);
    Fill(d, fields);
    Confirm(d);
    const bool exists = QFile::exists(PublishIniPath(fx.session->dataFolder()));
    if (message.isEmpty()) {
      QVERIFY(fx.prompts.messages.isEmpty());
      QVERIFY(exists);
      QTRY_VERIFY(!fx.window().findChild<PublishDialog*>());  // closed and gone
    } else {
      QCOMPARE(fx.prompts.messages.size(), 1);
      QCOMPARE(fx.prompts.messages.first().text, message);
      QVERIFY(d->isVisible());
      QVERIFY(!exists);
    }
  }

  void caFileFromTheFileDialog() {
    WindowFixture fx(Publishing());
    PublishDialog* d = OpenDialog(fx);
    QVERIFY(d);
    Fill(d, {});
    auto* browse = Control<QPushButton>(*d, "PublishBrowse");
    QVERIFY(!browse->isEnabled());  // only with TLS
    Control<QCheckBox>(*d, "PublishTls")->setChecked(true);
    QCOMPARE(Control<QSpinBox>(*d, "PublishPort")->value(), BrokerConfig::kTlsPort);
    fx.prompts.openAnswers << QStringLiteral("/nonexistent/ca.crt");
    browse->click();
    QCOMPARE(fx.prompts.dialogKinds, QStringList{QStringLiteral("open")});
    QCOMPARE(Control<QLineEdit>(*d, "PublishCaFile")->text(), QStringLiteral("/nonexistent/ca.crt"));
    // A CA file that is not there is refused before anything is kept.
    Confirm(d);
    QCOMPARE(fx.prompts.messages.size(), 1);
    QCOMPARE(fx.prompts.messages.first().text, QStringLiteral("Поле «Файл CA»: файл не найден"));
  }

  void noPublisherNoButton() {
    WindowFixture fx;
    fx.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
    QVERIFY(!Control(fx.window(), "BPublish")->isVisible());
  }
};

QTEST_MAIN(TestPublishButton)
#include "test_publish_button.moc"
