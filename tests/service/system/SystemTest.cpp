// The identification answer, the server instance id and the built-in files, over a real loopback
// connection.
#include "service/mime/MimeTypeTable.h"
#include "service/system/BuiltinFileMap.h"
#include "service/system/IdentificationRequestProcessor.h"
#include "service/system/ServerInstanceId.h"
#include "service/system/SystemRequestProcessor.h"

#include "core/http/HttpTestSupport.h"
#include "fixtures/support/PolicyLines.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace Vuxo {
namespace {

using namespace Testing;
using Fixtures::WithPolicyLines;

const char kPrintIdVariable[] = "CORVANTA_TEST_PRINT_INSTANCE_ID";

bool IsInstanceId(const std::string& text) {
    return text.size() == 16 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// Runs this test program again, in a new process, and returns the instance id that process forms.
std::string InstanceIdOfAnotherProcess() {
    const std::string command = std::string(kPrintIdVariable) + "=1 /proc/" + std::to_string(::getpid()) +
                                "/exe --gtest_also_run_disabled_tests "
                                "--gtest_filter=ServerInstanceIdChild.DISABLED_Print 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
    if (!pipe) {
        return "";
    }
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe.get())) {
        output += buffer;
    }
    const std::string marker = "instance-id=";
    const size_t start = output.find(marker);
    if (start == std::string::npos) {
        return "";
    }
    const size_t end = output.find('\n', start);
    return output.substr(start + marker.size(),
                         end == std::string::npos ? std::string::npos : end - start - marker.size());
}

// Not a test of its own: ServerInstanceId.DiffersBetweenProcesses runs it in new processes.
TEST(ServerInstanceIdChild, DISABLED_Print) {
    ASSERT_TRUE(std::getenv(kPrintIdVariable));
    std::printf("instance-id=%s\n", GetServerInstanceId().c_str());
}

TEST(ServerInstanceId, IsSixteenHexDigitsFixedForTheProcess) {
    const std::string id = GetServerInstanceId();
    EXPECT_TRUE(IsInstanceId(id)) << id;
    std::string seenByThread;
    std::thread([&] { seenByThread = GetServerInstanceId(); }).join();
    EXPECT_EQ(seenByThread, id);
    EXPECT_EQ(&GetServerInstanceId(), &GetServerInstanceId());
}

TEST(ServerInstanceId, DiffersBetweenProcesses) {
    const std::string first = InstanceIdOfAnotherProcess();
    const std::string second = InstanceIdOfAnotherProcess();
    ASSERT_TRUE(IsInstanceId(first)) << "'" << first << "'";
    ASSERT_TRUE(IsInstanceId(second)) << "'" << second << "'";
    EXPECT_NE(first, second);
    EXPECT_NE(first, GetServerInstanceId());
}

TEST(IdentificationRequestProcessor, AnswersTheInstanceIdAndNothingElse) {
    FunctionHandler handler([](HttpRequest& request) { IdentificationRequestProcessor().Process(request); });
    RunningServer server(handler);
    const std::string expected =
        WithPolicyLines("HTTP/1.1 200 OK\r\nServer: Quillo Corvanta\r\nConnection:close\r\n\r\n") +
        GetServerInstanceId();
    EXPECT_EQ(Exchange(server.Port(), "GET /?identify=1 HTTP/1.1\r\n\r\n"), expected);
    EXPECT_EQ(Exchange(server.Port(), "GET /?identify HTTP/1.1\r\n\r\n"), expected) << "the same in one run";
}

class BuiltinFiles : public ::testing::Test {
protected:
    BuiltinFiles()
        : handler(
              [this](HttpRequest& request) { SystemRequestProcessor(files, mimeTypes).Process(request); }),
          server(handler) {
        // Without the script and style types, as an external table may be.
        mimeTypes.Load(std::string_view("text/plain txt\nimage/x-icon ico\n"));
        files.Register("robots.txt", "User-agent: *\n", 14);
        files.Register("favicon.ico", "\0\0\1\0icon", 8);
        files.Register("skin/style.css", "body{}", 6);
        files.Register("skin/common.js", "f();", 4);
        files.Register("empty.txt", "", 0);
        files.Register("noextension", "x", 1);
    }

    BuiltinFileMap files;
    MimeTypeTable mimeTypes;
    FunctionHandler handler;
    RunningServer server;
};

TEST_F(BuiltinFiles, AnswersAKnownFileWithItsTypeAndLengthOnAConnectionKeptOpen) {
    struct Case {
        const char* path;
        std::string answer;
    };
    const Case cases[] = {
        {"/robots.txt",
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 14\r\n\r\nUser-agent: *\n"},
        {"/favicon.ico", "HTTP/1.1 200 OK\r\nContent-Type: image/x-icon\r\nContent-Length: 8\r\n\r\n" +
                             std::string("\0\0\1\0icon", 8)},
        // A browser told not to sniff runs and applies the skin's own only under their real types.
        {"/skin/style.css?action=SkinFile",
         "HTTP/1.1 200 OK\r\nContent-Type: text/css\r\nContent-Length: 6\r\n\r\nbody{}"},
        {"/skin/common.js?action=SkinFile",
         "HTTP/1.1 200 OK\r\nContent-Type: text/javascript\r\nContent-Length: 4\r\n\r\nf();"},
        {"/empty.txt", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 0\r\n\r\n"},
        {"/noextension",
         "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 1\r\n\r\nx"},
    };
    // All on one connection: each answer leaves it open for the next request.
    TCPSocket socket;
    Connect(socket, server.Port());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        SendText(socket, std::string("GET ") + c.path + " HTTP/1.1\r\nHost: x\r\n\r\n");
        const std::string answer = WithPolicyLines(c.answer);
        EXPECT_EQ(ReadExactly(socket, answer.size()), answer);
    }
    EXPECT_EQ(handler.calls, 6);
}

TEST_F(BuiltinFiles, AnUnknownNameGetsTheShort404AndTheConnectionCloses) {
    const std::string notFound =
        WithPolicyLines("HTTP/1.1 404 Not found\r\nConnection:close\r\n\r\n404 Not found :(");
    for (const char* path :
         {"/ROBOTS.TXT", "/skin/other.css?action=SkinFile", "/sub/robots.txt", "/", "/skin/", "/skin"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Exchange(server.Port(), std::string("GET ") + path + " HTTP/1.1\r\n\r\n"), notFound);
    }
}

TEST(BuiltinFileMap, ReplacedOrClearedBytesStayValidForTheirHolder) {
    BuiltinFileMap files;
    files.Register("a", "first", 5);
    const auto held = files.Find("a");
    ASSERT_TRUE(held);
    files.Register("a", "second!", 7);
    EXPECT_EQ(std::string(held->begin(), held->end()), "first") << "a sender keeps what it started with";
    const auto replaced = files.Find("a");
    EXPECT_EQ(std::string(replaced->begin(), replaced->end()), "second!");
    files.Clear();
    EXPECT_EQ(files.GetCount(), 0u);
    EXPECT_FALSE(files.Find("a"));
    EXPECT_EQ(std::string(replaced->begin(), replaced->end()), "second!");
    files.Register("b", nullptr, 3);
    ASSERT_TRUE(files.Find("b"));
    EXPECT_TRUE(files.Find("b")->empty());
}

TEST(SystemRequestProcessor, TheStaticRegistrationFillsTheProgramsMap) {
    SystemRequestProcessor::ClearFiles();
    SystemRequestProcessor::RegisterFile("robots.txt", "abc", 3);
    SystemRequestProcessor::RegisterFile("negative", "abc", -1);
    const auto bytes = BuiltinFileMap::GetInstance().Find("robots.txt");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "abc");
    ASSERT_TRUE(BuiltinFileMap::GetInstance().Find("negative"));
    EXPECT_TRUE(BuiltinFileMap::GetInstance().Find("negative")->empty());
    SystemRequestProcessor::ClearFiles();
    EXPECT_EQ(BuiltinFileMap::GetInstance().GetCount(), 0u);
}

// A reload while files are being sent: every answer is one whole version of the file, never a mix
// and never freed memory (the sanitizer build checks the latter).
TEST_F(BuiltinFiles, ReloadingWhileServingNeverTearsAFile) {
    const std::string versionA(100000, 'a');
    const std::string versionB(100000, 'b');
    files.Register("big.txt", versionA.data(), versionA.size());
    std::atomic<bool> stop{false};
    std::thread reloader([&] {
        for (int i = 0; !stop; ++i) {
            const std::string& next = i % 2 ? versionA : versionB;
            files.Register("big.txt", next.data(), next.size());
        }
    });
    const std::string head =
        WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 100000\r\n\r\n");
    TCPSocket socket;
    Connect(socket, server.Port());
    for (int i = 0; i < 20; ++i) {
        SendText(socket, "GET /big.txt HTTP/1.1\r\n\r\n");
        ASSERT_EQ(ReadExactly(socket, head.size()), head);
        const std::string body = ReadExactly(socket, versionA.size());
        EXPECT_TRUE(body == versionA || body == versionB) << "a torn file";
    }
    stop = true;
    reloader.join();
}

} // namespace
} // namespace Vuxo
