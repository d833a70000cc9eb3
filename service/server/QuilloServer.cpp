#include "service/server/QuilloServer.h"

#include "core/http/HttpRequest.h"
#include "core/http/WebServer.h"
#include "core/http_client/HttpConnection.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/net/LocalAddresses.h"
#include "core/platform/net/SocketCalls.h"
#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"
#include "core/text/Utf8.h"
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "service/access/ConnectionCountLimitManager.h"
#include "service/access/IPFilter.h"
#include "service/accounts/AccountStore.h"
#include "service/config/QuilloConfig.h"
#include "service/dispatch/QuilloHttpRequestHandler.h"
#include "service/mime/MimeTypeTable.h"
#include "service/mounts/MountManager.h"
#include "service/plugins/PluginManager.h"
#include "service/server/MakerService.h"
#include "service/server/RunningCheckCancel.h"
#include "service/server/UpdateIPStringThread.h"
#include "service/server/VersionCheckThread.h"
#include "service/skins/SkinLoaders.h"
#include "service/system/ServerInstanceId.h"
#include "service/system/SystemRequestProcessor.h"

#include <malloc.h>
#include <vector>

namespace Vuxo {

namespace {

// Every level but 1, the HTTP layer's own tracing.
constexpr uint32_t kServerTraceMask = 0x7ffffffe;

// The socket layer's code for "permission denied" (EACCES, EPERM).
constexpr int kErrAccessDenied = 10013;

// Every connection thread builds its pages (a folder of 1,000 entries takes about 1 MiB) and frees them
// again. By default the C library hands such memory back to the system after each page and takes larger
// blocks straight from mmap, so the next page faults it all in again and every unmap interrupts the other
// processors; that doubles the cost of a folder page. Keeping a few MiB per arena avoids both.
void KeepMemoryForTheNextRequest() {
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
}

} // namespace

QuilloServer::QuilloServer(QuilloConfig& config, std::string programFolder,
                           GuiTransferStatusAggregator* aggregator, QuilloServerOptions options)
    : m_config(config), m_programFolder(std::move(programFolder)), m_logSink(config, m_programFolder),
      m_aggregator(aggregator), m_options(std::move(options)), m_pageMemory(m_options.pageMemoryLimit) {
    KeepMemoryForTheNextRequest();
    SetTraceMask(kServerTraceMask);
    m_logSink.SetAlertCallback(m_options.alert);
    m_logSink.Install();
    Trace(LOG_NOTICE, "%s", "=======================");
    Trace(LOG_NOTICE, "%s", Tr("Quillo Corvanta 시작..."));

    m_mounts = std::make_unique<MountManager>(m_config);
    m_accounts = std::make_unique<AccountStore>(*m_mounts, m_config);
    m_limits = std::make_unique<ConnectionCountLimitManager>();
    m_ipFilter = std::make_unique<IPFilter>(m_config);

    ReloadResources(*this);

    if (m_aggregator != nullptr) {
        m_aggregator->SetSpeedLimit(kDirectionDownload, m_config.totalDownloadSpeedLimit.load());
        m_aggregator->SetSpeedLimit(kDirectionUpload, m_config.totalUploadSpeedLimit.load());
    }
    m_limits->SetTotalLimit(m_config.useDownloadConnectionLimit.load(),
                            m_config.downloadConnectionLimit.load());
    m_limits->SetPerIPLimit(m_config.usePerIPDownloadConnectionLimit.load(),
                            m_config.perIPdownloadConnectionLimit.load());
    if (m_config.useVersionCheck.load() && m_options.newerRevision && !m_options.serviceAddress.empty()) {
        m_versionCheck = std::make_unique<VersionCheckThread>(m_options.serviceAddress,
                                                              m_options.newerRevision, m_options.lookup);
        m_versionCheck->Start();
    }
}

QuilloServer::~QuilloServer() {
    m_versionCheck.reset();
    const bool wasRunning = IsRunning();
    Stop();
    m_config.wasRunning = wasRunning;
    m_config.Save();
    Trace(LOG_NOTICE, "%s", Tr("Quillo Corvanta 종료"));
    m_limits.reset();
    m_accounts.reset();
    m_mounts.reset();
    m_ipFilter.reset();
    m_logSink.Uninstall();
}

bool QuilloServer::Start() {
    if (IsRunning()) {
        return true;
    }
    auto webServer = std::make_unique<WebServer>();
    auto handler = std::make_unique<QuilloHttpRequestHandler>(*this);
    webServer->SetHandler(handler.get());
    webServer->SetAggregator(m_aggregator);
    const int port = m_config.port.load();
    if (!webServer->Start(port)) {
        LogStartFailure(port);
        m_config.wasRunning = false;
        m_config.Save();
        return false;
    }
    m_handler = std::move(handler);
    m_webServer = std::move(webServer);

    StartUpdateIPStringThread();
    m_config.wasRunning = true;
    m_config.Save();
    Trace(LOG_NOTICE, Tr("서버 시작: TCP/IP 포트 %d에서 대기중"), m_webServer->GetPort());
    return true;
}

void QuilloServer::LogStartFailure(int port) {
    Trace(LOG_ALERT, "%s", DescribeListenFailure(port).c_str());
}

void QuilloServer::Stop() {
    if (!IsRunning()) {
        return;
    }
    m_webServer->Stop();
    m_webServer.reset();
    m_handler.reset();
    CancelAddressThreads();
    Trace(LOG_NOTICE, "%s", Tr("서버 중지"));
    if (m_aggregator != nullptr) {
        m_aggregator->RemoveAll();
    }
    m_config.wasRunning = false;
    m_config.Save();
}

bool QuilloServer::IsRunning() const {
    return m_webServer != nullptr;
}

bool QuilloServer::IsLoggedIn(const HttpRequest& request) const {
    const std::string user = request.GetUserName();
    std::string password;
    return !user.empty() && m_accounts->GetPassword(user, password) &&
           request.CheckCredentials(user, password);
}

uint16_t QuilloServer::GetPort() const {
    if (m_webServer != nullptr && m_webServer->GetPort() >= 0) {
        return static_cast<uint16_t>(m_webServer->GetPort());
    }
    return m_config.port.load();
}

bool QuilloServer::ChangePort(uint16_t port) {
    return m_webServer == nullptr || m_webServer->ChangePort(port);
}

void QuilloServer::StartUpdateIPStringThread() {
    if (!IsRunning()) {
        return;
    }
    // The older requests are cancelled, not waited for: they end on their own and are joined here the
    // next time, or by Stop. (A lookup stuck in the resolver does not hold them.)
    std::erase_if(m_addressThreads, [](const std::unique_ptr<UpdateIPStringThread>& thread) {
        thread->Cancel();
        return !thread->IsRunning();
    });
    const std::string local = ChooseLocalAddress(m_config, HostAddresses());
    uint64_t generation = 0;
    {
        ScopedLock lock(m_addressLock);
        generation = ++m_addressGeneration;
        m_address = local;
    }
    NotifyAddressChanged();
    if (!m_config.getPublicIP.load() || m_options.serviceAddress.empty()) {
        return;
    }
    auto thread = std::make_unique<UpdateIPStringThread>(
        m_options.serviceAddress,
        [this, generation](const std::string& address) { StoreAddress(generation, address); },
        m_options.lookup);
    if (thread->Start()) {
        m_addressThreads.push_back(std::move(thread));
    }
}

void QuilloServer::StoreAddress(uint64_t generation, const std::string& address) {
    {
        ScopedLock lock(m_addressLock);
        if (generation != m_addressGeneration) {
            return;
        }
        m_address = address;
    }
    NotifyAddressChanged();
}

void QuilloServer::CancelAddressThreads() {
    {
        ScopedLock lock(m_addressLock);
        ++m_addressGeneration;
        m_address.clear();
    }
    // Each thread's destructor cancels its request and joins it.
    m_addressThreads.clear();
}

void QuilloServer::NotifyAddressChanged() const {
    if (m_options.addressChanged) {
        m_options.addressChanged();
    }
}

std::vector<std::string> QuilloServer::HostAddresses() const {
    if (m_options.hostAddresses) {
        return m_options.hostAddresses();
    }
    std::vector<std::string> addresses;
    GetLocalIPv4Addresses(addresses);
    return addresses;
}

RunningCheckRequest QuilloServer::PrepareRunningCheck() const {
    RunningCheckRequest request;
    request.running = IsRunning();
    request.serviceAddress = m_options.serviceAddress;
    request.lookup = m_options.lookup;
    if (!request.running) {
        return request;
    }
    request.port = GetPort();
    if (m_config.useHostName.load()) {
        request.address = m_config.HostName.Get();
        Trim(request.address, " \t\r\n");
    }
    if (request.address.empty()) {
        request.address = GetAddress();
    }
    return request;
}

bool QuilloServer::RunningCheck(RunningCheckCancel* cancel) {
    return RunRunningCheck(PrepareRunningCheck(), cancel);
}

bool RunRunningCheck(const RunningCheckRequest& request, RunningCheckCancel* cancel) {
    if (!request.running || request.serviceAddress.empty()) {
        return false;
    }
    HttpConnection connection(kHttpClientGet, MakeServiceUrl(request.serviceAddress, kRunningCheckPath));
    connection.AddField("port", std::to_string(request.port));
    connection.AddField("addr", request.address);
    connection.SetLookup(request.lookup);
    const RunningCheckCancel::Scope cancellable(cancel, connection);
    if (cancellable.CameTooLate()) {
        return false;
    }
    try {
        return connection.Execute() == 200 && ReadShortReply(connection) == GetServerInstanceId();
    } catch (const std::exception&) {
        return false;
    }
}

std::string QuilloServer::GetAddress() const {
    ScopedLock lock(m_addressLock);
    return m_address;
}

void QuilloServer::SetAddress(const std::string& address) {
    ScopedLock lock(m_addressLock);
    m_address = address;
}

std::string QuilloServer::GetUrl() const {
    return IsRunning() ? MakeServerUrl(GetAddress(), GetPort()) : std::string();
}

std::string QuilloServer::GetUrl(const std::string& virtualPath) const {
    const std::string url = GetUrl();
    return url.empty() ? url : url + UrlEncode(virtualPath);
}

std::u16string QuilloServer::GetShareUrl(std::u16string_view virtualPath) const {
    return Utf8ToWide(GetUrl(WideToUtf8(virtualPath)));
}

void QuilloServer::SetAlertCallback(AlertCallback callback) {
    m_logSink.SetAlertCallback(std::move(callback));
}

std::string MakeServerUrl(const std::string& address, uint16_t port) {
    std::string url = "http://" + address;
    if (address.find(':') == std::string::npos && port != 80) {
        url += ":" + std::to_string(port);
    }
    return url + "/";
}

void ReloadResources(QuilloServer& server) {
    const std::string& folder = server.GetProgramFolder();
    SystemRequestProcessor::ClearFiles();
    LoadBuiltinFiles();
    LoadMimeTypes(folder);
    LoadBuiltinSkin();
    LoadSkins(folder, server.GetConfig().defaultSkin.Get());
    LoadPlugins(folder); // plug-in host: the libraries of folder + "/plugin"
    server.GetIPFilter().ReloadIPFilterRules();
}

std::string DescribeListenFailure(int port) {
    // Ask the system once more, on a socket of our own, why the port cannot be bound. (The listener's own
    // error is gone: closing the failed listener makes further calls.)
    int error = 0;
    if (port >= 0 && port <= 65535) {
        const Net::Handle probe = Net::OpenTcp();
        if (probe != Net::kNoHandle) {
            Net::SetReuseAddress(probe);
            error = Net::BindAny(probe, static_cast<uint16_t>(port)) == 0 ? 0 : Net::LastError();
            Net::CloseHandle(probe);
        }
    }
    if (error == kErrAccessDenied) {
        return FormatString(1024,
                            Tr("TCP/IP 포트 %d에서 서버를 열지 못했습니다. 1024 미만의 포트는 관리자 권한이 "
                               "필요합니다.\n환경설정에서 1024 이상의 포트로 변경해 보십시오."),
                            port);
    }
    return FormatString(1024,
                        Tr("TCP/IP 포트 %d에서 서버를 열지 못했습니다. 다른 프로그램이 이미 사용중인 것 "
                           "같습니다.\n환경설정에서 포트를 변경해 보십시오."),
                        port);
}

} // namespace Vuxo
