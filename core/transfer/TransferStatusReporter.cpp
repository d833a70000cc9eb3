#include "core/transfer/TransferStatusReporter.h"

#include "core/thread/StopEvent.h"
#include "core/transfer/Clock.h"

namespace Vuxo {

TransferStatusReporter::~TransferStatusReporter() {
    if (m_aggregator != nullptr) {
        m_aggregator->Unregister(Key());
    }
}

void TransferStatusReporter::SetAggregator(TransferStatusAggregator* aggregator) {
    if (m_aggregator != nullptr && m_aggregator != aggregator) {
        m_aggregator->Unregister(Key());
    }
    m_aggregator = aggregator;
}

TransferStatusAggregator& TransferStatusReporter::Target() {
    if (m_aggregator != nullptr) {
        return *m_aggregator;
    }
    return NullTransferStatusAggregator::GetInstance();
}

bool TransferStatusReporter::StopRequested() const {
    return m_stopEvent != nullptr && m_stopEvent->IsSet();
}

void TransferStatusReporter::SetTotalSize(int direction, int64_t size) {
    Target().SetTotalSize(Key(), direction, size);
}

void TransferStatusReporter::SetPosition(int direction, int64_t position) {
    Target().SetPosition(Key(), direction, position);
}

void TransferStatusReporter::AddTransferredBytes(int direction, uint64_t count) {
    TransferStatusAggregator& aggregator = Target();
    aggregator.AddTransferredBytes(Key(), direction, count);
    // Pause in steps outside every lock, so other transfers and the GUI go on meanwhile. An early wake
    // (a limit lifted, a kick, a stop) counts as a step and leads straight to a new look at the limit.
    Clock& clock = aggregator.GetClock();
    for (int step = 0; step < kThrottleSteps; ++step) {
        if (StopRequested() || !aggregator.IsOverLimit(Key(), direction)) {
            break;
        }
        clock.SleepFor(kThrottleStepMs);
    }
}

void TransferStatusReporter::SetUserName(const std::string& userName) {
    Target().SetUserName(Key(), userName);
}

void TransferStatusReporter::SetRemoteAddress(const std::string& address) {
    Target().SetRemoteAddress(Key(), address);
}

void TransferStatusReporter::SetRequest(const std::string& request) {
    Target().SetRequest(Key(), request);
}

void TransferStatusReporter::SetRequestTexts(const std::string& request, const std::string& address,
                                             const std::string& userName) {
    Target().SetRequestTexts(Key(), request, address, userName);
}

int64_t TransferStatusReporter::GetSpeed(int direction) {
    return Target().GetSpeed(Key(), direction);
}

void TransferStatusReporter::Detach() {
    if (m_aggregator != nullptr) {
        m_aggregator->Unregister(Key());
    }
    m_aggregator = nullptr;
}

} // namespace Vuxo
