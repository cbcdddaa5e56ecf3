#pragma once

#include <QProcess>
#include <QString>

// Another program holding the write lock of a history file (history_lock_holder) until it is
// released or goes out of scope.
class HeldLock
{
public:
    explicit HeldLock(const QString &path);
    ~HeldLock();
    HeldLock(const HeldLock &) = delete;
    HeldLock &operator=(const HeldLock &) = delete;

    // Whether the other program took the lock.
    bool held() const { return held_; }
    void release();

private:
    QProcess holder_;
    bool held_ = false;
};
