// A session without a window, as a process of its own, until the window runs
// on a Session: started with RLC_DATA_DIR, it runs until killed.
#include <QCoreApplication>

#include "session.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  zt::SessionDeps deps;
  deps.langDir = QStringLiteral(ZT_LANG_DIR);
  zt::Session session(deps);
  session.start();
  session.recorder().ShowLogHeaders();
  session.restoreJournal();
  return app.exec();
}
