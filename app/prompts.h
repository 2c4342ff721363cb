#pragma once
// Message boxes and file dialogues go through this interface so that the
// window can be driven by tests without a modal dialogue blocking them.
#include <QString>
#include <QStringList>

class QWidget;

namespace zt {

class Prompts {
 public:
  enum class Icon { Information, Warning, Critical };
  virtual ~Prompts() = default;
  virtual void message(QWidget* parent, const QString& caption, const QString& text, Icon icon) = 0;
  // A yes/no question; true for yes.
  virtual bool question(QWidget* parent, const QString& caption, const QString& text) = 0;
  // A question answered with one of `buttons` (Return presses the default
  // one, Escape the last): the index of the one chosen.
  virtual int choice(QWidget* parent, const QString& caption, const QString& text, const QStringList& buttons,
                     int defaultButton) = 0;
  // A file to open, or the name of one to make: the dialogue also accepts a
  // name that does not exist yet. Returns the chosen path or an empty text
  // when cancelled.
  virtual QString openOrNewFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
  // An existing file to read. The chosen path, or an empty text.
  virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) = 0;
  // A save dialogue that asks before replacing the chosen file.
  virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                               QString* selectedFilter) = 0;
  // A save dialogue that never asks about replacing a file: for callers that
  // write under another name than the one chosen and ask about that file
  // themselves.
  virtual QString newFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) = 0;
};

// The real dialogues.
class QtPrompts : public Prompts {
 public:
  void message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
  bool question(QWidget* parent, const QString& caption, const QString& text) override;
  int choice(QWidget* parent, const QString& caption, const QString& text, const QStringList& buttons,
             int defaultButton) override;
  QString openOrNewFileName(QWidget* parent, const QString& caption, const QString& dir,
                            const QString& filter) override;
  QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
  QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                       QString* selectedFilter) override;
  QString newFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override;
};

}  // namespace zt
