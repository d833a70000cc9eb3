#include "core/log/Trace.h"

#include "core/log/TraceBatch.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Vuxo {

namespace {

struct CallbackSlot {
    TraceCallback callback = nullptr;
    TraceBatchCallback batchCallback = nullptr;
    void* context = nullptr;
};

// Two slots: loggers use the current one; SetTraceCallback fills the other, makes it current and then
// waits for the calls still running on the old one. Loggers never block, a change is never starved by
// busy loggers, and a replaced context is no longer in use once SetTraceCallback returns.
struct TraceState {
    std::atomic<uint32_t> mask{0x7FFFFFFF};
    std::mutex changeLock; // one change at a time
    CallbackSlot slots[2];
    std::atomic<int> current{0};
    std::atomic<int> inFlight[2] = {0, 0};
};

TraceState& State() {
    // Never destroyed: threads and static destructors may still trace while the process ends.
    static TraceState& state = *new TraceState;
    return state;
}

void WaitUntilIdle(const std::atomic<int>& calls) {
    while (calls.load() != 0) {
        std::this_thread::yield();
    }
}

// Runs `use` with the current slot, registered in flight so that a change waits for it.
template <typename Use> void WithCurrentSlot(TraceState& state, const Use& use) {
    for (;;) {
        const int index = state.current.load();
        state.inFlight[index].fetch_add(1);
        // The slot may have been switched between the two steps; its contents are only stable while
        // it is still current after we registered.
        if (state.current.load() == index) {
            use(state.slots[index]);
            state.inFlight[index].fetch_sub(1);
            return;
        }
        state.inFlight[index].fetch_sub(1);
    }
}

void Deliver(TraceState& state, int level, const char* text) {
    WithCurrentSlot(state, [&](const CallbackSlot& slot) {
        if (slot.callback) {
            slot.callback(slot.context, level, text);
        }
    });
}

// The entries a thread holds while a batch is open: their texts one after another, each with its NUL.
struct HeldEntries {
    int depth = 0;
    std::string texts;
    std::vector<std::pair<int, size_t>> entries; // level, offset of the text
    std::vector<TraceEntry> batch;               // storage for a delivery
};

thread_local HeldEntries t_held;

// A cut in the middle of a UTF-8 sequence would leave a broken character at the end; drop its lead bytes.
void TrimPartialSequence(char* text, size_t length) {
    size_t start = length;
    while (start > 0 && length - start < 3 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) {
        --start;
    }
    if (start == 0) {
        return;
    }
    const auto lead = static_cast<unsigned char>(text[start - 1]);
    size_t needed = 1;
    if (lead >= 0xF0) {
        needed = 4;
    } else if (lead >= 0xE0) {
        needed = 3;
    } else if (lead >= 0xC0) {
        needed = 2;
    }
    if (needed > 1 && length - (start - 1) < needed) {
        text[start - 1] = '\0';
    }
}

} // namespace

void TraceV(int level, const char* format, va_list arguments) {
    TraceState& state = State();
    if ((static_cast<uint32_t>(level) & state.mask.load(std::memory_order_relaxed)) == 0 || !format) {
        return;
    }
    char text[kTraceTextLimit + 1];
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    if (length < 0) {
        text[0] = '\0';
    } else if (length > kTraceTextLimit) {
        TrimPartialSequence(text, kTraceTextLimit);
    }
    HeldEntries& held = t_held;
    if (held.depth > 0) {
        held.entries.emplace_back(level, held.texts.size());
        held.texts.append(text).push_back('\0');
        return;
    }
    Deliver(state, level, text);
}

void Trace(int level, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    TraceV(level, format, arguments);
    va_end(arguments);
}

void SetTraceMask(uint32_t mask) {
    State().mask.store(mask, std::memory_order_relaxed);
}

uint32_t GetTraceMask() {
    return State().mask.load(std::memory_order_relaxed);
}

void SetTraceCallback(TraceCallback callback, void* context) {
    SetTraceCallbacks(callback, nullptr, context);
}

void SetTraceCallbacks(TraceCallback callback, TraceBatchCallback batchCallback, void* context) {
    TraceState& state = State();
    std::lock_guard<std::mutex> guard(state.changeLock);
    const int old = state.current.load();
    const int next = 1 - old;
    WaitUntilIdle(state.inFlight[next]); // late registrations that saw the switch and are backing out
    state.slots[next] = CallbackSlot{callback, batchCallback, context};
    state.current.store(next);
    WaitUntilIdle(state.inFlight[old]);
}

TraceBatch::TraceBatch() {
    ++t_held.depth;
}

TraceBatch::~TraceBatch() {
    if (--t_held.depth == 0) {
        DeliverHeld();
    }
}

void TraceBatch::DeliverHeld() {
    HeldEntries& held = t_held;
    if (held.entries.empty()) {
        return;
    }
    // Taken out first: a callback that traces again must not touch the storage being delivered.
    std::string texts;
    std::vector<std::pair<int, size_t>> entries;
    std::vector<TraceEntry> batch;
    texts.swap(held.texts);
    entries.swap(held.entries);
    batch.swap(held.batch);
    batch.clear();
    for (const auto& [level, offset] : entries) {
        batch.push_back(TraceEntry{level, std::string_view(texts.c_str() + offset)});
    }
    WithCurrentSlot(State(), [&](const CallbackSlot& slot) {
        if (slot.batchCallback) {
            slot.batchCallback(slot.context, batch.data(), batch.size());
        } else if (slot.callback) {
            for (const TraceEntry& entry : batch) {
                slot.callback(slot.context, entry.level, entry.text.data()); // each ends in its NUL
            }
        }
    });
    if (held.entries.empty()) {
        // The storage goes back for the next batch.
        texts.clear();
        entries.clear();
        held.texts.swap(texts);
        held.entries.swap(entries);
        held.batch.swap(batch);
    }
}

} // namespace Vuxo
