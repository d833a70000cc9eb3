// The ZIP writer of the plug-in Mevrin: stored (uncompressed) entries named in code page 949, each
// followed by a data descriptor so the CRC-32 is computed while the file streams, then the central
// directory. ZIP64 records appear exactly where a size, an offset or the entry count needs them, so the
// length announced before the first byte always holds. Owned by one request and used by its thread; the
// files' data is read by a ReadAheadContent while the archive goes out.
#pragma once

#include "plugin/sdk/ArchiveStream.h"
#include "plugin/sdk/ReadAheadContent.h"

#include <exception>
#include <string>
#include <vector>

namespace Vuxo {

// Refuses the whole selection before anything is sent (names the code page cannot express).
class zs_exception : public std::exception {
public:
    explicit zs_exception(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

struct ZipEntry : ArchiveEntry {
    std::string name; // code page 949, "/" between components, a folder ends with "/"
};

class CZipStream : public CArchiveStream {
public:
    explicit CZipStream(CorvantaRequestProcessor& processor) : CArchiveStream(processor) {}

    uint64_t GetTotalSize() const override;
    bool WriteAll() override;
    const std::string& GetContentType() const override;

    const std::vector<ZipEntry>& GetEntries() const { return m_entries; }

protected:
    bool AddEntry(const std::string& rel, const EntryStatus& status) override;

private:
    struct EntryPlan {
        uint64_t localOffset = 0;
        bool zip64Sizes = false;
        bool zip64Offset = false;
    };
    struct Plan {
        std::vector<EntryPlan> entries;
        uint64_t centralOffset = 0;
        uint64_t centralSize = 0;
        bool zip64End = false;
        uint64_t totalSize = 0;
    };

    Plan MakePlan() const;
    void WriteEntry(ZipEntry& entry, const EntryPlan& plan, ReadAheadContent& content);
    void WriteCentralDirectoryAndEnd(const Plan& plan);

    std::vector<ZipEntry> m_entries;
};

} // namespace Vuxo
