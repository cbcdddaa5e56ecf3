// A background thread yields to the rest of the program without slowing the program down.
#include "ThreadPriority.h"

#include <QtGlobal>

#include <gtest/gtest.h>

// A thread has a priority of its own only on Linux.
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace {

int niceness(pid_t thread)
{
    return getpriority(PRIO_PROCESS, id_t(thread));
}

TEST(ThreadPriority, OnlyTheCallingThreadGoesToTheBackground)
{
    const pid_t program = gettid();
    const int before = niceness(program);
    int background = 0;
    std::thread([&background] {
        ThreadPriority::Background();
        background = niceness(gettid());
    }).join();
    EXPECT_EQ(background, std::min(before + 10, 19));
    EXPECT_EQ(niceness(program), before);
}

} // namespace
#endif
