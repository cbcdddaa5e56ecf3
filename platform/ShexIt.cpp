#include "ShexIt.h"

#include "Feedback.h"
#include "WebAddress.h"

#include <QDesktopServices>

namespace ShexIt {

namespace {
// An address longer than this is cut in the message: the box must stay on the screen.
constexpr qsizetype ShownAddressLength = 300;

Sink &sink()
{
    static Sink s;
    return s;
}

QString Shown(const QUrl &target)
{
    QString address = target.isLocalFile() ? target.toLocalFile() : target.toString();
    if (address.size() > ShownAddressLength)
        address = address.left(ShownAddressLength) + QChar(0x2026);
    return address;
}
} // namespace

void SetSink(Sink s)
{
    sink() = std::move(s);
}

bool ShellOpen(QWidget *owner, const QUrl &target)
{
    const bool taken = sink() ? sink()(owner, target) : QDesktopServices::openUrl(target);
    if (!taken)
        Feedback::Message(owner,
                          QStringLiteral("The page could not be opened: no web browser or opener answered.\n\n"
                                         "Open this address by hand:\n%1")
                                  .arg(Shown(target)),
                          QMessageBox::Warning);
    return taken;
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
