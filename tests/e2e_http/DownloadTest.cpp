// Downloads end to end: whole files and byte ranges, keep-alive, large files sent from the file, the
// refusals of unusable ranges, files that are not regular, a file that shrinks during the send, and the
// connection-count limit.
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"

#include "core/file/PelkFile.h"
#include "service/access/ConnectionCountLimitManager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace Vuxo::Fixtures {
namespace {

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    }
    return bytes;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_FALSE(pub.empty());
        WriteFile(pub + "/hundred.txt", Pattern(100));
        WriteFile(pub + "/empty.dat", "");
        WriteFile(pub + "/PHOTO.JPG", "jpeg");
        WriteFile(pub + "/noext", "plain");
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
    }

    HttpResponse Get(const std::string& target, const std::string& headers = "") {
        return HttpGet(fixture.Port(), target, headers);
    }

    FixtureServer fixture;
    std::string pub;
};

TEST_F(DownloadTest, WholeFilesWithTypeAndLength) {
    ASSERT_TRUE(fixture.Start());
    const struct {
        const char* target;
        std::string body;
        const char* type;
    } cases[] = {
        {"/pub/hundred.txt", Pattern(100), "text/plain"},
        {"/pub/empty.dat", "", "application/octet-stream"},
        {"/pub/PHOTO.JPG", "jpeg", "image/jpeg"},
        {"/pub/noext", "plain", "application/octet-stream"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        HttpResponse r = Get(c.target);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.Header("Content-Length"), std::to_string(c.body.size()));
        EXPECT_EQ(r.Header("Content-Type"), c.type);
        EXPECT_EQ(r.body, c.body);
        EXPECT_FALSE(r.HasHeader("Last-Modified"));
        EXPECT_FALSE(r.HasHeader("Content-Disposition"));
    }
}

TEST_F(DownloadTest, DownloadsKeepTheConnectionForTheNextRequest) {
    ASSERT_TRUE(fixture.Start());
    TestHttpClient client(fixture.Port());
    for (int i = 0; i < 3; ++i) {
        client.SendGet("/pub/hundred.txt");
        HttpResponse r = client.ReadResponse();
        ASSERT_EQ(r.status, 200);
        EXPECT_EQ(r.body, Pattern(100));
        EXPECT_FALSE(r.HasHeader("Connection"));
    }
    // A page carries its length too, so the connection goes on after it.
    client.SendGet("/pub/");
    HttpResponse page = client.ReadResponse();
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.Header("Content-Length"), std::to_string(page.body.size()));
    EXPECT_FALSE(page.HasHeader("Connection"));
    client.SendGet("/pub/hundred.txt");
    EXPECT_EQ(client.ReadResponse().body, Pattern(100));
}

TEST_F(DownloadTest, LargeFileArrivesWhole) {
    const std::string content = Pattern(3 * 1024 * 1024 + 17);
    WriteFile(pub + "/large.bin", content);
    ASSERT_TRUE(fixture.Start());
    TestHttpClient client(fixture.Port());
    client.SendGet("/pub/large.bin");
    HttpResponse r = client.ReadResponse();
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Content-Length"), std::to_string(content.size()));
    EXPECT_TRUE(r.body == content);
    // A range of it, on the same connection.
    client.SendGet("/pub/large.bin", "Range: bytes=1000000-2999999\r\n");
    HttpResponse part = client.ReadResponse();
    EXPECT_EQ(part.status, 206);
    EXPECT_TRUE(part.body == content.substr(1000000, 2000000));
}

TEST_F(DownloadTest, ByteRanges) {
    ASSERT_TRUE(fixture.Start());
    const std::string content = Pattern(100);
    const struct {
        const char* range;
        int status;
        const char* contentRange;
        std::string body;
    } cases[] = {
        {"bytes=10-19", 206, "bytes 10-19/100", content.substr(10, 10)},
        {"bytes=-5", 206, "bytes 95-99/100", content.substr(95)},
        {"bytes=90-", 206, "bytes 90-99/100", content.substr(90)},
        {"bytes=0-0", 206, "bytes 0-0/100", content.substr(0, 1)},
        {"bytes=10-19,15-29", 206, "bytes 10-29/100", content.substr(10, 20)},
        // An end past the file's end is its end; a suffix longer than the file is the whole file.
        {"bytes=0-1000", 206, "bytes 0-99/100", content},
        {"bytes=50-200", 206, "bytes 50-99/100", content.substr(50)},
        {"bytes=-500", 206, "bytes 0-99/100", content},
        {"bytes=90-99,500-600", 206, "bytes 90-99/100", content.substr(90)},
        // What cannot be served, or is no range at all, is refused with the file's length.
        {"bytes=100-", 416, "bytes */100", ""},
        {"bytes=100-200,300-", 416, "bytes */100", ""},
        {"bytes=40-10", 416, "bytes */100", ""},
        {"bytes=abc", 416, "bytes */100", ""},
        {"bytes=a-b", 416, "bytes */100", ""},
        {"bytes=0x10-20", 416, "bytes */100", ""},
        {"bytes 0-9", 416, "bytes */100", ""},
        // A malformed piece ends the list; what came before it is served. Another unit is ignored.
        {"bytes=0-9,abc", 206, "bytes 0-9/100", content.substr(0, 10)},
        {"pages=1-2", 200, "", content},
        {"bytes=0-9,20-29", 501, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        HttpResponse r = Get("/pub/hundred.txt", std::string("Range: ") + c.range + "\r\n");
        EXPECT_EQ(r.status, c.status);
        if (c.status == 206 || c.status == 200) {
            EXPECT_EQ(r.Header("Content-range"), c.contentRange);
            EXPECT_EQ(r.Header("Content-Length"), std::to_string(c.body.size()));
            EXPECT_EQ(r.body, c.body);
        } else if (c.status == 416) {
            EXPECT_EQ(r.reason, "Requested Range Not Satisfiable");
            EXPECT_EQ(r.Header("Content-Range"), c.contentRange);
        } else {
            EXPECT_EQ(r.reason, "Not Implemented");
        }
    }
    // The header block of a range answer, in its order.
    TestHttpClient client(fixture.Port());
    client.SendGet("/pub/hundred.txt", "Range: bytes=10-19\r\n");
    EXPECT_EQ(client.ReadResponse().headerBlock,
              "HTTP/1.1 206 Partial Content\r\nContent-range: bytes 10-19/100\r\nContent-Length: 10\r\n"
              "Content-Type: text/plain\r\nX-Content-Type-Options: nosniff");
}

TEST_F(DownloadTest, HeadGivesTheHeadersOfGetWithoutTheBody) {
    WriteFile(pub + "/large.bin", Pattern(3 * 1024 * 1024));
    ASSERT_TRUE(fixture.Start());
    TestHttpClient client(fixture.Port());
    for (const char* target : {"/pub/hundred.txt", "/pub/large.bin", "/pub/missing"}) {
        for (const char* range : {"", "Range: bytes=10-19\r\n"}) {
            SCOPED_TRACE(std::string(target) + " " + range);
            client.SendGet(target, range);
            const HttpResponse get = client.ReadResponse();
            client.Send(std::string("HEAD ") + target + " HTTP/1.1\r\nHost: x\r\n" + range + "\r\n");
            const HttpResponse head = client.ReadHeaders();
            EXPECT_EQ(head.headerBlock, get.headerBlock);
            EXPECT_NE(head.Header("Content-Length"), "");
        }
    }
    // Nothing followed a HEAD answer: the next answer on the connection starts at its status line.
    client.SendGet("/pub/hundred.txt");
    EXPECT_EQ(client.ReadResponse().body, Pattern(100));
}

TEST_F(DownloadTest, OnlyRegularFilesAreServed) {
    ASSERT_EQ(::mkfifo((pub + "/pipe").c_str(), 0644), 0);
    ASSERT_TRUE(fixture.Start());
    // Opening a FIFO for reading would wait for a writer for ever; it is refused at once instead.
    HttpResponse r = Get("/pub/pipe");
    EXPECT_EQ(r.status, 404);
    // Nor is it listed.
    HttpResponse page = Get("/pub/");
    EXPECT_EQ(page.body.find("pipe"), std::string::npos);
}

TEST_F(DownloadTest, WhatDoesNotOpenAsAFileIsAnsweredByItsKindAndTheRights) {
    std::filesystem::create_directories(pub + "/folder.bin");
    WriteFile(pub + "/folder.bin/inner.txt", "inner");
    ASSERT_EQ(::mkfifo((pub + "/pipe.txt").c_str(), 0644), 0);
    ASSERT_TRUE(fixture.Start());
    // A folder named like a file is a page, never a download.
    HttpResponse folder = Get("/pub/folder.bin/");
    EXPECT_EQ(folder.status, 200);
    EXPECT_NE(folder.body.find("inner.txt"), std::string::npos);
    // Without the download right a file gets the challenge, while what is missing or no file stays 404.
    ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "L"));
    EXPECT_EQ(Get("/pub/hundred.txt").status, 401);
    EXPECT_EQ(Get("/pub/pipe.txt").status, 404);
    EXPECT_EQ(Get("/pub/missing.txt").status, 404);
    EXPECT_EQ(Get("/pub/folder.bin/").status, 200);
}

TEST_F(DownloadTest, FileThatCannotBeOpenedIs500) {
    WriteFile(pub + "/locked.txt", "x");
    // Another program holds the file exclusively: the shared open for reading is refused.
    PelkFile holder(pub + "/locked.txt", PelkFile::ModeRead, true);
    ASSERT_TRUE(holder.IsOpen());
    ASSERT_TRUE(fixture.Start());
    HttpResponse r = Get("/pub/locked.txt");
    EXPECT_EQ(r.status, 500);
    EXPECT_EQ(r.reason, "Internal Server Error");
    EXPECT_NE(r.body.find("파일을 열지 못함"), std::string::npos);
    holder.Close();
    EXPECT_EQ(Get("/pub/locked.txt").body, "x");
}

TEST_F(DownloadTest, FileThatShrinksEndsTheConnection) {
    const size_t size = 64u * 1024 * 1024;
    {
        // A sparse file: quick to make, read as zeros.
        std::filesystem::path path = pub + "/shrinking.bin";
        WriteFile(path, "");
        std::filesystem::resize_file(path, size);
    }
    ASSERT_TRUE(fixture.Start());
    TestHttpClient client(fixture.Port());
    client.SendGet("/pub/shrinking.bin");
    HttpResponse head = client.ReadHeaders();
    ASSERT_EQ(head.status, 200);
    ASSERT_EQ(head.Header("Content-Length"), std::to_string(size));
    // The body cannot all be in flight yet (socket buffers hold a few MiB): cut the file now.
    std::filesystem::resize_file(pub + "/shrinking.bin", 1000);
    const std::string received = client.ReadToEnd();
    EXPECT_LT(received.size(), size);
    // The server ended the connection rather than keeping it open with a short body.
    EXPECT_TRUE(client.ServerClosed());
}

TEST_F(DownloadTest, TotalConnectionLimitRefusesFurtherDownloads) {
    fixture.Server().GetConnectionCountLimitManager().SetTotalLimit(true, 1);
    WriteFile(pub + "/large.bin", Pattern(32 * 1024 * 1024));
    ASSERT_TRUE(fixture.Start());
    TestHttpClient holder(fixture.Port());
    holder.SendGet("/pub/large.bin");
    // Its header block arrived, so it holds the one count while its body is still being sent.
    ASSERT_EQ(holder.ReadHeaders().status, 200);

    HttpResponse refused = Get("/pub/hundred.txt");
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.reason, "Service Unavailable");
    EXPECT_NE(refused.body.find("사용자 수가 너무 많음"), std::string::npos);
    // Pages are not counted.
    EXPECT_EQ(Get("/pub/").status, 200);

    EXPECT_EQ(holder.ReadBytes(32 * 1024 * 1024).size(), 32u * 1024 * 1024);
    // The count is given back when the download ends: once the connection has answered its next request
    // (a page, which takes no count), the first one is over.
    holder.SendGet("/pub/");
    EXPECT_EQ(holder.ReadResponse().status, 200);
    EXPECT_EQ(Get("/pub/hundred.txt").status, 200);
}

} // namespace
} // namespace Vuxo::Fixtures
