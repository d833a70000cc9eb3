// What the transfer-status view implements to hear of transfers that appeared or ended.
// Called by GuiTransferStatusAggregator::DispatchEvents on the caller's (the GUI) thread, with no lock of
// the aggregator held, so a handler may call back into the aggregator.
#pragma once

namespace Vuxo {

class TransferStatusEventHandler {
public:
    virtual void OnTransferAdded(int id) = 0;
    virtual void OnTransferRemoved(int id) = 0;

protected:
    ~TransferStatusEventHandler() = default;
};

} // namespace Vuxo
