#include <QCoreApplication>

#include "protocol_tests.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int failed = 0;
  failed += RunFrameTests(argc, argv);
  failed += RunSettingsTests(argc, argv);
  failed += RunCommandTests(argc, argv);
  return failed;
}
