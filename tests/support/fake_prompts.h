#pragma once
// Records message boxes, questions and file dialogues, and answers them from
// queues, so window tests never block on a modal dialogue.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

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
  QStringList questions;        // the text of each question asked
  QList<bool> questionAnswers;  // taken front first; empty = "no"
  struct Choice {
    QString text;
    QStringList buttons;
    int defaultButton;
  };
  QList<Choice> choices;     // each question with its own buttons
  QList<int> choiceAnswers;  // button indexes, taken front first; empty = the last button
  QStringList openAnswers;   // taken front first; empty = cancelled
  QStringList saveAnswers;   // for both kinds of save dialogue
  QString saveFilterAnswer;
  QStringList dialogCaptions;
  // Each dialogue shown, in order: "open-or-new", "open" (existing files), "save" (asks before
  // replacing) or "new" (never asks).
  QStringList dialogKinds;
  QStringList saveDirs;     // the proposed path of each save dialogue
  QStringList openDirs;     // the folder each open dialogue starts in
  QStringList saveFilters;  // the file types each save dialogue offered
  // Called as each message box would show (what else is on screen then).
  std::function<void(const Message&)> onMessage;

  void message(QWidget*, const QString& caption, const QString& text, Icon icon) override {
    messages.append({caption, text, icon});
    if (onMessage) onMessage(messages.last());
  }
  bool question(QWidget*, const QString&, const QString& text) override {
    questions.append(text);
    return !questionAnswers.isEmpty() && questionAnswers.takeFirst();
  }
  int choice(QWidget*, const QString&, const QString& text, const QStringList& buttons, int defaultButton) override {
    choices.append({text, buttons, defaultButton});
    return choiceAnswers.isEmpty() ? static_cast<int>(buttons.size()) - 1 : choiceAnswers.takeFirst();
  }
  QString openOrNewFileName(QWidget*, const QString& caption, const QString& dir, const QString&) override {
    dialogCaptions.append(caption);
    openDirs.append(dir);
    dialogKinds.append(QStringLiteral("open-or-new"));
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
  }
  QString openFileName(QWidget*, const QString& caption, const QString& dir, const QString&) override {
    dialogCaptions.append(caption);
    openDirs.append(dir);
    dialogKinds.append(QStringLiteral("open"));
    return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
  }
  QString saveFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter,
                       QString* selectedFilter) override {
    dialogKinds.append(QStringLiteral("save"));
    if (selectedFilter && !saveFilterAnswer.isEmpty()) *selectedFilter = saveFilterAnswer;
    return takeSave(caption, dir, filter);
  }
  QString newFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter) override {
    dialogKinds.append(QStringLiteral("new"));
    return takeSave(caption, dir, filter);
  }

 private:
  QString takeSave(const QString& caption, const QString& dir, const QString& filter) {
    dialogCaptions.append(caption);
    saveDirs.append(dir);
    saveFilters.append(filter);
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
  }
};

}  // namespace zt::test
