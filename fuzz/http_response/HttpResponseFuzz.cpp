// The outgoing client's response reader over responses arriving in arbitrary pieces, with silences
// between them, read with arbitrary capacities: the status line, header lines and folds, interim answers,
// chunks, Content-Length and close framing. Checks that it never hands out more than asked or than the
// response holds, that what it holds stays bounded, and that without silences the outcome does not
// depend on how the response was cut.
#include "core/http_client/HttpResponseReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Hands the response out in the given piece sizes (cycled); a size of 0 is one silence.
class PieceSource : public Vuxo::ResponseSource {
public:
    PieceSource(std::string_view bytes, const uint8_t* sizes, size_t count)
        : m_bytes(bytes), m_sizes(sizes), m_count(count) {}

    long Receive(char* buffer, size_t capacity) override {
        Check(capacity > 0);
        const size_t piece = m_count == 0 ? capacity : m_sizes[m_next++ % m_count];
        if (piece == 0 && m_silences++ < 16) {
            return kIdle;
        }
        const size_t n = std::min({capacity, m_bytes.size() - m_pos, std::max<size_t>(piece, 1)});
        std::copy_n(m_bytes.data() + m_pos, n, buffer);
        m_pos += n;
        return static_cast<long>(n);
    }

private:
    std::string_view m_bytes;
    size_t m_pos = 0;
    const uint8_t* m_sizes;
    size_t m_count;
    size_t m_next = 0;
    int m_silences = 0;
};

constexpr size_t kHeldBound =
    Vuxo::HttpResponseReader::kMaxHeaderBytes + Vuxo::HttpResponseReader::kMaxChunkLine + 1;

// The status and the body, or where it failed.
std::string ReadResponse(std::string_view bytes, const uint8_t* sizes, size_t count, size_t capacity) {
    PieceSource source(bytes, sizes, count);
    Vuxo::HttpResponseReader reader(source);
    std::string outcome;
    try {
        const int status = reader.ReadHead();
        Check(status >= 0 && status <= 999 && (status >= 200 || status == 101 || status < 100));
        outcome = std::to_string(status) + ":";
    } catch (const std::exception&) {
        Check(reader.HeldBytes() <= kHeldBound);
        return "head!";
    }
    std::vector<char> buffer(capacity);
    std::string body;
    try {
        for (unsigned got; (got = reader.Read(buffer.data(), static_cast<unsigned>(capacity))) > 0;) {
            Check(got <= capacity);
            Check(reader.HeldBytes() <= kHeldBound);
            body.append(buffer.data(), got);
            Check(body.size() <= bytes.size());
        }
    } catch (const std::exception&) {
        // Bytes handed out before a failure depend on the pieces: only the failure counts.
        return outcome + "body!";
    }
    return outcome + body;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    // First byte: how many of the next bytes are piece sizes; the rest is the response.
    const size_t count = std::min<size_t>(data[0] % 8, size - 1);
    const uint8_t* sizes = data + 1;
    const std::string_view response(reinterpret_cast<const char*>(data + 1 + count), size - 1 - count);
    const size_t capacity = count > 0 ? sizes[count - 1] % 64 + 1 : 4096;
    const std::string pieces = ReadResponse(response, sizes, count, capacity);
    const std::string whole = ReadResponse(response, nullptr, 0, 1 << 16);
    if (std::none_of(sizes, sizes + count, [](uint8_t piece) { return piece == 0; })) {
        Check(pieces == whole);
    }
    return 0;
}
