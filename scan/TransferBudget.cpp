#include "TransferBudget.h"

TransferBudget::TransferBudget(qint64 capacity, qint64 largestPage)
    : capacity_(qMax(capacity, largestPage)), leaderShare_(largestPage)
{
}

qint64 TransferBudget::take(const void *holder, qint64 held, qint64 least, qint64 most)
{
    Q_ASSERT(0 < least && least <= most);
    qint64 granted = 0;
    if (holder == leader_) {
        Q_ASSERT(leaderHeld_ + most <= leaderShare_);
        granted = most;
        leaderHeld_ += granted;
    } else if (!leader_ && held + most <= leaderShare_) {
        leader_ = holder;
        shared_ -= held;
        granted = most;
        leaderHeld_ = held + granted;
    } else if (const qint64 room = capacity_ - leaderShare_ - shared_; room >= least) {
        granted = qMin(most, room);
        shared_ += granted;
    } else {
        refused_ = true;
        ++refusals_;
        return 0;
    }
    noteUse();
    return granted;
}

void TransferBudget::give(const void *holder, qint64 held)
{
    if (holder == leader_) {
        leader_ = nullptr;
        leaderHeld_ = 0;
    } else {
        shared_ -= held;
    }
    refused_ = false;
}

bool TransferBudget::crowded() const
{
    return refused_ || shared_ >= capacity_ - leaderShare_;
}

void TransferBudget::noteUse()
{
    peak_ = qMax(peak_, inUse());
}
