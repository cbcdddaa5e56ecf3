#pragma once

#include <QStringView>

namespace WebAddress {

// True for the addresses the program fetches and hands to a browser: http, https and ftp,
// with something after the scheme. Everything else (no scheme, file:, a program) is refused.
bool IsWebAddress(QStringView text);

} // namespace WebAddress
