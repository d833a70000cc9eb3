// The playlist plug-ins through the whole HTTP path: ASX and extended M3U byte for byte as the formats
// say, the host of the links from the request, the folder walk, and an ASX that xmllint accepts.
#include "PluginE2ESupport.h"

#include "core/text/UrlCoding.h"

#include <gtest/gtest.h>

namespace Vuxo::PluginE2E {
namespace {

using Fixtures::WriteFile;

std::string Selection(const std::vector<std::string>& names) {
    std::vector<std::string> links;
    for (const std::string& name : names) {
        links.push_back(UrlEncode(name));
    }
    return "selectedFiles=" + FormEncode(SelectedFiles(links));
}

class PlaylistTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string video = fixture.MakeShare("video");
        WriteFile(video + "/a b.avi", "v");
        WriteFile(video + "/한글.mkv", "v");
        WriteFile(video + "/notes.txt", "n");
        WriteFile(video + "/sub/c.wmv", "v");
        WriteFile(video + "/sub/.hidden/x.avi", "v");
        WriteFile(video + "/a&b<c>.mp4", "v");
        const std::string music = fixture.MakeShare("music");
        WriteFile(music + "/song.MP3", "a");
        WriteFile(music + "/readme", "r");
        WriteFile(music + "/cd1/t.mp3", "a");
        WriteFile(music + "/.hidden/x.mp3", "a");
        ASSERT_TRUE(fixture.SetRights(".anonymous", "video", "LD"));
        ASSERT_TRUE(fixture.SetRights(".anonymous", "music", "LD"));
        InstallAndLoad(fixture, {"Tolvane", "Kestrin"});
        ASSERT_TRUE(fixture.Start());
    }

    Fixtures::FixtureServer fixture;
    Fixtures::TempDir work{"corvanta-playlists"};
};

TEST_F(PlaylistTest, AsxIsExactWithTheHostAsTheClientSentIt) {
    Fixtures::HttpResponse r =
        PostForm(fixture.Port(), "/video/?action=Plugin&type=Tolvane",
                 Selection({"a b.avi", "한글.mkv", "notes.txt", "sub/"}), "Host: media.example:8080\r\n");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Content-Type"), "video/x-ms-asf; charset=cp949");
    EXPECT_EQ(r.body,
              "<asx version = \"3.0\" >\n"
              "\t<entry>\n\t\t<title>\na b.avi</title>\n"
              "\t\t<ref href = \"http://media.example:8080/video/a%20b.avi\" />\n\t</entry>\n"
              "\t<entry>\n\t\t<title>\n\xC7\xD1\xB1\xDB.mkv</title>\n"
              "\t\t<ref href = \"http://media.example:8080/video/%ed%95%9c%ea%b8%80.mkv\" />\n\t</entry>\n"
              "\t<entry>\n\t\t<title>\nc.wmv</title>\n"
              "\t\t<ref href = \"http://media.example:8080/video/sub/c.wmv\" />\n\t</entry>\n"
              "</asx>");
}

TEST_F(PlaylistTest, AsxIsWellFormedXmlWhateverTheNames) {
    Fixtures::HttpResponse r = PostForm(fixture.Port(), "/video/?action=Plugin&type=Tolvane",
                                        Selection({"a&b<c>.mp4", "한글.mkv", "a b.avi"}));
    ASSERT_EQ(r.status, 200);
    const std::string path = work.Path("list.asx");
    ASSERT_TRUE(WriteFile(path, r.body));
    // The file is in code page 949 without a declaration, so it is read through iconv.
    CommandResult lint = RunCommand("iconv -f CP949 -t UTF-8 " + ShellQuote(path) + " | xmllint --noout -");
    EXPECT_EQ(lint.exitCode, 0) << lint.output << "\n" << r.body;
    EXPECT_EQ(lint.output, "");
}

TEST_F(PlaylistTest, M3uIsExactAndWalksSelectedFolders) {
    Fixtures::HttpResponse r =
        PostForm(fixture.Port(), "/music/?action=Plugin&type=Kestrin",
                 Selection({"song.MP3", "readme", "cd1/", ".hidden/"}), "Host: media.example:8080\r\n");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Content-Type"), "audio/x-mpegurl");
    EXPECT_EQ(r.body, "#EXTM3U\n"
                      "#EXTINF:-1,song.MP3\nhttp://media.example:8080/music/song.MP3\n"
                      "#EXTINF:-1,t.mp3\nhttp://media.example:8080/music/cd1/t.mp3\n"
                      "#EXTINF:-1,x.mp3\nhttp://media.example:8080/music/.hidden/x.mp3\n");
}

TEST_F(PlaylistTest, WithoutAHostHeaderTheLinksUseTheServersAddressAndPort) {
    const std::string body = Selection({"song.MP3"});
    Fixtures::TestHttpClient client(fixture.Port());
    client.Send("POST /music/?action=Plugin&type=Kestrin HTTP/1.0\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body);
    Fixtures::HttpResponse r = client.ReadResponse();
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "#EXTM3U\n#EXTINF:-1,song.MP3\nhttp://127.0.0.1:" + std::to_string(fixture.Port()) +
                          "/music/song.MP3\n");
}

} // namespace
} // namespace Vuxo::PluginE2E
