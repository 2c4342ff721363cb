#include "application.h"

#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <exception>

#include "lexicons.h"

namespace zt {

namespace {

// The title of the program's window, where there is one.
QString ErrorCaption() {
  const QWidget* w = QApplication::activeWindow();
  return w ? w->windowTitle() : QCoreApplication::applicationName();
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowCriticalMessage(ErrorCaption(), QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ShowCriticalMessage(ErrorCaption(), ProgramMessages()[msg::kUnknownError]);
  }
  return false;
}

void PrepareApplication(QApplication& app) {
  app.setApplicationName(QStringLiteral("zt-logger"));
  InstallFonts();
  app.setWindowIcon(AppIcon());
}

void ShowCriticalMessage(const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
  bool ok = false;
  const int ms = qEnvironmentVariableIntValue("ZT_DISMISS_MESSAGES_MS", &ok);
  if (ok && ms >= 0) QTimer::singleShot(ms, &box, &QMessageBox::accept);
  box.exec();
}

QIcon AppIcon() {
  // A meter face: dark case, light display with a reading bar, and the
  // three probe sockets.
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(20, 30, 60), 1));
  p.setBrush(QColor(40, 60, 110));
  p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 4, 4);
  p.setBrush(QColor(185, 209, 234));
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(5, 5, 22, 12));
  p.setBrush(QColor(20, 30, 60));
  p.drawRect(QRectF(7, 9, 4, 5));
  p.drawRect(QRectF(12, 9, 4, 5));
  p.drawRect(QRectF(17, 9, 4, 5));
  p.setBrush(QColor(220, 40, 40));
  p.drawEllipse(QPointF(9, 24), 2.5, 2.5);
  p.setBrush(QColor(30, 30, 30));
  p.drawEllipse(QPointF(16, 24), 2.5, 2.5);
  p.setBrush(QColor(240, 200, 40));
  p.drawEllipse(QPointF(23, 24), 2.5, 2.5);
  return QIcon(pm);
}

void InstallFonts() {
  // Carlito has Calibri's metrics, so the designed layout holds on Linux.
  QFont::insertSubstitutions(QStringLiteral("Calibri"), {QStringLiteral("Carlito")});
}

}  // namespace zt
