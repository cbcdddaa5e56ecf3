#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// Hands an address or a local file to the desktop, which opens it in the user's browser.
// Nothing waits for the browser and its answer is not examined.
namespace ShexIt {

using Sink = std::function<void(QWidget *owner, const QUrl &target)>;

// Tests install a sink that records the requests; an empty sink restores the desktop's opener.
void SetSink(Sink sink);
void ShellOpen(QWidget *owner, const QUrl &target);

// Opens text only when it is a web address (http, https, ftp); returns whether it did.
bool OpenWebAddress(QWidget *owner, const QString &text);
void OpenLocalFile(QWidget *owner, const QString &path);

} // namespace ShexIt
