// Renders the default skin with sample pages into static HTML files, so the skin can be looked at in a
// browser without the server: skin_preview <output folder> [skin name, default ".default"].
// The pages address the skin's files as "/<skin>/<file>", so serve the output folder over HTTP with the
// skin folder linked in under that name, and open them in a browser.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/template/OutputStream.h"
#include "core/template/SkinPageFixture.h"
#include "core/template/TextTemplate.h"

namespace {

bool WritePage(const Vuxo::TextTemplate& tmpl, Vuxo::TextContent content, const std::filesystem::path& file) {
    Vuxo::StringOutputStream out;
    tmpl.Render(content, out);
    std::ofstream stream(file, std::ios::binary);
    stream << out.Text();
    return static_cast<bool>(stream);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: skin_preview <output folder> [skin name]\n");
        return 2;
    }
    const std::filesystem::path outDir = argv[1];
    const std::string skin = argc > 2 ? argv[2] : ".default";
    std::filesystem::create_directories(outDir);

    const std::string text = SkinFixture::ReadFile(SkinFixture::SkinDir() + "skin.html");
    Vuxo::TextTemplate tmpl;
    if (!tmpl.Parse(text)) {
        return 1;
    }

    SkinFixture::PageOptions folder;
    folder.skin = skin;
    folder.extraRows = 188; // 200 rows with the samples
    SkinFixture::PageOptions root;
    root.skin = skin;
    root.address = "/";
    root.loginId = "";
    root.showUpper = false;
    root.canUpload = false;
    root.actionPlugins = true;
    root.viewPlugins = false;
    SkinFixture::PageOptions empty = folder;
    empty.address = "/Music & Films/empty/";
    empty.actionPlugins = false;
    empty.viewPlugins = false;

    const std::vector<SkinFixture::Entry> shares = {
        {"Music & Films", true, 0, "2024-11-02 PM 07:41"},
        {"\xEC\x82\xAC\xEC\xA7\x84", true, 0, "2024-08-15 PM 12:30"},
        {"Public", true, 0, "2024-01-02 AM 08:00"},
        {"notes.txt", false, 12345, "2024-03-03 PM 03:33"},
    };

    bool ok =
        WritePage(tmpl, SkinFixture::MakeFolderPage(folder), outDir / "folder.html") &&
        WritePage(tmpl, SkinFixture::MakeFolderPage(root, shares), outDir / "root.html") &&
        WritePage(tmpl, SkinFixture::MakeFolderPage(empty, {}), outDir / "empty.html") &&
        WritePage(tmpl,
                  SkinFixture::MakeMessagePage("404 Not Found",
                                               "File or folder does not exist: Music/missing &lt;1&gt;.txt",
                                               false, skin),
                  outDir / "message.html") &&
        WritePage(tmpl, SkinFixture::MakeMessagePage("401 Unauthorized", "Could not log in.", true, skin),
                  outDir / "unauthorized.html");

    // A rough measure of rendering a large folder (not a test: nothing here is asserted).
    SkinFixture::PageOptions large = folder;
    large.extraRows = 988;
    Vuxo::TextContent largePage = SkinFixture::MakeFolderPage(large);
    Vuxo::CountingOutputStream counter;
    const int rounds = 200;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        tmpl.Render(largePage, counter);
    }
    const auto elapsed = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start);
    std::printf("1,000-row folder page: %llu bytes, %.0f us per render\n",
                static_cast<unsigned long long>(counter.Total() / rounds), elapsed.count() / rounds);
    return ok ? 0 : 1;
}
