#pragma once
// 1.dat as an object: LoadSettingsFile's reading and what it hands on
// (automatic connection, meter model, language, last profile file), and a
// writer per field that reports failure as a value. Widget-free; the
// composition connects the signals to the link, the meter's state, the
// language engine and the profile book.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "settings_file.h"

namespace zt {

// What one reading of 1.dat found and handed on.
struct SettingsLoad {
  SettingsFileLoad::Status status = SettingsFileLoad::Failed;
  bool autoConnect = false;
  bool modelApplied = false;  // StoredModel was below 10 and became the model
  std::uint8_t model = 0;     // the model after the file (the previous one when not applied)
  std::int32_t languageIndex = 0;
  QString profilePath;       // the last profile file, when it still exists
  bool pathDamaged = false;  // the stored path's length did not fit its field
};

class SettingsStore : public QObject {
  Q_OBJECT

 public:
  // `folder` holds 1.dat (the data folder).
  explicit SettingsStore(QString folder, QObject* parent = nullptr);

  const QString& folder() const { return folder_; }
  QString filePath() const { return SettingsFilePath(folder_); }

  // The meter model stored with a profile path. Follows the loaded model and
  // SaveMeterModel; the composition keeps it in step with the meter.
  std::uint8_t meterModel() const { return model_; }
  void setMeterModel(std::uint8_t model) { model_ = model; }

  // The language in use (LangCombo1's index): the writers add it to a file
  // that has no language field yet. Unset, they add nothing.
  void setLanguageInUse(std::function<std::int32_t()> language) { language_ = std::move(language); }

  // LoadSettingsFile, steps 1 to 7: creates the folder and an empty file on
  // the first reading of this store (the start; nothing is applied then, nor
  // when the file cannot be read); otherwise emits the stored fields in file
  // order. A later reading (the re-read after a profile command) never
  // creates the file: a 1.dat gone while the program runs stays gone. Whether
  // the named profile file becomes current is the profile book's step.
  SettingsLoad load();

  // The writers: each opens the existing file and writes only its field.
  // A path whose stored form does not fit 196 bytes is not stored.
  SettingsWrite SaveLastProfilePath(const QString& path);  // then the model byte
  SettingsWrite SaveMeterModel(std::uint8_t model);
  SettingsWrite SaveAutoConnect(bool on);
  SettingsWrite SaveLanguageIndex(std::int32_t index);

 signals:
  void autoConnectLoaded(bool on);
  // A stored model below 10 (3 to 9 are models without a button).
  void modelLoaded(std::uint8_t model);
  // 1 makes English the default language, anything else the design language.
  void languageIndexLoaded(std::int32_t index);
  // The last profile file, when a file of that path exists.
  void profilePathLoaded(const QString& path);

 private:
  std::optional<std::int32_t> languageInUse() const;

  QString folder_;
  std::uint8_t model_ = 0;
  std::function<std::int32_t()> language_;
  bool started_ = false;  // the start's reading has been made
  bool loading_ = false;  // a reading is handing the fields on
};

}  // namespace zt
