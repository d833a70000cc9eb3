// A selected folder as deep as a path may be (about 2,000 levels) through each plug-in on the server's
// own connection threads: the answer is whole, names the deepest file, and the server goes on serving.
#include "PluginE2ESupport.h"

#include "core/platform/fs/FileDescriptor.h"

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vuxo::PluginE2E {
namespace {

struct DeepCase {
    const char* plugin;
    const char* leaf;  // the file at the bottom that the answer must name
    const char* check; // the tool that tests the archive, "" for a playlist
};

class DeepFolderTest : public ::testing::TestWithParam<DeepCase> {};

// Makes `levels` folders "a" below `top`, each relative to its parent's descriptor (the whole path is
// longer than a path may be), and the file `leaf` at the bottom.
void MakeChain(const std::string& top, int levels, const std::string& leaf) {
    FileDescriptor folder(::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(folder.IsValid());
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(folder.Get(), "a", 0755), 0) << i;
        folder = FileDescriptor(::openat(folder.Get(), "a", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(folder.IsValid()) << i;
    }
    const FileDescriptor file(::openat(folder.Get(), leaf.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ASSERT_TRUE(file.IsValid());
    ASSERT_EQ(::write(file.Get(), "leaf", 4), 4);
}

TEST_P(DeepFolderTest, AnswersWholeAndTheServerGoesOn) {
    const DeepCase& c = GetParam();
    Fixtures::FixtureServer fixture;
    const std::string share = fixture.MakeShare("deep");
    ASSERT_EQ(::mkdir((share + "/d").c_str(), 0755), 0);
    // The leaf's path below the share ("d/a/.../a/<leaf>") as long as a path may be.
    const int levels = static_cast<int>((PATH_MAX - 1 - std::string("d/").size() - std::strlen(c.leaf)) / 2);
    MakeChain(share + "/d", levels, c.leaf);
    std::string leafPath = "d/";
    for (int i = 0; i < levels; ++i) {
        leafPath += "a/";
    }
    leafPath += c.leaf;
    ASSERT_TRUE(fixture.SetRights(".anonymous", "deep", "LD"));
    InstallAndLoad(fixture, {c.plugin});
    ASSERT_TRUE(fixture.Start());

    const std::string target = std::string("/deep/?action=Plugin&type=") + c.plugin;
    const std::string body = "selectedFiles=" + FormEncode(SelectedFiles({"d/"}));
    if (*c.check != '\0') {
        Fixtures::TempDir work{"corvanta-deep"};
        const std::string archive = work.Path("deep");
        const StreamedResponse r = PostFormToFile(fixture.Port(), target, body, archive);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.contentLength, std::to_string(r.received));
        const CommandResult test = RunCommand(std::string(c.check) + " " + ShellQuote(archive));
        EXPECT_EQ(test.exitCode, 0) << test.output.substr(
            test.output.size() > 2000 ? test.output.size() - 2000 : 0);
        EXPECT_NE(test.output.find(leafPath), std::string::npos) << "the deepest file is in the archive";
    } else {
        const Fixtures::HttpResponse r = PostForm(fixture.Port(), target, body);
        EXPECT_EQ(r.status, 200);
        EXPECT_NE(r.body.find("/deep/" + leafPath), std::string::npos) << "the playlist names the leaf";
    }
    EXPECT_EQ(Fixtures::HttpGet(fixture.Port(), "/deep/").status, 200) << "the server still serves";
}

INSTANTIATE_TEST_SUITE_P(ShippedPlugins, DeepFolderTest,
                         ::testing::Values(DeepCase{"Mevrin", "z.txt", "unzip -t"},
                                           DeepCase{"Vondel", "z.txt", "lsar -t"},
                                           DeepCase{"Tolvane", "z.avi", ""},
                                           DeepCase{"Kestrin", "z.mp3", ""}),
                         [](const ::testing::TestParamInfo<DeepCase>& info) { return info.param.plugin; });

} // namespace
} // namespace Vuxo::PluginE2E
