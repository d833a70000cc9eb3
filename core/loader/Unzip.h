// Reader of a ZIP archive held in memory (the built-in skin is one): it keeps its own copy of the
// archive's bytes, reads the directory once when opened, and inflates members by name.
// Member names use "/" between folders and have no leading separator ("img/a.gif"); they match
// exactly, case-sensitively. Owned by whoever opened it; used by one thread at a time (no lock).
#pragma once

#include "core/loader/Loaders.h"
#include "core/thread/Noncopyable.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Pelk {

class Unzip : private Vuxo::Noncopyable {
public:
    Unzip();
    virtual ~Unzip();

    // Copies `length` bytes from `data` and opens them as an archive, closing one that was open.
    // False when they are not a readable archive; the object is then closed.
    bool OpenFromMemory(const void* data, size_t length);

    // The inflated member `name`. False, with the buffer emptied, when no archive is open, there is
    // no such member, or it cannot be inflated to exactly its recorded size with a matching checksum
    // (encrypted members never can). A member of 0 bytes gives true and an empty buffer.
    bool ExtractFile(Vuxo::ByteBuffer& buffer, const std::string& name);

    bool IsOpen() const { return m_open; }

    // The archive's bytes as the ZIP library sees its file (defined in Unzip.cpp).
    struct MemorySource;

private:
    // Where a member's directory record sits, as the ZIP library reports it.
    struct MemberPosition {
        uint64_t directoryOffset;
        uint64_t fileNumber;
    };
    void Close();
    bool ReadDirectory();
    bool Inflate(Vuxo::ByteBuffer& buffer, uint64_t size);

    std::map<std::string, MemberPosition> m_directory;
    std::vector<unsigned char> m_data;
    std::unique_ptr<MemorySource> m_source;
    void* m_archive = nullptr; // unzFile of the ZIP library; none for an archive without members
    bool m_open = false;
};

} // namespace Pelk
