// The settings file 1.dat applied to the window.
#include <QFileInfo>
#include <QSignalBlocker>

#include "data_folder.h"
#include "main.h"
#include "settings_file.h"

namespace zt {

std::int32_t TForm1::LoadSettingsFile() {
  // 1-3. Folder, file (created empty on first start), fields.
  const SettingsFileLoad load = ReadSettingsFile(DataFolder());
  if (load.status != SettingsFileLoad::Read) return 0;  // nothing to apply
  const SettingsFileData& d = load.data;
  // 4. Changing the box runs its click behaviour (B2, and the byte written back).
  CheckBox_connect_auto->setChecked(d.autoConnect != 0);
  // 5. The model; codes of 10 or more are not models and are ignored.
  MeterModel = ModelFromSettings(d.storedModel, MeterModel);
  if (MeterModel <= kZT42) {
    SelectModelButton(MeterModel);
  } else {
    // A model the window has no button for: none is checked.
    for (QRadioButton* rb : {RB1, RB2, RB3}) {
      const QSignalBlocker block(rb);
      rb->setAutoExclusive(false);
      rb->setChecked(false);
      rb->setAutoExclusive(true);
    }
  }
  // 6. The language picked last time (1 = English) becomes the default.
  ApplyLanguageIndex(d.languageIndex);
  // 7-8. The last profile file, when it is still there. A stored length that
  // does not fit its field reads as no path.
  const QString path = d.lastProfilePath();
  if (path.isEmpty() || !QFileInfo(path).isFile()) return 0;
  return RestoreProfileFile(path);
}

std::int32_t TForm1::RememberProfilePath(const QString& path) {
  const SettingsWrite w = SaveLastProfilePath(DataFolder(), path, MeterModel);
  if (w.ok) return LoadSettingsFile();
  // 1.dat cannot take this path: the file is still the current one for
  // this run, and the operator learns it will not be reopened next time.
  prompts().message(this, windowTitle(), w.message, Prompts::Icon::Warning);
  return RestoreProfileFile(path);
}

}  // namespace zt
