#include "settings_store.h"

#include <QFileInfo>
#include <QScopedValueRollback>

namespace zt {

SettingsStore::SettingsStore(QString folder, QObject* parent) : QObject(parent), folder_(std::move(folder)) {}

SettingsLoad SettingsStore::load() {
  SettingsLoad r;
  const SettingsFileLoad file = ReadSettingsFile(folder_, started_ ? SettingsMissing::Leave : SettingsMissing::Create);
  started_ = true;
  // What the owners write back while they take the fields is the file's own
  // content: no language is added to it meanwhile.
  const QScopedValueRollback<bool> loading(loading_, true);
  r.status = file.status;
  r.model = model_;
  if (file.status != SettingsFileLoad::Read) return r;  // nothing to apply
  const SettingsFileData& d = file.data;

  r.autoConnect = d.autoConnect != 0;
  emit autoConnectLoaded(r.autoConnect);

  // Codes of 10 or more are not models: the model stays as it is.
  r.modelApplied = d.storedModel < 10;
  r.model = ModelFromSettings(d.storedModel, model_);
  model_ = r.model;
  if (r.modelApplied) emit modelLoaded(r.model);

  r.languageIndex = d.languageIndex;
  emit languageIndexLoaded(r.languageIndex);

  // A stored length that does not fit its field reads as no path.
  r.pathDamaged = d.pathDamaged;
  const QString path = d.lastProfilePath();
  if (!path.isEmpty() && QFileInfo(path).isFile()) {
    r.profilePath = path;
    emit profilePathLoaded(path);
  }
  return r;
}

std::optional<std::int32_t> SettingsStore::languageInUse() const {
  return language_ && !loading_ ? std::optional<std::int32_t>(language_()) : std::nullopt;
}

SettingsWrite SettingsStore::SaveLastProfilePath(const QString& path) {
  return zt::SaveLastProfilePath(folder_, path, model_, languageInUse());
}

SettingsWrite SettingsStore::SaveMeterModel(std::uint8_t model) {
  model_ = model;
  return zt::SaveMeterModel(folder_, model, languageInUse());
}

SettingsWrite SettingsStore::SaveAutoConnect(bool on) { return zt::SaveAutoConnect(folder_, on, languageInUse()); }

SettingsWrite SettingsStore::SaveLanguageIndex(std::int32_t index) { return zt::SaveLanguageIndex(folder_, index); }

}  // namespace zt
