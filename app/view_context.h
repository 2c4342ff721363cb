#pragma once
// What every part of the view works with: the window, its controls, the
// session whose controllers it shows, and the dialogues. Private to app/.
#include <QString>
#include <QWidget>

#include "form_controls.h"
#include "notices.h"
#include "prompts.h"
#include "session.h"

namespace zt {

struct ViewContext {
  QWidget* window = nullptr;
  FormControls* ui = nullptr;
  Session* session = nullptr;
  Prompts* prompts = nullptr;

  const Lexicons& lex() const { return session->lang().lexicons(); }
  // A message box captioned with the window's title.
  void tell(NoticeLevel level, const QString& text) const {
    const Prompts::Icon icon = level == NoticeLevel::Critical  ? Prompts::Icon::Critical
                               : level == NoticeLevel::Warning ? Prompts::Icon::Warning
                                                               : Prompts::Icon::Information;
    prompts->message(window, window->windowTitle(), text, icon);
  }
};

}  // namespace zt
