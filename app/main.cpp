// Process start: single copy per program path, language file check, window.
#include <QDir>
#include <QFileInfo>

#include "application.h"
#include "main.h"
#include "single_instance.h"

int main(int argc, char** argv) {
  zt::Application app(argc, argv);

  const QString instance = zt::InstanceName(QCoreApplication::applicationFilePath());
  zt::SingleInstanceGuard guard;
  if (!guard.acquire(instance)) {
    fprintf(stderr, "%s: %s\n", qPrintable(instance), "Вы пытаетесь запустить программу повторно");
    zt::ShowCriticalMessage(instance, QStringLiteral("Вы пытаетесь запустить программу повторно"));
    return 0;
  }

  // The English language file in the working directory marks a complete
  // installation; without it the program ends silently.
  if (!QFileInfo(QDir::currentPath() + QStringLiteral("/lang/eng.lng")).isFile()) return 0;

  zt::PrepareApplication(app);
  zt::TForm1 form;
  form.show();
  return app.exec();
}
