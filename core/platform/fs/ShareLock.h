// The share modes of the program's own file opens: a shared lock admits other shared ones, an exclusive
// lock no other. Held in a table of this process keyed by the file's device and inode, so that taking
// one costs no system call: flock, which this replaces for readers, walks every lock the inode holds on
// each call, and a few hundred connections downloading one file spent most of their time in it.
// Exclusive locks also take flock(LOCK_EX), so that another process that locks a file with flock is
// still kept out of a file the program writes, and the other way round; a plug-in's copy of this code
// (which cannot reach the program's table) takes flocks for both modes.
// A ShareLock is owned by the FileDescriptor (or PelkFile) of the open it belongs to and released when
// that closes; moved, never copied. The table is split into shards, each guarded by a reader-writer lock:
// taking a lock on a file already in the table reads the shard and counts with one atomic exchange, so
// the many connections of one file never queue behind each other; only a file new to the table writes
// the shard, and that also drops the entries no one holds any longer. A held lock keeps its entry.
#pragma once

#include <cstdint>

namespace Vuxo {

enum class FileShare;

class ShareLock {
public:
    ShareLock() = default;
    ~ShareLock();
    ShareLock(ShareLock&& other) noexcept;
    ShareLock& operator=(ShareLock&& other) noexcept;
    ShareLock(const ShareLock&) = delete;
    ShareLock& operator=(const ShareLock&) = delete;

    // Takes the lock for the file open as `descriptor` (device and inode from its fstat); 0 or the errno
    // value (EWOULDBLOCK when another opener's lock conflicts, as flock gives).
    static int Acquire(int descriptor, uint64_t device, uint64_t inode, FileShare share, ShareLock& lock);

    // How many exclusive locks of the program were given back so far: a reader that sees it unchanged
    // across its fstat and its lock knows no writer of the program changed the file in between.
    static uint64_t ExclusiveReleases();

    bool IsHeld() const { return m_entry != nullptr; }
    // Gives the lock back now (the descriptor's flock, if any, goes with its close).
    void Reset();

    struct Entry;

private:
    Entry* m_entry = nullptr; // in the table; null when not held (or held by flock alone)
    bool m_exclusive = false;
};

} // namespace Vuxo
