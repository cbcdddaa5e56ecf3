#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

#include <deque>
#include <set>
#include <utility>
#include <vector>

// Decides which site to download next: the earliest one in the sites file whose host has
// fewer than the allowed number of downloads running. Sites are numbered 0 .. n-1 in file
// order; every site is handed out exactly once.
class HostScheduler
{
public:
    HostScheduler(const std::vector<QString> &hostOfSite, int perHost);

    // The next site that may start, below `bound`, or -1 when none may start now.
    qsizetype next(qsizetype bound);
    // The download of a site handed out by next() has ended.
    void finished(qsizetype site);
    // Every site has been handed out.
    bool empty() const { return waiting_ == 0; }

    // A transfer that is no site's, such as a host's robots.txt, counts against its host's
    // limit too (its HostKey): it may start when hasRoom(), occupy() then takes the place and
    // release() gives it back.
    bool hasRoom(const QString &host) const;
    void occupy(const QString &host);
    void release(const QString &host);

    // The host part that counts for the per-host limit: the lower-case host name of an
    // address, or the whole address when it has none.
    static QString HostKey(QStringView address);

private:
    struct Host {
        std::deque<qsizetype> waiting; // in file order
        int running = 0;
    };

    void offer(int host);
    int idOf(const QString &host);

    std::vector<Host> hosts_;
    QHash<QString, int> ids_;
    std::vector<int> hostOfSite_;
    // Hosts that may start another download, by their earliest waiting site.
    std::set<std::pair<qsizetype, int>> ready_;
    int perHost_;
    qsizetype waiting_ = 0;
};
