#pragma once
// The small fixed-layout settings file 1.dat in the data folder: the last
// profile file, the language index, the auto-connect switch and the meter
// model. Every writer writes only its own field at its own offset; the file
// grows to the furthest field written, and a field past its end reads as 0.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

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
  };
  Status status = Failed;
  SettingsFileData data;
};

// Creates the folder when needed, then reads 1.dat or creates it empty.
SettingsFileLoad ReadSettingsFile(const QString& folder);

// Result of a writer. `message` is for the operator when `ok` is false.
struct SettingsWrite {
  bool ok = true;
  QString message;
};

// The writers open an existing 1.dat (never create or truncate it) and write
// one field. A path whose stored form is longer than 196 bytes is not stored
// at all (it would run into the language field).
SettingsWrite SaveLastProfilePath(const QString& folder, const QString& profilePath, std::uint8_t meterModel);
SettingsWrite SaveMeterModel(const QString& folder, std::uint8_t meterModel);
SettingsWrite SaveAutoConnect(const QString& folder, bool on);
SettingsWrite SaveLanguageIndex(const QString& folder, std::int32_t index);

}  // namespace zt
