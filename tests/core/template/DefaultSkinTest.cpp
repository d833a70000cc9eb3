// The built-in default skin: its file list, its template against the variables the pages set, and the
// rules its scripts keep (no markup built from names, the upload window's contract with the server).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/template/OutputStream.h"
#include "core/template/SkinPageFixture.h"
#include "core/template/TextTemplate.h"

namespace {

using SkinFixture::PageOptions;
using SkinFixture::ReadFile;
using SkinFixture::SkinDir;

const std::vector<std::string> kListedFiles = {
    "file.gif",      "folder.gif", "folder_upper.gif",  "folder_mkdir.gif",
    "logo.png",      "plugin.gif", "sortabletable.js",  "common.js",
    "dev-style.css", "blank.png",  "downsimple.png",    "upsimple.png",
    "login.png",     "upload.gif", "upload_frame.html", "upload_form.html"};

// Every variable the page senders give the skin: the common ones, the folder list's and the message pages'.
const std::set<std::string> kPageVariables = {"$skin",
                                              "$version",
                                              "$revision",
                                              "$server_addr",
                                              "$server_port",
                                              "$server_path",
                                              "$server_path_encoded",
                                              "$current_login_id",
                                              "$title",
                                              "$content",
                                              "$content_hide_back_button",
                                              "$address",
                                              "$show_files",
                                              "$files",
                                              "$name",
                                              "$link",
                                              "$date",
                                              "$size",
                                              "$is_folder",
                                              "$total_size",
                                              "$free_space",
                                              "$display_upper",
                                              "$upload_path",
                                              "$skins",
                                              "$view_plugins",
                                              "$action_plugins",
                                              "$id"};

const Vuxo::TextTemplate& SkinTemplate() {
    static const Vuxo::TextTemplate* tmpl = [] {
        auto* parsed = new Vuxo::TextTemplate;
        const std::string text = ReadFile(SkinDir() + "skin.html");
        EXPECT_FALSE(text.empty());
        EXPECT_TRUE(parsed->Parse(text));
        return parsed;
    }();
    return *tmpl;
}

std::string RenderPage(Vuxo::TextContent content) {
    Vuxo::StringOutputStream out;
    SkinTemplate().Render(content, out);
    return out.TakeText();
}

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + piece.size())) {
        ++count;
    }
    return count;
}

// Checks that every element the page opens is closed in order (void elements aside), so no branch of the
// template leaves a table row or form open. Gives "" when balanced, else what went wrong.
std::string UnbalancedTags(const std::string& html) {
    static const std::set<std::string> voidElements = {
        "area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"};
    std::vector<std::string> open;
    std::size_t at = 0;
    while ((at = html.find('<', at)) != std::string::npos) {
        if (html.compare(at, 4, "<!--") == 0) {
            at = html.find("-->", at);
            continue;
        }
        if (html.compare(at, 2, "<!") == 0) {
            at = html.find('>', at);
            continue;
        }
        const bool closing = html.compare(at, 2, "</") == 0;
        std::size_t nameStart = at + (closing ? 2 : 1);
        std::size_t nameEnd = nameStart;
        while (nameEnd < html.size() && std::isalnum(static_cast<unsigned char>(html[nameEnd]))) {
            ++nameEnd;
        }
        std::string name = html.substr(nameStart, nameEnd - nameStart);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        const std::size_t end = html.find('>', nameEnd);
        if (name.empty() || end == std::string::npos) {
            return "stray '<' at " + std::to_string(at);
        }
        if (closing) {
            if (open.empty() || open.back() != name) {
                return "</" + name + "> closes <" + (open.empty() ? std::string("nothing") : open.back()) +
                       ">";
            }
            open.pop_back();
        } else if (!voidElements.count(name)) {
            open.push_back(name);
            if (name == "script" || name == "style") { // their text is not markup
                const std::size_t close = html.find("</" + name, end);
                if (close == std::string::npos) {
                    return "<" + name + "> not closed";
                }
                at = close;
                continue;
            }
        }
        at = end + 1;
    }
    return open.empty() ? "" : "<" + open.back() + "> not closed";
}

// The "$name" words of a text, as the template scanner reads them.
std::set<std::string> VariablesIn(const std::string& text) {
    std::set<std::string> names;
    for (std::size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at + 1)) {
        std::size_t end = at + 1;
        while (end < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
            ++end;
        }
        if (end > at + 1) {
            names.insert(text.substr(at, end - at));
        }
    }
    return names;
}

// The start tags of an HTML text, lower-cased, without their "<" and ">".
std::vector<std::string> StartTags(const std::string& html) {
    std::vector<std::string> tags;
    for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        if (at + 1 < html.size() && std::isalpha(static_cast<unsigned char>(html[at + 1]))) {
            const std::size_t end = html.find('>', at);
            std::string tag =
                html.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
            std::transform(tag.begin(), tag.end(), tag.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            tags.push_back(tag);
        }
    }
    return tags;
}

// An attribute such as onclick= inside a tag.
bool HasEventHandler(const std::string& tag) {
    for (std::size_t at = tag.find("on"); at != std::string::npos; at = tag.find("on", at + 1)) {
        if (at == 0 || !std::isspace(static_cast<unsigned char>(tag[at - 1]))) {
            continue;
        }
        std::size_t end = at + 2;
        while (end < tag.size() && std::isalpha(static_cast<unsigned char>(tag[end]))) {
            ++end;
        }
        while (end < tag.size() && std::isspace(static_cast<unsigned char>(tag[end]))) {
            ++end;
        }
        if (end > at + 2 && end < tag.size() && tag[end] == '=') {
            return true;
        }
    }
    return false;
}

TEST(DefaultSkin, SettingsListTheSkinFilesInOrder) {
    const std::string settings = ReadFile(SkinDir() + "setting.ini");
    ASSERT_FALSE(settings.empty());
    EXPECT_NE(settings.compare(0, 3, "\xEF\xBB\xBF"), 0)
        << "a byte-order mark would become part of the first key";
    std::string skin, mimeType;
    std::vector<std::string> files;
    std::size_t start = 0;
    while (start < settings.size()) {
        std::size_t end = settings.find('\n', start);
        if (end == std::string::npos) {
            end = settings.size();
        }
        const std::string line = settings.substr(start, end - start);
        start = end + 1;
        if (line.rfind("files+=", 0) == 0) {
            files.push_back(line.substr(7));
        } else if (line.rfind("skin=", 0) == 0) {
            skin = line.substr(5);
        } else if (line.rfind("mimeType=", 0) == 0) {
            mimeType = line.substr(9);
        } else {
            ADD_FAILURE() << "unexpected line: " << line;
        }
    }
    EXPECT_EQ(skin, "skin.html");
    EXPECT_EQ(mimeType, "text/html");
    EXPECT_EQ(files, kListedFiles);
}

TEST(DefaultSkin, FolderHoldsExactlyTheSkinFiles) {
    std::set<std::string> expected(kListedFiles.begin(), kListedFiles.end());
    expected.insert("setting.ini");
    expected.insert("skin.html");
    std::set<std::string> present;
    for (const auto& entry : std::filesystem::directory_iterator(SkinDir())) {
        present.insert(entry.path().filename().string());
        EXPECT_TRUE(entry.is_regular_file()) << entry.path();
        EXPECT_GT(entry.file_size(), 0u) << entry.path();
    }
    EXPECT_EQ(present, expected) << "the build zips every file of the folder into the program";
    for (const std::string& name : kListedFiles) {
        const std::string data = ReadFile(SkinDir() + name);
        if (name.ends_with(".gif")) {
            EXPECT_EQ(data.compare(0, 6, "GIF89a"), 0) << name;
        } else if (name.ends_with(".png")) {
            EXPECT_EQ(data.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0) << name;
        }
    }
}

TEST(DefaultSkin, TemplateUsesOnlyVariablesThePagesSet) {
    const std::set<std::string> used = VariablesIn(ReadFile(SkinDir() + "skin.html"));
    for (const std::string& name : used) {
        EXPECT_TRUE(kPageVariables.count(name)) << name << " is set by no page and would show as text";
    }
    for (const char* needed :
         {"$name", "$link", "$size", "$date", "$is_folder", "$upload_path", "$title", "$content",
          "$current_login_id", "$skin", "$action_plugins", "$view_plugins"}) {
        EXPECT_TRUE(used.count(needed)) << needed;
    }
}

TEST(DefaultSkin, FolderPageRendersEveryVariable) {
    PageOptions options;
    const std::vector<SkinFixture::Entry> entries = SkinFixture::SampleEntries(188);
    const std::string page = RenderPage(SkinFixture::MakeFolderPage(options, entries));

    EXPECT_EQ(UnbalancedTags(page), "");
    for (const std::string& name : kPageVariables) {
        EXPECT_EQ(page.find(name + "\""), std::string::npos) << name << " rendered as text";
        EXPECT_EQ(page.find(name + "<"), std::string::npos) << name << " rendered as text";
        EXPECT_EQ(page.find(name + "/"), std::string::npos) << name << " rendered as text";
    }
    std::size_t folders = 0;
    for (const SkinFixture::Entry& e : entries) {
        folders += e.folder ? 1 : 0;
        const std::string link = SkinFixture::UrlEncode(e.name) + (e.folder ? "/" : "");
        EXPECT_EQ(Count(page, "<span class=\"nm\">" + Vuxo::EscapeMarkup(e.name) + "</span>"), 1u) << e.name;
        EXPECT_EQ(Count(page, "href=\"" + link + "\""), 1u) << link;
        EXPECT_EQ(Count(page, "type=\"checkbox\" value=\"" + link + "\""), 1u) << link;
    }
    EXPECT_EQ(Count(page, "<tr class=\"d\">"), folders);
    EXPECT_EQ(Count(page, "<tr class=\"f\">"), entries.size() - folders);
    EXPECT_EQ(page.find("<Ideas>"), std::string::npos) << "names go out only as the server escaped them";

    const std::string address = Vuxo::EscapeMarkup(options.address);
    EXPECT_NE(page.find("<title>" + address + " &#183; Corvanta</title>"), std::string::npos);
    EXPECT_NE(page.find("data-address=\"" + address + "\""), std::string::npos);
    EXPECT_NE(page.find("/.default/upload_frame.html?action=SkinFile#" +
                        SkinFixture::UrlEncode(options.address) + "*.default\""),
              std::string::npos);
    EXPECT_NE(page.find("<form name=\"MkdirForm\" class=\"popover mkdir-form\" action=\".\" method=\"get\">"),
              std::string::npos);
    EXPECT_NE(page.find("formaction=\"?action=Plugin&amp;type=Mevrin\""), std::string::npos);
    EXPECT_NE(page.find("formaction=\"?action=Plugin&amp;type=Kestrin\""), std::string::npos);
    EXPECT_NE(page.find("href=\"?action=Plugin&amp;type=Gallery\""), std::string::npos);
    EXPECT_NE(page.find("<option>Midnight &amp; Co</option>"), std::string::npos);
    EXPECT_NE(page.find(">912,345,678,901 bytes<"), std::string::npos);
    EXPECT_NE(page.find("<span class=\"user-name\">minji</span>"), std::string::npos);
    EXPECT_NE(page.find("Corvanta 0.943 <span class=\"muted\">(r1095)</span>"), std::string::npos);
    EXPECT_NE(page.find("192.168.0.10:8080"), std::string::npos);
    EXPECT_NE(page.find("href=\"/.default/dev-style.css?action=SkinFile\""), std::string::npos);
}

TEST(DefaultSkin, PageVariantsShowWhatTheRightsAllow) {
    for (int flags = 0; flags < 32; ++flags) {
        PageOptions options;
        options.showUpper = flags & 1;
        options.canUpload = flags & 2;
        options.viewPlugins = flags & 4;
        options.actionPlugins = flags & 8;
        options.loginId = flags & 16 ? "kim" : "";
        const std::string page = RenderPage(SkinFixture::MakeFolderPage(options));
        SCOPED_TRACE("variant " + std::to_string(flags));
        EXPECT_EQ(UnbalancedTags(page), "");
        EXPECT_EQ(page.find("upload_frame.html") != std::string::npos, options.canUpload);
        EXPECT_EQ(page.find("MakeDirectory") != std::string::npos, options.canUpload);
        EXPECT_EQ(page.find("href=\"../\"") != std::string::npos, options.showUpper);
        EXPECT_EQ(page.find("Free</span>") != std::string::npos, options.showUpper);
        EXPECT_EQ(page.find("type=\"checkbox\"") != std::string::npos, options.actionPlugins);
        EXPECT_EQ(page.find("action=Plugin&amp;type=Mevrin") != std::string::npos, options.actionPlugins);
        EXPECT_EQ(page.find("action=Plugin&amp;type=Gallery") != std::string::npos, options.viewPlugins);
        EXPECT_EQ(page.find("?action=Logout") != std::string::npos, !options.loginId.empty());
        EXPECT_EQ(page.find("?action=Login\"") != std::string::npos, options.loginId.empty());
    }
}

TEST(DefaultSkin, EmptyFolderAndShareListPages) {
    PageOptions options;
    const std::string empty = RenderPage(SkinFixture::MakeFolderPage(options, {}));
    EXPECT_EQ(UnbalancedTags(empty), "");
    EXPECT_NE(empty.find("This folder is empty."), std::string::npos);
    EXPECT_EQ(Count(empty, "<tr class=\"f\">") + Count(empty, "<tr class=\"d\">"), 0u);

    options.address = "/";
    options.showUpper = false;
    options.canUpload = false;
    const std::string root =
        RenderPage(SkinFixture::MakeFolderPage(options, {{"Music", true, 0, "2024-01-01 AM 10:00"}}));
    EXPECT_EQ(UnbalancedTags(root), "");
    EXPECT_EQ(root.find("This folder is empty."), std::string::npos);
    EXPECT_EQ(root.find("Parent folder"), std::string::npos);
    EXPECT_NE(root.find("href=\"Music/\""), std::string::npos);
}

TEST(DefaultSkin, MessagePagesUseTheSameTemplate) {
    struct Case {
        const char* title;
        const char* content;
        bool hideBack;
    };
    const Case cases[] = {{"404 Not Found", "File or folder does not exist: a &amp; b.txt", false},
                          {"Address: /", "Listing the top level is not allowed on this server.", true},
                          {"401 Unauthorized", "", false}};
    for (const Case& c : cases) {
        const std::string page = RenderPage(SkinFixture::MakeMessagePage(c.title, c.content, c.hideBack));
        SCOPED_TRACE(c.title);
        EXPECT_EQ(UnbalancedTags(page), "");
        EXPECT_NE(page.find("data-page=\"message\""), std::string::npos);
        EXPECT_NE(page.find("<title>" + std::string(c.title) + " &#183; Corvanta</title>"),
                  std::string::npos);
        EXPECT_NE(page.find(std::string(">") + c.title + "</h1>"), std::string::npos);
        EXPECT_NE(page.find(std::string("<div class=\"message-body\">") + c.content + "</div>"),
                  std::string::npos);
        EXPECT_EQ(page.find("id=\"back-button\"") == std::string::npos, c.hideBack);
        EXPECT_EQ(page.find("id=\"files\""), std::string::npos);
        EXPECT_EQ(page.find("$title"), std::string::npos);
        EXPECT_EQ(page.find("$content"), std::string::npos);
    }
}

TEST(DefaultSkin, ScriptsNeverBuildMarkupFromText) {
    for (const char* name : {"common.js", "sortabletable.js"}) {
        const std::string text = ReadFile(SkinDir() + name);
        ASSERT_FALSE(text.empty()) << name;
        for (const char* unsafe :
             {"innerHTML", "outerHTML", "insertAdjacentHTML", "document.write", "eval(", "new Function"}) {
            EXPECT_EQ(text.find(unsafe), std::string::npos) << name << ": " << unsafe;
        }
    }
    for (const char* name : {"skin.html", "upload_frame.html", "upload_form.html"}) {
        const std::string text = ReadFile(SkinDir() + name);
        for (const std::string& tag : StartTags(text)) {
            EXPECT_FALSE(HasEventHandler(tag)) << name << ": <" << tag << ">";
            if (tag.rfind("script", 0) == 0) {
                EXPECT_NE(tag.find(" src="), std::string::npos) << name << ": inline <" << tag << ">";
            }
        }
        EXPECT_EQ(text.find("javascript:"), std::string::npos) << name;
        EXPECT_EQ(text.find("http://"), std::string::npos) << name << ": the skin loads nothing from outside";
        EXPECT_EQ(text.find("https://"), std::string::npos)
            << name << ": the skin loads nothing from outside";
    }
}

TEST(DefaultSkin, UploadWindowKeepsItsContractWithTheServer) {
    struct Case {
        const char* file;
        const char* piece;
    };
    const Case cases[] = {
        {"upload_form.html", "enctype=\"multipart/form-data\""},
        {"upload_form.html", "name=\"uploadfile\""},
        {"upload_frame.html", "id=\"upload-status-frame\""},
        {"common.js", "'?action=Upload&key=' + encodeURIComponent(key)"},
        {"common.js", "data.append('uploadfile', file, file.name)"},
        {"common.js", "'./?action=UploadStatus&key=' + encodeURIComponent(key)"},
        {"common.js", "'upload_form.html?action=SkinFile#' + uploadPath"},
        {"common.js", "window.onUpdateUpload = function"},
        {"common.js", "window.onUpdateProgress = function"},
        {"common.js", "'?action=Subdir'"},
        {"common.js", "box.value + '\\n'"},
        {"skin.html", "<input type=\"hidden\" name=\"selectedFiles\" value=\"\">"},
        {"skin.html", "<input type=\"hidden\" name=\"action\" value=\"MakeDirectory\">"},
        {"skin.html", "name=\"name\" required"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(ReadFile(SkinDir() + c.file).find(c.piece), std::string::npos) << c.file << ": " << c.piece;
    }
}

TEST(DefaultSkin, ScriptsAreValidJavaScript) {
    if (std::system("node --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "node is not installed";
    }
    for (const char* name : {"common.js", "sortabletable.js"}) {
        const std::string command = "node --check '" + SkinDir() + name + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << name;
    }
}

} // namespace
