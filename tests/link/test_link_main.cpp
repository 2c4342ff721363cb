// The link area's test runner: each group is its own QtTest class.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

int RunRxBurstTests(int argc, char** argv);
int RunPortLookupTests(int argc, char** argv);
int RunComPortTests(int argc, char** argv);

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // Every test works in a data folder of its own, never the user's.
  QTemporaryDir data;
  if (!data.isValid()) return 2;
  qputenv("RLC_DATA_DIR", QDir::toNativeSeparators(data.path()).toLocal8Bit());
  int failed = 0;
  failed |= RunRxBurstTests(argc, argv);
  failed |= RunPortLookupTests(argc, argv);
  failed |= RunComPortTests(argc, argv);
  return failed;
}
