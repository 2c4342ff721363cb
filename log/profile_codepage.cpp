#include "profile_codepage.h"

#ifdef Q_OS_WIN

namespace zt {
QByteArray ToProfileCodePage(const QString& text) { return text.toLocal8Bit(); }
QString FromProfileCodePage(QByteArrayView bytes) { return QString::fromLocal8Bit(bytes); }
}  // namespace zt

#else

#include <iconv.h>

#include <QHash>
#include <array>

namespace zt {

namespace {

// The 256 characters of Windows-1251, asked of iconv once.
struct Cp1251Table {
  std::array<char16_t, 256> toUnicode{};
  QHash<char16_t, unsigned char> fromUnicode;

  Cp1251Table() {
    for (int i = 0; i < 128; ++i) toUnicode[i] = static_cast<char16_t>(i);
    iconv_t cd = iconv_open("UTF-16LE", "CP1251");
    for (int i = 128; i < 256; ++i) {
      char16_t out = 0xFFFD;
      if (cd != reinterpret_cast<iconv_t>(-1)) {
        char in = static_cast<char>(i);
        char* inp = &in;
        size_t inLeft = 1;
        unsigned char buf[4] = {0, 0, 0, 0};
        char* outp = reinterpret_cast<char*>(buf);
        size_t outLeft = sizeof buf;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) && outLeft == 2)
          out = static_cast<char16_t>(buf[0] | (buf[1] << 8));
      }
      toUnicode[i] = out;
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    for (int i = 0; i < 256; ++i)
      if (toUnicode[i] != 0xFFFD) fromUnicode.insert(toUnicode[i], static_cast<unsigned char>(i));
  }
};

const Cp1251Table& Table() {
  static const Cp1251Table t;
  return t;
}

}  // namespace

QByteArray ToProfileCodePage(const QString& text) {
  const Cp1251Table& t = Table();
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
  const Cp1251Table& t = Table();
  QString out;
  out.reserve(bytes.size());
  for (char b : bytes) out += QChar(t.toUnicode[static_cast<unsigned char>(b)]);
  return out;
}

}  // namespace zt

#endif
