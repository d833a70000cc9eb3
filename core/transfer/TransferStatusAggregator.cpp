#include "core/transfer/TransferStatusAggregator.h"

#include "core/transfer/Clock.h"

namespace Vuxo {

Clock& TransferStatusAggregator::GetClock() {
    return SteadyClock::Instance();
}

void TransferStatusAggregator::SetRequestTexts(TransferKey key, const std::string& request,
                                               const std::string& address, const std::string& userName) {
    SetRequest(key, request);
    SetRemoteAddress(key, address);
    SetUserName(key, userName);
}

void TransferStatusAggregator::WakeAll() {
    GetClock().WakeAll();
}

NullTransferStatusAggregator& NullTransferStatusAggregator::GetInstance() {
    // Never destroyed: web servers and requests may outlive other static objects at exit.
    static NullTransferStatusAggregator* instance = new NullTransferStatusAggregator;
    return *instance;
}

} // namespace Vuxo
