#include "HostScheduler.h"

#include <QHash>
#include <QUrl>

HostScheduler::HostScheduler(const std::vector<QString> &hostOfSite, int perHost)
    : perHost_(perHost < 1 ? 1 : perHost)
{
    hostOfSite_.reserve(hostOfSite.size());
    for (qsizetype site = 0; site < qsizetype(hostOfSite.size()); ++site) {
        const int host = idOf(hostOfSite[site]);
        hostOfSite_.push_back(host);
        hosts_[host].waiting.push_back(site);
    }
    waiting_ = qsizetype(hostOfSite.size());
    for (int host = 0; host < int(hosts_.size()); ++host)
        offer(host);
}

int HostScheduler::idOf(const QString &host)
{
    auto it = ids_.find(host);
    if (it == ids_.end()) {
        it = ids_.insert(host, int(hosts_.size()));
        hosts_.emplace_back();
    }
    return *it;
}

void HostScheduler::offer(int host)
{
    const Host &h = hosts_[host];
    if (h.running < perHost_ && !h.waiting.empty())
        ready_.emplace(h.waiting.front(), host);
}

qsizetype HostScheduler::next(qsizetype bound)
{
    if (ready_.empty() || ready_.begin()->first >= bound)
        return -1;
    const auto [site, host] = *ready_.begin();
    ready_.erase(ready_.begin());
    Host &h = hosts_[host];
    h.waiting.pop_front();
    ++h.running;
    --waiting_;
    offer(host);
    return site;
}

void HostScheduler::finished(qsizetype site)
{
    const int host = hostOfSite_[site];
    Host &h = hosts_[host];
    const bool wasFull = h.running >= perHost_;
    --h.running;
    if (wasFull)
        offer(host);
}

bool HostScheduler::hasRoom(const QString &host) const
{
    const auto it = ids_.constFind(host);
    return it == ids_.cend() || hosts_[*it].running < perHost_;
}

void HostScheduler::occupy(const QString &host)
{
    const int id = idOf(host);
    Host &h = hosts_[id];
    ++h.running;
    if (h.running >= perHost_ && !h.waiting.empty())
        ready_.erase({h.waiting.front(), id});
}

void HostScheduler::release(const QString &host)
{
    const int id = idOf(host);
    Host &h = hosts_[id];
    const bool wasFull = h.running >= perHost_;
    --h.running;
    if (wasFull)
        offer(id);
}

QString HostScheduler::HostKey(QStringView address)
{
    const QUrl url(address.toString(), QUrl::TolerantMode);
    const QString host = url.host();
    return host.isEmpty() ? address.toString() : host.toLower();
}
