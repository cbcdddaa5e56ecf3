#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

// A systemd user timer, through `systemctl --user`: whether it is enabled, when it last ran and
// when it is due next, and turning it on and off. systemctl runs in the background; changed()
// follows each answer.
class UserTimer : public QObject
{
    Q_OBJECT

public:
    struct Status {
        bool known = false;   // a user service manager answered and has the timer installed
        bool enabled = false; // starts with the user's session
        QDateTime lastRun;    // invalid: never ran
        QDateTime nextRun;    // invalid: none due
        QString problem;      // why it is not known
    };

    explicit UserTimer(QString unit, QObject *parent = nullptr);
    ~UserTimer() override;

    // The program that stands in for systemctl, for tests; empty: systemctl on the PATH.
    static void SetProgram(const QString &path);
    // What `systemctl --user show --timestamp=unix` answered, read.
    static Status Read(const QByteArray &shown);

    const QString &unit() const { return unit_; }
    const Status &status() const { return status_; }
    // A request is under way; changed() is still to come.
    bool busy() const { return process_ != nullptr; }

    // Asks the service manager again.
    void refresh();
    // Enables and starts the timer, or stops and disables it; then asks again. A refusal
    // comes as failed() before changed().
    void setEnabled(bool enabled);

signals:
    void changed();
    void failed(const QString &message);

private:
    using Done = std::function<void(bool ran, const QByteArray &out, const QString &error)>;
    void run(const QStringList &arguments, Done done);

    QString unit_;
    Status status_;
    QProcess *process_ = nullptr;
};
