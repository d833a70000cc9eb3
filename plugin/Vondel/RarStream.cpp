#include "plugin/Vondel/RarStream.h"

#include "core/file/PelkFile.h"
#include "core/text/CodePage.h"
#include "core/text/Utf8.h"
#include "plugin/sdk/ByteWriter.h"
#include "plugin/sdk/ContentSource.h"
#include "plugin/sdk/Crc32.h"
#include "plugin/sdk/ReadAheadContent.h"

#include <algorithm>
#include <memory>

namespace Vuxo {

namespace {

constexpr std::string_view kMarkerAndMainHeader{"\x52\x61\x72\x21\x1A\x07\x00"
                                                "\xCF\x90\x73\x00\x00\x0D\x00\x00\x00\x00\x00\x00\x00",
                                                20};
constexpr uint8_t kFileHeaderType = 0x74;
constexpr uint16_t kFlagLongBlock = 0x8000;
constexpr uint16_t kFlagUnicodeName = 0x0200;
constexpr uint16_t kFlagLargeFile = 0x0100;
constexpr uint16_t kFlagDictionaryFile = 0x0020;
constexpr uint16_t kFlagDirectory = 0x00E0;
constexpr uint8_t kHostWin32 = 2;
constexpr uint8_t kUnpackVersion = 20;
constexpr uint8_t kMethodStore = 0x30;
constexpr size_t kFileHeaderSize = 32;
constexpr size_t kLargeFieldsSize = 8;
constexpr size_t kMaxHeaderSize = 0xFFFF;

bool IsLarge(const RarEntry& entry) {
    return (entry.size >> 32) != 0;
}

size_t NameFieldSize(const RarEntry& entry) {
    return entry.oemName.size() + 1 + entry.unicodeName.size();
}

} // namespace

// An entry's file, opened with the program's file class, as the source of its data.
class PelkFileSource : public ContentSource {
public:
    size_t Read(void* buffer, size_t count) override { return m_file.Read(buffer, count); }
    int64_t GetSize() override { return m_file.GetSize(); }
    PelkFile& File() { return m_file; }

private:
    PelkFile m_file;
};

const std::string& CRARStream::GetContentType() const {
    static const std::string type = "application/x-rar-compressed";
    return type;
}

std::string CRARStream::EncodeName(const std::u16string& name) {
    std::string encoded;
    encoded.reserve(1 + (name.size() + 3) / 4 + 2 * name.size());
    encoded.push_back('\0');
    for (size_t i = 0; i < name.size(); ++i) {
        if (i % 4 == 0) {
            encoded.push_back(static_cast<char>(0xAA));
        }
        encoded.push_back(static_cast<char>(name[i] & 0xFF));
        encoded.push_back(static_cast<char>(name[i] >> 8));
    }
    return encoded;
}

bool CRARStream::AddEntry(const std::string& rel, const EntryStatus& status) {
    if (!status.isDirectory) {
        // A file that cannot be read now is left out at listing.
        std::string folder;
        std::string inside;
        LocateEntry(GetRootIndex(), rel, folder, inside);
        PelkFile probe;
        if (!probe.OpenBeneath(folder, inside, PelkFile::ModeRead, false)) {
            return false;
        }
    }
    std::string name = ArchiveEntryName(rel);
    std::replace(name.begin(), name.end(), '/', '\\');
    const std::u16string wide = Utf8ToWide(name);

    RarEntry entry;
    entry.oemName = WideToMultiByte(wide, kCodePageKorean);
    entry.unicodeName = EncodeName(wide);
    if (kFileHeaderSize + kLargeFieldsSize + NameFieldSize(entry) > kMaxHeaderSize) {
        return false; // the format has no room for such a name
    }
    DescribeEntry(entry, rel, status);
    m_entries.push_back(std::move(entry));
    return true;
}

uint64_t CRARStream::GetTotalSize() const {
    uint64_t total = kMarkerAndMainHeader.size();
    for (const RarEntry& entry : m_entries) {
        total +=
            kFileHeaderSize + (IsLarge(entry) ? kLargeFieldsSize : 0) + NameFieldSize(entry) + entry.size;
    }
    return total;
}

bool CRARStream::WriteAll() {
    Write(kMarkerAndMainHeader.data(), kMarkerAndMainHeader.size());
    // The files held in memory are read ahead on a thread of its own, two at a time at most; it reads the
    // entries' places only, which stay as they are while the archive goes out.
    std::vector<const RarEntry*> held;
    uint64_t largest = 1;
    for (const RarEntry& entry : m_entries) {
        if (!entry.isDirectory && entry.size <= kSinglePassLimit) {
            held.push_back(&entry);
            largest = std::max(largest, entry.size);
        }
    }
    ReadAheadContent content(
        held.size(),
        [this, held](size_t index) {
            return ReadAheadContent::File{OpenEntry(*held[index]), held[index]->size};
        },
        static_cast<size_t>(largest), 2);
    for (RarEntry& entry : m_entries) {
        WriteFileEntry(entry, content);
    }
    return true;
}

std::string CRARStream::MakeHeader(const RarEntry& entry) const {
    const bool large = IsLarge(entry);
    const size_t nameSize = NameFieldSize(entry);
    uint16_t flags =
        kFlagLongBlock | kFlagUnicodeName | (entry.isDirectory ? kFlagDirectory : kFlagDictionaryFile);
    if (large) {
        flags |= kFlagLargeFile;
    }
    std::string header;
    header.reserve(kFileHeaderSize + kLargeFieldsSize + nameSize);
    ByteWriter writer(header);
    writer
        .U16(0) // HEAD_CRC, filled below
        .U8(kFileHeaderType)
        .U16(flags)
        .U16(static_cast<uint16_t>(kFileHeaderSize + (large ? kLargeFieldsSize : 0) + nameSize))
        .U32(static_cast<uint32_t>(entry.size))
        .U32(static_cast<uint32_t>(entry.size))
        .U8(kHostWin32)
        .U32(entry.crc)
        .U32(static_cast<uint32_t>(entry.date) << 16 | entry.time)
        .U8(kUnpackVersion)
        .U8(kMethodStore)
        .U16(static_cast<uint16_t>(nameSize))
        .U32(entry.attributes);
    if (large) {
        writer.U32(static_cast<uint32_t>(entry.size >> 32)).U32(static_cast<uint32_t>(entry.size >> 32));
    }
    writer.Bytes(entry.oemName).U8(0).Bytes(entry.unicodeName);
    const uint32_t crc = ~Crc32Update(0xFFFFFFFF, header.data() + 2, header.size() - 2);
    header[0] = static_cast<char>(crc & 0xFF);
    header[1] = static_cast<char>((crc >> 8) & 0xFF);
    return header;
}

std::unique_ptr<PelkFileSource> CRARStream::OpenEntry(const RarEntry& entry) const {
    std::string folder;
    std::string inside;
    LocateEntry(entry.rootIndex, entry.rel, folder, inside);
    auto source = std::make_unique<PelkFileSource>();
    if (!source->File().OpenBeneath(folder, inside, PelkFile::ModeRead, false)) {
        return nullptr;
    }
    return source;
}

void CRARStream::WriteFileEntry(RarEntry& entry, ReadAheadContent& held) {
    if (entry.isDirectory) {
        entry.crc = 0;
        const std::string header = MakeHeader(entry);
        Write(header.data(), header.size());
        return;
    }
    bool intact;
    if (entry.size <= kSinglePassLimit) {
        intact = WriteHeldEntry(entry, held);
    } else {
        const std::unique_ptr<PelkFileSource> source = OpenEntry(entry);
        intact = WriteEntryInTwoPasses(entry, source.get());
    }
    if (!intact) {
        ReportChangedFile(GetEntryPath(entry.rootIndex, entry.rel));
    }
}

bool CRARStream::WriteHeldEntry(RarEntry& entry, ReadAheadContent& held) {
    // One read into memory: the bytes sent are the bytes summed, whatever the file does meanwhile.
    bool intact = false;
    held.SendNextWhole([&](const ReadAheadContent::Result& read, const char* data, size_t length) {
        // A file that changed keeps its listed length but gets a CRC that cannot match.
        entry.crc = read.intact ? ~read.crc : read.crc;
        intact = read.intact;
        const std::string header = MakeHeader(entry);
        Write(header.data(), header.size());
        Write(data, length);
    });
    return intact;
}

bool CRARStream::WriteEntryInTwoPasses(RarEntry& entry, PelkFileSource* source) {
    // The CRC pass: exactly the listed size, as the data pass will send it.
    uint32_t crc = 0xFFFFFFFF;
    bool intact = StreamListedContent(source, entry.size, m_block, [&](const char* data, size_t length) {
        crc = Crc32Update(crc, data, length);
    });
    entry.crc = intact ? ~crc : crc;
    const std::string header = MakeHeader(entry);
    Write(header.data(), header.size());

    PelkFileSource* rewound =
        source != nullptr && source->File().Seek(0, PelkFile::Begin) == 0 ? source : nullptr;
    uint32_t sentCrc = 0xFFFFFFFF;
    const bool sentIntact =
        StreamListedContent(rewound, entry.size, m_block, [&](const char* data, size_t length) {
            sentCrc = Crc32Update(sentCrc, data, length);
            Write(data, length);
        });
    if (intact && (!sentIntact || ~sentCrc != entry.crc)) {
        intact = false; // it changed between the two passes; the header's CRC no longer matches
    }
    return intact;
}

} // namespace Vuxo
