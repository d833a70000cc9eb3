#include "core/transfer/TransferRecord.h"

#include "core/transfer/SaturatingMath.h"

#include <algorithm>
#include <limits>

namespace Vuxo {

namespace {

bool InsideWindow(const TransferSample& sample, int64_t nowMs) {
    // A sample stamped ahead of now (another thread's clock read raced ours) still counts.
    return static_cast<__int128>(nowMs) - sample.clockMs < TransferSide::kWindowMs;
}

template <typename Iterator> uint64_t SumOf(Iterator begin, Iterator end) {
    uint64_t sum = 0;
    for (; begin != end; ++begin) {
        sum = SaturatingAdd(sum, begin->count);
    }
    return sum;
}

// The silence before a paced transfer's oldest sample that pacing still counts as part of its time: one
// pause step of the reporter.
constexpr int64_t kPacingGapMs = 200;

} // namespace

void TransferSide::AddSample(uint64_t count, int64_t nowMs) {
    if (!hasSamples) {
        hasSamples = true;
        firstSampleMs = nowMs;
    }
    // Reports within one bucket share a sample: the speed inside the window is the same, and a fast
    // transfer keeps at most kWindowMs / kBucketMs samples instead of one per chunk.
    if (!samples.empty() && nowMs >= samples.back().clockMs &&
        static_cast<__int128>(nowMs) - samples.back().clockMs < kBucketMs) {
        samples.back().count = SaturatingAdd(samples.back().count, count);
    } else {
        samples.push_back({count, nowMs});
    }
    sampleSum = SaturatingAdd(sampleSum, count);
    Prune(nowMs);
}

void TransferSide::Prune(int64_t nowMs) {
    // A saturated sum cannot be taken apart; it is counted again from the samples left (it takes
    // 2^64 bytes within the window to get there).
    const bool saturated = sampleSum == UINT64_MAX;
    while (!samples.empty() && !InsideWindow(samples.front(), nowMs)) {
        if (!saturated) {
            sampleSum -= samples.front().count;
        }
        samples.pop_front();
    }
    if (saturated) {
        sampleSum = SumOf(samples.begin(), samples.end());
    }
}

void TransferSide::Reset() {
    totalSize = 0;
    position = 0;
    startClockMs = 0;
    firstSampleMs = 0;
    hasSamples = false;
    samples.clear();
    sampleSum = 0;
    speedLimit = -1;
}

void TransferRecord::Reset() {
    key = nullptr;
    id = 0;
    download.Reset();
    upload.Reset();
    direction = -1;
    peerAddress.clear();
    userName.clear();
    request.clear();
    kicked = false;
    changed = false;
}

namespace {

struct WindowSum {
    const TransferSample* oldest = nullptr; // oldest sample inside the window; null when none is
    uint64_t sum = 0;                       // bytes of the samples inside the window
};

WindowSum SumInsideWindow(const TransferSide& side, int64_t nowMs) {
    // Skip what left the window since the last prune (nothing inside the aggregator, which prunes first)
    // and take the stored sum apart by it.
    auto oldest = side.samples.begin();
    uint64_t stale = 0;
    for (; oldest != side.samples.end() && !InsideWindow(*oldest, nowMs); ++oldest) {
        stale += oldest->count;
    }
    if (oldest == side.samples.end()) {
        return {};
    }
    const uint64_t sum =
        side.sampleSum == UINT64_MAX ? SumOf(oldest, side.samples.end()) : side.sampleSum - stale;
    return {&*oldest, sum};
}

int64_t BytesPerSecond(uint64_t bytes, int64_t nowMs, int64_t sinceMs) {
    const __int128 elapsed = static_cast<__int128>(nowMs) - sinceMs;
    if (elapsed <= 0) {
        return 0;
    }
    return ClampToInt64(static_cast<__int128>(bytes) * 1000 / elapsed);
}

} // namespace

int64_t CalcTransferSpeed(const TransferSide& side, int64_t nowMs) {
    const WindowSum window = SumInsideWindow(side, nowMs);
    return window.oldest == nullptr ? 0 : BytesPerSecond(window.sum, nowMs, window.oldest->clockMs);
}

int64_t CalcPacingSpeed(const TransferSide& side, int64_t nowMs) {
    const WindowSum window = SumInsideWindow(side, nowMs);
    if (window.oldest == nullptr) {
        return 0;
    }
    // Never before the window, the first report, or one pause step before the oldest sample.
    const int64_t since =
        std::max({ClampToInt64(static_cast<__int128>(nowMs) - TransferSide::kWindowMs), side.firstSampleMs,
                  ClampToInt64(static_cast<__int128>(window.oldest->clockMs) - kPacingGapMs)});
    return BytesPerSecond(window.sum, nowMs, std::min(since, window.oldest->clockMs));
}

} // namespace Vuxo
