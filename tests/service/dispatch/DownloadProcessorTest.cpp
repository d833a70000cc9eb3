// The download processor over a real connection, with an aggregator that records what it is told.
#include "core/http/HttpTestSupport.h"
#include "fixtures/support/TempDir.h"
#include "fixtures/support/TestHttpClient.h"

#include "core/file/PelkFile.h"
#include "core/http_headers/RangeHeader.h"
#include "service/processors/DownloadRequestProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace Vuxo {
namespace {

using Fixtures::HttpResponse;
using Fixtures::TempDir;
using Fixtures::TestHttpClient;

class RecordingAggregator : public Testing::CountingAggregator {
public:
    void SetTotalSize(TransferKey, int direction, int64_t size) override {
        if (direction == kDirectionDownload) {
            totalSize = size;
        }
    }
    void SetPosition(TransferKey, int direction, int64_t position) override {
        if (direction == kDirectionDownload) {
            startPosition = position;
        }
    }
    std::atomic<int64_t> totalSize{-1};
    std::atomic<int64_t> startPosition{-1};
};

class DownloadProcessorTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fixtures::WriteFile(folder.Path("data.txt"), std::string(100, 'a') + std::string(100, 'b'));
    }

    // Serves data.txt with the Range header of the request, as the dispatcher would.
    void Serve(HttpRequest& request) {
        PelkFile file(folder.Path("data.txt"), PelkFile::ModeRead, false);
        RangeHeader range;
        auto header = request.GetHeaders().find("RANGE");
        const bool hasRange = header != request.GetHeaders().end();
        if (hasRange) {
            ASSERT_TRUE(range.Parse(header->second));
            ASSERT_TRUE(range.Resolve(file.GetSize()));
        }
        DownloadRequestProcessor(folder.Path("data.txt"), file, file.GetSize(), hasRange, range)
            .SendFile(request);
    }

    TempDir folder;
    RecordingAggregator aggregator;
    Testing::FunctionHandler handler{[this](HttpRequest& request) { Serve(request); }};
    Testing::RunningServer server{handler, &aggregator};
};

TEST_F(DownloadProcessorTest, RangeReportsTheWholeSizeAndItsStart) {
    TestHttpClient client(server.Port());
    client.SendGet("/data.txt", "Range: bytes=10-19\r\n");
    HttpResponse r = client.ReadResponse();
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.Header("Content-range"), "bytes 10-19/200");
    EXPECT_EQ(r.body, std::string(10, 'a'));
    EXPECT_EQ(aggregator.totalSize.load(), 200);
    EXPECT_EQ(aggregator.startPosition.load(), 10);
}

} // namespace
} // namespace Vuxo
