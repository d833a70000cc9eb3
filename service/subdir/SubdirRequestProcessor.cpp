#include "service/subdir/SubdirRequestProcessor.h"

#include "core/file/FindFileIterator.h"
#include "core/http/HttpRequest.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/platform/fs/FileCalls.h"
#include "core/template/TextContent.h"
#include "core/template/TextTemplate.h"
#include "core/text/TextEscaping.h"
#include "service/config/QuilloConfig.h"
#include "service/dispatch/ServerContext.h"
#include "service/mounts/MountManager.h"
#include "service/subdir/SubdirTemplate.h"

#include <cstdio>
#include <vector>

namespace Vuxo {

namespace {

void AddRow(TextContent& content, const std::string& name) {
    content.AddRow("$Subdirs", TextContent::Row{{"$dirname", EscapeScriptString(name, ScriptString::Json)}});
}

} // namespace

SubdirRequestProcessor::SubdirRequestProcessor(ServerContext& server) : m_server(server) {}

SubdirRequestProcessor::~SubdirRequestProcessor() = default;

void SubdirRequestProcessor::Write(const char* data, std::size_t length) {
    m_request->Write(data, length);
}

void SubdirRequestProcessor::Process(HttpRequest& request, bool mayList) {
    m_request = &request;
    if (!mayList) {
        request.BeginResponse(200, "OK");
        request.SendHeader("Content-Type", "text/xml");
        request.Write("'UNAUTHORIZED'");
        request.EndResponse();
        return;
    }
    TextContent content;
    const std::string& path = request.GetPath();
    if (path.empty()) {
        AddShareRows(content);
        SendList("text/xml", content);
        return;
    }
    const std::string localPath = m_server.GetMountManager().GetLocalPath(path);
    if (localPath.empty() || !AddFolderRows(path, localPath, content)) {
        SendNotFound();
        return;
    }
    SendList("text/plain", content);
}

void SubdirRequestProcessor::AddShareRows(TextContent& content) const {
    MountManager& mounts = m_server.GetMountManager();
    std::vector<std::string> names;
    mounts.ListMountNames(names);
    for (const std::string& name : names) {
        const std::string localPath = mounts.GetLocalPath(name, "");
        PathInfo info;
        if (localPath.empty() || !QueryPath(localPath, info)) {
            m_request->Log(LOG_WARNING, Tr("Subdir: 목록 생성 도중 항목이 실제로 존재하지 않음을 발견 - %s"),
                           localPath.c_str());
            continue;
        }
        if (info.kind == PathKind::Directory) {
            AddRow(content, name);
        }
    }
}

bool SubdirRequestProcessor::AddFolderRows(const std::string& requestPath, const std::string& localPath,
                                           TextContent& content) const {
    PathInfo info;
    if (!QueryPath(localPath, info)) {
        return true; // nothing there: an empty list
    }
    if (info.kind != PathKind::Directory) {
        return false;
    }
    const bool showHidden = m_server.GetConfig().showHiddenFiles.load();
    const std::string folder =
        requestPath.empty() || requestPath.back() == '/' ? requestPath : requestPath + "/";
    // Read through the folder opened inside the share, never through the path checked before.
    for (FindFileIterator found(m_server.GetMountManager().OpenFolder(requestPath)), end; found != end;
         ++found) {
        const FindFileData& entry = *found;
        if (!entry.IsDirectory() || (!showHidden && entry.IsHidden())) {
            continue;
        }
        if (entry.isLink && m_server.GetMountManager().GetLocalPath(folder + entry.name).empty()) {
            continue; // it leads out of the share: opening it would be refused
        }
        AddRow(content, entry.name);
    }
    return true;
}

void SubdirRequestProcessor::SendList(const char* contentType, TextContent& content) {
    m_request->BeginResponse(200, "OK");
    m_request->SendHeader("Content-Type", contentType);
    if (std::shared_ptr<const TextTemplate> page = GetSubdirTemplate()) {
        page->Render(content, *this);
    }
    m_request->EndResponse();
}

void SubdirRequestProcessor::SendNotFound() {
    m_request->BeginResponse(404, "Not found");
    m_request->Write("['404 Not found :(']");
    m_request->EndResponse();
}

} // namespace Vuxo
