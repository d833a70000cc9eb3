// The per-request handle through which a request reports its progress to the aggregator.
// Owned by one HttpRequest and used only by its connection thread. Its own address is the key of the
// transfer; the destructor leaves the aggregator. AddTransferredBytes is where a thread over its speed
// share pauses: in steps of 200 ms, at most 24 of them per call, with no lock held.
#pragma once

#include "core/transfer/TransferStatusAggregator.h"

#include <cstdint>
#include <string>

namespace Vuxo {

class StopEvent;

class TransferStatusReporter {
public:
    static constexpr int kThrottleSteps = 24;
    static constexpr int64_t kThrottleStepMs = 200;

    TransferStatusReporter() = default;
    explicit TransferStatusReporter(TransferStatusAggregator* aggregator) : m_aggregator(aggregator) {}
    virtual ~TransferStatusReporter();

    TransferStatusReporter(const TransferStatusReporter&) = delete;
    TransferStatusReporter& operator=(const TransferStatusReporter&) = delete;

    // Binds to an aggregator (null: none). A transfer already reported to another one leaves it first.
    void SetAggregator(TransferStatusAggregator* aggregator);
    TransferStatusAggregator* GetAggregator() const { return m_aggregator; }

    // A stop event (the connection thread's) that ends throttle pauses: once it is set, AddTransferredBytes
    // no longer pauses. Null for none. Not owned.
    void SetStopEvent(const StopEvent* stopEvent) { m_stopEvent = stopEvent; }

    TransferKey Key() const { return this; }

    void SetTotalSize(int direction, int64_t size);
    void SetPosition(int direction, int64_t position);
    // Reports `count` bytes moved in `direction`, then pauses while the transfer is over its speed share.
    // Throws TransferKickedError when the user kicked the transfer.
    void AddTransferredBytes(int direction, uint64_t count);
    void SetUserName(const std::string& userName);
    void SetRemoteAddress(const std::string& address);
    void SetRequest(const std::string& request);
    // SetRequest, SetRemoteAddress and SetUserName in one report.
    void SetRequestTexts(const std::string& request, const std::string& address, const std::string& userName);
    int64_t GetSpeed(int direction);

    // Leaves the aggregator and forgets it.
    void Detach();

private:
    TransferStatusAggregator& Target();
    bool StopRequested() const;

    TransferStatusAggregator* m_aggregator = nullptr; // not owned
    const StopEvent* m_stopEvent = nullptr;           // not owned
};

} // namespace Vuxo
