#include "ShexIt.h"

#include "WebAddress.h"

#include <QDesktopServices>

namespace ShexIt {

namespace {
Sink &sink()
{
    static Sink s;
    return s;
}
} // namespace

void SetSink(Sink s)
{
    sink() = std::move(s);
}

void ShellOpen(QWidget *owner, const QUrl &target)
{
    if (sink()) {
        sink()(owner, target);
        return;
    }
    QDesktopServices::openUrl(target);
}

bool OpenWebAddress(QWidget *owner, const QString &text)
{
    if (!WebAddress::IsWebAddress(text))
        return false;
    ShellOpen(owner, QUrl(text, QUrl::TolerantMode));
    return true;
}

void OpenLocalFile(QWidget *owner, const QString &path)
{
    ShellOpen(owner, QUrl::fromLocalFile(path));
}

} // namespace ShexIt
