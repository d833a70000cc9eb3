// The scheduling policy of the calling thread. A batch thread that is woken does not take the processor
// from the thread running at the time; it waits for that one's turn to end (a few milliseconds at most).
// Free functions; no state of their own.
#pragma once

namespace Vuxo {

// Makes the calling thread a batch thread; false when the system refuses (it then stays as it was).
bool ScheduleCallingThreadAsBatch();

// Whether the calling thread is a batch thread.
bool IsCallingThreadBatch();

} // namespace Vuxo
