#pragma once

#include <QtGlobal>

// One memory budget for the pages that transfers running side by side collect. Each transfer
// may grow its page to the largest size a page may have, so the transfers together could hold
// many times the budget. One transfer at a time, the leader, draws on a share kept for it
// alone, as large as the largest page; the others share the rest. A transfer refused room
// waits until a transfer finishes (PageTransfer pauses it). The leader is never refused, so the
// transfers in flight always finish, and every one that finishes makes room.
class TransferBudget
{
public:
    // The budget holds at least one largest page.
    TransferBudget(qint64 capacity, qint64 largestPage);

    // `holder` holds `held` bytes and asks for `least` to `most` more; gives what it grants,
    // or 0 when not even `least` fits now.
    qint64 take(const void *holder, qint64 held, qint64 least, qint64 most);
    // `holder` lets go of the `held` bytes it holds.
    void give(const void *holder, qint64 held);

    // Bytes held outside the transfers, such as finished pages that wait for their analysis:
    // never refused, since they are in memory already, but counted like the shared part, and
    // the leader too waits while they leave it no room. They must leave by themselves.
    void keep(qint64 bytes);
    void letGo(qint64 bytes);
    // What a transfer other than the leader could be granted now.
    qint64 room() const;

    // No further transfer should start: the shared part is used up, or a transfer waits.
    bool crowded() const;

    qint64 capacity() const { return capacity_; }
    qint64 inUse() const { return shared_ + kept_ + leaderHeld_; }
    qint64 kept() const { return kept_; }
    qint64 peak() const { return peak_; }
    // How often take() granted nothing.
    qint64 refusals() const { return refusals_; }

private:
    void noteUse();

    qint64 capacity_;
    qint64 leaderShare_;
    qint64 shared_ = 0;
    qint64 kept_ = 0;
    const void *leader_ = nullptr;
    qint64 leaderHeld_ = 0;
    qint64 peak_ = 0;
    bool refused_ = false;
    qint64 refusals_ = 0;
};
