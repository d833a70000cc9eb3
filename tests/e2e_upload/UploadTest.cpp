// Uploads end to end: bytes stored exactly, names numbered and never shared, every refusal's text, and
// every way an upload can fail (a cut connection, a body that ends early, a full disk) leaving no
// temporary file behind and the progress page saying it failed.
#include "UploadSupport.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TempDir.h"

#include "service/upload/UploadStatusTable.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace Vuxo::Fixtures {
namespace {

namespace fs = std::filesystem;

const std::string kBoundary = "----CorvantaTestBoundary7MA4YWxk";

class UploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_FALSE(pub.empty());
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LDU"));
    }

    uint16_t Port() { return fixture.Port(); }

    // The entry of a key in the program's table; state -1 when there is none.
    static int StatusOf(const std::string& key) {
        UploadStatusEntry entry;
        return UploadStatusTable::GetInstance().Find(key, entry) ? entry.state : -1;
    }

    // A key no other test uses (the table is the program's).
    static std::string NewKey() {
        static int counter = 0;
        return "[" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
               std::to_string(++counter) + "]";
    }

    FixtureServer fixture;
    std::string pub;
};

TEST_F(UploadTest, BinaryFileIsStoredByteForByte) {
    ASSERT_TRUE(fixture.Start());
    const std::string key = NewKey();
    for (size_t size : {size_t{0}, size_t{1}, size_t{70000}, size_t{3 * 1024 * 1024 + 17}}) {
        SCOPED_TRACE(size);
        const std::string content = AwkwardBytes(size, kBoundary);
        const std::string name = "blob" + std::to_string(size) + ".bin";
        HttpResponse r = Upload(Port(), "/pub/?action=Upload&key=" + key, name, content);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.Header("Content-Type"), "text/plain");
        EXPECT_EQ(r.body, "OK");
        EXPECT_EQ(ReadFile(pub + "/" + name), content);
        EXPECT_EQ(StatusOf(key), UploadStatusEntry::kFinished);
    }
    EXPECT_FALSE(HasTemporaryFile(pub));
}

TEST_F(UploadTest, NamesAreNumberedAndNothingIsReplaced) {
    ASSERT_TRUE(WriteFile(pub + "/a.txt", "first"));
    ASSERT_TRUE(WriteFile(pub + "/a(1).txt", "second"));
    ASSERT_TRUE(WriteFile(pub + "/README", "readme"));
    ASSERT_TRUE(fixture.Start());
    EXPECT_EQ(Upload(Port(), "/pub/?key=k", "a.txt", "third").body, "OK");
    EXPECT_EQ(Upload(Port(), "/pub/?key=k", "README", "again").body, "OK");
    EXPECT_EQ(Upload(Port(), "/pub/?key=k", "C:\\Users\\me\\a.txt", "fourth").body, "OK");
    EXPECT_EQ(ReadFile(pub + "/a.txt"), "first");
    EXPECT_EQ(ReadFile(pub + "/a(1).txt"), "second");
    EXPECT_EQ(ReadFile(pub + "/a(2).txt"), "third");
    EXPECT_EQ(ReadFile(pub + "/a(3).txt"), "fourth");
    EXPECT_EQ(ReadFile(pub + "/README"), "readme");
    EXPECT_EQ(ReadFile(pub + "/README(1)"), "again");
}

TEST_F(UploadTest, FolderPathWithoutItsSlashUploadsIntoTheFolder) {
    fs::create_directories(pub + "/sub dir");
    ASSERT_TRUE(fixture.Start());
    EXPECT_EQ(Upload(Port(), "/pub/sub%20dir?key=k", "x.txt", "inside").body, "OK");
    EXPECT_EQ(ReadFile(pub + "/sub dir/x.txt"), "inside");
    EXPECT_FALSE(fs::exists(pub + "/sub dirx.txt"));
}

TEST_F(UploadTest, RefusalsAreAnsweredWithTheirTexts) {
    ASSERT_TRUE(WriteFile(pub + "/a.txt", "a file"));
    const std::string single = fixture.Root() + "/single.txt";
    ASSERT_TRUE(WriteFile(single, "a shared file"));
    ASSERT_TRUE(fixture.Share(single, "single"));
    ASSERT_TRUE(fixture.SetRights(".anonymous", "single", "LDU"));
    ASSERT_TRUE(fixture.Start());
    const FormPart file{"uploadfile", "new.txt", "data"};
    const struct {
        const char* what;
        std::string target;
        std::vector<FormPart> parts;
        std::string answer;
    } cases[] = {
        {"a file's path", "/pub/a.txt?key=k", {file}, "업로드가 금지된 폴더입니다."},
        {"no key", "/pub/", {file}, "GET[key]가 없습니다."},
        {"no key but other parameters", "/pub/?action=Upload", {file}, "GET[key]가 없습니다."},
        {"another field name", "/pub/?key=k", {{"file", "new.txt", "data"}}, "잘못된 형식의 요청입니다."},
        {"no file chosen", "/pub/?key=k", {{"uploadfile", "", ""}}, "올릴 파일이 선택되지 않았습니다."},
        {"only blanks", "/pub/?key=k", {{"uploadfile", " \t ", "data"}}, "올릴 파일이 선택되지 않았습니다."},
        {"a parent reference", "/pub/?key=k", {{"uploadfile", "..", "data"}}, "잘못된 경로입니다."},
        {"a current-folder name", "/pub/?key=k", {{"uploadfile", "dir/.", "data"}}, "잘못된 경로입니다."},
        {"a control character",
         "/pub/?key=k",
         {{"uploadfile", "a\tb\x1b[31m.txt", "data"}},
         "잘못된 경로입니다."},
        // Controls that draw nothing but make the name read otherwise ("evilexe.txt").
        {"a right-to-left override",
         "/pub/?key=k",
         {{"uploadfile", "evil\u202etxt.exe", "x"}},
         "잘못된 경로입니다."},
        {"an isolate", "/pub/?key=k", {{"uploadfile", "a\u2066b.txt", "x"}}, "잘못된 경로입니다."},
        {"a C1 control", "/pub/?key=k", {{"uploadfile", "a\u0085b.txt", "x"}}, "잘못된 경로입니다."},
        {"two refused parts",
         "/pub/?key=k",
         {{"comment", std::nullopt, "hello"}, {"other", "new.txt", "data"}},
         "올릴 파일이 선택되지 않았습니다.\r\n잘못된 형식의 요청입니다."},
        {"no parts at all", "/pub/?key=k", {}, ""},
        {"a folder that does not exist", "/pub/missing/?key=k", {file}, "파일을 열지 못했습니다."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HttpResponse r = PostForm(Port(), c.target, c.parts);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, c.answer);
    }
    EXPECT_EQ(FolderNames(pub), std::vector<std::string>{"a.txt"});
    // A file share holds no upload right at all, whatever its rights say.
    EXPECT_EQ(Upload(Port(), "/single?key=k", "new.txt", "data").status, 401);
    EXPECT_EQ(ReadFile(single), "a shared file");
    // Paths that name no share, or climb out of one, never reach the upload.
    EXPECT_EQ(Upload(Port(), "/nowhere/?key=k", "x.txt", "x").status, 404);
    EXPECT_EQ(Upload(Port(), "/pub/../?key=k", "x.txt", "x").status, 301);
    EXPECT_EQ(FolderNames(pub), std::vector<std::string>{"a.txt"});
}

TEST_F(UploadTest, EveryNameAFolderCanHoldIsStored) {
    ASSERT_TRUE(fixture.Start());
    std::string korean;
    for (int i = 0; i < 83; ++i) {
        korean += "\xED\x95\x9C";
    }
    for (const std::string& name :
         {std::string(233, 'a') + ".txt", std::string(251, 'b') + ".txt", korean + ".txt"}) {
        SCOPED_TRACE(name.size()); // 237 to 255 bytes: the temporary name is longer than any name can be
        EXPECT_EQ(Upload(Port(), "/pub/?key=k", name, name).body, "OK");
        EXPECT_EQ(ReadFile(pub + "/" + name), name);
    }
    // The second of one name is numbered, its name cut (between characters) to make room.
    EXPECT_EQ(Upload(Port(), "/pub/?key=k", korean + ".txt", "again").body, "OK");
    EXPECT_EQ(ReadFile(pub + "/" + korean.substr(0, korean.size() - 3) + "(1).txt"), "again");
    EXPECT_EQ(FolderNames(pub).size(), 4u);
    EXPECT_FALSE(HasTemporaryFile(pub));
}

TEST_F(UploadTest, APlainFieldBeforeTheFileIsSkipped) {
    ASSERT_TRUE(fixture.Start());
    HttpResponse r =
        PostForm(Port(), "/pub/?key=k", {{"note", std::nullopt, "skip me"}, {"uploadfile", "b.txt", "B"}});
    EXPECT_EQ(r.body, "OK");
    EXPECT_EQ(ReadFile(pub + "/b.txt"), "B");
}

TEST_F(UploadTest, UploadingNeedsTheUploadRight) {
    ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
    fixture.AddUser("alice", "wonder");
    ASSERT_TRUE(fixture.SetRights("alice", "pub", "LDU"));
    ASSERT_TRUE(fixture.Start());
    EXPECT_EQ(Upload(Port(), "/pub/?key=k", "x.txt", "x").status, 401);
    EXPECT_FALSE(fs::exists(pub + "/x.txt"));
    HttpResponse r = Upload(Port(), "/pub/?key=k", "x.txt", "x", BasicAuthorization("alice", "wonder"));
    EXPECT_EQ(r.body, "OK");
    EXPECT_EQ(ReadFile(pub + "/x.txt"), "x");
}

TEST_F(UploadTest, AClientWaitingForContinueSendsItsFileOnlyWhenItWillBeTaken) {
    ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
    ASSERT_TRUE(fixture.AddUser("alice", "wonder"));
    ASSERT_TRUE(fixture.SetRights("alice", "pub", "LDU"));
    ASSERT_TRUE(fixture.Start());
    const std::string body = MultipartBody(kBoundary, {{"uploadfile", "big.bin", std::string(500000, 'b')}});
    const std::string expect = "Expect: 100-continue\r\n";
    // Refused: the final answer comes at once, without the body being waited for or read.
    TestHttpClient refused(Port());
    refused.Send(UploadHead("/pub/?key=k", kBoundary, static_cast<int64_t>(body.size()), expect));
    EXPECT_EQ(refused.ReadResponse().status, 401);
    EXPECT_TRUE(refused.ServerClosed());
    // Taken: "100 Continue" first, then the body, then the answer.
    TestHttpClient taken(Port());
    taken.Send(UploadHead("/pub/?key=k", kBoundary, static_cast<int64_t>(body.size()),
                          expect + BasicAuthorization("alice", "wonder")));
    const HttpResponse goOn = taken.ReadResponse(false);
    EXPECT_EQ(goOn.headerBlock, "HTTP/1.1 100 Continue");
    taken.Send(body);
    EXPECT_EQ(taken.ReadResponse().body, "OK");
    EXPECT_EQ(ReadFile(pub + "/big.bin"), std::string(500000, 'b'));
}

// Sends all of an upload but its last `held` bytes; returns the rest.
std::string SendAllBut(TestHttpClient& client, const std::string& target, const std::string& content,
                       size_t held) {
    const std::string body = MultipartBody(kBoundary, {{"uploadfile", "same.txt", content}});
    client.Send(UploadHead(target, kBoundary, static_cast<int64_t>(body.size())) +
                body.substr(0, body.size() - held));
    return body.substr(body.size() - held);
}

TEST_F(UploadTest, SimultaneousUploadsOfOneNameGiveTwoIntactFiles) {
    ASSERT_TRUE(fixture.Start());
    const std::string first(200000, 'A');
    const std::string second(150000, 'B');
    TestHttpClient a(Port());
    TestHttpClient b(Port());
    const std::string restA = SendAllBut(a, "/pub/?key=a", first, 100);
    const std::string restB = SendAllBut(b, "/pub/?key=b", second, 100);
    // Both are arriving at once, each in a temporary file of its own.
    ASSERT_TRUE(WaitUntil([&] {
        return fs::exists(pub + "/uploading_same.txt.CORVANTA") &&
               fs::exists(pub + "/uploading_same.txt(1).CORVANTA");
    }));
    b.Send(restB);
    EXPECT_EQ(b.ReadResponse().body, "OK");
    a.Send(restA);
    EXPECT_EQ(a.ReadResponse().body, "OK");
    EXPECT_EQ(FolderNames(pub), (std::vector<std::string>{"same(1).txt", "same.txt"}));
    const std::string x = ReadFile(pub + "/same.txt");
    const std::string y = ReadFile(pub + "/same(1).txt");
    EXPECT_TRUE((x == first && y == second) || (x == second && y == first));
}

TEST_F(UploadTest, AFileMadeDuringTheUploadIsNotReplaced) {
    ASSERT_TRUE(fixture.Start());
    TestHttpClient client(Port());
    const std::string rest = SendAllBut(client, "/pub/?key=k", std::string(100000, 'u'), 50);
    ASSERT_TRUE(WaitUntil([&] { return HasTemporaryFile(pub); }));
    ASSERT_TRUE(WriteFile(pub + "/same.txt", "made meanwhile"));
    client.Send(rest);
    EXPECT_EQ(client.ReadResponse().body, "OK");
    EXPECT_EQ(ReadFile(pub + "/same.txt"), "made meanwhile");
    EXPECT_EQ(ReadFile(pub + "/same(1).txt"), std::string(100000, 'u'));
}

TEST_F(UploadTest, ACutConnectionLeavesNoTemporaryFileAndAFailedStatus) {
    ASSERT_TRUE(fixture.Start());
    // Cut within the first buffer, and after buffers have gone to the disk behind the receive.
    for (size_t size : {size_t{500000}, size_t{5 * 1024 * 1024}}) {
        SCOPED_TRACE(size);
        const std::string key = NewKey();
        {
            TestHttpClient client(Port());
            SendAllBut(client, "/pub/?key=" + key, std::string(size, 'c'), 200000);
            ASSERT_TRUE(WaitUntil([&] { return StatusOf(key) == UploadStatusEntry::kRunning; }));
        } // the browser goes away
        ASSERT_TRUE(WaitUntil([&] { return StatusOf(key) == UploadStatusEntry::kFailed; }));
        EXPECT_TRUE(FolderNames(pub).empty());
    }
}

TEST_F(UploadTest, ABodyThatEndsEarlyIsAFailure) {
    ASSERT_TRUE(fixture.Start());
    const std::string content = AwkwardBytes(100000, kBoundary);
    const std::string body = MultipartBody(kBoundary, {{"uploadfile", "early.bin", content}});
    const std::string noClosing = body.substr(0, body.size() - ("\r\n--" + kBoundary + "--\r\n").size());
    const struct {
        const char* what;
        std::string sent;
        int64_t announced;
    } cases[] = {
        {"Content-Length shorter than the body", body, static_cast<int64_t>(body.size() / 2)},
        {"no delimiter after the file", noClosing, static_cast<int64_t>(noClosing.size())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string key = NewKey();
        TestHttpClient client(Port());
        client.Send(UploadHead("/pub/?key=" + key, kBoundary, c.announced) + c.sent);
        HttpResponse r = client.ReadResponse();
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, "파일을 끝까지 받지 못했습니다.");
        EXPECT_EQ(StatusOf(key), UploadStatusEntry::kFailed);
        EXPECT_TRUE(FolderNames(pub).empty());
    }
}

// The file-size limit of this process for the life of the object, with SIGXFSZ ignored so that a write
// past it fails with EFBIG as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool IsSet() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_set = false;
};

TEST_F(UploadTest, AFullDiskIsReportedAndTheTemporaryFileRemoved) {
    ASSERT_TRUE(fixture.Start());
    const std::string key = NewKey();
    HttpResponse r;
    {
        FileSizeLimit limit(256 * 1024);
        ASSERT_TRUE(limit.IsSet());
        r = Upload(Port(), "/pub/?key=" + key, "huge.bin", std::string(2 * 1024 * 1024, 'h'));
    }
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "파일에 쓸 수 없습니다.");
    EXPECT_EQ(StatusOf(key), UploadStatusEntry::kFailed);
    EXPECT_TRUE(FolderNames(pub).empty());
    // The next upload is not hindered by the failed one.
    EXPECT_EQ(Upload(Port(), "/pub/?key=" + key, "small.bin", "fits").body, "OK");
}

TEST_F(UploadTest, TheProgressPageReportsTheFinishedUpload) {
    ASSERT_TRUE(fixture.Start());
    const std::string key = "[e2e-progress]";
    ASSERT_EQ(Upload(Port(), "/pub/?action=Upload&key=%5Be2e-progress%5D", "it's <done>.txt", "x").body,
              "OK");
    HttpResponse r = HttpGet(Port(), "/pub/?action=UploadStatus&key=%5Be2e-progress%5D");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Content-Type"), "text/html");
    EXPECT_NE(r.body.find("parent.onUpdateUpload('\\x3Cb>it&#39;s &lt;done&gt;.txt\\x3C/b>\\x3Cbr/>"
                          "업로드가 끝났습니다. "),
              std::string::npos)
        << r.body;
    EXPECT_NE(r.body.find("parent.onUpdateProgress(0);"), std::string::npos);
    // The status page needs no rights: the key is the secret.
    ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", ""));
    EXPECT_NE(
        HttpGet(Port(), "/pub/?action=UploadStatus&key=%5Be2e-progress%5D").body.find("업로드가 끝났습니다."),
        std::string::npos);
}

} // namespace
} // namespace Vuxo::Fixtures
