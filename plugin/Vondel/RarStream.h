// The RAR writer of the plug-in Vondel: the RAR 2.x/3.x block format with every entry stored and named
// both in code page 949 and in Unicode, so that any name survives. The CRC-32 goes in the header before
// the data: a file of up to kSinglePassLimit bytes is read once into memory and sent from there (read
// ahead by a ReadAheadContent while the entries before it go out), a larger one is read twice through one
// open file. Files of 4 GiB and more carry the format's high size fields. Owned by one request and used by
// its thread.
#pragma once

#include "core/file/PelkFile.h"
#include "plugin/sdk/ArchiveStream.h"

#include <memory>
#include <string>
#include <vector>

namespace Vuxo {

struct RarEntry : ArchiveEntry {
    std::string oemName;     // code page 949, "\" between components
    std::string unicodeName; // the format's encoded UTF-16 name
};

class PelkFileSource;
class ReadAheadContent;

class CRARStream : public CArchiveStream {
public:
    // Files up to this size are held in memory for the time of their entry.
    static constexpr uint64_t kSinglePassLimit = 4 * 1024 * 1024;

    explicit CRARStream(CorvantaRequestProcessor& processor) : CArchiveStream(processor) {}

    uint64_t GetTotalSize() const override;
    bool WriteAll() override;
    const std::string& GetContentType() const override;

    // The format's Unicode name field for a UTF-16 name: a zero high byte, then before every fourth
    // unit a flag byte 0xAA (four units of two bytes each), and each unit low byte first.
    static std::string EncodeName(const std::u16string& name);

protected:
    bool AddEntry(const std::string& rel, const EntryStatus& status) override;

private:
    // The entry's file opened for reading, or null.
    std::unique_ptr<PelkFileSource> OpenEntry(const RarEntry& entry) const;
    void WriteFileEntry(RarEntry& entry, ReadAheadContent& held);
    // Both write the header and data of a file entry; true when the file gave exactly its listed size.
    // The first takes the next of the files `held` reads ahead; the second reads twice through `source`
    // (null: the file could not be opened).
    bool WriteHeldEntry(RarEntry& entry, ReadAheadContent& held);
    bool WriteEntryInTwoPasses(RarEntry& entry, PelkFileSource* source);
    std::string MakeHeader(const RarEntry& entry) const;

    std::vector<RarEntry> m_entries;
};

} // namespace Vuxo
