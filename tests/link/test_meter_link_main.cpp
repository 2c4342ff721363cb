// The meter link's test runner: Qt Core only, no widgets. Each group is its
// own QtTest class.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

int RunMeterLinkSerialTests(int argc, char** argv);
int RunMeterLinkBleTests(int argc, char** argv);

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // The simulated devices register in a data folder of the test's own.
  QTemporaryDir data;
  if (!data.isValid()) return 2;
  qputenv("RLC_DATA_DIR", QDir::toNativeSeparators(data.path()).toLocal8Bit());
  int failed = 0;
  failed |= RunMeterLinkSerialTests(argc, argv);
  failed |= RunMeterLinkBleTests(argc, argv);
  return failed;
}
