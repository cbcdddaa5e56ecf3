#pragma once

#include <QByteArray>

#include <chrono>
#include <vector>

#include <sys/types.h>

// The processes of one process group as /proc shows them: a browser started in a session of
// its own keeps its helpers in its group, so the group is the browser.
namespace ProcessTree {

// The processes now in the group, zombies included until they are reaped.
std::vector<pid_t> Members(pid_t group);

// The memory the group's processes hold: the sum of their proportional set sizes, which count
// the pages the processes share once in all, or of their resident sizes where the kernel does
// not tell the former.
qint64 MemoryBytes(pid_t group);

// Ends every process of the group at once.
void Kill(pid_t group);

// Ends every process whose command line holds `text` and waits up to `wait` for them to go;
// false when some is still there.
bool KillNaming(const QByteArray &text, std::chrono::milliseconds wait);

// The live processes whose command line holds `text`.
std::vector<pid_t> Naming(const QByteArray &text);

// Waits until no live process is left in the group; false when some still is after `wait`.
bool WaitGone(pid_t group, std::chrono::milliseconds wait);

} // namespace ProcessTree
