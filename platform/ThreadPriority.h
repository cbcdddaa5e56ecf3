#pragma once

// The priority of the calling thread among the program's threads.
namespace ThreadPriority {

// Lets the calling thread run after the program's other threads and other programs when the
// processors are busy, as a background job would. Only where a thread has a priority of its
// own (Linux); elsewhere the thread keeps the program's.
void Background();

} // namespace ThreadPriority
