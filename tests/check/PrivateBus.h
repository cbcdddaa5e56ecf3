#pragma once

#include <QString>

#include <csignal>
#include <cstdio>

// A session bus of the test's own, ended with the test.
class PrivateBus
{
public:
    PrivateBus()
    {
        FILE *daemon = popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
        if (!daemon)
            return;
        char line[1024];
        if (fgets(line, sizeof line, daemon))
            address_ = QString::fromUtf8(line).trimmed();
        if (fgets(line, sizeof line, daemon))
            pid_ = QString::fromUtf8(line).trimmed().toInt();
        pclose(daemon);
    }
    ~PrivateBus() { end(); }
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    QString address() const { return address_; }
    // Every connection to it is lost.
    void end()
    {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
        pid_ = 0;
    }

private:
    QString address_;
    int pid_ = 0;
};
