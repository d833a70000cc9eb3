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
#include "service/pages/PageMemoryBudget.h"
#include "service/processors/ListEntries.h"
#include "service/subdir/SubdirTemplate.h"

#include <cstdio>
#include <vector>

namespace Vuxo {

namespace {

// The rows of $Subdirs, made from the names as the list renders.
class SubdirRows : public RowSource {
public:
    explicit SubdirRows(const ListEntryList& names) : m_names(names) {}

    size_t RowCount() const override { return m_names.GetCount(); }
    void FillRow(size_t index, TemplateRow& row) override {
        row.Slot(0, "$dirname") = EscapeScriptString(m_names.GetEntry(index).name, ScriptString::Json);
        row.Truncate(1);
    }
    // An escaped byte takes up to six ("\u00XX").
    size_t LongestValue(std::string_view name) const override {
        return name == "$dirname" ? m_names.GetLongestName() * 6 : 0;
    }

private:
    const ListEntryList& m_names;
};

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
    // The names are held in the server's page memory, like a folder page's entries.
    PageMemory memory(m_server.GetPageMemory());
    ListEntryList names(&memory);
    const std::string& path = request.GetPath();
    if (path.empty()) {
        if (AddShares(names)) {
            SendList("text/xml", names);
        } else {
            SendBusy();
        }
        return;
    }
    const std::string localPath = m_server.GetMountManager().GetLocalPath(path);
    const Gathered gathered = localPath.empty() ? Gathered::NotAFolder : AddFolders(path, localPath, names);
    if (gathered == Gathered::Whole) {
        SendList("text/plain", names);
    } else if (gathered == Gathered::NoRoom) {
        SendBusy();
    } else {
        SendNotFound();
    }
}

bool SubdirRequestProcessor::AddShares(ListEntryList& names) const {
    MountManager& mounts = m_server.GetMountManager();
    std::vector<std::string> shares;
    mounts.ListMountNames(shares);
    for (const std::string& name : shares) {
        const std::string localPath = mounts.GetLocalPath(name, "");
        PathInfo info;
        if (localPath.empty() || !QueryPath(localPath, info)) {
            m_request->Log(LOG_WARNING, Tr("Subdir: 목록 생성 도중 항목이 실제로 존재하지 않음을 발견 - %s"),
                           localPath.c_str());
            continue;
        }
        if (info.kind == PathKind::Directory && !names.AddFolder(name, 0)) {
            return false;
        }
    }
    return true;
}

SubdirRequestProcessor::Gathered SubdirRequestProcessor::AddFolders(const std::string& requestPath,
                                                                    const std::string& localPath,
                                                                    ListEntryList& names) const {
    PathInfo info;
    if (!QueryPath(localPath, info)) {
        return Gathered::Whole; // nothing there: an empty list
    }
    if (info.kind != PathKind::Directory) {
        return Gathered::NotAFolder;
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
        if (!names.AddFolder(entry.name, 0)) {
            return Gathered::NoRoom;
        }
    }
    return Gathered::Whole;
}

void SubdirRequestProcessor::SendList(const char* contentType, const ListEntryList& names) {
    m_request->BeginResponse(200, "OK");
    m_request->SendHeader("Content-Type", contentType);
    if (std::shared_ptr<const TextTemplate> page = GetSubdirTemplate()) {
        SubdirRows rows(names);
        TextContent content;
        content.SetRowSource("$Subdirs", rows);
        // The built-in template has one loop, so its cost never passes what it may spend.
        page->Render(content, *this, page->Estimate(content).allowed);
    }
    m_request->EndResponse();
}

void SubdirRequestProcessor::SendNotFound() {
    m_request->BeginResponse(404, "Not found");
    m_request->Write("['404 Not found :(']");
    m_request->EndResponse();
}

void SubdirRequestProcessor::SendBusy() {
    m_request->Log(LOG_WARNING, "%s", Tr("폴더 목록에 쓸 메모리가 모자라 503으로 거절함"));
    m_request->BeginResponse(503, "Service Unavailable");
    m_request->Write("['503 Service Unavailable']");
    m_request->EndResponse();
}

} // namespace Vuxo
