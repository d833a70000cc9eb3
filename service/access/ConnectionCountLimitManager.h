// ConnectionCountLimitManager: bounds how many downloads and plug-in actions run at once, in total and per
// client address. The dispatcher acquires a CounterToken before such a request and the token gives its
// count back when it is destroyed, so every path (normal end, a cut connection, an exception) returns it.
// When a limit is reached, Acquire throws ConnectionCountLimitException. The server object owns the one
// manager, which must outlive every token; the shell sets the limits. One re-entrant CriticalSection guards
// the limits, the counts and the address entries; it is never held while a request is processed.
#pragma once

#include "core/thread/CriticalSection.h"
#include "core/thread/Noncopyable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Vuxo {

// Thrown by Acquire only. Deliberately not a std::exception: the dispatcher catches it by type around the
// counted processors and nothing else should swallow it.
class ConnectionCountLimitException {
public:
    static constexpr int kTotalLimit = 0;      // the total limit is reached
    static constexpr int kPerAddressLimit = 1; // the limit of this client address is reached

    explicit ConnectionCountLimitException(int code) : m_code(code) {}
    int GetCode() const { return m_code; }

private:
    int m_code;
};

class ICounterTokenManager {
public:
    virtual ~ICounterTokenManager() = default;
    // Gives back the count of a token; `generation` tells a token taken before ResetCounts apart.
    virtual void Release(unsigned index, uint32_t generation) = 0;
};

// One held count (or none). Not copied; moving hands the count over.
class CounterToken : private Noncopyable {
public:
    CounterToken() = default;
    CounterToken(CounterToken&& other) noexcept;
    CounterToken& operator=(CounterToken&& other) noexcept;
    ~CounterToken() { Release(); }

    // Gives the count back now; nothing when the token holds none.
    void Release();
    bool IsHeld() const { return m_manager != nullptr; }

private:
    friend class ConnectionCountLimitManager;

    ICounterTokenManager* m_manager = nullptr;
    unsigned m_index = 0;
    uint32_t m_generation = 0;
};

class ConnectionCountLimitManager : public ICounterTokenManager {
public:
    static constexpr int kNoLimit = 0x7fffffff;

    ConnectionCountLimitManager() = default;

    // limit := use ? limit : kNoLimit. Counts already held stay; a lower limit only refuses new ones.
    void SetTotalLimit(bool use, int limit);
    void SetPerIPLimit(bool use, int limit);

    // Releases what `token` held, then takes one count for `address` (the client's dotted address). Throws
    // ConnectionCountLimitException (kTotalLimit or kPerAddressLimit) when a limit is reached; the token is
    // then empty.
    void Acquire(CounterToken& token, const std::string& address);
    // Called through the token only.
    void Release(unsigned index, uint32_t generation) override;
    // Forgets every count; tokens taken before give nothing back afterwards.
    void ResetCounts();

    int GetTotalCount() const;
    // Counts held by `address` (0 when it has no entry).
    int GetAddressCount(const std::string& address) const;
    // Address entries kept (entries whose count fell to 0 may stay until the entries after them are gone).
    std::size_t GetAddressEntryCount() const;

private:
    struct AddressEntry {
        std::string address;
        int count = 0;
    };

    mutable CriticalSection m_lock;
    int m_totalLimit = kNoLimit;
    int m_perAddressLimit = kNoLimit;
    int m_totalCount = 0;
    uint32_t m_generation = 0;
    std::vector<AddressEntry> m_entries;
};

} // namespace Vuxo
