#include "ProcessTree.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <csignal>
#include <functional>
#include <thread>

namespace ProcessTree {

namespace {

struct Stat {
    char state = 0;
    pid_t group = 0;
};

// The fields after the command name, which may itself hold spaces and parentheses.
bool readStat(const QString &pid, Stat &stat)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = file.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 3 || fields[0].isEmpty())
        return false;
    stat.state = fields[0][0];
    stat.group = pid_t(fields[2].toLong());
    return true;
}

bool alive(const Stat &stat)
{
    return stat.state != 'Z' && stat.state != 'X';
}

// Every process with its facts, for `take` to choose from.
std::vector<pid_t> processes(const std::function<bool(pid_t, const Stat &)> &take)
{
    std::vector<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const pid_t pid = pid_t(entry.toLong(&number));
        Stat stat;
        if (number && readStat(entry, stat) && take(pid, stat))
            found.push_back(pid);
    }
    return found;
}

std::vector<pid_t> members(pid_t group, bool live)
{
    return processes([&](pid_t, const Stat &stat) { return stat.group == group && (!live || alive(stat)); });
}

qint64 kilobytesAfter(const QByteArray &text, const QByteArray &label)
{
    const qsizetype at = text.indexOf(label);
    if (at < 0)
        return -1;
    const qsizetype end = text.indexOf('\n', at);
    return text.mid(at + label.size(), end < 0 ? -1 : end - at - label.size()).trimmed().split(' ').value(0).toLongLong();
}

qint64 processBytes(pid_t pid)
{
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (rollup.open(QIODevice::ReadOnly))
        if (const qint64 kb = kilobytesAfter(rollup.readAll(), "\nPss:"); kb >= 0)
            return kb * 1024;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        if (const qint64 kb = kilobytesAfter(status.readAll(), "\nVmRSS:"); kb >= 0)
            return kb * 1024;
    return 0;
}

} // namespace

std::vector<pid_t> Members(pid_t group)
{
    return members(group, false);
}

qint64 MemoryBytes(pid_t group)
{
    qint64 bytes = 0;
    for (const pid_t pid : members(group, true))
        bytes += processBytes(pid);
    return bytes;
}

void Kill(pid_t group)
{
    if (group > 1)
        ::kill(-group, SIGKILL);
}

std::vector<pid_t> Naming(const QByteArray &text)
{
    return processes([&](pid_t pid, const Stat &stat) {
        if (!alive(stat))
            return false;
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
    });
}

bool KillNaming(const QByteArray &text, std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const std::vector<pid_t> found = Naming(text);
        if (found.empty())
            return true;
        if (std::chrono::steady_clock::now() >= until)
            return false;
        for (const pid_t pid : found)
            ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool WaitGone(pid_t group, std::chrono::milliseconds wait)
{
    const auto until = std::chrono::steady_clock::now() + wait;
    while (!members(group, true).empty()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace ProcessTree
