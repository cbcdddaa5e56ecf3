#include "NoticeStandIn.h"

#include <QCoreApplication>
#include <QDBusMessage>

#include <atomic>
#include <thread>

namespace {
const QString Name = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Connection = QStringLiteral("notice-stand-in");
} // namespace

NoticeStandIn::~NoticeStandIn()
{
    leave();
}

bool NoticeStandIn::serve(const QString &busAddress)
{
    connection_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(busAddress, Connection));
    return connection_->isConnected() && connection_->registerService(Name)
            && connection_->registerObject(Path, this, QDBusConnection::ExportAllSlots);
}

void NoticeStandIn::leave()
{
    if (!connection_)
        return;
    connection_.reset();
    QDBusConnection::disconnectFromBus(Connection);
}

bool NoticeStandIn::emitSignal(const char *name, const QVariantList &arguments) const
{
    QDBusMessage signal = QDBusMessage::createSignal(Path, Name, QString::fromLatin1(name));
    signal.setArguments(arguments);
    return connection_ && connection_->send(signal);
}

uint NoticeStandIn::Notify(const QString &app, uint, const QString &icon, const QString &summary, const QString &body,
                           const QStringList &actions, const QVariantMap &hints, int)
{
    notices.push_back({app, icon, summary, body, actions, hints});
    return FirstId - 1 + uint(notices.size());
}

RunResult RunAnsweringTheBus(const std::string &program, const std::vector<std::string> &arguments,
                             const RunSettings &settings)
{
    RunResult result;
    std::atomic<bool> done = false;
    std::thread runner([&] {
        result = RunProgram(program, arguments, settings);
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    runner.join();
    QCoreApplication::processEvents();
    return result;
}
