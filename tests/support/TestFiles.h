#pragma once

#include <QByteArray>
#include <QString>

namespace TestSupport {

// The whole file; empty when it cannot be read.
QByteArray ReadFile(const QString &path);
// Replaces the file with bytes; false when it could not be written whole.
bool WriteFile(const QString &path, const QByteArray &bytes);

} // namespace TestSupport
