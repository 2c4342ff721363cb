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

bool QtPrompts::question(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QString QtPrompts::openOrNewFileName(QWidget* parent, const QString& caption, const QString& dir,
                                     const QString& filter) {
  QFileDialog dialog(parent, caption, dir, filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // Any name, existing or not; an open dialogue never asks about replacing.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
#ifndef Q_OS_WIN
  // The native open dialogues of macOS and of the Linux desktops take only
  // existing files; Windows' own takes a new name in this mode.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

QString QtPrompts::openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString QtPrompts::saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                                QString* selectedFilter) {
  return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter);
}

QString QtPrompts::newFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter) {
  QFileDialog::Options options = QFileDialog::DontConfirmOverwrite;
#ifdef Q_OS_MACOS
  // The macOS save panel always asks about the typed name, and adds the
  // filter's extension itself.
  options |= QFileDialog::DontUseNativeDialog;
#endif
  return QFileDialog::getSaveFileName(parent, caption, dir, filter, nullptr, options);
}

}  // namespace zt
