#include "plugin/sdk/ReadAheadContent.h"

#include "plugin/sdk/Crc32.h"

#include <stdexcept>
#include <system_error>
#include <utility>

namespace Vuxo {

ReadAheadContent::ReadAheadContent(size_t fileCount, Open open, size_t blockSize, size_t blockCount)
    : m_fileCount(fileCount), m_open(std::move(open)), m_blockSize(blockSize),
      m_storage(new char[blockSize * blockCount]) {
    for (size_t i = 0; i < blockCount; ++i) {
        m_free.push_back(static_cast<int>(i));
    }
    if (fileCount == 0) {
        return;
    }
    try {
        m_reader = std::thread([this] { ReadAll(); });
    } catch (const std::system_error&) {
        // No thread to be had (the process is at its limit): SendNext reads on the request's thread.
    }
}

ReadAheadContent::~ReadAheadContent() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_reader.joinable()) {
        m_reader.join();
    }
}

bool ReadAheadContent::ReadFile(size_t index, const std::function<int()>& takeBlock,
                                const std::function<void(const Chunk&)>& emit) {
    const File file = m_open(index);
    ListedContent content(file.source.get(), file.listedSize);
    uint32_t crc = 0xFFFFFFFF;
    do { // once even for an empty file, whose only chunk carries its result
        Chunk chunk;
        chunk.block = takeBlock();
        if (chunk.block < 0) {
            return false;
        }
        char* data = BlockData(chunk.block);
        chunk.length = content.Next(data, m_blockSize);
        crc = Crc32Update(crc, data, chunk.length);
        chunk.last = content.Done();
        if (chunk.last) {
            chunk.result = Result{crc, content.Intact()};
        }
        emit(chunk);
    } while (!content.Done());
    return true;
}

void ReadAheadContent::ReadAll() {
    try {
        const auto take = [this] { return TakeFreeBlock(); };
        const auto publish = [this](const Chunk& chunk) { Publish(chunk); };
        for (size_t index = 0; index < m_fileCount && ReadFile(index, take, publish); ++index) {
        }
    } catch (...) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_failure = std::current_exception();
        m_changed.notify_all();
    }
}

int ReadAheadContent::TakeFreeBlock() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [this] { return m_stop || !m_free.empty(); });
    if (m_stop) {
        return -1;
    }
    const int block = m_free.back();
    m_free.pop_back();
    return block;
}

void ReadAheadContent::Publish(const Chunk& chunk) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_ready.push_back(chunk);
    }
    m_changed.notify_all();
}

ReadAheadContent::Chunk ReadAheadContent::WaitForChunk() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [this] { return !m_ready.empty() || m_failure; });
    if (m_ready.empty()) {
        std::rethrow_exception(m_failure);
    }
    const Chunk chunk = m_ready.front();
    m_ready.pop_front();
    return chunk;
}

void ReadAheadContent::GiveBack(int block) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_free.push_back(block);
    }
    m_changed.notify_all();
}

ReadAheadContent::Result ReadAheadContent::SendNext(const Sink& sink) {
    Result result;
    SendChunks([&](const Chunk& chunk) {
        if (chunk.length > 0) {
            sink(BlockData(chunk.block), chunk.length);
        }
        result = chunk.result;
    });
    return result;
}

void ReadAheadContent::SendNextWhole(
    const std::function<void(const Result& result, const char* data, size_t length)>& send) {
    SendChunks([&](const Chunk& chunk) {
        if (!chunk.last) {
            throw std::logic_error("ReadAheadContent: the file does not fit one block");
        }
        send(chunk.result, BlockData(chunk.block), chunk.length);
    });
}

void ReadAheadContent::SendChunks(const std::function<void(const Chunk& chunk)>& take) {
    if (m_nextToSend >= m_fileCount) {
        throw std::logic_error("ReadAheadContent: every file was sent already");
    }
    const size_t index = m_nextToSend++;
    if (!m_reader.joinable()) {
        ReadFile(
            index, [] { return 0; }, take);
        return;
    }
    for (;;) {
        const Chunk chunk = WaitForChunk();
        take(chunk);
        GiveBack(chunk.block);
        if (chunk.last) {
            return;
        }
    }
}

} // namespace Vuxo
