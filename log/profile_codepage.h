#pragma once
// Texts inside profile records are one byte per character in the ANSI code
// page of Windows. Elsewhere Windows-1251 is used, so files move between
// systems in both directions and read the same. Both through Qt's converter
// (on Linux it asks ICU for Windows-1251), by one table.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zt {

// Characters the code page lacks become '?', as Windows does.
QByteArray ToProfileCodePage(const QString& text);
// Bytes the code page leaves undefined become U+FFFD.
QString FromProfileCodePage(QByteArrayView bytes);

}  // namespace zt
