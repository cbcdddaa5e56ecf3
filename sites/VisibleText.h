#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

// Text from partner lists and web pages, made safe to show on a terminal: every control
// character (C0, DEL, C1) and every bidirectional override is written out as \xHH or \uHHHH,
// so an escape sequence in a site's name cannot retitle the terminal, move its cursor or
// reorder what is shown. A backslash is written as \\, so that what reads as an escape always
// is one. Everything else, other languages included, stays as it is.
namespace VisibleText {

QString Of(QStringView text);
// The same for UTF-8 text; broken sequences become U+FFFD.
std::string Of(std::string_view utf8);

} // namespace VisibleText
