// The outgoing HTTP/1.1 client: one request and its response on the calling thread, over a blocking socket.
// GET with a query, POST with a url-encoded body, or POST with a multipart/form-data body that may carry
// files. Every request says "Connection: close"; the response body is framed by its Content-Length, by
// chunks, or by the end of the stream. Connecting, each send and each receive give up after kTimeoutMs.
//
//   HttpConnection connection(kHttpClientGet, "http://127.0.0.1:8080/check.php");
//   connection.AddField("port", HttpFormValue("80"));
//   if (connection.Execute() == 200) { ... connection.Read(buffer, sizeof buffer) until it gives 0 ... }
//
// One thread uses an object, except Cancel(), which any thread may call: it makes a connect in progress
// give up, shuts the socket down so a blocked send or receive returns, and makes every later call fail
// (Execute gives -1, Read throws). The cancel lock guards the socket's creation, closing and shutdown.
#pragma once

#include "core/http/HeaderParsing.h"
#include "core/net/Socket.h"
#include "core/platform/net/WakeupSignal.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class PelkFile;

namespace Vuxo {

// Request methods of HttpConnection.
constexpr int kHttpClientGet = 0;
constexpr int kHttpClientPostForm = 1;
constexpr int kHttpClientPostMultipart = 2;

// A field value: a text, or (made by MakeFile) the UTF-8 path of a local file sent as a file part.
struct HttpFormValue {
    std::string text;
    bool isFile = false;

    HttpFormValue() = default;
    // A text converts, so that AddField("port", "80") reads as it means.
    HttpFormValue(std::string value) : text(std::move(value)) {}
    HttpFormValue(const char* value) : text(value) {}
    static HttpFormValue MakeFile(std::string path);

    // A file's name after its last "/" (else its last "\"), else the whole text; a text is itself.
    std::string GetFileName() const;
    // The path of a file value, "" for a text.
    std::string GetFilePath() const;
};

// The socket, the cancel and the raw sending and receiving under HttpConnection.
class BareHttpConnection {
public:
    // Connect, send and receive time-out.
    static constexpr int kTimeoutMs = 15000;

    BareHttpConnection();
    virtual ~BareHttpConnection();
    BareHttpConnection(const BareHttpConnection&) = delete;
    BareHttpConnection& operator=(const BareHttpConnection&) = delete;

    // Any thread; see the file comment.
    void Cancel();
    bool IsCancelled() const { return m_cancelled.load(); }

protected:
    // Creates the socket and connects to "host" or "host:port" (port 80 by default). False when cancelled
    // or when it cannot be made.
    bool Open(const std::string& hostText);
    void SendAll(std::string_view bytes);
    // Sends the next `size` bytes of an open file; throws when the file ends sooner (it shrank).
    void SendFileData(PelkFile& file, int64_t size);
    // One receive of at most `capacity` bytes; 0 at the end of the stream. Throws socket_exception on a
    // failure, a time-out or a cancel.
    size_t ReceiveSome(char* buffer, size_t capacity);

private:
    [[noreturn]] void ThrowIfCancelledElse(int errorCode) const;

    std::mutex m_cancelLock;
    std::atomic<bool> m_cancelled{false};
    Net::WakeupSignal m_wake; // ends a connect in progress
    TCPSocket m_socket;
};

class HttpConnection : public BareHttpConnection {
public:
    // A response header block longer than this is refused.
    static constexpr size_t kMaxHeaderBytes = 10240;
    // A chunk-size line (and its extensions) longer than this is refused.
    static constexpr size_t kMaxChunkLine = 1024;

    // `url` is "http://" (optional, exact case) + "host[:port]" + the path ("/" when there is none).
    HttpConnection(int method, std::string_view url);
    ~HttpConnection() override;

    // Method GET: a query field appended to the path; the POST methods: a body field.
    void AddField(std::string name, HttpFormValue value);
    void AddHeader(std::string name, std::string value);

    // Sends the request and reads the response's header block; the status code. -1 when the method is
    // unknown, the request cannot be written as asked (CR, LF or a blank where a request would split,
    // a field name holding '&' or '='), the connection cannot be made or was cancelled. Throws when
    // the exchange fails later: socket_exception for the socket, std::runtime_error for a file part that
    // cannot be opened or shrinks and for a response that is not HTTP or whose header block is too long.
    int Execute();
    // The next body bytes, at most `size`; 0 at the end of the body. Throws when the body is malformed or
    // cut short (the connection closed before the Content-Length or the last chunk).
    unsigned Read(char* buffer, unsigned size);

    // A response header's value (the name compared without case), "" when absent.
    std::string GetResponseHeader(std::string_view name) const;
    const std::string& GetHost() const { return m_host; }
    const std::string& GetPath() const { return m_path; }

private:
    enum class Framing { None, Length, Chunked, Close };
    enum class ChunkState { Size, Data, DataEnd, Done };
    struct Field {
        std::string name;
        HttpFormValue value;
    };
    struct Part;

    bool IsWritable() const;
    std::string EncodeFields(const std::vector<Field>& fields) const;
    static std::string MakeBoundary();
    // The request line and header block (with a url-encoded body); for a multipart body its parts.
    std::string BuildRequest(std::vector<Part>& parts);
    std::string ClosingDelimiter() const;
    void SendMultipart(std::vector<Part>& parts);
    // Reads one header block and parses it; its status code.
    int ReadResponseHead();
    int ParseResponseHead(std::string_view head);
    void ChooseFraming(int status);
    // Hands out buffered bytes first, then receives into `buffer`; 0 at the end of the stream.
    size_t Take(char* buffer, size_t size);
    std::string ReadLine(size_t limit);
    unsigned ReadChunked(char* buffer, unsigned size);

    int m_method;
    std::string m_host;
    std::string m_path;
    std::vector<std::pair<std::string, std::string>> m_headers;
    std::vector<Field> m_queryFields;
    std::vector<Field> m_bodyFields;
    HttpFieldMap m_responseHeaders;
    std::string m_boundary;
    Framing m_framing = Framing::None;
    uint64_t m_remaining = 0; // Length: body bytes not yet handed out
    ChunkState m_chunkState = ChunkState::Size;
    uint64_t m_chunkLeft = 0;  // Chunked: bytes of the current chunk not yet handed out
    std::string m_received;    // received bytes not yet consumed
    size_t m_receivedFrom = 0; // consumed bytes at the front of m_received
};

} // namespace Vuxo
