// Reads the data of an archive's files on a thread of its own, a few blocks ahead of the request's thread
// that sends them, so that reading and summing one block overlaps sending the one before: on loopback and
// fast networks the send alone takes the request's thread. The files are read in the order given, each
// exactly its listed size (ListedContent), and the CRC-32 of the bytes is summed on the reading thread.
// Owned by an archive writer for one WriteAll; SendNext and SendNextWhole are called from the request's
// thread only. The blocks waiting to be sent are guarded by m_lock; at most `blockCount` blocks are held,
// so memory stays bounded and speed limits (which slow the sends) slow the reading with them. The
// destructor stops the reading thread and waits for it, also when the request ends early (a closed
// connection).
#pragma once

#include "plugin/sdk/ContentSource.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Vuxo {

class ReadAheadContent {
public:
    // A file opened for reading (null when it could not be), and the size the archive announced for it.
    struct File {
        std::unique_ptr<ContentSource> source;
        uint64_t listedSize = 0;
    };
    // Opens the file at a position of the order. Called on the reading thread: it may only read what does
    // not change while the archive is written.
    using Open = std::function<File(size_t index)>;
    using Sink = std::function<void(const char* data, size_t length)>;

    struct Result {
        uint32_t crc = 0;    // the running CRC (preset, not inverted), as Crc32Update leaves it
        bool intact = false; // the file supplied exactly its listed size and still has it
    };

    ReadAheadContent(size_t fileCount, Open open, size_t blockSize = kArchiveBlockSize,
                     size_t blockCount = 4);
    ReadAheadContent(const ReadAheadContent&) = delete;
    ReadAheadContent& operator=(const ReadAheadContent&) = delete;
    ~ReadAheadContent();

    // Feeds the next file's bytes to `sink` in order and gives its CRC. What `sink` throws passes on; the
    // files after it are then not sent. Without a reading thread (it could not be started) the file is
    // read here instead.
    Result SendNext(const Sink& sink);
    // For a file of at most one block: waits until it is read whole, then hands its result and its bytes
    // to `send` (for formats whose header carries the CRC before the data).
    void
    SendNextWhole(const std::function<void(const Result& result, const char* data, size_t length)>& send);

private:
    struct Chunk {
        int block = -1;
        size_t length = 0;
        bool last = false;
        Result result; // set on the last chunk of a file
    };

    // Reads the file at `index` into blocks that `takeBlock` gives and hands each on to `emit`; false
    // when `takeBlock` gave none (stopped).
    bool ReadFile(size_t index, const std::function<int()>& takeBlock,
                  const std::function<void(const Chunk&)>& emit);
    void ReadAll();
    // A free block, waiting for one; -1 once stopped.
    int TakeFreeBlock();
    void Publish(const Chunk& chunk);
    Chunk WaitForChunk();
    // Hands the next file's chunks to `take` in order, each block given back after it.
    void SendChunks(const std::function<void(const Chunk& chunk)>& take);
    void GiveBack(int block);
    char* BlockData(int block) { return m_storage.get() + static_cast<size_t>(block) * m_blockSize; }

    const size_t m_fileCount;
    const Open m_open;
    const size_t m_blockSize;
    std::unique_ptr<char[]> m_storage; // not cleared: a large block's pages are only taken as it fills
    size_t m_nextToSend = 0;

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<int> m_free;      // guarded by m_lock
    std::deque<Chunk> m_ready;    // guarded by m_lock
    bool m_stop = false;          // guarded by m_lock
    std::exception_ptr m_failure; // guarded by m_lock; what the reading thread threw
    std::thread m_reader;
};

} // namespace Vuxo
