// The outgoing HTTP client against a scripted raw server on 127.0.0.1: the request bytes it writes, the
// three ways a response body is framed, malformed, oversized, endless and slow answers, a refused port, a
// cancel, and a cancel while the name lookup hangs.
#include "core/http_client/HttpConnection.h"
#include "core/file/PelkFile.h"
#include "core/http/HeaderParsing.h"
#include "core/http/MultipartReader.h"
#include "core/net/Socket.h"
#include "fixtures/support/HangingLookup.h"
#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

// Accepts one connection, reads the request (its header block and Content-Length bytes), then sends the
// reply segments one by one and either closes or keeps the connection until the client goes.
class ScriptedServer {
public:
    explicit ScriptedServer(std::vector<std::string> segments, bool keepOpen = false)
        : m_segments(std::move(segments)), m_keepOpen(keepOpen) {
        EXPECT_TRUE(m_listener.Listen(0));
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedServer() {
        m_listener.Shutdown();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_listener.GetLocalPort()) + path;
    }
    std::string HostHeader() const { return "Host: 127.0.0.1:" + std::to_string(m_listener.GetLocalPort()); }
    // What the client sent; waits until the server is done with the connection.
    const std::string& Request() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_request;
    }
    // Waits (bounded: a hang, not a measure of speed) until the client ended the kept connection.
    bool WaitForClientClose() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_closed.wait_for(lock, std::chrono::seconds(60), [this] { return m_clientClosed; });
    }

private:
    void Serve() {
        try {
            ServeOne();
        } catch (const std::exception&) {
            // The client went early; what it did is checked by the test.
        }
    }

    void ServeOne() {
        TCPSocket client;
        if (!m_listener.Accept(client)) {
            return;
        }
        ReadRequest(client);
        for (size_t i = 0; i < m_segments.size(); ++i) {
            if (i > 0) {
                // Separate segments on the wire, so that the client meets them one at a time.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            client.Send(m_segments[i].data(), m_segments[i].size());
        }
        if (m_keepOpen) {
            char byte;
            while (client.ReceiveRaw(&byte, 1, 0) > 0) {
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_clientClosed = true;
            m_closed.notify_all();
        }
    }

    void ReadRequest(TCPSocket& client) {
        char buffer[4096];
        size_t headEnd = std::string::npos;
        size_t wanted = 0;
        while (headEnd == std::string::npos || m_request.size() < wanted) {
            const long got = client.ReceiveRaw(buffer, sizeof buffer, 0);
            if (got <= 0) {
                return;
            }
            m_request.append(buffer, static_cast<size_t>(got));
            if (headEnd == std::string::npos && (headEnd = m_request.find("\r\n\r\n")) != std::string::npos) {
                const size_t length = m_request.find("Content-Length: ");
                wanted = headEnd + 4 +
                         (length < headEnd ? std::strtoull(m_request.c_str() + length + 16, nullptr, 10) : 0);
            }
        }
    }

    std::vector<std::string> m_segments;
    bool m_keepOpen;
    TCPServerSocket m_listener;
    std::string m_request;
    std::mutex m_mutex;
    std::condition_variable m_closed;
    bool m_clientClosed = false;
    std::thread m_thread;
};

std::string ReadAll(HttpConnection& connection) {
    std::string body;
    char piece[7];
    for (unsigned got; (got = connection.Read(piece, sizeof piece)) > 0;) {
        body.append(piece, got);
    }
    return body;
}

const std::string kOkHead = "HTTP/1.1 200 OK\r\n";

TEST(HttpConnectionTest, UrlParts) {
    HttpConnection bare(kHttpClientGet, "http://example.org");
    EXPECT_EQ(bare.GetHost(), "example.org");
    EXPECT_EQ(bare.GetPath(), "/");
    HttpConnection capitals(kHttpClientGet, "HTTP://example.org/a");
    EXPECT_EQ(capitals.GetHost(), "HTTP:");
    EXPECT_EQ(capitals.GetPath(), "//example.org/a");
    HttpFormValue file = HttpFormValue::MakeFile("C:\\dir\\a.txt");
    EXPECT_EQ(file.GetFileName(), "a.txt");
    EXPECT_EQ(HttpFormValue::MakeFile("/x/b\\c.txt").GetFileName(), "b\\c.txt");
    EXPECT_EQ(HttpFormValue("p/q").GetFileName(), "p/q");
    EXPECT_EQ(HttpFormValue("p/q").GetFilePath(), "");
}

TEST(HttpConnectionTest, GetAndFormPostRequestBytes) {
    {
        ScriptedServer server({kOkHead + "Content-Length: 2\r\n\r\nok"});
        HttpConnection connection(kHttpClientGet, server.Url("/p?z=0"));
        connection.AddField("a", "1");
        connection.AddField("b", "x y");
        ASSERT_EQ(connection.Execute(), 200);
        EXPECT_EQ(ReadAll(connection), "ok");
        EXPECT_EQ(server.Request(), "GET /p?z=0&a=1&b=x%20y HTTP/1.1\r\n" + server.HostHeader() +
                                        "\r\nConnection: close\r\n\r\n");
    }
    {
        ScriptedServer server({kOkHead + "Content-Length: 0\r\n\r\n"});
        HttpConnection connection(kHttpClientPostForm, server.Url("/f"));
        connection.AddHeader("X-Test", "1");
        connection.AddField("port", "80");
        ASSERT_EQ(connection.Execute(), 200);
        EXPECT_EQ(ReadAll(connection), "");
        EXPECT_EQ(server.Request(), "POST /f HTTP/1.1\r\nX-Test: 1\r\n" + server.HostHeader() +
                                        "\r\nConnection: close\r\nContent-Length: 7\r\n"
                                        "Content-Type: application/x-www-form-urlencoded\r\n\r\nport=80");
    }
}

// Everything of the body already arrived with the request; the source is never asked.
class NoMoreBytes : public MultipartSource {
public:
    size_t ReceiveBody(char*, size_t) override { throw std::runtime_error("asked for more"); }
};

TEST(HttpConnectionTest, MultipartPostReadsBackWithTheMultipartReader) {
    Fixtures::TempDir folder;
    const std::string path = folder.Path("part.bin");
    const std::string fileBytes = std::string("file\0bytes\r\n--", 14) + std::string(70000, 'z');
    ASSERT_TRUE(Fixtures::WriteFile(path, fileBytes));

    ScriptedServer server({kOkHead + "Content-Length: 0\r\n\r\n"});
    HttpConnection connection(kHttpClientPostMultipart, server.Url("/up"));
    connection.AddField("note", "a b&c");
    connection.AddField("upload", HttpFormValue::MakeFile(path));
    ASSERT_EQ(connection.Execute(), 200);

    const std::string& request = server.Request();
    const size_t headEnd = request.find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos);
    RequestHead head;
    ParseRequestHead(request.substr(0, headEnd), head);
    EXPECT_EQ(head.methodWord, "POST");
    const std::string boundary = GetMultipartBoundary(head.headers["CONTENT-TYPE"]);
    EXPECT_GE(boundary.size(), 20u);
    EXPECT_LE(boundary.size(), 29u);
    const std::string body = request.substr(headEnd + 2); // from the line end that closes the header block
    EXPECT_EQ(std::stoll(head.headers["CONTENT-LENGTH"]), static_cast<long long>(body.size()) - 2);

    EXPECT_NE(body.find("; filename=\"part.bin\"\r\nContent-Type: application/octet-stream\r\n\r\n"),
              std::string::npos);
    MultipartReader reader;
    NoMoreBytes source;
    reader.Setup(boundary, body, static_cast<int64_t>(body.size()) - 2);
    const auto readPart = [&] {
        std::string data;
        char piece[1000];
        for (int got; (got = reader.ReadPartData(source, piece, sizeof piece)) > 0;) {
            data.append(piece, static_cast<size_t>(got));
        }
        return data;
    };
    EXPECT_EQ(reader.NextPart(source), "note");
    EXPECT_EQ(readPart(), "a b&c");
    EXPECT_EQ(reader.NextPart(source), "upload");
    EXPECT_EQ(reader.GetPartFileName(), "part.bin");
    EXPECT_EQ(readPart(), fileBytes);
    EXPECT_EQ(reader.NextPart(source), "");
}

TEST(HttpConnectionTest, BodyFraming) {
    {
        // Chunks in any letter case of "chunked", split across segments, with an extension.
        ScriptedServer server({kOkHead + "Transfer-Encoding: Chunked\r\n\r\n5\r\nhe",
                               "llo\r\n6;ext=1\r\n world\r\n", "0\r\n\r\n"});
        HttpConnection connection(kHttpClientGet, server.Url("/"));
        ASSERT_EQ(connection.Execute(), 200);
        EXPECT_EQ(ReadAll(connection), "hello world");
    }
    {
        // The body comes after the header on a connection the server keeps open: no read past its length.
        ScriptedServer server({kOkHead + "Content-Length: 5\r\n\r\n", "hello"}, true);
        HttpConnection connection(kHttpClientGet, server.Url("/"));
        ASSERT_EQ(connection.Execute(), 200);
        EXPECT_EQ(ReadAll(connection), "hello");
        EXPECT_EQ(connection.Read(nullptr, 0), 0u);
    }
    {
        // No length and no chunks: the close ends the body, and is no error.
        ScriptedServer server({"HTTP/1.0 200 OK\r\nServer: x\r\n\r\n0123", "456789ABCDEF"});
        HttpConnection connection(kHttpClientGet, server.Url("/"));
        ASSERT_EQ(connection.Execute(), 200);
        EXPECT_EQ(connection.GetResponseHeader("server"), "x");
        EXPECT_EQ(ReadAll(connection), "0123456789ABCDEF");
    }
    {
        // An interim answer is skipped; a status without a body reads as empty.
        ScriptedServer server({"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 204 No Content\r\n\r\n"});
        HttpConnection connection(kHttpClientGet, server.Url("/"));
        ASSERT_EQ(connection.Execute(), 204);
        EXPECT_EQ(ReadAll(connection), "");
    }
    {
        // A body cut short of its length is an error, not a short answer.
        ScriptedServer server({kOkHead + "Content-Length: 10\r\n\r\nabc"});
        HttpConnection connection(kHttpClientGet, server.Url("/"));
        ASSERT_EQ(connection.Execute(), 200);
        EXPECT_THROW(ReadAll(connection), std::exception);
    }
}

TEST(HttpConnectionTest, FoldedHeadersAndBlankLedChunkSizesAreRead) {
    ScriptedServer server({kOkHead + "X-Long: a\r\n  b\r\n\tc\r\nTransfer-Encoding:\r\n chunked\r\n\r\n",
                           "  5\r\nhello\r\n \t0\r\n\r\n"});
    HttpConnection connection(kHttpClientGet, server.Url("/"));
    ASSERT_EQ(connection.Execute(), 200);
    EXPECT_EQ(connection.GetResponseHeader("x-long"), "a b c");
    EXPECT_EQ(ReadAll(connection), "hello");
}

// What a server that ignores "Connection: close" sends without a length arrives; its silence ends it.
TEST(HttpConnectionTest, AnUnframedBodyOnAConnectionKeptOpenIsKept) {
    ScriptedServer server({kOkHead + "\r\n1096"}, true);
    HttpConnection connection(kHttpClientGet, server.Url("/"));
    connection.SetTimeouts(100, 600000);
    ASSERT_EQ(connection.Execute(), 200);
    EXPECT_EQ(ReadAll(connection), "1096");
}

std::string ExecuteError(HttpConnection& connection) {
    try {
        connection.Execute();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

TEST(HttpConnectionTest, EndlessInterimAnswersAreRefused) {
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    {
        std::string flood;
        for (int i = 0; i < 4096; ++i) {
            flood += interim;
        }
        ScriptedServer endless({flood}, true);
        HttpConnection connection(kHttpClientGet, endless.Url("/"));
        EXPECT_EQ(ExecuteError(connection), "Too many interim responses");
        // The failed exchange let its connection go, though the object lives on.
        EXPECT_TRUE(endless.WaitForClientClose());
    }
    {
        // A few interim answers, together longer than one header block may be.
        const std::string big = "HTTP/1.1 100 Continue\r\nX: " + std::string(4000, 'x') + "\r\n\r\n";
        ScriptedServer server({big + big + big + kOkHead + "Content-Length: 0\r\n\r\n"});
        HttpConnection connection(kHttpClientGet, server.Url("/"));
        EXPECT_EQ(ExecuteError(connection), "Header size is too long");
    }
}

// A server that drips its answer never holds the exchange past its time, however often it sends.
TEST(HttpConnectionTest, ADrippingServerRunsOutOfTheExchangesTime) {
    const std::string reply = kOkHead + "Content-Length: 2\r\n\r\nok";
    std::vector<std::string> drops;
    for (char c : reply) {
        drops.emplace_back(1, c); // 20 ms apart: the header takes most of a second
    }
    ScriptedServer server(drops);
    HttpConnection connection(kHttpClientGet, server.Url("/"));
    connection.SetTimeouts(600000, 200);
    EXPECT_EQ(ExecuteError(connection), "Connection timed out");
}

TEST(HttpConnectionTest, MalformedAndOversizedAnswersThrow) {
    const auto executeThrows = [](const std::string& reply) {
        ScriptedServer server({reply});
        HttpConnection connection(kHttpClientGet, server.Url("/"));
        try {
            connection.Execute();
        } catch (const std::exception& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_EQ(executeThrows(std::string(HttpConnection::kMaxHeaderBytes, 'h')), "Header size is too long");
    EXPECT_NE(executeThrows("SIP/2.0 200 OK\r\n\r\n"), "");
    for (const char* length : {"5x", "+5", "-1", "99999999999999999999", ""}) {
        EXPECT_NE(executeThrows(kOkHead + "Content-Length: " + length + "\r\n\r\n12345"), "") << length;
    }
    EXPECT_NE(executeThrows(kOkHead + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab"), "");

    const auto readThrows = [](const std::string& body, std::string* before) {
        ScriptedServer server({kOkHead + "Transfer-Encoding: chunked\r\n\r\n" + body});
        HttpConnection connection(kHttpClientGet, server.Url("/"));
        EXPECT_EQ(connection.Execute(), 200);
        char piece[64];
        try {
            for (unsigned got; (got = connection.Read(piece, sizeof piece)) > 0;) {
                before->append(piece, got);
            }
        } catch (const std::exception&) {
            return true;
        }
        return false;
    };
    std::string before;
    EXPECT_TRUE(readThrows("zz\r\nhello\r\n0\r\n\r\n", &before));
    EXPECT_TRUE(readThrows("5\r\nhelloXX\r\n0\r\n\r\n", &before));
    EXPECT_TRUE(readThrows(std::string(HttpConnection::kMaxChunkLine + 10, '1'), &before));
    // A 2 GiB chunk is streamed as it comes, never gathered first: what arrived is handed out, then the
    // early close is an error.
    before.clear();
    EXPECT_TRUE(readThrows("80000000\r\nabc", &before));
    EXPECT_EQ(before, "abc");
}

TEST(HttpConnectionTest, RequestsThatWouldSplitAreRefusedUnsent) {
    ScriptedServer server({kOkHead + "\r\n"});
    HttpConnection header(kHttpClientGet, server.Url("/"));
    header.AddHeader("X-Test", "a\r\nEvil: 1");
    EXPECT_EQ(header.Execute(), -1);
    HttpConnection field(kHttpClientGet, server.Url("/"));
    field.AddField("a\r\nb", "1");
    EXPECT_EQ(field.Execute(), -1);
    HttpConnection path(kHttpClientGet, server.Url("/a b"));
    EXPECT_EQ(path.Execute(), -1);
    // The server still waits for its one connection: the well-formed request is the first to arrive.
    HttpConnection good(kHttpClientGet, server.Url("/ok"));
    EXPECT_EQ(good.Execute(), 200);
    EXPECT_EQ(server.Request().substr(0, 18), "GET /ok HTTP/1.1\r\n");
}

TEST(HttpConnectionTest, RefusedPortGivesMinusOne) {
    HttpConnection connection(kHttpClientGet, "http://127.0.0.1:1/x");
    EXPECT_EQ(connection.Execute(), -1);
}

TEST(HttpConnectionTest, CancelFromAnotherThreadEndsABlockedRead) {
    ScriptedServer server({kOkHead + "Content-Length: 100\r\n\r\nab"}, true);
    HttpConnection connection(kHttpClientGet, server.Url("/"));
    ASSERT_EQ(connection.Execute(), 200);
    char piece[100];
    EXPECT_EQ(connection.Read(piece, sizeof piece), 2u);
    std::thread canceller([&connection] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        connection.Cancel();
    });
    std::string error;
    try {
        connection.Read(piece, sizeof piece);
    } catch (const std::exception& thrown) {
        error = thrown.what();
    }
    canceller.join();
    EXPECT_EQ(error, "Request cancelled");
    // The cancel shut the connection down at once.
    EXPECT_TRUE(server.WaitForClientClose());
    HttpConnection cancelled(kHttpClientGet, server.Url("/"));
    cancelled.Cancel();
    EXPECT_EQ(cancelled.Execute(), -1);
}

TEST(HttpConnectionTest, CancelEndsAHangingNameLookup) {
    auto hang = std::make_shared<Fixtures::HangingLookup>();
    HttpConnection connection(kHttpClientGet, "http://maker.invalid/x");
    connection.SetLookup(hang->Lookup());
    std::thread canceller([&] {
        hang->WaitEntered(1);
        connection.Cancel();
    });
    EXPECT_EQ(connection.Execute(), -1);
    canceller.join();
    hang->Release();
}

// Sends a file through the connection's own file sending, claiming more bytes than the file holds.
class ShrinkingFileSender : public BareHttpConnection {
public:
    bool SendMoreThanTheFile(const std::string& host, const std::string& path) {
        PelkFile file(path, PelkFile::ModeRead, false);
        if (!Open(host) || !file.IsOpen()) {
            return false;
        }
        try {
            SendFileData(file, file.GetSize() + 10);
        } catch (const std::runtime_error&) {
            return true;
        }
        return false;
    }
};

TEST(HttpConnectionTest, AFileThatShrinksEndsTheSendWithAnError) {
    Fixtures::TempDir folder;
    ASSERT_TRUE(Fixtures::WriteFile(folder.Path("f"), "12345"));
    ScriptedServer server({}, true);
    ShrinkingFileSender sender;
    EXPECT_TRUE(sender.SendMoreThanTheFile(server.Url("").substr(7), folder.Path("f")));
}

} // namespace
} // namespace Vuxo
