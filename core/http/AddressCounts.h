// How many connections each client address has in the two states that its client alone ends: a request
// head not yet complete (from acceptance, or from the first byte of a later request, to the head's end),
// and a request stalled on its client (a send the client does not read, a body it does not send). Each
// state has a cap per address, so that slow clients from one address hold a bounded number of threads
// and descriptors however many connections they open. Owned by the web server, which outlives its
// connection threads; used by its accept thread and every connection thread under one mutex (taken only
// when a connection enters or leaves such a state, never for a request that arrives whole and is read).
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace Vuxo {

enum class AddressState { Head, Stalled };

class AddressCounts {
public:
    void SetCaps(int heads, int stalled);
    // Counts one more connection of `address` in `state`; false (nothing counted) at the cap.
    bool TryAdd(uint32_t address, AddressState state);
    void Remove(uint32_t address, AddressState state);
    int Count(uint32_t address, AddressState state) const;

private:
    struct Counts {
        int heads = 0;
        int stalled = 0;
    };
    static int& Of(Counts& counts, AddressState state) {
        return state == AddressState::Head ? counts.heads : counts.stalled;
    }

    mutable std::mutex m_mutex;
    std::unordered_map<uint32_t, Counts> m_counts; // addresses with a count above zero only
    int m_headCap = 64;
    int m_stalledCap = 64;
};

// One connection's places among its address's counts, taken and given back by its connection thread
// (the accept thread may take the head place before the thread starts). Whatever is still held is given
// back by GiveAll and by the destructor. Without counts every place is granted and nothing is counted.
class AddressPlaces {
public:
    AddressPlaces() = default;
    ~AddressPlaces() { GiveAll(); }
    AddressPlaces(const AddressPlaces&) = delete;
    AddressPlaces& operator=(const AddressPlaces&) = delete;

    // `holdsHead`: the head place was already taken for this connection.
    void Bind(AddressCounts* counts, uint32_t address, bool holdsHead);
    // True when the place is held now (taken, or held already).
    bool Take(AddressState state);
    void Give(AddressState state);
    void GiveAll();
    uint32_t GetAddress() const { return m_address; }

private:
    bool& Held(AddressState state) { return state == AddressState::Head ? m_head : m_stalled; }

    AddressCounts* m_counts = nullptr;
    uint32_t m_address = 0;
    bool m_head = false;
    bool m_stalled = false;
};

} // namespace Vuxo
