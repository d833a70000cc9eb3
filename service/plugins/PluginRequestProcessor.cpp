#include "service/plugins/PluginRequestProcessor.h"

#include "core/file/PelkFile.h"
#include "core/http/HttpRequest.h"
#include "core/http_headers/HttpAuthorization.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/text/PathHelpers.h"
#include "service/accounts/AccountStore.h"
#include "service/accounts/AuthoritySet.h"
#include "service/config/QuilloConfig.h"
#include "service/dispatch/ServerContext.h"
#include "service/mime/ContentKinds.h"
#include "service/mime/MimeTypeTable.h"
#include "service/mounts/LocalPathCheck.h"
#include "service/mounts/MountManager.h"
#include "service/pages/PageFunctions.h"
#include "service/plugins/PluginHostApi.h"

#include <string_view>
#include <vector>

namespace Vuxo {

namespace {

// The value of a request field, or null.
const char* FindField(const HttpFieldMap& fields, const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    const auto found = fields.find(name);
    return found != fields.end() ? found->second.c_str() : nullptr;
}

// The whole value (a decoded %00 included, so that the checks below see it), or "".
std::string FieldOrEmpty(const HttpFieldMap& fields, const std::string& name) {
    const auto found = fields.find(name);
    return found != fields.end() ? found->second : std::string();
}

// The share name of a request path: the text before its first "/".
std::string ShareOf(std::string_view path) {
    return std::string(path.substr(0, path.find('/')));
}

void SendPluginUnauthorized(HttpRequest& request) {
    request.BeginResponse(401, "Unauthorized");
    request.SendHeader(GetAuthenticateHeaderName(),
                       MakeAuthenticateChallenge("/", HttpAuthorization::kSchemeBasic));
    request.SendHeader("Content-Type", "text/html; charset=utf-8");
    request.Write(Tr("이 플러그인을 실행할 권한이 없습니다."));
    request.EndResponse();
}

void SendResourceNotFound(HttpRequest& request) {
    request.BeginResponse(404, "Not found");
    request.Write("404 Not found :(");
    request.EndResponse();
}

} // namespace

PluginRequestProcessor::PluginRequestProcessor(ServerContext& server, PluginManager& plugins)
    : m_server(server), m_plugins(plugins) {}

PluginRequestProcessor::~PluginRequestProcessor() = default;

int PluginRequestProcessor::Process(HttpRequest& request, const AuthoritySet* rights) {
    // The request is current only while this call runs: a plug-in that kept the context and called
    // back later gets nothing.
    struct Current {
        PluginRequestProcessor& processor;
        ~Current() {
            processor.m_request = nullptr;
            processor.m_plugin.reset();
        }
    } current{*this};
    m_request = &request;
    m_plugin = m_plugins.GetPlugin(FieldOrEmpty(request.GetQuery(), "type"));
    if (m_plugin == nullptr) {
        SendStatusPage(request, m_server, 400, "Bad Request", Tr("없는 플러그인에 대한 요청입니다."));
        return 0;
    }
    if (!m_plugin->HasRequiredAuthority(rights)) {
        SendPluginUnauthorized(request);
        return 0;
    }
    if ((m_plugin->GetType() & CORVANTA_PLUGIN_TYPE_ACTION) != 0 &&
        (request.GetMethod() != kHttpPost || request.GetForm().count("selectedFiles") == 0)) {
        SendStatusPage(request, m_server, 400, "Bad Request", Tr("잘못된 요청입니다."));
        return 0;
    }
    const int result = m_plugin->OnRequest(this);
    if (!m_responseBegun) {
        // Every request gets an answer, also from a plug-in that failed before it wrote anything.
        SendStatusPage(request, m_server, 500, "Internal Server Error",
                       Tr("플러그인이 응답하지 않았습니다."));
    }
    return result;
}

void PluginRequestProcessor::SendResource(HttpRequest& request) {
    const std::shared_ptr<const PluginRecord> plugin =
        m_plugins.GetPlugin(FieldOrEmpty(request.GetQuery(), "type"));
    const std::string file = FieldOrEmpty(request.GetQuery(), "file");
    // This answer comes before the IP filter and the login, so the name must not reach past the plug-in's
    // own folder (where the program's mount.ini with its accounts is only two steps away).
    if (plugin == nullptr || file.empty() || !IsSafeShareRest(file) ||
        !StaysInsideShare(plugin->GetFolder(), file)) {
        SendResourceNotFound(request);
        return;
    }
    SendResourceFile(request, plugin->GetFolder(), file);
}

void PluginRequestProcessor::SendResourceFile(HttpRequest& request, const std::string& folder,
                                              const std::string& name) {
    const std::string path = JoinSharePath(folder, name);
    PelkFile file;
    const int64_t size = file.OpenBeneath(folder, name, PelkFile::ModeRead, false) ? file.GetSize() : -1;
    if (size < 0) {
        SendResourceNotFound(request);
        return;
    }
    request.BeginResponse(200, "OK");
    request.SendHeader("Content-Length", std::to_string(size));
    request.SendHeader("Content-Type", ProgramFileType(MimeTypeTable::GetInstance(), GetFileExtension(path)));
    // Throws when the file ends before `size` bytes: the connection then closes instead of leaving the
    // client waiting for bytes that never come.
    request.SendFileData(file.GetDescriptor(), 0, size);
    request.EndResponse();
}

// ---- The host table's view of the request ----

const char* PluginRequestProcessor::GetPluginDirectory() const {
    return IsRunning() ? m_plugin->GetFolder().c_str() : nullptr;
}

int PluginRequestProcessor::GetRequestMethod() const {
    if (!IsRunning()) {
        return CORVANTA_METHOD_OTHER;
    }
    switch (m_request->GetMethod()) {
    case kHttpGet:
        return CORVANTA_METHOD_GET;
    case kHttpPost:
        return CORVANTA_METHOD_POST;
    default:
        return CORVANTA_METHOD_OTHER;
    }
}

const char* PluginRequestProcessor::GetHttpVersion() const {
    return IsRunning() ? m_request->GetVersion().c_str() : nullptr;
}

const char* PluginRequestProcessor::GetRequestUri() const {
    return IsRunning() ? m_request->GetUri().c_str() : nullptr;
}

const char* PluginRequestProcessor::GetRequestPath() const {
    return IsRunning() ? m_request->GetPath().c_str() : nullptr;
}

const char* PluginRequestProcessor::GetRequestLocalPath() {
    if (!IsRunning()) {
        return nullptr;
    }
    if (m_requestLocalPath.empty()) {
        m_requestLocalPath = m_server.GetMountManager().GetLocalPath(m_request->GetPath());
    }
    return m_requestLocalPath.empty() ? nullptr : m_requestLocalPath.c_str();
}

bool PluginRequestProcessor::MayReachShare(const std::string& shareName) const {
    const std::string& page = m_request->GetPath();
    if (!page.empty()) {
        return shareName == ShareOf(page);
    }
    // At the root the dispatcher checked the rights of the selected shares; a share reached otherwise is
    // held to the same test on the user's own rights there.
    std::string account = m_request->GetUserName();
    if (account.empty()) {
        account = AnonymousLoginId();
    }
    AuthoritySet rights;
    return m_server.GetAccountStore().GetAuthority(account, shareName, rights) &&
           m_plugin->HasRequiredAuthority(&rights);
}

const char* PluginRequestProcessor::GetLocalPath(const char* virtualPath) {
    if (!IsRunning() || virtualPath == nullptr) {
        return nullptr;
    }
    std::string_view path(virtualPath);
    if (!path.empty() && path.front() == '/') {
        path.remove_prefix(1);
    }
    if (path.empty() || !MayReachShare(ShareOf(path))) {
        return nullptr;
    }
    m_localPath = m_server.GetMountManager().GetLocalPath(path);
    return m_localPath.empty() ? nullptr : m_localPath.c_str();
}

int PluginRequestProcessor::EnumShares(CorvantaEnumSharesCallback callback, int user) const {
    if (!IsRunning()) {
        return 0;
    }
    if (!m_server.GetConfig().canRootAccess.load()) {
        return -1;
    }
    if (callback == nullptr) {
        return 0;
    }
    std::vector<std::string> names;
    m_server.GetMountManager().ListMountNames(names);
    int calls = 0;
    for (const std::string& name : names) {
        ++calls;
        if (callback(name.c_str(), user) == 0) {
            break;
        }
    }
    return calls;
}

const char* PluginRequestProcessor::GetHeader(const char* upperCaseName) const {
    return IsRunning() ? FindField(m_request->GetHeaders(), upperCaseName) : nullptr;
}

const char* PluginRequestProcessor::GetQueryParam(const char* name) const {
    return IsRunning() ? FindField(m_request->GetQuery(), name) : nullptr;
}

const char* PluginRequestProcessor::GetPostParam(const char* name) const {
    return IsRunning() ? FindField(m_request->GetForm(), name) : nullptr;
}

const char* PluginRequestProcessor::GetClientAddress() {
    if (!IsRunning()) {
        return nullptr;
    }
    if (m_clientAddress.empty()) {
        m_clientAddress = m_request->GetRemoteAddress();
    }
    return m_clientAddress.c_str();
}

void PluginRequestProcessor::ResolveServerHost() {
    if (m_hostResolved) {
        return;
    }
    m_hostResolved = true;
    if (const char* header = FindField(m_request->GetHeaders(), "HOST"); header != nullptr) {
        SplitHostPort(m_host, m_port, header, 80);
        return;
    }
    const QuilloConfig& config = m_server.GetConfig();
    if (config.useHostName.load()) {
        SplitHostPort(m_host, m_port, config.HostName.Get(), m_server.GetPort());
        return;
    }
    m_host = m_request->GetLocalAddress();
    m_port = m_server.GetPort();
}

const char* PluginRequestProcessor::GetServerHost() {
    if (!IsRunning()) {
        return nullptr;
    }
    ResolveServerHost();
    return m_host.c_str();
}

int PluginRequestProcessor::GetServerPort() {
    if (!IsRunning()) {
        return 0;
    }
    ResolveServerHost();
    return m_port;
}

bool PluginRequestProcessor::CanWrite() const {
    return IsRunning() && m_responseBegun && !m_writeFailed;
}

int PluginRequestProcessor::BeginResponse(int code, const char* reason) {
    if (!IsRunning() || m_responseBegun || m_writeFailed || code < 100 || code > 999) {
        return 0;
    }
    m_responseBegun = true;
    try {
        m_request->BeginResponse(code, reason != nullptr ? reason : "");
        return 1;
    } catch (...) {
        m_writeFailed = true;
        return 0;
    }
}

int PluginRequestProcessor::SendHeader(const char* name, const char* value) {
    if (!CanWrite() || m_request->IsHeaderEnded() || name == nullptr || *name == '\0') {
        return 0;
    }
    try {
        m_request->SendHeader(name, value != nullptr ? value : "");
        return 1;
    } catch (...) {
        m_writeFailed = true;
        return 0;
    }
}

int PluginRequestProcessor::SendBody(const char* data, int length) {
    if (!CanWrite() || length < 0 || (data == nullptr && length > 0)) {
        return 0;
    }
    try {
        m_request->Write(length > 0 ? data : "", static_cast<size_t>(length));
        return 1;
    } catch (...) {
        m_writeFailed = true;
        return 0;
    }
}

int PluginRequestProcessor::EndResponse() {
    if (!CanWrite()) {
        return 0;
    }
    try {
        m_request->EndResponse();
        return 1;
    } catch (...) {
        m_writeFailed = true;
        return 0;
    }
}

void PluginRequestProcessor::WriteLog(int level, const char* text) const {
    if (!IsRunning()) {
        return;
    }
    Trace(level, "%s: %s", m_plugin->GetId().c_str(), text != nullptr ? text : "");
}

} // namespace Vuxo
