// Builds the variables the server gives the default skin's pages (folder, share list, messages), with
// names escaped and links encoded the way the page senders do, for the skin tests and the preview tool.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/template/TextContent.h"
#include "core/text/TextEscaping.h"

namespace SkinFixture {

inline std::string SkinDir() {
    return std::string(CORVANTA_SOURCE_DIR) + "/res/skin/";
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Letters, digits, "-", "_", ".", "~" and "/" stay; every other byte becomes %XX.
inline std::string UrlEncode(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
        if (keep) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

inline std::string WithCommas(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) {
        digits.insert(static_cast<std::size_t>(i), ",");
    }
    return digits;
}

struct Entry {
    std::string name; // as on disk, UTF-8
    bool folder;
    std::uint64_t size;
    std::string date; // "2024-03-05 PM 02:07"
};

struct PageOptions {
    std::string skin = ".default";
    std::string address = "/Music & Films/2024 <new>/";
    std::string loginId = "minji";
    bool showUpper = true;
    bool canUpload = true;
    bool viewPlugins = true;
    bool actionPlugins = true;
    int extraRows = 0; // generated files after the sample entries
};

inline std::vector<Entry> SampleEntries(int extraRows) {
    std::vector<Entry> entries = {
        {"Albums", true, 0, "2024-11-02 PM 07:41"},
        {"Drafts & <Ideas>", true, 0, "2024-10-28 AM 09:05"},
        {"\xEC\x82\xAC\xEC\xA7\x84 \xEB\xAA\xA8\xEC\x9D\x8C", true, 0,
         "2024-08-15 PM 12:30"}, // Korean "photo collection"
        {"Backups", true, 0, "2023-12-31 PM 11:59"},
        {"a really long folder name that keeps going to check how the page wraps it on a phone", true, 0,
         "2022-01-01 AM 12:00"},
        {"annual-report-2024-final-v3-reviewed-with-comments-from-everyone-who-read-it.pdf", false, 8456123,
         "2024-12-01 AM 10:12"},
        {"Tom & Jerry <remastered>.mkv", false, 4823449600ULL, "2024-06-30 PM 08:20"},
        {"\xEB\xB4\x84\xEB\x82\xA0 \xEB\x85\xB8\xEB\x9E\x98.mp3", false, 7340032,
         "2024-04-01 AM 07:45"}, // "spring song"
        {"cost$5 'quoted' \"double\".txt", false, 512, "2024-02-14 PM 03:03"},
        {"empty.log", false, 0, "2024-01-09 AM 01:01"},
        {"holiday-photo.jpg", false, 3456789, "2023-07-21 PM 05:55"},
        {"README", false, 1999, "2021-05-05 AM 11:11"},
    };
    for (int i = 0; i < extraRows; ++i) {
        const int day = 1 + i % 28;
        const int hour = 1 + i % 12;
        std::string date = "2024-" + std::string(i % 12 < 9 ? "0" : "") + std::to_string(1 + i % 12) + "-" +
                           (day < 10 ? "0" : "") + std::to_string(day) + (i % 2 ? " PM " : " AM ") +
                           (hour < 10 ? "0" : "") + std::to_string(hour) + ":" + (i % 60 < 10 ? "0" : "") +
                           std::to_string(i % 60);
        entries.push_back({"track " + std::to_string(1000 + i) + (i % 3 ? ".flac" : ".ogg"), false,
                           static_cast<std::uint64_t>(i) * 7919 * 131 + 17, date});
    }
    return entries;
}

inline void SetCommonValues(Vuxo::TextContent& content, const std::string& skin, const std::string& path,
                            const std::string& loginId) {
    content.SetValue("$skin", skin);
    content.SetValue("$version", "0.943");
    content.SetValue("$revision", "1095");
    content.SetValue("$server_addr", "192.168.0.10");
    content.SetValue("$server_port", "8080");
    content.SetValue("$server_path", Vuxo::EscapeMarkup(path));
    content.SetValue("$server_path_encoded", UrlEncode(path));
    content.SetValue("$current_login_id", Vuxo::EscapeMarkup(loginId));
}

inline void AddSkinsAndPlugins(Vuxo::TextContent& content, const PageOptions& options) {
    for (const char* skin : {".default", "develop", "Midnight & Co"}) {
        content.AddRow("$skins", {{"$name", Vuxo::EscapeMarkup(skin)}});
    }
    if (options.viewPlugins) {
        content.AddRow("$view_plugins", {{"$id", "Gallery"}, {"$name", "Slide show"}});
    }
    if (options.actionPlugins) {
        content.AddRow("$action_plugins", {{"$id", "Mevrin"}, {"$name", "Download as ZIP"}});
        content.AddRow("$action_plugins", {{"$id", "Kestrin"}, {"$name", "Play as M3U"}});
    }
}

// A folder page as the folder list sends it.
inline Vuxo::TextContent MakeFolderPage(const PageOptions& options, const std::vector<Entry>& entries) {
    Vuxo::TextContent content;
    content.SetValue("$address", Vuxo::EscapeMarkup(options.address));
    content.SetValue("$content", "");
    content.SetValue("$show_files", "1");
    std::uint64_t total = 0;
    for (const Entry& e : entries) {
        Vuxo::TextContent::Row row{{"$name", Vuxo::EscapeMarkup(e.name)},
                                   {"$link", UrlEncode(e.name) + (e.folder ? "/" : "")},
                                   {"$date", e.date},
                                   {"$size", e.folder ? "" : WithCommas(e.size)}};
        if (e.folder) {
            row.emplace("$is_folder", "1");
        } else {
            total += e.size;
        }
        content.AddRow("$files", std::move(row));
    }
    content.SetValue("$total_size", WithCommas(total));
    if (options.showUpper) {
        content.SetValue("$free_space", WithCommas(912345678901ULL));
        content.SetValue("$display_upper", "1");
    }
    if (options.canUpload) {
        content.SetValue("$upload_path", UrlEncode(options.address));
    }
    AddSkinsAndPlugins(content, options);
    const std::string path = options.address.size() > 1 ? options.address.substr(1) : std::string();
    SetCommonValues(content, options.skin, path, options.loginId);
    return content;
}

inline Vuxo::TextContent MakeFolderPage(const PageOptions& options) {
    return MakeFolderPage(options, SampleEntries(options.extraRows));
}

// A message or status page (title, content, optional hidden back link).
inline Vuxo::TextContent MakeMessagePage(const std::string& title, const std::string& content, bool hideBack,
                                         const std::string& skin = ".default") {
    Vuxo::TextContent page;
    page.SetValue("$title", title);
    page.SetValue("$content", content);
    if (hideBack) {
        page.SetValue("$content_hide_back_button", "1");
    }
    SetCommonValues(page, skin, "Music/missing.txt", "");
    return page;
}

} // namespace SkinFixture
