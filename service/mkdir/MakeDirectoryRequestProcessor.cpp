#include "service/mkdir/MakeDirectoryRequestProcessor.h"

#include "core/http/HttpRequest.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/platform/fs/FileCalls.h"
#include "core/platform/fs/PathCalls.h"
#include "core/text/StringHelpers.h"
#include "core/text/Utf8.h"
#include "service/dispatch/ServerContext.h"
#include "service/mounts/MountManager.h"
#include "service/pages/PageFunctions.h"

namespace Vuxo {

namespace {

// One name of a folder; a control character could forge a line of the day log or break a page, and a
// bidirectional one make the name read otherwise than it is.
bool IsUsableFolderName(const std::string& name) {
    return name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos &&
           !HasControlCharacter(name);
}

} // namespace

MakeDirectoryRequestProcessor::MakeDirectoryRequestProcessor(ServerContext& server) : m_server(server) {}

MakeDirectoryRequestProcessor::~MakeDirectoryRequestProcessor() = default;

std::string MakeDirectoryRequestProcessor::GetFolderName(const HttpRequest& request) {
    auto found = request.GetQuery().find("name");
    if (found == request.GetQuery().end()) {
        return {};
    }
    std::u16string name = Utf8ToWide(found->second);
    Trim(name, u"\r\n\t ");
    return WideToUtf8(name);
}

bool MakeDirectoryRequestProcessor::Validate(HttpRequest& request) {
    const std::string name = GetFolderName(request);
    if (name.empty()) {
        m_errorText = Tr("폴더 이름이 입력되지 않았습니다.");
        return false;
    }
    if (!IsUsableFolderName(name)) {
        m_errorText = Tr("폴더 이름으로 쓸 수 없는 이름입니다.");
        return false;
    }
    const std::string& path = request.GetPath();
    MountManager& mounts = m_server.GetMountManager();
    uint32_t id = 0;
    bool isDirectory = false;
    if (!mounts.GetMountIdentity(path.substr(0, path.find('/')), id, isDirectory)) {
        m_errorText = Tr("폴더를 만들도록 지정된 폴더가 존재하지 않습니다.");
        return false;
    }
    // A folder that does not exist passes here and fails when the new folder is made in it.
    PathInfo info;
    const std::string folder = mounts.GetLocalPath(path);
    if (folder.empty() || (QueryPath(folder, info) && info.kind != PathKind::Directory)) {
        m_errorText = Tr("업로드가 금지된 폴더입니다.");
        return false;
    }
    return true;
}

void MakeDirectoryRequestProcessor::MakeDirectory(HttpRequest& request) {
    const std::string& path = request.GetPath();
    const std::string name = GetFolderName(request);
    m_errorText = Tr("폴더를 만들지 못했습니다.");

    if (Validate(request)) {
        // Made in the folder opened inside the share (a folder named without its trailing "/" gets the
        // new folder inside). The share may have gone since the check: then there is no folder, and the
        // general failure is answered. A name already taken is a failure too.
        const FileDescriptor folder = m_server.GetMountManager().OpenFolder(path);
        if (folder.IsValid() && MakeFolderIn(folder, name) == 0) {
            request.Log(LOG_INFO, Tr("MakeDirectory 성공 - %s"), name.c_str());
            // "." names the folder only when the page's path ends in "/".
            SendRedirect(request, !path.empty() && path.back() == '/' ? std::string(".") : "/" + path + "/");
            return;
        }
    }
    request.Log(LOG_ERROR, Tr("MakeDirectory 실패 : %s - %s"), m_errorText.c_str(), name.c_str());
    SendMessagePage(request, m_server, Tr("폴더 만들기 실패"), m_errorText, false);
}

} // namespace Vuxo
