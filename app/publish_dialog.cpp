#include "publish_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "lexicons.h"
#include "prompts.h"

namespace zt {

namespace {

template <typename W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

PublishDialog::PublishDialog(const BrokerConfig& c, const Lexicons& lex, Prompts* prompts, QWidget* parent)
    : QDialog(parent), lex_(lex), prompts_(prompts) {
  setObjectName(QStringLiteral("PublishDialog"));
  setWindowTitle(lex.D4[msg::kPublishTitle]);
  const Lexicon& d4 = lex.D4;

  enabled_ = Named(new QCheckBox(d4[msg::kPublishEnabled], this), "PublishEnabled");
  enabled_->setChecked(c.enabled);
  host_ = Named(new QLineEdit(c.host, this), "PublishHost");
  host_->setMinimumWidth(240);
  port_ = Named(new QSpinBox(this), "PublishPort");
  port_->setRange(1, 65535);
  port_->setValue(c.port);
  prefix_ = Named(new QLineEdit(c.prefix, this), "PublishPrefix");
  user_ = Named(new QLineEdit(c.user, this), "PublishUser");
  password_ = Named(new QLineEdit(c.password, this), "PublishPassword");
  password_->setEchoMode(QLineEdit::Password);
  tls_ = Named(new QCheckBox(d4[msg::kPublishTls], this), "PublishTls");
  tls_->setChecked(c.tls);
  ca_ = Named(new QLineEdit(c.caFile, this), "PublishCaFile");
  browse_ = Named(new QPushButton(d4[msg::kPublishBrowse], this), "PublishBrowse");

  auto* form = new QFormLayout;
  form->addRow(d4[msg::kPublishHost], host_);
  form->addRow(d4[msg::kPublishPort], port_);
  form->addRow(d4[msg::kPublishPrefix], prefix_);
  form->addRow(d4[msg::kPublishUser], user_);
  form->addRow(d4[msg::kPublishPassword], password_);
  form->addRow(QString(), tls_);
  auto* caRow = new QHBoxLayout;
  caRow->addWidget(ca_, 1);
  caRow->addWidget(browse_);
  form->addRow(d4[msg::kPublishCaFile], caRow);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("PublishButtons"));
  // Qt has catalogues for some languages only; the program's word for Cancel is in every one.
  buttons->button(QDialogButtonBox::Cancel)->setText(d4[msg::kExportCancel]);
  connect(buttons, &QDialogButtonBox::accepted, this, &PublishDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PublishDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(enabled_);
  layout->addLayout(form);
  layout->addWidget(buttons);

  connect(enabled_, &QCheckBox::toggled, this, &PublishDialog::enableFields);
  connect(tls_, &QCheckBox::toggled, this, &PublishDialog::tlsToggled);
  connect(browse_, &QPushButton::clicked, this, &PublishDialog::browseCa);
  enableFields();
}

BrokerConfig PublishDialog::config() const {
  BrokerConfig c;
  c.enabled = enabled_->isChecked();
  c.host = host_->text().trimmed();
  c.port = port_->value();
  c.prefix = prefix_->text().trimmed();
  c.user = user_->text();
  c.password = password_->text();
  c.tls = tls_->isChecked();
  c.caFile = c.tls ? ca_->text().trimmed() : QString();
  return c;
}

void PublishDialog::tlsToggled(bool on) {
  // A port left at the other scheme's usual number follows the switch.
  if (on && port_->value() == BrokerConfig::kPlainPort) port_->setValue(BrokerConfig::kTlsPort);
  if (!on && port_->value() == BrokerConfig::kTlsPort) port_->setValue(BrokerConfig::kPlainPort);
  enableFields();
}

void PublishDialog::enableFields() {
  const bool on = enabled_->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{host_, port_, prefix_, user_, password_, tls_}) w->setEnabled(on);
  ca_->setEnabled(on && tls_->isChecked());
  browse_->setEnabled(on && tls_->isChecked());
}

void PublishDialog::browseCa() {
  const QString start = ca_->text().isEmpty() ? QString() : QFileInfo(ca_->text()).absolutePath();
  const QString path =
      prompts_->openFileName(this, lex_.D4[msg::kPublishCaFile], start, lex_.D4[msg::kPublishCaFilter]);
  if (!path.isEmpty()) ca_->setText(path);
}

void PublishDialog::accept() {
  BrokerConfig c = config();
  // Switched off, the broker may stay empty; whatever is filled in must
  // still be usable, so that the file never holds what the next start would
  // have to ignore.
  if (!c.enabled && c.host.isEmpty()) c.host = QStringLiteral("localhost");
  const Lexicon& d4 = lex_.D4;
  const BrokerFieldRefusal refusal = CheckBrokerFields(c);
  QWidget* field = nullptr;
  QString name;
  QString reason;
  switch (refusal.field) {
    case BrokerField::None: break;
    case BrokerField::Host: field = host_, name = d4[msg::kPublishHost]; break;
    case BrokerField::Port: field = port_, name = d4[msg::kPublishPort]; break;
    case BrokerField::Prefix: field = prefix_, name = d4[msg::kPublishPrefix]; break;
    case BrokerField::User: field = user_, name = d4[msg::kPublishUser]; break;
    case BrokerField::Password: field = password_, name = d4[msg::kPublishPassword]; break;
  }
  switch (refusal.problem) {
    case BrokerFieldProblem::None: break;
    case BrokerFieldProblem::Empty: reason = d4[msg::kBrokerFieldEmpty]; break;
    case BrokerFieldProblem::Space: reason = d4[msg::kBrokerFieldSpace]; break;
    case BrokerFieldProblem::Url: reason = d4[msg::kBrokerFieldUrl]; break;
    case BrokerFieldProblem::Character: reason = d4[msg::kBrokerFieldCharacter].arg(refusal.character); break;
    case BrokerFieldProblem::TooLong: reason = d4[msg::kBrokerFieldTooLong]; break;
    case BrokerFieldProblem::Control: reason = d4[msg::kBrokerFieldControl]; break;
    case BrokerFieldProblem::PortRange: reason = d4[msg::kBrokerFieldPort]; break;
    case BrokerFieldProblem::EmptyLevel: reason = d4[msg::kBrokerFieldEmptyLevel]; break;
    case BrokerFieldProblem::Wildcard: reason = d4[msg::kBrokerFieldWildcard]; break;
    case BrokerFieldProblem::Dollar: reason = d4[msg::kBrokerFieldDollar]; break;
    case BrokerFieldProblem::PasswordWithoutUser: reason = d4[msg::kBrokerFieldNoUser]; break;
  }
  if (!field && c.enabled && c.tls && !c.caFile.isEmpty() && !QFileInfo(c.caFile).isFile()) {
    field = ca_;
    name = d4[msg::kPublishCaFile];
    reason = d4[msg::kBrokerFieldNoFile];
  }
  if (field) {
    prompts_->message(this, windowTitle(), d4[msg::kPublishFieldReason].arg(name, reason), Prompts::Icon::Warning);
    field->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace zt
