// Archives past the 32-bit limits: a sparse file of 4 GiB + 1 byte and more than 65,535 entries. The
// body is counted and written to a sparse file (zero blocks become holes), then checked with the tools
// that get through 4 GiB quickly (7zz, zipinfo, lsar -l) and, for RAR, against a CRC computed here.
#include "PluginTestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace PluginTest {
namespace {

constexpr uint64_t kFourGiBPlusOne = (uint64_t{1} << 32) + 1;

class LargeArchives : public ::testing::Test {
protected:
    void SetUp() override {
        share.WriteFile("big/small.txt", "small file after the big one");
        const int fd = ::open((share / "big/huge.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kFourGiBPlusOne)), 0);
        ASSERT_EQ(::pwrite(fd, "end", 1, static_cast<off_t>(kFourGiBPlusOne - 1)), 1); // last byte "e"
        ::close(fd);
    }

    // Runs the request with the body streamed to `path`; checks the length against Content-Length.
    void RunToFile(PluginLibrary& plugin, FakeRequest& request, const std::string& path) {
        request.keepBody = false;
        request.sinkDescriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(request.sinkDescriptor, 0);
        plugin.Run(request);
        ASSERT_EQ(::ftruncate(request.sinkDescriptor, static_cast<off_t>(request.response.bodyBytes)), 0);
        ::close(request.sinkDescriptor);
        ASSERT_EQ(request.response.code, 200);
        ASSERT_EQ(request.response.Header("Content-Length"), std::to_string(request.response.bodyBytes));
        EXPECT_TRUE(request.logs.empty());
    }

    TempDir share;
    TempDir work;
};

TEST_F(LargeArchives, ZipUsesZip64ForTheBigFileTheOffsetsAndTheDirectory) {
    PluginLibrary plugin("Mevrin");
    FakeRequest request = MakeRequest("s", share.Path(), "s/", "big/\n");
    const std::string archive = work / "big.zip";
    RunToFile(plugin, request, archive);
    EXPECT_GT(request.response.bodyBytes, kFourGiBPlusOne);

    const CommandResult seven = RunCommand("7zz t " + ShellQuote(archive));
    EXPECT_EQ(seven.exitCode, 0) << seven.output;
    EXPECT_NE(seven.output.find("Everything is Ok"), std::string::npos) << seven.output;
    const CommandResult huge = RunCommand("zipinfo -v " + ShellQuote(archive) + " big/huge.bin");
    EXPECT_EQ(huge.exitCode, 0) << huge.output;
    EXPECT_TRUE(LineHas(huge.output, "uncompressed size:", " 4294967297 bytes")) << huge.output;
    // The small file's local header lies past 4 GiB, so its offset is in the ZIP64 record too.
    const CommandResult small = RunCommand("zipinfo -v " + ShellQuote(archive) + " big/small.txt");
    EXPECT_TRUE(LineHas(small.output, "offset of local header from start of archive:", " 4294967"))
        << small.output;
    const CommandResult content = RunCommand("unzip -p " + ShellQuote(archive) + " big/small.txt");
    EXPECT_EQ(content.output, "small file after the big one");
}

TEST_F(LargeArchives, RarUsesTheHighSizeFields) {
    PluginLibrary plugin("Vondel");
    FakeRequest request = MakeRequest("s", share.Path(), "s/", "big/\n");
    const std::string archive = work / "big.rar";
    RunToFile(plugin, request, archive);

    const CommandResult list = RunCommand("lsar -l " + ShellQuote(archive));
    EXPECT_EQ(list.exitCode, 0) << list.output;
    EXPECT_TRUE(LineHas(list.output, "4294967297", "big/huge.bin")) << list.output;
    EXPECT_TRUE(LineHas(list.output, "28", "big/small.txt")) << list.output;

    // Marker and main header (20), the folder "big" (32 + 3 + 1 + 8), then the big file's header.
    std::string head(4096, '\0');
    const int fd = ::open(archive.c_str(), O_RDONLY);
    ASSERT_EQ(::pread(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
    const size_t at = 20 + 44;
    EXPECT_EQ(ReadU16(head, at + 3), 0x8220 | 0x0100); // high size fields present
    const size_t headerSize = ReadU16(head, at + 5);
    EXPECT_EQ(ReadU32(head, at + 7), 1u);  // low 32 bits
    EXPECT_EQ(ReadU32(head, at + 32), 1u); // high 32 bits, packed
    EXPECT_EQ(ReadU32(head, at + 36), 1u); // and unpacked
    EXPECT_EQ(head.substr(at + 40, 13), std::string("big\\huge.bin", 13));
    EXPECT_EQ(ReadU16(head, at), Crc32(head.substr(at + 2, headerSize - 2)) & 0xFFFF);
    const std::vector<Bytef> zeros(1 << 20, 0);
    uLong crc = ::crc32_z(0, nullptr, 0);
    for (int i = 0; i < 4096; ++i) {
        crc = ::crc32_z(crc, zeros.data(), zeros.size());
    }
    crc = ::crc32_z(crc, reinterpret_cast<const Bytef*>("e"), 1);
    EXPECT_EQ(ReadU32(head, at + 16), static_cast<uint32_t>(crc));
    // The data ends with its last byte right before the next header.
    char last = 0;
    EXPECT_EQ(::pread(fd, &last, 1, static_cast<off_t>(at + headerSize + kFourGiBPlusOne - 1)), 1);
    ::close(fd);
    EXPECT_EQ(last, 'e');
    const CommandResult small =
        RunCommand("unar -q -o " + ShellQuote(work / "x") + " " + ShellQuote(archive) + " big/small.txt");
    EXPECT_EQ(LoadFile(work / "x/big/small.txt"), "small file after the big one") << small.output;
}

TEST(ManyEntries, ZipRecordsMoreThan65535EntriesInZip64) {
    TempDir share;
    constexpr int kFolders = 256;
    constexpr int kFilesPerFolder = 256;
    for (int folder = 0; folder < kFolders; ++folder) {
        const std::string dir = "all/" + std::to_string(folder);
        share.MakeDir(dir);
        for (int file = 0; file < kFilesPerFolder; ++file) {
            const int fd =
                ::open((share / (dir + "/" + std::to_string(file))).c_str(), O_WRONLY | O_CREAT, 0644);
            ASSERT_GE(fd, 0);
            ::close(fd);
        }
    }
    PluginLibrary plugin("Mevrin");
    FakeRequest request = MakeRequest("s", share.Path(), "s/", "all/\n");
    plugin.Run(request);
    const std::string& body = request.response.body;
    ASSERT_EQ(request.response.Header("Content-Length"), std::to_string(body.size()));
    const uint64_t entries = 1 + kFolders + kFolders * kFilesPerFolder;
    // End record: count 0xFFFF; the ZIP64 end record before the locator holds the real count.
    const size_t end = body.size() - 22 - 53;
    EXPECT_EQ(ReadU16(body, end + 10), 0xFFFF);
    EXPECT_EQ(ReadU32(body, end - 20), 0x07064B50u);
    const uint64_t zip64End = ReadU64(body, end - 20 + 8);
    EXPECT_EQ(ReadU32(body, zip64End), 0x06064B50u);
    EXPECT_EQ(ReadU64(body, zip64End + 32), entries);

    TempDir work;
    const std::string archive = work / "many.zip";
    SaveFile(archive, body);
    const CommandResult unzip = RunCommand("unzip -tq " + ShellQuote(archive));
    EXPECT_EQ(unzip.exitCode, 0) << unzip.output;
    const CommandResult count = RunCommand("zipinfo -1 " + ShellQuote(archive) + " | wc -l");
    EXPECT_EQ(count.output, std::to_string(entries) + "\n");
    const CommandResult seven = RunCommand("7zz t " + ShellQuote(archive));
    EXPECT_EQ(seven.exitCode, 0) << seven.output.substr(0, 2000);
}

} // namespace
} // namespace PluginTest
