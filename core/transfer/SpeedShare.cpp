#include "core/transfer/SpeedShare.h"

#include "core/transfer/SaturatingMath.h"

#include <cstddef>

namespace Vuxo {

namespace {

// The headroom granted to a consumer below its equal share: the single-precision 1.2 the rule was
// tuned with, widened to double.
constexpr double kHeadroom = static_cast<double>(1.2f);

int64_t Demand(int64_t speed) {
    const double demand = static_cast<double>(speed) * kHeadroom;
    if (demand >= 9.2e18) {
        return INT64_MAX;
    }
    return demand <= 0 ? 0 : static_cast<int64_t>(demand);
}

} // namespace

std::vector<int64_t> ShareSpeedLimit(int64_t limit, const std::vector<int64_t>& speeds) {
    const size_t n = speeds.size();
    std::vector<int64_t> shares(n, 0);
    if (n == 0) {
        return shares;
    }
    // Wide arithmetic: level + equal may pass INT64_MAX for a huge limit.
    __int128 level = 0;
    __int128 budget = limit < 0 ? 0 : limit;
    size_t i = 0;
    for (; i + 1 < n; ++i) {
        const __int128 remaining = static_cast<__int128>(n - i);
        const __int128 equal = budget / remaining;
        const __int128 demand = Demand(speeds[i]);
        if (demand >= level + equal) {
            // Everyone from here on (the fastest excepted) gets an equal share.
            for (size_t j = i; j + 1 < n; ++j) {
                shares[j] = ClampToInt64(level + equal);
            }
            budget -= (remaining - 1) * equal;
            break;
        }
        shares[i] = ClampToInt64(demand);
        budget -= (demand - level) * remaining;
        level = demand;
    }
    shares[n - 1] = ClampToInt64(budget + level);
    return shares;
}

} // namespace Vuxo
