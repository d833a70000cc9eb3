// Vondel, the RAR archive plug-in: exact bytes where the layout is fixed, and lsar and unar for the rest
// (Debian's 7zz has no RAR support).
#include "PluginTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PluginTest {
namespace {

const std::string
    kMarkerAndMainHeader("\x52\x61\x72\x21\x1A\x07\x00\xCF\x90\x73\x00\x00\x0D\x00\x00\x00\x00\x00\x00\x00",
                         20);

class RarPlugin : public ArchivePluginTest {
protected:
    RarPlugin() : ArchivePluginTest("Vondel", "application/x-rar-compressed", ".rar") {}

    // Extracts the archive with unar into a fresh folder and returns that folder.
    std::string Extract(const std::string& archive) {
        const std::string target = work / ("x" + std::to_string(++extractions));
        const CommandResult unar = RunCommand("unar -q -o " + ShellQuote(target) + " " + ShellQuote(archive));
        EXPECT_EQ(unar.exitCode, 0) << unar.output;
        return target;
    }

    int extractions = 0;
};

TEST_F(RarPlugin, EmptySelectionIsTheMarkerAndMainHeaderOnly) {
    FakeRequest request = MakeRequest("docs", share.Path(), "docs/", "");
    RunArchive(request);
    EXPECT_EQ(request.response.body, kMarkerAndMainHeader);
    EXPECT_EQ(request.response.Header("Content-Disposition"),
              "attachment; filename=\"=?UTF-8?Q?docs.rar?=\"");
}

TEST_F(RarPlugin, OneFileHasTheDocumentedLayout) {
    share.WriteFile("a.txt", "hello");
    share.SetModified("a.txt", 1623760496); // 2021-06-15 12:34:56 UTC
    FakeRequest request = MakeRequest("docs", share.Path(), "docs/", "a.txt\n");
    RunArchive(request);
    const std::string& body = request.response.body;
    ASSERT_EQ(body.size(), 76u);
    EXPECT_EQ(body.substr(0, 20), kMarkerAndMainHeader);
    const std::string header = body.substr(20, 51);
    EXPECT_EQ(static_cast<uint8_t>(header[2]), 0x74);
    EXPECT_EQ(ReadU16(header, 3), 0x8220);
    EXPECT_EQ(ReadU16(header, 5), 51);
    EXPECT_EQ(ReadU32(header, 7), 5u);
    EXPECT_EQ(ReadU32(header, 11), 5u);
    EXPECT_EQ(static_cast<uint8_t>(header[15]), 2);
    EXPECT_EQ(ReadU32(header, 16), Crc32("hello"));
    EXPECT_EQ(ReadU16(header, 20), (12 << 11) | (34 << 5) | (56 / 2));
    EXPECT_EQ(ReadU16(header, 22), ((2021 - 1980) << 9) | (6 << 5) | 15);
    EXPECT_EQ(static_cast<uint8_t>(header[24]), 20);
    EXPECT_EQ(static_cast<uint8_t>(header[25]), 0x30);
    EXPECT_EQ(ReadU16(header, 26), 19);
    EXPECT_EQ(ReadU32(header, 28), 0x20u);
    // OEM name, a zero, then the Unicode name: high byte 0, flags 0xAA before units 0 and 4.
    EXPECT_EQ(header.substr(32), std::string("a.txt\0\0\xAA"
                                             "a\0.\0t\0x\0\xAA"
                                             "t\0",
                                             19));
    EXPECT_EQ(ReadU16(header, 0), Crc32(header.substr(2)) & 0xFFFF);
    EXPECT_EQ(body.substr(71), "hello");

    const std::string archive = Save(request);
    const CommandResult lsar = RunCommand("lsar -t " + ShellQuote(archive));
    EXPECT_EQ(lsar.exitCode, 0) << lsar.output;
    EXPECT_EQ(LoadFile(Extract(archive) + "/a.txt"), "hello");
}

TEST_F(RarPlugin, HangulEmojiAndMarkupNamesSurviveWithTheirContent) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"사진/한글 파일.txt", "가나다"},
        {"사진/smile \xF0\x9F\x98\x80.txt", "emoji"},
        {"사진/a&b<c>d \"q\".txt", "markup"},
        {"사진/caf\xC3\xA9/deep.txt", "deep"},
        {"사진/empty.txt", ""},
    };
    for (const auto& file : files) {
        share.WriteFile(file.first, file.second);
    }
    share.MakeDir("사진/빈 폴더");
    FakeRequest request = MakeRequest("share", share.Path(), "share/", "사진/\n");
    RunArchive(request);
    EXPECT_EQ(request.response.Header("Content-Disposition"),
              "attachment; filename=\"=?UTF-8?Q?=ec=82=ac=ec=a7=84.rar?=\"");

    const std::string archive = Save(request);
    const CommandResult lsar = RunCommand("lsar -t " + ShellQuote(archive));
    EXPECT_EQ(lsar.exitCode, 0) << lsar.output;
    const std::string extracted = Extract(archive);
    for (const auto& file : files) {
        SCOPED_TRACE(file.first);
        EXPECT_EQ(LoadFile(extracted + "/" + file.first), file.second);
    }
    EXPECT_TRUE(std::filesystem::is_directory(extracted + "/사진/빈 폴더"));
}

// Files held in memory are read ahead of the sends; one past the limit is read twice in between. Each
// comes out whole and with its CRC checked by the extractor.
TEST_F(RarPlugin, HeldFilesReadAheadAndATwoPassFileBetweenThemComeOutWhole) {
    const std::string big = PatternBytes(4 * 1024 * 1024 + 1); // one past the size held in memory
    const std::vector<std::pair<std::string, std::string>> files = {{"1-held.bin", big.substr(0, 1300000)},
                                                                    {"2-empty.txt", ""},
                                                                    {"3-two-pass.bin", big},
                                                                    {"4-held.bin", big.substr(1, 5)}};
    for (const auto& [name, data] : files) {
        share.WriteFile("set/" + name, data);
    }
    FakeRequest request = MakeRequest("share", share.Path(), "share/", "set/\n");
    RunArchive(request);
    const std::string folder = Extract(Save(request)) + "/set";
    for (const auto& [name, data] : files) {
        EXPECT_EQ(LoadFile(folder + "/" + name), data) << name;
    }
}

TEST_F(RarPlugin, TheOemNameIsCodePage949WithUnderscoresForTheRest) {
    share.WriteFile("한\xF0\x9F\x98\x80.txt", "x");
    FakeRequest request = MakeRequest("share", share.Path(), "share/", "한\xF0\x9F\x98\x80.txt\n");
    RunArchive(request);
    const std::string& body = request.response.body;
    const size_t nameSize = ReadU16(body, 20 + 26);
    const std::string names = body.substr(20 + 32, nameSize);
    // 한 is C7 D1; the emoji (outside the code page) is "_"; the Unicode part keeps its surrogate pair.
    EXPECT_EQ(names.substr(0, 8), std::string("\xC7\xD1_.txt\0", 8));
    const std::string unicode = names.substr(8);
    EXPECT_EQ(unicode.substr(0, 8), std::string("\0\xAA\x5C\xD5\x3D\xD8\x00\xDE", 8));
}

TEST_F(RarPlugin, ABackslashInANameIsNotASeparator) {
    const FakeRequest request = ArchiveBackslashName();
    const CommandResult lsar = RunCommand("lsar " + ShellQuote(Save(request)));
    EXPECT_EQ(lsar.output.substr(lsar.output.find('\n') + 1), "d/\nd/.._.._evil.txt\n");
}

TEST_F(RarPlugin, FilesOfOtherKindsAndUnreadableOnesAreLeftOut) {
    ASSERT_NO_FATAL_FAILURE(MakeTreeWithUnreadableEntries([this] {
        ASSERT_EQ(::mkfifo((share / "tree/pipe").c_str(), 0600), 0);
        std::filesystem::create_directory_symlink(share / "tree", share / "tree/loop");
    }));
    FakeRequest request = MakeRequest("share", share.Path(), "share/", "tree/\ntree/pipe\n");
    ASSERT_TRUE(RunUnprivileged(plugin, request));
    ASSERT_EQ(request.response.Header("Content-Length"), std::to_string(request.response.body.size()));
    const std::string archive = Save(request);
    const CommandResult lsar = RunCommand("lsar " + ShellQuote(archive));
    EXPECT_EQ(lsar.output.substr(lsar.output.find('\n') + 1), "tree/\ntree/b/\ntree/b/y.txt\ntree/d.txt\n");
}

TEST_F(RarPlugin, AFileThatChangesAfterListingKeepsItsLengthAndIsMarkedDamaged) {
    ForEachFileChangedAfterListing([](const std::string& archive) {
        const CommandResult lsar = RunCommand("lsar -t " + ShellQuote(archive));
        EXPECT_NE(lsar.exitCode, 0) << lsar.output;
        EXPECT_TRUE(LineHas(lsar.output, "before.txt", "OK")) << lsar.output;
        EXPECT_TRUE(LineHas(lsar.output, "after.txt", "OK")) << lsar.output;
        EXPECT_FALSE(LineHas(lsar.output, "changing.bin", "OK")) << lsar.output;
    });
}

TEST_F(RarPlugin, NothingOutsideTheShareGoesInEvenFromACarelessHost) {
    ExpectNothingOutsideTheShareEvenFromACarelessHost();
}

TEST_F(RarPlugin, AFailedWriteEndsTheRequest) {
    ExpectAFailedWriteEndsTheRequest();
}

} // namespace
} // namespace PluginTest
