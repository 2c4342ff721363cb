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

// Names the program and gives it its icon and fonts, before the window is
// made. The window's title is the window's own and follows the language; the
// application gets no display name, which the platform would add to that
// title (so after a language switch the title bar would read both).
void PrepareApplication(QApplication& app);

// Shows a critical message box; with ZT_DISMISS_MESSAGES_MS set (automated
// runs) it closes by itself after that many milliseconds.
void ShowCriticalMessage(const QString& caption, const QString& text);

// The program's icon, drawn at run time.
QIcon AppIcon();

// Calibri, or a metric-compatible substitute where it is not installed.
void InstallFonts();

}  // namespace zt
