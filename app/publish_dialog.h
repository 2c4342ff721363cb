#pragma once
// The publishing dialogue: broker, port, topic prefix, user, password, TLS
// with its CA file, and on/off. It edits a BrokerConfig and keeps itself open
// until what it holds can be used (or is switched off), naming the field to
// correct. Its texts come from the language in use.
#include <QDialog>

#include "broker_config.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zt {

struct Lexicons;
class Prompts;

class PublishDialog : public QDialog {
  Q_OBJECT

 public:
  PublishDialog(const BrokerConfig& config, const Lexicons& lex, Prompts* prompts, QWidget* parent = nullptr);

  // What the fields hold now.
  BrokerConfig config() const;

  void accept() override;

 private:
  void tlsToggled(bool on);
  void browseCa();
  void enableFields();

  const Lexicons& lex_;
  Prompts* prompts_;
  QCheckBox* enabled_;
  QLineEdit* host_;
  QSpinBox* port_;
  QLineEdit* prefix_;
  QLineEdit* user_;
  QLineEdit* password_;
  QCheckBox* tls_;
  QLineEdit* ca_;
  QPushButton* browse_;
};

}  // namespace zt
