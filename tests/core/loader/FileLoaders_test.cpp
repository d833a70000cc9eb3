#include "core/loader/Loaders.h"
#include "core/text/Utf8.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

namespace Vuxo {
namespace {

using CorvantaTest::TempFolder;

TEST(LoadFileData, ReadsWholeFilesOfAnySize) {
    TempFolder folder;
    std::string bytes = std::string("bin\0\xff\r\n", 7) + std::string(100000, 'z');
    for (const std::string& content : {bytes, std::string()}) {
        ByteBuffer buffer = {'o', 'l', 'd'};
        ASSERT_TRUE(LoadFileData(buffer, folder.Write("한글 파일.bin", content)));
        EXPECT_EQ(std::string(buffer.begin(), buffer.end()), content);
    }
}

TEST(LoadFileData, RefusesWhatIsNotAReadableRegularFile) {
    TempFolder folder;
    ASSERT_EQ(mkfifo(folder.Path("pipe").c_str(), 0600), 0); // opening it must not block
    for (const std::string& path :
         {folder.Path("missing"), folder.Path(""), folder.Path("pipe"), std::string()}) {
        ByteBuffer buffer = {'o', 'l', 'd'};
        EXPECT_FALSE(LoadFileData(buffer, path)) << path;
        EXPECT_TRUE(buffer.empty()) << path;
    }
}

// sysfs files are regular files that report a whole page but deliver a few bytes: a real short read.
TEST(LoadFileData, ShortReadFails) {
    for (const char* path :
         {"/sys/devices/system/cpu/online", "/sys/kernel/mm/transparent_hugepage/enabled"}) {
        struct stat info {};
        if (stat(path, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 64) {
            ByteBuffer buffer = {'o', 'l', 'd'};
            EXPECT_FALSE(LoadFileData(buffer, path)) << path;
            EXPECT_TRUE(buffer.empty());
            return;
        }
    }
    GTEST_SKIP() << "no sysfs file with an oversized reported size here";
}

TEST(LoadUtf8TextFile, NeedsTheByteOrderMark) {
    struct Case {
        std::string bytes;
        bool loads;
        std::string text;
    };
    const Case cases[] = {
        {"", false, ""},
        {"\xEF\xBB", false, ""},
        {"\xEF\xBB\xBF", true, ""},
        {"\xEF\xBB\xBF한국어\r\n", true, "한국어\r\n"},
        {"\xEF\xBB\xBF\xEF\xBB\xBF", true, "\xEF\xBB\xBF"},
        {"Quillo Corvanta UI Language File\n", false, ""},
        {"\xEF\xBB\xBEtext", false, ""},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        std::string text = "unchanged";
        EXPECT_EQ(LoadUtf8TextFile(text, folder.Write("file.wul", c.bytes)), c.loads) << c.bytes;
        EXPECT_EQ(text, c.loads ? c.text : "unchanged") << c.bytes;
    }
    std::string text;
    ASSERT_TRUE(LoadUtf8TextFile(text, Utf8ToWide(folder.Write("영어.wul", "\xEF\xBB\xBFwide"))));
    EXPECT_EQ(text, "wide");
    EXPECT_FALSE(LoadUtf8TextFile(text, folder.Path("missing.wul")));
    EXPECT_FALSE(LoadUtf8TextFile(text, folder.Path("")));
    EXPECT_EQ(text, "wide");
}

} // namespace
} // namespace Vuxo
