#include <QCoreApplication>

#include "sim_tests.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int failed = 0;
  for (auto run : {RunWireTests, RunMeterTests, RunDialogueTests, RunCommandLineTests, RunPtyTests})
    failed += run(argc, argv);
  return failed == 0 ? 0 : 1;
}
