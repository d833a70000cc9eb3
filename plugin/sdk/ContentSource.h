// The data of one archive entry, read so that exactly the size announced at listing goes out whatever
// the file did since. A ContentSource is an open file owned by the writer of one entry; one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Vuxo {

class ContentSource {
public:
    virtual ~ContentSource() = default;
    // Reads up to `count` bytes; fewer only at the end of the file or on an error.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // The current size of the file, or -1.
    virtual int64_t GetSize() = 0;
};

// A file opened read-only without any lock, so that it is shared with other readers and
// writers. Owns its descriptor.
class PlainFileSource : public ContentSource {
public:
    PlainFileSource() = default;
    PlainFileSource(const PlainFileSource&) = delete;
    PlainFileSource& operator=(const PlainFileSource&) = delete;
    ~PlainFileSource() override;

    // Opens the regular file `inside` below the folder `root` (an empty `inside` opens `root` itself),
    // proven to lie below it whatever links are swapped in meanwhile; false for anything else or when it
    // cannot be read.
    bool Open(const std::string& root, const std::string& inside);
    size_t Read(void* buffer, size_t count) override;
    int64_t GetSize() override;

private:
    int m_descriptor = -1;
};

// The block size the archive writers read and send in.
constexpr size_t kArchiveBlockSize = 256 * 1024;

// Exactly `listedSize` bytes of a file, a block at a time: the file's data, zeros in place of whatever it
// no longer has, and nothing of what it gained. `source` may be NULL (the file could not be opened),
// giving zeros throughout. Not owning the source; one thread.
class ListedContent {
public:
    ListedContent(ContentSource* source, uint64_t listedSize)
        : m_source(source), m_remaining(listedSize), m_listedSize(listedSize), m_intact(source != nullptr),
          m_exhausted(source == nullptr) {}

    bool Done() const { return m_remaining == 0; }
    // Fills `block` with the next min(capacity, what is left) bytes and gives that count.
    size_t Next(char* block, size_t capacity);
    // Once Done: whether the file supplied exactly the listed size and still has it.
    bool Intact();

private:
    ContentSource* m_source;
    uint64_t m_remaining;
    uint64_t m_listedSize;
    bool m_intact;
    bool m_exhausted;
};

// Feeds a ListedContent to `sink` in blocks of `buffer`'s size; gives its Intact().
bool StreamListedContent(ContentSource* source, uint64_t listedSize, std::vector<char>& buffer,
                         const std::function<void(const char* data, size_t length)>& sink);

} // namespace Vuxo
