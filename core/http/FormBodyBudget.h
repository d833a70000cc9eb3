// The bytes of url-encoded form bodies that all connections may hold in memory at once, and the share of
// them that the connections of one client address may hold. A request takes its body's bytes from it as
// they arrive (not as announced: a client that announces a large body and sends nothing holds nothing)
// and gives them back when it ends, so that neither many connections nor one address's connections can
// take the process's memory or keep every other client's form out. Process-wide; one mutex, taken once
// per piece of a body received; safe from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace Vuxo {

class FormBodyBudget {
public:
    static constexpr int64_t kDefaultLimit = 64 * 1024 * 1024;
    // A quarter: two of the largest forms a request may send.
    static constexpr int64_t kDefaultAddressShare = kDefaultLimit / 4;

    explicit FormBodyBudget(int64_t limit = kDefaultLimit, int64_t addressShare = kDefaultAddressShare)
        : m_limit(limit), m_addressShare(addressShare) {}
    FormBodyBudget(const FormBodyBudget&) = delete;
    FormBodyBudget& operator=(const FormBodyBudget&) = delete;

    // The budget every request draws from.
    static FormBodyBudget& Shared();

    // False (nothing taken) when `bytes` more would pass the limit or the share of `address`.
    bool Reserve(const std::string& address, int64_t bytes);
    void Release(const std::string& address, int64_t bytes);
    int64_t GetHeld() const;
    int64_t GetHeld(const std::string& address) const;

private:
    const int64_t m_limit;
    const int64_t m_addressShare;
    mutable std::mutex m_mutex;
    int64_t m_held = 0;
    std::unordered_map<std::string, int64_t> m_heldByAddress; // above zero only
};

} // namespace Vuxo
