// Helpers of the HTTP tests: a handler made of a function, an aggregator that counts bytes, a captured
// trace log, a running web server on a free port of 127.0.0.1 and a small blocking client.
#pragma once

#include "core/http/HttpRequest.h"
#include "core/http/HttpRequestHandler.h"
#include "core/http/WebServer.h"
#include "core/log/Trace.h"
#include "core/net/Socket.h"
#include "core/net/SocketError.h"
#include "core/transfer/TransferStatusAggregator.h"
#include "fixtures/support/Sanitizers.h"
#include "fixtures/support/TraceLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <dirent.h>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo::Testing {

class FunctionHandler : public HttpRequestHandler {
public:
    explicit FunctionHandler(std::function<void(HttpRequest&)> body) : m_body(std::move(body)) {}
    void HandleRequest(HttpRequest& request) override {
        ++calls;
        m_body(request);
    }
    std::atomic<int> calls{0};

private:
    std::function<void(HttpRequest&)> m_body;
};

// Counts the bytes reported in each direction and keeps the texts; never throttles. The texts are read
// after the connection ended.
class CountingAggregator : public TransferStatusAggregator {
public:
    void Unregister(TransferKey) override { ++unregistered; }
    void SetTotalSize(TransferKey, int, int64_t) override {}
    void SetPosition(TransferKey, int, int64_t) override {}
    void AddTransferredBytes(TransferKey, int direction, uint64_t count) override {
        bytes[direction == kDirectionUpload ? 1 : 0] += count;
    }
    void SetUserName(TransferKey, const std::string& user) override { lastUser = user; }
    void SetRemoteAddress(TransferKey, const std::string& address) override { lastAddress = address; }
    void SetRequest(TransferKey, const std::string& request) override { lastRequest = request; }
    bool IsOverLimit(TransferKey, int) override { return false; }
    int64_t GetSpeed(TransferKey, int) override { return 1 << 30; }

    std::atomic<uint64_t> bytes[2] = {0, 0};
    std::atomic<int> unregistered{0};
    std::string lastUser, lastAddress, lastRequest;
};

// Collects every trace line while it lives.
using TraceCapture = Fixtures::TraceLog;

// Entries of a /proc folder: the process's threads or its open descriptors.
inline int CountEntries(const char* folder) {
    int count = 0;
    if (DIR* dir = ::opendir(folder)) {
        while (dirent* entry = ::readdir(dir)) {
            count += entry->d_name[0] != '.';
        }
        ::closedir(dir);
    }
    return count - (std::string(folder) == "/proc/self/fd"); // the listing's own descriptor
}
inline int ThreadCount() {
    return CountEntries("/proc/self/task");
}
inline int DescriptorCount() {
    return CountEntries("/proc/self/fd");
}

// Waits (bounded) until `count()` gives `expected`; true when it got there.
inline bool WaitForCount(int (*count)(), int expected,
                         std::chrono::seconds limit = std::chrono::seconds(20)) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (count() != expected) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// ThreadSanitizer starts a thread of its own along with the program's first, which a count taken before
// would take for a thread left behind: started here, before any test counts, it is in every count.
inline const bool kSanitizerThreadStarted = [] {
    if (!Fixtures::kUnderThreadSanitizer) {
        return false;
    }
    const int before = ThreadCount();
    std::thread([] {}).join();
    return WaitForCount(&ThreadCount, before + 1);
}();

// A web server on a free port with the given handler.
struct RunningServer {
    WebServer server;

    explicit RunningServer(HttpRequestHandler& handler, TransferStatusAggregator* aggregator = nullptr) {
        server.SetHandler(&handler);
        server.SetAggregator(aggregator);
        EXPECT_TRUE(server.Start(0));
    }
    uint16_t Port() const { return static_cast<uint16_t>(server.GetPort()); }
};

inline void Connect(TCPSocket& socket, uint16_t port) {
    EXPECT_TRUE(socket.Create());
    EXPECT_TRUE(socket.Connect("127.0.0.1", port));
    socket.SetTimeouts(30000, 30000); // a hung server fails the test instead of hanging it
}

inline void SendText(TCPSocket& socket, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        sent += static_cast<size_t>(socket.Send(text.data() + sent, text.size() - sent));
    }
}

// Everything up to the end of the stream (or a failure, e.g. a reset).
inline std::string ReadUntilClosed(TCPSocket& socket) {
    std::string text;
    char buffer[65536];
    try {
        for (;;) {
            int n = socket.Receive(buffer, sizeof buffer);
            text.append(buffer, static_cast<size_t>(n));
        }
    } catch (const socket_exception&) {
    }
    return text;
}

inline std::string ReadExactly(TCPSocket& socket, size_t length) {
    std::string text(length, '\0');
    size_t held = 0;
    while (held < length) {
        held += static_cast<size_t>(socket.Receive(text.data() + held, length - held));
    }
    return text;
}

// The data of a chunked body that starts at `at` in `text`; `at` ends after its last chunk. Sets `whole`
// to false when the text ends before the last chunk or a chunk is framed wrongly.
inline std::string DecodeChunks(const std::string& text, size_t& at, bool& whole) {
    std::string data;
    whole = false;
    for (;;) {
        const size_t lineEnd = text.find("\r\n", at);
        if (lineEnd == std::string::npos) {
            return data;
        }
        const size_t size = std::strtoull(text.c_str() + at, nullptr, 16);
        at = lineEnd + 2;
        if (text.size() < at + size + 2 || text.compare(at + size, 2, "\r\n") != 0) {
            return data;
        }
        data.append(text, at, size);
        at += size + 2;
        if (size == 0) {
            whole = true;
            return data;
        }
    }
}

// Sends a request and reads the whole answer up to the closing of the connection.
inline std::string Exchange(uint16_t port, const std::string& request) {
    TCPSocket socket;
    Connect(socket, port);
    SendText(socket, request);
    return ReadUntilClosed(socket);
}

} // namespace Vuxo::Testing
