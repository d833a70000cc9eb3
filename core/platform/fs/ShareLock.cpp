#include "core/platform/fs/ShareLock.h"

#include "core/platform/fs/FileCalls.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <sys/file.h>
#include <unordered_map>
#include <utility>

namespace Vuxo {

struct ShareLock::Entry {
    std::atomic<uint32_t> state{0};
};

namespace {

struct FileKey {
    uint64_t device;
    uint64_t inode;
    bool operator==(const FileKey&) const = default;
};

struct FileKeyHash {
    size_t operator()(const FileKey& key) const { return std::hash<uint64_t>()(key.inode * 31 + key.device); }
};

constexpr uint32_t kExclusive = 0x80000000u; // the rest of the state counts shared holders

struct Shard {
    std::shared_mutex lock;
    std::unordered_map<FileKey, std::unique_ptr<ShareLock::Entry>, FileKeyHash> files;
    size_t sweepAt = 0; // entries beyond which the next new file first drops the unheld ones
};

constexpr size_t kShards = 64;
constexpr size_t kMinSweep = 64;

std::atomic<uint64_t> g_exclusiveReleases{0};

Shard& ShardOf(const FileKey& key) {
    // Never destroyed: files may still be closed by threads that end after static destruction began.
    static auto& shards = *new std::array<Shard, kShards>;
    return shards[FileKeyHash()(key) % kShards];
}

// Called with the shard's lock held (either way), so the entry cannot be dropped meanwhile.
bool TryTake(ShareLock::Entry& entry, bool exclusive) {
    uint32_t state = entry.state.load(std::memory_order_acquire);
    uint32_t wanted;
    do {
        if ((state & kExclusive) != 0 || (exclusive && state != 0)) {
            return false;
        }
        wanted = exclusive ? kExclusive : state + 1;
    } while (!entry.state.compare_exchange_weak(state, wanted, std::memory_order_acq_rel));
    return true;
}

// Drops the entries nobody holds; the shard's lock is held for writing.
void Sweep(Shard& shard) {
    std::erase_if(shard.files, [](const auto& item) { return item.second->state.load() == 0; });
    shard.sweepAt = std::max(kMinSweep, 2 * shard.files.size());
}

ShareLock::Entry* TakeInTable(const FileKey& key, bool exclusive) {
    Shard& shard = ShardOf(key);
    {
        std::shared_lock reading(shard.lock);
        if (auto found = shard.files.find(key); found != shard.files.end()) {
            return TryTake(*found->second, exclusive) ? found->second.get() : nullptr;
        }
    }
    std::unique_lock writing(shard.lock);
    if (shard.files.size() >= shard.sweepAt) {
        Sweep(shard);
    }
    auto& entry = shard.files[key]; // another thread may have added it since
    if (!entry) {
        entry = std::make_unique<ShareLock::Entry>();
    }
    return TryTake(*entry, exclusive) ? entry.get() : nullptr;
}

// No shard lock: a held entry is never dropped, and after this the holder no longer touches it.
void GiveBackInTable(ShareLock::Entry& entry, bool exclusive) {
    if (exclusive) {
        // Counted before the file is free, so a reader that gets its lock sees the count moved.
        g_exclusiveReleases.fetch_add(1);
        entry.state.fetch_and(~kExclusive, std::memory_order_release);
    } else {
        entry.state.fetch_sub(1, std::memory_order_release);
    }
}

int Flock(int descriptor, bool exclusive) {
    const int operation = (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int result;
    do {
        result = ::flock(descriptor, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

#ifdef CORVANTA_PLUGIN_BUILD
// A plug-in carries its own copy of this file, and with it a table the program's cannot see: its locks
// are flocks, which the program's exclusive flocks meet (it only reads: shared locks).
constexpr bool kTable = false;
#else
constexpr bool kTable = true;
#endif

} // namespace

ShareLock::~ShareLock() {
    Reset();
}

ShareLock::ShareLock(ShareLock&& other) noexcept
    : m_entry(std::exchange(other.m_entry, nullptr)), m_exclusive(other.m_exclusive) {}

ShareLock& ShareLock::operator=(ShareLock&& other) noexcept {
    if (this != &other) {
        Reset();
        m_entry = std::exchange(other.m_entry, nullptr);
        m_exclusive = other.m_exclusive;
    }
    return *this;
}

int ShareLock::Acquire(int descriptor, uint64_t device, uint64_t inode, FileShare share, ShareLock& lock) {
    lock.Reset();
    const bool exclusive = share == FileShare::Exclusive;
    Entry* entry = nullptr;
    if (kTable) {
        entry = TakeInTable(FileKey{device, inode}, exclusive);
        if (entry == nullptr) {
            return EWOULDBLOCK;
        }
    }
    if (exclusive || !kTable) {
        if (const int error = Flock(descriptor, exclusive); error != 0) {
            if (entry != nullptr) {
                GiveBackInTable(*entry, exclusive);
            }
            return error;
        }
    }
    lock.m_entry = entry;
    lock.m_exclusive = exclusive;
    return 0;
}

uint64_t ShareLock::ExclusiveReleases() {
    return g_exclusiveReleases.load();
}

void ShareLock::Reset() {
    if (Entry* entry = std::exchange(m_entry, nullptr)) {
        GiveBackInTable(*entry, m_exclusive);
    }
}

} // namespace Vuxo
