// One live transfer as the aggregator keeps it and as the GUI's snapshot shows it.
// Records are owned by GuiTransferStatusAggregator and guarded by its lock; a snapshot copy belongs to the
// GUI thread. Each side keeps the byte counts of the last five seconds in time buckets together with their
// running sum, so measuring a speed never walks the samples again.
#pragma once

#include "core/transfer/TransferStatusAggregator.h"

#include <cstdint>
#include <deque>
#include <string>

namespace Vuxo {

// Bytes counted in one time bucket, stamped with the clock of the bucket's first report.
struct TransferSample {
    uint64_t count = 0;
    int64_t clockMs = 0;
};

// One direction of a transfer.
struct TransferSide {
    // Length of the speed window, and the span within which reports share one sample.
    static constexpr int64_t kWindowMs = 5000;
    static constexpr int64_t kBucketMs = 50;

    int64_t totalSize = 0; // announced by SetTotalSize
    int64_t position = 0;  // set by SetPosition, advanced by each report (saturating)
    int64_t startClockMs = 0;
    int64_t firstSampleMs = 0; // clock of the first report on this side (meaningful once there is one)
    bool hasSamples = false;   // whether this side ever counted a report
    std::deque<TransferSample> samples; // oldest first
    uint64_t sampleSum = 0;             // sum of samples[].count (saturating)
    int64_t speedLimit = -1; // this side's share of the global limit, bytes per second; negative: none

    // Counts `count` bytes at `nowMs` and forgets samples that left the window.
    void AddSample(uint64_t count, int64_t nowMs);
    // Drops samples stamped kWindowMs or more before `nowMs` (a sample ahead of now stays).
    void Prune(int64_t nowMs);
    // Back to the state of a new side, keeping the samples' storage.
    void Reset();
};

// Bytes per second of the side over the window ending at `nowMs`: the bytes of every sample still inside
// the window over the time since the oldest of them. 0 without such a sample or when no time has passed.
int64_t CalcTransferSpeed(const TransferSide& side, int64_t nowMs);

// The speed that pacing compares with a share. It differs from CalcTransferSpeed only for a side older
// than the window: up to one pause step (200 ms) of silence before the oldest sample then counts as part
// of the time too. A paced transfer reports in bursts between pauses; measured from the burst itself it
// looks a few percent faster than it is, and a shared limit would never be used in full. Longer silences
// are not counted, so a transfer that was idle still cannot rush.
int64_t CalcPacingSpeed(const TransferSide& side, int64_t nowMs);

struct TransferRecord {
    TransferKey key = nullptr;
    int id = 0;
    TransferSide download;
    TransferSide upload;
    int direction = -1; // -1 until the first position or byte report, then the direction last reported
    std::string peerAddress;
    std::string userName;
    std::string request;
    bool kicked = false;
    bool changed = false; // something the GUI shows changed since the last snapshot

    // The side of a valid direction (kDirectionDownload or kDirectionUpload).
    TransferSide& Side(int dir) { return dir == kDirectionUpload ? upload : download; }
    const TransferSide& Side(int dir) const { return dir == kDirectionUpload ? upload : download; }
    // Back to the state of a new record, keeping the storage of its texts and samples.
    void Reset();
};

} // namespace Vuxo
