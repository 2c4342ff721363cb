#include "lng_file.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace zt {

namespace {

const QString kSignature = QStringLiteral("[LANGUAGE_FILE]");

bool isIdentifier(QStringView s) {
  if (s.isEmpty() || s.size() > 128) return false;
  for (QChar c : s)
    if (!(c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'-')) return false;
  return true;
}

// A non-negative decimal of at most 9 digits (no sign, no spaces).
std::optional<int> parseIndex(QStringView s) {
  if (s.isEmpty() || s.size() > 9) return std::nullopt;
  int v = 0;
  for (QChar c : s) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c.unicode() - u'0');
  }
  return v;
}

// "%KEY=value;" -> value, when the field has that key.
std::optional<QStringView> keyValue(QStringView field, QStringView key) {
  if (!field.startsWith(u'%') || !field.endsWith(u';')) return std::nullopt;
  QStringView body = field.mid(1, field.size() - 2);
  if (!body.startsWith(key) || body.size() <= key.size() || body.at(key.size()) != u'=') return std::nullopt;
  QStringView value = body.mid(key.size() + 1);
  if (value.contains(u';')) return std::nullopt;
  return value;
}

struct Fail {
  QString error;
};

}  // namespace

std::optional<QString> decodeLngText(QByteArrayView bytes) {
  QStringConverter::Encoding enc = QStringConverter::Utf8;
  qsizetype skip = 0;
  if (bytes.size() >= 3 && uchar(bytes[0]) == 0xEF && uchar(bytes[1]) == 0xBB && uchar(bytes[2]) == 0xBF) {
    skip = 3;
  } else if (bytes.size() >= 2 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE) {
    enc = QStringConverter::Utf16LE;
    skip = 2;
  } else if (bytes.size() >= 2 && uchar(bytes[0]) == 0xFE && uchar(bytes[1]) == 0xFF) {
    enc = QStringConverter::Utf16BE;
    skip = 2;
  }
  QByteArrayView body = bytes.sliced(skip);
  if (enc != QStringConverter::Utf8 && body.size() % 2 != 0) return std::nullopt;  // cut mid-character
  QStringDecoder dec(enc, QStringConverter::Flag::Stateless);
  QString text = dec.decode(body);
  if (dec.hasError()) return std::nullopt;
  if (!QStringView(text).isValidUtf16()) return std::nullopt;
  if (text.contains(QChar(0))) return std::nullopt;
  return text;
}

QString quoteLngText(const QString& text) {
  QString out;
  out.reserve(text.size() + 2);
  out += u'"';
  for (QChar c : text) {
    switch (c.unicode()) {
      case u'"': out += QStringLiteral("\\\""); break;
      case u'\\': out += QStringLiteral("\\\\"); break;
      case u'\t': out += QStringLiteral("\\t"); break;
      case u'\n': out += QStringLiteral("\\n"); break;
      case u'\r': out += QStringLiteral("\\r"); break;
      default: out += c;
    }
  }
  out += u'"';
  return out;
}

std::optional<QString> unquoteLngText(QStringView q) {
  if (q.size() < 2 || q.front() != u'"' || q.back() != u'"') return std::nullopt;
  QString out;
  out.reserve(q.size());
  for (qsizetype i = 1; i < q.size() - 1; ++i) {
    QChar c = q.at(i);
    if (c == u'"' || c == u'\t' || c == u'\n' || c == u'\r') return std::nullopt;
    if (c != u'\\') {
      out += c;
      continue;
    }
    if (i + 1 >= q.size() - 1) return std::nullopt;  // the closing quote was escaped
    QChar e = q.at(++i);
    switch (e.unicode()) {
      case u'"': out += u'"'; break;
      case u'\\': out += u'\\'; break;
      case u't': out += u'\t'; break;
      case u'n': out += u'\n'; break;
      case u'r': out += u'\r'; break;
      default: return std::nullopt;
    }
  }
  return out;
}

LngParseResult parseLng(QByteArrayView bytes) {
  LngParseResult result;
  auto fail = [&](int line, const QString& why) {
    result.file.reset();
    result.line = line;
    result.error = why;
    return result;
  };
  if (bytes.size() > kMaxLngFileBytes) return fail(0, QStringLiteral("file too large"));
  std::optional<QString> text = decodeLngText(bytes);
  if (!text) return fail(0, QStringLiteral("not valid UTF-8 or UTF-16 text"));

  const QList<QStringView> rawLines = QStringView(*text).split(u'\n');
  LngFile file;
  enum class Section { Signature, Header, Properties, Lexicons, Smart } section = Section::Signature;
  LngLexicon* lexicon = nullptr;

  for (qsizetype n = 0; n < rawLines.size(); ++n) {
    const int lineNo = int(n) + 1;
    QStringView line = rawLines.at(n);
    if (line.endsWith(u'\r')) line.chop(1);
    if (line.contains(u'\r')) return fail(lineNo, QStringLiteral("carriage return inside a line"));

    if (section == Section::Signature) {
      if (line.trimmed() != kSignature) return fail(lineNo, QStringLiteral("first line is not [LANGUAGE_FILE]"));
      section = Section::Header;
      continue;
    }
    if (line.trimmed().isEmpty()) continue;

    const QList<QStringView> f = line.split(u'\t');
    if (section == Section::Header) {
      if (f.size() < 3 || f[0] != u"0") return fail(lineNo, QStringLiteral("header line expected"));
      const QStringView nameKey = u"%LANGUAGE_NAME=";
      if (!f[1].startsWith(nameKey)) return fail(lineNo, QStringLiteral("%LANGUAGE_NAME expected"));
      std::optional<QString> name = unquoteLngText(f[1].mid(nameKey.size()));
      if (!name || name->trimmed().isEmpty()) return fail(lineNo, QStringLiteral("language name missing"));
      file.languageName = name->trimmed();
      std::optional<QStringView> code = keyValue(f[2], u"CODE");
      if (!code || code->trimmed().isEmpty()) return fail(lineNo, QStringLiteral("%CODE expected"));
      file.code = code->trimmed().toString();
      for (qsizetype i = 3; i < f.size(); ++i) {
        if (auto sup = keyValue(f[i], u"SUPERIOR_LANGUAGE")) {
          file.superiorLanguage = sup->toString();
        } else if (auto ver = keyValue(f[i], u"FILEVER")) {
          if (*ver != u"THLF1") return fail(lineNo, QStringLiteral("unknown file version"));
          file.fileVersion = ver->toString();
        } else {
          return fail(lineNo, QStringLiteral("unknown header field"));
        }
      }
      section = Section::Properties;
      continue;
    }

    if (f[0] == u"0") {
      // Section markers.
      if (f.size() == 2 && f[1] == u"%LEXICON_STRINGS" && section == Section::Properties) {
        section = Section::Lexicons;
        continue;
      }
      if (f.size() == 2 && f[1] == u"%SMART_STRINGS" && section == Section::Lexicons) {
        section = Section::Smart;
        continue;
      }
      if (f.size() == 2 && section == Section::Lexicons) {
        if (auto lexName = keyValue(f[1], u"LEXICON_NAME"); lexName && isIdentifier(*lexName)) {
          file.lexicons.append(LngLexicon{lexName->toString(), {}});
          lexicon = &file.lexicons.last();
          continue;
        }
      }
      if (section != Section::Lexicons) return fail(lineNo, QStringLiteral("unexpected section line"));
    }

    switch (section) {
      case Section::Properties: {
        if (f.size() < 4) return fail(lineNo, QStringLiteral("property line too short"));
        std::optional<int> kind = parseIndex(f[0]);
        if (!kind || *kind == 0) return fail(lineNo, QStringLiteral("property kind expected"));
        LngEntry e;
        e.kind = *kind;
        if (f[1] == u"%NOTRANS") {
          e.noTrans = true;
        } else {
          std::optional<QString> t = unquoteLngText(f[1]);
          if (!t) return fail(lineNo, QStringLiteral("badly quoted text"));
          e.text = *t;
        }
        auto comp = keyValue(f[2], u"COMPONENT");
        auto owner = keyValue(f[3], u"OWNER");
        if (!comp || !isIdentifier(*comp)) return fail(lineNo, QStringLiteral("%COMPONENT expected"));
        if (!owner || !isIdentifier(*owner)) return fail(lineNo, QStringLiteral("%OWNER expected"));
        e.component = comp->toString();
        e.owner = owner->toString();
        for (qsizetype i = 4; i < f.size(); ++i) {
          if (f[i] == u"%OLD") {
            e.old = true;
          } else if (auto item = keyValue(f[i], u"ITEM")) {
            std::optional<int> idx = parseIndex(*item);
            if (!idx || *idx > kMaxLngIndex) return fail(lineNo, QStringLiteral("bad %ITEM"));
            e.item = *idx;
          } else {
            return fail(lineNo, QStringLiteral("unknown property field"));
          }
        }
        if (e.kind == LngListItem && e.item < 0) return fail(lineNo, QStringLiteral("list item without %ITEM"));
        if (e.kind != LngListItem) e.item = -1;
        file.entries.append(std::move(e));
        break;
      }
      case Section::Lexicons: {
        if (!lexicon) return fail(lineNo, QStringLiteral("lexicon item before %LEXICON_NAME"));
        if (f.size() != 2) return fail(lineNo, QStringLiteral("lexicon item expected"));
        std::optional<int> idx = parseIndex(f[0]);
        if (!idx || *idx > kMaxLngIndex) return fail(lineNo, QStringLiteral("bad lexicon index"));
        std::optional<QString> t = unquoteLngText(f[1]);
        if (!t) return fail(lineNo, QStringLiteral("badly quoted text"));
        lexicon->items.insert(*idx, *t);
        break;
      }
      case Section::Smart: {
        if (f.size() != 2 || !isIdentifier(f[0])) return fail(lineNo, QStringLiteral("named string expected"));
        std::optional<QString> t = unquoteLngText(f[1]);
        if (!t) return fail(lineNo, QStringLiteral("badly quoted text"));
        file.smartStrings.append({f[0].toString(), *t});
        break;
      }
      default: return fail(lineNo, QStringLiteral("unexpected line"));
    }
  }

  if (section == Section::Signature) return fail(1, QStringLiteral("empty file"));
  if (section == Section::Header) return fail(int(rawLines.size()), QStringLiteral("no header line"));
  if (section != Section::Smart) return fail(int(rawLines.size()), QStringLiteral("file ends before %SMART_STRINGS"));
  result.file = std::move(file);
  return result;
}

QByteArray writeLng(const LngFile& file) {
  const QString nl = QStringLiteral("\r\n");
  QString out = kSignature + nl;
  out += QStringLiteral("0\t%LANGUAGE_NAME=") + quoteLngText(file.languageName) + QStringLiteral("\t%CODE=") +
         file.code + u';';
  if (!file.superiorLanguage.isEmpty()) out += QStringLiteral("\t%SUPERIOR_LANGUAGE=") + file.superiorLanguage + u';';
  if (!file.fileVersion.isEmpty()) out += QStringLiteral("\t%FILEVER=") + file.fileVersion + u';';
  out += nl;
  for (const LngEntry& e : file.entries) {
    out += QString::number(e.kind) + u'\t' + (e.noTrans ? QStringLiteral("%NOTRANS") : quoteLngText(e.text)) +
           QStringLiteral("\t%COMPONENT=") + e.component + QStringLiteral(";\t%OWNER=") + e.owner + u';';
    if (e.kind == LngListItem) out += QStringLiteral("\t%ITEM=") + QString::number(e.item) + u';';
    if (e.old) out += QStringLiteral("\t%OLD");
    out += nl;
  }
  out += QStringLiteral("0\t%LEXICON_STRINGS") + nl;
  for (const LngLexicon& lex : file.lexicons) {
    out += QStringLiteral("0\t%LEXICON_NAME=") + lex.name + u';' + nl;
    for (auto it = lex.items.cbegin(); it != lex.items.cend(); ++it)
      out += QString::number(it.key()) + u'\t' + quoteLngText(it.value()) + nl;
  }
  out += QStringLiteral("0\t%SMART_STRINGS") + nl;
  for (const auto& s : file.smartStrings) out += s.first + u'\t' + quoteLngText(s.second) + nl;
  return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

}  // namespace zt
