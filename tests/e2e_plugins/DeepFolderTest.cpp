// A selected folder as deep as a path may be (about 2,000 levels) through each plug-in on the server's
// own connection threads: the answer is whole, names the deepest file, and the server goes on serving.
#include "PluginE2ESupport.h"

#include "core/platform/fs/FileDescriptor.h"

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vuxo::PluginE2E {
namespace {

struct DeepCase {
    std::string plugin;
    std::string leaf;  // the file at the bottom that the answer must name
    std::string check; // the tool that tests the archive, "" for a playlist
};

class DeepFolderTest : public ::testing::TestWithParam<DeepCase> {};

TEST_P(DeepFolderTest, AnswersWholeAndTheServerGoesOn) {
    const DeepCase& c = GetParam();
    Fixtures::FixtureServer fixture;
    const std::string share = fixture.MakeShare("deep");
    // "d/a/.../a/<leaf>" below the share as long as a path may be, each folder made in its parent's
    // descriptor (the whole path is too long for a path).
    ASSERT_EQ(::mkdir((share + "/d").c_str(), 0755), 0);
    FileDescriptor folder(::open((share + "/d").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::string leafPath = "d/";
    while (leafPath.size() + 2 + c.leaf.size() < PATH_MAX) {
        ASSERT_EQ(::mkdirat(folder.Get(), "a", 0755), 0) << leafPath.size();
        folder = FileDescriptor(::openat(folder.Get(), "a", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        leafPath += "a/";
    }
    ASSERT_TRUE(FileDescriptor(::openat(folder.Get(), c.leaf.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644))
                    .IsValid());
    leafPath += c.leaf;
    ASSERT_TRUE(fixture.SetRights(".anonymous", "deep", "LD"));
    InstallAndLoad(fixture, {c.plugin});
    ASSERT_TRUE(fixture.Start());

    const std::string target = "/deep/?action=Plugin&type=" + c.plugin;
    const std::string body = "selectedFiles=" + FormEncode(SelectedFiles({"d/"}));
    if (!c.check.empty()) {
        Fixtures::TempDir work{"corvanta-deep"};
        const StreamedResponse r = PostFormToFile(fixture.Port(), target, body, work.Path("deep"));
        EXPECT_EQ(r.contentLength, std::to_string(r.received));
        const CommandResult test = RunCommand(c.check + " " + ShellQuote(work.Path("deep")));
        EXPECT_EQ(test.exitCode, 0) << test.output.substr(test.output.size() -
                                                          std::min<size_t>(test.output.size(), 2000));
        EXPECT_NE(test.output.find(leafPath), std::string::npos) << "the deepest file is in the archive";
    } else {
        EXPECT_NE(PostForm(fixture.Port(), target, body).body.find("/deep/" + leafPath), std::string::npos);
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
