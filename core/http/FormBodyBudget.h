// The bytes of url-encoded form bodies that all connections may hold in memory at once. A request reserves
// its announced length before it reads its body and gives it back when it ends, so that many connections
// announcing large forms cannot take the process's memory between them. Process-wide; lock-free (one
// atomic counter), safe from any thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace Vuxo {

class FormBodyBudget {
public:
    static constexpr int64_t kDefaultLimit = 64 * 1024 * 1024;

    explicit FormBodyBudget(int64_t limit = kDefaultLimit) : m_limit(limit) {}
    FormBodyBudget(const FormBodyBudget&) = delete;
    FormBodyBudget& operator=(const FormBodyBudget&) = delete;

    // The budget every request draws from.
    static FormBodyBudget& Shared();

    // False (nothing reserved) when `bytes` more would pass the limit.
    bool Reserve(int64_t bytes);
    void Release(int64_t bytes);
    int64_t GetHeld() const { return m_held.load(); }

private:
    const int64_t m_limit;
    std::atomic<int64_t> m_held{0};
};

} // namespace Vuxo
