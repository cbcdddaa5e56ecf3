#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Starts a program on its own, without waiting for it or watching it. Tests install a starter
// that records the requests instead of starting anything.
namespace ProcessStart {

// How the new program's window should first appear; the desktop here decides for itself, so
// the style only travels with the request.
enum WindowStyle { Hidden = 0, NormalFocus = 1, MinimizedFocus = 2 };

using Starter = std::function<bool(const QString &program, const QStringList &arguments,
                                   WindowStyle style)>;

void SetStarter(Starter starter); // empty: start for real
// Returns false when the program could not be started (missing, not executable, empty name).
bool Start(const QString &program, const QStringList &arguments, WindowStyle style);

} // namespace ProcessStart
