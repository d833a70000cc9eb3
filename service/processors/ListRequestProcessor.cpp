#include "service/processors/ListRequestProcessor.h"

#include "core/file/FindFileIterator.h"
#include "core/http/HttpRequest.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/platform/fs/FileCalls.h"
#include "core/template/TextContent.h"
#include "core/text/TextEscaping.h"
#include "core/text/UrlCoding.h"
#include "service/config/QuilloConfig.h"
#include "service/dispatch/ServerContext.h"
#include "service/mounts/MountManager.h"
#include "service/pages/HtmlPageSender.h"
#include "service/pages/PageFunctions.h"
#include "service/plugins/PluginManager.h"
#include "service/processors/ListFormats.h"
#include "service/skins/SkinLoaders.h"
#include "service/skins/SkinManager.h"

#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

namespace Vuxo {

namespace {

// Serialises listings in skin-developer mode, so that no page renders while another reloads the skins.
std::mutex& SkinDevelopersLock() {
    static std::mutex lock;
    return lock;
}

// Bytes available to this user on the disk of `path`; "" when the system cannot tell.
std::string FreeSpaceText(const std::string& path) {
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(path, error);
    if (error || space.available == static_cast<std::uintmax_t>(-1)) {
        return {};
    }
    return FormatNumberWithCommas(static_cast<int64_t>(space.available));
}

} // namespace

ListRequestProcessor::ListRequestProcessor(ServerContext& server, AuthoritySet rights)
    : m_server(server), m_rights(rights) {}

ListRequestProcessor::~ListRequestProcessor() = default;

void ListRequestProcessor::SendList(HttpRequest& request) {
    m_request = &request;
    QuilloConfig& config = m_server.GetConfig();
    if (config.skinDevelopersMode.load()) {
        std::lock_guard<std::mutex> lock(SkinDevelopersLock());
        LoadSkins(m_server.GetProgramFolder(), config.defaultSkin.Get());
        Answer();
    } else {
        Answer();
    }
}

void ListRequestProcessor::Answer() {
    HttpRequest& request = *m_request;
    request.Log(LOG_INFO, "%s", Tr("SendList 시작"));
    const std::string& path = request.GetPath();
    MountManager& mounts = m_server.GetMountManager();
    if (!path.empty() && path.back() != '/') {
        // A folder named without its trailing "/": relative links on its page need the "/".
        SendRedirect(request, "/" + path + "/");
    } else {
        m_isRoot = path.empty();
        ListPage page;
        page.address = "/" + path;
        page.showFiles = true;
        if (m_isRoot) {
            CollectShares(page.entries);
        } else {
            const std::string mountName = path.substr(0, path.find('/'));
            uint32_t id = 0;
            bool isDirectory = false;
            // Below a share's top folder, or at the top when the share list may be shown.
            page.showUpper = path.size() > mountName.size() + 1 || m_server.GetConfig().canRootAccess.load();
            page.canUpload = mounts.GetMountIdentity(mountName, id, isDirectory) && m_rights.CanUpload();
            page.localPath = mounts.GetLocalPath(path);
            if (!page.localPath.empty()) {
                CollectFolder(path, page.entries);
            }
        }
        SendPage(page);
    }
    request.Log(LOG_INFO, "%s", Tr("SendList 성공"));
}

void ListRequestProcessor::CollectShares(ListEntryList& entries) const {
    MountManager& mounts = m_server.GetMountManager();
    std::vector<std::string> names;
    mounts.ListMountNames(names);
    for (const std::string& name : names) {
        const std::string localPath = mounts.GetLocalPath(name, std::string());
        PathInfo info;
        if (localPath.empty() || !QueryPath(localPath, info)) {
            info.kind = PathKind::Missing;
        }
        if (info.kind == PathKind::Directory) {
            entries.AddFolder(name, info.lastWriteTime);
        } else if (info.kind == PathKind::Regular) {
            entries.AddFile(name, info.size, info.lastWriteTime);
        } else {
            Trace(LOG_WARNING, Tr("파일 목록 생성 도중 파일이 존재하지 않음을 발견 - %s"), localPath.c_str());
        }
    }
}

void ListRequestProcessor::CollectFolder(const std::string& requestPath, ListEntryList& entries) const {
    const bool showHidden = m_server.GetConfig().showHiddenFiles.load();
    const MountManager& mounts = m_server.GetMountManager();
    // The folder opened inside the share: a link swapped in for it since the path was checked cannot
    // make the page list a folder outside.
    for (FindFileIterator found(mounts.OpenFolder(requestPath)), end; found != end; ++found) {
        const FindFileData& entry = *found;
        if (entry.IsHidden() && !showHidden) {
            continue;
        }
        if (entry.isLink && mounts.GetLocalPath(requestPath + entry.name).empty()) {
            continue;
        }
        // Only what can be opened is listed: folders and regular files (no FIFO, device or dangling link).
        if (entry.IsDirectory()) {
            entries.AddFolder(entry.name, entry.lastWriteTime);
        } else if (entry.IsRegularFile()) {
            entries.AddFile(entry.name, entry.size, entry.lastWriteTime);
        }
    }
}

void ListRequestProcessor::SendPage(ListPage& page) {
    TextContent content;
    content.SetValue("$address", EscapeMarkup(page.address));
    content.SetValue("$content", page.content);
    if (page.showFiles) {
        content.SetValue("$show_files", "1");
        page.entries.Sort();
        for (ListEntry& entry : page.entries.TakeEntries()) {
            TextContent::Row row;
            row.reserve(5);
            row.emplace("$name", EscapeMarkup(entry.name));
            row.emplace("$link", std::move(entry.link));
            row.emplace("$date", std::move(entry.date));
            row.emplace("$size", std::move(entry.size));
            if (entry.kind == ListEntry::kFolder) {
                row.emplace("$is_folder", "1");
            }
            content.AddRow("$files", std::move(row));
        }
        content.SetValue("$total_size", FormatNumberWithCommas(page.entries.GetTotalSize()));
    }
    if (page.showUpper) {
        content.SetValue("$free_space", FreeSpaceText(page.localPath));
        content.SetValue("$display_upper", "1");
    }
    if (page.canUpload) {
        content.SetValue("$upload_path", UrlEncode(page.address));
    }
    for (const std::string& skin : SkinManager::GetInstance().ListSkinNames()) {
        content.AddRow("$skins", TextContent::Row{{"$name", EscapeMarkup(skin)}});
    }
    // plug-in host: the plug-ins offered on this page, for m_rights; the id becomes a URL parameter
    std::vector<PluginInfo> plugins;
    PluginManager::GetInstance().ListPlugins(plugins, &m_rights);
    for (const PluginInfo& plugin : plugins) {
        // A plug-in names itself with a built-in text; the page shows it in the current UI language.
        const std::string name = LocalizationStringTable::GetInstance().GetString(plugin.name.c_str());
        const TextContent::Row row{{"$id", UrlEncode(plugin.id)}, {"$name", EscapeMarkup(name)}};
        if ((plugin.type & CORVANTA_PLUGIN_TYPE_VIEW) != 0) {
            content.AddRow("$view_plugins", row);
        }
        if ((plugin.type & CORVANTA_PLUGIN_TYPE_VIEW_EXCEPT_ROOT) != 0 && !m_isRoot) {
            content.AddRow("$view_plugins", row);
        }
        if ((plugin.type & CORVANTA_PLUGIN_TYPE_ACTION) != 0) {
            content.AddRow("$action_plugins", row);
        }
    }
    HtmlPageSender(m_server, *m_request, 200, "OK").Send(content);
}

} // namespace Vuxo
