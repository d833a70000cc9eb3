// One HTTP/1.1 request read from a connection, together with the writer of its response.
// The connection thread builds it on its stack for one request, its parser fills it, the request handler
// reads it and writes the response through it, then it is destroyed. Everything here belongs to that one
// thread; the aggregator behind the reporter guards itself.
//
// Response writing: BeginResponse once, SendHeader for each header, then either EndResponse followed by
// Write calls, or Write calls (the first one ends the header block) followed by EndResponse. Unless
// SetKeepAlive was called before the header block ended, "Connection:close" ends it and the connection
// closes after the response; before it, every header block carries the lines of its ContentPolicy
// (ResponsePolicy.h). Bytes are gathered: the header block and small writes leave in one send once
// 16 KiB are collected, before a large write, or at Flush (the connection flushes after the handler
// returns). A response that must reach the client at once (a page that streams progress) calls Flush.
// A body whose length is not known when the header goes out can be sent in chunks (SetChunked): each
// gathered piece leaves as one chunk, and EndResponse adds the last one.
// Every byte sent is reported as download traffic, every body byte received as upload traffic; the report
// is where speed limits pause the thread and where a kicked transfer throws.
//
// Bodies are read only when the handler asks (ReceiveForm, the multipart readers), so that a request can be
// refused from its header alone; a client that waits for "100 Continue" gets it just before its body is
// read. A response begun with a body still unread drops that body first, or, when the client is still
// waiting to send it, leaves it unsent and the connection closes after the response. A HEAD response
// carries its status and headers only.
#pragma once

#include "core/http/ClientWaits.h"
#include "core/http/HeaderParsing.h"
#include "core/http/MultipartReader.h"
#include "core/http/ResponsePolicy.h"
#include "core/http_headers/HttpAuthorization.h"
#include "core/net/Socket.h"
#include "core/transfer/TransferStatusReporter.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Vuxo {

class RequestParserThread;
class StopEvent;

class HttpRequest : private MultipartSource {
public:
    // Small writes are collected up to this many bytes before they are sent.
    static constexpr size_t kGatherLimit = 16 * 1024;

    // Sets the socket's receive and send time-outs. The reporter reports to `aggregator` (null: the
    // null aggregator). `places` (may be null) are the connection's places among its address's counts.
    HttpRequest(TCPSocket& socket, TransferStatusAggregator* aggregator,
                const ConnectionTimeouts& timeouts = ConnectionTimeouts(), AddressPlaces* places = nullptr);
    ~HttpRequest() override;

    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // ---- What the request says (filled by the parser) ----

    // kHttpGet, kHttpPost or kHttpOtherMethod.
    int GetMethod() const { return m_method; }
    const std::string& GetMethodWord() const { return m_methodWord; }
    // Path and query as received, still percent-coded.
    const std::string& GetUri() const { return m_uri; }
    const std::string& GetVersion() const { return m_version; }
    // The URI's path without its leading '/', percent-decoded ('+' stays '+').
    const std::string& GetPath() const { return m_path; }
    // Header names are upper case ("CONTENT-TYPE").
    const HttpFieldMap& GetHeaders() const { return m_headers; }
    const HttpFieldMap& GetQuery() const { return m_query; }
    // The url-encoded form of a POST; empty until ReceiveForm has read it.
    const HttpFieldMap& GetForm() const { return m_form; }
    // HEAD: answered like GET, without the body.
    bool IsHead() const { return m_head; }

    // Reads the url-encoded form body of a POST (nothing to do when there is none or it was read already).
    // False when it cannot be held now because the bodies that have arrived fill the memory set aside
    // for them, or this client's address holds its share of it: the rest is not read, and the connection
    // closes after the refusal the caller sends.
    bool ReceiveForm();

    // Dotted IPv4 addresses of the client and of this end; "" when unknown.
    std::string GetRemoteAddress() const;
    std::string GetLocalAddress() const;

    TransferStatusReporter& GetReporter() { return m_reporter; }

    // The connection's stop event (set when the server stops): it also ends throttle pauses. Not owned.
    void SetStopEvent(const StopEvent* stopEvent);
    // For a handler that waits between writes: waits up to `timeout`, true (at once) when the server is
    // stopping the connection and the handler should end.
    bool WaitForStop(std::chrono::milliseconds timeout) const;

    // ---- Authorization ----

    // Builds the credentials record from the "AUTHORIZATION" header (none without it).
    void ParseAuthorization();
    // False without credentials; else a byte-for-byte comparison (only Basic ever matches).
    bool CheckCredentials(const std::string& user, const std::string& password) const;
    // The user name of the credentials, "" without any.
    std::string GetUserName() const;

    // ---- Response ----

    // Drains an unread multipart body, then writes the status line (CR and LF dropped from the reason).
    void BeginResponse(int code, std::string_view reason);
    // One header line; CR and LF are dropped from name and value so a value can never start a new line.
    void SendHeader(std::string_view name, std::string_view value);
    // Body bytes; the first write ends the header block.
    void Write(const void* data, size_t length);
    void Write(const char* text);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    // Ends the header block if it is still open.
    void EndResponse();
    // Sends what has been gathered.
    void Flush();
    // Sends `count` bytes of an open file from `offset` straight from the file (sendfile), in pieces sized
    // by the current speed so that the speed limit paces them. Ends the header block first. Throws when
    // the file ends early (the response promised more) or the connection fails.
    void SendFileData(int fileDescriptor, int64_t offset, int64_t count);

    // Keeps the connection for the client's next request, unless the client said it closes ("Connection:
    // close", or HTTP/1.0) or its body is left unread: then the response ends with the connection.
    void SetKeepAlive() { m_keepAlive = ClientKeepsConnection() && IsBodyComplete(); }
    bool IsKeepAlive() const { return m_keepAlive; }
    bool ClientKeepsConnection() const;
    // Which browser policy the header block ends with (ResponsePolicy.h); the program's own by default.
    // Set before the header block ends.
    void SetContentPolicy(ContentPolicy policy) { m_contentPolicy = policy; }
    // Sends "Transfer-Encoding: chunked" and frames the body in chunks from then on (none for HEAD);
    // EndResponse writes the last chunk. Call before the header block ends, never with SendFileData.
    void SetChunked();
    // False for an HTTP/1.0 client, which cannot read chunks: a body of unknown length then ends with
    // the connection.
    bool ClientReadsChunks() const { return m_version != "HTTP/1.0"; }
    // Marks the header block as ended without sending anything (for output that carries its own).
    void SetHeaderEnded() { m_headerEnded = true; }
    bool IsHeaderEnded() const { return m_headerEnded; }

    // Reads and drops the rest of an unread body (none when the client still waits for "100 Continue":
    // the body stays unsent and the connection closes); the number of bytes dropped.
    int64_t DisposeBody();
    // One receive of body bytes from the connection (bounded as every body is), reported as upload traffic.
    int Receive(void* buffer, size_t capacity);

    // A log line "[address] message: path" (with ":user" after the address when the request carries a
    // user name), when the level passes the trace mask.
    void Log(int level, const char* format, ...) const __attribute__((format(printf, 3, 4)));

    // ---- Multipart bodies ----

    bool IsMultipartPost() const { return m_method == kHttpPost && m_multipart.IsActive(); }
    // Skips to the next part; its NAME, "" when there is no further part.
    std::string NextPart();
    // Up to `capacity` bytes of the current part: 0 at its end, negative when there is no current part
    // or the body ended without the closing delimiter (a cut upload).
    int ReadPartData(void* buffer, unsigned capacity);
    std::string GetPartName() const { return m_multipart.GetPartName(); }
    // FILENAME of the current part without any folder part, "" when none.
    std::string GetPartFileName() const { return m_multipart.GetPartFileName(); }
    // Index of the delimiter among the held body bytes, -1 when absent.
    int FindBoundary() { return m_multipart.FindBoundary(); }
    // Prepares part-by-part reading; `leftover` starts with the "\r\n" that ended the header block.
    // Returns how many leftover bytes belong to the body (the rest belongs to the connection).
    size_t SetupMultipart(std::string_view boundary, std::string_view leftover, int64_t contentLength);
    // True unless part of a body is still unread on the connection.
    bool IsBodyComplete() const { return !m_formPending && m_multipart.IsBodyComplete(); }

private:
    friend class RequestParserThread;

    // A url-encoded body of `length` bytes, of which `held` came with the header block.
    void SetPendingForm(std::string held, int64_t length);
    void SetExpectsContinue(bool expects) { m_expectsContinue = expects; }
    // False when the client waits for "100 Continue" that was not sent: its body must not be waited for.
    bool MayReadBody() const { return !m_expectsContinue || m_continueSent; }
    void SendContinue();
    int64_t DrainForm();
    void EndHeaderBlock();
    // Sends what is gathered when a line of `length` bytes would not fit with it.
    void BeginLine(size_t length);
    // Chunked bodies: room for the size line of the chunk that gathers next, and its size written in
    // before it is sent (an empty one is dropped, since a chunk of size 0 ends the body).
    void OpenChunk();
    void CloseChunk();
    void WriteChunked(const char* data, size_t length);
    void SendAll(const char* data, size_t length);
    size_t ReceiveBody(char* buffer, size_t capacity) override;
    size_t ReceiveBodyWhole(char* buffer, size_t capacity) override;
    // Reports body bytes received; their count.
    size_t ReportBody(size_t received);
    // Takes `bytes` of a form that arrived from the form budget; false when it has no room for them.
    bool TakeFormBudget(int64_t bytes);
    // Gives back what the form took and leaves the rest of it unread; false.
    bool RefuseForm();

    TCPSocket& m_socket;
    TransferStatusReporter m_reporter;
    ClientWaits m_waits;

    int m_method = kHttpGet;
    std::string m_methodWord;
    std::string m_uri;
    std::string m_version;
    std::string m_path;
    HttpFieldMap m_headers;
    HttpFieldMap m_query;
    HttpFieldMap m_form;
    bool m_head = false;

    // A url-encoded body not read yet: the bytes that came with the header and the whole length.
    bool m_formPending = false;
    std::string m_formHeld;
    int64_t m_formLength = 0;
    int64_t m_formReserved = 0; // taken from the form budget as it arrived, given back with the request
    bool m_formRefused = false; // left unread: the connection closes
    bool m_expectsContinue = false;
    bool m_continueSent = false;
    std::unique_ptr<HttpAuthorization> m_authorization;

    bool m_headerEnded = false;
    bool m_keepAlive = false;
    ContentPolicy m_contentPolicy = ContentPolicy::kProgram;
    bool m_chunked = false;                  // from SetChunked until the last chunk is written
    size_t m_chunkStart = std::string::npos; // the open chunk's size line in m_output
    std::string m_output;                    // gathered bytes not yet sent

    MultipartReader m_multipart;
    mutable std::string m_remoteAddress; // looked up once
    const StopEvent* m_stopEvent = nullptr;
};

} // namespace Vuxo
