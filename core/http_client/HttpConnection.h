// The outgoing HTTP/1.1 client: one request and its response on the calling thread, over a blocking socket.
// GET with a query, POST with a url-encoded body, or POST with a multipart/form-data body that may carry
// files. Every request says "Connection: close"; the response is read by HttpResponseReader. The peer is
// not trusted to be quick: connecting, each send and each receive give up after kTimeoutMs of silence, and
// the whole exchange, the name lookup included, after kExchangeMs.
//
//   HttpConnection connection(kHttpClientGet, "http://127.0.0.1:8080/check.php");
//   connection.AddField("port", HttpFormValue("80"));
//   if (connection.Execute() == 200) { ... connection.Read(buffer, sizeof buffer) until it gives 0 ... }
//
// One thread uses an object, except Cancel(), which any thread may call: it makes a name lookup or a
// connect in progress give up (a lookup stuck in the resolver is left to end on its own), shuts the socket
// down so a blocked send or receive returns, and makes every later call fail (Execute gives -1, Read
// throws). The cancel lock guards the socket's creation, closing and shutdown.
#pragma once

#include "core/http_client/HttpResponseReader.h"
#include "core/net/Socket.h"
#include "core/platform/net/HostLookup.h"
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

class Clock;

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

// The socket, the cancel, the time limits and the raw sending and receiving under HttpConnection.
class BareHttpConnection : public ResponseSource {
public:
    // Connect, send and receive time-out: how long the peer may stay silent.
    static constexpr int kTimeoutMs = 15000;
    // The whole exchange, from the name lookup to the last byte read.
    static constexpr int kExchangeMs = 30000;

    BareHttpConnection();
    ~BareHttpConnection() override;
    BareHttpConnection(const BareHttpConnection&) = delete;
    BareHttpConnection& operator=(const BareHttpConnection&) = delete;

    // Any thread; see the file comment.
    void Cancel();
    bool IsCancelled() const { return m_cancelled.load(); }

    // Before Open: other limits than kTimeoutMs and kExchangeMs, another clock for the exchange's time
    // (not owned; it must outlive the object), another blocking name lookup (empty: the system's).
    void SetTimeouts(int silenceMs, int exchangeMs);
    void SetClock(Clock& clock) { m_clock = &clock; }
    void SetLookup(Net::BlockingLookup lookup) { m_lookup = std::move(lookup); }

protected:
    // Looks the host up and connects to "host" or "host:port" (port 80 by default); the exchange's time
    // starts here. False when cancelled, out of time or when it cannot be made.
    bool Open(const std::string& hostText);
    // Lets the connection go once the exchange is over (a later receive fails).
    void CloseConnection();
    void SendAll(std::string_view bytes);
    // Sends the next `size` bytes of an open file; throws when the file ends sooner (it shrank).
    void SendFileData(PelkFile& file, int64_t size);
    // ResponseSource: one receive of at most `capacity` bytes. Throws socket_exception on a failure, when
    // the exchange's time is up, or on a cancel.
    long Receive(char* buffer, size_t capacity) override;

private:
    [[noreturn]] void ThrowIfCancelledElse(int errorCode) const;
    // How long the next wait may take: the silence allowed, or less when the exchange's end is nearer.
    // Throws socket_exception "Connection timed out" when it has come.
    int NextWaitMs();

    std::mutex m_cancelLock;
    std::atomic<bool> m_cancelled{false};
    Net::WakeupSignal m_wake; // ends a lookup or a connect in progress
    TCPSocket m_socket;
    int m_silenceMs = kTimeoutMs;
    int m_exchangeMs = kExchangeMs;
    Clock* m_clock;
    int64_t m_endMs = 0; // the exchange's end on m_clock, set by Open
    Net::BlockingLookup m_lookup;
};

class HttpConnection : public BareHttpConnection {
public:
    static constexpr size_t kMaxHeaderBytes = HttpResponseReader::kMaxHeaderBytes;
    static constexpr size_t kMaxChunkLine = HttpResponseReader::kMaxChunkLine;

    // `url` is "http://" (optional, exact case) + "host[:port]" + the path ("/" when there is none).
    HttpConnection(int method, std::string_view url);
    ~HttpConnection() override;

    // Method GET: a query field appended to the path; the POST methods: a body field.
    void AddField(std::string name, HttpFormValue value);
    void AddHeader(std::string name, std::string value);

    // Sends the request and reads the response's header block; the status code. -1 when the method is
    // unknown, the request cannot be written as asked (CR, LF or a blank where a request would split,
    // a field name holding '&' or '='), the connection cannot be made or was cancelled. Throws when
    // the exchange fails later: socket_exception for the socket and the time limits, std::runtime_error
    // for a file part that cannot be opened or shrinks and for a response that HttpResponseReader refuses.
    int Execute();
    // The next body bytes, at most `size`; 0 at the end of the body (see HttpResponseReader::Read). Throws
    // when the body is malformed or cut short, or when the exchange's time is up. Once the body ended or
    // failed, the connection is closed (the object may live on, as the server's threads do).
    unsigned Read(char* buffer, unsigned size);

    // A response header's value (the name compared without case), "" when absent.
    std::string GetResponseHeader(std::string_view name) const;
    const std::string& GetHost() const { return m_host; }
    const std::string& GetPath() const { return m_path; }

private:
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

    int m_method;
    std::string m_host;
    std::string m_path;
    std::vector<std::pair<std::string, std::string>> m_headers;
    std::vector<Field> m_queryFields;
    std::vector<Field> m_bodyFields;
    std::string m_boundary;
    HttpResponseReader m_response{*this};
};

} // namespace Vuxo
