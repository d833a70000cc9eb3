#include "core/platform/fs/ShareLock.h"

#include "core/platform/fs/FileCalls.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <sys/file.h>
#include <unordered_map>
#include <utility>

namespace Vuxo {

namespace {

struct FileKey {
    uint64_t device;
    uint64_t inode;
    bool operator==(const FileKey&) const = default;
};

struct FileKeyHash {
    size_t operator()(const FileKey& key) const { return std::hash<uint64_t>()(key.inode * 31 + key.device); }
};

struct Holders {
    int shared = 0;
    bool exclusive = false;
};

struct Shard {
    std::mutex lock;
    std::unordered_map<FileKey, Holders, FileKeyHash> files;
};

constexpr size_t kShards = 64;

std::atomic<uint64_t> g_exclusiveReleases{0};

Shard& ShardOf(const FileKey& key) {
    // Never destroyed: files may still be closed by threads that end after static destruction began.
    static auto& shards = *new std::array<Shard, kShards>;
    return shards[FileKeyHash()(key) % kShards];
}

bool TakeInTable(const FileKey& key, bool exclusive) {
    Shard& shard = ShardOf(key);
    std::lock_guard guard(shard.lock);
    Holders& holders = shard.files[key]; // a new entry conflicts with nothing
    if (holders.exclusive || (exclusive && holders.shared > 0)) {
        return false;
    }
    if (exclusive) {
        holders.exclusive = true;
    } else {
        ++holders.shared;
    }
    return true;
}

void GiveBackInTable(const FileKey& key, bool exclusive) {
    Shard& shard = ShardOf(key);
    std::lock_guard guard(shard.lock);
    auto found = shard.files.find(key);
    if (found == shard.files.end()) {
        return;
    }
    if (exclusive) {
        found->second.exclusive = false;
        g_exclusiveReleases.fetch_add(1);
    } else {
        --found->second.shared;
    }
    if (!found->second.exclusive && found->second.shared <= 0) {
        shard.files.erase(found);
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
    : m_device(other.m_device), m_inode(other.m_inode), m_exclusive(other.m_exclusive),
      m_held(std::exchange(other.m_held, false)) {}

ShareLock& ShareLock::operator=(ShareLock&& other) noexcept {
    if (this != &other) {
        Reset();
        m_device = other.m_device;
        m_inode = other.m_inode;
        m_exclusive = other.m_exclusive;
        m_held = std::exchange(other.m_held, false);
    }
    return *this;
}

int ShareLock::Acquire(int descriptor, uint64_t device, uint64_t inode, FileShare share, ShareLock& lock) {
    lock.Reset();
    const bool exclusive = share == FileShare::Exclusive;
    const FileKey key{device, inode};
    if (kTable && !TakeInTable(key, exclusive)) {
        return EWOULDBLOCK;
    }
    if (exclusive || !kTable) {
        if (const int error = Flock(descriptor, exclusive); error != 0) {
            if (kTable) {
                GiveBackInTable(key, exclusive);
            }
            return error;
        }
    }
    lock.m_device = device;
    lock.m_inode = inode;
    lock.m_exclusive = exclusive;
    lock.m_held = kTable;
    return 0;
}

uint64_t ShareLock::ExclusiveReleases() {
    return g_exclusiveReleases.load();
}

void ShareLock::Reset() {
    if (m_held) {
        m_held = false;
        GiveBackInTable(FileKey{m_device, m_inode}, m_exclusive);
    }
}

} // namespace Vuxo
