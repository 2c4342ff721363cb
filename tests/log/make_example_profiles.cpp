// Not a test: writes the example profile files of examples/ (see
// examples/README.md). Usage: make_example_profiles FOLDER
#include <QCoreApplication>
#include <cstdio>

#include "example_profiles.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: make_example_profiles FOLDER\n");
    return 2;
  }
  if (!zt::examples::WriteExampleProfiles(args[1])) {
    std::fprintf(stderr, "make_example_profiles: cannot write into %s\n", qPrintable(args[1]));
    return 1;
  }
  return 0;
}
