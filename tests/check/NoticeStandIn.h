#pragma once

#include "RunProgram.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

// A desktop's notification service as a test needs it: it serves on a private bus and writes
// down every notice it is sent.
class NoticeStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notice {
        QString app;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    // The id the first notice gets; each later one gets the next.
    static constexpr uint FirstId = 41;

    ~NoticeStandIn() override;
    // Takes the service's name on the bus at this address; false when it cannot.
    bool serve(const QString &busAddress);
    // Leaves the bus, as a desktop whose service has gone.
    void leave();
    // Sends one of the service's signals ("ActionInvoked", "NotificationClosed").
    bool emitSignal(const char *name, const QVariantList &arguments) const;

    std::vector<Notice> notices;

public slots:
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int timeout);

private:
    std::unique_ptr<QDBusConnection> connection_;
};

// Runs a program to its end while this thread answers the bus, as the stand-in must.
RunResult RunAnsweringTheBus(const std::string &program, const std::vector<std::string> &arguments,
                             const RunSettings &settings = {});
