// The MIME type table: reading the line format, lookups, and where LoadMimeTypes takes the table from.
#include "service/mime/MimeTypeTable.h"

#include "fixtures/support/TempDir.h"
#include "fixtures/support/TraceLog.h"
#include "res/BuiltinResources.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <atomic>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace Vuxo {
namespace {

using Vuxo::Fixtures::TempDir;
using Vuxo::Fixtures::WriteFile;

using Fixtures::TraceLog;

struct Lookup {
    const char* extension;
    const char* type;
};

void ExpectLookups(const MimeTypeTable& table, std::initializer_list<Lookup> lookups) {
    for (const Lookup& lookup : lookups) {
        EXPECT_EQ(table.GetMimeType(lookup.extension), lookup.type)
            << "extension '" << lookup.extension << "'";
    }
}

TEST(MimeTypeTable, ReadsTypesAndExtensionsFromLines) {
    MimeTypeTable table;
    table.Load("image/jpeg\tjpeg jpg\tjpe\r\n"
               "\r\n"
               "   \t  \n"
               "text/plain txt\tlog   \n"
               "image/x-MS-bmp\tbmp BMPX\n"
               "application/x-gzip\ttar.gz tgz gz\n"
               "type/alone\n"
               "text/x-later txt\n"
               "text/xml xml"); // the last line needs no line end
    ExpectLookups(table, {
                             {"jpg", "image/jpeg"},
                             {"JPG", "image/jpeg"}, // the argument is lower-cased
                             {"Jpe", "image/jpeg"},
                             {"jpeg", "image/jpeg"},
                             {"log", "text/plain"},
                             {"txt", "text/x-later"},               // listed again: the later line wins
                             {"bmp", "image/x-MS-bmp"},             // types are kept as written
                             {"BMPX", MimeTypeTable::kDefaultType}, // upper case in the file never matches
                             {"bmpx", MimeTypeTable::kDefaultType},
                             {"gz", "application/x-gzip"},
                             {"xml", "text/xml"},
                             {"", MimeTypeTable::kDefaultType},
                             {"alone", MimeTypeTable::kDefaultType},
                             {"type/alone", MimeTypeTable::kDefaultType},
                             {"jpg\r", MimeTypeTable::kDefaultType},
                         });
    EXPECT_EQ(table.GetCount(), 11u) << "jpeg jpg jpe txt log bmp BMPX tar.gz tgz gz xml, txt counted once";
}

TEST(MimeTypeTable, ALoadReplacesTheWholeTable) {
    MimeTypeTable table;
    table.Load(std::string_view("text/html html htm\n"));
    table.Load(std::string_view("text/plain txt log\n"));
    ExpectLookups(table, {{"log", "text/plain"}, {"html", MimeTypeTable::kDefaultType}});
    table.Load(std::string_view());
    EXPECT_EQ(table.GetCount(), 0u);
    table.Load(nullptr, 5);
    EXPECT_EQ(table.GetCount(), 0u);
}

TEST(MimeTypeTable, LongLinesAreReadWhole) {
    std::string text = "text/a a\n";
    std::string longLine = "text/long";
    for (int i = 0; i < 200; ++i) {
        longLine += " ext" + std::to_string(i);
    }
    ASSERT_GT(longLine.size(), 1000u);
    text += longLine + "\ntext/b b\n";
    MimeTypeTable table;
    table.Load(text);
    ExpectLookups(table, {{"a", "text/a"}, {"ext0", "text/long"}, {"ext199", "text/long"}, {"b", "text/b"}});
}

TEST(MimeTypeTable, BytesOutsideAsciiAreKeptAsWritten) {
    MimeTypeTable table;
    table.Load(std::string_view("text/x \xed\x95\x9c \xc3\x84 q\n"));
    EXPECT_EQ(table.GetMimeType("\xed\x95\x9c"), "text/x");
    EXPECT_EQ(table.GetMimeType("\xc3\x84"), "text/x") << "only ASCII letters are lower-cased";
    EXPECT_EQ(table.GetMimeType("Q"), "text/x");
}

class MimeLoading : public ::testing::Test {
protected:
    void SetUp() override { RegisterBuiltinResources(); }
    TempDir program;
    MimeTypeTable table;
};

TEST_F(MimeLoading, AFileInTheProgramFolderReplacesTheBuiltInTable) {
    WriteFile(program.Path("mime-type.txt"), "text/plain txt log\n");
    TraceLog log;
    LoadMimeTypes(program.Path(), table);
    EXPECT_TRUE(log.Has(LOG_NOTICE, "외부 mime-type.txt를 로드함..")) << log.Dump();
    ExpectLookups(table, {{"log", "text/plain"}, {"html", MimeTypeTable::kDefaultType}});
}

TEST_F(MimeLoading, AnEmptyFileGivesAnEmptyTable) {
    table.Load(std::string_view("text/html html\n"));
    WriteFile(program.Path("mime-type.txt"), "");
    LoadMimeTypes(program.Path(), table);
    EXPECT_EQ(table.GetCount(), 0u);
}

TEST_F(MimeLoading, WithoutAFileTheBuiltInTableLoads) {
    TraceLog log;
    LoadMimeTypes(program.Path(), table);
    EXPECT_TRUE(log.Has(LOG_NOTICE, "내장 mime-type.txt를 로드함..")) << log.Dump();
    // The classic table's types, also where a newer one is more usual, then the common newer extensions.
    ExpectLookups(table, {
                             {"html", "text/html"},
                             {"HTM", "text/html"},
                             {"txt", "text/plain"},
                             {"jpg", "image/jpeg"},
                             {"mp3", "audio/mpeg3"},
                             {"xml", "text/xml"},
                             {"gz", "application/x-gzip"},
                             {"tar.gz", "application/x-gzip"},
                             {"bmp", "image/x-MS-bmp"},
                             {"avi", "video/msvideo"},
                             {"rar", "application/rar"},
                             {"r05", "application/rar"},
                             {"ogg", "audio/x-ogg"},
                             {"rs", "image/sun-raster"},
                             {"mov", "video/quicktime"},
                             {"movie", "video/sgi-movie"},
                             {"xll", "application/vnd.ms-excel"},
                             {"pdb", "application/x-pilot"},
                             {"mp4", "video/mp4"},
                             {"webm", "video/webm"},
                             {"svg", "image/svg+xml"},
                             {"js", "text/javascript"},
                             {"json", "application/json"},
                             {"unknown-extension", MimeTypeTable::kDefaultType},
                         });
}

TEST_F(MimeLoading, AFolderNamedLikeTheFileFallsBackToTheBuiltInTable) {
    ASSERT_TRUE(std::filesystem::create_directory(program.Path("mime-type.txt")));
    LoadMimeTypes(program.Path(), table);
    EXPECT_EQ(table.GetMimeType("png"), "image/png");
}

// The built-in table is the classic 70 lines as they stand (a line twice, "tar.gz" that no lookup
// reaches), then lines for newer extensions. Each of those must be reachable and new: the lookup
// lower-cases its argument, and an extension listed again would change a classic type.
TEST(BuiltinMimeTable, NewerLinesOnlyAddLowerCaseExtensionsListedOnce) {
    constexpr int kClassicLines = 70;
    std::ifstream in(std::string(CORVANTA_SOURCE_DIR) + "/res/builtin/mime-type.txt", std::ios::binary);
    ASSERT_TRUE(in.good());
    std::set<std::string> extensions;
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string type;
        ASSERT_TRUE(static_cast<bool>(words >> type)) << "empty line " << lines;
        EXPECT_NE(type.find('/'), std::string::npos) << type;
        std::string extension;
        int count = 0;
        while (words >> extension) {
            ++count;
            const bool added = extensions.insert(extension).second;
            if (lines < kClassicLines) {
                continue;
            }
            for (const char c : extension) {
                EXPECT_FALSE(c >= 'A' && c <= 'Z') << extension;
            }
            EXPECT_EQ(extension.find('.'), std::string::npos) << extension << " would never be looked up";
            EXPECT_TRUE(added) << extension << " listed twice";
        }
        EXPECT_GT(count, 0) << type << " maps nothing";
        ++lines;
    }
    EXPECT_GT(lines, kClassicLines);
}

TEST(MimeTypeTable, ReloadingWhileOtherThreadsLookUpIsSafe) {
    MimeTypeTable table;
    table.Load(std::string_view("text/a a\n"));
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            while (!stop) {
                const std::string_view type = table.GetMimeType("a");
                if (type != "text/a" && type != "text/b") {
                    ++wrong;
                }
            }
        });
    }
    for (int i = 0; i < 2000; ++i) {
        table.Load(std::string_view(i % 2 ? "text/a a\nx/y z\n" : "text/b a\n"));
    }
    stop = true;
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(wrong, 0);
}

} // namespace
} // namespace Vuxo
