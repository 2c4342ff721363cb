#include "prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace zt {

void QtPrompts::message(QWidget* parent, const QString& caption, const QString& text, Icon icon) {
  QMessageBox::Icon i = QMessageBox::Information;
  if (icon == Icon::Warning) i = QMessageBox::Warning;
  if (icon == Icon::Critical) i = QMessageBox::Critical;
  QMessageBox box(i, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

QString QtPrompts::openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                const QString& filter) {
  return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString QtPrompts::saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                const QString& filter, QString* selectedFilter) {
  return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter);
}

}  // namespace zt
