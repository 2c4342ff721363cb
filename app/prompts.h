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
  // Returns the chosen path or an empty text when cancelled.
  virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                               const QString& filter) = 0;
  virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                               const QString& filter, QString* selectedFilter) = 0;
};

// The real dialogues.
class QtPrompts : public Prompts {
 public:
  void message(QWidget* parent, const QString& caption, const QString& text, Icon icon) override;
  QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                       const QString& filter) override;
  QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                       const QString& filter, QString* selectedFilter) override;
};

}  // namespace zt
