#pragma once
#include <QApplication>

namespace zt {

// The application object. Every event goes through notify(), so this is the
// one place where an error escaping a handler is caught and shown instead of
// ending the program.
class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Shows a critical message box; with ZT_DISMISS_MESSAGES_MS set (automated
// runs) it closes by itself after that many milliseconds.
void ShowCriticalMessage(const QString& caption, const QString& text);

// The program's icon, drawn at run time.
QIcon AppIcon();

// Calibri, or a metric-compatible substitute where it is not installed.
void InstallFonts();

}  // namespace zt
