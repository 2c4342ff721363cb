#pragma once
// A control of a window by its objectName, as the language files and the
// operators name it. A missing control ends the test at once.
#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStringList>
#include <QTableView>
#include <QWidget>
#include <QtGlobal>

namespace zt::test {

template <typename T = QWidget>
T* Control(const QWidget& window, const char* name) {
  auto* w = window.findChild<T*>(QString::fromLatin1(name));
  if (!w) qFatal("no control %s of that kind", name);
  return w;
}

template <typename T = QWidget>
T* Control(const QWidget& window, const QString& name) {
  return Control<T>(window, name.toLatin1().constData());
}

// The lines of a plain-text memo.
template <typename Memo>
QStringList Lines(const Memo* memo) {
  return memo->toPlainText().split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace zt::test
