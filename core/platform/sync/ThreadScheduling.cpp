#include "core/platform/sync/ThreadScheduling.h"

#include <sched.h>

namespace Vuxo {

bool ScheduleCallingThreadAsBatch() {
    // On Linux the policy belongs to the thread, and any thread may take the batch policy at its own
    // priority without a privilege.
    const sched_param parameters{};
    return ::sched_setscheduler(0, SCHED_BATCH, &parameters) == 0;
}

bool IsCallingThreadBatch() {
    return ::sched_getscheduler(0) == SCHED_BATCH;
}

} // namespace Vuxo
