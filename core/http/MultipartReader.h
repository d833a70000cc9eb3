// Reads a multipart/form-data body part by part as it arrives, without ever holding the body whole: the
// upload processor asks for the next part (its headers are parsed) and then for that part's bytes in pieces.
// The bytes come from a MultipartSource (the request's connection, which reports and paces them); the
// reader never asks it for more than the announced body length. Owned by one HttpRequest and used by its
// connection thread only; no lock.
#pragma once

#include "core/http/HeaderParsing.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

class MultipartSource {
public:
    virtual ~MultipartSource() = default;
    // Receives at least 1 and at most `capacity` body bytes; throws when the connection fails or closes.
    virtual size_t ReceiveBody(char* buffer, size_t capacity) = 0;
    // The same for a caller that wants all `capacity` bytes (never more than the body has left): the
    // source may wait until they are all here. By default one ReceiveBody.
    virtual size_t ReceiveBodyWhole(char* buffer, size_t capacity) { return ReceiveBody(buffer, capacity); }
};

class MultipartReader {
public:
    // Bytes asked of the source at a time.
    static constexpr size_t kReceiveChunk = 64 * 1024;
    // A part's header block longer than this is refused (the body is treated as having no further part).
    static constexpr size_t kMaxPartHeader = 16 * 1024;

    // `initial` holds what arrived with the request's header block, starting with the "\r\n" that ended
    // it; the body is read as if preceded by that line end, so the first delimiter line matches like
    // every later one. Bytes past contentLength + 2 are not taken. An empty boundary gives no parts.
    void Setup(std::string_view boundary, std::string_view initial, int64_t contentLength);

    bool IsActive() const { return !m_delimiter.empty(); }
    const std::string& GetDelimiter() const { return m_delimiter; }
    int64_t GetReceived() const { return m_received; }
    int64_t GetExpected() const { return m_expected; }
    bool IsBodyComplete() const { return m_received >= m_expected; }

    // Skips to the next part and reads its headers; its NAME, "" when there is no further part (the
    // closing delimiter, a body that ended, a part without a name).
    std::string NextPart(MultipartSource& source);
    // Up to `capacity` bytes of the current part. 0: the part ended at its delimiter. Negative: there is
    // no current part, or the body ended without the delimiter (a cut upload).
    int ReadPartData(MultipartSource& source, char* buffer, size_t capacity);
    // Receives and drops the rest of the body; the number of bytes dropped.
    int64_t Drain(MultipartSource& source);

    const std::string& GetPartName() const { return m_partName; }
    // FILENAME without any folder part ('\' and '/' both count).
    std::string GetPartFileName() const;
    const HttpFieldMap& GetPartHeaders() const { return m_partHeaders; }

    // Index of the delimiter among the held bytes, -1 when absent.
    int FindBoundary();
    size_t GetHeldCount() const { return m_end - m_begin; }

private:
    const char* Held() const { return m_buffer.data() + m_begin; }
    // Receives once into free room, at most `wanted` bytes; false when the body is used up.
    bool ReceiveMore(MultipartSource& source, size_t wanted);
    void Consume(size_t count);
    void MakeRoom(size_t count);
    // Searches the held bytes from m_searchFrom on; moves m_searchFrom past what is known not to match.
    long Search();
    long SearchIn(const char* data, size_t size, size_t& searchFrom) const;
    // ReadPartData for a part whose held bytes fit the caller's buffer.
    int ReceiveIntoCaller(MultipartSource& source, char* buffer, size_t capacity);
    bool ReadPartHeaders(MultipartSource& source);
    void ParseContentDisposition(std::string_view value);
    void EndParts();

    std::string m_delimiter;
    std::vector<char> m_buffer;
    size_t m_begin = 0;      // first held byte
    size_t m_end = 0;        // one past the last held byte
    size_t m_searchFrom = 0; // held bytes before m_begin + m_searchFrom hold no delimiter start
    int64_t m_received = 0;
    int64_t m_expected = 0;
    bool m_ended = false; // no further part will be found
    std::string m_partName;
    HttpFieldMap m_partHeaders;
};

} // namespace Vuxo
