// The built-in default skin as the program carries it: resource 216 must be a sound ZIP archive of
// exactly the files of res/skin, each with its bytes.
#include "core/loader/Loaders.h"
#include "core/loader/Unzip.h"
#include "res/BuiltinResources.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace Vuxo {
namespace {

namespace fs = std::filesystem;

TEST(BuiltinSkin, IsASoundArchiveOfExactlyTheSkinFolder) {
    RegisterBuiltinResources();
    ByteBuffer zip;
    ASSERT_TRUE(LoadResourceData(zip, 216, "BINARY"));
    Pelk::Unzip archive;
    ASSERT_TRUE(archive.OpenFromMemory(zip.data(), zip.size()));

    const fs::path skin = fs::path(CORVANTA_SOURCE_DIR) / "res" / "skin";
    std::set<std::string> expected;
    for (const auto& entry : fs::recursive_directory_iterator(skin)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::string name = fs::relative(entry.path(), skin).generic_string();
        expected.insert(name);
        std::ifstream file(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ByteBuffer member;
        ASSERT_TRUE(LoadZipMember(member, name, archive)) << name;
        // Compared whole but reported briefly: skin files are long.
        EXPECT_TRUE(std::string(member.begin(), member.end()) == bytes)
            << name << " differs from res/skin; rebuild corvanta_resources";
    }

    if (expected.empty() || system("command -v unzip >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no skin files yet, or no unzip to check the archive with";
    }
    CorvantaTest::TempFolder folder;
    std::string path = folder.Write("skin.zip", std::string(zip.begin(), zip.end()));
    EXPECT_EQ(system(("unzip -tq '" + path + "' >/dev/null").c_str()), 0) << "unzip -t found errors";
    FILE* pipe = popen(("unzip -Z1 '" + path + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[4096];
    while (fgets(line, sizeof line, pipe) != nullptr) {
        std::string name(line);
        names.insert(name.substr(0, name.find('\n')));
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, expected);
}

} // namespace
} // namespace Vuxo
