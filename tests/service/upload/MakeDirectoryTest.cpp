// Making a folder when the share is removed between the check of the request and the making: the request
// is refused with the general failure text, and nothing is made anywhere.
#include "core/http/HttpRequest.h"
#include "core/http/HttpRequestHandler.h"
#include "core/http/WebServer.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"
#include "service/mkdir/MakeDirectoryRequestProcessor.h"
#include "service/mounts/MountManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace Vuxo {
namespace {

using Fixtures::FixtureServer;
using Fixtures::HttpGet;
using Fixtures::TempDir;

// The fixture's server, except that the share list is empty from the second look at it on.
class ShareGoneAfterTheFirstLook : public ServerContext {
public:
    ShareGoneAfterTheFirstLook(ServerContext& server, MountManager& empty)
        : m_server(server), m_empty(empty) {}
    uint16_t GetPort() const override { return m_server.GetPort(); }
    QuilloConfig& GetConfig() const override { return m_server.GetConfig(); }
    MountManager& GetMountManager() const override {
        return m_looks++ == 0 ? m_server.GetMountManager() : m_empty;
    }
    AccountStore& GetAccountStore() const override { return m_server.GetAccountStore(); }
    ConnectionCountLimitManager& GetConnectionCountLimitManager() const override {
        return m_server.GetConnectionCountLimitManager();
    }
    const IPFilter& GetIPFilter() const override { return m_server.GetIPFilter(); }
    const std::string& GetProgramFolder() const override { return m_server.GetProgramFolder(); }

private:
    ServerContext& m_server;
    MountManager& m_empty;
    mutable std::atomic<int> m_looks{0};
};

class MakeDirectoryHandler : public HttpRequestHandler {
public:
    explicit MakeDirectoryHandler(ServerContext& server) : m_server(server) {}
    void HandleRequest(HttpRequest& request) override {
        MakeDirectoryRequestProcessor(m_server).MakeDirectory(request);
    }

private:
    ServerContext& m_server;
};

TEST(MakeDirectoryTest, AShareRemovedAfterTheCheckGetsTheFailurePageAndNoFolder) {
    FixtureServer fixture;
    const std::string pub = fixture.MakeShare("pub");
    ASSERT_FALSE(pub.empty());
    TempDir emptyFolder;
    QuilloConfig emptyConfig(emptyFolder.Path());
    MountManager noShares(emptyConfig);
    ShareGoneAfterTheFirstLook server(fixture.Server(), noShares);
    MakeDirectoryHandler handler(server);
    WebServer web;
    web.SetHandler(&handler);
    ASSERT_TRUE(web.Start(0));

    const std::string name = "corvanta-gone-share-" + std::to_string(::getpid());
    const Fixtures::HttpResponse r =
        HttpGet(static_cast<uint16_t>(web.GetPort()), "/pub/?action=MakeDirectory&name=" + name);
    web.Stop();
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("폴더를 만들지 못했습니다."), std::string::npos) << r.body;
    EXPECT_FALSE(std::filesystem::exists(pub + "/" + name));
    std::error_code error;
    EXPECT_FALSE(std::filesystem::remove("/" + name, error)) << "made at the root of the file system";
}

} // namespace
} // namespace Vuxo
