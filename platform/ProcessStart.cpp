#include "ProcessStart.h"

#include <QProcess>

namespace ProcessStart {

namespace {
Starter &starter()
{
    static Starter s;
    return s;
}
} // namespace

void SetStarter(Starter s)
{
    starter() = std::move(s);
}

bool Start(const QString &program, const QStringList &arguments, WindowStyle style)
{
    if (starter())
        return starter()(program, arguments, style);
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}

} // namespace ProcessStart
