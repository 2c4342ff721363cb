#include "view_publish.h"

#include "meter_publishing.h"
#include "publish_dialog.h"

namespace zt {

namespace {

QString BrokerName(const BrokerConfig& c) { return QStringLiteral("%1:%2").arg(c.host).arg(c.port); }

}  // namespace

PublishView::PublishView(const ViewContext& v, MeterPublishing* publishing)
    : QObject(v.window), v_(v), publishing_(publishing) {
  if (!publishing_) {
    v_.ui->BPublish->hide();
    return;
  }
  connect(v_.ui->BPublish, &QPushButton::clicked, this, [this] { BPublishClick(); });
  connect(publishing_, &MeterPublishing::stateChanged, this,
          [this](PublishState state, const QString& detail) { stateChanged(state, detail); });
  loadSettings();
}

void PublishView::loadSettings() {
  const QString folder = v_.session->dataFolder();
  if (folder.isEmpty()) return;
  const PublishIniLoad load = ReadPublishIni(folder);
  if (load.status == PublishIniLoad::Missing) return;
  const Lexicon& d4 = v_.lex().D4;
  if (load.status == PublishIniLoad::Failed) {
    say(d4[msg::kPublishFileProblems].arg(PublishIniPath(folder), d4[msg::kUnknownError]));
    return;
  }
  // What was ignored is named (never a value: the password may be among them).
  if (!load.problems.isEmpty())
    say(d4[msg::kPublishFileProblems].arg(PublishIniPath(folder), load.problems.join(QLatin1Char('\n'))));
  publishing_->configure(load.config);
}

void PublishView::BPublishClick() {
  auto* dialog = new PublishDialog(publishing_->config(), v_.lex(), v_.prompts, v_.window);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] { apply(dialog->config()); });
  // Window-modal (the button cannot be pressed again while it is open) and
  // without a loop of its own: the panel and the log go on while the
  // operator types.
  dialog->open();
}

void PublishView::apply(const BrokerConfig& config) {
  const QString folder = v_.session->dataFolder();
  if (!folder.isEmpty()) {
    QString error;
    if (!WritePublishIni(folder, config, &error))
      v_.tell(NoticeLevel::Critical, v_.lex().D4[msg::kPublishSaveError].arg(PublishIniPath(folder), error));
  }
  // Used in this run even when it could not be kept for the next.
  lastLine_.clear();
  publishing_->configure(config);
}

void PublishView::stateChanged(PublishState state, const QString& detail) {
  const Lexicon& d4 = v_.lex().D4;
  const BrokerConfig& c = publishing_->config();
  switch (state) {
    case PublishState::Connecting: return;  // the outcome follows
    case PublishState::Connected: say(d4[msg::kPublishReached].arg(BrokerName(c))); break;
    case PublishState::Disconnected: {
      // Attempts repeat with back-off; the memo says it once until something changes.
      // The library's common reasons in the language in use; the rest as it said them.
      QString why = detail.isEmpty() ? d4[msg::kUnknownError] : detail;
      switch (publishing_->publisher().stateReason()) {
        case PublishReason::Other: break;
        case PublishReason::Refused: why = d4[msg::kMqttRefused]; break;
        case PublishReason::Lost: why = d4[msg::kMqttLost]; break;
        case PublishReason::UnknownHost: why = d4[msg::kMqttUnknownHost]; break;
        case PublishReason::Tls: why = d4[msg::kMqttTls]; break;
        case PublishReason::NoAnswer: why = d4[msg::kMqttNoAnswer]; break;
        case PublishReason::NotAuthorised: why = d4[msg::kMqttNotAuthorised]; break;
      }
      say(d4[msg::kPublishNotReached].arg(BrokerName(c), why));
      break;
    }
    case PublishState::Off:
      if (shown_ != PublishState::Off) say(d4[msg::kPublishOff]);
      break;
  }
  shown_ = state;
}

void PublishView::say(const QString& line) {
  if (line == lastLine_) return;
  lastLine_ = line;
  v_.ui->Memo1->appendPlainText(line);
}

}  // namespace zt
