#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

// Where a desktop notice of lost links leads. The checker ends when its run does, long before
// anyone reads the notice; so it leaves this waiter behind, the same program started again
// with a hidden option, detached from the run. The waiter listens for the notice's default
// action and then starts the window on its Partners view. It ends when the notice is clicked
// or closed, when the session's bus goes, or after a bounded wait, whichever comes first.
class NoticeWaiter : public QObject
{
    Q_OBJECT

public:
    // Long enough for a notice of the morning's check to be read during the day.
    static constexpr int LongestWaitMs = 8 * 60 * 60 * 1000;
    // How often it looks whether the session, and so its bus, is still there.
    static constexpr int BusCheckMs = 2000;
    static constexpr char Option[] = "--await-notice";
    static constexpr char WindowOption[] = "--partners";

    // The window program beside this program or on the path; empty when there is none.
    static QString WindowProgram();
    // Starts `self` as the waiter for notice `id`, detached, its standard streams on the null
    // device so that nothing waits for them to close. Empty when it started; else why not.
    static QString StartDetached(const QString &self, uint id, const QString &window);
    // The exit status when the arguments ask this process to be the waiter.
    static std::optional<int> RunIfAsked(const QStringList &arguments);

    NoticeWaiter(const QDBusConnection &bus, uint id, const QString &window, int waitMs);
    bool listening() const { return listening_; }

signals:
    // The notice was acted on or closed, or the wait is over.
    void done();

private slots:
    // Names as the notification service's signals have them: the bus finds the slots by name.
    void ActionInvoked(uint id, const QString &action);
    void NotificationClosed(uint id, uint reason);

private:
    void finish();

    QDBusConnection bus_;
    uint id_;
    QString window_;
    QTimer wait_;
    QTimer busCheck_;
    bool listening_ = false;
    bool finished_ = false;
};
