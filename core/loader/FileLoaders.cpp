#include "core/file/PelkFile.h"
#include "core/loader/BufferResize.h"
#include "core/loader/Loaders.h"
#include "core/loader/Unzip.h"
#include "core/text/Utf8.h"

#include <cstring>

namespace Vuxo {
namespace {

constexpr unsigned char kUtf8Bom[3] = {0xEF, 0xBB, 0xBF};

// Reads `size` bytes from the file's current position into `out`; false unless all arrived.
template <typename Container> bool ReadExactly(PelkFile& file, Container& out, int64_t size) {
    if (size < 0 || !ResizeBuffer(out, static_cast<uint64_t>(size))) {
        return false;
    }
    return file.Read(out.data(), out.size()) == out.size();
}

} // namespace

bool LoadFileData(ByteBuffer& buffer, const std::string& utf8Path) {
    PelkFile file;
    ByteBuffer data;
    if (!file.Open(utf8Path, PelkFile::ModeRead, false) || !ReadExactly(file, data, file.GetSize())) {
        buffer.clear();
        return false;
    }
    buffer = std::move(data);
    return true;
}

bool LoadUtf8TextFile(std::string& text, const std::string& utf8Path) {
    PelkFile file;
    if (!file.Open(utf8Path, PelkFile::ModeRead, false)) {
        return false;
    }
    int64_t size = file.GetSize();
    unsigned char mark[3];
    if (size < 3 || file.Read(mark, 3) != 3 || !HasUtf8Bom(mark)) {
        return false;
    }
    std::string content;
    if (!ReadExactly(file, content, size - 3)) {
        return false;
    }
    text = std::move(content);
    return true;
}

bool LoadUtf8TextFile(std::string& text, const std::u16string& path) {
    return LoadUtf8TextFile(text, WideToUtf8(path));
}

bool HasUtf8Bom(const void* bytes) {
    return std::memcmp(bytes, kUtf8Bom, sizeof kUtf8Bom) == 0;
}

bool LoadZipMember(ByteBuffer& buffer, const std::string& memberName, Pelk::Unzip& archive) {
    return archive.ExtractFile(buffer, memberName);
}

} // namespace Vuxo
