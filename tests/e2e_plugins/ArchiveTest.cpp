// The archive plug-ins through the whole HTTP path: the selection of a folder page posted to the server,
// the archive streamed back, saved and checked by unzip, zipinfo, 7zz and bsdtar (ZIP) or lsar and unar
// (RAR); the byte count always equal to Content-Length, also for a sparse file of 4 GiB + 1 byte whose
// archive is counted and never stored; and selections that try to leave the share.
#include "PluginE2ESupport.h"

#include "core/text/UrlCoding.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

namespace Vuxo::PluginE2E {
namespace {

using Fixtures::ReadFile;
using Fixtures::WriteFile;

// Every regular file below `folder`, by relative path, with its content.
std::map<std::string, std::string> FilesBelow(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
        }
    }
    return files;
}

// The form body a folder page posts: every entry as the page links it (URL-encoded, folders with "/").
std::string Selection(const std::vector<std::string>& names) {
    std::vector<std::string> links;
    for (const std::string& name : names) {
        links.push_back(UrlEncode(name));
    }
    return "selectedFiles=" + FormEncode(SelectedFiles(links));
}

class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_FALSE(pub.empty());
        WriteFile(pub + "/notes.txt", "plain notes\n");
        WriteFile(pub + "/a&b<c>d.txt", "markup in the name");
        WriteFile(pub + "/사진/한글 파일.txt", "한글 내용");
        WriteFile(pub + "/사진/하위/깊은.txt", std::string(100000, 'x'));
        WriteFile(pub + "/emoji 😀/smile 😀.txt", "smile");
        WriteFile(fixture.OutsideFolder() + "/secret.txt", "outside secret");
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
        InstallAndLoad(fixture, {"Mevrin", "Vondel"});
        ASSERT_TRUE(fixture.Start());
    }

    // Posts the selection to the plug-in on the page /pub/ and saves the archive.
    StreamedResponse Archive(const std::string& plugin, const std::vector<std::string>& names,
                             const std::string& path) {
        StreamedResponse r =
            PostFormToFile(fixture.Port(), "/pub/?action=Plugin&type=" + plugin, Selection(names), path);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.contentLength, std::to_string(r.received)) << "bytes received must equal Content-Length";
        return r;
    }

    Fixtures::FixtureServer fixture;
    Fixtures::TempDir work{"corvanta-archives"};
    std::string pub;
};

TEST_F(ArchiveTest, ZipOfHangulAndMarkupNamesPassesEveryTool) {
    const std::string zip = work.Path("selection.zip");
    StreamedResponse r = Archive("Mevrin", {"notes.txt", "a&b<c>d.txt", "사진/"}, zip);
    EXPECT_EQ(r.contentType, "application/x-zip-compressed");
    EXPECT_NE(r.contentDisposition.find("attachment"), std::string::npos) << r.contentDisposition;

    CommandResult unzip = RunCommand("unzip -t " + ShellQuote(zip));
    EXPECT_EQ(unzip.exitCode, 0) << unzip.output;
    EXPECT_NE(unzip.output.find("No errors detected"), std::string::npos) << unzip.output;
    CommandResult zipinfo = RunCommand("zipinfo -v " + ShellQuote(zip));
    EXPECT_EQ(zipinfo.exitCode, 0) << zipinfo.output;
    CommandResult seven = RunCommand("7zz t " + ShellQuote(zip));
    EXPECT_EQ(seven.exitCode, 0) << seven.output;
    EXPECT_NE(seven.output.find("Everything is Ok"), std::string::npos) << seven.output;

    CommandResult list = RunCommand("bsdtar --options hdrcharset=CP949 -tf " + ShellQuote(zip));
    EXPECT_EQ(list.exitCode, 0) << list.output;
    EXPECT_EQ(list.output,
              "notes.txt\na&b<c>d.txt\n사진/\n사진/하위/\n사진/하위/깊은.txt\n사진/한글 파일.txt\n");
    CommandResult verbose = RunCommand("bsdtar --options hdrcharset=CP949 -tvf " + ShellQuote(zip));
    EXPECT_EQ(verbose.exitCode, 0) << verbose.output;
    EXPECT_NE(verbose.output.find("100000"), std::string::npos) << verbose.output;
    CommandResult content =
        RunCommand("bsdtar --options hdrcharset=CP949 -xOf " + ShellQuote(zip) + " '사진/한글 파일.txt'");
    EXPECT_EQ(content.output, "한글 내용");
}

TEST_F(ArchiveTest, ZipRefusesNamesCodePage949LacksAndPointsToRar) {
    Fixtures::HttpResponse r =
        PostForm(fixture.Port(), "/pub/?action=Plugin&type=Mevrin", Selection({"notes.txt", "emoji 😀/"}));
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("Please use a Vondel plugin."), std::string::npos) << r.body;
    EXPECT_EQ(r.body.find("PK"), std::string::npos) << "nothing of an archive is sent";
}

TEST_F(ArchiveTest, RarKeepsHangulEmojiAndMarkupNamesWithTheirContent) {
    const std::string rar = work.Path("selection.rar");
    StreamedResponse r = Archive("Vondel", {"notes.txt", "a&b<c>d.txt", "사진/", "emoji 😀/"}, rar);
    EXPECT_EQ(r.contentType, "application/x-rar-compressed");
    CommandResult lsar = RunCommand("lsar -t " + ShellQuote(rar));
    EXPECT_EQ(lsar.exitCode, 0) << lsar.output;
    const std::string target = work.Path("unpacked");
    CommandResult unar = RunCommand("unar -q -o " + ShellQuote(target) + " " + ShellQuote(rar));
    ASSERT_EQ(unar.exitCode, 0) << unar.output;
    std::map<std::string, std::string> expected = FilesBelow(pub);
    // unar puts a multi-entry archive into a folder named after the archive.
    std::string root = target;
    if (std::filesystem::exists(target + "/selection")) {
        root = target + "/selection";
    }
    EXPECT_EQ(FilesBelow(root), expected);
}

TEST_F(ArchiveTest, SelectionsThatLeaveTheShareAddNothing) {
    const std::string zip = work.Path("escape.zip");
    Archive("Mevrin", {"../../outside/secret.txt", "../../../../../../etc/passwd", "notes.txt"}, zip);
    const std::string bytes = ReadFile(zip);
    EXPECT_EQ(bytes.find("outside secret"), std::string::npos);
    EXPECT_EQ(bytes.find("root:"), std::string::npos);
    CommandResult list = RunCommand("bsdtar -tf " + ShellQuote(zip));
    EXPECT_EQ(list.output, "notes.txt\n");

    // A raw field that was never URL-encoded, as a hand-made request would send it.
    StreamedResponse raw =
        PostFormToFile(fixture.Port(), "/pub/?action=Plugin&type=Vondel",
                       "selectedFiles=..%2F..%2F..%2Fetc%2Fpasswd%0A", work.Path("raw.rar"));
    EXPECT_EQ(raw.status, 200);
    EXPECT_EQ(raw.contentLength, std::to_string(raw.received));
    EXPECT_EQ(ReadFile(work.Path("raw.rar")).find("root:"), std::string::npos);

    // At the root a selection names shares: "../" is none, so the rights check refuses it.
    Fixtures::HttpResponse root =
        PostForm(fixture.Port(), "/?action=Plugin&type=Mevrin", "selectedFiles=..%2Foutside%2Fsecret.txt%0A");
    EXPECT_EQ(root.body.find("outside secret"), std::string::npos);
    EXPECT_NE(root.status, 0);
}

TEST_F(ArchiveTest, LinksInsideASelectedFolderAreTakenOnlyWhenTheyStayInTheShare) {
    // A download of a link that leads out of the share is refused; an archive must not carry it either.
    std::filesystem::create_symlink(fixture.OutsideFolder() + "/secret.txt", pub + "/사진/link-out.txt");
    std::filesystem::create_symlink(pub + "/notes.txt", pub + "/사진/link-in.txt");
    std::filesystem::create_symlink("../../notes.txt", pub + "/사진/하위/relative-in.txt");
    for (const char* plugin : {"Mevrin", "Vondel"}) {
        SCOPED_TRACE(plugin);
        const std::string archive = work.Path(std::string("links-") + plugin);
        Archive(plugin, {"사진/"}, archive);
        const std::string bytes = ReadFile(archive);
        EXPECT_EQ(bytes.find("outside secret"), std::string::npos);
        EXPECT_EQ(bytes.find("link-out"), std::string::npos);
        EXPECT_NE(bytes.find("link-in.txt"), std::string::npos);
        EXPECT_NE(bytes.find("relative-in.txt"), std::string::npos);
    }
    const std::string zip = work.Path("links-Mevrin");
    EXPECT_EQ(RunCommand("unzip -t " + ShellQuote(zip)).exitCode, 0);
    EXPECT_EQ(RunCommand("unzip -p " + ShellQuote(zip) + " '*link-in.txt'").output, "plain notes\n");
}

class LargeArchiveTest : public ArchiveTest {
protected:
    static constexpr uint64_t kFourGiBPlusOne = (uint64_t{1} << 32) + 1;

    void SetUp() override {
        ArchiveTest::SetUp();
        WriteFile(pub + "/big/small.txt", "after the big one");
        const std::string huge = pub + "/big/huge.bin";
        const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kFourGiBPlusOne)), 0); // sparse: costs no disk
        ASSERT_EQ(::pwrite(fd, "e", 1, static_cast<off_t>(kFourGiBPlusOne - 1)), 1);
        ::close(fd);
    }
};

TEST_F(LargeArchiveTest, ZipOfFourGiBPlusOneArrivesWhole) {
    StreamedResponse r = Archive("Mevrin", {"big/"}, "");
    EXPECT_GT(r.received, kFourGiBPlusOne);
}

TEST_F(LargeArchiveTest, RarOfFourGiBPlusOneArrivesWhole) {
    StreamedResponse r = Archive("Vondel", {"big/"}, "");
    EXPECT_GT(r.received, kFourGiBPlusOne);
}

} // namespace
} // namespace Vuxo::PluginE2E
