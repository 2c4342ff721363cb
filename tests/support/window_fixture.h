#pragma once
// A window built the way the program builds it, with its files in a fresh
// temporary data folder and dialogues answered by a fake.
#include <QTemporaryDir>
#include <memory>

#include "fake_prompts.h"
#include "main.h"

namespace zt::test {

struct WindowFixture {
  QTemporaryDir dataDir;
  FakePrompts prompts;
  std::unique_ptr<TForm1> form;

  explicit WindowFixture(TForm1Deps deps = {}) {
    qputenv("RLC_DATA_DIR", dataDir.path().toUtf8());
    deps.prompts = &prompts;
    form = std::make_unique<TForm1>(deps);
  }
  ~WindowFixture() { form.reset(); }
};

}  // namespace zt::test
