#include "ThreadPriority.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#endif

namespace ThreadPriority {

void Background()
{
#ifdef Q_OS_LINUX
    // Ten steps nicer than the program, as a background job is commonly started; on Linux the
    // niceness is the calling thread's own.
    constexpr int Steps = 10;
    constexpr int Nicest = 19;
    const auto self = id_t(gettid());
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        setpriority(PRIO_PROCESS, self, std::min(now + Steps, Nicest));
#endif
}

} // namespace ThreadPriority
