#include "service/mounts/SequenceId.h"

#include <atomic>

namespace Vuxo {

namespace {

// Process-wide by design: ids are unique across every record of a run.
std::atomic<uint32_t> g_nextSequenceId{0};

} // namespace

SequenceId::SequenceId() : m_id(g_nextSequenceId.fetch_add(1, std::memory_order_relaxed)) {}

} // namespace Vuxo
