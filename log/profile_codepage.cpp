#include "profile_codepage.h"

#include <QHash>
#include <QStringDecoder>

#include <array>

namespace zt {

namespace {

// The code page's 256 characters, asked of Qt's converter once. The table
// stays because the file wants what the converter does not give: a byte the
// code page leaves undefined reads as U+FFFD (the converter passes it on as
// a C1 control, which the code page has none of), and a character it lacks
// is written as '?' (the converter writes 0x1A).
struct CodePageTable {
  std::array<char16_t, 256> toUnicode{};
  QHash<char16_t, unsigned char> fromUnicode;

  CodePageTable() {
#ifdef Q_OS_WIN
    // The ANSI code page of Windows, as the files written there have it.
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
#else
    QStringDecoder decoder("windows-1251", QStringConverter::Flag::Stateless);
#endif
    for (int i = 0; i < 256; ++i) {
      char16_t ch = i < 128 ? static_cast<char16_t>(i) : 0xFFFD;
      if (i >= 128 && decoder.isValid()) {
        const char byte = static_cast<char>(i);
        const QString one = decoder.decode(QByteArrayView(&byte, 1));
        if (one.size() == 1 && !(one[0].unicode() >= 0x80 && one[0].unicode() <= 0x9F)) ch = one[0].unicode();
      }
      toUnicode[i] = ch;
      if (ch != 0xFFFD) fromUnicode.insert(ch, static_cast<unsigned char>(i));
    }
  }
};

const CodePageTable& Table() {
  static const CodePageTable t;
  return t;
}

}  // namespace

QByteArray ToProfileCodePage(const QString& text) {
  const CodePageTable& t = Table();
  QByteArray out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text.at(i);
    if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ++i;  // one character
    const auto it = t.fromUnicode.constFind(ch.unicode());
    out += (it != t.fromUnicode.cend() && !ch.isSurrogate()) ? static_cast<char>(*it) : '?';
  }
  return out;
}

QString FromProfileCodePage(QByteArrayView bytes) {
  const CodePageTable& t = Table();
  QString out;
  out.reserve(bytes.size());
  for (char b : bytes) out += QChar(t.toUnicode[static_cast<unsigned char>(b)]);
  return out;
}

}  // namespace zt
