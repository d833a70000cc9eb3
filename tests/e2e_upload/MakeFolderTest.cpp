// New folders end to end: the redirect back to the folder, every refusal's message page, and names that
// could reach outside the folder.
#include "UploadSupport.h"
#include "fixtures/support/DumpPage.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace Vuxo::Fixtures {
namespace {

namespace fs = std::filesystem;

class MakeFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_FALSE(pub.empty());
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LDU"));
    }

    HttpResponse Get(const std::string& target) { return HttpGet(fixture.Port(), target); }

    // The message page's content when the request was refused; "" for any other answer.
    std::string Refusal(const std::string& target) {
        HttpResponse r = Get(target);
        DumpPage page(r.body);
        EXPECT_EQ(r.status, 200) << target;
        EXPECT_EQ(page.Get("title"), "폴더 만들기 실패") << target;
        return page.Get("content");
    }

    FixtureServer fixture;
    std::string pub;
};

TEST_F(MakeFolderTest, ANewFolderAndTheWayBackToTheFolder) {
    ASSERT_TRUE(fixture.Start());
    HttpResponse r = Get("/pub/?action=MakeDirectory&name=%20New%20folder%09");
    EXPECT_EQ(r.status, 301);
    EXPECT_EQ(r.Header("Location"), ".");
    EXPECT_TRUE(fs::is_directory(pub + "/New folder")); // surrounding blanks trimmed

    // The page the browser comes back to lists it.
    DumpPage page(Get("/pub/").body);
    ASSERT_EQ(page.Rows("files").size(), 1u);
    EXPECT_EQ(page.Rows("files")[0].fields[0], "New folder");

    EXPECT_EQ(Get("/pub/New%20folder/?action=MakeDirectory&name=%ED%95%9C%EA%B8%80").status, 301);
    EXPECT_TRUE(fs::is_directory(pub + "/New folder/\xED\x95\x9C\xEA\xB8\x80"));
}

TEST_F(MakeFolderTest, AFolderPathWithoutItsSlashGetsTheFolderInside) {
    fs::create_directory(pub + "/sub");
    ASSERT_TRUE(fixture.Start());
    HttpResponse r = Get("/pub/sub?action=MakeDirectory&name=inner");
    EXPECT_EQ(r.status, 301);
    EXPECT_EQ(r.Header("Location"), "/pub/sub/");
    EXPECT_TRUE(fs::is_directory(pub + "/sub/inner"));
    EXPECT_FALSE(fs::exists(pub + "/subinner"));
}

TEST_F(MakeFolderTest, RefusalsSayWhy) {
    fs::create_directory(pub + "/exists");
    ASSERT_TRUE(WriteFile(pub + "/a.txt", "file"));
    ASSERT_TRUE(fixture.Start());
    const struct {
        const char* target;
        const char* content;
    } cases[] = {
        {"/pub/?action=MakeDirectory", "폴더 이름이 입력되지 않았습니다."},
        {"/pub/?action=MakeDirectory&name=", "폴더 이름이 입력되지 않았습니다."},
        {"/pub/?action=MakeDirectory&name=%20%09%0d%0a", "폴더 이름이 입력되지 않았습니다."},
        {"/pub/?action=MakeDirectory&name=exists", "폴더를 만들지 못했습니다."},
        {"/pub/?action=MakeDirectory&name=a.txt", "폴더를 만들지 못했습니다."},
        {"/pub/a.txt?action=MakeDirectory&name=x", "업로드가 금지된 폴더입니다."},
        {"/pub/missing/?action=MakeDirectory&name=x", "폴더를 만들지 못했습니다."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Refusal(c.target), c.content) << c.target;
    }
    EXPECT_EQ(FolderNames(pub), (std::vector<std::string>{"a.txt", "exists"}));
}

TEST_F(MakeFolderTest, NamesThatAreNotOneFolderNameAreRefused) {
    ASSERT_TRUE(fixture.Start());
    const char* names[] = {".", "..", "%20..%20", "a%2fb", "..%2f..%2fescaped", "a%5cb", "%2fabsolute",
                           "a%00b",
                           // Control characters, which could forge a line of the day log.
                           "x%0A%5B12%2F09%2000%3A00%3A00%5D%20FORGED", "a%0db", "a%09b", "a%1bb", "a%7fb",
                           // Bidirectional and C1 controls, which make a name read otherwise than it is.
                           "evil%E2%80%AEtxt.exe", "a%E2%80%AAb", "a%E2%81%A9b", "a%C2%85b", "a%C2%9Fb"};
    for (const char* name : names) {
        EXPECT_EQ(Refusal(std::string("/pub/?action=MakeDirectory&name=") + name),
                  "폴더 이름으로 쓸 수 없는 이름입니다.")
            << name;
    }
    EXPECT_TRUE(FolderNames(pub).empty());
    EXPECT_TRUE(FolderNames(fixture.Root() + "/shares") == std::vector<std::string>{"pub"});
    EXPECT_FALSE(fs::exists(fixture.Root() + "/escaped"));
    EXPECT_FALSE(fs::exists("/absolute"));
}

TEST_F(MakeFolderTest, AFileShareAndAMissingRightAreRefused) {
    const std::string single = fixture.Root() + "/single.txt";
    ASSERT_TRUE(WriteFile(single, "x"));
    ASSERT_TRUE(fixture.Share(single, "single"));
    ASSERT_TRUE(fixture.SetRights(".anonymous", "single", "LDU"));
    fixture.AddUser("bob", "builder");
    ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
    ASSERT_TRUE(fixture.SetRights("bob", "pub", "LDU"));
    ASSERT_TRUE(fixture.Start());

    // Without the U right: the login challenge, and nothing made.
    HttpResponse r = Get("/pub/?action=MakeDirectory&name=x");
    EXPECT_EQ(r.status, 401);
    EXPECT_EQ(r.Header("WWW-Authenticate"), "Basic realm=\"/\"");
    EXPECT_EQ(Get("/single?action=MakeDirectory&name=x").status, 401);
    EXPECT_FALSE(fs::exists(pub + "/x"));

    r = HttpGet(fixture.Port(), "/pub/?action=MakeDirectory&name=x", BasicAuthorization("bob", "builder"));
    EXPECT_EQ(r.status, 301);
    EXPECT_TRUE(fs::is_directory(pub + "/x"));
}

} // namespace
} // namespace Vuxo::Fixtures
