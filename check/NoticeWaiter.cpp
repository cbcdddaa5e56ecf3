#include "NoticeWaiter.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
constexpr char WindowName[] = "tallyweave";

// Started apart from this process, reading and writing nothing of its streams.
bool startAlone(const QString &program, const QStringList &arguments, QString *why)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(QDir::homePath());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    if (why)
        *why = process.errorString();
    return false;
}

} // namespace

QString NoticeWaiter::WindowProgram()
{
    const QString name = QString::fromLatin1(WindowName);
    const QString beside = QStandardPaths::findExecutable(name, {QCoreApplication::applicationDirPath()});
    return beside.isEmpty() ? QStandardPaths::findExecutable(name) : beside;
}

QString NoticeWaiter::StartDetached(const QString &self, uint id, const QString &window)
{
    QString why;
    if (startAlone(self, {QString::fromLatin1(Option), QString::number(id), window}, &why))
        return {};
    return why;
}

std::optional<int> NoticeWaiter::RunIfAsked(const QStringList &arguments)
{
    if (arguments.size() != 4 || arguments[1] != QLatin1StringView(Option))
        return std::nullopt;
    bool number = false;
    const uint id = arguments[2].toUInt(&number);
    if (!number)
        return 2;
    NoticeWaiter waiter(QDBusConnection::sessionBus(), id, arguments[3], LongestWaitMs);
    if (!waiter.listening())
        return 1;
    QObject::connect(&waiter, &NoticeWaiter::done, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return QCoreApplication::exec();
}

NoticeWaiter::NoticeWaiter(const QDBusConnection &bus, uint id, const QString &window, int waitMs)
    : bus_(bus)
    , id_(id)
    , window_(window)
{
    // The bus calls its slots only by name.
    listening_ = bus_.isConnected()
            && bus_.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                            SLOT(ActionInvoked(uint, QString)))
            && bus_.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                            SLOT(NotificationClosed(uint, uint)));
    wait_.setSingleShot(true);
    connect(&wait_, &QTimer::timeout, this, &NoticeWaiter::finish);
    wait_.start(waitMs);
    connect(&busCheck_, &QTimer::timeout, this, [this] {
        if (!bus_.isConnected())
            finish();
    });
    busCheck_.start(BusCheckMs);
}

void NoticeWaiter::ActionInvoked(uint id, const QString &action)
{
    if (id != id_ || finished_)
        return;
    // A window that cannot start has no one to be told to: the waiter has no terminal.
    if (action == QLatin1StringView("default"))
        startAlone(window_, {QString::fromLatin1(WindowOption)}, nullptr);
    finish();
}

void NoticeWaiter::NotificationClosed(uint id, uint)
{
    if (id == id_)
        finish();
}

void NoticeWaiter::finish()
{
    if (finished_)
        return;
    finished_ = true;
    wait_.stop();
    busCheck_.stop();
    emit done();
}
