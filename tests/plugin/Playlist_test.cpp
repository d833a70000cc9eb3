// Tolvane (ASX) and Kestrin (M3U): byte-for-byte playlists, the extension lists, the folder walk, and
// output that stays well-formed whatever the file names hold.
#include "PluginTestSupport.h"

#include <gtest/gtest.h>

namespace PluginTest {
namespace {

class Playlists : public ::testing::Test {
protected:
    TempDir share;
    TempDir work;
    PluginLibrary asx{"Tolvane"};
    PluginLibrary m3u{"Kestrin"};
};

TEST_F(Playlists, AsxIsExactWithTheHostHeaderAsSent) {
    share.WriteFile("a b.avi", "v");
    share.WriteFile("한글.mkv", "v");
    FakeRequest request = MakeRequest("video", share.Path(), "video/", "a b.avi\n한글.mkv\nnotes.txt\n");
    request.headers["HOST"] = " media.example:8080\t";
    asx.Run(request);
    const FakeResponse& response = request.response;
    EXPECT_EQ(response.code, 200);
    EXPECT_EQ(response.reason, "OK");
    EXPECT_EQ(response.Header("Content-Type"), "video/x-ms-asf; charset=cp949");
    EXPECT_EQ(response.body, "<asx version = \"3.0\" >\n"
                             "\t<entry>\n\t\t<title>\na b.avi</title>\n"
                             "\t\t<ref href = \"http://media.example:8080/video/a%20b.avi\" />\n\t</entry>\n"
                             "\t<entry>\n\t\t<title>\n\xC7\xD1\xB1\xDB.mkv</title>\n"
                             "\t\t<ref href = \"http://media.example:8080/video/%ed%95%9c%ea%b8%80.mkv\" />\n"
                             "\t</entry>\n"
                             "</asx>");
    EXPECT_TRUE(response.ended);
}

TEST_F(Playlists, M3uIsExactAndFallsBackToTheServerAddress) {
    share.WriteFile("song.MP3", "a");
    share.WriteFile("readme", "r");
    share.WriteFile("한글.ogg", "a");
    FakeRequest request = MakeRequest("music", share.Path(), "music/", "song.MP3\nreadme\n한글.ogg\n");
    request.serverHost = "host.example";
    request.serverPort = 81;
    m3u.Run(request);
    EXPECT_EQ(request.response.Header("Content-Type"), "audio/x-mpegurl");
    EXPECT_EQ(request.response.body,
              "#EXTM3U\n"
              "#EXTINF:-1,song.MP3\nhttp://host.example:81/music/song.MP3\n"
              "#EXTINF:-1,한글.ogg\nhttp://host.example:81/music/%ed%95%9c%ea%b8%80.ogg\n");
}

TEST_F(Playlists, AnExtensionMatchesOnlyAsAWholeWordOfTheList) {
    const std::pair<const char*, bool> m3uCases[] = {
        {"a.mp3", true},      {"a.Mp3", true}, {"a.aiff", true},  {"a.mp", false}, {"a.p3", false},
        {"a.mp3 ogg", false}, {"a.", false},   {"readme", false}, {"a.sid", true}, {"a.d", false},
    };
    std::string selection;
    std::string expected = "#EXTM3U\n";
    for (const auto& [name, playable] : m3uCases) {
        share.WriteFile(name, "x");
        selection += std::string(name) + "\n";
        if (playable) {
            expected += std::string("#EXTINF:-1,") + name + "\nhttp://192.0.2.7:8080/m/" + name + "\n";
        }
    }
    FakeRequest request = MakeRequest("m", share.Path(), "m/", selection);
    m3u.Run(request);
    EXPECT_EQ(request.response.body, expected);

    FakeRequest video = MakeRequest("m", share.Path(), "m/", "a.mp\nx.v\n");
    share.WriteFile("x.v", "x");
    asx.Run(video);
    EXPECT_EQ(video.response.body,
              "<asx version = \"3.0\" >\n</asx>"); // "mp" and "v" are only parts of words
}

TEST_F(Playlists, SelectedFoldersAreWalkedByNameSkippingDotNames) {
    share.WriteFile("music/cd2/b.mp3", "x");
    share.WriteFile("music/cd1/t.mp3", "x");
    share.WriteFile("music/cd1/a.mp3", "x");
    share.WriteFile("music/.hidden/x.mp3", "x");
    share.WriteFile("music/.y.mp3", "x");
    share.WriteFile("music/cover.jpg", "x");
    FakeRequest request = MakeRequest("share", share.Path(), "share/", "music/\n");
    m3u.Run(request);
    EXPECT_EQ(request.response.body, "#EXTM3U\n"
                                     "#EXTINF:-1,a.mp3\nhttp://192.0.2.7:8080/share/music/cd1/a.mp3\n"
                                     "#EXTINF:-1,t.mp3\nhttp://192.0.2.7:8080/share/music/cd1/t.mp3\n"
                                     "#EXTINF:-1,b.mp3\nhttp://192.0.2.7:8080/share/music/cd2/b.mp3\n");
}

TEST_F(Playlists, AsxStaysWellFormedWhateverTheNames) {
    const char* names[] = {"a&b.avi",         "<tag>.avi",
                           "it's \"q\".avi",  "smile \xF0\x9F\x98\x80.avi",
                           "ctl\x01\x1F.avi", "caf\xC3\xA9.avi"};
    std::string selection;
    for (const char* name : names) {
        share.WriteFile(std::string("v/") + name, "x");
    }
    FakeRequest request = MakeRequest("s", share.Path(), "s/", "v/\n");
    request.headers["HOST"] = "a&b'c:80"; // a host name may hold "&" and "'"
    asx.Run(request);
    const std::string& body = request.response.body;
    EXPECT_NE(body.find("\n&lt;tag&gt;.avi</title>"), std::string::npos) << body;
    EXPECT_NE(body.find("\na&amp;b.avi</title>"), std::string::npos) << body;
    EXPECT_NE(body.find("\nit&apos;s &quot;q&quot;.avi</title>"), std::string::npos) << body;
    EXPECT_NE(body.find("\nsmile _.avi</title>"), std::string::npos) << body;
    EXPECT_NE(body.find("\nctl__.avi</title>"), std::string::npos) << body;
    EXPECT_NE(body.find("href = \"http://a&amp;b&apos;c:80/s/v/a%26b.avi\""), std::string::npos) << body;

    const std::string path = work / "list.asx";
    SaveFile(path, body);
    const CommandResult xmllint =
        RunCommand("iconv -f CP949 -t UTF-8 " + ShellQuote(path) + " | xmllint --noout -");
    EXPECT_EQ(xmllint.exitCode, 0) << xmllint.output;
    EXPECT_EQ(xmllint.output, "");
}

TEST_F(Playlists, M3uLinesCannotBeSplitByControlCharacters) {
    share.WriteFile("bad\nname\r.mp3", "x");
    share.WriteFile("tab\tbell\x07.mp3", "x");
    FakeRequest request = MakeRequest("s", share.Path(), "s/", "bad%0Aname%0D.mp3\ntab%09bell%07.mp3\n");
    request.headers["HOST"] = "host\x01:80";
    m3u.Run(request);
    // A Host header that is no host name gives way to the server's own address.
    EXPECT_EQ(request.response.body, "#EXTM3U\n"
                                     "#EXTINF:-1,bad_name_.mp3\nhttp://192.0.2.7:8080/s/bad%0aname%0d.mp3\n"
                                     "#EXTINF:-1,tab_bell_.mp3\nhttp://192.0.2.7:8080/s/tab%09bell%07.mp3\n");
    for (const char* host : {"a\rb:80", "a\x7F:80", "a\xC2\x85#EXTINF:-1,x:80", "a b:80", ""}) {
        SCOPED_TRACE(host);
        FakeRequest other = MakeRequest("s", share.Path(), "s/", "tab%09bell%07.mp3\n");
        other.headers["HOST"] = host;
        m3u.Run(other);
        EXPECT_EQ(other.response.body,
                  "#EXTM3U\n#EXTINF:-1,tab_bell_.mp3\nhttp://192.0.2.7:8080/s/tab%09bell%07.mp3\n");
    }
}

TEST_F(Playlists, OnlyAHostWithAnOptionalPortIsWrittenIntoTheUrls) {
    share.WriteFile("t.mp3", "x");
    const std::pair<const char*, const char*> cases[] = {
        {"media.example", "media.example"},
        {"media.example:8080", "media.example:8080"},
        {"192.0.2.1:80", "192.0.2.1:80"},
        {"[2001:db8::1]:8080", "[2001:db8::1]:8080"},
        {"[::ffff:192.0.2.1]", "[::ffff:192.0.2.1]"},
        {"xn--bcher-kva.example:81", "xn--bcher-kva.example:81"},
        {"a%41b:1", "a%41b:1"},
        // Anything else gives way to the server's own address.
        {"evil.example\"><script>alert(1)</script>", "192.0.2.7:8080"},
        {"evil.example/x", "192.0.2.7:8080"},
        {"user@evil.example", "192.0.2.7:8080"},
        {"evil.example:", "192.0.2.7:8080"},
        {"evil.example:65536", "192.0.2.7:8080"},
        {"evil.example:80:80", "192.0.2.7:8080"},
        {"evil.example:8o", "192.0.2.7:8080"},
        {"[2001:db8::1", "192.0.2.7:8080"},
        {"[evil]:80", "192.0.2.7:8080"},
        {"[::1]x", "192.0.2.7:8080"},
        {"a%4:80", "192.0.2.7:8080"},
        {"caf\xC3\xA9.example", "192.0.2.7:8080"},
        {":80", "192.0.2.7:8080"},
    };
    for (const auto& [host, written] : cases) {
        SCOPED_TRACE(host);
        FakeRequest request = MakeRequest("s", share.Path(), "s/", "t.mp3\n");
        request.headers["HOST"] = host;
        m3u.Run(request);
        EXPECT_EQ(request.response.body,
                  "#EXTM3U\n#EXTINF:-1,t.mp3\nhttp://" + std::string(written) + "/s/t.mp3\n");
    }
}

TEST_F(Playlists, TheWalkStopsAtTheFirstFailedWrite) {
    for (int i = 0; i < 200; ++i) {
        share.WriteFile("many/" + std::to_string(1000 + i) + ".mp3", "x");
    }
    FakeRequest request = MakeRequest("s", share.Path(), "s/", "many/\nmany/\n");
    request.failAfterBytes = 300;
    EXPECT_EQ(m3u.Run(request), 0);
    EXPECT_EQ(request.response.callsAfterFailure, 0);
    EXPECT_LT(request.response.bodyCalls, 10);
    EXPECT_TRUE(request.response.ended);
}

} // namespace
} // namespace PluginTest
