// Injected dependencies of the window, taken before the controls are built.
#include "main.h"

namespace zt {

void TForm1::ApplyDeps(const TForm1Deps& deps) {
  (void)deps;
  // ---- apply: link ----
  m_portLookup = deps.portLookup;
  // ---- apply: ble ----
  ApplyBleDeps(deps.ble);
  // ---- apply: i18n ----
  LangDirectory = deps.langDir;
}

}  // namespace zt
