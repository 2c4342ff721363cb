#pragma once
// Records message boxes and answers file dialogues from a queue, so window
// tests never block on a modal dialogue.
#include <QList>
#include <QString>
#include <QStringList>

#include "prompts.h"

namespace zt::test {

class FakePrompts : public Prompts {
 public:
  struct Message {
    QString caption;
    QString text;
    Icon icon;
  };
  QList<Message> messages;
  QStringList openAnswers;  // taken front first; empty = cancelled
  QStringList saveAnswers;
  QString saveFilterAnswer;
  QStringList dialogCaptions;
  QStringList saveDirs;     // the proposed path of each save dialogue
  QStringList saveFilters;  // the file types each save dialogue offered

  void message(QWidget*, const QString& caption, const QString& text, Icon icon) override {
    messages.append({caption, text, icon});
  }
  QString openFileName(QWidget*, const QString& caption, const QString&, const QString&) override {
    dialogCaptions.append(caption);
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
  }
  QString saveFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter,
                       QString* selectedFilter) override {
    dialogCaptions.append(caption);
    saveDirs.append(dir);
    saveFilters.append(filter);
    if (selectedFilter && !saveFilterAnswer.isEmpty()) *selectedFilter = saveFilterAnswer;
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
  }
};

}  // namespace zt::test
