#include "service/dispatch/QuilloHttpRequestHandler.h"

#include "core/file/PelkFile.h"
#include "core/http/HttpRequest.h"
#include "core/http_headers/RangeHeader.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/platform/fs/FileCalls.h"
#include "core/text/TextEscaping.h"
#include "core/text/Utf8.h"
#include "service/access/ConnectionCountLimitManager.h"
#include "service/access/IPFilter.h"
#include "service/accounts/AccountStore.h"
#include "service/accounts/AuthoritySet.h"
#include "service/config/QuilloConfig.h"
#include "service/dispatch/MapHelpers.h"
#include "service/dispatch/RequestOrigin.h"
#include "service/dispatch/RequestPath.h"
#include "service/dispatch/ServerContext.h"
#include "service/mkdir/MakeDirectoryRequestProcessor.h"
#include "service/mounts/MountManager.h"
#include "service/pages/PageFunctions.h"
#include "service/plugins/PluginRequestProcessor.h"
#include "service/processors/DownloadRequestProcessor.h"
#include "service/processors/ListRequestProcessor.h"
#include "service/subdir/SubdirRequestProcessor.h"
#include "service/system/IdentificationRequestProcessor.h"
#include "service/system/SystemRequestProcessor.h"
#include "service/upload/UploadRequestProcessor.h"
#include "service/upload/UploadStatusReportingRequestProcessor.h"

#include <string_view>
#include <vector>

namespace Vuxo {

namespace {

// A path as pages show it: invalid UTF-8 and NUL turned into U+FFFD, then HTML-escaped, so that a
// hostile path is shown as text and never becomes markup.
std::string DisplayPath(const std::string& path) {
    std::string text = WideToUtf8(Utf8ToWide(path));
    std::string clean;
    clean.reserve(text.size());
    for (char c : text) {
        if (c == '\0') {
            clean.append("\xEF\xBF\xBD");
        } else {
            clean.push_back(c);
        }
    }
    return EscapeMarkup(clean);
}

// The text after the last "/" or "\".
std::string_view LastSegment(std::string_view path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string AddressTitle(const std::string& path) {
    return std::string(Tr("주소: /")) + DisplayPath(path);
}

void SendNotFound(HttpRequest& request, const ServerContext& server, const std::string& path) {
    SendStatusPage(request, server, 404, Tr("Not Found"),
                   std::string(Tr("파일 혹은 디렉토리가 존재하지 않음: ")) + DisplayPath(path));
}

void SendAuthorityError(HttpRequest& request, const ServerContext& server, const std::string& path) {
    SendMessagePage(request, server, AddressTitle(path), Tr("인증 오류"), false);
}

// A request that would change something, made by a page of another site through the visitor's browser.
void SendCrossOriginRefusal(HttpRequest& request, const ServerContext& server) {
    request.Log(LOG_WARNING, "%s", Tr("다른 사이트의 페이지가 보낸 요청을 거부함"));
    SendStatusPage(request, server, 403, "Forbidden",
                   Tr("다른 사이트의 페이지가 보낸 요청이라 처리하지 않았습니다."));
}

void SendLimitRefusal(HttpRequest& request, const ServerContext& server, int code) {
    if (code == ConnectionCountLimitException::kTotalLimit) {
        SendStatusPage(request, server, 503, "Service Unavailable", Tr("사용자 수가 너무 많음"));
    } else if (code == ConnectionCountLimitException::kPerAddressLimit) {
        SendStatusPage(request, server, 503, "Service Unavailable", Tr("IP별 동시접속 제한 초과"));
    }
}

bool IsBuiltinFileRequest(const HttpRequest& request, const ServerContext& server,
                          const std::string& action) {
    const std::string& path = request.GetPath();
    if (LastSegment(path) == "robots.txt" && !server.GetMountManager().PathExists(path)) {
        return true;
    }
    uint32_t id = 0;
    bool isDirectory = false;
    if (path == "favicon.ico" && !server.GetMountManager().GetMountIdentity("favicon.ico", id, isDirectory)) {
        return true;
    }
    return action == "SkinFile" && request.GetQuery().size() == 1;
}

} // namespace

QuilloHttpRequestHandler::QuilloHttpRequestHandler(ServerContext& server) : m_server(server) {}

QuilloHttpRequestHandler::~QuilloHttpRequestHandler() = default;

void QuilloHttpRequestHandler::HandleRequest(HttpRequest& request) {
    try {
        Dispatch(request);
    } catch (const ConnectionCountLimitException& e) {
        SendLimitRefusal(request, m_server, e.GetCode());
    }
}

bool QuilloHttpRequestHandler::Authenticate(std::string& loginId, HttpRequest& request) const {
    loginId = request.GetUserName();
    if (loginId.empty()) {
        loginId = AnonymousLoginId();
        return true;
    }
    std::string password;
    if (!m_server.GetAccountStore().GetPassword(loginId, password)) {
        return false;
    }
    return request.CheckCredentials(loginId, password);
}

void QuilloHttpRequestHandler::Dispatch(HttpRequest& request) {
    const HttpFieldMap& query = request.GetQuery();
    const std::string action = GetMapValue(query, "action");
    const std::string& path = request.GetPath();

    // Only GET, HEAD (GET without the body) and POST mean anything here; serving another method as a GET
    // would tell a client that its DELETE or PUT was carried out.
    if (request.GetMethod() == kHttpOtherMethod && !request.IsHead()) {
        SendStatusPage(request, m_server, 501, "Not Implemented", Tr("구현되지 않았음"));
        return;
    }

    // A path that is not UTF-8, or holds a NUL, names nothing: it could only be a trick to slip "/",
    // "." or a terminator past the checks below.
    if (!IsAcceptablePathText(path)) {
        SendNotFound(request, m_server, path);
        return;
    }
    const RequestPath requestPath(path);
    if (!requestPath.IsValid()) {
        SendRedirect(request, "/" + requestPath.GetCanonical());
        return;
    }
    if ((request.GetMethod() == kHttpGet || request.IsHead()) && path.empty() && query.size() == 1 &&
        query.count("identify") != 0) {
        IdentificationRequestProcessor().Process(request);
        return;
    }
    if (IsBuiltinFileRequest(request, m_server, action)) {
        SystemRequestProcessor().Process(request);
        return;
    }
    if (action == "PluginResource") {
        PluginRequestProcessor(m_server).SendResource(request); // plug-in host: a file of a plug-in's folder
        return;
    }
    if (!m_server.GetIPFilter().IsIPAllowed(request.GetRemoteAddress())) {
        SendMessagePage(request, m_server, AddressTitle(path), "403 Forbidden", false);
        return;
    }
    if (action == "UploadStatus" && query.size() == 2) {
        UploadStatusReportingRequestProcessor(m_server).Process(request); // the upload window's progress page
        return;
    }

    std::string loginId;
    if (!Authenticate(loginId, request)) {
        SendUnauthorizedPage(request, m_server);
        return;
    }
    const bool anonymous = loginId == AnonymousLoginId();
    if (action == "Login" && anonymous) {
        SendUnauthorizedPage(request, m_server);
        return;
    }
    // Only these change something: a page of another site must not make the visitor's browser store a
    // file (which could be a page that then reads the visitor's files), make a folder or log out. Logging
    // in changes nothing (the browser asks its user), nor do plug-in runs (archives and playlists).
    const Route route = ChooseRoute(request, action);
    const bool logout = action == "Logout" && !anonymous;
    if ((logout || route == Route::Upload || route == Route::MakeDirectory) &&
        ComesFromAnotherOrigin(request.GetHeaders())) {
        SendCrossOriginRefusal(request, m_server);
        return;
    }
    if (logout) {
        SendLogoutPage(request, m_server);
        return;
    }

    // The rights on a share come from the header; only the root's selection needs the form body, so only
    // then is it read before the rights are known.
    if (path.empty() && !ReceiveForm(request)) {
        return;
    }
    AuthoritySet rights;
    std::string localPath;
    if (!ComputeRights(request, loginId, route == Route::Entry, rights, localPath)) {
        return;
    }
    switch (route) {
    case Route::Subdir:
        SubdirRequestProcessor(m_server).Process(request, rights.CanList()); // the path bar's folder menu
        return;
    case Route::Plugin: {
        // plug-in host: a plug-in run holds a connection-count token like a download
        CounterToken token;
        m_server.GetConnectionCountLimitManager().Acquire(token, request.GetRemoteAddress());
        if (ReceiveForm(request)) {
            PluginRequestProcessor(m_server).Process(request, &rights);
        }
        return;
    }
    case Route::RootList:
        if (rights.CanList()) {
            ListRequestProcessor(m_server, rights).SendList(request);
        } else {
            SendMessagePage(request, m_server, Tr("주소: /"),
                            Tr("이 서버에서는 최상위 목록 보기가 금지되어 있습니다."), true);
        }
        return;
    case Route::Upload:
        if (rights.CanUpload()) {
            UploadRequestProcessor(m_server).ReceiveFile(request); // a file into the folder
        } else {
            SendUnauthorizedPage(request, m_server);
        }
        return;
    case Route::MakeDirectory:
        if (rights.CanUpload()) {
            MakeDirectoryRequestProcessor(m_server).MakeDirectory(request); // a new folder in the folder
        } else {
            SendUnauthorizedPage(request, m_server);
        }
        return;
    case Route::Entry:
        ServeEntry(request, localPath, rights);
        return;
    }
}

QuilloHttpRequestHandler::Route QuilloHttpRequestHandler::ChooseRoute(const HttpRequest& request,
                                                                      const std::string& action) {
    if (action == "Subdir" && request.GetQuery().size() == 1) {
        return Route::Subdir;
    }
    if (action == "Plugin") {
        return Route::Plugin;
    }
    if (request.GetPath().empty()) {
        return Route::RootList;
    }
    if (request.IsMultipartPost()) {
        return Route::Upload;
    }
    if (action == "MakeDirectory") {
        return Route::MakeDirectory;
    }
    return Route::Entry;
}

bool QuilloHttpRequestHandler::ReceiveForm(HttpRequest& request) const {
    if (request.ReceiveForm()) {
        return true;
    }
    SendStatusPage(request, m_server, 503, "Service Unavailable", Tr("사용자 수가 너무 많음"));
    return false;
}

bool QuilloHttpRequestHandler::ComputeRights(HttpRequest& request, const std::string& loginId, bool forEntry,
                                             AuthoritySet& rights, std::string& localPath) const {
    const std::string& path = request.GetPath();
    AccountStore& accounts = m_server.GetAccountStore();
    if (!path.empty()) {
        const MountManager& mounts = m_server.GetMountManager();
        // An entry is opened below its share before anything else looks at it (ServeEntry), so the look
        // at the links on its way waits until the open has failed.
        localPath = forEntry ? mounts.GetLocalPathForOpen(path) : mounts.GetLocalPath(path);
        if (localPath.empty()) {
            SendNotFound(request, m_server, path);
            return false;
        }
        if (!accounts.GetAuthority(loginId, RequestPath(path).GetMountName(), rights)) {
            // A path that leads out of its share is missing, whoever asks.
            if (forEntry && mounts.GetLocalPath(path).empty()) {
                SendNotFound(request, m_server, path);
            } else {
                SendAuthorityError(request, m_server, path);
            }
            return false;
        }
        return true;
    }
    rights.Set(AuthoritySet::kList, m_server.GetConfig().canRootAccess.load());
    std::string selected;
    if (!FindMapValue(request.GetForm(), "selectedFiles", selected)) {
        return true;
    }
    std::vector<std::string> entries;
    SplitLines(entries, selected.c_str());
    if (entries.empty()) {
        return true;
    }
    rights.Set(AuthoritySet::kDownload, true);
    for (std::string& entry : entries) {
        if (!entry.empty() && entry.back() == '/') {
            entry.pop_back();
        }
        AuthoritySet entryRights;
        if (!accounts.GetAuthority(loginId, entry, entryRights)) {
            SendAuthorityError(request, m_server, path);
            return false;
        }
        rights &= entryRights;
    }
    return true;
}

void QuilloHttpRequestHandler::ServeEntry(HttpRequest& request, const std::string& openPath,
                                          const AuthoritySet& rights) {
    // Most paths below the root name files: opening first spares them any other look at the path. Only
    // regular files open (never a folder, FIFO or device, and the open never blocks), and only inside the
    // share, whatever link is swapped in since the path was split: what opens is inside, so the look at
    // the links on the way (GetLocalPath) would have let it through as well.
    // A name that ends in "/" is never a file (the open would fail), so a folder's page skips the try.
    const MountManager& mounts = m_server.GetMountManager();
    const std::string& path = request.GetPath();
    PelkFile file;
    if (path.back() != '/' && mounts.OpenFile(path, file)) {
        if (rights.CanDownload()) {
            ServeFile(request, openPath, file);
        } else {
            SendUnauthorizedPage(request, m_server);
        }
        return;
    }
    // Anything else is looked at by its path text, which must first be checked for links leading out.
    const std::string localPath = mounts.GetLocalPath(path);
    PathInfo info;
    if (localPath.empty() || !QueryPath(localPath, info)) {
        info.kind = PathKind::Missing;
    }
    switch (info.kind) {
    case PathKind::Directory:
        if (rights.CanList()) {
            ListRequestProcessor(m_server, rights).SendList(request);
        } else {
            SendUnauthorizedPage(request, m_server);
        }
        return;
    case PathKind::Regular:
        // A file that would not open (locked by another program, no permission).
        if (rights.CanDownload()) {
            SendStatusPage(request, m_server, 500, "Internal Server Error", Tr("파일을 열지 못함"));
        } else {
            SendUnauthorizedPage(request, m_server);
        }
        return;
    case PathKind::Missing:
    case PathKind::Other:
        // Only folders and regular files are served: a FIFO or device would block or never end.
        SendNotFound(request, m_server, path);
        return;
    }
}

void QuilloHttpRequestHandler::ServeFile(HttpRequest& request, const std::string& localPath, PelkFile& file) {
    const int64_t size = file.GetSizeAtOpen(); // the open measured it under the lock: no second look
    if (size < 0) {
        SendStatusPage(request, m_server, 500, "Internal Server Error", Tr("파일을 열지 못함"));
        return;
    }
    RangeHeader range;
    std::string rangeValue;
    // A range in another unit is ignored, as RFC 9110 wants: the whole file answers it.
    const bool hasRange =
        FindMapValue(request.GetHeaders(), "RANGE", rangeValue) && !RangeHeader::UsesOtherUnit(rangeValue);
    if (hasRange) {
        range.Parse(rangeValue); // a malformed piece ends the list; the ranges before it are still served
        if (range.GetRangeCount() == 0 || !range.Resolve(size)) {
            SendStatusPage(request, m_server, RangeHeader::GetNotSatisfiableStatus(),
                           RangeHeader::GetNotSatisfiableReason(), Tr("잘못된 부분 요청"),
                           RangeHeader::GetContentRangeHeaderName(),
                           RangeHeader::GetUnsatisfiedContentRangeValue(size));
            return;
        }
        if (range.GetRangeCount() > 1) {
            SendStatusPage(request, m_server, 501, "Not Implemented", Tr("구현되지 않았음"));
            return;
        }
    }
    CounterToken token;
    m_server.GetConnectionCountLimitManager().Acquire(token, request.GetRemoteAddress());
    DownloadRequestProcessor(localPath, file, size, hasRange, range).SendFile(request);
}

} // namespace Vuxo
