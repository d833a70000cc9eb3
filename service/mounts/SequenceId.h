// SequenceId: the number that every share record and every account record carries, so that rights can be
// kept per (account, share) pair and follow a record whose name changes.
// The numbers come from one process-wide counter that starts at 0 with every run and is never stored;
// taking one is atomic, so records may be made on any thread. Copies keep their number.
#pragma once

#include <cstdint>

namespace Vuxo {

class SequenceId {
public:
    // Takes the next number of the process-wide counter.
    SequenceId();

    uint32_t GetId() const { return m_id; }

    friend bool operator==(const SequenceId& a, const SequenceId& b) { return a.m_id == b.m_id; }

private:
    uint32_t m_id;
};

} // namespace Vuxo
