#pragma once

#include <QByteArray>
#include <QString>

// Text of files that older versions wrote in the Windows ANSI code page: bytes that
// are valid UTF-8 read as UTF-8, any other bytes as Windows-1252.
namespace LegacyText {

bool isUtf8(const QByteArray &bytes);
QString decode(const QByteArray &bytes);
// Windows-1252 alone; the five bytes it leaves undefined read as the C1 controls
// of the same number, as Windows itself reads them.
QString fromWindows1252(const QByteArray &bytes);

}  // namespace LegacyText
