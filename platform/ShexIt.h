#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// Hands an address or a local file to the desktop, which opens it in the user's browser.
// Nothing waits for the browser; when the desktop has no opener to hand it to, a message box
// says so and shows the address, so the user can open it by hand.
namespace ShexIt {

// Returns whether the desktop took the request.
using Sink = std::function<bool(QWidget *owner, const QUrl &target)>;

// Tests install a sink that records the requests; an empty sink restores the desktop's opener.
void SetSink(Sink sink);
// Returns whether the desktop took the request; the user has been told when it did not.
bool ShellOpen(QWidget *owner, const QUrl &target);

// Opens text only when it is a web address (http, https, ftp); returns whether it did.
bool OpenWebAddress(QWidget *owner, const QString &text);
void OpenLocalFile(QWidget *owner, const QString &path);

} // namespace ShexIt
