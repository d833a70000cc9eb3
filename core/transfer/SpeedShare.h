// Fair division of one speed limit among several consumers (clients, or the transfers of one client).
// A pure function; safe from any thread.
#pragma once

#include <cstdint>
#include <vector>

namespace Vuxo {

// Water filling with 20 % headroom. `speeds` must be sorted ascending. Each consumer slower than an equal
// share is granted 1.2 times what it uses now; the rest of `limit` is split equally among the others, and
// the remainder of the division plus any headroom left unused goes to the fastest (last). The shares come
// back in the same order and add up to `limit`. A single consumer gets all of it.
std::vector<int64_t> ShareSpeedLimit(int64_t limit, const std::vector<int64_t>& speeds);

} // namespace Vuxo
