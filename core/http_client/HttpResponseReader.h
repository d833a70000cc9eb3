// Reads one HTTP/1.1 response from a byte source: the header block (after any interim 1xx answers), then
// the body, framed by its Content-Length, by chunks, or by the end of the stream. Every peer is hostile:
// all header blocks of a response together may take kMaxHeaderBytes, at most kMaxInterimResponses interim
// answers come before the real one, a chunk-size line may take kMaxChunkLine, and bytes already handed out
// are dropped, so what the reader holds stays below those bounds. Owned by the connection that reads with
// it (or a test); one thread uses it; no lock.
#pragma once

#include "core/http/HeaderParsing.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Vuxo {

// Where a response's bytes come from.
class ResponseSource {
public:
    // What Receive gives when nothing came within the idle time-out; the exchange may still go on.
    static constexpr long kIdle = -1;

    virtual ~ResponseSource() = default;
    // One receive of at most `capacity` bytes: the count, 0 at the end of the stream, or kIdle. Throws on a
    // failure, when the exchange's time is up, and on a cancel.
    virtual long Receive(char* buffer, size_t capacity) = 0;
};

class HttpResponseReader {
public:
    // The header blocks of one response, interim ones included, may not be longer than this together.
    static constexpr size_t kMaxHeaderBytes = 10240;
    static constexpr int kMaxInterimResponses = 8;
    // A chunk-size line (with its extensions) longer than this is refused.
    static constexpr size_t kMaxChunkLine = 1024;

    explicit HttpResponseReader(ResponseSource& source) : m_source(source) {}
    HttpResponseReader(const HttpResponseReader&) = delete;
    HttpResponseReader& operator=(const HttpResponseReader&) = delete;

    // Reads header blocks until the real answer (1xx ones other than 101 are interim) and parses it; its
    // status code. Throws std::runtime_error for an answer that is not HTTP, too long or has too many
    // interim answers, socket_exception when the stream ends or stays silent for the idle time-out.
    int ReadHead();
    // The next body bytes, at most `size`; 0 at the end of the body. Throws when the body is malformed or
    // cut short. A body framed by the end of the stream also ends where the source stays silent for its
    // idle time-out: a server that ignores "Connection: close" still gets its bytes read.
    unsigned Read(char* buffer, unsigned size);

    // A header's value of the real answer (the name compared without case), "" when absent.
    std::string GetHeader(std::string_view name) const;
    // Bytes the reader holds: those not yet handed out, and consumed ones not yet dropped.
    size_t HeldBytes() const { return m_received.size(); }

private:
    enum class Framing { None, Length, Chunked, Close };
    enum class ChunkState { Size, Data, DataEnd, Done };

    std::string ReadHeadBlock();
    int ParseHead(std::string_view head);
    void ChooseFraming(int status);
    // Drops the bytes already consumed, then receives at most `room` more; false when the source was idle.
    // Throws socket_exception "Connection closed" at the end of the stream.
    bool ReceiveMore(size_t room);
    // Hands out held bytes first, else receives into `buffer`; the count, 0 at the end, or kIdle.
    long Take(char* buffer, size_t size);
    // Take for a body whose end is known: its end of the stream and its silence are errors.
    size_t TakeFramed(char* buffer, size_t size);
    std::string ReadLine(size_t limit);
    unsigned ReadChunked(char* buffer, unsigned size);
    unsigned ReadLength(char* buffer, unsigned size);

    ResponseSource& m_source;
    HttpFieldMap m_headers;
    size_t m_headBytes = 0; // header bytes of this response read so far, interim answers included
    Framing m_framing = Framing::None;
    uint64_t m_remaining = 0; // Length: body bytes not yet handed out
    ChunkState m_chunkState = ChunkState::Size;
    uint64_t m_chunkLeft = 0;  // Chunked: bytes of the current chunk not yet handed out
    std::string m_received;    // received bytes not yet consumed
    size_t m_receivedFrom = 0; // consumed bytes at the front of m_received
};

} // namespace Vuxo
