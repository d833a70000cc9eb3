// Sleeping until a word of memory changes, and waking sleepers: the kernel's futex, private to the
// process. The locks of core/thread spin first and sleep here only when the holder keeps the lock;
// std::atomic's own wait would first yield the processor a dozen times more, each a trip through the
// scheduler, which among thousands of connection threads costs more than the wait it saves.
// Free functions; no state of their own.
#pragma once

#include <atomic>

namespace Vuxo {

// Sleeps while `word` holds `expected` (returns at once when it does not); may also return spuriously.
void FutexWait(std::atomic<int>& word, int expected);
// The same, giving up after `timeoutMs` milliseconds.
void FutexWaitFor(std::atomic<int>& word, int expected, int timeoutMs);
// Wakes one thread sleeping on `word`, if any.
void FutexWakeOne(std::atomic<int>& word);
// Wakes every thread sleeping on `word`.
void FutexWakeAll(std::atomic<int>& word);

} // namespace Vuxo
