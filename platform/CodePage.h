#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Text that comes from outside the program (the sites file, fetched pages) is UTF-8 when it is
// valid UTF-8; anything else was written by a Windows program in its 8-bit code page, which
// for the people who use this tool is Windows-1252.
namespace CodePage {

bool IsValidUtf8(QByteArrayView bytes);
QString FromWindows1252(QByteArrayView bytes);
QString Decode(QByteArrayView bytes);
QByteArray Encode(QStringView text);

} // namespace CodePage
