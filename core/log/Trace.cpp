#include "core/log/Trace.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

namespace Vuxo {

namespace {

struct CallbackSlot {
    TraceCallback callback = nullptr;
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

void Deliver(TraceState& state, int level, const char* text) {
    for (;;) {
        const int index = state.current.load();
        state.inFlight[index].fetch_add(1);
        // The slot may have been switched between the two steps; its contents are only stable while
        // it is still current after we registered.
        if (state.current.load() == index) {
            const CallbackSlot slot = state.slots[index];
            if (slot.callback) {
                slot.callback(slot.context, level, text);
            }
            state.inFlight[index].fetch_sub(1);
            return;
        }
        state.inFlight[index].fetch_sub(1);
    }
}

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
    TraceState& state = State();
    std::lock_guard<std::mutex> guard(state.changeLock);
    const int old = state.current.load();
    const int next = 1 - old;
    WaitUntilIdle(state.inFlight[next]); // late registrations that saw the switch and are backing out
    state.slots[next] = CallbackSlot{callback, context};
    state.current.store(next);
    WaitUntilIdle(state.inFlight[old]);
}

} // namespace Vuxo
