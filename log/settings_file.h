#pragma once
// The small fixed-layout settings file 1.dat in the data folder: the last
// profile file, the language index, the auto-connect switch and the meter
// model. Every writer writes only its own field at its own offset; the file
// grows to the furthest field written, and a field past its end reads as 0.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <optional>

namespace zt {

inline constexpr int kSettingsPathMax = 196;
inline constexpr qint64 kSettingsPathLengthOffset = 0;
inline constexpr qint64 kSettingsPathOffset = 4;
inline constexpr qint64 kSettingsLanguageOffset = 200;
inline constexpr qint64 kSettingsAutoConnectOffset = 204;
inline constexpr qint64 kSettingsModelOffset = 205;
inline constexpr qint64 kSettingsFileSize = 206;

// What 1.dat holds, field by field.
struct SettingsFileData {
  QByteArray pathBytes;      // the stored path bytes; empty when there is no usable path
  bool pathDamaged = false;  // the stored length was outside 0..196 or ran past the end
  std::int32_t languageIndex = 0;
  std::uint8_t autoConnect = 0;  // 0 off, anything else on
  std::uint8_t storedModel = 0;

  QString lastProfilePath() const;
};

// The meter model after the stored one is applied: values of 10 or more are
// ignored (the current model stays); 3 to 9 are taken as they are.
constexpr std::uint8_t ModelFromSettings(std::uint8_t stored, std::uint8_t current) {
  return stored < 10 ? stored : current;
}

// Reads the fields out of the file's bytes. Never reads outside `bytes`.
SettingsFileData ParseSettingsFile(QByteArrayView bytes);

// The path as it is stored: the ANSI code page on Windows, UTF-8 elsewhere.
QByteArray EncodeSettingsPath(const QString& path);
QString DecodeSettingsPath(const QByteArray& bytes);

// <folder>/1.dat
QString SettingsFilePath(const QString& folder);

struct SettingsFileLoad {
  enum Status {
    Read,     // the file existed and was read; `data` holds it
    Created,  // there was no file; an empty one was created; nothing to apply
    Failed,   // folder or file could not be created or read; nothing to apply
    Missing,  // there was no file and none was made (a re-read); nothing to apply
  };
  Status status = Failed;
  SettingsFileData data;
};

// What a reading does when there is no 1.dat: the start creates the folder
// and an empty file; a re-read while the program runs leaves both alone, so
// the writers keep refusing a file that has gone and the next start still
// finds what the others wrote (or nothing), not a file of one field.
enum class SettingsMissing { Create, Leave };

// Reads 1.dat; without one, creates it empty or leaves it missing.
SettingsFileLoad ReadSettingsFile(const QString& folder, SettingsMissing missing = SettingsMissing::Create);

// Result of a writer. `message` is for the operator when `ok` is false.
struct SettingsWrite {
  bool ok = true;
  QString message;
};

// The writers open an existing 1.dat (never create or truncate it) and write
// one field. A path whose stored form is longer than 196 bytes is not stored
// at all (it would run into the language field). Given `language` (the
// language in use), a writer that finds no language field in the file yet
// writes it too: the zeros it would otherwise leave name the design language.
SettingsWrite SaveLastProfilePath(const QString& folder, const QString& profilePath, std::uint8_t meterModel,
                                  std::optional<std::int32_t> language = std::nullopt);
SettingsWrite SaveMeterModel(const QString& folder, std::uint8_t meterModel,
                             std::optional<std::int32_t> language = std::nullopt);
SettingsWrite SaveAutoConnect(const QString& folder, bool on, std::optional<std::int32_t> language = std::nullopt);
SettingsWrite SaveLanguageIndex(const QString& folder, std::int32_t index);

}  // namespace zt
