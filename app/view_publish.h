#pragma once
// The publishing button and dialogue over MeterPublishing: the broker's
// settings come from publish.ini in the data folder at start and go back
// there (readable by the user only) when the dialogue is confirmed; the memo
// says when the broker is reached, when it is not (once per change, with the
// reason) and when publishing is switched off. Without a publisher the
// button is hidden.
#include <QObject>

#include "broker_config.h"
#include "publisher.h"
#include "view_context.h"

namespace zt {

class MeterPublishing;

class PublishView : public QObject {
 public:
  PublishView(const ViewContext& v, MeterPublishing* publishing);

 private:
  void loadSettings();
  void BPublishClick();
  void apply(const BrokerConfig& config);
  void stateChanged(PublishState state, const QString& detail);
  void say(const QString& line);

  ViewContext v_;
  MeterPublishing* publishing_;
  PublishState shown_ = PublishState::Off;  // the last state the memo told
  QString lastLine_;
};

}  // namespace zt
