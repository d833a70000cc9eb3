// Multipart bodies arriving in arbitrary pieces, read with arbitrary capacities. Checks that the reader
// never hands out more than asked or more than the body holds, keeps its memory bounded, and gives the
// same part bytes however the body was cut into pieces.
#include "core/http/MultipartReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

class PieceSource : public Vuxo::MultipartSource {
public:
    PieceSource(std::string_view body, const uint8_t* sizes, size_t count)
        : m_body(body), m_sizes(sizes), m_count(count) {}

    size_t ReceiveBody(char* buffer, size_t capacity) override {
        if (m_pos >= m_body.size()) {
            throw std::runtime_error("Connection closed");
        }
        size_t piece = m_count == 0 ? capacity : m_sizes[m_next++ % m_count] + 1u;
        size_t n = std::min({capacity, m_body.size() - m_pos, piece});
        std::copy_n(m_body.data() + m_pos, n, buffer);
        m_pos += n;
        return n;
    }

private:
    std::string_view m_body;
    size_t m_pos = 0;
    const uint8_t* m_sizes;
    size_t m_count;
    size_t m_next = 0;
};

// Every part's name and bytes, in order; a part that failed is its name and "!".
std::vector<std::string> ReadAll(std::string_view body, const uint8_t* sizes, size_t count, size_t capacity) {
    const std::string boundary = "xB";
    Vuxo::MultipartReader reader;
    size_t early = count > 0 ? std::min<size_t>(sizes[0], body.size()) : 0;
    reader.Setup(boundary, "\r\n" + std::string(body.substr(0, early)), static_cast<int64_t>(body.size()));
    PieceSource source(body.substr(early), sizes, count);
    const size_t bound =
        Vuxo::MultipartReader::kMaxPartHeader + Vuxo::MultipartReader::kReceiveChunk + capacity + 8;
    std::vector<std::string> out;
    std::vector<char> buffer(capacity);
    for (int parts = 0; parts < 64; ++parts) {
        std::string name = reader.NextPart(source);
        Check(reader.GetHeldCount() <= bound);
        if (name.empty()) {
            break;
        }
        std::string data;
        int n;
        while ((n = reader.ReadPartData(source, buffer.data(), capacity)) > 0) {
            Check(static_cast<size_t>(n) <= capacity);
            Check(reader.GetHeldCount() <= bound);
            data.append(buffer.data(), static_cast<size_t>(n));
            Check(data.size() <= body.size());
        }
        // A failed part may have handed out some bytes first, depending on the pieces: only the failure
        // counts.
        out.push_back(n < 0 ? name + "!" : name + "=" + data);
    }
    Check(reader.GetReceived() <= reader.GetExpected());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // First byte: how many of the next bytes are piece sizes; the rest is the body.
    size_t count = std::min<size_t>(data[0] % 8, size - 1);
    const uint8_t* sizes = data + 1;
    std::string_view body(reinterpret_cast<const char*>(data + 1 + count), size - 1 - count);
    size_t capacity = count > 0 ? sizes[count - 1] % 64 + 1 : 4096;
    auto pieces = ReadAll(body, sizes, count, capacity);
    auto whole = ReadAll(body, nullptr, 0, 1 << 16);
    Check(pieces == whole);
    return 0;
}
