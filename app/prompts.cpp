#include "prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

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

int QtPrompts::choice(QWidget* parent, const QString& caption, const QString& text, const QStringList& buttons,
                      int defaultButton) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
  QList<QAbstractButton*> shown;
  for (const QString& b : buttons) shown.append(box.addButton(b, QMessageBox::AcceptRole));
  if (shown.isEmpty()) return -1;
  box.setDefaultButton(static_cast<QPushButton*>(shown.value(defaultButton, shown.back())));
  box.setEscapeButton(shown.back());
  box.exec();
  const qsizetype i = shown.indexOf(box.clickedButton());
  return i < 0 ? static_cast<int>(shown.size() - 1) : static_cast<int>(i);
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
