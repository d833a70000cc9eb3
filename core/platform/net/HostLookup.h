// A name lookup the caller can give up on. getaddrinfo cannot be interrupted and, with a resolver that
// never answers, blocks for up to half a minute; so the blocking lookup runs on a helper thread of its own
// while the caller waits for its answer, a wake descriptor or a time-out, whichever comes first. A lookup
// given up on runs on to its end unjoined: it shares its state with the caller, so it never writes to
// anything that is gone. At most kMaxLookupsInFlight run at once in the process; beyond that a lookup
// fails at once, so a resolver that never answers cannot pile up threads. Safe from any thread.
#pragma once

#include "core/platform/net/SocketCalls.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace Vuxo::Net {

// A blocking lookup of a host name, as ResolveIPv4: the address, or nullopt with `error` set.
using BlockingLookup = std::function<std::optional<uint32_t>(const std::string& host, int& error)>;

constexpr int kMaxLookupsInFlight = 8;

// A dotted `host` at once; a name through `lookup` (empty: ResolveIPv4) on a helper thread. On failure
// nullopt, and `error` holds the lookup's code, kErrTimedOut when `timeoutMs` (negative: none) passed
// first, kErrInterrupted when `wake` (kNoHandle: none) became readable first, or kErrTryAgain when too many
// lookups are in flight or no thread could be made.
std::optional<uint32_t> LookupIPv4(const std::string& host, Handle wake, int timeoutMs, int& error,
                                   const BlockingLookup& lookup = {});

// Lookups whose helper thread has not ended yet.
int LookupsInFlight();

} // namespace Vuxo::Net
