#include "settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cstring>

#include "lexicons.h"

namespace zt {

namespace {

std::int32_t ReadInt32(QByteArrayView b, qint64 offset) {
  // Bytes past the end of the file read as zero.
  unsigned char raw[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4; ++i)
    if (offset + i < b.size()) raw[i] = static_cast<unsigned char>(b[offset + i]);
  return qFromLittleEndian<std::int32_t>(raw);
}

std::uint8_t ReadByte(QByteArrayView b, qint64 offset) {
  return offset < b.size() ? static_cast<std::uint8_t>(b[offset]) : 0;
}

QByteArray Int32Bytes(std::int32_t v) {
  QByteArray b(4, '\0');
  qToLittleEndian<std::int32_t>(v, b.data());
  return b;
}

// `language`: the language in use, written with the field when the file has
// no language field yet, so that a file that gets a first field does not
// name the design language by its zeros.
SettingsWrite WriteField(const QString& folder, qint64 offset, const QByteArray& bytes,
                         std::optional<std::int32_t> language = std::nullopt) {
  const QString file = SettingsFilePath(folder);
  QFile f(file);
  // ExistingOnly: a writer must never create the file (or truncate it).
  if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
    return {false, ProgramMessages()[msg::kSettingsOpenError].arg(QDir::toNativeSeparators(file), f.errorString())};
  }
  const bool addLanguage = language && f.size() < kSettingsLanguageOffset + 4 && offset != kSettingsLanguageOffset;
  // Fill any gap with zeros explicitly rather than relying on the platform.
  if (f.size() < offset && !f.resize(offset)) {
    return {false, ProgramMessages()[msg::kSettingsWriteError].arg(QDir::toNativeSeparators(file), f.errorString())};
  }
  if (!f.seek(offset) || f.write(bytes) != bytes.size() ||
      (addLanguage && (!f.seek(kSettingsLanguageOffset) || f.write(Int32Bytes(*language)) != 4)) || !f.flush()) {
    return {false, ProgramMessages()[msg::kSettingsWriteError].arg(QDir::toNativeSeparators(file), f.errorString())};
  }
  return {};
}

}  // namespace

QString SettingsFileData::lastProfilePath() const { return DecodeSettingsPath(pathBytes); }

SettingsFileData ParseSettingsFile(QByteArrayView bytes) {
  SettingsFileData d;
  const std::int32_t len = ReadInt32(bytes, kSettingsPathLengthOffset);
  if (len < 0 || len > kSettingsPathMax || (len > 0 && kSettingsPathOffset + len > bytes.size())) {
    d.pathDamaged = true;
  } else if (len > 0) {
    d.pathBytes = bytes.sliced(kSettingsPathOffset, len).toByteArray();
  }
  d.languageIndex = ReadInt32(bytes, kSettingsLanguageOffset);
  d.autoConnect = ReadByte(bytes, kSettingsAutoConnectOffset);
  d.storedModel = ReadByte(bytes, kSettingsModelOffset);
  return d;
}

QByteArray EncodeSettingsPath(const QString& path) {
  // toLocal8Bit is the ANSI code page on Windows and UTF-8 on other systems.
  return QDir::toNativeSeparators(path).toLocal8Bit();
}

QString DecodeSettingsPath(const QByteArray& bytes) {
  return QDir::fromNativeSeparators(QString::fromLocal8Bit(bytes));
}

QString SettingsFilePath(const QString& folder) { return QDir(folder).filePath(QStringLiteral("1.dat")); }

SettingsFileLoad ReadSettingsFile(const QString& folder, SettingsMissing missing) {
  SettingsFileLoad r;
  if (missing == SettingsMissing::Create) QDir().mkpath(folder);  // an existing folder is fine; a failure shows below
  QFile f(SettingsFilePath(folder));
  if (!f.exists()) {
    if (missing == SettingsMissing::Leave) {
      r.status = SettingsFileLoad::Missing;
      return r;
    }
    if (f.open(QIODevice::WriteOnly)) {
      f.close();
      r.status = SettingsFileLoad::Created;
    }
    return r;
  }
  if (!f.open(QIODevice::ReadOnly)) return r;
  // Only the first 206 bytes mean anything; never read more of a foreign file.
  const QByteArray bytes = f.read(kSettingsFileSize);
  r.data = ParseSettingsFile(bytes);
  r.status = SettingsFileLoad::Read;
  return r;
}

SettingsWrite SaveLastProfilePath(const QString& folder, const QString& profilePath, std::uint8_t meterModel,
                                  std::optional<std::int32_t> language) {
  const QByteArray bytes = EncodeSettingsPath(profilePath);
  if (bytes.size() > kSettingsPathMax) {
    return {
        false,
        ProgramMessages()[msg::kSettingsPathTooLong].arg(kSettingsPathMax).arg(QDir::toNativeSeparators(profilePath))};
  }
  SettingsWrite w = WriteField(folder, kSettingsPathLengthOffset,
                               Int32Bytes(static_cast<std::int32_t>(bytes.size())) + bytes, language);
  if (!w.ok) return w;
  return SaveMeterModel(folder, meterModel, language);
}

SettingsWrite SaveMeterModel(const QString& folder, std::uint8_t meterModel, std::optional<std::int32_t> language) {
  return WriteField(folder, kSettingsModelOffset, QByteArray(1, static_cast<char>(meterModel)), language);
}

SettingsWrite SaveAutoConnect(const QString& folder, bool on, std::optional<std::int32_t> language) {
  return WriteField(folder, kSettingsAutoConnectOffset, QByteArray(1, on ? '\1' : '\0'), language);
}

SettingsWrite SaveLanguageIndex(const QString& folder, std::int32_t index) {
  return WriteField(folder, kSettingsLanguageOffset, Int32Bytes(index));
}

}  // namespace zt
