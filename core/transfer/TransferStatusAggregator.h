// The collector of transfer progress and the place where speed limits are applied.
// Every request reports through its TransferStatusReporter, whose address is the key of its transfer. The
// web server holds one aggregator for all its connections (not owned); implementations guard themselves,
// since every connection thread and the GUI thread call them at once.
// NullTransferStatusAggregator is the do-nothing default; its one instance lives for the whole process.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Vuxo {

class Clock;

// Direction of a transfer side: bytes the server sends, and bytes it receives.
constexpr int kDirectionDownload = 0;
constexpr int kDirectionUpload = 1;

// What AddTransferredBytes throws for a transfer the user kicked; the connection then ends.
class TransferKickedError : public std::runtime_error {
public:
    TransferKickedError() : std::runtime_error("Connection was kicked.") {}
};

// Identifies one transfer: the address of the reporter that reports it.
using TransferKey = const void*;

class TransferStatusAggregator {
public:
    virtual ~TransferStatusAggregator() = default;

    // Forgets the transfer.
    virtual void Unregister(TransferKey key) = 0;
    // Size announced for one side (bytes).
    virtual void SetTotalSize(TransferKey key, int direction, int64_t size) = 0;
    // Current position of one side (bytes), e.g. the start of a byte range.
    virtual void SetPosition(TransferKey key, int direction, int64_t position) = 0;
    // Records `count` bytes moved. Throws TransferKickedError when the user ended the transfer.
    virtual void AddTransferredBytes(TransferKey key, int direction, uint64_t count) = 0;
    virtual void SetUserName(TransferKey key, const std::string& userName) = 0;
    virtual void SetRemoteAddress(TransferKey key, const std::string& address) = 0;
    virtual void SetRequest(TransferKey key, const std::string& request) = 0;
    // The three texts of a new request at once (what SetRequest, SetRemoteAddress and SetUserName set).
    virtual void SetRequestTexts(TransferKey key, const std::string& request, const std::string& address,
                                 const std::string& userName);
    // True while the side moves faster than the share of the speed limit it was given.
    virtual bool IsOverLimit(TransferKey key, int direction) = 0;
    // Bytes per second of the side over the last few seconds.
    virtual int64_t GetSpeed(TransferKey key, int direction) = 0;

    // The clock whose SleepFor paces throttled reporters.
    virtual Clock& GetClock();
    // Ends every throttle pause at once (the server is stopping); the paused threads look at their
    // limits again.
    virtual void WakeAll();
};

// Does nothing, never throttles, and reports 1000 bytes per second so buffers sized by speed stay small.
class NullTransferStatusAggregator final : public TransferStatusAggregator {
public:
    static constexpr int64_t kReportedSpeed = 1000;

    // The process-wide instance, the default aggregator of every web server.
    static NullTransferStatusAggregator& GetInstance();

    void Unregister(TransferKey) override {}
    void SetTotalSize(TransferKey, int, int64_t) override {}
    void SetPosition(TransferKey, int, int64_t) override {}
    void AddTransferredBytes(TransferKey, int, uint64_t) override {}
    void SetUserName(TransferKey, const std::string&) override {}
    void SetRemoteAddress(TransferKey, const std::string&) override {}
    void SetRequest(TransferKey, const std::string&) override {}
    void SetRequestTexts(TransferKey, const std::string&, const std::string&, const std::string&) override {}
    bool IsOverLimit(TransferKey, int) override { return false; }
    int64_t GetSpeed(TransferKey, int) override { return kReportedSpeed; }
};

} // namespace Vuxo
