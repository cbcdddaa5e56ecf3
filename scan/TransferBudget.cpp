#include "TransferBudget.h"

TransferBudget::TransferBudget(qint64 capacity, qint64 largestPage)
    : capacity_(qMax(capacity, largestPage)), leaderShare_(largestPage)
{
}

qint64 TransferBudget::take(const void *holder, qint64 held, qint64 least, qint64 most)
{
    Q_ASSERT(0 < least && least <= most);
    qint64 granted = 0;
    if (holder == leader_ && inUse() + most <= capacity_) {
        Q_ASSERT(leaderHeld_ + most <= leaderShare_);
        granted = most;
        leaderHeld_ += granted;
    } else if (!leader_ && held + most <= leaderShare_ && inUse() + most <= capacity_) {
        leader_ = holder;
        shared_ -= held;
        granted = most;
        leaderHeld_ = held + granted;
    } else if (holder != leader_ && room() >= least) {
        granted = qMin(most, room());
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

void TransferBudget::keep(qint64 bytes)
{
    kept_ += bytes;
    noteUse();
}

void TransferBudget::letGo(qint64 bytes)
{
    kept_ -= bytes;
    refused_ = false;
}

qint64 TransferBudget::room() const
{
    return qMax<qint64>(0, capacity_ - leaderShare_ - shared_ - kept_);
}

bool TransferBudget::crowded() const
{
    return refused_ || room() == 0;
}

void TransferBudget::noteUse()
{
    peak_ = qMax(peak_, inUse());
}
