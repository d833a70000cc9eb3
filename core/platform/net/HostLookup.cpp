#include "core/platform/net/HostLookup.h"

#include "core/platform/net/WakeupSignal.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace Vuxo::Net {

namespace {

// Shared by the caller and the helper thread; whichever lets go last frees it.
struct LookupState {
    std::mutex mutex;
    bool done = false;
    std::optional<uint32_t> address;
    int error = 0;
    WakeupSignal finished;
};

// Released by each helper thread as it ends (release pairs with the acquire of the admission below).
std::atomic<int> g_inFlight{0};

bool Admit() {
    int running = g_inFlight.load(std::memory_order_acquire);
    while (running < kMaxLookupsInFlight) {
        if (g_inFlight.compare_exchange_weak(running, running + 1, std::memory_order_acq_rel)) {
            return true;
        }
    }
    return false;
}

void RunLookup(const std::shared_ptr<LookupState>& state, const BlockingLookup& lookup,
               const std::string& host) {
    int error = 0;
    std::optional<uint32_t> address = lookup(host, error);
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->address = address;
        state->error = error;
        state->done = true;
    }
    state->finished.Signal();
}

} // namespace

std::optional<uint32_t> LookupIPv4(const std::string& host, Handle wake, int timeoutMs, int& error,
                                   const BlockingLookup& lookup) {
    if (host.empty() || ParseDotted(host)) {
        return ResolveIPv4(host, error); // no lookup: nothing to wait for
    }
    error = 0;
    auto state = std::make_shared<LookupState>();
    if (!state->finished.IsValid() || !Admit()) {
        error = kErrTryAgain;
        return std::nullopt;
    }
    try {
        std::thread([state, run = lookup ? lookup : BlockingLookup(&ResolveIPv4), host] {
            RunLookup(state, run, host);
            g_inFlight.fetch_sub(1, std::memory_order_release);
        }).detach();
    } catch (const std::system_error&) {
        g_inFlight.fetch_sub(1, std::memory_order_release);
        error = kErrTryAgain;
        return std::nullopt;
    }
    const WaitResult waited = WaitReadable(state->finished.GetHandle(), wake, timeoutMs);
    const std::lock_guard<std::mutex> lock(state->mutex);
    if (state->done && waited == WaitResult::Ready) {
        error = state->error;
        return state->address;
    }
    error = waited == WaitResult::Woken ? kErrInterrupted : kErrTimedOut;
    return std::nullopt;
}

int LookupsInFlight() {
    return g_inFlight.load(std::memory_order_acquire);
}

} // namespace Vuxo::Net
