#include "core/loader/Unzip.h"

#include "core/loader/BufferResize.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace Pelk {

// The archive's bytes as the ZIP library's file: a read position over the owned copy.
struct Unzip::MemorySource {
    const unsigned char* data = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;
};

namespace {

voidpf ZCALLBACK OpenSource(voidpf /*opaque*/, const void* filename, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) {
        return nullptr;
    }
    return const_cast<void*>(filename);
}

uLong ZCALLBACK ReadSource(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size) {
    auto* source = static_cast<Unzip::MemorySource*>(stream);
    uint64_t available = source->size - source->position;
    uint64_t count = std::min<uint64_t>(size, available);
    if (count != 0) {
        std::memcpy(buffer, source->data + source->position, static_cast<size_t>(count));
        source->position += count;
    }
    return static_cast<uLong>(count);
}

uLong ZCALLBACK WriteSource(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK TellSource(voidpf /*opaque*/, voidpf stream) {
    return static_cast<Unzip::MemorySource*>(stream)->position;
}

long ZCALLBACK SeekSource(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
    auto* source = static_cast<Unzip::MemorySource*>(stream);
    uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        base = 0;
        break;
    case ZLIB_FILEFUNC_SEEK_CUR:
        base = source->position;
        break;
    case ZLIB_FILEFUNC_SEEK_END:
        base = source->size;
        break;
    default:
        return -1;
    }
    // Offsets past the end (or wrapping around) are refused rather than clamped.
    if (offset > source->size - base) {
        return -1;
    }
    source->position = base + offset;
    return 0;
}

int ZCALLBACK CloseSource(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK SourceError(voidpf, voidpf) {
    return 0;
}

// unzReadCurrentFile takes an unsigned count; stay well inside it.
constexpr uint64_t kReadChunk = 1u << 20;

unzFile ArchiveOf(void* handle) {
    return static_cast<unzFile>(handle);
}

uint16_t GetUint16(const unsigned char* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// An archive of no members is its end record alone, which the ZIP library does not find at offset 0.
bool IsEmptyArchive(const std::vector<unsigned char>& bytes) {
    static const unsigned char kEndRecord[22] = {'P', 'K', 5, 6};
    return bytes.size() >= sizeof kEndRecord && std::memcmp(bytes.data(), kEndRecord, 20) == 0 &&
           bytes.size() == sizeof kEndRecord + GetUint16(bytes.data() + 20);
}

} // namespace

Unzip::Unzip() = default;

Unzip::~Unzip() {
    Close();
}

void Unzip::Close() {
    if (m_archive != nullptr) {
        unzClose(ArchiveOf(m_archive));
        m_archive = nullptr;
    }
    m_open = false;
    m_directory.clear();
    m_data.clear();
    m_source.reset();
}

bool Unzip::OpenFromMemory(const void* data, size_t length) {
    Close();
    if (data == nullptr && length != 0) {
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    m_data.assign(bytes, bytes + length);
    m_source = std::make_unique<MemorySource>();
    m_source->data = m_data.data();
    m_source->size = m_data.size();

    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenSource;
    functions.zread_file = ReadSource;
    functions.zwrite_file = WriteSource;
    functions.ztell64_file = TellSource;
    functions.zseek64_file = SeekSource;
    functions.zclose_file = CloseSource;
    functions.zerror_file = SourceError;
    functions.opaque = nullptr;
    m_archive = unzOpen2_64(m_source.get(), &functions);
    if (m_archive == nullptr && IsEmptyArchive(m_data)) {
        m_open = true;
        return true;
    }
    if (m_archive == nullptr || !ReadDirectory()) {
        Close();
        return false;
    }
    m_open = true;
    return true;
}

bool Unzip::ReadDirectory() {
    unzFile archive = ArchiveOf(m_archive);
    m_directory.clear();
    unz_global_info64 info{};
    if (unzGetGlobalInfo64(archive, &info) != UNZ_OK) {
        return false;
    }
    if (info.number_entry < 1) {
        return true;
    }
    int status = unzGoToFirstFile(archive);
    while (status == UNZ_OK) {
        unz_file_info64 member{};
        if (unzGetCurrentFileInfo64(archive, &member, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            return false;
        }
        std::string name(member.size_filename, '\0');
        if (!name.empty() &&
            unzGetCurrentFileInfo64(archive, &member, name.data(), static_cast<uLong>(name.size()), nullptr,
                                    0, nullptr, 0) != UNZ_OK) {
            return false;
        }
        // Archives made on Windows may separate folders with "\"; the program's names use "/".
        std::replace(name.begin(), name.end(), '\\', '/');
        name.erase(0, name.find_first_not_of('/'));
        if (name.empty()) {
            return false;
        }
        unz64_file_pos position{};
        if (unzGetFilePos64(archive, &position) != UNZ_OK) {
            return false;
        }
        m_directory.emplace(name, MemberPosition{position.pos_in_zip_directory, position.num_of_file});
        status = unzGoToNextFile(archive);
    }
    return status == UNZ_END_OF_LIST_OF_FILE;
}

bool Unzip::ExtractFile(Vuxo::ByteBuffer& buffer, const std::string& name) {
    auto found = m_directory.find(name);
    if (m_archive == nullptr || found == m_directory.end()) {
        buffer.clear();
        return false;
    }
    unzFile archive = ArchiveOf(m_archive);
    unz64_file_pos position{found->second.directoryOffset, found->second.fileNumber};
    unz_file_info64 member{};
    if (unzGoToFilePos64(archive, &position) != UNZ_OK ||
        unzGetCurrentFileInfo64(archive, &member, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
        buffer.clear();
        return false;
    }
    // Encrypted members cannot be read without a password; never hand out their raw bytes.
    if ((member.flag & 1u) != 0 || unzOpenCurrentFile(archive) != UNZ_OK) {
        buffer.clear();
        return false;
    }
    bool inflated = Inflate(buffer, member.uncompressed_size);
    // Closing checks the CRC once the whole member was read.
    bool checked = unzCloseCurrentFile(archive) == UNZ_OK;
    if (!inflated || !checked) {
        buffer.clear();
        return false;
    }
    return true;
}

bool Unzip::Inflate(Vuxo::ByteBuffer& buffer, uint64_t size) {
    if (!Vuxo::ResizeBuffer(buffer, size)) {
        return false;
    }
    uint64_t done = 0;
    while (done < size) {
        auto chunk = static_cast<unsigned>(std::min(size - done, kReadChunk));
        int got = unzReadCurrentFile(ArchiveOf(m_archive), buffer.data() + done, chunk);
        if (got <= 0) {
            return false; // an error, or the data ended before the recorded size
        }
        done += static_cast<uint64_t>(got);
    }
    // The member must end exactly at its recorded size.
    char extra = 0;
    return unzReadCurrentFile(ArchiveOf(m_archive), &extra, 1) == 0;
}

} // namespace Pelk
