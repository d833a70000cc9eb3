// A short stretch of one thread whose trace entries reach the callback together, so that a sink can write
// them with one call: entries traced while a TraceBatch lives on the thread are held, in order, in the
// thread's own storage and delivered when the outermost batch ends, or earlier by DeliverHeld, which
// whatever is about to wait on a peer calls first (the HTTP request before every socket call), so that no
// entry waits behind a send or a slow client. For stretches that otherwise only compute and read a file.
// Thread-local; no lock. Nested batches end with the outermost.
#pragma once

#include "core/log/Trace.h"
#include "core/thread/Noncopyable.h"

#include <cstddef>
#include <string_view>

namespace Vuxo {

struct TraceEntry {
    int level;
    std::string_view text;
};

// Receives the held entries of one thread at once, in the order they were traced.
using TraceBatchCallback = void (*)(void* context, const TraceEntry* entries, size_t count);

// SetTraceCallback together with the callback for held entries (null: they are delivered one by one).
void SetTraceCallbacks(TraceCallback callback, TraceBatchCallback batchCallback, void* context);

class TraceBatch : private Noncopyable {
public:
    TraceBatch();
    ~TraceBatch();

    // Delivers what the calling thread holds now; nothing when it holds nothing.
    static void DeliverHeld();
};

} // namespace Vuxo
