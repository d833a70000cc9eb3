// Requests and responses over real connections to a running web server.
#include "HttpTestSupport.h"
#include "fixtures/support/PolicyLines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <random>
#include <thread>
#include <unistd.h>

namespace Vuxo {
namespace {

using namespace Testing;
using Fixtures::WithPolicyLines;

const std::string kGet = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";

// The exact bytes of a response for the call orders a processor may use.
TEST(HttpResponse, BytesOnTheWire) {
    const std::string abc = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection:close\r\n\r\nabc";
    struct Row {
        const char* what;
        std::function<void(HttpRequest&)> respond;
        std::string expected;
    };
    const Row rows[] = {
        {"write ends the header block",
         [](HttpRequest& r) {
             r.BeginResponse(200, "OK");
             r.SendHeader("Content-Type", "text/html");
             r.Write("abc");
             r.EndResponse();
             r.EndResponse();
         },
         abc},
        {"end first, then writes",
         [](HttpRequest& r) {
             r.BeginResponse(200, "OK");
             r.SendHeader("Content-Type", "text/html");
             r.EndResponse();
             r.Write("ab");
             r.Write(std::string_view("c"));
         },
         abc},
        {"end twice without a write",
         [](HttpRequest& r) {
             r.BeginResponse(404, "Not Found");
             r.EndResponse();
             r.EndResponse();
         },
         "HTTP/1.1 404 Not Found\r\nConnection:close\r\n\r\n"},
        {"no response at all", [](HttpRequest&) {}, ""},
        {"status line and headers stay one line each",
         [](HttpRequest& r) {
             r.BeginResponse(302, "Found\r\nX-Injected: 1");
             r.SendHeader("Location", "/a\r\n\r\n<script>");
             r.SendHeader("X-Long", std::string(300, 'r')); // longer than any fixed line buffer
             r.EndResponse();
         },
         "HTTP/1.1 302 FoundX-Injected: 1\r\nLocation: /a<script>\r\nX-Long: " + std::string(300, 'r') +
             "\r\nConnection:close\r\n\r\n"},
    };
    for (const auto& row : rows) {
        FunctionHandler handler(row.respond);
        RunningServer s(handler);
        EXPECT_EQ(Exchange(s.Port(), kGet), WithPolicyLines(row.expected)) << row.what;
        EXPECT_EQ(handler.calls.load(), 1) << row.what;
    }
}

TEST(HttpResponse, KeepAliveServesTwoRequestsOnOneConnection) {
    FunctionHandler handler([](HttpRequest& r) {
        bool keep = r.GetPath() == "first";
        r.BeginResponse(200, "OK");
        r.SendHeader("Content-Length", "2");
        if (keep) {
            r.SetKeepAlive();
        }
        r.Write(keep ? "k1" : "c2");
        r.EndResponse();
    });
    RunningServer s(handler);
    TCPSocket client;
    Connect(client, s.Port());
    SendText(client, "GET /first HTTP/1.1\r\n\r\n");
    const std::string first = WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nk1");
    EXPECT_EQ(ReadExactly(client, first.size()), first);
    SendText(client, "GET /second HTTP/1.1\r\n\r\n");
    EXPECT_EQ(ReadUntilClosed(client),
              WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection:close\r\n\r\nc2"));
    EXPECT_EQ(handler.calls.load(), 2);
}

TEST(HttpResponse, RequestsSentAheadAreAnsweredInTurn) {
    FunctionHandler handler([](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        r.SendHeader("Content-Length", std::to_string(r.GetPath().size()));
        if (r.GetPath() != "last") {
            r.SetKeepAlive();
        }
        r.Write(r.GetPath());
    });
    RunningServer s(handler);
    std::string answer =
        Exchange(s.Port(), "GET /a HTTP/1.1\r\n\r\nGET /bb HTTP/1.1\r\n\r\nGET /last HTTP/1.1\r\n\r\n");
    EXPECT_EQ(answer,
              WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\na") +
                  WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nbb") +
                  WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection:close\r\n\r\nlast"));
}

TEST(HttpResponse, AClientThatSaysItClosesGetsTheEndOfTheStream) {
    // The handler asks to keep every connection; the client's word decides.
    FunctionHandler handler([](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        r.SendHeader("Content-Length", "1");
        r.SetKeepAlive();
        r.Write("x");
    });
    RunningServer s(handler);
    const std::string closing =
        WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 1\r\nConnection:close\r\n\r\nx");
    for (const char* request :
         {"GET /a HTTP/1.1\r\nConnection: close\r\n\r\n",
          "GET /a HTTP/1.1\r\nconnection: Upgrade ,\tClose\r\n\r\n", "GET /a HTTP/1.0\r\n\r\n",
          "GET /a HTTP/1.0\r\nConnection: keep-alive\r\n\r\n"}) {
        SCOPED_TRACE(request);
        EXPECT_EQ(Exchange(s.Port(), request), closing); // Exchange reads until the server closes
    }
    // Other tokens keep the connection: a second request is answered on it.
    const std::string kept = WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx");
    TCPSocket client;
    Connect(client, s.Port());
    SendText(client, "GET /a HTTP/1.1\r\nConnection: keep-alive, closed\r\n\r\n");
    EXPECT_EQ(ReadExactly(client, kept.size()), kept);
    SendText(client, "GET /b HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(ReadUntilClosed(client), closing);
}

TEST(HttpResponse, ARequestWithAnUnreadBodyIsNotFollowedByAnother) {
    FunctionHandler handler([](HttpRequest& r) {
        r.SetKeepAlive();
        r.BeginResponse(200, "OK");
        r.SendHeader("Content-Length", "0");
        r.EndResponse();
    });
    RunningServer s(handler);
    // The body "GET / HTTP/1.1..." must not be served as a request of its own.
    std::string answer = Exchange(s.Port(), "PUT /x HTTP/1.1\r\nContent-Length: 27\r\n\r\n" + kGet);
    EXPECT_EQ(answer, WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
    EXPECT_EQ(handler.calls.load(), 1);
}

TEST(HttpResponse, LargeBodyArrivesWholeAndEveryByteIsCounted) {
    const size_t size = 1024 * 1024 + 7;
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>(i * 131 + i / 977);
    }
    FunctionHandler handler([&](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        r.SendHeader("Content-Length", std::to_string(size));
        size_t pos = 0;
        size_t step = 1;
        while (pos < size) { // small and large writes mixed
            size_t n = std::min(step, size - pos);
            r.Write(body.data() + pos, n);
            pos += n;
            step = step * 3 + 1;
        }
        r.EndResponse();
    });
    CountingAggregator counter;
    RunningServer s(handler, &counter);
    std::string answer = Exchange(s.Port(), kGet);
    const std::string head = WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) +
                                             "\r\nConnection:close\r\n\r\n");
    ASSERT_EQ(answer.size(), head.size() + size);
    EXPECT_EQ(answer.substr(0, head.size()), head);
    EXPECT_TRUE(answer.substr(head.size()) == body);
    s.server.Stop();
    EXPECT_EQ(counter.bytes[kDirectionDownload].load(), head.size() + size);
    EXPECT_EQ(counter.bytes[kDirectionUpload].load(), 0u);
}

TEST(HttpResponse, FileRangeGoesStraightFromTheFile) {
    std::string content(300000, '\0');
    std::mt19937 rng(5);
    for (auto& c : content) {
        c = static_cast<char>(rng());
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), &std::fclose); // a real file, removed at close
    ASSERT_TRUE(file);
    ASSERT_EQ(std::fwrite(content.data(), 1, content.size(), file.get()), content.size());
    ASSERT_EQ(std::fflush(file.get()), 0);
    const int fd = ::fileno(file.get());
    for (int64_t offset : {1000, 250000}) { // 200000 bytes: the second runs past the end of the file
        FunctionHandler handler([&](HttpRequest& r) {
            r.BeginResponse(206, "Partial Content");
            r.SendHeader("Content-Length", "200000");
            r.SendFileData(fd, offset, 200000);
        });
        TraceCapture log;
        CountingAggregator counter;
        RunningServer s(handler, &counter);
        std::string answer = Exchange(s.Port(), kGet);
        s.server.Stop();
        const std::string head = WithPolicyLines(
            "HTTP/1.1 206 Partial Content\r\nContent-Length: 200000\r\nConnection:close\r\n\r\n");
        const std::string expected = head + content.substr(static_cast<size_t>(offset), 200000);
        EXPECT_TRUE(answer == expected) << offset;
        EXPECT_EQ(counter.bytes[kDirectionDownload].load(), expected.size());
        EXPECT_EQ(log.Contains("Exception: "), expected.size() < head.size() + 200000)
            << "a file that ends early must not end its response quietly";
    }
}

TEST(HttpResponse, AHeadAnswerEndsWithItsHeaderBlockAndKeepsTheConnection) {
    std::string content(100000, 'f');
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), &std::fclose);
    ASSERT_TRUE(file);
    ASSERT_EQ(std::fwrite(content.data(), 1, content.size(), file.get()), content.size());
    ASSERT_EQ(std::fflush(file.get()), 0);
    const int fd = ::fileno(file.get());
    FunctionHandler handler([&](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        r.SendHeader("Content-Length", std::to_string(3 + content.size()));
        r.SetKeepAlive();
        r.Write("abc");
        r.SendFileData(fd, 0, static_cast<int64_t>(content.size()));
        r.EndResponse();
    });
    RunningServer s(handler);
    const std::string head = WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 100003\r\n\r\n");
    TCPSocket client;
    Connect(client, s.Port());
    SendText(client, "HEAD /a HTTP/1.1\r\n\r\nGET /a HTTP/1.1\r\nConnection: close\r\n\r\n");
    const std::string answer = ReadUntilClosed(client);
    const std::string closing =
        WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 100003\r\nConnection:close\r\n\r\nabc");
    EXPECT_EQ(answer.substr(0, head.size() + closing.size()), head + closing);
    EXPECT_TRUE(answer.substr(head.size() + closing.size()) == content);
    EXPECT_EQ(handler.calls.load(), 2);
}

TEST(HttpResponse, AChunkedBodyArrivesWholeAndKeepsTheConnection) {
    // Small writes and one larger than a gathered send, as a page that streams makes them.
    std::string content;
    for (int i = 0; i < 3000; ++i) {
        content += "row " + std::to_string(i) + "\n";
    }
    content += std::string(40000, 'x');
    FunctionHandler handler([&](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        r.SetKeepAlive();
        r.SetChunked();
        const size_t small = 20000;
        for (size_t at = 0; at < small; at += 9) {
            r.Write(content.data() + at, std::min<size_t>(9, small - at));
        }
        r.Write(content.data() + small, content.size() - small);
        r.EndResponse();
    });
    RunningServer s(handler);
    const std::string answer = Exchange(s.Port(), "HEAD /a HTTP/1.1\r\n\r\nGET /a HTTP/1.1\r\n\r\n"
                                                  "GET /a HTTP/1.1\r\nConnection: close\r\n\r\n");
    const std::string head = WithPolicyLines("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
    const std::string closing =
        WithPolicyLines("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection:close\r\n\r\n");
    ASSERT_EQ(answer.compare(0, 2 * head.size(), head + head), 0) << answer.substr(0, 200); // HEAD: no body
    size_t at = 2 * head.size();
    bool whole = false;
    EXPECT_TRUE(DecodeChunks(answer, at, whole) == content);
    EXPECT_TRUE(whole);
    ASSERT_EQ(answer.compare(at, closing.size(), closing), 0);
    at += closing.size();
    EXPECT_TRUE(DecodeChunks(answer, at, whole) == content);
    EXPECT_TRUE(whole);
    EXPECT_EQ(at, answer.size());
    EXPECT_EQ(handler.calls.load(), 3);
}

TEST(HttpRequestParsing, ABodyIsAskedForWithContinueOnlyWhenItWillBeRead) {
    FunctionHandler handler([](HttpRequest& r) {
        const bool read = r.GetPath() == "read";
        if (read) {
            ASSERT_TRUE(r.ReceiveForm());
        }
        r.BeginResponse(read ? 200 : 403, read ? "OK" : "Forbidden");
        r.SendHeader("Content-Length", "1");
        r.SetKeepAlive();
        r.Write(read ? r.GetForm().at("a") : "-");
    });
    RunningServer s(handler);
    const std::string head = " HTTP/1.1\r\nExpect: 100-Continue\r\nContent-Length: 3\r\n\r\n";
    TCPSocket client;
    Connect(client, s.Port());
    SendText(client, "POST /read" + head);
    const std::string goOn = "HTTP/1.1 100 Continue\r\n\r\n";
    EXPECT_EQ(ReadExactly(client, goOn.size()), goOn) << "before the body was sent";
    SendText(client, "a=7");
    const std::string served = WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n7");
    EXPECT_EQ(ReadExactly(client, served.size()), served);
    // Refused from its header: the final answer at once, and the unsent body is never waited for.
    SendText(client, "POST /refuse" + head);
    EXPECT_EQ(ReadUntilClosed(client),
              WithPolicyLines("HTTP/1.1 403 Forbidden\r\nContent-Length: 1\r\nConnection:close\r\n\r\n-"));
}

TEST(HttpRequestParsing, RequestFieldsReachTheHandlerAndTheTransferStatus) {
    HttpFieldMap query;
    std::string path, uri, user, method;
    int methodNumber = -1;
    bool credentialsOk = false, wrongCase = true;
    FunctionHandler handler([&](HttpRequest& r) {
        query = r.GetQuery();
        path = r.GetPath();
        uri = r.GetUri();
        method = r.GetMethodWord();
        methodNumber = r.GetMethod();
        user = r.GetUserName();
        credentialsOk = r.CheckCredentials("al", "pa:ss");
        wrongCase = r.CheckCredentials("AL", "pa:ss");
    });
    CountingAggregator counter;
    RunningServer s(handler, &counter);
    // "al:pa:ss" in Base64
    Exchange(s.Port(),
             "GET /a%20b/c+d?x=1&y=%41&x=2&&z HTTP/1.1\r\nAuthorization: basic YWw6cGE6c3M=\r\n\r\n");
    s.server.Stop();
    EXPECT_EQ(method, "GET");
    EXPECT_EQ(methodNumber, kHttpGet);
    EXPECT_EQ(path, "a b/c+d");
    EXPECT_EQ(query, (HttpFieldMap{{"x", "1"}, {"y", "A"}, {"z", ""}}));
    EXPECT_EQ(user, "al");
    EXPECT_TRUE(credentialsOk);
    EXPECT_FALSE(wrongCase);
    EXPECT_EQ(counter.lastRequest, "/a b/c d?x=1&y=A&x=2&&z");
    EXPECT_EQ(counter.lastAddress, "127.0.0.1");
    EXPECT_EQ(counter.lastUser, "al");
    EXPECT_GE(counter.unregistered.load(), 1) << "the request's transfer leaves the aggregator";
}

TEST(HttpRequestParsing, AnAbsoluteTargetGivesItsPathAndItsHostOverTheHostHeader) {
    std::string path, uri, host;
    HttpFieldMap query;
    FunctionHandler handler([&](HttpRequest& r) {
        path = r.GetPath();
        uri = r.GetUri();
        query = r.GetQuery();
        host = r.GetHeaders().at("HOST");
    });
    RunningServer s(handler);
    Exchange(s.Port(), "GET http://target.example:81/a%20b?x=1 HTTP/1.1\r\nHost: other\r\n\r\n");
    s.server.Stop();
    EXPECT_EQ(path, "a b");
    EXPECT_EQ(uri, "/a%20b?x=1");
    EXPECT_EQ(query, (HttpFieldMap{{"x", "1"}}));
    EXPECT_EQ(host, "target.example:81");
}

TEST(HttpRequestParsing, FormBodiesWhateverTheirSegments) {
    // Handed over under a lock: the answer's end on the socket orders the connection thread's writes
    // before the test's reads, but the race detector does not see through sockets.
    std::mutex formLock;
    HttpFieldMap form;
    FunctionHandler handler([&](HttpRequest& r) {
        EXPECT_TRUE(r.ReceiveForm());
        std::lock_guard lock(formLock);
        form = r.GetForm();
    });
    auto received = [&] {
        std::lock_guard lock(formLock);
        return form;
    };
    CountingAggregator counter;
    RunningServer s(handler, &counter);
    const std::string body = "a=1&b&c=%41+b&long=" + std::string(100000, 'v');
    const std::string head = "POST /f HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                             "Content-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
    TCPSocket client;
    Connect(client, s.Port());
    SendText(client, head + body.substr(0, 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let the pieces arrive apart
    SendText(client, body.substr(3, body.size() - 4));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SendText(client, body.substr(body.size() - 1));
    ReadUntilClosed(client);
    s.server.Stop();
    EXPECT_EQ(form.size(), 4u);
    EXPECT_EQ(form["a"], "1");
    EXPECT_EQ(form["b"], "");
    EXPECT_EQ(form["c"], "A b");
    EXPECT_EQ(form["long"], std::string(100000, 'v'));
    EXPECT_EQ(counter.bytes[kDirectionUpload].load(), body.size());

    // Without Content-Length only what came with the header block is the body.
    form.clear();
    RunningServer s2(handler);
    Exchange(s2.Port(), "POST / HTTP/1.1\r\nContent-Type: text/plain\r\n\r\na=1&b");
    EXPECT_EQ(received(), (HttpFieldMap{{"a", "1"}, {"b", ""}}));

    // Names and values are trimmed: a body that ends in CR LF leaves no line end in its last value.
    const std::string padded = "n=%20x%20& v = y \t&last=z\r\n";
    Exchange(s2.Port(),
             "POST / HTTP/1.1\r\nContent-Length: " + std::to_string(padded.size()) + "\r\n\r\n" + padded);
    EXPECT_EQ(received(), (HttpFieldMap{{"n", " x "}, {"v", "y"}, {"last", "z"}}));
}

TEST(HttpRequestParsing, ABodyWhoseLengthIsInDoubtIsRefusedAndEndsTheConnection) {
    FunctionHandler handler([](HttpRequest& r) {
        r.ReceiveForm();
        r.BeginResponse(200, "OK");
        r.SendHeader("Content-Length", "0");
        r.SetKeepAlive();
        r.EndResponse();
    });
    TraceCapture log;
    RunningServer s(handler);
    const std::string hidden = "GET /hidden HTTP/1.1\r\n\r\n";
    const struct {
        const char* framing;
        const char* answer;
    } cases[] = {
        {"Transfer-Encoding: chunked\r\n", "HTTP/1.1 501 Not Implemented\r\nConnection:close\r\n\r\n"},
        {"Content-Length: 5\r\nTransfer-Encoding: chunked\r\n",
         "HTTP/1.1 501 Not Implemented\r\nConnection:close\r\n\r\n"},
        {"Content-Length: 0\r\ncontent-length: 27\r\n",
         "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        {"Content-Length: 27\r\nContent-Length: 27\r\n",
         "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        {"Content-Length: -27\r\n", "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        {"Content-Length: 0x1b\r\n", "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        {"Content-Length: +27\r\n", "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        {"Content-Length: 2 7\r\n", "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        {"Content-Length:\r\n", "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        // A length that a reader in front may not see as one: it would take the hidden request for
        // another (24 bytes, the hidden one's size, so that a server taking the length swallows it).
        {"Content-Length : 24\r\n", "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        {"X: a\r\n Content-Length: 24\r\n", "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        {"X: a\nContent-Length: 24\r\n", "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
        {"X: a\rContent-Length: 24\r\n", "HTTP/1.1 400 Bad Request\r\nConnection:close\r\n\r\n"},
    };
    for (const char* method : {"POST", "GET"}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(method) + " " + c.framing);
            // The hidden request is what a front end reading the length the other way would see next.
            EXPECT_EQ(
                Exchange(s.Port(), std::string(method) + " / HTTP/1.1\r\n" + c.framing + "\r\n" + hidden),
                WithPolicyLines(c.answer));
        }
    }
    EXPECT_EQ(handler.calls.load(), 0) << "neither the request nor the one hidden in its body is served";
    EXPECT_TRUE(log.WaitFor("Exception: Illegal request: transfer coding"));
    // A plain length frames the body, and the connection goes on after it.
    EXPECT_EQ(Exchange(s.Port(), "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\na=1GET /next HTTP/1.1\r\n"
                                 "Connection: close\r\n\r\n"),
              WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n") +
                  WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection:close\r\n\r\n"));
}

TEST(HttpRequestParsing, OversizedFormBodyIsRefusedWithoutReadingIt) {
    FunctionHandler handler([](HttpRequest&) { FAIL() << "the handler must not run"; });
    TraceCapture log;
    RunningServer s(handler);
    std::string answer =
        Exchange(s.Port(), "POST / HTTP/1.1\r\nContent-Length: " +
                               std::to_string(RequestParserThread::kMaxFormBody + 1) + "\r\n\r\na=1");
    EXPECT_EQ(answer, WithPolicyLines("HTTP/1.1 413 Request Entity Too Large\r\nConnection:close\r\n\r\n"));
    EXPECT_TRUE(log.WaitFor("Exception: Illegal request: form body too large"));
}

TEST(HttpRequestParsing, HeaderBlockSizeLimit) {
    FunctionHandler handler([](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        r.EndResponse();
    });
    TraceCapture log;
    RunningServer s(handler);

    std::string exact = "GET / HTTP/1.1\r\nX: ";
    exact += std::string(RequestParserThread::kHeaderLimit - exact.size() - 4, 'a') + "\r\n\r\n";
    ASSERT_EQ(exact.size(), RequestParserThread::kHeaderLimit);
    EXPECT_EQ(Exchange(s.Port(), exact), WithPolicyLines("HTTP/1.1 200 OK\r\nConnection:close\r\n\r\n"));

    EXPECT_EQ(Exchange(s.Port(), std::string(RequestParserThread::kHeaderLimit, 'j')), "");
    EXPECT_TRUE(log.WaitFor("Exception: Illegal request: header too long"));
    EXPECT_EQ(handler.calls.load(), 1);
}

TEST(HttpRequestParsing, AHeaderThatDripsInForeverIsCutOff) {
    FunctionHandler handler([](HttpRequest&) {});
    WebServer server;
    server.SetHandler(&handler);
    server.SetTimeouts(ConnectionTimeouts{60000, 300});
    ASSERT_TRUE(server.Start(0));
    TCPSocket client;
    Connect(client, static_cast<uint16_t>(server.GetPort()));
    const std::string start = "GET / HTTP/1.1\r\nX: ";
    SendText(client, start);
    bool closed = false;
    std::string received;
    for (int i = 0; i < 2000 && !closed; ++i) { // a byte every 10 ms: each receive is far within its time-out
        try {
            SendText(client, "a");
            if (client.WaitReadable(10)) {
                received = ReadUntilClosed(client);
                closed = true;
            }
        } catch (const socket_exception&) {
            closed = true;
        }
    }
    EXPECT_TRUE(closed);
    EXPECT_EQ(received, "");
    EXPECT_EQ(handler.calls.load(), 0);
}

TEST(HttpRequestParsing, TheHeaderTimeOutCountsFromTheFirstByteOfTheRequest) {
    FunctionHandler handler([](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        r.EndResponse();
    });
    WebServer server;
    server.SetHandler(&handler);
    server.SetTimeouts(ConnectionTimeouts{60000, 2000});
    ASSERT_TRUE(server.Start(0));
    TCPSocket client;
    Connect(client, static_cast<uint16_t>(server.GetPort()));
    // Idle for most of the header's time, then a header in two pieces that together take more than the
    // time left since the connection opened, but far less than the header's time since its first byte.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    SendText(client, "GET / HT");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    SendText(client, "TP/1.1\r\n\r\n");
    EXPECT_EQ(ReadUntilClosed(client), WithPolicyLines("HTTP/1.1 200 OK\r\nConnection:close\r\n\r\n"));
}

TEST(HttpRequestParsing, MultipartUploadOverAConnection) {
    const std::string boundary = "----b0undary";
    std::mt19937 rng(3);
    std::string fileData(300000, '\0');
    for (auto& c : fileData) {
        c = static_cast<char>(rng());
    }
    for (size_t at = 0; (at = fileData.find("\r\n--" + boundary, at)) != std::string::npos;) {
        fileData[at] = 'x';
    }
    const std::string body = "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\nhi\r\n--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"up\"; filename=\"C:\\t\\f.bin\"\r\n"
                             "Content-Type: application/octet-stream\r\n\r\n" +
                             fileData + "\r\n--" + boundary + "--\r\n";
    std::string gotName, gotFile, gotData;
    int lastRead = 1;
    FunctionHandler handler([&](HttpRequest& r) {
        ASSERT_TRUE(r.IsMultipartPost());
        EXPECT_EQ(r.NextPart(), "note");
        gotName = r.NextPart();
        gotFile = r.GetPartFileName();
        std::vector<char> buffer(8192);
        int n;
        while ((n = r.ReadPartData(buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
            gotData.append(buffer.data(), static_cast<size_t>(n));
        }
        lastRead = n;
        EXPECT_EQ(r.NextPart(), "");
        r.BeginResponse(200, "OK");
        r.EndResponse();
    });
    CountingAggregator counter;
    RunningServer s(handler, &counter);
    TCPSocket client;
    Connect(client, s.Port());
    SendText(client, "POST /up HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=\"" + boundary +
                         "\"\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                         body.substr(0, 100));
    for (size_t pos = 100; pos < body.size(); pos += 7919) {
        SendText(client, body.substr(pos, 7919));
    }
    EXPECT_EQ(ReadUntilClosed(client), WithPolicyLines("HTTP/1.1 200 OK\r\nConnection:close\r\n\r\n"));
    s.server.Stop();
    EXPECT_EQ(gotName, "up");
    EXPECT_EQ(gotFile, "f.bin");
    EXPECT_EQ(lastRead, 0);
    EXPECT_TRUE(gotData == fileData);
    EXPECT_EQ(counter.bytes[kDirectionUpload].load(), body.size());
}

TEST(HttpRequestParsing, AnAnswerBeforeTheUploadWasReadComesAfterTheWholeBody) {
    FunctionHandler handler([](HttpRequest& r) {
        r.BeginResponse(403, "Forbidden");
        r.Write("no");
    });
    CountingAggregator counter;
    RunningServer s(handler, &counter);
    const std::string body = "--b\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\n" +
                             std::string(2000000, 'u') + "\r\n--b--\r\n";
    TCPSocket client;
    Connect(client, s.Port());
    SendText(client, "POST / HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=b\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n");
    SendText(client, body); // would fail with a reset if the server closed before reading it
    EXPECT_EQ(ReadUntilClosed(client),
              WithPolicyLines("HTTP/1.1 403 Forbidden\r\nConnection:close\r\n\r\nno"));
    s.server.Stop();
    EXPECT_EQ(counter.bytes[kDirectionUpload].load(), body.size());
}

TEST(HttpRequestLog, FormatsWithAddressUserMessageAndPath) {
    FunctionHandler handler([](HttpRequest& r) { r.Log(LOG_INFO, "hello %d", 5); });
    TraceCapture log;
    RunningServer s(handler);
    Exchange(s.Port(), "GET /some/where HTTP/1.1\r\n\r\n");
    Exchange(s.Port(), "GET /x HTTP/1.1\r\nAuthorization: Basic YWw6cGE6c3M=\r\n\r\n");
    EXPECT_TRUE(log.WaitFor("[127.0.0.1] hello 5: some/where"));
    EXPECT_TRUE(log.WaitFor("[127.0.0.1:al] hello 5: x"));

    SetTraceMask(static_cast<uint32_t>(~LOG_INFO));
    Exchange(s.Port(), "GET /masked HTTP/1.1\r\n\r\n");
    s.server.Stop();
    SetTraceMask(0x7FFFFFFF);
    EXPECT_FALSE(log.Contains("hello 5: masked"));
}

} // namespace
} // namespace Vuxo
