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
#include "service/processors/ListRows.h"
#include "service/skins/SkinLoaders.h"
#include "service/skins/SkinManager.h"

#include <chrono>
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
    bool sent = false;
    try {
        if (config.skinDevelopersMode.load()) {
            std::lock_guard<std::mutex> lock(SkinDevelopersLock());
            LoadSkins(m_server.GetProgramFolder(), config.defaultSkin.Get());
            sent = Answer();
        } else {
            sent = Answer();
        }
    } catch (...) {
        // The page was cut off (the client went away, or it failed mid-way): the connection ends.
        request.Log(LOG_INFO, "%s", Tr("SendList 실패"));
        throw;
    }
    request.Log(LOG_INFO, "%s", sent ? Tr("SendList 성공") : Tr("SendList 실패"));
}

bool ListRequestProcessor::Answer() {
    HttpRequest& request = *m_request;
    request.Log(LOG_INFO, "%s", Tr("SendList 시작"));
    const std::string& path = request.GetPath();
    MountManager& mounts = m_server.GetMountManager();
    if (!path.empty() && path.back() != '/') {
        // A folder named without its trailing "/": relative links on its page need the "/".
        SendRedirect(request, "/" + path + "/");
        return true;
    }
    m_isRoot = path.empty();
    ListPage page(m_server.GetPageMemory());
    page.address = "/" + path;
    page.showFiles = true;
    bool whole = true;
    if (m_isRoot) {
        whole = CollectShares(page.entries);
    } else {
        const std::string mountName = path.substr(0, path.find('/'));
        uint32_t id = 0;
        bool isDirectory = false;
        // Below a share's top folder, or at the top when the share list may be shown.
        page.showUpper = path.size() > mountName.size() + 1 || m_server.GetConfig().canRootAccess.load();
        page.canUpload = mounts.GetMountIdentity(mountName, id, isDirectory) && m_rights.CanUpload();
        page.localPath = mounts.GetLocalPath(path);
        if (!page.localPath.empty()) {
            whole = CollectFolder(path, page);
        }
    }
    if (!whole || !page.entries.Sort()) {
        SendBusy();
        return false;
    }
    return SendPage(page);
}

void ListRequestProcessor::SendBusy() {
    m_request->Log(LOG_WARNING, "%s", Tr("폴더 목록에 쓸 메모리가 모자라 503으로 거절함"));
    SendStatusPage(*m_request, m_server, 503, "Service Unavailable",
                   Tr("서버가 다른 큰 폴더의 목록을 만드는 중이라 지금은 이 폴더를 보여 줄 수 없습니다. "
                      "잠시 후 다시 시도하세요."));
}

bool ListRequestProcessor::CollectShares(ListEntryList& entries) const {
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
            if (!entries.AddFolder(name, info.lastWriteTime)) {
                return false;
            }
        } else if (info.kind == PathKind::Regular) {
            if (!entries.AddFile(name, info.size, info.lastWriteTime)) {
                return false;
            }
        } else {
            Trace(LOG_WARNING, Tr("파일 목록 생성 도중 파일이 존재하지 않음을 발견 - %s"), localPath.c_str());
        }
    }
    return true;
}

bool ListRequestProcessor::CollectFolder(const std::string& requestPath, ListPage& page) const {
    size_t need = 0;
    if (WalkFolder(requestPath, page.entries, need)) {
        return true;
    }
    // No room for them all: the walk went on to learn what the whole folder takes. The page waits for
    // that much, holding nothing meanwhile, and reads the folder again into it.
    page.entries.Clear();
    const auto stopped = [this] { return m_request->WaitForStop(std::chrono::milliseconds(0)); };
    if (!page.memory.WaitFor(static_cast<int64_t>(need + ListEntryList::kSlack), stopped)) {
        return false;
    }
    need = 0;
    return WalkFolder(requestPath, page.entries, need);
}

bool ListRequestProcessor::WalkFolder(const std::string& requestPath, ListEntryList& entries,
                                      size_t& need) const {
    const bool showHidden = m_server.GetConfig().showHiddenFiles.load();
    const MountManager& mounts = m_server.GetMountManager();
    bool whole = true;
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
        if (!entry.IsDirectory() && !entry.IsRegularFile()) {
            continue;
        }
        need += ListEntryList::Footprint(entry.name);
        if (whole) {
            whole = entry.IsDirectory() ? entries.AddFolder(entry.name, entry.lastWriteTime)
                                        : entries.AddFile(entry.name, entry.size, entry.lastWriteTime);
        }
    }
    return whole;
}

bool ListRequestProcessor::SendPage(ListPage& page) {
    TextContent content;
    content.SetValue("$address", EscapeMarkup(page.address));
    content.SetValue("$content", page.content);
    ListRows rows(page.entries);
    if (page.showFiles) {
        content.SetValue("$show_files", "1");
        content.SetRowSource("$files", rows);
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
    return HtmlPageSender(m_server, *m_request, 200, "OK").Send(content);
}

} // namespace Vuxo
