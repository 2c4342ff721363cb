#include "view_link.h"

#include <QSignalBlocker>

#include "ui_constants.h"

namespace zt {

LinkView::LinkView(const ViewContext& v) : QObject(v.window), v_(v), t50_(new QTimer(this)) {
  FormControls& c = *v_.ui;
  MeterLink& link = v_.session->link();
  t50_->setObjectName(QStringLiteral("T50"));
  t50_->setInterval(ui::kT50Ms);
  t50_->setSingleShot(true);
  connect(t50_, &QTimer::timeout, this, &LinkView::T50Timer);

  // Controls to the link. A press also takes the reject colour off the panel.
  connect(c.B2, &QPushButton::clicked, this, [this] {
    v_.session->meter().setVerdict(0);
    v_.session->link().connectOrDisconnect();
  });
  connect(c.CheckBox_connect_auto, &QCheckBox::toggled, &link, &MeterLink::setAutoConnect);

  // The link to the controls.
  c.B2->setEnabled(link.connectEnabled());
  connect(&link, &MeterLink::connectEnabledChanged, c.B2, &QWidget::setEnabled);
  connect(&link, &MeterLink::connectCaptionChanged, this, &LinkView::renderCaption);
  connect(&v_.session->lang(), &LangMan::languageChanged, this, [this] {
    if (captionWritten_) renderCaption(v_.session->link().connectCaption());
  });
  connect(&link, &MeterLink::autoConnectChanged, this, [this](bool on) {
    const QSignalBlocker block(v_.ui->CheckBox_connect_auto);
    v_.ui->CheckBox_connect_auto->setChecked(on);
  });
  connect(&link, &MeterLink::linkEvent, this, &LinkView::renderEvent);
  connect(&link, &MeterLink::portAccessDenied, this, [this](const QString& port, const QString& group) {
    line(v_.lex().D4[msg::kPortNoAccess].arg(port, group));
  });
  connect(&link, &MeterLink::probeFailed, this, [this](const QString& port) {
    v_.prompts->message(v_.window, QStringLiteral("Test"), QStringLiteral("No modem responding on ") + port,
                        Prompts::Icon::Information);
  });
  connect(&link, &MeterLink::settled, this, &LinkView::settled);
  connect(&link, &MeterLink::linkWentDown, this, &LinkView::wentDown);
}

void LinkView::renderCaption(ConnectCaption caption) {
  captionWritten_ = true;
  const Lexicon& c = v_.lex().Dlang_connect;
  switch (caption) {
    case ConnectCaption::Connect: v_.ui->B2->setText(c[0]); break;
    case ConnectCaption::Disconnect: v_.ui->B2->setText(c[1]); break;
    // Blank while a press waits for its outcome.
    case ConnectCaption::Blank: v_.ui->B2->setText(QStringLiteral(" ")); break;
  }
}

void LinkView::renderEvent(LinkEvent event) {
  const Lexicon& c = v_.lex().Dlang_connect;
  switch (event) {
    case LinkEvent::Connecting: line(c[2]); break;
    case LinkEvent::NoConnection: line(QStringLiteral("NN ") + c[3]); break;
    case LinkEvent::Connected: line(c[4]); break;
    case LinkEvent::Disconnected: line(c[5]); break;
    case LinkEvent::ScanError: line(c[6]); break;
    case LinkEvent::Ok: line(QStringLiteral("OK")); break;
    case LinkEvent::ConnectTimeout: line(c[9]); break;
    case LinkEvent::ConnectFailed: break;  // the attempt just ends
  }
}

void LinkView::line(const QString& text) { v_.ui->Memo1->appendPlainText(text); }

// A second after the link came up: the picker gives way to "Выключить", and
// the memo to the derived lines a little later.
void LinkView::settled() {
  v_.ui->LangCombo1->hide();
  v_.ui->SP5->show();
  t50_->start();
}

void LinkView::wentDown() {
  FormControls& c = *v_.ui;
  c.Memo1->show();
  c.L_righ5->hide();
  c.L_righ6->hide();
  t50_->stop();
  c.LangCombo1->show();
  c.SP5->hide();
}

void LinkView::T50Timer() {
  FormControls& c = *v_.ui;
  c.Memo1->hide();
  c.L_righ5->show();
  c.L_righ6->show();
}

}  // namespace zt
